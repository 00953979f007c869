// UTF-8 to and from UTF-16, and one code point at a time. Malformed input is never an error:
// each bad byte stands for one replacement, so nothing after it is lost.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace utf {

void appendUtf8(std::string& out, char32_t cp);

// The code point starting at text[at], moving `at` past it; nothing for a malformed or cut-off
// sequence, `at` then moved one byte on.
std::optional<char32_t> nextCodePoint(std::string_view text, std::size_t& at);

// A lone surrogate becomes U+FFFD.
std::string utf8(std::u16string_view text);
// A malformed byte becomes U+FFFD.
std::u16string utf16(std::string_view utf8Text);

} // namespace utf
