// The eight- and 64-byte searches against plain byte-by-byte ones: every place of the match, in
// texts that end inside a word or on its edge.
#include "base/ByteScan.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

// A byte above ASCII is found wherever it falls, also in the last, overlapping eight bytes.
TEST(ByteScan, FindsAByteAboveAsciiAnywhere) {
    for (std::size_t length = 0; length <= 20; ++length) {
        std::string text(length, '\x7F');
        EXPECT_FALSE(bytescan::anyHighByte(text)) << "length " << length;
        for (std::size_t high = 0; high < length; ++high) {
            std::string marked = text;
            marked[high] = '\x80';
            EXPECT_TRUE(bytescan::anyHighByte(marked)) << "length " << length << ", at " << high;
        }
    }
}

std::uint64_t slowMarks(std::string_view text, std::size_t at, char a, char b, char c) {
    std::uint64_t marks = 0;
    for (std::size_t i = 0; i < 64 && at + i < text.size(); ++i)
        if (text[at + i] == a || text[at + i] == b || text[at + i] == c)
            marks |= std::uint64_t(1) << i;
    return marks;
}

// Every pair of byte values side by side, at the edges of the eight- and sixteen-byte words and
// inside them: a borrow from one byte into the next would mark the wrong one.
TEST(ByteScan, MarksEverySeparatorOfABlockAndNothingElse) {
    for (std::size_t place : {0, 6, 7, 8, 15, 33, 62})
        for (int first = 0; first < 256; ++first)
            for (int second = 0; second < 256; ++second) {
                std::string block(64, 'x');
                block[place] = static_cast<char>(first);
                block[place + 1] = static_cast<char>(second);
                const auto slow = slowMarks(block, 0, '\r', '\t', '\n');
                const auto fast = bytescan::blockMarks(block.data(), '\r', '\t', '\n');
                const auto portable = bytescan::blockMarksPortable(block.data(), '\r', '\t', '\n');
                if (fast != slow || portable != slow)
                    FAIL() << "bytes " << first << ", " << second << " at " << place << ": " << fast
                           << " and " << portable << " for " << slow;
            }
}

// A piece's last block is short; nothing past its end is marked, whatever lies there.
TEST(ByteScan, MarksAndCountsToThePiecesEndOnly) {
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes += static_cast<char>(i % 7 == 0 ? '\n' : i % 5 == 0 ? '\t' : 'a' + i % 26);
    for (std::size_t length = 0; length <= 200; ++length) {
        const std::string_view piece = std::string_view(bytes).substr(0, length);
        for (std::size_t at = 0; at < length; at += 64) {
            EXPECT_EQ(bytescan::marksAt(piece, at, '\r', '\t', '\n'),
                      slowMarks(piece, at, '\r', '\t', '\n'))
                << "length " << length << ", from " << at;
            // NUL too, as the room past the end is filled with it.
            EXPECT_EQ(bytescan::marksAt(piece, at, 0, '\t', '\n'),
                      slowMarks(piece, at, 0, '\t', '\n'))
                << "length " << length << ", from " << at;
        }
        EXPECT_EQ(bytescan::countByte(piece, '\n'), std::count(piece.begin(), piece.end(), '\n'))
            << "length " << length;
    }
}

} // namespace
