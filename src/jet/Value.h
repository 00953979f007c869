// A column value as the engine hands it over: one alternative per Access column type.
//
// Text crosses the boundary as UTF-16; the application converts to its own code page.
#pragma once

#include "base/Utf8.h"

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace jet {

struct Null {
    friend bool operator==(Null, Null) { return true; }
};

// Currency: signed 64-bit count of ten-thousandths.
struct Currency {
    std::int64_t scaled = 0;
    friend bool operator==(const Currency&, const Currency&) = default;
};

// Date/time: days since 1899-12-30; the fraction is the time of day.
struct DateTime {
    double days = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// 16 bytes as stored (the first three groups little-endian, as Windows GUIDs are).
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    friend bool operator==(const Guid&, const Guid&) = default;
};

// Fixed-point decimal: magnitude (96 bits used by Access, 128 stored) / 10^scale.
struct Decimal {
    bool negative = false;
    std::uint8_t precision = 18;
    std::uint8_t scale = 0;
    std::array<std::uint32_t, 4> magnitude{}; // least significant word first
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

using Binary = std::vector<std::uint8_t>;

using Value = std::variant<Null, bool, std::uint8_t, std::int16_t, std::int32_t, float, double,
                           Currency, DateTime, std::u16string, Binary, Guid, Decimal>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<Null>(v);
}

// Text forms used by the command-line tool and messages.
using utf::utf16;
using utf::utf8;
std::string decimalText(const Decimal& d);
std::string currencyText(Currency c); // exactly four decimals: "3.5000"
std::string dateTimeText(DateTime d); // yyyy-mm-ddThh:mm:ss
std::string guidText(const Guid& g);  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
std::string shortestText(double v);   // shortest text that reads back to the same double
std::string shortestText(float v);

// A value as a number, as Access takes it in comparisons and conversions: True is -1, a date
// its days; nothing for Null, text, binary and GUIDs.
std::optional<double> numberOf(const Value& v);

// Parsing back (for assignment conversions); false when the text is not of that form.
bool parseDecimal(std::string_view text, std::uint8_t precision, std::uint8_t scale, Decimal& out);
bool parseDateTime(std::string_view text, DateTime& out);
// Days since 1899-12-30 of a calendar date, and back.
double daysFromCivil(int y, unsigned m, unsigned d);

} // namespace jet
