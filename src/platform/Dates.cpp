#include "platform/Dates.h"

#include <array>
#include <cctype>

namespace dates {
namespace {

struct Token {
    enum Kind { Number, Month } kind;
    int value;
    int digits; // numbers: how many digits were written
};

constexpr std::array<const char*, 12> kMonths = {"january",   "february", "march",    "april",
                                                 "may",       "june",     "july",     "august",
                                                 "september", "october",  "november", "december"};

// 1..12 for a full or three-letter English month name, 0 otherwise.
int monthByName(std::string_view word) {
    std::string lower;
    for (char c : word)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        std::string_view full = kMonths[i];
        if (lower == full || (lower.size() == 3 && full.substr(0, 3) == lower) ||
            (lower == "sept" && i == 8))
            return static_cast<int>(i) + 1;
    }
    return 0;
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// A date has exactly three parts: a text with more is no date, so it is not read further.
struct Tokens {
    std::array<Token, 3> items;
    std::size_t count = 0;
    bool add(Token t) {
        if (count == items.size())
            return false;
        items[count++] = t;
        return true;
    }
};

std::optional<Tokens> tokenize(std::string_view text) {
    Tokens tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        if (isDigit(c)) {
            int value = 0, digits = 0;
            while (i < text.size() && isDigit(static_cast<unsigned char>(text[i]))) {
                if (digits < 5)
                    value = value * 10 + (text[i] - '0');
                ++digits, ++i;
            }
            if (!tokens.add({Token::Number, value, digits}))
                return std::nullopt;
        } else if (isLetter(c)) {
            std::size_t start = i;
            while (i < text.size() && isLetter(static_cast<unsigned char>(text[i])))
                ++i;
            int month = monthByName(text.substr(start, i - start));
            if (month == 0 || !tokens.add({Token::Month, month, 0}))
                return std::nullopt;
            if (i < text.size() && text[i] == '.') // "Jan." is an abbreviation
                ++i;
        } else if (c == '/' || c == '-' || c == '.' || c == ',' || c == ' ') {
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return tokens;
}

std::optional<int> year(const Token& t) {
    if (t.kind != Token::Number)
        return std::nullopt;
    if (t.digits == 4)
        return t.value >= 100 ? std::optional<int>(t.value) : std::nullopt;
    if (t.digits == 1 || t.digits == 2)
        return t.value < 30 ? 2000 + t.value : 1900 + t.value;
    return std::nullopt;
}

bool smallNumber(const Token& t) {
    return t.kind == Token::Number && t.digits <= 2;
}

// Separators must be consistent in the numeric forms: "1/2-2005" is not a date.
bool consistentSeparators(std::string_view text) {
    char seen = 0;
    for (char c : text) {
        if (c == '/' || c == '-' || c == '.') {
            if (seen && c != seen)
                return false;
            seen = c;
        }
    }
    return true;
}

} // namespace

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))
        return 29;
    return days[static_cast<std::size_t>(month - 1)];
}

bool isValidDate(int year, int month, int day) {
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

std::optional<Date> parseDate(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    auto tokens = tokenize(text);
    if (!tokens || tokens->count != 3)
        return std::nullopt;
    const auto& t = tokens->items;
    int months = 0;
    for (const auto& tok : t)
        months += tok.kind == Token::Month;

    std::optional<Date> d;
    if (months == 0) {
        if (!consistentSeparators(text))
            return std::nullopt;
        if (t[0].digits == 4 && smallNumber(t[1]) && smallNumber(t[2]))
            d = Date{t[0].value, t[1].value, t[2].value};
        else if (smallNumber(t[0]) && smallNumber(t[1]))
            if (auto y = year(t[2]))
                d = Date{*y, t[0].value, t[1].value};
    } else if (months == 1) {
        if (t[0].kind == Token::Month && smallNumber(t[1])) { // January 15, 2005
            if (auto y = year(t[2]))
                d = Date{*y, t[0].value, t[1].value};
        } else if (smallNumber(t[0]) && t[1].kind == Token::Month) { // 15-Jan-2005
            if (auto y = year(t[2]))
                d = Date{*y, t[1].value, t[0].value};
        }
    }
    if (!d || !isValidDate(d->year, d->month, d->day))
        return std::nullopt;
    return d;
}

long long toSerial(const Date& date) {
    // Days from the civil calendar (proleptic Gregorian), shifted to 1899-12-30.
    long long y = date.year - (date.month <= 2 ? 1 : 0);
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long mp = (date.month + 9) % 12;
    long long doy = (153 * mp + 2) / 5 + date.day - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long long daysFromEpoch1970 = era * 146097 + doe - 719468;
    return daysFromEpoch1970 + 25569;
}

Date fromSerial(long long serial) {
    long long z = serial - 25569 + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

Date addDays(const Date& date, long long days) {
    return fromSerial(toSerial(date) + days);
}

std::string formatUs(const Date& date) {
    // By hand: this runs for every date of every imported record.
    auto digits = [](std::string& out, int value, int width) {
        if (value < 0)
            out += '-';
        unsigned v = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        char reversed[12];
        int n = 0;
        do {
            reversed[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        for (int i = n; i < width; ++i)
            out += '0';
        while (n > 0)
            out += reversed[--n];
    };
    std::string out;
    out.reserve(10);
    digits(out, date.month, 2);
    out += '/';
    digits(out, date.day, 2);
    out += '/';
    digits(out, date.year, 4);
    return out;
}

} // namespace dates
