#include "dberrors/ErrorTranslation.h"

#include "core/Encoding.h"
#include "dberrors/DbErrorHandler.h"
#include "dberrors/ExceptionLookup.h"
#include "dberrors/MessageTables.h"
#include "dberrors/MessageText.h"
#include "fbclient/FbErrors.h"

#include <algorithm>
#include <array>
#include <optional>

using namespace dberrors;

namespace {

constexpr const char* kUnknownError = "Nieznany błąd bazy danych";
constexpr std::int32_t kForeignKeyCode = 335544466;
constexpr std::int32_t kUniqueKeyCode = 335544665;
constexpr std::int32_t kUniqueIndexCode = 335544349;
constexpr std::int32_t kExceptionCode = 335544517;

// In the order in which they are filled.
constexpr std::array<std::u32string_view, 7> kPlaceholders = {
    U"<string>", U"<string2>", U"<string3>", U"<long>", U"<long2>", U"<digit>", U"<digit2>"};

// The line the template is read from: the second of 2 lines, the fourth of 4, the fifth of 6.
std::optional<TText> ChosenLine(TTextView message) {
    std::vector<TText> lines = SplitLines(message);
    switch (lines.size()) {
    case 2:
        return std::move(lines[1]);
    case 4:
        return std::move(lines[3]);
    case 6:
        return std::move(lines[4]);
    default:
        return std::nullopt;
    }
}

// Replaces the first "<" and the first ">" after it (both included) with value; nothing when there
// is no such pair.
void ReplaceFirstPair(TText& text, const TText& value) {
    const std::size_t open = text.find(U'<');
    if (open == TText::npos)
        return;
    const std::size_t close = text.find(U'>', open);
    if (close == TText::npos)
        return;
    text.replace(open, close - open + 1, value);
}

std::size_t PlaceholderCount(TTextView text) {
    std::size_t count = 0;
    for (TTextView name : kPlaceholders)
        for (std::size_t at = text.find(name); at != TTextView::npos; at = text.find(name, at + name.size()))
            ++count;
    return count;
}

// Fills the placeholders of polish from line, lined up against english. The value of a placeholder
// starts where the placeholder stands in the English text (earlier values put in place of theirs)
// and runs up to the literal text that follows it there, or to the end of the line for the last one.
TText Fill(TTextView polish, TTextView line, TTextView english) {
    TText result(polish);
    TText work(english);
    // A value holding a placeholder name or angle brackets would keep the rounds going for ever;
    // one round per placeholder of the template is all a sound message needs.
    std::size_t rounds = PlaceholderCount(polish);
    const auto lineSize = static_cast<long long>(line.size());
    for (TTextView name : kPlaceholders) {
        TText rest = work;
        while (rounds > 0 && Pos(name, result) > 0) {
            --rounds;
            const auto f = static_cast<long long>(Pos(name, rest));
            rest.erase(
                0, static_cast<std::size_t>(std::min<long long>(f + static_cast<long long>(name.size()) - 1,
                                                                static_cast<long long>(rest.size()))));
            auto k = static_cast<long long>(Pos(U"<", rest));
            if (k > 0)
                --k;
            const long long e = k == 0 ? lineSize + 1 : static_cast<long long>(Pos(Copy(rest, 1, k), line));
            const long long from = std::max<long long>(f, 1);
            TText value;
            if (f < e) {
                value = Copy(line, from, e - from);
            } else if (from <= lineSize) {
                const std::size_t blank = line.find(U' ', static_cast<std::size_t>(from - 1));
                value = TText(line.substr(
                    static_cast<std::size_t>(from - 1),
                    blank == TTextView::npos ? TTextView::npos : blank - static_cast<std::size_t>(from - 1)));
            }
            ReplaceFirstPair(result, value);
            ReplaceFirstPair(work, value);
        }
    }
    return result;
}

// The English template's text before its first placeholder.
TTextView OpeningText(TTextView english) {
    return english.substr(0, english.find(U'<'));
}

// The last place in the message where a server line reads as the English template opens: at the
// start of a line, or right after a full stop (the SQL-code text runs into the server's first line
// when it ends with one). The text from there to the end of its line; nullopt when there is none.
std::optional<TText> LineOpeningAs(TTextView message, TTextView english) {
    const TTextView lead = OpeningText(english);
    if (lead.empty())
        return std::nullopt;
    std::optional<TText> found;
    for (const TText& line : SplitLines(message)) {
        for (std::size_t at = 0; at < line.size(); ++at) {
            if ((at == 0 || line[at - 1] == U'.') && OpensWith(TTextView(line).substr(at), lead)) {
                found = line.substr(at);
                break;
            }
        }
    }
    return found;
}

// Firebird 3 closes a key violation with a line of its own that older servers do not send.
bool IsFirebird3KeyViolation(TTextView message) {
    for (const TText& line : SplitLines(message))
        if (line.starts_with(U"Problematic key value is ("))
            return true;
    return false;
}

std::string Utf8(const TText& text) {
    return U32ToUtf8(text);
}

// A template pair: Tlumacz, except that the line is the one that reads as the English template
// does when the line Tlumacz would take does not. Firebird 3 puts the SQL-code text before the
// server's own line, runs them together on one line, adds lines after it, and a named statement adds
// its raiser line in front, so the server's line is seldom where the line rules look. When no line
// reads so, Tlumacz's own result stands.
std::string FromPair(const TIbStatusRow& row, TTextView message) {
    const TText polish = Utf8ToU32(row.Polish);
    const TText english = Utf8ToU32(row.English);
    std::optional<TText> line = ChosenLine(message);
    if (!line || !OpensWith(*line, OpeningText(english)))
        if (std::optional<TText> opening = LineOpeningAs(message, english))
            line = std::move(opening);
    if (!line || line->empty())
        return {};
    return Utf8(Fill(polish, *line, english));
}

// The fallback of a key row. Firebird 3 composes key violations in three to five lines, which the
// line rules refuse; its message is recognised by its own closing line and gets the row's sentence.
std::string KeyFallback(const TIbStatusRow& row, TTextView message) {
    const TText polish = Utf8ToU32(row.Polish);
    const TText english = Utf8ToU32(row.English);
    if (std::optional<TText> line = ChosenLine(message); line && !line->empty())
        return Utf8(Fill(polish, *line, english));
    if (IsFirebird3KeyViolation(message))
        if (std::optional<TText> line = LineOpeningAs(message, english))
            return Utf8(Fill(polish, *line, english));
    return {};
}

// "Wyjątek N" from the line that reads "Exception N". A line that does not open so (Firebird 3 puts
// the exception's message or its "At procedure" line where the rules look) gives nothing, so that
// the database's own message is shown instead of a number cut out of another text.
std::string ExceptionTemplate(const TIbStatusRow& row, TTextView message) {
    const TText english = Utf8ToU32(row.English);
    std::optional<TText> line = ChosenLine(message);
    if (!line || line->empty() || !OpensWith(*line, OpeningText(english)))
        return {};
    return Utf8(Fill(Utf8ToU32(row.Polish), *line, english));
}

std::string FromLookup(std::int32_t code, const TIbStatusRow& row, const EFbError& error,
                       TFbCustomDatabase* database) {
    const std::string& message = error.Message();
    const TText text = Utf8ToU32(message);
    std::string result;
    switch (code) {
    case kForeignKeyCode:
        result = KomunikatDla_ViolationOfForeignKey(GetForeignKeyName(message));
        break;
    case kUniqueKeyCode:
        result = KomunikatDla_ViolationOfUniqueKey(GetUniqueKeyName(message));
        break;
    case kUniqueIndexCode:
        result = KomunikatDla_ViolationOfUniqueKey(GetUniqueIndexName(message));
        break;
    case kExceptionCode: {
        const std::string own = database ? KomunikatWyjatkuBazy(error, database) : std::string();
        if (!own.empty())
            return "Wyjątek: \r" + own;
        result = ExceptionTemplate(row, text);
        return result.empty() ? KomunikatZBazy(message) : result;
    }
    default:
        return FromPair(row, text);
    }
    return result.empty() ? KeyFallback(row, text) : result;
}

// The text between the start marker's quote (exclusive) and the end marker's first character; the
// start marker's position 0 (missing) makes it run from the message's start.
std::string Between(std::string_view message, TTextView startMarker, TTextView endMarker) {
    const TText text = Utf8ToU32(message);
    const auto start = static_cast<long long>(Pos(startMarker, text));
    const auto end = static_cast<long long>(Pos(endMarker, text));
    return UpperCase(Utf8(Copy(text, start + 1, end - start - 1)));
}

} // namespace

std::string IbErrorToStr(const EFbError& error, TFbCustomDatabase* database) {
    const std::int32_t code = error.IBErrorCode();
    // A connection broken under a live attachment reads as the lost connection it is.
    const TIbStatusRow row = IbStatusRow(IsConnectionLostCode(code) ? kConnectionLostCode : code);
    switch (row.Kind) {
    case TIbStatusKind::skNoRow:
        return kUnknownError;
    case TIbStatusKind::skFixed:
        return std::string(row.Polish);
    case TIbStatusKind::skEmpty:
        return {};
    case TIbStatusKind::skPair:
        return FromPair(row, Utf8ToU32(error.Message()));
    case TIbStatusKind::skLookup:
        return FromLookup(code, row, error, database);
    }
    return kUnknownError;
}

std::string Tlumacz(std::string_view polish, std::string_view message, std::string_view english) {
    std::optional<TText> line = ChosenLine(Utf8ToU32(message));
    if (!line || line->empty())
        return {};
    return Utf8(Fill(Utf8ToU32(polish), *line, Utf8ToU32(english)));
}

std::string GetForeignKeyName(std::string_view message) {
    return Between(message, U"\"FK_", U"\" on table ");
}

std::string GetUniqueKeyName(std::string_view message) {
    return Between(message, U"\"PK_", U"\" on table ");
}

std::string GetUniqueIndexName(std::string_view message) {
    const TText text = Utf8ToU32(message);
    const std::size_t start = Pos(U"in unique index", text) + 17;
    const std::size_t quote = Pos(U"\"", text, start);
    if (quote == 0)
        return {};
    return UpperCase(Utf8(Copy(text, static_cast<long long>(start), static_cast<long long>(quote - start))));
}

std::string KomunikatZBazy(std::string_view message) {
    const std::vector<TText> lines = SplitLines(Utf8ToU32(message));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TText& line = lines[i];
        if (line.size() >= 3 && UpperChar(line[0]) == U'A' && UpperChar(line[1]) == U'T' && line[2] == U' ')
            return Utf8(i == 0 ? lines[0] : lines[i - 1]);
    }
    if (lines.size() >= 5)
        return Utf8(lines[4]);
    return "Nieznany błąd bazy danych.";
}
