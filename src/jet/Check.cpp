#include "jet/Check.h"

#include "base/Coding.h"
#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/IndexSupport.h"
#include "jet/PageFile.h"
#include "jet/UsageMap.h"

#include <map>

namespace jet {

namespace {

// The free space a data page records lies between what is left with every row counted and
// with only live rows counted: Access gives deleted rows' bytes back, but not always.
void checkFreeSpace(PageFile& f, std::uint32_t p, std::span<const std::uint8_t> v,
                    const std::string& tn, std::vector<std::string>& problems) {
    const Format& fmt = f.format();
    std::string pw = tn + ", page " + std::to_string(p);
    std::uint16_t n = rowSlotCount(fmt, v, pw);
    long all = 0, live = 0;
    for (std::uint16_t r = 0; r < n; ++r) {
        RowSpan s = rowSpan(fmt, v, r, pw);
        long len = static_cast<long>(s.end) - static_cast<long>(s.start);
        if (len < 0)
            len = 0;
        all += len;
        // A deleted slot with both flags is gone; with 0x8000 alone it is a moved row's bytes.
        bool gone = s.deleted() && s.overflow();
        if (!gone)
            live += len;
    }
    long base = static_cast<long>(fmt.pageSize - fmt.dataRowTable) - 2L * n;
    long recorded = recordedFreeSpace(v);
    if (recorded < base - all || recorded > base - live)
        problems.push_back(pw + ": records " + std::to_string(recorded) +
                           " free bytes, the rows leave " + std::to_string(base - live));
}

} // namespace

std::vector<std::string> checkDatabase(Database& db) {
    std::vector<std::string> problems;
    PageFile& f = db.File();
    std::map<std::uint32_t, std::u16string> owner;
    for (const auto& e : db.Catalog()) {
        std::string tn = f.name() + ", table '" + utf8(e.name) + "'";
        if (!e.propertyProblem.empty())
            problems.push_back(tn + ": its properties cannot be read: " + e.propertyProblem);
        try {
            Table& t = db.GetTable(e.name);
            // One pass over the rows reads each and checks the indexes against them.
            std::size_t rows = 0;
            std::vector<std::string> indexProblems = checkIndexes(t, &rows);
            // Access keeps exact counts for user tables only; system tables' counts drift.
            if (!e.system && rows != t.def().rowCount)
                problems.push_back(tn + ": definition counts " + std::to_string(t.def().rowCount) +
                                   " rows, the pages hold " + std::to_string(rows));
            for (std::uint32_t p : t.ownedPages()) {
                auto page = f.page(p);
                auto v = page->view();
                // Long value pages ("LVAL" in the owner field) belong to the table too.
                std::uint32_t pageOwner = coding::getU32(v, 4);
                if (v[0] == static_cast<std::uint8_t>(PageType::Data) &&
                    pageOwner != t.def().page && pageOwner != 0x4C41564C)
                    problems.push_back(tn + ": usage map names page " + std::to_string(p) +
                                       ", a data page of another table");
                if (v[0] == static_cast<std::uint8_t>(PageType::Data))
                    checkFreeSpace(f, p, v, tn, problems);
                auto [it, fresh] = owner.emplace(p, e.name);
                if (!fresh)
                    problems.push_back(tn + ": page " + std::to_string(p) +
                                       " also belongs to table '" + utf8(it->second) + "'");
            }
            for (auto& p : indexProblems)
                problems.push_back(std::move(p));
            // Index trees: the root must be an index page and the usage map readable. (Entry
            // order and coverage need the index page reader.)
            for (std::size_t i = 0; i < t.def().realIndexes.size(); ++i) {
                const RealIndex& ri = t.def().realIndexes[i];
                std::string in = tn + ", index " + std::to_string(i);
                if (ri.firstPage == 0 || ri.firstPage >= f.pageCount()) {
                    problems.push_back(in + ": root page " + std::to_string(ri.firstPage) +
                                       " is outside the file");
                    continue;
                }
                auto root = f.page(ri.firstPage);
                std::uint8_t type = root->view()[0];
                if (type != static_cast<std::uint8_t>(PageType::IndexNode) &&
                    type != static_cast<std::uint8_t>(PageType::IndexLeaf))
                    problems.push_back(in + ": root page " + std::to_string(ri.firstPage) +
                                       " is of type " + std::to_string(type) +
                                       ", not an index page");
                UsageMap::read(f, ri.usedPages, in);
            }
        } catch (const Error& err) {
            problems.push_back(err.what());
        }
    }
    return problems;
}

} // namespace jet
