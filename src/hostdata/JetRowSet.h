// A table of the import database as the import run's row set, on the engine.
#pragma once

#include "jet/Database.h"
#include "mapping/WriteImportField.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hostdata {

// Column positions are looked up once per name. A record's columns come in the same order
// every time, so the name expected next is tried before any lookup.
class JetRowSet : public mapping::RowSet {
public:
    explicit JetRowSet(jet::Recordset rs) : rs_(std::move(rs)) {}
    ~JetRowSet() override { rs_.Close(); }

    void addNew() override {
        rs_.AddNew();
        next_ = 0;
    }
    void setText(std::string_view column, std::string_view text) override;
    void setNumber(std::string_view column, std::int64_t value) override;
    std::size_t column(std::string_view name) override { return lookUp(name); }
    void setTextAt(std::size_t column, std::string_view text) override;
    void setAsciiTextAt(std::size_t column, std::string_view text) override;
    void setNumberAt(std::size_t column, std::int64_t value) override;
    void update() override { rs_.Update(); }
    void cancelUpdate() override { rs_.CancelUpdate(); }
    void removeLast() override { rs_.Delete(); } // Update leaves the new row current

private:
    std::size_t index(std::string_view column);
    std::size_t lookUp(std::string_view column);

    // Looked up by the caller's view of the name, with no string made for it.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    jet::Recordset rs_;
    std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> known_;
    // The names asked for since the last addNew, in order, as the record before asked for them.
    struct Asked {
        std::string name;
        std::size_t column;
    };
    std::vector<Asked> order_;
    std::size_t next_ = 0;
};

} // namespace hostdata
