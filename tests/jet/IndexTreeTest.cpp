// The B-tree layer: trees laid out in bulk over small in-memory pages, so that they get deep fast,
// then emptied by random removals against a model, with the tree's structure verified as it
// shrinks. (Trees on Jet 4 pages are the round trips'.)
#include "jet/IndexTree.h"

#include "jet/Error.h"
#include "jet/IndexLayout.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

using namespace jet;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Pages hold at most `capacity` bytes of entries (a key and a few bytes each), sharing the first
// entry's prefix when they must, as real pages do.
class MemoryPages : public IndexPages {
public:
    explicit MemoryPages(std::size_t capacity) : capacity(capacity) { nodes_[1] = IndexNode{}; }

    IndexNode load(std::uint32_t page) override {
        if (!nodes_.count(page))
            throw Error("no page " + std::to_string(page));
        return nodes_[page];
    }
    void store(std::uint32_t page, const IndexNode& node) override {
        ASSERT_TRUE(nodes_.count(page)) << "stored to an unallocated page " << page;
        ASSERT_TRUE(fits(node)) << "stored a node that does not fit";
        nodes_[page] = node;
    }
    bool fits(const IndexNode& node) override {
        std::size_t size = 0;
        for (const auto& e : node.entries)
            size += e.key.size() + (node.leaf ? 4 : 8);
        if (size > capacity && node.entries.size() > 1) {
            const auto& a = node.entries.front().key;
            const auto& b = node.entries.back().key;
            auto differ = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first;
            size -= static_cast<std::size_t>(differ - a.begin()) * (node.entries.size() - 1);
        }
        return size <= capacity;
    }
    std::uint32_t allocate() override {
        ++allocated;
        nodes_[next_] = IndexNode{};
        return next_++;
    }
    void release(std::uint32_t page) override {
        ASSERT_TRUE(nodes_.erase(page)) << "released twice: " << page;
    }
    std::size_t live() const { return nodes_.size(); }

    const std::size_t capacity;
    std::size_t allocated = 0;

private:
    std::map<std::uint32_t, IndexNode> nodes_;
    std::uint32_t next_ = 2;
};

using Model = std::set<std::pair<Bytes, RowId>>;

// Short keys from a small alphabet: many shared prefixes and duplicate keys.
Bytes randomKey(std::mt19937& rng) {
    Bytes k(1 + rng() % 6);
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
    layOutLevels(pages, 1, packNodes(std::move(entries), true, pages.capacity), spare,
                 pages.capacity);
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

    // Removing what is not there changes nothing.
    const auto& [key, row] = *std::next(model.begin(), static_cast<long>(model.size() / 2));
    Bytes longer = key;
    longer.push_back(0);
    EXPECT_FALSE(tree.remove(key, RowId{9999, 0})) << "the key, another row";
    EXPECT_FALSE(tree.remove(longer, row)) << "the row, another key";
    EXPECT_FALSE(tree.remove({0xFF}, row)) << "past every key";
    expectMatches(tree, model);

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

// Which sibling links a tree may leave empty. Readers walk the leaves by their links, so the leaf
// level must be one chain; the levels above are only walked down, and files written elsewhere link
// a page there only to siblings under the same parent.
TEST(JetIndexTreeOps, LinksAboveTheLeavesMayStopAtAParentsEdge) {
    struct Cut {
        const char* what;
        int fromBottom;     // 0: the leaves, 1: the level above them, ...
        bool acrossParents; // at a pair of neighbours with different parents, or the same one
        bool wrongPage;     // the link names another page instead of none
        bool sound;
    };
    const Cut cuts[] = {
        {"no link between pages of different parents, above the leaves", 1, true, false, true},
        {"no link between siblings above the leaves", 1, false, false, false},
        {"no link between leaves of different parents", 0, true, false, false},
        {"a link to the wrong page above the leaves", 1, true, true, false},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.what);
        MemoryPages pages(50);
        Model model;
        for (std::uint16_t i = 0; i < 2000; ++i)
            model.insert({{static_cast<std::uint8_t>(i / 40), static_cast<std::uint8_t>(i % 40)},
                          RowId{9, i}});
        layOut(pages, model);
        // Each level's pages left to right, with their parents.
        std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> levels{{{1, 0}}};
        while (!pages.load(levels.back().front().first).leaf) {
            std::vector<std::pair<std::uint32_t, std::uint32_t>> below;
            for (auto [page, parent] : levels.back())
                for (const IndexEntry& e : pages.load(page).entries)
                    below.push_back({e.child, page});
            levels.push_back(std::move(below));
        }
        ASSERT_GE(levels.size(), 4u) << "a level above the leaves must have several parents";
        const auto& level = levels[levels.size() - 1 - static_cast<std::size_t>(cut.fromBottom)];
        std::size_t at = 0;
        while (at + 1 < level.size() &&
               (level[at].second != level[at + 1].second) != cut.acrossParents)
            ++at;
        ASSERT_LT(at + 1, level.size());
        IndexNode left = pages.load(level[at].first), right = pages.load(level[at + 1].first);
        left.next = cut.wrongPage ? level[at].first : 0;
        right.prev = 0;
        pages.store(level[at].first, left);
        pages.store(level[at + 1].first, right);

        auto problems = IndexTree(pages, 1, "test index").verify();
        if (cut.sound)
            EXPECT_EQ(problems, std::vector<std::string>{});
        else
            EXPECT_FALSE(problems.empty());
    }
}

} // namespace

// Keys compare as their bytes do, unsigned (0x80 above 0x7F), whatever their lengths and wherever
// they first differ: in a whole word, in the bytes after the last one, or only in that one is
// longer.
TEST(IndexTree, KeysCompareByTheirBytesThenTheirLengths) {
    for (std::size_t length = 0; length <= 19; ++length)
        for (std::size_t at = 0; at <= length; ++at)
            for (std::uint8_t low : {0x00, 0x41, 0x7F})
                for (std::uint8_t high : {0x80, 0x81, 0xFF}) {
                    Bytes a(length, 0x41), b(length, 0x41);
                    if (at < length) {
                        a[at] = low;
                        b[at] = high;
                    } else {
                        b.push_back(low); // a is the shorter key that begins b
                    }
                    EXPECT_LT(compareKeys(a, b), 0) << length << " " << at;
                    EXPECT_GT(compareKeys(b, a), 0) << length << " " << at;
                    EXPECT_EQ(compareKeys(b, b), 0);
                }
}
