#include "jet/Value.h"

#include "base/Numbers.h"

#include <cmath>

namespace jet {

namespace {

// Divides the magnitude by 10 in place, returning the remainder.
unsigned divideBy10(std::array<std::uint32_t, 4>& m) {
    std::uint64_t rem = 0;
    for (int i = 3; i >= 0; --i) {
        std::uint64_t cur = (rem << 32) | m[i];
        m[i] = static_cast<std::uint32_t>(cur / 10);
        rem = cur % 10;
    }
    return static_cast<unsigned>(rem);
}

bool isZero(const std::array<std::uint32_t, 4>& m) {
    return !(m[0] | m[1] | m[2] | m[3]);
}

// Howard Hinnant's civil calendar conversions, counted from 1970-01-01.
long long daysFromCivil1970(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays1970(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

// Day 0 of Access dates, 1899-12-30, counted from 1970-01-01.
constexpr long long kAccessEpoch = -25569;

} // namespace

std::string decimalText(const Decimal& d) {
    auto m = d.magnitude;
    std::string digits;
    while (!isZero(m))
        digits.insert(digits.begin(), static_cast<char>('0' + divideBy10(m)));
    while (digits.size() <= d.scale)
        digits.insert(digits.begin(), '0');
    if (d.scale > 0)
        digits.insert(digits.end() - d.scale, '.');
    bool zero = isZero(d.magnitude);
    return (d.negative && !zero ? "-" : "") + digits;
}

std::string currencyText(Currency c) {
    // Whole units and ten-thousandths apart: the most negative amount has no positive twin.
    std::int64_t units = c.scaled / 10000, rest = c.scaled % 10000;
    std::string sign = c.scaled < 0 ? "-" : "";
    return sign + numbers::padded(units < 0 ? -units : units, 0) + "." +
           numbers::padded(rest < 0 ? -rest : rest, 4);
}

std::string dateTimeText(DateTime dt) {
    double v = dt.days;
    if (!std::isfinite(v) || v > 3e6 || v < -3e6)
        return "invalid";
    double whole = std::trunc(v);
    long long day = static_cast<long long>(whole);
    long long secs = std::llround(std::fabs(v - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += v < 0 ? -1 : 1;
    }
    long long y;
    unsigned m, d;
    civilFromDays1970(day + kAccessEpoch, y, m, d);
    return numbers::padded(y, 4) + "-" + numbers::padded(m, 2) + "-" + numbers::padded(d, 2) + "T" +
           numbers::padded(secs / 3600, 2) + ":" + numbers::padded(secs / 60 % 60, 2) + ":" +
           numbers::padded(secs % 60, 2);
}

double daysFromCivil(int y, unsigned m, unsigned d) {
    return static_cast<double>(daysFromCivil1970(y, m, d) - kAccessEpoch);
}

std::string guidText(const Guid& g) {
    static const char* digits = "0123456789ABCDEF";
    // Text order: the first three groups are stored little-endian.
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        std::uint8_t b = g.bytes[order[i]];
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out + "}";
}

std::string shortestText(double v) {
    return numbers::shortest(v);
}

std::string shortestText(float v) {
    return numbers::shortest(v);
}

std::optional<double> numberOf(const Value& v) {
    return std::visit(
        [](const auto& x) -> std::optional<double> {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, bool>)
                return x ? -1.0 : 0.0; // Access: True is -1
            else if constexpr (std::is_arithmetic_v<T>)
                return static_cast<double>(x);
            else if constexpr (std::is_same_v<T, Currency>)
                return static_cast<double>(x.scaled) / 10000.0;
            else if constexpr (std::is_same_v<T, DateTime>)
                return x.days;
            else if constexpr (std::is_same_v<T, Decimal>)
                return numbers::parseDouble(decimalText(x)).value_or(0.0);
            else
                return std::nullopt;
        },
        v);
}

bool parseDecimal(std::string_view t, std::uint8_t precision, std::uint8_t scale, Decimal& out) {
    auto parts = numbers::splitDecimal(t);
    if (!parts)
        return false;
    Decimal d;
    d.precision = precision;
    d.scale = scale;
    d.negative = parts->negative;
    const std::string& intPart = parts->whole;
    std::string& fracPart = parts->fraction;
    // Rounds half away from zero at the column's scale, as Access does on assignment.
    bool roundUp = fracPart.size() > scale && fracPart[scale] >= '5';
    fracPart.resize(scale, '0');
    std::string all = intPart + fracPart;
    std::array<std::uint32_t, 4> m{};
    auto mulAdd = [&m](unsigned digit) {
        std::uint64_t carry = digit;
        for (auto& w : m) {
            std::uint64_t cur = static_cast<std::uint64_t>(w) * 10 + carry;
            w = static_cast<std::uint32_t>(cur);
            carry = cur >> 32;
        }
        return carry == 0;
    };
    for (char c : all)
        if (!mulAdd(static_cast<unsigned>(c - '0')))
            return false;
    if (roundUp) {
        for (auto& w : m)
            if (++w != 0)
                break;
    }
    // Precision: count the digits of the magnitude.
    auto probe = m;
    unsigned digits = 0;
    while (!isZero(probe)) {
        divideBy10(probe);
        ++digits;
    }
    if (digits > precision)
        return false;
    d.magnitude = m;
    out = d;
    return true;
}

namespace {

// Up to `maxDigits` digits from t[i] as a number; false when there is none.
bool readDigits(std::string_view t, std::size_t& i, int maxDigits, int& v) {
    int n = 0;
    v = 0;
    while (i < t.size() && n < maxDigits && t[i] >= '0' && t[i] <= '9') {
        v = v * 10 + (t[i++] - '0');
        ++n;
    }
    return n > 0;
}

enum class DatePart { None, Read, Bad };

// yyyy-mm-dd, or m/d/yyyy as Access reads US dates, at the start of the text; `i` moves past
// it. None when the text does not start with one, leaving `i` at 0.
DatePart readDate(std::string_view t, std::size_t& i, int& y, int& mo, int& d) {
    int a;
    if (!readDigits(t, i, 4, a) || i >= t.size() || (t[i] != '-' && t[i] != '/')) {
        i = 0;
        return DatePart::None;
    }
    char sep = t[i];
    int b, c;
    ++i;
    if (!readDigits(t, i, 2, b) || i >= t.size() || t[i] != sep)
        return DatePart::Bad;
    ++i;
    if (!readDigits(t, i, 4, c))
        return DatePart::Bad;
    if (sep == '-') {
        y = a, mo = b, d = c;
    } else {
        mo = a, d = b, y = c;
        if (y < 100)
            y += y < 30 ? 2000 : 1900;
    }
    return DatePart::Read;
}

// hh:mm[:ss], then blanks and AM or PM allowed, to the end of the text.
bool readTime(std::string_view t, std::size_t& i, int& h, int& mi, int& s) {
    if (!readDigits(t, i, 2, h) || i >= t.size() || t[i] != ':')
        return false;
    ++i;
    if (!readDigits(t, i, 2, mi))
        return false;
    if (i < t.size() && t[i] == ':') {
        ++i;
        if (!readDigits(t, i, 2, s))
            return false;
    }
    while (i < t.size() && t[i] == ' ')
        ++i;
    if (i < t.size()) {
        std::string_view rest = t.substr(i);
        bool pm = rest == "PM" || rest == "pm";
        if (!pm && rest != "AM" && rest != "am")
            return false;
        if (h < 1 || h > 12)
            return false;
        h = h % 12 + (pm ? 12 : 0);
        i = t.size();
    }
    return h <= 23 && mi <= 59 && s <= 59;
}

bool calendarDate(int y, int mo, int d) {
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || y < 100 || y > 9999)
        return false;
    static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= monthDays[mo - 1] && !(mo == 2 && d == 29 && !leap);
}

} // namespace

bool parseDateTime(std::string_view t, DateTime& out) {
    std::size_t i = 0;
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, s = 0;
    const DatePart date = readDate(t, i, y, mo, d);
    if (date == DatePart::Bad)
        return false;
    if (date == DatePart::Read && i < t.size() && (t[i] == 'T' || t[i] == ' '))
        ++i;
    else if (date == DatePart::Read && i != t.size())
        return false;
    if (i < t.size() && !readTime(t, i, h, mi, s))
        return false;
    if (date == DatePart::None && i == 0)
        return false;
    if (!calendarDate(y, mo, d))
        return false;
    double days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    double frac = (h * 3600 + mi * 60 + s) / 86400.0;
    // Before day 0 the time still counts forward in magnitude.
    out.days = days < 0 ? days - frac : days + frac;
    return true;
}

} // namespace jet
