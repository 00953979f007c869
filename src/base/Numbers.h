// Numbers as text, always with '.' as the decimal point. The C library's conversions (strtod,
// printf) follow the C locale, which a Qt program on Linux takes from the user's settings, so
// under a decimal-comma locale they would misread "1.5" and write "1,5". These do not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace numbers {

// The whole of `text` as a double: an optional '-', digits with an optional '.', an optional
// exponent, or "inf" / "nan". No blanks, no '+', no grouping; out of range is no number.
std::optional<double> parseDouble(std::string_view text);

// The whole of `text` as a whole number: an optional '-' and digits; out of range is no number.
std::optional<std::int64_t> parseInteger(std::string_view text);

// A plain decimal number taken apart: an optional sign, digits with an optional point, and at
// least one digit in all. Nothing else, not even blanks.
struct DecimalDigits {
    bool negative = false;
    std::string whole;    // the digits before the point, as written
    std::string fraction; // the digits after it
};
std::optional<DecimalDigits> splitDecimal(std::string_view text);

// `v` with exactly `decimals` digits after the point, rounded as printf("%.*f") rounds.
std::string fixed(double v, int decimals);

// The shortest text that reads back to the same value.
std::string shortest(double v);
std::string shortest(float v);

// `v` in decimal with zeros in front up to `width` characters, the sign counted, as
// printf("%0*lld") writes it.
std::string padded(std::int64_t v, int width);

} // namespace numbers
