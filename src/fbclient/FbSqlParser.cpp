#include "fbclient/FbSqlParser.h"

#include "core/Encoding.h"
#include "fbclient/FbErrors.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// A character that can continue a name: letters (national letters are the bytes of UTF-8
// sequences), digits and the identifier marks.
bool IsNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || u >= 0x80 || c == '_' || c == '$' || c == '#' || c == '%' || c == '.';
}

bool IsWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || u >= 0x80 || c == '_' || c == '$';
}

// Skips blanks and comments from pos.
std::size_t SkipBlanksAndComments(std::string_view text, std::size_t pos) {
    for (;;) {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        if (text.substr(pos, 2) == "--") {
            const std::size_t eol = text.find('\n', pos);
            pos = eol == std::string_view::npos ? text.size() : eol + 1;
        } else if (text.substr(pos, 2) == "/*") {
            const std::size_t end = text.find("*/", pos + 2);
            pos = end == std::string_view::npos ? text.size() : end + 2;
        } else {
            return pos;
        }
    }
}

// Whether the keyword stands at pos as a whole word; advances pos past it.
bool Keyword(std::string_view text, std::size_t& pos, std::string_view word) {
    if (text.size() - pos < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[pos + i])) != word[i])
            return false;
    if (pos + word.size() < text.size() && IsWordChar(text[pos + word.size()]))
        return false;
    pos += word.size();
    return true;
}

} // namespace

TSQLKind SqlKind(std::string_view text) {
    std::size_t pos = SkipBlanksAndComments(text, 0);
    const std::size_t start = pos;
    auto is = [&](std::string_view word) {
        pos = start;
        return Keyword(text, pos, word);
    };
    if (is("SELECT"))
        return skSelect;
    if (is("UPDATE"))
        return skUpdate;
    if (is("DELETE"))
        return skDelete;
    if (is("INSERT"))
        return skInsert;
    if (is("EXECUTE")) {
        std::size_t next = SkipBlanksAndComments(text, pos);
        if (Keyword(text, next, "PROCEDURE"))
            return skExecuteProc;
        next = SkipBlanksAndComments(text, pos);
        if (Keyword(text, next, "BLOCK"))
            return skExecuteBlock;
        return skUnknown;
    }
    for (std::string_view ddl : {"ALTER", "CREATE", "COMMENT", "DROP", "DECLARE", "RECREATE"})
        if (is(ddl))
            return skDDL;
    if (is("SET")) {
        std::size_t next = SkipBlanksAndComments(text, pos);
        if (Keyword(text, next, "GENERATOR"))
            return skDDL;
    }
    return skUnknown;
}

TScannedSql ScanSql(std::string_view text, bool recogniseParams, const std::string& statementName) {
    TScannedSql result;
    std::string& out = result.ProcessedSQL;
    out.reserve(text.size());
    auto addPlace = [&](const std::string& name, bool named) {
        std::size_t index = result.Names.size();
        if (named) {
            const auto it = std::find(result.Names.begin(), result.Names.end(), name);
            index = static_cast<std::size_t>(it - result.Names.begin());
        }
        if (index == result.Names.size())
            result.Names.push_back(name);
        result.Places.push_back(index);
        out += '?';
    };

    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            std::size_t j = i + 1;
            for (;;) {
                if (j >= text.size())
                    FbError(feSQLParseError, {statementName, "EOF in string detected"});
                if (text[j] == c) {
                    if (j + 1 < text.size() && text[j + 1] == c) { // a doubled quote stays inside
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out.append(text.substr(i, j + 1 - i));
            i = j + 1;
        } else if (text.substr(i, 2) == "--") {
            const std::size_t eol = text.find('\n', i);
            const std::size_t end = eol == std::string_view::npos ? text.size() : eol;
            out.append(text.substr(i, end - i));
            i = end;
        } else if (text.substr(i, 2) == "/*") {
            const std::size_t close = text.find("*/", i + 2);
            if (close == std::string_view::npos)
                FbError(feSQLParseError, {statementName, "EOF in comment detected"});
            out.append(text.substr(i, close + 2 - i));
            i = close + 2;
        } else if (recogniseParams && (c == ':' || c == '?')) {
            // "?" alone is a place without a name; followed by a name it is a named parameter as ":".
            std::size_t j = i + 1;
            if (j < text.size() && text[j] == '"') {
                const std::size_t close = text.find('"', j + 1);
                if (close == std::string_view::npos)
                    FbError(feSQLParseError, {statementName, "EOF in string detected"});
                addPlace(std::string(text.substr(j + 1, close - j - 1)), true);
                i = close + 1;
                continue;
            }
            while (j < text.size() && IsNameChar(text[j]))
                ++j;
            if (j == i + 1) {
                if (c == '?')
                    addPlace({}, false);
                else
                    out += c; // a colon with no name is just a colon
                ++i;
                continue;
            }
            addPlace(UpperCase(text.substr(i + 1, j - i - 1)), true);
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return result;
}
