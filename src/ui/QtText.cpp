#include "ui/QtText.h"

#include "platform/Ansi.h"

namespace ui {

QString toQt(std::string_view ansiText) {
    auto utf16 = ansi::toUtf16(ansiText);
    return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size()));
}

std::string fromQt(const QString& text) {
    return ansi::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                               static_cast<std::size_t>(text.size())));
}

} // namespace ui
