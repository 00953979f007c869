#include "jet/IndexFilePages.h"

#include "base/Coding.h"
#include "jet/Error.h"
#include "jet/IndexRowKeys.h"
#include "jet/UsageMap.h"

#include <algorithm>

namespace jet {
namespace {

constexpr std::uint32_t kGlobalMap = (1u << 8) | 0; // page 1, row 0: the map of free pages

} // namespace

std::string indexWhere(Table& t, std::size_t realIndex) {
    return t.file().name() + ", table '" + utf8(t.def().name) + "', index '" +
           utf8(indexName(t.def(), realIndex)) + "'";
}

PageRef indexPage(Table& t, std::size_t realIndex, std::uint32_t page) {
    PageFile& f = t.file();
    if (page == 0 || page >= f.pageCount())
        throw Error(indexWhere(t, realIndex) + ", page " + std::to_string(page) +
                    ": index page outside the file");
    return f.page(page);
}

StoredIndexPage::StoredIndexPage(Table& t, std::size_t realIndex, std::uint32_t page)
    : t_(t), index_(realIndex), page_(page), ref_(indexPage(t, realIndex, page)),
      view_(viewIndexPage(ref_->view(), t.file().format(), [&] {
          return indexWhere(t, realIndex) + ", page " + std::to_string(page);
      })) {}

Error StoredIndexPage::bad(const std::string& what) const {
    return Error(indexWhere(t_, index_) + ", page " + std::to_string(page_) + ": " + what);
}

FileIndexPages::FileIndexPages(Table& table, std::size_t realIndex)
    : table_(table), index_(realIndex), where_(indexWhere(table, realIndex)),
      scratch_(table.file().pageSize()) {}

std::uint32_t FileIndexPages::root() const {
    return table_.def().realIndexes[index_].firstPage;
}

std::vector<std::uint8_t> FileIndexPages::pageBytes(std::uint32_t page) {
    auto v = indexPage(table_, index_, page)->view();
    return {v.begin(), v.end()};
}

IndexNode FileIndexPages::load(std::uint32_t page) {
    // An intermediate page keeps its last child as a tail, whose key is read from below.
    IndexPageLoader loader = [this](std::uint32_t n) { return pageBytes(n); };
    return decodeIndexNode(pageBytes(page), where_ + ", page " + std::to_string(page), loader);
}

void FileIndexPages::store(std::uint32_t page, const IndexNode& node) {
    auto p = table_.file().writablePage(page);
    if (!encodeIndexNode(node, table_.def().page, p->mut()))
        throw Error(where_ + ", page " + std::to_string(page) +
                    ": the entries do not fit the page");
}

bool FileIndexPages::fits(const IndexNode& node) {
    return encodeIndexNode(node, table_.def().page, scratch_);
}

std::uint32_t FileIndexPages::allocate() {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    auto p = f.appendPage();
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false, false);
    if (global.contains(p->number))
        global.remove(f, p->number);
    UsageMap own = UsageMap::read(f, ri.usedPages, where_, true, false);
    own.add(f, p->number);
    return p->number;
}

void FileIndexPages::release(std::uint32_t page) {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    UsageMap own = UsageMap::read(f, ri.usedPages, where_, true, false);
    if (own.contains(page))
        own.remove(f, page);
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false, false);
    if (global.reaches(page))
        global.add(f, page);
    auto p = f.writablePage(page);
    std::fill(p->bytes.begin(), p->bytes.end(), 0);
}

bool FileIndexPages::isLeaf(std::uint32_t page) {
    return indexPage(table_, index_, page)->view()[0] == kIndexLeafPage;
}

void FileIndexPages::setPrev(std::uint32_t page, std::uint32_t prev) {
    PageFile& f = table_.file();
    coding::putLE<std::uint32_t>(f.writablePage(page)->mut(), f.format().indexPrevPage, prev);
}

void FileIndexPages::setNext(std::uint32_t page, std::uint32_t next) {
    PageFile& f = table_.file();
    coding::putLE<std::uint32_t>(f.writablePage(page)->mut(), f.format().indexNextPage, next);
}

} // namespace jet
