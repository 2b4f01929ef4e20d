// Loading an XML file into a TinyXML document without handing the library a
// buffer it can run off.
//
// TinyXML 2.6.2 reads a multi-byte UTF-8 character by stepping over as many
// bytes as the lead byte announces, without looking for the end of the text:
// a file whose last byte starts such a character (a partly written file)
// makes it step over the terminator and read past its own buffer. Its file
// loading also throws std::bad_alloc when the "file" is a directory (the size
// it asks for is nonsense). So the file's bytes are read here, with ordinary
// error results, into a buffer followed by enough zero bytes that no step can
// leave it, and the text is then parsed as TinyXML's own file loading would:
// same line-end normalisation, same error ids and descriptions.
//
// Shared by the module's readers and the bench's scenario reader; throws
// nothing itself (an allocation failure reads as a file that cannot be opened).
#pragma once

#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Largest file read, bytes. Larger "files" (a device, a runaway log) count as
// files that cannot be opened, as an unreadable one does.
constexpr long XML_FILE_MAX_BYTES = 64L * 1024 * 1024;

// Zero bytes after the text: more than the longest UTF-8 step (6 bytes in
// TinyXML's table) plus the terminator.
constexpr long XML_FILE_PADDING = 16;

// Loads `document` from the file named by its value (the name it was
// constructed with). Returns true when the document parsed; otherwise the
// document's ErrorId() and ErrorDesc() say why, as TiXmlDocument::LoadFile
// would: TIXML_ERROR_OPENING_FILE for a file that is absent, unreadable, a
// directory or too large, TIXML_ERROR_DOCUMENT_EMPTY for an empty one, the
// parser's error for a malformed one.
inline bool load_xml_file(TiXmlDocument& document)
{
    FILE* file = std::fopen(document.Value(), "rb");
    if (!file) {
        document.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    }
    document.Clear();

    long capacity = 4096, length = 0;
    char* text = static_cast<char*>(std::malloc(capacity + XML_FILE_PADDING));
    bool readable = text != nullptr;
    while (readable) {
        const size_t got = std::fread(text + length, 1, static_cast<size_t>(capacity - length), file);
        length += static_cast<long>(got);
        if (std::ferror(file)) readable = false;      // a directory, an I/O error
        else if (length < capacity) break;            // end of file
        else if (capacity >= XML_FILE_MAX_BYTES) readable = false;
        else {
            capacity *= 2;
            char* grown = static_cast<char*>(std::realloc(text, capacity + XML_FILE_PADDING));
            if (!grown) readable = false;
            else text = grown;
        }
    }
    std::fclose(file);
    if (!readable) {
        std::free(text);
        document.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    }
    if (length == 0) {
        std::free(text);
        document.SetError(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    }
    std::memset(text + length, 0, XML_FILE_PADDING);

    // Line ends as TinyXML's file loading leaves them: CR LF and a lone CR
    // become LF. The text ends at the first zero byte, as there.
    const char* read = text;
    char* write = text;
    while (*read) {
        if (*read == '\r') {
            *write++ = '\n';
            if (*++read == '\n') ++read;
        } else {
            *write++ = *read++;
        }
    }
    std::memset(write, 0, static_cast<size_t>(read - write) + 1);

    document.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
    std::free(text);
    return !document.Error();
}
