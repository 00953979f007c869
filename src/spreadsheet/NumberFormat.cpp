#include "spreadsheet/NumberFormat.h"

#include "spreadsheet/Book.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace spreadsheet {
namespace {

using detail::asciiLower;

// ---- Decimal digits ---------------------------------------------------------------------------

// A non-negative value as decimal digits: value = 0.digits x 10^point, so `point` digits stand
// before the decimal point. Whole numbers below 10^16 keep every digit; anything else is cut to
// the 15 significant digits a spreadsheet program works with, which also hides the binary
// noise of values such as 1.005 (stored as 1.00499999...).
struct Digits {
    std::string digits; // no leading or trailing zeros; empty for zero
    int point = 0;
};

void trimZeros(Digits& d) {
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.point = 0;
}

Digits digitsOf(double x) {
    Digits d;
    if (!(x > 0))
        return d;
    char buf[400];
    if (x < 1e16 && x == std::floor(x)) {
        auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 0);
        d.digits.assign(buf, r.ptr);
        d.point = static_cast<int>(d.digits.size());
    } else {
        // "d.dddddddddddddde-XX"
        auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
        std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
        const auto e = s.find('e');
        d.digits = std::string(1, s[0]) + std::string(s.substr(2, e - 2));
        int exponent = 0;
        const char* first = s.data() + e + 1;
        std::from_chars(first + (*first == '+'), s.data() + s.size(), exponent);
        d.point = exponent + 1;
    }
    trimZeros(d);
    return d;
}

// Rounded half away from zero to `decimals` places after the point.
Digits rounded(Digits d, int decimals) {
    const int keep = d.point + decimals;
    if (keep >= static_cast<int>(d.digits.size()))
        return d;
    if (keep < 0)
        return {};
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9')
            d.digits[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            d.digits.insert(0, "1");
            ++d.point;
        } else {
            ++d.digits[static_cast<std::size_t>(i)];
        }
    }
    trimZeros(d);
    return d;
}

std::string wholeDigits(const Digits& d) {
    if (d.point <= 0)
        return {};
    std::string s = d.digits.substr(0, std::min<std::size_t>(d.digits.size(), d.point));
    s.append(static_cast<std::size_t>(d.point) - s.size(), '0');
    return s;
}

std::string fractionDigits(const Digits& d, int decimals) {
    std::string s;
    for (int i = 0; i < decimals; ++i) {
        const int at = d.point + i;
        s += at >= 0 && at < static_cast<int>(d.digits.size()) ? d.digits[at] : '0';
    }
    return s;
}

std::string zeroPadded(std::int64_t v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

// ---- Format codes ----------------------------------------------------------------------------

enum class Tok : std::uint8_t {
    Literal,
    Zero,     // 0: a digit, or 0
    Hash,     // #: a digit, or nothing
    Question, // ?: a digit, or a blank
    Point,
    Comma,
    Percent,
    Exponent, // text "E+", "E-", "e+", "e-"
    Slash,
    General,
    At,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    SubSecond, // count: digits
    AmPm,      // text as written: "AM/PM" or "A/P" in any case
    ElapsedHours,
    ElapsedMinutes,
    ElapsedSeconds,
};

struct Token {
    Tok kind;
    std::string text; // a literal's characters; AmPm and Exponent as written
    int count = 0;    // length of a date letter run, digits of an elapsed or sub-second part
};

bool isDigitPlace(Tok t) {
    return t == Tok::Zero || t == Tok::Hash || t == Tok::Question;
}

bool isDatePart(Tok t) {
    return t >= Tok::Year;
}

struct Condition {
    enum Op { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual } op;
    double operand;
    bool holds(double v) const {
        switch (op) {
        case Less:
            return v < operand;
        case LessEqual:
            return v <= operand;
        case Greater:
            return v > operand;
        case GreaterEqual:
            return v >= operand;
        case Equal:
            return v == operand;
        case NotEqual:
            return v != operand;
        }
        return false;
    }
};

enum class Shape { Literal, Number, Scientific, Fraction, Date, General, Text };

struct Section {
    std::vector<Token> tokens;
    std::optional<Condition> condition;
    Shape shape = Shape::Literal;
    // Number, Scientific and Fraction sections
    int percent = 0;
    int scale = 0; // thousands dropped by commas after the last digit
    bool grouping = false;
    int integerPlaces = 0, decimalPlaces = 0, exponentPlaces = 0;
    bool engineering = false; // "##0.0E+0": exponents in steps of integerPlaces
    char exponentSign = '+';  // "E+" shows both signs, "E-" only the minus
    // Fraction sections: tokens [0, numerator) hold the whole number part, [numerator, slash)
    // the numerator, after slash the denominator: fixed, or as many digits as denominatorPlaces.
    std::size_t numerator = 0, slash = 0;
    int fixedDenominator = 0, denominatorPlaces = 0;
    bool hasWhole = false;
    // Date sections
    int subSecondDigits = 0;
    bool twelveHour = false, calendar = false, elapsed = false;
};

// The length of the UTF-8 sequence that starts with byte c.
std::size_t sequenceLength(unsigned char c) {
    return c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view word) {
    if (s.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (asciiLower(s[at + i]) != word[i])
            return false;
    return true;
}

void addLiteral(std::vector<Token>& tokens, std::string_view text) {
    if (!tokens.empty() && tokens.back().kind == Tok::Literal)
        tokens.back().text += text;
    else
        tokens.push_back({Tok::Literal, std::string(text)});
}

std::optional<Condition> parseCondition(std::string_view b) {
    Condition c{Condition::Equal, 0};
    std::size_t n = 1;
    if (b.starts_with("<=")) {
        c.op = Condition::LessEqual, n = 2;
    } else if (b.starts_with(">=")) {
        c.op = Condition::GreaterEqual, n = 2;
    } else if (b.starts_with("<>")) {
        c.op = Condition::NotEqual, n = 2;
    } else if (b[0] == '<') {
        c.op = Condition::Less;
    } else if (b[0] == '>') {
        c.op = Condition::Greater;
    }
    auto r = std::from_chars(b.data() + n, b.data() + b.size(), c.operand);
    if (r.ec != std::errc())
        return std::nullopt;
    return c;
}

// A bracketed part: a colour, a locale or currency ("[$€-407]" shows "€"), a condition, or
// elapsed time ("[h]", "[mm]").
void addBracket(Section& s, std::string_view b) {
    if (b.empty())
        return;
    if (b[0] == '$') {
        addLiteral(s.tokens,
                   b.substr(1, b.find('-') == std::string_view::npos ? b.npos : b.find('-') - 1));
        return;
    }
    if (b[0] == '<' || b[0] == '>' || b[0] == '=') {
        s.condition = parseCondition(b);
        return;
    }
    const char letter = asciiLower(b[0]);
    if (letter == 'h' || letter == 'm' || letter == 's') {
        for (char c : b)
            if (asciiLower(c) != letter)
                return; // a colour such as [Magenta]
        const Tok kind = letter == 'h'   ? Tok::ElapsedHours
                         : letter == 'm' ? Tok::ElapsedMinutes
                                         : Tok::ElapsedSeconds;
        s.tokens.push_back({kind, {}, static_cast<int>(b.size())});
    }
}

Section lex(std::string_view code) {
    Section s;
    auto& t = s.tokens;
    std::size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        const char lower = asciiLower(c);
        if (c == '"') {
            const auto end = code.find('"', i + 1);
            addLiteral(t, code.substr(i + 1, end == code.npos ? code.npos : end - i - 1));
            i = end == code.npos ? code.size() : end + 1;
        } else if (c == '\\' || c == '_' || c == '*') {
            // An escaped character; the width of one (a blank); a fill, which text has no room for.
            const std::size_t n =
                i + 1 < code.size() ? sequenceLength(static_cast<unsigned char>(code[i + 1])) : 0;
            if (c == '\\')
                addLiteral(t, code.substr(i + 1, n));
            else if (c == '_')
                addLiteral(t, " ");
            i += 1 + n;
        } else if (c == '[') {
            const auto end = code.find(']', i);
            if (end == code.npos) {
                addLiteral(t, code.substr(i));
                break;
            }
            addBracket(s, code.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '0' || c == '#' || c == '?') {
            t.push_back({c == '0' ? Tok::Zero : c == '#' ? Tok::Hash : Tok::Question, {}, 0});
            ++i;
        } else if (c == '.' || c == ',' || c == '%' || c == '/' || c == '@') {
            t.push_back({c == '.'   ? Tok::Point
                         : c == ',' ? Tok::Comma
                         : c == '%' ? Tok::Percent
                         : c == '/' ? Tok::Slash
                                    : Tok::At,
                         std::string(1, c)});
            ++i;
        } else if (lower == 'e' && i + 1 < code.size() &&
                   (code[i + 1] == '+' || code[i + 1] == '-')) {
            t.push_back({Tok::Exponent, std::string(code.substr(i, 2))});
            i += 2;
        } else if (lower == 'g' && startsWithNoCase(code, i, "general")) {
            t.push_back({Tok::General, {}, 0});
            i += 7;
        } else if (lower == 'a' && startsWithNoCase(code, i, "am/pm")) {
            t.push_back({Tok::AmPm, std::string(code.substr(i, 5))});
            i += 5;
        } else if (lower == 'a' && startsWithNoCase(code, i, "a/p")) {
            t.push_back({Tok::AmPm, std::string(code.substr(i, 3))});
            i += 3;
        } else if (lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's') {
            std::size_t n = 1;
            while (i + n < code.size() && asciiLower(code[i + n]) == lower)
                ++n;
            const Tok kind = lower == 'y'   ? Tok::Year
                             : lower == 'm' ? Tok::Month
                             : lower == 'd' ? Tok::Day
                             : lower == 'h' ? Tok::Hour
                                            : Tok::Second;
            t.push_back({kind, {}, static_cast<int>(n)});
            i += n;
        } else {
            const std::size_t n = sequenceLength(static_cast<unsigned char>(c));
            addLiteral(t, code.substr(i, n));
            i += n;
        }
    }
    return s;
}

// The previous or next date part of token i, skipping literals; Literal when there is none.
Tok neighbourPart(const std::vector<Token>& t, std::size_t i, int step) {
    for (auto j = static_cast<std::ptrdiff_t>(i) + step;
         j >= 0 && j < static_cast<std::ptrdiff_t>(t.size()); j += step)
        if (isDatePart(t[static_cast<std::size_t>(j)].kind))
            return t[static_cast<std::size_t>(j)].kind;
    return Tok::Literal;
}

void shapeDate(Section& s) {
    s.shape = Shape::Date;
    auto& t = s.tokens;
    for (std::size_t i = 0; i < t.size(); ++i) {
        // "m" next to an hour or a second is minutes, as in "h:mm" and "mm:ss".
        if (t[i].kind == Tok::Month) {
            const Tok before = neighbourPart(t, i, -1), after = neighbourPart(t, i, 1);
            if (before == Tok::Hour || before == Tok::ElapsedHours || after == Tok::Second ||
                after == Tok::ElapsedSeconds)
                t[i].kind = Tok::Minute;
        }
        if (t[i].kind == Tok::AmPm)
            s.twelveHour = true;
    }
    std::vector<Token> out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const bool afterSeconds = !out.empty() && (out.back().kind == Tok::Second ||
                                                   out.back().kind == Tok::ElapsedSeconds);
        if (t[i].kind == Tok::Point && afterSeconds && i + 1 < t.size() &&
            t[i + 1].kind == Tok::Zero) {
            int n = 0;
            while (i + 1 < t.size() && t[i + 1].kind == Tok::Zero)
                ++n, ++i;
            n = std::min(n, 3);
            s.subSecondDigits = std::max(s.subSecondDigits, n);
            out.push_back({Tok::SubSecond, {}, n});
        } else if (isDatePart(t[i].kind)) {
            out.push_back(t[i]);
        } else {
            // Number signs inside a date are shown as written.
            std::string text = t[i].kind == Tok::Literal    ? t[i].text
                               : t[i].kind == Tok::Zero     ? "0"
                               : t[i].kind == Tok::Hash     ? "#"
                               : t[i].kind == Tok::Question ? "?"
                               : t[i].kind == Tok::General  ? "General"
                                                            : t[i].text;
            addLiteral(out, text);
        }
    }
    t = std::move(out);
    // Elapsed time ("[h]:mm", "-6:00:00") holds any number; a calendar part needs a real date.
    for (const auto& token : t) {
        s.elapsed = s.elapsed || token.kind >= Tok::ElapsedHours;
        s.calendar = s.calendar || token.kind == Tok::Year || token.kind == Tok::Month ||
                     token.kind == Tok::Day || token.kind == Tok::Hour || token.kind == Tok::AmPm;
    }
    for (const auto& token : t)
        s.calendar =
            s.calendar || (!s.elapsed && (token.kind == Tok::Minute || token.kind == Tok::Second));
}

void shapeFraction(Section& s, std::size_t slash) {
    auto& t = s.tokens;
    s.shape = Shape::Fraction;
    s.slash = slash;
    s.numerator = slash;
    while (s.numerator > 0 && isDigitPlace(t[s.numerator - 1].kind))
        --s.numerator;
    for (std::size_t i = 0; i < s.numerator; ++i)
        s.hasWhole = s.hasWhole || isDigitPlace(t[i].kind);
    // The denominator: a number written in the code ("?/16"), or digit places ("??/??").
    std::size_t i = slash + 1;
    if (i < t.size() && t[i].kind == Tok::Literal && t[i].text[0] >= '1' && t[i].text[0] <= '9') {
        std::string number;
        while (i < t.size() && (t[i].kind == Tok::Zero || t[i].kind == Tok::Literal)) {
            const std::string& piece = t[i].kind == Tok::Zero ? std::string("0") : t[i].text;
            std::size_t digits = 0;
            while (digits < piece.size() && piece[digits] >= '0' && piece[digits] <= '9')
                ++digits;
            number += piece.substr(0, digits);
            if (digits < piece.size()) {
                t[i].text = piece.substr(digits);
                break;
            }
            t.erase(t.begin() + static_cast<std::ptrdiff_t>(i));
        }
        std::from_chars(number.data(), number.data() + std::min<std::size_t>(number.size(), 9),
                        s.fixedDenominator);
    } else {
        while (i < t.size() && isDigitPlace(t[i].kind))
            ++s.denominatorPlaces, ++i;
    }
}

void shapeNumber(Section& s) {
    auto& t = s.tokens;
    std::size_t point = t.size(), exponent = t.size();
    for (const auto& token : t)
        s.percent += token.kind == Tok::Percent;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind == Tok::Point && point == t.size() && exponent == t.size()) {
            point = i;
        } else if (t[i].kind == Tok::Exponent && exponent == t.size()) {
            exponent = i;
            s.exponentSign = t[i].text[1];
        } else if (t[i].kind == Tok::Slash && exponent == t.size() && i > 0 &&
                   isDigitPlace(t[i - 1].kind) && i + 1 < t.size() &&
                   (isDigitPlace(t[i + 1].kind) ||
                    (t[i + 1].kind == Tok::Literal && t[i + 1].text[0] >= '1' &&
                     t[i + 1].text[0] <= '9'))) {
            return shapeFraction(s, i);
        }
    }
    s.shape = exponent < t.size() ? Shape::Scientific : Shape::Number;
    const std::size_t wholeEnd = std::min(point, exponent);
    // A comma between digits of the whole part groups thousands; commas after the last digit
    // divide by a thousand each. Any other comma shows nothing.
    std::size_t lastDigit = t.size();
    for (std::size_t i = 0; i < std::min(exponent, t.size()); ++i)
        if (isDigitPlace(t[i].kind))
            lastDigit = i;
    bool digitSeen = false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const Tok k = t[i].kind;
        if (isDigitPlace(k)) {
            digitSeen = true;
            if (i < wholeEnd)
                ++s.integerPlaces;
            else if (i < exponent)
                ++s.decimalPlaces;
            else
                ++s.exponentPlaces;
            if (k == Tok::Hash && i < wholeEnd)
                s.engineering = true;
        } else if (k == Tok::Comma) {
            if (lastDigit != t.size() && i > lastDigit && i < exponent)
                ++s.scale;
            else if (digitSeen && i < wholeEnd)
                s.grouping = true;
        }
    }
    s.engineering = s.engineering && s.integerPlaces > 1 && s.shape == Shape::Scientific;
}

Section parseSection(std::string_view code) {
    Section s = lex(code);
    bool digits = false, date = false, general = false, at = false;
    for (const auto& token : s.tokens) {
        digits = digits || isDigitPlace(token.kind);
        date = date || isDatePart(token.kind);
        general = general || token.kind == Tok::General;
        at = at || token.kind == Tok::At;
    }
    if (at)
        s.shape = Shape::Text;
    else if (date)
        shapeDate(s);
    else if (general)
        s.shape = Shape::General;
    else if (digits)
        shapeNumber(s);
    return s;
}

std::vector<std::string_view> splitSections(std::string_view code) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    bool quoted = false, bracket = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (quoted) {
            quoted = c != '"';
        } else if (bracket) {
            bracket = c != ']';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            bracket = true;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == ';') {
            out.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(code.substr(start));
    return out;
}

// ---- Rendering numbers -----------------------------------------------------------------------

// The whole part's digits spread over its digit places, right to left; digits beyond the
// places go to the first one. Commas every three digits when the code groups thousands.
class WholePlaces {
public:
    WholePlaces(std::string digits, std::vector<Tok> kinds, bool grouping)
        : digits_(std::move(digits)), kinds_(std::move(kinds)), grouping_(grouping) {
        for (std::size_t k = 0; k < kinds_.size(); ++k)
            for (char c : placeText(k))
                total_ += c != ' ';
    }
    // The text of the next place from the left.
    void putNext(std::string& out) {
        if (next_ >= kinds_.size())
            return;
        for (char c : placeText(next_++)) {
            out += c;
            if (c == ' ')
                continue;
            const int right = total_ - ++emitted_;
            if (grouping_ && right > 0 && right % 3 == 0)
                out += ',';
        }
    }

private:
    std::string placeText(std::size_t k) const {
        const std::size_t length = digits_.size(), places = kinds_.size();
        const std::size_t fromRight = places - 1 - k;
        std::string s;
        if (k == 0 && length > places)
            s = digits_.substr(0, length - places);
        if (fromRight < length)
            s += digits_[length - 1 - fromRight];
        else if (kinds_[k] == Tok::Zero)
            s += '0';
        else if (kinds_[k] == Tok::Question)
            s += ' ';
        return s;
    }
    std::string digits_;
    std::vector<Tok> kinds_;
    bool grouping_;
    std::size_t next_ = 0;
    int total_ = 0, emitted_ = 0;
};

// The decimal digits over the decimal places: trailing zeros on '#' vanish, on '?' are blanks.
std::vector<std::string> decimalTexts(const std::vector<Tok>& places, const std::string& digits) {
    std::vector<std::string> out(places.size());
    std::size_t keep = 0;
    for (std::size_t j = 0; j < places.size(); ++j)
        if (digits[j] != '0' || places[j] == Tok::Zero)
            keep = j + 1;
    for (std::size_t j = 0; j < places.size(); ++j)
        out[j] = j < keep ? std::string(1, digits[j]) : places[j] == Tok::Question ? " " : "";
    return out;
}

// Number and Scientific sections: whole digits, decimals, and the exponent's text.
std::string placeDigits(const Section& s, const std::string& whole, const std::string& decimals,
                        const std::string& exponentText) {
    const auto& t = s.tokens;
    std::vector<Tok> wholePlaces, decimalPlaces;
    bool inWhole = true, pastExponent = false;
    for (const auto& token : t) {
        if (token.kind == Tok::Point && inWhole && !pastExponent)
            inWhole = false;
        else if (token.kind == Tok::Exponent)
            pastExponent = true, inWhole = false;
        else if (isDigitPlace(token.kind) && !pastExponent)
            (inWhole ? wholePlaces : decimalPlaces).push_back(token.kind);
    }
    const auto decimalText = decimalTexts(decimalPlaces, decimals);
    bool anyDecimal = false;
    for (const auto& d : decimalText)
        anyDecimal = anyDecimal || !d.empty();

    WholePlaces places(whole, wholePlaces, s.grouping);
    std::string out;
    std::size_t j = 0;
    inWhole = true;
    pastExponent = false;
    // With no place for the whole part ("#.00%", ".00"), its digits go before the point.
    const bool wholeAtPoint = s.integerPlaces == 0;
    for (const auto& token : t) {
        switch (token.kind) {
        case Tok::Zero:
        case Tok::Hash:
        case Tok::Question:
            if (pastExponent)
                break;
            if (inWhole)
                places.putNext(out);
            else if (j < decimalText.size())
                out += decimalText[j++];
            break;
        case Tok::Point:
            if (inWhole && !pastExponent) {
                inWhole = false;
                if (wholeAtPoint)
                    out += whole;
                // A spreadsheet program leaves out a point that no decimal follows.
                if (anyDecimal)
                    out += '.';
            } else {
                out += '.';
            }
            break;
        case Tok::Exponent:
            if (inWhole && wholeAtPoint)
                out += whole;
            inWhole = false;
            pastExponent = true;
            out += token.text[0];
            out += exponentText;
            break;
        case Tok::Comma:
            break;
        case Tok::Percent:
        case Tok::Literal:
        case Tok::Slash:
            out += token.text;
            break;
        default:
            break;
        }
    }
    if (inWhole && wholeAtPoint)
        out += whole;
    return out;
}

// Returns the text and whether anything but zero shows.
std::pair<std::string, bool> renderNumber(const Section& s, double x) {
    x *= std::pow(100.0, s.percent) / std::pow(1000.0, s.scale);
    const Digits d = rounded(digitsOf(x), s.decimalPlaces);
    return {placeDigits(s, wholeDigits(d), fractionDigits(d, s.decimalPlaces), {}),
            !d.digits.empty()};
}

std::pair<std::string, bool> renderScientific(const Section& s, double x) {
    x *= std::pow(100.0, s.percent);
    const Digits d = digitsOf(x);
    // "0.00E+00" keeps one digit before the point, "00.0E+0" two; "##0.0E+0" moves the
    // exponent in steps of three.
    const int step = s.engineering ? s.integerPlaces : 1;
    const int room = s.integerPlaces;
    int exponent = 0;
    Digits mantissa;
    if (!d.digits.empty()) {
        const int first = d.point - 1; // the power of ten of the first digit
        exponent = s.engineering ? static_cast<int>(std::floor(first / double(step))) * step
                                 : first + 1 - room;
        mantissa = rounded(Digits{d.digits, d.point - exponent}, s.decimalPlaces);
        if (mantissa.point > room) { // 9.99 shown with one decimal is 1.0E+1
            exponent += step;
            mantissa = rounded(Digits{d.digits, d.point - exponent}, s.decimalPlaces);
        }
    }
    std::string exponentText = exponent < 0 ? "-" : s.exponentSign == '+' ? "+" : "";
    exponentText += zeroPadded(exponent < 0 ? -exponent : exponent, s.exponentPlaces);
    return {placeDigits(s, wholeDigits(mantissa), fractionDigits(mantissa, s.decimalPlaces),
                        exponentText),
            !mantissa.digits.empty()};
}

// The closest fraction with a denominator of at most maxDenominator; the smallest denominator
// wins a tie.
std::pair<std::int64_t, std::int64_t> closestFraction(double f, std::int64_t maxDenominator) {
    std::int64_t bestNum = 0, bestDen = 1;
    double bestError = f;
    for (std::int64_t den = 1; den <= maxDenominator && bestError > 0; ++den) {
        const auto num = static_cast<std::int64_t>(std::llround(f * static_cast<double>(den)));
        const double error = std::fabs(f - static_cast<double>(num) / static_cast<double>(den));
        if (error < bestError)
            bestError = error, bestNum = num, bestDen = den;
    }
    return {bestNum, bestDen};
}

// Digits placed right-aligned (numerator) or left-aligned (denominator) on their places.
std::string fractionPart(const std::string& digits, const std::vector<Tok>& places, bool right) {
    if (digits.size() >= places.size())
        return digits;
    std::string pad;
    for (std::size_t i = 0; i < places.size() - digits.size(); ++i) {
        const Tok kind = right ? places[i] : places[digits.size() + i];
        pad += kind == Tok::Zero ? (right ? "0" : " ") : kind == Tok::Question ? " " : "";
    }
    return right ? pad + digits : digits + pad;
}

std::pair<std::string, bool> renderFraction(const Section& s, double x) {
    x *= std::pow(100.0, s.percent);
    const auto& t = s.tokens;
    double whole = s.hasWhole ? std::floor(x) : 0;
    std::int64_t num = 0, den = 1;
    const double f = x - whole;
    if (s.fixedDenominator > 0) {
        den = s.fixedDenominator;
        num = std::llround(f * static_cast<double>(den));
    } else {
        std::int64_t maxDen = 1;
        for (int i = 0; i < std::min(s.denominatorPlaces, 5); ++i)
            maxDen *= 10;
        std::tie(num, den) = closestFraction(f, std::max<std::int64_t>(maxDen - 1, 1));
    }
    if (s.hasWhole && num == den)
        whole += 1, num = 0;

    std::vector<Tok> wholePlaces, numPlaces, denPlaces;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (isDigitPlace(t[i].kind))
            (i < s.numerator ? wholePlaces
             : i < s.slash   ? numPlaces
                             : denPlaces)
                .push_back(t[i].kind);
    const bool fractionShows = num != 0 || !s.hasWhole;
    std::string wholeText = wholeDigits(digitsOf(whole));
    // Nothing else shows: the whole part shows its 0.
    if (wholeText.empty() && !fractionShows)
        wholeText = "0";
    WholePlaces places(wholeText, wholePlaces, false);

    std::string out, hidden;
    bool wholeShown = false;
    const std::size_t denominatorEnd =
        s.fixedDenominator > 0 ? s.slash + 1 : s.slash + 1 + denPlaces.size();
    for (std::size_t i = 0; i < t.size(); ++i) {
        const Token& token = t[i];
        if (i < s.numerator) {
            if (isDigitPlace(token.kind))
                places.putNext(out), wholeShown = true;
            else if (token.kind == Tok::Literal && !fractionShows && wholeShown)
                hidden += token.text; // the blank between whole and fraction, kept as blanks
            else if (token.kind != Tok::Comma)
                out += token.text;
        } else if (i < denominatorEnd) {
            std::string piece;
            if (i == s.numerator)
                piece = fractionPart(std::to_string(num), numPlaces, true);
            else if (i == s.slash)
                piece = "/" + (s.fixedDenominator > 0
                                   ? std::to_string(s.fixedDenominator)
                                   : fractionPart(std::to_string(den), denPlaces, false));
            if (fractionShows)
                out += piece;
            else
                hidden += piece;
        } else if (token.kind != Tok::Comma) {
            if (!hidden.empty())
                out.append(hidden.size(), ' '), hidden.clear();
            out += token.text;
        }
    }
    if (!hidden.empty())
        out.append(hidden.size(), ' ');
    return {out, whole != 0 || num != 0};
}

// ---- Rendering dates -------------------------------------------------------------------------

constexpr std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};
constexpr std::array<const char*, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

struct Civil {
    std::int64_t year;
    int month, day;
};

// The proleptic Gregorian date of a day count from 1970-01-01.
Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2), m, d};
}

std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr std::int64_t k1899Dec30 = -25569; // days from 1970-01-01
constexpr std::int64_t k1904Jan1 = -24107;
constexpr std::int64_t kLastSerial1900 = 2958465; // 9999-12-31
constexpr std::int64_t kLastSerial1904 = 2957003;

// The date of a whole serial day, with the 1900 system's day 0 (January 0) and 29 February.
Civil dateOf(std::int64_t serial, DateSystem system) {
    if (system == DateSystem::From1904)
        return civilFromDays(k1904Jan1 + serial);
    if (serial == 0)
        return {1900, 1, 0};
    if (serial == 60)
        return {1900, 2, 29};
    return civilFromDays(k1899Dec30 + serial + (serial < 60 ? 1 : 0));
}

std::string renderDate(const Section& s, double x, DateSystem system) {
    // Times are kept to the millisecond, then cut to the seconds shown, as a spreadsheet
    // program shows 10:30:59.7 as 10:30:59 with "h:mm:ss"; shown fractions of a second and
    // elapsed time ("[h]:mm:ss") are rounded instead.
    // Beyond any calendar, and beyond counting in milliseconds.
    if (x >= 1e11)
        return "########";
    const auto ms = static_cast<std::int64_t>(std::llround(x * 86400000.0));
    std::int64_t divisor = 1000;
    for (int i = 0; i < s.subSecondDigits; ++i)
        divisor /= 10;
    const std::int64_t perSecond = 1000 / divisor;
    const std::int64_t units =
        s.subSecondDigits > 0 || s.elapsed ? (ms + divisor / 2) / divisor : ms / divisor;
    const std::int64_t seconds = units / perSecond, fraction = units % perSecond;
    const std::int64_t serial = seconds / 86400, secondOfDay = seconds % 86400;
    if (s.calendar && serial > (system == DateSystem::From1900 ? kLastSerial1900 : kLastSerial1904))
        return "########";
    const Civil date = dateOf(serial, system);
    const int weekday = static_cast<int>((serial + (system == DateSystem::From1900 ? 6 : 5)) % 7);
    const int hour = static_cast<int>(secondOfDay / 3600);
    const int minute = static_cast<int>(secondOfDay / 60 % 60);
    const int second = static_cast<int>(secondOfDay % 60);

    std::string out;
    for (const auto& token : s.tokens) {
        const int n = token.count;
        switch (token.kind) {
        case Tok::Year:
            out += n <= 2 ? zeroPadded(date.year % 100, 2) : zeroPadded(date.year, 4);
            break;
        case Tok::Month:
            out += n <= 2   ? zeroPadded(date.month, n)
                   : n == 3 ? std::string(kMonths[date.month - 1], 3)
                   : n == 5 ? std::string(kMonths[date.month - 1], 1)
                            : std::string(kMonths[date.month - 1]);
            break;
        case Tok::Day:
            out += n <= 2   ? zeroPadded(date.day, n)
                   : n == 3 ? std::string(kDays[weekday], 3)
                            : std::string(kDays[weekday]);
            break;
        case Tok::Hour: {
            const int h = s.twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
            out += zeroPadded(h, std::min(n, 2));
            break;
        }
        case Tok::Minute:
            out += zeroPadded(minute, std::min(n, 2));
            break;
        case Tok::Second:
            out += zeroPadded(second, std::min(n, 2));
            break;
        case Tok::SubSecond: {
            std::string digits = zeroPadded(fraction, s.subSecondDigits);
            out += "." + digits.substr(0, static_cast<std::size_t>(n));
            break;
        }
        case Tok::ElapsedHours:
            out += zeroPadded(seconds / 3600, n);
            break;
        case Tok::ElapsedMinutes:
            out += zeroPadded(seconds / 60, n);
            break;
        case Tok::ElapsedSeconds:
            out += zeroPadded(seconds, n);
            break;
        case Tok::AmPm: {
            const bool pm = hour >= 12;
            if (token.text.size() == 3) {
                out += token.text[pm ? 2 : 0];
            } else {
                const bool lower = token.text[0] == 'a';
                out += pm ? (lower ? "pm" : "PM") : (lower ? "am" : "AM");
            }
            break;
        }
        default:
            out += token.text;
            break;
        }
    }
    return out;
}

std::string renderLiterals(const Section& s, const std::string& general) {
    std::string out;
    for (const auto& token : s.tokens)
        out += token.kind == Tok::General || token.kind == Tok::At ? general : token.text;
    return out;
}

} // namespace

struct NumberFormat::Parsed {
    std::vector<Section> numeric; // the sections for numbers: positive, negative, zero
    std::optional<Section> text;
};

NumberFormat::NumberFormat(std::string_view code) : parsed_(std::make_unique<Parsed>()) {
    auto pieces = splitSections(code);
    for (std::size_t i = 0; i < pieces.size() && i < 4; ++i) {
        Section s = parseSection(pieces[i]);
        if (i == 3 || s.shape == Shape::Text) {
            if (!parsed_->text)
                parsed_->text = std::move(s);
        } else {
            parsed_->numeric.push_back(std::move(s));
        }
    }
    if (parsed_->numeric.size() == 1 && parsed_->numeric[0].tokens.empty() && code.empty())
        parsed_->numeric.clear();
}

NumberFormat::~NumberFormat() = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;

std::string NumberFormat::format(double v, DateSystem dates) const {
    if (!std::isfinite(v))
        return "#NUM!";
    const auto& secs = parsed_->numeric;
    if (secs.empty())
        return generalText(v);

    // Which section shows the value: by its conditions, or by sign (positive;negative;zero).
    std::size_t pick = 0;
    if (secs[0].condition) {
        if (!secs[0].condition->holds(v) && secs.size() > 1) {
            if (secs[1].condition && !secs[1].condition->holds(v) && secs.size() > 2)
                pick = 2;
            else
                pick = 1;
        }
    } else if (secs.size() == 2) {
        pick = v < 0 ? 1 : 0;
    } else if (secs.size() >= 3) {
        pick = v > 0 ? 0 : v < 0 ? 1 : 2;
    }
    const Section& s = secs[pick];
    // The first section writes a minus before a negative value; the others show its size and
    // carry their own signs.
    const bool minus = pick == 0 && v < 0;
    const double x = std::fabs(v);

    std::pair<std::string, bool> shown;
    switch (s.shape) {
    case Shape::Number:
        shown = renderNumber(s, x);
        break;
    case Shape::Scientific:
        shown = renderScientific(s, x);
        break;
    case Shape::Fraction:
        shown = renderFraction(s, x);
        break;
    case Shape::General:
        shown = {renderLiterals(s, generalText(x)), x != 0};
        break;
    case Shape::Date:
        if (v < 0 && s.calendar)
            return "########";
        shown = {renderDate(s, x, dates), x != 0};
        break;
    default:
        shown = {renderLiterals(s, {}), true};
        break;
    }
    return minus && shown.second ? "-" + shown.first : shown.first;
}

std::string NumberFormat::formatText(std::string_view text) const {
    if (!parsed_->text)
        return std::string(text);
    return renderLiterals(*parsed_->text, std::string(text));
}

std::string_view builtinFormatCode(int id) {
    switch (id) {
    case 1:
        return "0";
    case 2:
        return "0.00";
    case 3:
        return "#,##0";
    case 4:
        return "#,##0.00";
    case 5:
        return "\"$\"#,##0_);\\(\"$\"#,##0\\)";
    case 6:
        return "\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)";
    case 7:
        return "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)";
    case 8:
        return "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)";
    case 9:
        return "0%";
    case 10:
        return "0.00%";
    case 11:
        return "0.00E+00";
    case 12:
        return "# ?/?";
    case 13:
        return "# ?\?/??";
    case 14:
        return "m/d/yyyy";
    case 15:
        return "d-mmm-yy";
    case 16:
        return "d-mmm";
    case 17:
        return "mmm-yy";
    case 18:
        return "h:mm AM/PM";
    case 19:
        return "h:mm:ss AM/PM";
    case 20:
        return "h:mm";
    case 21:
        return "h:mm:ss";
    case 22:
        return "m/d/yyyy h:mm";
    case 37:
        return "#,##0 ;(#,##0)";
    case 38:
        return "#,##0 ;[Red](#,##0)";
    case 39:
        return "#,##0.00 ;(#,##0.00)";
    case 40:
        return "#,##0.00 ;[Red](#,##0.00)";
    case 41:
        return "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)";
    case 42:
        return "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)";
    case 43:
        return "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)";
    case 44:
        return "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)";
    case 45:
        return "mm:ss";
    case 46:
        return "[h]:mm:ss";
    case 47:
        return "mm:ss.0";
    case 48:
        return "##0.0E+0";
    case 49:
        return "@";
    default:
        return {};
    }
}

std::string generalText(double value) {
    if (!std::isfinite(value))
        return "#NUM!";
    const Digits d = digitsOf(std::fabs(value));
    if (d.digits.empty())
        return "0";
    const std::string sign = value < 0 ? "-" : "";
    const int first = d.point - 1; // the power of ten of the first digit
    const int decimals = static_cast<int>(d.digits.size()) - d.point;
    // Where a spreadsheet program switches to the exponent form.
    const bool plain = first < 16 && (first >= -4 || (first >= -9 && decimals <= 16));
    if (plain) {
        std::string whole = wholeDigits(d);
        std::string out = sign + (whole.empty() ? "0" : whole);
        if (decimals > 0)
            out += "." + fractionDigits(d, decimals);
        return out;
    }
    std::string out = sign + d.digits.substr(0, 1);
    if (d.digits.size() > 1)
        out += "." + d.digits.substr(1);
    out += first < 0 ? "E-" : "E+";
    return out + zeroPadded(first < 0 ? -first : first, 2);
}

bool serialFromIso(std::string_view text, DateSystem dates, double& serial) {
    auto number = [&](std::size_t at, std::size_t width, int& out) {
        if (text.size() < at + width)
            return false;
        auto r = std::from_chars(text.data() + at, text.data() + at + width, out);
        return r.ec == std::errc() && r.ptr == text.data() + at + width;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::size_t at = 0;
    double days = 0;
    if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
        if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || mo < 1 || mo > 12 ||
            d < 1 || d > 31)
            return false;
        const std::int64_t z = daysFromCivil(y, mo, d);
        if (dates == DateSystem::From1904) {
            days = static_cast<double>(z - k1904Jan1);
        } else {
            days = static_cast<double>(z - k1899Dec30);
            // Before 1 March 1900 the 1900 system counts one day less (it has a 29 February).
            if (days < 61)
                days -= 1;
        }
        at = 10;
        if (at < text.size() && text[at] == 'T')
            ++at;
    }
    double fraction = 0;
    if (at + 8 <= text.size() && text[at + 2] == ':' && text[at + 5] == ':') {
        if (!number(at, 2, h) || !number(at + 3, 2, mi) || !number(at + 6, 2, s))
            return false;
        fraction = (h * 3600 + mi * 60 + s) / 86400.0;
        at += 8;
        if (at < text.size() && text[at] == '.') {
            std::size_t end = at + 1;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9')
                ++end;
            double part = 0;
            std::from_chars(text.data() + at, text.data() + end, part);
            fraction += part / 86400.0;
            at = end;
        }
    } else if (at == 0) {
        return false;
    }
    // A zone ("Z", "+01:00") is left aside: the cell shows the time as written.
    serial = days + fraction;
    return true;
}

} // namespace spreadsheet
