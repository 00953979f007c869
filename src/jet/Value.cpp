#include "jet/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

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
    unsigned long long a = c.scaled < 0 ? 0ULL - static_cast<unsigned long long>(c.scaled)
                                        : static_cast<unsigned long long>(c.scaled);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", c.scaled < 0 ? "-" : "", a / 10000, a % 10000);
    return buf;
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
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", y, m, d, secs / 3600,
                  secs / 60 % 60, secs % 60);
    return buf;
}

double daysFromCivil(int y, unsigned m, unsigned d) {
    return static_cast<double>(daysFromCivil1970(y, m, d) - kAccessEpoch);
}

std::string guidText(const Guid& g) {
    char buf[40];
    const auto& b = g.bytes;
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return buf;
}

std::string shortestText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string shortestText(float v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool parseDecimal(std::string_view t, std::uint8_t precision, std::uint8_t scale, Decimal& out) {
    Decimal d;
    d.precision = precision;
    d.scale = scale;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        d.negative = t[i++] == '-';
    std::string intPart, fracPart;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        intPart += t[i++];
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            fracPart += t[i++];
    }
    if (i != t.size() || (intPart.empty() && fracPart.empty()))
        return false;
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

bool parseDateTime(std::string_view t, DateTime& out) {
    auto num = [&t](std::size_t& i, int maxDigits, int& v) {
        int n = 0;
        v = 0;
        while (i < t.size() && n < maxDigits && t[i] >= '0' && t[i] <= '9') {
            v = v * 10 + (t[i++] - '0');
            ++n;
        }
        return n > 0;
    };
    std::size_t i = 0;
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, s = 0;
    bool haveDate = false;
    int a;
    std::size_t save = i;
    if (num(i, 4, a) && i < t.size() && (t[i] == '-' || t[i] == '/')) {
        char sep = t[i];
        int b, c;
        ++i;
        if (!num(i, 2, b) || i >= t.size() || t[i] != sep)
            return false;
        ++i;
        if (!num(i, 4, c))
            return false;
        if (sep == '-') {
            y = a, mo = b, d = c;
        } else {
            mo = a, d = b, y = c; // month/day/year, as Access reads US dates
            if (y < 100)
                y += y < 30 ? 2000 : 1900;
        }
        haveDate = true;
    } else {
        i = save;
    }
    if (haveDate && i < t.size() && (t[i] == 'T' || t[i] == ' '))
        ++i;
    else if (haveDate && i != t.size())
        return false;
    if (i < t.size()) {
        if (!num(i, 2, h) || i >= t.size() || t[i] != ':')
            return false;
        ++i;
        if (!num(i, 2, mi))
            return false;
        if (i < t.size() && t[i] == ':') {
            ++i;
            if (!num(i, 2, s))
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
        if (h > 23 || mi > 59 || s > 59)
            return false;
    }
    if (!haveDate && i == 0)
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || y < 100 || y > 9999)
        return false;
    static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > monthDays[mo - 1] || (mo == 2 && d == 29 && !leap))
        return false;
    double days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    double frac = (h * 3600 + mi * 60 + s) / 86400.0;
    // Before day 0 the time still counts forward in magnitude.
    out.days = days < 0 ? days - frac : days + frac;
    return true;
}

} // namespace jet
