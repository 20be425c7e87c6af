#include "dberrors/MessageTables.h"
#include "dberrors/MessageTableRows.h"

#include <algorithm>

namespace {

// kIbStatusRows and the k...Table constants, generated from the data files in tables/.
#include "MessageTablesData.inc"

static_assert(std::size(kIbStatusRows) == kIbStatusLast - kIbStatusFirst + 1);

std::string Lookup(const TKomunikatTable& table, std::string_view name) {
    const auto row = std::lower_bound(table.Rows.begin(), table.Rows.end(), name,
                                      [](const TKomunikatRow& r, std::string_view n) { return r.Key < n; });
    if (row == table.Rows.end() || row->Key != name)
        return {};
    return KomunikatWiersza(table, *row);
}

} // namespace

const TKomunikatTable& ForeignKeyTable() {
    return kForeignKeyTable;
}
const TKomunikatTable& UniqueKeyTable() {
    return kUniqueKeyTable;
}
const TKomunikatTable& ExceptionTable() {
    return kExceptionTable;
}

std::string KomunikatWiersza(const TKomunikatTable& table, const TKomunikatRow& row) {
    if (!row.Fragment)
        return std::string(row.Text);
    return table.FragmentFirst ? std::string(table.Fragment).append(row.Text)
                               : std::string(row.Text).append(table.Fragment);
}

std::string KomunikatDla_ViolationOfForeignKey(std::string_view name) {
    return Lookup(kForeignKeyTable, name);
}
std::string KomunikatDla_ViolationOfUniqueKey(std::string_view name) {
    return Lookup(kUniqueKeyTable, name);
}
std::string KomunikatDla_Exception(std::string_view name) {
    return Lookup(kExceptionTable, name);
}

TIbStatusRow IbStatusRow(std::int32_t code) {
    if (code < kIbStatusFirst || code > kIbStatusLast)
        return {};
    return kIbStatusRows[code - kIbStatusFirst];
}
