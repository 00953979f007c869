// The eight-byte search against a plain byte-by-byte one: every place of the match, with and
// without bytes above ASCII before it, in texts that end inside a word or on its edge.
#include "base/ByteScan.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::size_t slowFind(std::string_view text, std::size_t at, char a, char b, char c,
                     std::uint64_t& seen) {
    for (; at < text.size() && text[at] != a && text[at] != b && text[at] != c; ++at)
        seen |= static_cast<unsigned char>(text[at]);
    return at;
}

TEST(ByteScan, FindsTheFirstOfThreeBytesWhereverItFalls) {
    for (std::size_t length = 0; length <= 20; ++length)
        for (std::size_t match = 0; match <= length; ++match)
            for (std::size_t start = 0; start <= match; ++start)
                for (std::size_t high = 0; high <= length; ++high) { // length: none
                    std::string text(length, 'x');
                    if (high < length)
                        text[high] = '\xE9';
                    if (match < length)
                        text[match] = match % 2 ? '\t' : '\r';
                    if (match + 1 < length)
                        text[match + 1] = '\n'; // a second match after the first
                    std::uint64_t fast = 0, slow = 0;
                    const auto at = bytescan::findAnyOf(text, start, '\r', '\t', '\n', fast);
                    SCOPED_TRACE("length " + std::to_string(length) + ", match " +
                                 std::to_string(match) + ", from " + std::to_string(start) +
                                 ", high byte at " + std::to_string(high));
                    EXPECT_EQ(at, slowFind(text, start, '\r', '\t', '\n', slow));
                    EXPECT_EQ(bytescan::hasHighByte(fast), bytescan::hasHighByte(slow));
                    EXPECT_EQ(fast == 0, slow == 0);
                }
}

} // namespace
