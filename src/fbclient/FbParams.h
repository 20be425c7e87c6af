#pragma once
// Parameter lines and the binary parameter blocks built from them: the
// database parameter block (DPB) from connection lines and the transaction parameter block (TPB)
// from transaction lines. Lines read name, "=", value; names are accepted with or without their
// isc_dpb_ / isc_tpb_ prefix and in any letter case.

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A list of text lines that asks its owner before each change (OnChanging may raise to refuse it)
// and tells it after (OnChange).
class TFbStrings {
public:
    TFbStrings() = default;
    TFbStrings(const TFbStrings&) = delete;
    TFbStrings& operator=(const TFbStrings&) = delete;

    std::size_t Count() const noexcept { return FLines.size(); }
    const std::string& operator[](std::size_t index) const { return FLines.at(index); }
    const std::vector<std::string>& Lines() const noexcept { return FLines; }
    // All lines joined, each followed by a line feed.
    std::string Text() const;

    void Add(std::string line);
    void Insert(std::size_t index, std::string line);
    void Put(std::size_t index, std::string line);
    void Delete(std::size_t index);
    void Clear();
    void Assign(std::vector<std::string> lines);
    // Replaces the lines by the lines of `text` (split at line feeds, a CR before one dropped).
    void SetText(std::string_view text);

    std::function<void()> OnChanging;
    std::function<void()> OnChange;

    // For the block builders only: the lines themselves, written without telling the owner (the
    // trimming they write back is no change the owner has to hear of).
    std::vector<std::string>& RawLines() noexcept { return FLines; }

private:
    void Changing();
    void Changed();
    std::vector<std::string> FLines;
};

// The DPB name table: entry n (1-based) names DPB item code n; 83 entries.
inline constexpr std::size_t kDpbNameCount = 83;
extern const std::array<const char*, kDpbNameCount> kDpbNames;
// The TPB name table: entry n names TPB item code n; 21 entries.
inline constexpr std::size_t kTpbNameCount = 21;
extern const std::array<const char*, kTpbNameCount> kTpbNames;

// Builds the DPB from the lines (GenerateDPB). Each line is trimmed of characters up to code 32 and
// written back; empty lines are skipped. Raises client error 8 for a known but unsupported name,
// 9 for an unknown one (instance_name too, which Firebird lacks), the integer conversion error for a numeric
// item that is not an integer, and a plain exception for a string value longer than its length byte allows.
std::string GenerateDPB(std::vector<std::string>& lines);
// Builds the TPB from the lines (GenerateTPB): empty for no lines, else isc_tpb_version3 and one
// item per non-empty line. Raises client error 10 or 11 for an unsupported or unknown name
// (no_savepoint counts as unknown: Firebird lacks it).
std::string GenerateTPB(std::vector<std::string>& lines);

// Splits a trimmed parameter line at its first "=": the name lower-cased (A to Z) without the
// prefix ("isc_dpb_", "isc_tpb_"), and the value as written (empty without "=").
void SplitParamLine(const std::string& line, std::string_view prefix, std::string& name, std::string& value);

// Trims characters with codes up to 32 from both ends (the framework's Trim).
std::string FbTrim(std::string_view text);
// The framework's StrToInt: an optional sign and decimal digits within 32 bits, blanks around them
// allowed; anything else raises "'%s' is not a valid integer value".
int FbStrToInt(std::string_view text);
