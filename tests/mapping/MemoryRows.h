// Row sets that keep their rows in memory, for tests of the mapping and the import run.
#pragma once

#include "mapping/WriteImportField.h"
#include "support/Rows.h"

#include <algorithm>
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
    // Counts the texts handed over as ASCII, and those among them that are not.
    void setAsciiTextAt(std::size_t column, std::string_view text) override {
        ++asciiTexts;
        if (std::ranges::any_of(text, [](char c) { return c == 0 || (c & 0x80) != 0; }))
            ++notAscii;
        RowSet::setAsciiTextAt(column, text);
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
    std::size_t asciiTexts = 0, notAscii = 0;

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
