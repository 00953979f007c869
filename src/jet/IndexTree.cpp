#include "jet/IndexTree.h"

#include "jet/Error.h"

#include <algorithm>
#include <optional>
#include <set>
#include <unordered_set>

namespace jet {

bool entryLess(const IndexEntry& a, const IndexEntry& b) {
    const int c = compareKeys(a.key, b.key);
    return c != 0 ? c < 0 : a.row < b.row;
}

namespace {
bool sameEntry(const IndexEntry& a, const IndexEntry& b) {
    return a.key == b.key && a.row == b.row;
}

IndexEntry separatorFor(const IndexNode& child, std::uint32_t childPage) {
    IndexEntry s = child.entries.back();
    s.child = childPage;
    return s;
}
} // namespace

IndexTree::IndexTree(IndexPages& pages, std::uint32_t root, std::string what)
    : pages_(pages), root_(root), what_(std::move(what)) {}

// Path from the root to the leaf where `e` belongs: in each intermediate node, the first
// child whose last entry is not below `e`, or the last child.
std::vector<IndexTree::Step> IndexTree::descend(const IndexEntry& e) {
    std::vector<Step> path;
    std::uint32_t page = root_;
    while (true) {
        if (path.size() > kMaxTreeDepth)
            throw Error(what_ + ": the index tree is deeper than " + std::to_string(kMaxTreeDepth) +
                        " levels (a loop?)");
        IndexNode n = pages_.load(page);
        if (n.leaf) {
            path.push_back({page, std::move(n), 0});
            return path;
        }
        if (n.entries.empty())
            throw Error(what_ + ": intermediate index page " + std::to_string(page) + " is empty");
        auto it = std::lower_bound(n.entries.begin(), n.entries.end(), e, entryLess);
        std::size_t slot = it == n.entries.end() ? n.entries.size() - 1
                                                 : static_cast<std::size_t>(it - n.entries.begin());
        std::uint32_t child = n.entries[slot].child;
        path.push_back({page, std::move(n), slot});
        page = child;
    }
}

// After a node's last entry changed, the separators above it must follow. A separator that grows
// (the entry before a removed last one may have a longer key) can overfill its page and split it.
void IndexTree::fixSeparators(std::vector<Step>& path, std::size_t level) {
    while (level > 0) {
        Step& child = path[level];
        Step& parent = path[level - 1];
        if (child.node.entries.empty())
            return;
        IndexEntry s = separatorFor(child.node, child.page);
        IndexEntry& cur = parent.node.entries[parent.slot];
        if (sameEntry(cur, s) && cur.child == s.child)
            return;
        cur = s;
        if (!pages_.fits(parent.node)) {
            splitAndStore(path, level - 1);
            return;
        }
        pages_.store(parent.page, parent.node);
        --level;
    }
}

// Stores path[level], splitting it (and its ancestors as needed) when it does not fit.
void IndexTree::splitAndStore(std::vector<Step>& path, std::size_t level) {
    Step& s = path[level];
    if (pages_.fits(s.node)) {
        pages_.store(s.page, s.node);
        fixSeparators(path, level);
        return;
    }
    if (s.node.entries.size() < 2)
        throw Error(what_ + ": an index entry does not fit a page");
    std::size_t half = s.node.entries.size() / 2;
    if (level == 0) {
        // The root keeps its page (the table definition points at it): both halves move to
        // new pages and the root becomes an intermediate page over them.
        IndexNode left, right;
        left.leaf = right.leaf = s.node.leaf;
        left.entries.assign(s.node.entries.begin(),
                            s.node.entries.begin() + static_cast<std::ptrdiff_t>(half));
        right.entries.assign(s.node.entries.begin() + static_cast<std::ptrdiff_t>(half),
                             s.node.entries.end());
        std::uint32_t leftPage = pages_.allocate();
        std::uint32_t rightPage = pages_.allocate();
        left.next = rightPage;
        right.prev = leftPage;
        if (!pages_.fits(left) || !pages_.fits(right))
            throw Error(what_ + ": index entries too large to split");
        pages_.store(leftPage, left);
        pages_.store(rightPage, right);
        IndexNode root;
        root.leaf = false;
        root.entries.push_back(separatorFor(left, leftPage));
        root.entries.push_back(separatorFor(right, rightPage));
        s.node = root;
        pages_.store(s.page, root);
        return;
    }
    // The right half moves to a new page; the left half keeps the page (and its place in the
    // parent, whose separator becomes the left half's last entry).
    IndexNode right;
    right.leaf = s.node.leaf;
    right.entries.assign(s.node.entries.begin() + static_cast<std::ptrdiff_t>(half),
                         s.node.entries.end());
    s.node.entries.resize(half);
    std::uint32_t rightPage = pages_.allocate();
    right.prev = s.page;
    right.next = s.node.next;
    if (s.node.next != 0) {
        IndexNode after = pages_.load(s.node.next);
        after.prev = rightPage;
        pages_.store(s.node.next, after);
    }
    s.node.next = rightPage;
    if (!pages_.fits(right) || !pages_.fits(s.node))
        throw Error(what_ + ": index entries too large to split");
    pages_.store(rightPage, right);
    pages_.store(s.page, s.node);

    Step& parent = path[level - 1];
    parent.node.entries[parent.slot] = separatorFor(s.node, s.page);
    parent.node.entries.insert(parent.node.entries.begin() +
                                   static_cast<std::ptrdiff_t>(parent.slot) + 1,
                               separatorFor(right, rightPage));
    // The right half holds the old last entry, so the separator for this part of the parent
    // is now the right half's: recompute with the right half as the child on the path.
    parent.slot += 1;
    path[level].page = rightPage;
    path[level].node = right;
    splitAndStore(path, level - 1);
}

bool IndexTree::remove(const std::vector<std::uint8_t>& key, RowId row) {
    IndexEntry probe{key, row, 0};
    auto path = descend(probe);
    Step& leaf = path.back();
    auto& es = leaf.node.entries;
    auto it = std::lower_bound(es.begin(), es.end(), probe, entryLess);
    if (it == es.end() || !sameEntry(*it, probe))
        return false;
    es.erase(it);
    // An emptied page leaves the tree (unless it is the root); its parent may empty in turn.
    std::size_t level = path.size() - 1;
    while (level > 0 && path[level].node.entries.empty()) {
        Step& gone = path[level];
        if (gone.node.prev != 0) {
            IndexNode before = pages_.load(gone.node.prev);
            before.next = gone.node.next;
            pages_.store(gone.node.prev, before);
        }
        if (gone.node.next != 0) {
            IndexNode after = pages_.load(gone.node.next);
            after.prev = gone.node.prev;
            pages_.store(gone.node.next, after);
        }
        pages_.release(gone.page);
        Step& parent = path[level - 1];
        parent.node.entries.erase(parent.node.entries.begin() +
                                  static_cast<std::ptrdiff_t>(parent.slot));
        --level;
    }
    Step& top = path[level];
    if (level == 0 && !top.node.leaf && top.node.entries.empty()) {
        top.node = IndexNode{}; // an empty tree is one empty leaf
        pages_.store(top.page, top.node);
        return true;
    }
    pages_.store(top.page, top.node);
    if (level > 0 && !top.node.entries.empty())
        fixSeparators(path, level);
    // A root with a single child is left as is: Access trees keep their height.
    return true;
}

std::uint32_t IndexTree::leftmostLeaf() {
    std::uint32_t page = root_;
    for (std::size_t depth = 0; depth <= kMaxTreeDepth; ++depth) {
        IndexNode n = pages_.load(page);
        if (n.leaf)
            return page;
        if (n.entries.empty())
            throw Error(what_ + ": intermediate index page " + std::to_string(page) + " is empty");
        page = n.entries.front().child;
    }
    throw Error(what_ + ": the index tree is too deep (a loop?)");
}

std::vector<IndexEntry> IndexTree::entries() {
    std::vector<IndexEntry> out;
    std::set<std::uint32_t> seen;
    for (std::uint32_t page = leftmostLeaf(); page != 0;) {
        if (!seen.insert(page).second)
            throw Error(what_ + ": the leaf chain loops at page " + std::to_string(page));
        IndexNode n = pages_.load(page);
        out.insert(out.end(), n.entries.begin(), n.entries.end());
        page = n.next;
    }
    return out;
}

std::vector<std::string> IndexTree::verify(const std::function<void(const IndexEntry&)>& visit) {
    std::vector<std::string> problems;
    int leafDepth = -1;
    std::unordered_set<std::uint32_t> visited;
    // Depth first, children left to right, so that the leaves come in tree order; each page is
    // read once, its parent's entry for it checked when it is.
    struct Frame {
        std::uint32_t page;
        int depth;
        std::uint32_t parent;
        std::optional<IndexEntry> separator; // the parent's entry for this page
    };
    struct Linked {
        std::uint32_t page, parent, prev, next;
    };
    std::vector<Frame> stack;
    stack.push_back({root_, 0, 0, std::nullopt});
    std::vector<std::vector<Linked>> levels;
    std::optional<IndexEntry> lastLeafEntry;
    bool acrossLeavesInOrder = true;
    while (!stack.empty()) {
        Frame f = std::move(stack.back());
        stack.pop_back();
        if (!visited.insert(f.page).second) {
            problems.push_back(what_ + ": page " + std::to_string(f.page) + " is reached twice");
            continue;
        }
        if (f.depth > static_cast<int>(kMaxTreeDepth)) {
            problems.push_back(what_ + ": the tree is too deep");
            break;
        }
        IndexNode n = pages_.load(f.page);
        if (f.separator && (n.entries.empty() || !sameEntry(n.entries.back(), *f.separator)))
            problems.push_back(what_ + ": the entry for child page " + std::to_string(f.page) +
                               " on page " + std::to_string(f.parent) +
                               " is not the child's last entry");
        if (levels.size() <= static_cast<std::size_t>(f.depth))
            levels.resize(f.depth + 1);
        levels[f.depth].push_back({f.page, f.parent, n.prev, n.next});
        if (!std::is_sorted(n.entries.begin(), n.entries.end(), entryLess))
            problems.push_back(what_ + ": entries of page " + std::to_string(f.page) +
                               " are out of order");
        if (n.leaf) {
            if (leafDepth == -1)
                leafDepth = f.depth;
            else if (leafDepth != f.depth)
                problems.push_back(what_ + ": leaf page " + std::to_string(f.page) +
                                   " is at depth " + std::to_string(f.depth) + ", others at " +
                                   std::to_string(leafDepth));
            if (n.entries.empty())
                continue;
            if (lastLeafEntry && entryLess(n.entries.front(), *lastLeafEntry))
                acrossLeavesInOrder = false;
            if (visit)
                for (const IndexEntry& e : n.entries)
                    visit(e);
            lastLeafEntry = std::move(n.entries.back());
            continue;
        }
        for (auto it = n.entries.rbegin(); it != n.entries.rend(); ++it)
            stack.push_back({it->child, f.depth + 1, f.page, std::move(*it)});
    }
    // Readers walk the leaves by their links, so the leaf level is one chain in tree order. The
    // levels above are only ever walked down: a page there may also leave a link empty where its
    // neighbour has another parent (files written elsewhere link only siblings), but a link it
    // keeps must name its neighbour.
    for (std::size_t d = 0; d < levels.size(); ++d) {
        const auto& level = levels[d];
        const bool leaves = static_cast<int>(d) == leafDepth;
        for (std::size_t i = 0; i < level.size(); ++i) {
            const Linked& n = level[i];
            const std::uint32_t wantPrev = i == 0 ? 0 : level[i - 1].page;
            const std::uint32_t wantNext = i + 1 == level.size() ? 0 : level[i + 1].page;
            auto fits = [&](std::uint32_t got, std::uint32_t want, std::size_t other) {
                return got == want || (!leaves && got == 0 && level[other].parent != n.parent);
            };
            if (!fits(n.prev, wantPrev, i == 0 ? i : i - 1) ||
                !fits(n.next, wantNext, i + 1 == level.size() ? i : i + 1))
                problems.push_back(what_ + ": page " + std::to_string(n.page) + " is linked to " +
                                   std::to_string(n.prev) + "/" + std::to_string(n.next) +
                                   ", expected " + std::to_string(wantPrev) + "/" +
                                   std::to_string(wantNext));
        }
    }
    if (!acrossLeavesInOrder)
        problems.push_back(what_ + ": entries across leaves are out of order");
    return problems;
}

} // namespace jet
