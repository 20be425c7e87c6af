// Tlumacz and the name extraction on any texts (the Polish template, the server's message and the
// English template, split at the first two NULs): each ends, and gives valid UTF-8 for valid input.
#include "FuzzCheck.h"
#include "core/Encoding.h"
#include "dberrors/ErrorTranslation.h"
#include "dberrors/MessageText.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::string_view rest = FuzzBytes(data, size);
    std::array<std::string_view, 3> parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t nul = i + 1 < parts.size() ? rest.find('\0') : std::string_view::npos;
        parts[i] = rest.substr(0, nul);
        rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    }
    const auto [polish, message, english] = parts;
    const bool valid = IsValidUtf8(polish) && IsValidUtf8(message) && IsValidUtf8(english);

    const std::string filled = Tlumacz(polish, message, english);
    const std::string names[] = {GetForeignKeyName(message), GetUniqueKeyName(message),
                                 GetUniqueIndexName(message), KomunikatZBazy(message)};
    if (valid) {
        FuzzCheck(IsValidUtf8(filled), "Tlumacz made invalid UTF-8 of valid text");
        for (const std::string& name : names)
            FuzzCheck(IsValidUtf8(name), "a name taken out of valid text is invalid UTF-8");
    }

    const dberrors::TText m = Utf8ToU32(message);
    const dberrors::TText e = Utf8ToU32(english);
    const std::size_t at = dberrors::Pos(e, m);
    FuzzCheck(at == 0 || (!e.empty() && m.compare(at - 1, e.size(), e) == 0), "Pos points where the text is not");
    const long long from = static_cast<long long>(polish.size()) - 3;
    const dberrors::TText copy = dberrors::Copy(m, from, static_cast<long long>(english.size()) - 3);
    FuzzCheck(copy.size() <= m.size(), "Copy gave more than the text");
    for (const dberrors::TText& line : dberrors::SplitLines(m))
        FuzzCheck(line.find_first_of(U"\r\n") == dberrors::TText::npos, "a split line holds a line break");
    return 0;
}
