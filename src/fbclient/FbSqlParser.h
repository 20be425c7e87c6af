#pragma once
// Reading a statement text before the server sees it: its kind, and its ":name" parameters, which
// are replaced by "?" in the text sent to the server.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum TSQLKind : std::uint8_t {
    skUnknown, skSelect, skUpdate, skInsert, skDelete, skExecuteProc, skDDL, skExecuteBlock
};

// The kind by the first word after blanks and comments (letter case ignored).
TSQLKind SqlKind(std::string_view text);

struct TScannedSql {
    std::string ProcessedSQL;                  // the text with every parameter as "?"
    std::vector<std::string> Names;            // distinct parameter names, in order of first use
    std::vector<std::size_t> Places;           // for every "?" of ProcessedSQL, its index in Names
};

// Scans the text for parameters (when recogniseParams; otherwise only strings and comments are
// checked). A name is upper-cased unless it was quoted; a repeated name is one parameter.
// An unterminated string or block comment raises client error 51 with statementName.
TScannedSql ScanSql(std::string_view text, bool recogniseParams, const std::string& statementName);
