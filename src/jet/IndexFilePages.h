// The pages of one real index in the file: fetched with a check that they lie in it, read in
// place or as tree nodes, written, and taken from and given back to the file's usage maps.
#pragma once

#include "jet/IndexPage.h"
#include "jet/IndexTree.h"
#include "jet/PageFile.h"
#include "jet/Table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// The index in messages: file, table and index name.
std::string indexWhere(Table& t, std::size_t realIndex);

// A page of the index, refused when it lies outside the file.
PageRef indexPage(Table& t, std::size_t realIndex, std::uint32_t page);

// A page of the index read in place, held in memory while it is looked at. A fault is an error
// naming the index and the page.
class StoredIndexPage {
public:
    StoredIndexPage(Table& t, std::size_t realIndex, std::uint32_t page);
    const IndexPageView& operator*() const { return view_; }
    const IndexPageView* operator->() const { return &view_; }
    Error bad(const std::string& what) const;

private:
    Table& t_;
    std::size_t index_;
    std::uint32_t page_;
    PageRef ref_;
    IndexPageView view_;
};

// The index pages of one real index in a file, for IndexTree and the tree layout.
class FileIndexPages : public IndexPages {
public:
    FileIndexPages(Table& table, std::size_t realIndex);
    IndexNode load(std::uint32_t page) override;
    void store(std::uint32_t page, const IndexNode& node) override;
    bool fits(const IndexNode& node) override;
    std::uint32_t allocate() override;
    void release(std::uint32_t page) override;

    Table& table() { return table_; }
    std::size_t index() const { return index_; }
    std::uint32_t root() const;
    const std::string& where() const { return where_; }
    // From the page's type alone.
    bool isLeaf(std::uint32_t page);
    // One link of a page that otherwise stays as it is, set in place.
    void setPrev(std::uint32_t page, std::uint32_t prev);
    void setNext(std::uint32_t page, std::uint32_t next);

private:
    std::vector<std::uint8_t> pageBytes(std::uint32_t page);
    Table& table_;
    std::size_t index_;
    std::string where_;
    std::vector<std::uint8_t> scratch_;
};

} // namespace jet
