// Streaming XML over expat: a part of a package is parsed as it is unpacked, and the handler
// sees elements and text as they pass. Names carry their namespace as "uri|local".
#pragma once

#include "spreadsheet/Zip.h"

#include <exception>
#include <string_view>

namespace spreadsheet::detail {

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    // attributes: name, value, name, value, ..., nullptr
    virtual void start(std::string_view name, const char** attributes) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(std::string_view) {}
    // Asks the parser to stop once the current event returns: the rest is not needed.
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

private:
    bool stopped_ = false;
};

// The part of a name after its namespace.
std::string_view localName(std::string_view name);

// An attribute's value by its local name, in any namespace, or nullptr.
const char* attribute(const char** attributes, std::string_view local);
// An attribute's value by namespace and local name, or nullptr.
const char* attribute(const char** attributes, std::string_view ns, std::string_view local);

// Parses the package's part with the handler. Problems: those of ZipPackage::read, and
// Damaged for XML that is not well-formed or carries a document type declaration (no workbook
// part has one; refusing them keeps entity expansion out).
void parseXml(const ZipPackage& package, std::string_view part, XmlHandler& handler);

} // namespace spreadsheet::detail
