#include "jet/Write.h"

#include "jet/Error.h"
#include "jet/PageFile.h"

namespace jet {

Value convertForColumn(const Table&, const ColumnDef&, const Value& v) {
    return v;
}

RowRef insertRow(Table& t, std::vector<Value>&, const std::vector<bool>&) {
    throw Error(t.file().name() + ": adding rows is not supported yet");
}

void deleteRow(Table& t, const RowRef&) {
    throw Error(t.file().name() + ": deleting rows is not supported yet");
}

} // namespace jet
