// Windows-1252 program strings to and from Qt's strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace ui {

QString toQt(std::string_view ansiText);
std::string fromQt(const QString& text);

} // namespace ui
