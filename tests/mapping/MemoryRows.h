// Row sets that keep their rows in memory, for tests of the mapping and the import run.
#pragma once

#include "mapping/WriteImportField.h"

#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

class MemoryRows : public mapping::RowSet {
public:
    using Row = std::map<std::string, std::string>;

    void addNew() override {
        if (adding)
            throw std::logic_error("AddNew twice");
        adding = true;
        pending.clear();
    }
    void setText(std::string_view column, const std::string& text) override {
        require();
        if (refuse && *refuse == column)
            throw std::runtime_error("column '" + std::string(column) + "' refuses the value");
        pending[std::string(column)] = text;
    }
    void setNumber(std::string_view column, std::int64_t value) override {
        require();
        pending[std::string(column)] = std::to_string(value);
    }
    void update() override {
        require();
        if (failUpdateAt && rows.size() + 1 == *failUpdateAt)
            throw std::runtime_error("disk full");
        rows.push_back(pending);
        adding = false;
    }
    void cancelUpdate() override { adding = false; }
    void removeLast() override { rows.pop_back(); }

    std::vector<Row> rows;
    Row pending;
    bool adding = false;
    std::optional<std::string> refuse;       // a column whose assignment fails
    std::optional<std::size_t> failUpdateAt; // the row (from 1) whose update fails

private:
    void require() const {
        if (!adding)
            throw std::logic_error("no AddNew");
    }
};

// The named columns of a row joined with '|'; a column never set is empty.
inline std::string columns(const MemoryRows::Row& row, std::initializer_list<const char*> names) {
    std::string out;
    for (const char* name : names) {
        if (name != *names.begin())
            out += '|';
        if (auto it = row.find(name); it != row.end())
            out += it->second;
    }
    return out;
}

struct MemoryImport {
    MemoryRows person, dependant, plan;
    mapping::ImportRows rows{person, dependant, plan};
};

} // namespace testsupport
