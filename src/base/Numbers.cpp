#include "base/Numbers.h"

#include <charconv>

namespace numbers {
namespace {

template <class T>
std::optional<T> whole(std::string_view text) {
    T v{};
    const char* end = text.data() + text.size();
    auto r = std::from_chars(text.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end)
        return std::nullopt;
    return v;
}

template <class F>
std::string shortestOf(F v) {
    char buf[64]; // the longest double, "-2.2250738585072014e-308", is 24 characters
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<double> parseDouble(std::string_view text) {
    return whole<double>(text);
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    return whole<std::int64_t>(text);
}

std::optional<DecimalDigits> splitDecimal(std::string_view t) {
    DecimalDigits n;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        n.negative = t[i++] == '-';
    while (i < t.size() && isDigit(t[i]))
        n.whole += t[i++];
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i]))
            n.fraction += t[i++];
    }
    if (i != t.size() || (n.whole.empty() && n.fraction.empty()))
        return std::nullopt;
    return n;
}

std::string fixed(double v, int decimals) {
    // Room for the usual case; 1e308 takes 309 digits before the point, so grow when short.
    std::string out(40 + static_cast<std::size_t>(decimals), '\0');
    while (true) {
        auto r = std::to_chars(out.data(), out.data() + out.size(), v, std::chars_format::fixed,
                               decimals);
        if (r.ec == std::errc()) {
            out.resize(static_cast<std::size_t>(r.ptr - out.data()));
            return out;
        }
        out.resize(out.size() * 2);
    }
}

std::string shortest(double v) {
    return shortestOf(v);
}

std::string shortest(float v) {
    return shortestOf(v);
}

std::string padded(std::int64_t v, int width) {
    // The magnitude as unsigned, so the most negative value has one too.
    std::uint64_t magnitude =
        v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, magnitude);
    std::string digits(buf, r.ptr);
    std::string out = v < 0 ? "-" : "";
    int zeros = width - static_cast<int>(out.size() + digits.size());
    if (zeros > 0)
        out.append(static_cast<std::size_t>(zeros), '0');
    return out + digits;
}

} // namespace numbers
