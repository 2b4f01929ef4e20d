#include "host/xml_document.h"

#include <cstring>

#include "config/xml_file.h"

namespace host {

bool load_xml_document(TiXmlDocument& document, XmlLoadFailure* failure)
{
    XmlLoadNote note;
    if (load_xml_file(document, &note)) return true;
    *failure = XmlLoadFailure{};
    failure->cannot_open = document.ErrorId() == TiXmlBase::TIXML_ERROR_OPENING_FILE;
    if (note.reason && note.error_number == 0) failure->what = note.reason;
    else if (note.error_number != 0) failure->what = std::strerror(note.error_number);
    else if (failure->cannot_open) failure->what = "cannot be read";
    else failure->what = document.ErrorDesc();
    if (note.line > 0) failure->line = note.line;
    else if (!failure->cannot_open && document.ErrorRow() > 0) failure->line = document.ErrorRow();
    return false;
}

}  // namespace host
