#include "dberrors/ExceptionLookup.h"

#include "core/Encoding.h"
#include "dberrors/MessageTables.h"
#include "dberrors/MessageText.h"
#include "fbclient/FbDatabase.h"

#include <limits>
#include <optional>

using namespace dberrors;

namespace {

// Leading blanks, an optional sign and decimal digits that fit 32 bits, nothing else.
std::optional<int> ParseInteger(TTextView text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == U' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == U'+' || text[i] == U'-'))
        negative = text[i++] == U'-';
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < U'0' || text[i] > U'9')
            return std::nullopt;
        value = value * 10 + (text[i] - U'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

// The number of an "Exception N." line: from the tenth character up to the first full stop.
std::optional<int> NumberOfLine(TTextView line) {
    const std::size_t dot = Pos(U".", line);
    if (dot == 0)
        return std::nullopt;
    return ParseInteger(Copy(line, 10, static_cast<long long>(dot) - 10));
}

} // namespace

int ExceptionNumber(std::string_view message) {
    const std::vector<TText> lines = SplitLines(Utf8ToU32(message));
    if (lines.size() >= 3)
        if (std::optional<int> number = NumberOfLine(lines[2]))
            return *number;
    // Firebird 3 writes "Exception ." (the SQL-code text) and then "Exception N.", which is the
    // third line only after a raiser line; without one the third line holds the exception's name.
    for (const TText& line : lines)
        if (OpensWith(line, U"Exception "))
            if (std::optional<int> number = NumberOfLine(line))
                return *number;
    return 0;
}

std::string KomunikatWyjatkuBazy(const EFbError& error, TFbCustomDatabase* database) {
    auto* source = dynamic_cast<IExceptionNameSource*>(database);
    if (!source)
        return {};
    return KomunikatDla_Exception(source->GetExceptionName(ExceptionNumber(error.Message())));
}
