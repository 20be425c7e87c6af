#pragma once
// The message tables of the suite's database: one sentence per foreign key, unique key or index and
// database exception, and the Polish rows of the server's status codes 335544321..335544721. All
// texts are UTF-8; the tables are constant data generated at build time from a reviewable data file.

#include <cstdint>
#include <string>
#include <string_view>

// The sentence for a foreign key, a primary key or unique index, or a database exception, or the
// empty string when the name has no row. Names are compared exactly (case-sensitive, no trimming).
std::string KomunikatDla_ViolationOfForeignKey(std::string_view name);
std::string KomunikatDla_ViolationOfUniqueKey(std::string_view name);
std::string KomunikatDla_Exception(std::string_view name);

// What the status-code row of a code yields.
enum class TIbStatusKind : std::uint8_t {
    skNoRow,  // a gap in the table, or a code outside it
    skFixed,  // Polish is returned as it stands (placeholder marks included)
    skPair,   // Polish and English are a template pair for Tlumacz
    skLookup, // a name lookup; Polish and English are its fallback template pair
    skEmpty,  // yields the empty string
};

struct TIbStatusRow {
    TIbStatusKind Kind = TIbStatusKind::skNoRow;
    std::string_view Polish;
    // The English template of a pair or lookup row; for a fixed row the server's own English
    // message it renders (kept for review and tests).
    std::string_view English;
};

inline constexpr std::int32_t kIbStatusFirst = 335544321;
inline constexpr std::int32_t kIbStatusLast = 335544721;

// The row of a status code; skNoRow for a gap or a code outside the table. A single array index.
TIbStatusRow IbStatusRow(std::int32_t code);
