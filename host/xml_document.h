// The bench's one way into an XML file: every reader of the host (scenario,
// deck model, linter, fixed sites) loads through here, on the module's own
// guarded loader (config/xml_file.h): no blocking on a FIFO, no read past the
// buffer, no exception from a directory, no document nested deeper than
// XML_MAX_NESTING.
#pragma once

#include <tinyxml.h>

#include <string>

namespace host {

// Why a file did not load.
struct XmlLoadFailure {
    bool cannot_open = false;  // absent, unreadable, not a regular file, too large
    int line = 1;              // line the failure belongs to (1 when it has none)
    std::string what;          // e.g. "not a regular file", "elements nested deeper than 64"
};

// Loads `document` from the file its value names. On failure returns false
// and fills `failure`.
bool load_xml_document(TiXmlDocument& document, XmlLoadFailure* failure);

}  // namespace host
