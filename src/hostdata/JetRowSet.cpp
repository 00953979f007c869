#include "hostdata/JetRowSet.h"

#include "jet/Error.h"
#include "platform/Ansi.h"

#include <cstdint>

namespace hostdata {

void JetRowSet::setText(std::string_view column, std::string_view text) {
    setTextAt(index(column), text);
}

void JetRowSet::setNumber(std::string_view column, std::int64_t value) {
    setNumberAt(index(column), value);
}

void JetRowSet::setTextAt(std::size_t column, std::string_view text) {
    jet::Field(rs_, column).assignAnsi(text);
}

void JetRowSet::setAsciiTextAt(std::size_t column, std::string_view text) {
    jet::Field(rs_, column).assignAnsi(text, true);
}

void JetRowSet::setNumberAt(std::size_t column, std::int64_t value) {
    // A number beyond a long integer reaches the column as a double, which the engine refuses
    // with a message naming the column.
    if (value >= INT32_MIN && value <= INT32_MAX)
        jet::Field(rs_, column) = jet::Value(static_cast<std::int32_t>(value));
    else
        jet::Field(rs_, column) = jet::Value(static_cast<double>(value));
}

std::size_t JetRowSet::index(std::string_view column) {
    if (next_ < order_.size() && order_[next_].name == column)
        return order_[next_++].column;
    std::size_t at = lookUp(column);
    if (next_ < order_.size())
        order_[next_] = {std::string(column), at};
    else
        order_.push_back({std::string(column), at});
    ++next_;
    return at;
}

std::size_t JetRowSet::lookUp(std::string_view column) {
    auto it = known_.find(column);
    if (it != known_.end())
        return it->second;
    const auto& columns = rs_.Definition().columns;
    auto wanted = ansi::toUtf16(column);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (jet::sameName(columns[i].name, wanted)) {
            known_.emplace(column, i);
            return i;
        }
    }
    throw jet::Error("table '" + jet::utf8(rs_.Definition().name) + "': no column named '" +
                     std::string(column) + "'");
}

} // namespace hostdata
