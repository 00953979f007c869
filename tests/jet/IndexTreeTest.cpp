// The B-tree layer over an in-memory page store: random inserts and removals against a model,
// with the tree's structure verified as it grows and shrinks.
#include "jet/IndexTree.h"

#include "jet/Error.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

using namespace jet;

namespace {

// Pages hold at most `capacity` bytes of keys (plus a few per entry), so trees get deep fast.
class MemoryPages : public IndexPages {
public:
    explicit MemoryPages(std::size_t capacity) : capacity_(capacity) { pages_[1] = IndexNode{}; }
    IndexNode load(std::uint32_t page) override {
        auto it = pages_.find(page);
        if (it == pages_.end())
            throw Error("no page " + std::to_string(page));
        return it->second;
    }
    void store(std::uint32_t page, const IndexNode& node) override {
        ASSERT_TRUE(fits(node)) << "stored a node that does not fit";
        ASSERT_TRUE(pages_.count(page)) << "stored to an unallocated page " << page;
        pages_[page] = node;
    }
    bool fits(const IndexNode& node) override {
        std::size_t bytes = 0;
        for (const auto& e : node.entries)
            bytes += e.key.size() + (node.leaf ? 4 : 8);
        return bytes <= capacity_;
    }
    std::uint32_t allocate() override {
        pages_[next_] = IndexNode{};
        return next_++;
    }
    void release(std::uint32_t page) override {
        ASSERT_TRUE(pages_.erase(page)) << "released twice: " << page;
    }
    std::size_t live() const { return pages_.size(); }

private:
    std::size_t capacity_;
    std::map<std::uint32_t, IndexNode> pages_;
    std::uint32_t next_ = 2;
};

using Model = std::set<std::pair<std::vector<std::uint8_t>, RowId>>;

std::vector<std::uint8_t> randomKey(std::mt19937& rng) {
    // Short keys from a small alphabet: many shared prefixes and duplicate keys.
    std::vector<std::uint8_t> k(1 + rng() % 6);
    for (auto& b : k)
        b = static_cast<std::uint8_t>('a' + rng() % 4);
    return k;
}

void expectMatches(IndexTree& t, const Model& m) {
    auto got = t.entries();
    ASSERT_EQ(got.size(), m.size());
    auto it = m.begin();
    for (const auto& e : got) {
        ASSERT_EQ(e.key, it->first);
        ASSERT_EQ(e.row, it->second);
        ++it;
    }
    EXPECT_EQ(t.verify(), std::vector<std::string>{});
}

struct Shape {
    std::size_t capacity;
    int operations;
    unsigned seed;
};

class JetIndexTree : public ::testing::TestWithParam<Shape> {};

TEST_P(JetIndexTree, RandomInsertsAndRemovalsKeepTheTreeSound) {
    const Shape s = GetParam();
    MemoryPages pages(s.capacity);
    IndexTree tree(pages, 1, "test index");
    Model model;
    std::mt19937 rng(s.seed);
    std::uint32_t nextRow = 0;
    for (int op = 0; op < s.operations; ++op) {
        // Grow for the first two thirds, then mostly shrink.
        bool grow = op < s.operations * 2 / 3 ? rng() % 4 != 0 : rng() % 4 == 0;
        if (grow || model.empty()) {
            IndexEntry e{randomKey(rng),
                         RowId{100 + nextRow / 200, static_cast<std::uint16_t>(nextRow % 200)}, 0};
            ++nextRow;
            tree.insert(e);
            model.insert({e.key, e.row});
        } else {
            auto it = model.begin();
            std::advance(it, static_cast<long>(rng() % model.size()));
            ASSERT_TRUE(tree.remove(it->first, it->second));
            ASSERT_FALSE(tree.remove(it->first, it->second)) << "removed twice";
            model.erase(it);
        }
        if (op % 97 == 0)
            expectMatches(tree, model);
        ASSERT_EQ(tree.root(), 1u) << "the root must stay on its page";
    }
    expectMatches(tree, model);
    while (!model.empty()) {
        ASSERT_TRUE(tree.remove(model.begin()->first, model.begin()->second));
        model.erase(model.begin());
    }
    expectMatches(tree, model);
}

INSTANTIATE_TEST_SUITE_P(JetIndexTrees, JetIndexTree,
                         ::testing::Values(Shape{40, 3000, 1}, Shape{64, 3000, 2},
                                           Shape{200, 5000, 3}, Shape{1000, 2000, 4}),
                         [](const auto& info) {
                             return "Capacity" + std::to_string(info.param.capacity);
                         });

TEST(JetIndexTreeOps, AnEntryIsRefusedTwiceButAKeyMayRepeatForAnotherRow) {
    MemoryPages pages(60);
    IndexTree tree(pages, 1, "unique index");
    for (std::uint16_t i = 0; i < 200; ++i)
        tree.insert({{static_cast<std::uint8_t>(i / 10), static_cast<std::uint8_t>(i % 10)},
                     RowId{7, i},
                     0});
    EXPECT_THROW(tree.insert({{5, 3}, RowId{7, 53}, 0}), Error);
    EXPECT_NO_THROW(tree.insert({{5, 3}, RowId{8, 0}, 0})); // same key, another row
}

TEST(JetIndexTreeOps, RemovingEverythingFreesAllButTheRoot) {
    MemoryPages pages(50);
    IndexTree tree(pages, 1, "test index");
    for (std::uint16_t i = 0; i < 300; ++i)
        tree.insert(
            {{static_cast<std::uint8_t>(i % 17), static_cast<std::uint8_t>(i)}, RowId{9, i}, 0});
    EXPECT_GT(pages.live(), 10u);
    for (std::uint16_t i = 0; i < 300; ++i)
        ASSERT_TRUE(tree.remove({static_cast<std::uint8_t>(i % 17), static_cast<std::uint8_t>(i)},
                                RowId{9, i}));
    EXPECT_EQ(tree.entries().size(), 0u);
    EXPECT_EQ(tree.verify(), std::vector<std::string>{});
    EXPECT_LE(pages.live(), 3u);
}

TEST(JetIndexTreeOps, AnEntryTooLargeForAnyPageIsAnError) {
    MemoryPages pages(10);
    IndexTree tree(pages, 1, "test index");
    tree.insert({{1, 2, 3}, RowId{1, 1}, 0});
    EXPECT_THROW(tree.insert({std::vector<std::uint8_t>(40, 9), RowId{1, 2}, 0}), Error);
}

} // namespace
