#include "jet/Table.h"

#include "base/Coding.h"
#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/PageFile.h"
#include "jet/Row.h"
#include "jet/UsageMap.h"

namespace jet {

Table::Table(PageFile& file, TableDef def) : file_(file), def_(std::move(def)) {}

const std::string& Table::where() const {
    // Every row read or page added names its place for the messages it might give: made once.
    if (where_.empty())
        where_ = file_.name() + ", table '" + utf8(def_.name) + "'";
    return where_;
}

std::string Table::where(RowId at) const {
    std::string w = where();
    w += ", page ";
    w += std::to_string(at.page);
    w += ", row ";
    w += std::to_string(at.row);
    return w;
}

std::vector<std::uint32_t> Table::ownedPages() {
    std::string what = file_.name() + ", table '" + utf8(def_.name) + "'";
    return UsageMap::read(file_, def_.usedPages, what).pages();
}

std::vector<RowRef> Table::scan() {
    std::vector<RowRef> out;
    eachRow([&](const RowRef& r) { out.push_back(r); });
    return out;
}

void Table::eachRow(const std::function<void(const RowRef&)>& visit) {
    const Format& f = file_.format();
    for (std::uint32_t p : ownedPages()) {
        auto page = file_.page(p);
        auto v = page->view();
        // The usage map may name pages the table gave up; only its own data pages count.
        if (v[0] != static_cast<std::uint8_t>(PageType::Data) || coding::getU32(v, 4) != def_.page)
            continue;
        std::string pw =
            file_.name() + ", table '" + utf8(def_.name) + "', page " + std::to_string(p);
        std::uint16_t n = rowSlotCount(f, v, pw);
        for (std::uint16_t r = 0; r < n; ++r) {
            RowSpan s = rowSpan(f, v, r, pw);
            if (s.deleted())
                continue;
            RowRef ref{{p, r}, {p, r}};
            if (s.overflow()) {
                if (s.end - s.start < 4)
                    throw Error(pw + ", row " + std::to_string(r) + ": overflow pointer too short");
                ref.data = rowIdFromPointer(coding::getU32(v, s.start));
            }
            visit(ref);
        }
    }
}

std::vector<Value> Table::read(const RowRef& r, const std::vector<bool>* wanted,
                               std::vector<RowId>* longValueRows) {
    const Format& f = file_.format();
    RowId at = r.data;
    // Follows overflow pointers (they may chain) to the row's bytes.
    for (int hops = 0;; ++hops) {
        if (hops > 8)
            throw Error(where(r.id) + ": overflow pointers chain too deep");
        if (at.page == 0 || at.page >= file_.pageCount())
            throw Error(where(r.id) + ": overflow pointer to page " + std::to_string(at.page) +
                        ", outside the file");
        auto page = file_.page(at.page);
        auto v = page->view();
        if (v[0] != static_cast<std::uint8_t>(PageType::Data))
            throw Error(where(at) + ": not a data page (type " + std::to_string(v[0]) + ")");
        const std::string w = where(at);
        RowSpan s = rowSpan(f, v, at.row, w, true);
        if (s.overflow() && !s.deleted()) {
            if (s.end - s.start < 4)
                throw Error(w + ": overflow pointer too short");
            at = rowIdFromPointer(coding::getU32(v, s.start));
            continue;
        }
        return decodeRow(file_, def_, v.subspan(s.start, s.end - s.start), w, wanted,
                         longValueRows);
    }
}

} // namespace jet
