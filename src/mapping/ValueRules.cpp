#include "mapping/ValueRules.h"

#include "base/Numbers.h"
#include "platform/Ansi.h"
#include "platform/Dates.h"

#include <algorithm>

namespace mapping {

std::string cityJoin(std::string_view city, std::string_view state, std::string_view zip) {
    city = ansi::trim(city), state = ansi::trim(state), zip = ansi::trim(zip);
    std::string joined;
    joined.reserve(city.size() + state.size() + zip.size() + 4);
    joined.append(city).append(", ").append(state).append("  ").append(zip);
    return joined;
}

std::string genderCode(std::string_view value) {
    if (value.empty())
        return "N";
    char c = value.front();
    if (c == 'm' || c == 'M')
        return "M";
    if (c == 'f' || c == 'F')
        return "F";
    return "N";
}

std::string socialNumber(std::string_view value) {
    auto t = ansi::trim(value);
    if (t.size() == 9)
        return std::string(t.substr(0, 3)) + "-" + std::string(t.substr(3, 2)) + "-" +
               std::string(t.substr(5, 4));
    return std::string(t);
}

namespace {
// The text the date rules read: trimmed, and none of it when over ten characters. A text
// rather than an optional date, which would cost a copy through memory on every date.
std::string_view dateText(std::string_view value) {
    auto t = ansi::trim(value);
    return t.size() > 10 ? std::string_view() : t;
}
} // namespace

std::string dateRule(std::string_view value) {
    dates::Date d;
    return dates::readDate(dateText(value), d) ? dates::formatUs(d) : std::string();
}

std::string retirementDate(std::string_view value) {
    dates::Date d;
    if (!dates::readDate(dateText(value), d) || dates::toSerial(d) <= dates::toSerial({100, 1, 1}))
        return std::string();
    return dates::formatUs(dates::addDays(d, -1));
}

namespace {

std::optional<numbers::DecimalDigits> parseNumber(std::string_view value) {
    return numbers::splitDecimal(ansi::trim(value));
}

} // namespace

bool isNumber(std::string_view value) {
    return parseNumber(value).has_value();
}

std::optional<std::string> formatAmount(std::string_view value) {
    auto n = parseNumber(value);
    if (!n)
        return std::nullopt;
    // Hundredths as a digit string, rounded on the third decimal, without binary fractions.
    std::string digits = n->whole + (n->fraction + "000").substr(0, 2);
    bool roundUp = n->fraction.size() > 2 && n->fraction[2] >= '5';
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty())
        digits = "0";
    if (roundUp) {
        int k = static_cast<int>(digits.size()) - 1;
        while (k >= 0 && digits[static_cast<std::size_t>(k)] == '9')
            digits[static_cast<std::size_t>(k--)] = '0';
        if (k < 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[static_cast<std::size_t>(k)];
    }
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    std::string text = digits.substr(0, digits.size() - 2) + "." + digits.substr(digits.size() - 2);
    bool zero = digits.find_first_not_of('0') == std::string::npos;
    return (n->negative && !zero ? "-" : "") + text;
}

} // namespace mapping
