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

// A two-digit year: 2000..2029 for 00..29, 1930..1999 for 30..99.
int fullYear(int twoDigits) {
    return twoDigits < 30 ? 2000 + twoDigits : 1900 + twoDigits;
}

std::optional<int> year(const Token& t) {
    if (t.kind != Token::Number)
        return std::nullopt;
    if (t.digits == 4)
        return t.value >= 100 ? std::optional<int>(t.value) : std::nullopt;
    if (t.digits == 1 || t.digits == 2)
        return fullYear(t.value);
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

bool isSeparator(char c) {
    return c == '/' || c == '-' || c == '.';
}

// The digits from p on, as a number; gives how many there were. The value of more than four
// is of no use, and wraps harmlessly.
int readDigits(const char*& p, const char* end, unsigned& value) {
    const char* const start = p;
    for (value = 0; p != end && isDigit(static_cast<unsigned char>(*p)); ++p)
        value = value * 10 + static_cast<unsigned>(*p - '0');
    return static_cast<int>(p - start);
}

// The shape nearly every file writes (1/5/1970, 01/05/70, 1970-01-05): three numbers of one
// to four digits, one separator between them, nothing else. Read here by the general
// reading's rules at a fraction of its cost. A text of any other shape is left to the general
// reading (false); numbers that fit no numeric form give the empty Date, which is no calendar
// date. The date goes out field by field: GCC builds an aggregate answer in memory in pieces
// and reads it back whole, which stalls on every date of an import.
bool readPlain(std::string_view text, Date& date) {
    const char* p = text.data();
    const char* const end = p + text.size();
    unsigned a, b, c;
    const int digitsA = readDigits(p, end, a);
    if (p == end || !isSeparator(*p))
        return false;
    const char separator = *p++;
    const int digitsB = readDigits(p, end, b);
    if (p == end || *p++ != separator)
        return false;
    const int digitsC = readDigits(p, end, c);
    auto fits = [](int digits) { return digits >= 1 && digits <= 4; };
    if (p != end || !fits(digitsA) || !fits(digitsB) || !fits(digitsC))
        return false;

    const int x = static_cast<int>(a), y = static_cast<int>(b), z = static_cast<int>(c);
    date.year = date.month = date.day = 0;
    if (digitsA == 4 && digitsB <= 2 && digitsC <= 2) {
        date.year = x;
        date.month = y;
        date.day = z;
    } else if (digitsA <= 2 && digitsB <= 2 && digitsC != 3) {
        // A four-digit year under 100 is no date; isValidDate refuses it.
        date.year = digitsC == 4 ? z : fullYear(z);
        date.month = x;
        date.day = y;
    }
    return true;
}

// Every accepted form, by tokens; the date is not checked against the calendar yet.
std::optional<Date> anyForm(std::string_view text) {
    auto tokens = tokenize(text);
    if (!tokens || tokens->count != 3)
        return std::nullopt;
    const auto& t = tokens->items;
    int months = 0;
    for (const auto& tok : t)
        months += tok.kind == Token::Month;

    if (months == 0) {
        if (!consistentSeparators(text))
            return std::nullopt;
        if (t[0].digits == 4 && smallNumber(t[1]) && smallNumber(t[2]))
            return Date{t[0].value, t[1].value, t[2].value};
        if (smallNumber(t[0]) && smallNumber(t[1]))
            if (auto y = year(t[2]))
                return Date{*y, t[0].value, t[1].value};
    } else if (months == 1) {
        if (t[0].kind == Token::Month && smallNumber(t[1])) { // January 15, 2005
            if (auto y = year(t[2]))
                return Date{*y, t[0].value, t[1].value};
        } else if (smallNumber(t[0]) && t[1].kind == Token::Month) { // 15-Jan-2005
            if (auto y = year(t[2]))
                return Date{*y, t[1].value, t[0].value};
        }
    }
    return std::nullopt;
}

std::string_view withoutBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::optional<Date> valid(std::optional<Date> d) {
    if (!d || !isValidDate(d->year, d->month, d->day))
        return std::nullopt;
    return d;
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

namespace {

// Kept apart from the plain path, which GCC would otherwise join to this one through an optional
// in memory.
[[gnu::noinline]] bool readGeneral(std::string_view text, Date& date) {
    const auto general = valid(anyForm(text));
    if (general)
        date = *general;
    return general.has_value();
}

} // namespace

bool readDate(std::string_view text, Date& date) {
    text = withoutBlanks(text);
    if (!readPlain(text, date))
        return readGeneral(text, date);
    return isValidDate(date.year, date.month, date.day);
}

std::optional<Date> parseDate(std::string_view text) {
    Date date;
    if (!readDate(text, date))
        return std::nullopt;
    return date;
}

std::optional<Date> parseDateGeneral(std::string_view text) {
    return valid(anyForm(withoutBlanks(text)));
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

namespace {

// The decimal digits of value, zero-padded to width, into out; gives the end.
char* putNumber(char* out, int value, int width) {
    if (value < 0)
        *out++ = '-';
    unsigned v = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    char reversed[12];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = n; i < width; ++i)
        *out++ = '0';
    while (n > 0)
        *out++ = reversed[--n];
    return out;
}

} // namespace

std::string formatUs(const Date& date) {
    // By hand into one buffer: this runs for every date of every imported record.
    if (date.month >= 0 && date.month <= 99 && date.day >= 0 && date.day <= 99 &&
        date.year >= 1000 && date.year <= 9999) {
        // Every calendar date from the year 1000 on: ten characters in fixed places.
        const char text[10] = {static_cast<char>('0' + date.month / 10),
                               static_cast<char>('0' + date.month % 10),
                               '/',
                               static_cast<char>('0' + date.day / 10),
                               static_cast<char>('0' + date.day % 10),
                               '/',
                               static_cast<char>('0' + date.year / 1000),
                               static_cast<char>('0' + date.year / 100 % 10),
                               static_cast<char>('0' + date.year / 10 % 10),
                               static_cast<char>('0' + date.year % 10)};
        return std::string(text, sizeof text);
    }
    char text[48]; // room for three ints of any value
    char* end = putNumber(text, date.month, 2);
    *end++ = '/';
    end = putNumber(end, date.day, 2);
    *end++ = '/';
    end = putNumber(end, date.year, 4);
    return std::string(text, end);
}

} // namespace dates
