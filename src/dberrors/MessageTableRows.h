#pragma once
// The rows of the constraint and exception message tables as they are stored, for the tests and for
// review: a row's message is its text alone, or the table's fragment joined to it.

#include <span>
#include <string>
#include <string_view>

struct TKomunikatRow {
    std::string_view Key;
    bool Fragment; // the table's fragment is joined to Text
    std::string_view Text;
};

struct TKomunikatTable {
    std::string_view Fragment; // "Nie można usunąć " (foreign keys), " już istnieje." (unique keys)
    bool FragmentFirst;        // the fragment goes in front of the text, else after it
    std::span<const TKomunikatRow> Rows; // sorted by key (byte order), keys distinct
};

const TKomunikatTable& ForeignKeyTable();
const TKomunikatTable& UniqueKeyTable();
const TKomunikatTable& ExceptionTable();

// The message of a row of `table`, the pieces joined.
std::string KomunikatWiersza(const TKomunikatTable& table, const TKomunikatRow& row);
