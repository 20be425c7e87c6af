// The SQL parameter scanner on any statement text: every place names a parameter of the list, every
// parameter has a place, a place is a "?" of the processed text, and without parameter recognition
// the text goes to the server as it is.
#include "FuzzCheck.h"
#include "core/Exception.h"
#include "fbclient/FbSqlParser.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text = FuzzBytes(data, size);
    (void)SqlKind(text);
    try {
        const TScannedSql plain = ScanSql(text, false, "Q");
        FuzzCheck(plain.ProcessedSQL == text, "the text changed without parameter recognition");
        FuzzCheck(plain.Names.empty() && plain.Places.empty(), "parameters found without recognition");
    } catch (const Exception&) {
    }
    try {
        const TScannedSql scanned = ScanSql(text, true, "Q");
        std::vector<bool> used(scanned.Names.size());
        for (std::size_t place : scanned.Places) {
            FuzzCheck(place < scanned.Names.size(), "a place beyond the parameter list");
            used[place] = true;
        }
        FuzzCheck(std::all_of(used.begin(), used.end(), [](bool u) { return u; }), "a parameter without a place");
        FuzzCheck(static_cast<std::size_t>(std::count(scanned.ProcessedSQL.begin(), scanned.ProcessedSQL.end(),
                                                      '?')) >= scanned.Places.size(),
                  "fewer \"?\" than places");
        for (std::size_t i = 0; i < scanned.Names.size(); ++i)
            for (std::size_t j = i + 1; j < scanned.Names.size(); ++j)
                FuzzCheck(scanned.Names[i].empty() || scanned.Names[i] != scanned.Names[j],
                          "one named parameter listed twice");
    } catch (const Exception&) {
    }
    return 0;
}
