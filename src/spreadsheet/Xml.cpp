#include "spreadsheet/Xml.h"

#include "spreadsheet/Book.h"

#include <cstring>
#include <expat.h>
#include <memory>
#include <string>
#include <type_traits>

namespace spreadsheet::detail {
namespace {

constexpr char kSeparator = '|';

// Exceptions must not cross expat's C frames: a handler's exception is kept, the parser
// stopped, and the exception thrown again once XML_Parse has returned.
struct Session {
    XML_Parser parser;
    XmlHandler& handler;
    std::exception_ptr error;
    bool doctype = false;

    template <class F>
    void guarded(F&& f) {
        if (error || handler.stopped())
            return;
        try {
            f();
        } catch (...) {
            error = std::current_exception();
        }
        if (error || handler.stopped())
            XML_StopParser(parser, XML_FALSE);
    }
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* s = static_cast<Session*>(data);
    s->guarded([&] { s->handler.start(name, attributes); });
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
    auto* s = static_cast<Session*>(data);
    s->guarded([&] { s->handler.end(name); });
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    auto* s = static_cast<Session*>(data);
    s->guarded([&] { s->handler.text(std::string_view(text, static_cast<std::size_t>(length))); });
}

void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    auto* s = static_cast<Session*>(data);
    s->doctype = true;
    XML_StopParser(s->parser, XML_FALSE);
}

} // namespace

std::string_view localName(std::string_view name) {
    const auto bar = name.rfind(kSeparator);
    return bar == std::string_view::npos ? name : name.substr(bar + 1);
}

const char* attribute(const char** attributes, std::string_view local) {
    for (const char** a = attributes; *a; a += 2)
        if (localName(a[0]) == local)
            return a[1];
    return nullptr;
}

const char* attribute(const char** attributes, std::string_view ns, std::string_view local) {
    for (const char** a = attributes; *a; a += 2) {
        const std::string_view name = a[0];
        if (name.size() == ns.size() + 1 + local.size() && name.starts_with(ns) &&
            name[ns.size()] == kSeparator && name.ends_with(local))
            return a[1];
    }
    return nullptr;
}

void parseXml(const ZipPackage& package, std::string_view part, XmlHandler& handler) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(
        XML_ParserCreateNS(nullptr, kSeparator), XML_ParserFree);
    if (!parser)
        throw std::bad_alloc();
    Session session{parser.get(), handler, nullptr};
    XML_SetUserData(parser.get(), &session);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onText);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);

    bool finished = false;
    auto failure = [&]() -> Problem {
        if (session.doctype)
            return Problem(Trouble::Damaged, std::string(part) + " declares a document type");
        return Problem(Trouble::Damaged,
                       std::string(part) + ": " + XML_ErrorString(XML_GetErrorCode(parser.get())) +
                           " at line " + std::to_string(XML_GetCurrentLineNumber(parser.get())));
    };
    package.read(part, [&](std::string_view chunk) {
        if (XML_Parse(parser.get(), chunk.data(), static_cast<int>(chunk.size()), XML_FALSE) !=
            XML_STATUS_OK) {
            if (session.error)
                std::rethrow_exception(session.error);
            if (!handler.stopped())
                throw failure();
            finished = true;
        }
        return !finished;
    });
    if (finished)
        return;
    if (XML_Parse(parser.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
        if (session.error)
            std::rethrow_exception(session.error);
        if (!handler.stopped())
            throw failure();
    }
}

} // namespace spreadsheet::detail
