// The rules that turn a field's raw text from the TAB file into the text stored in the import
// database. Bad input is absorbed, never reported: an unrecognised date becomes empty, a
// non-numeric amount 0.00, an unknown gender "N", an over-long text is cut.
#pragma once

#include "platform/Ansi.h"

#include <optional>
#include <string>
#include <string_view>

namespace mapping {

// These two give a part of value, no copy, and are defined here: every field of every imported
// record passes through them.

// A value enclosed in double quotes (first and last character, untrimmed) loses them. A value
// that is one double-quote character only stays as it is.
inline std::string_view quoteRule(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// Trimmed, then cut to its first n characters when longer.
inline std::string_view cutTo(std::string_view value, std::size_t n) {
    return ansi::trim(value).substr(0, n);
}

// "city, state  zip", each part trimmed; the column stores it cut to 50.
std::string cityJoin(std::string_view city, std::string_view state, std::string_view zip);

// "M", "F" or "N" from the first character, untrimmed.
std::string genderCode(std::string_view value);

// Nine characters, trimmed, become ###-##-####; anything else stays trimmed.
std::string socialNumber(std::string_view value);

// "mm/dd/yyyy" for a recognised date of at most ten characters, otherwise empty.
std::string dateRule(std::string_view value);
// As dateRule, one calendar day earlier.
std::string retirementDate(std::string_view value);

// A plain decimal number: blanks around, an optional sign, digits with an optional decimal
// point (at least one digit in all).
bool isNumber(std::string_view value);

// "##0.00": at least one digit before the point, two after it, rounded half away from zero,
// no grouping. A text that is no number gives nullopt.
std::optional<std::string> formatAmount(std::string_view value);

} // namespace mapping
