// Row sets that keep their rows in memory, for tests of the mapping and the import run.
#pragma once

#include "mapping/WriteImportField.h"
#include "support/Rows.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

class MemoryRows : public mapping::RowSet {
public:
    void addNew() override {
        if (adding)
            throw std::logic_error("AddNew twice");
        adding = true;
        pending.clear();
    }
    void setText(std::string_view column, std::string_view text) override {
        require();
        refuseMissing(column);
        pending[std::string(column)] = std::string(text);
    }
    void setNumber(std::string_view column, std::int64_t value) override {
        require();
        refuseMissing(column);
        pending[std::string(column)] = std::to_string(value);
    }
    std::size_t column(std::string_view name) override {
        refuseMissing(name);
        return RowSet::column(name);
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
    std::optional<std::size_t> failUpdateAt; // the row (from 1) whose update fails
    std::string missingColumn;               // refused, as by a table without it

private:
    void require() const {
        if (!adding)
            throw std::logic_error("no AddNew");
    }
    void refuseMissing(std::string_view name) const {
        if (!missingColumn.empty() && name == missingColumn)
            throw std::runtime_error("no column named '" + missingColumn + "'");
    }
};

struct MemoryImport {
    MemoryRows person, dependant, plan;
    mapping::ImportRows rows{person, dependant, plan};
};

} // namespace testsupport
