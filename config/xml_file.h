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
// Before parsing, the text's element nesting is measured: TinyXML's parser
// recurses once per level, stalls for seconds on a few thousand levels (the
// time grows faster than the square of the depth) and runs off the stack on
// some tens of thousands. No file read here needs more than a handful of
// levels, so a deeper document is refused as a parse error.
//
// The file is opened without blocking and must be a regular file: a FIFO in
// place of a configuration file would otherwise hold the caller (the panel's
// thread, at a TACAN tuning) until someone writes into it.
//
// Shared by the module's readers and the bench's readers; throws nothing
// itself (an allocation failure reads as a file that cannot be opened).
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

// Largest file read, bytes. Larger "files" (a runaway log) count as files
// that cannot be opened, as an unreadable one does.
constexpr long XML_FILE_MAX_BYTES = 64L * 1024 * 1024;

// Zero bytes after the text: more than the longest UTF-8 step (6 bytes in
// TinyXML's table) plus the terminator.
constexpr long XML_FILE_PADDING = 16;

// Deepest element nesting a document may have (the root element is level 1).
constexpr int XML_MAX_NESTING = 64;

// Why a load failed, beyond TinyXML's error id (for readers that name it).
struct XmlLoadNote {
    int error_number = 0;          // errno of a failed open or read
    const char* reason = nullptr;  // a fixed text when the refusal is ours
    int line = 0;                  // line of the refusal, 0 when it has none
};

// The line on which the elements of `text` first nest deeper than
// XML_MAX_NESTING, or 0. Reads the markup as TinyXML's parser does: comments,
// CDATA sections, declarations and other <!...> or <?...> nodes hold no
// elements, an attribute value in quotes may hold '>', an element closed
// by "/>" holds nothing. Where the two could disagree on malformed text the
// parser stops at an error anyway, before it recurses any deeper.
inline int xml_nesting_too_deep_line(const char* text)
{
    int depth = 0, line = 1;
    const char* p = text;
    // Moves p past the first `end` (or to the terminator), counting lines.
    auto skip_past = [&](const char* end) {
        const size_t n = std::strlen(end);
        while (*p && std::strncmp(p, end, n) != 0) line += *p++ == '\n';
        if (*p) p += n;
    };
    while (*p) {
        if (*p != '<') {
            line += *p++ == '\n';
            continue;
        }
        const unsigned char next = static_cast<unsigned char>(p[1]);
        if (std::strncmp(p, "<!--", 4) == 0) {
            skip_past("-->");
        } else if (std::strncmp(p, "<![CDATA[", 9) == 0) {
            skip_past("]]>");
        } else if (next == '/') {
            if (depth > 0) --depth;
            skip_past(">");
        } else if (next >= 127 || std::isalpha(next) || next == '_') {
            const int open_line = line;
            char last = 0, before_value = 0;
            for (++p; *p && *p != '>'; ++p) {
                if ((*p == '"' || *p == '\'') && before_value == '=') {
                    const char quote = *p++;
                    while (*p && *p != quote) line += *p++ == '\n';
                    if (!*p) break;
                    last = before_value = quote;
                    continue;
                }
                line += *p == '\n';
                if (!std::isspace(static_cast<unsigned char>(*p))) before_value = *p;
                last = *p;
            }
            if (*p) ++p;
            if (last != '/' && ++depth > XML_MAX_NESTING) return open_line;
        } else {
            skip_past(">");  // <?...?>, <!DOCTYPE ...> and anything TinyXML calls unknown
        }
    }
    return 0;
}

// Loads `document` from the file named by its value (the name it was
// constructed with). Returns true when the document parsed; otherwise the
// document's ErrorId() and ErrorDesc() say why, as TiXmlDocument::LoadFile
// would: TIXML_ERROR_OPENING_FILE for a file that is absent, unreadable, not
// a regular file (a directory, a FIFO, a device) or too large,
// TIXML_ERROR_DOCUMENT_EMPTY for an empty one, TIXML_ERROR_PARSING_ELEMENT for
// elements nested too deep, the parser's error for a malformed one. `note`,
// when given, receives the errno, our own reason and the refusal's line.
inline bool load_xml_file(TiXmlDocument& document, XmlLoadNote* note = nullptr)
{
    XmlLoadNote scratch;
    XmlLoadNote& why = note ? *note : scratch;
    why = XmlLoadNote{};
    auto refuse = [&](int error, const char* reason) {
        why.reason = reason;
        document.SetError(error, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    };

    const int fd = ::open(document.Value(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why.error_number = errno;
        return refuse(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr);
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        why.error_number = errno;
        ::close(fd);
        return refuse(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(TiXmlBase::TIXML_ERROR_OPENING_FILE,
                      S_ISDIR(info.st_mode) ? "a directory, not a file" : "not a regular file");
    }
    document.Clear();

    long capacity = 4096, length = 0;
    char* text = static_cast<char*>(std::malloc(capacity + XML_FILE_PADDING));
    const char* reason = text ? nullptr : "out of memory";
    while (!reason) {
        const ssize_t got = ::read(fd, text + length, static_cast<size_t>(capacity - length));
        if (got < 0) {
            if (errno == EINTR) continue;
            why.error_number = errno;
            reason = "read error";
        } else if (got == 0) {
            break;  // end of file
        } else if ((length += got) < capacity) {
            continue;
        } else if (capacity >= XML_FILE_MAX_BYTES) {
            reason = "larger than 64 MiB";
        } else {
            capacity *= 2;
            char* grown = static_cast<char*>(std::realloc(text, capacity + XML_FILE_PADDING));
            if (!grown) reason = "out of memory";
            else text = grown;
        }
    }
    ::close(fd);
    if (reason) {
        std::free(text);
        return refuse(TiXmlBase::TIXML_ERROR_OPENING_FILE, reason);
    }
    if (length == 0) {
        std::free(text);
        return refuse(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, nullptr);
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

    why.line = xml_nesting_too_deep_line(text);
    if (why.line != 0) {
        std::free(text);
        return refuse(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, "elements nested deeper than 64");
    }
    document.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
    std::free(text);
    return !document.Error();
}
