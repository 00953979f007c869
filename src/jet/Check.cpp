#include "jet/Check.h"

#include "jet/Error.h"
#include "jet/PageFile.h"
#include "jet/UsageMap.h"
#include "platform/Coding.h"

#include <map>

namespace jet {

std::vector<std::string> checkDatabase(Database& db) {
    std::vector<std::string> problems;
    PageFile& f = db.File();
    std::map<std::uint32_t, std::u16string> owner;
    for (const auto& e : db.Catalog()) {
        std::string tn = f.name() + ", table '" + utf8(e.name) + "'";
        try {
            Table& t = db.GetTable(e.name);
            auto rows = t.scan();
            for (const auto& r : rows)
                t.read(r);
            // Access keeps exact counts for user tables only; system tables' counts drift.
            if (!e.system && rows.size() != t.def().rowCount)
                problems.push_back(tn + ": definition counts " + std::to_string(t.def().rowCount) +
                                   " rows, the pages hold " + std::to_string(rows.size()));
            for (std::uint32_t p : t.ownedPages()) {
                auto page = f.page(p);
                auto v = page->view();
                // Long value pages ("LVAL" in the owner field) belong to the table too.
                std::uint32_t pageOwner = coding::getU32(v, 4);
                if (v[0] == static_cast<std::uint8_t>(PageType::Data) &&
                    pageOwner != t.def().page && pageOwner != 0x4C41564C)
                    problems.push_back(tn + ": usage map names page " + std::to_string(p) +
                                       ", a data page of another table");
                auto [it, fresh] = owner.emplace(p, e.name);
                if (!fresh)
                    problems.push_back(tn + ": page " + std::to_string(p) +
                                       " also belongs to table '" + utf8(it->second) + "'");
            }
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
