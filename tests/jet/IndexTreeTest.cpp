// The B-tree layer over an in-memory page store: trees laid out in bulk, then emptied by random
// removals against a model, with the tree's structure verified as it shrinks.
#include "jet/IndexTree.h"

#include "jet/Error.h"
#include "jet/IndexLayout.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

using namespace jet;

namespace {

// Pages hold at most `capacity` bytes of entries (a key and a few bytes each), sharing the
// first entry's prefix when they must as real pages do, so trees get deep fast.
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
        if (bytes > capacity_ && node.entries.size() > 1) {
            const auto& a = node.entries.front().key;
            const auto& b = node.entries.back().key;
            auto differ = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first;
            bytes -= static_cast<std::size_t>(differ - a.begin()) * (node.entries.size() - 1);
        }
        return bytes <= capacity_;
    }
    std::uint32_t allocate() override {
        ++allocated;
        pages_[next_] = IndexNode{};
        return next_++;
    }
    void release(std::uint32_t page) override {
        ASSERT_TRUE(pages_.erase(page)) << "released twice: " << page;
    }
    std::size_t live() const { return pages_.size(); }
    std::size_t capacity() const { return capacity_; }
    std::size_t allocated = 0;

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

// The model's entries laid out as a tree on root page 1.
void layOut(MemoryPages& pages, const Model& model) {
    std::vector<IndexEntry> entries;
    for (const auto& [key, row] : model)
        entries.push_back({key, row, 0});
    std::vector<std::uint32_t> spare;
    layOutLevels(pages, 1, packNodes(std::move(entries), true, pages.capacity()), spare,
                 pages.capacity());
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
    int entries;
    unsigned seed;
};

class JetIndexTree : public ::testing::TestWithParam<Shape> {};

TEST_P(JetIndexTree, RandomRemovalsKeepTheTreeSound) {
    const Shape s = GetParam();
    MemoryPages pages(s.capacity);
    std::mt19937 rng(s.seed);
    Model model;
    for (int n = 0; n < s.entries; ++n)
        model.insert({randomKey(rng), RowId{100 + static_cast<std::uint32_t>(n) / 200,
                                            static_cast<std::uint16_t>(n % 200)}});
    layOut(pages, model);
    IndexTree tree(pages, 1, "test index");
    expectMatches(tree, model);
    const std::size_t laidOut = pages.allocated;
    for (int op = 0; !model.empty(); ++op) {
        auto it = model.begin();
        std::advance(it, static_cast<long>(rng() % model.size()));
        ASSERT_TRUE(tree.remove(it->first, it->second));
        ASSERT_FALSE(tree.remove(it->first, it->second)) << "removed twice";
        model.erase(it);
        if (op % 97 == 0)
            expectMatches(tree, model);
        ASSERT_EQ(tree.root(), 1u) << "the root must stay on its page";
    }
    expectMatches(tree, model);
    // A removed last entry leaves a longer separator at times, which split full pages above.
    if (s.capacity <= 64) {
        EXPECT_GT(pages.allocated, laidOut);
    }
    EXPECT_LE(pages.live(), 3u) << "emptied pages are given back";
}

INSTANTIATE_TEST_SUITE_P(JetIndexTrees, JetIndexTree,
                         ::testing::Values(Shape{40, 3000, 1}, Shape{64, 3000, 2},
                                           Shape{200, 5000, 3}, Shape{1000, 2000, 4}),
                         [](const auto& info) {
                             return "Capacity" + std::to_string(info.param.capacity);
                         });

TEST(JetIndexTreeOps, RemovingWhatIsNotThereChangesNothing) {
    MemoryPages pages(50);
    Model model;
    for (std::uint16_t i = 0; i < 300; ++i)
        model.insert(
            {{static_cast<std::uint8_t>(i % 17), static_cast<std::uint8_t>(i)}, RowId{9, i}});
    layOut(pages, model);
    IndexTree tree(pages, 1, "test index");
    EXPECT_GT(pages.live(), 10u);
    EXPECT_FALSE(tree.remove({3, 3}, RowId{9, 4}));    // the key, another row
    EXPECT_FALSE(tree.remove({3, 3, 0}, RowId{9, 3})); // the row, another key
    EXPECT_FALSE(tree.remove({0xFF}, RowId{9, 3}));    // past every key
    expectMatches(tree, model);
}

TEST(JetIndexTreeOps, VerifyFindsBrokenLinksSeparatorsAndOrder) {
    auto broken = [](auto damage) {
        MemoryPages pages(50);
        Model model;
        for (std::uint16_t i = 0; i < 300; ++i)
            model.insert({{static_cast<std::uint8_t>(i / 10), static_cast<std::uint8_t>(i % 10)},
                          RowId{9, i}});
        layOut(pages, model);
        IndexNode root = pages.load(1);
        damage(pages, root);
        return IndexTree(pages, 1, "test index").verify();
    };
    EXPECT_EQ(broken([](MemoryPages&, const IndexNode&) {}), std::vector<std::string>{});
    EXPECT_FALSE(broken([](MemoryPages& p, const IndexNode& root) {
                     IndexNode n = p.load(root.entries[1].child);
                     n.prev = 0;
                     p.store(root.entries[1].child, n);
                 }).empty())
        << "a broken link back";
    EXPECT_FALSE(broken([](MemoryPages& p, const IndexNode& root) {
                     IndexNode r = root;
                     r.entries[0].row.row ^= 1;
                     p.store(1, r);
                 }).empty())
        << "a separator that is not its child's last entry";
    EXPECT_FALSE(broken([](MemoryPages& p, const IndexNode& root) {
                     std::uint32_t page = root.entries[0].child;
                     IndexNode n = p.load(page);
                     while (!n.leaf)
                         n = p.load(page = n.entries[0].child);
                     std::swap(n.entries[0], n.entries[1]);
                     p.store(page, n);
                 }).empty())
        << "entries out of order";
}

} // namespace
