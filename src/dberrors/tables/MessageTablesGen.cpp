// Compiles the message tables' data files into constant C++ arrays (a build-time host program).
//
//   MessageTablesGen <output.inc> <status codes> <foreign keys> <unique keys> <exceptions>
//
// The status-code file is a list of rows, each a header line "<code> <kind> [name]" followed by
// indented "en <text>" and "pl <text>" lines; the kinds are fixed, pair, lookup and empty, and a code
// without a row is a gap. A constraint file has one row per line, "<KEY> = <sentence>" or
// "<KEY> + <text>", where "+" joins the text to the fragment the file declares first with
// "@fragment-before <text>" or "@fragment-after <text>". Lines starting with "#" and blank lines are
// ignored. Texts run to the end of the line and know the escapes \r, \n, \t, \\ and \s (a blank, for
// one that ends a text, which editors would strip). Every fault of a file stops the build with its
// file name and line.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr long kFirstCode = 335544321;
constexpr long kLastCode = 335544721;
constexpr std::size_t kMaxKeyLength = 31;

std::string gFile;
int gLine = 0;

[[noreturn]] void Fail(const std::string& what) {
    std::cerr << gFile << ':' << gLine << ": " << what << '\n';
    std::exit(1);
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int len = b < 0x80             ? 1
                        : (b & 0xE0) == 0xC0 ? 2
                        : (b & 0xF0) == 0xE0 ? 3
                        : (b & 0xF8) == 0xF0 ? 4
                                             : 0;
        if (len == 0 || i + len > s.size() || (len == 2 && b < 0xC2))
            return false;
        for (int k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

std::string Unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size())
            Fail("a backslash ends the text");
        switch (s[i]) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 's':
            out += ' ';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            Fail(std::string("unknown escape \\") + s[i]);
        }
    }
    return out;
}

// The text as a C++ string literal: UTF-8 stays as it is, quotes, backslashes and control characters
// are escaped (octal, which never runs into the next character).
std::string Literal(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", b);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::vector<std::string> ReadLines(const std::string& path) {
    gFile = path;
    gLine = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail("cannot open the file");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        ++gLine;
        if (!line.empty() && line.back() == '\r')
            Fail("a carriage return ends the line (write \\r for one in a text)");
        if (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            Fail("blank at the end of the line (write \\s for one that belongs to the text)");
        if (!IsValidUtf8(line))
            Fail("not valid UTF-8");
        lines.push_back(std::move(line));
    }
    return lines;
}

bool Skipped(const std::string& line) {
    return line.empty() || line[0] == '#';
}

// "<tag> <text>" with exactly one blank after the tag, else nullopt.
std::optional<std::string> Tagged(std::string_view line, std::string_view tag) {
    if (line.size() <= tag.size() || line.substr(0, tag.size()) != tag || line[tag.size()] != ' ')
        return std::nullopt;
    return Unescape(line.substr(tag.size() + 1));
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

// ---- status codes ----

struct TStatusRow {
    std::string Kind; // skFixed, skPair, ...
    std::string Polish, English;
};

std::map<long, TStatusRow> ReadStatusCodes(const std::string& path) {
    static const std::map<std::string, std::string, std::less<>> kinds = {
        {"fixed", "skFixed"}, {"pair", "skPair"}, {"lookup", "skLookup"}, {"empty", "skEmpty"}};
    const auto lines = ReadLines(path);
    std::map<long, TStatusRow> rows;
    long code = 0;
    TStatusRow* row = nullptr;
    bool hasEn = false, hasPl = false;
    auto finish = [&] {
        if (!row)
            return;
        const bool texts = row->Kind != "skEmpty";
        if (texts != hasEn || texts != hasPl)
            Fail("row " + std::to_string(code) + (texts ? " needs an en and a pl line" : " has no texts"));
        if (texts && row->Polish.empty())
            Fail("row " + std::to_string(code) + " has an empty Polish text");
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        gLine = static_cast<int>(i + 1);
        const std::string& line = lines[i];
        if (Skipped(line))
            continue;
        if (line[0] != ' ') {
            finish();
            std::istringstream header(line);
            std::string kind;
            if (!(header >> code >> kind))
                Fail("expected \"<code> <kind>\"");
            if (code < kFirstCode || code > kLastCode)
                Fail("code outside " + std::to_string(kFirstCode) + ".." + std::to_string(kLastCode));
            if (!rows.empty() && code <= rows.rbegin()->first)
                Fail("codes must ascend");
            const auto k = kinds.find(kind);
            if (k == kinds.end())
                Fail("unknown kind " + kind);
            row = &rows[code];
            row->Kind = k->second;
            hasEn = hasPl = false;
            continue;
        }
        if (!row)
            Fail("a text line before the first row");
        const std::string_view body = Trim(line);
        if (auto en = Tagged(body, "en")) {
            if (hasEn)
                Fail("second en line");
            row->English = *en, hasEn = true;
        } else if (auto pl = Tagged(body, "pl")) {
            if (hasPl)
                Fail("second pl line");
            row->Polish = *pl, hasPl = true;
        } else {
            Fail("expected \"en <text>\" or \"pl <text>\"");
        }
    }
    finish();
    return rows;
}

// ---- constraint tables ----

struct TKeyRow {
    std::string Key;
    bool Fragment = false;
    std::string Text;
    int Line = 0;
};

struct TKeyTable {
    std::string Fragment;
    bool FragmentFirst = true;
    std::vector<TKeyRow> Rows;
};

bool IsValidKey(std::string_view key) {
    if (key.empty() || key.size() > kMaxKeyLength)
        return false;
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; });
}

TKeyTable ReadKeyTable(const std::string& path) {
    const auto lines = ReadLines(path);
    TKeyTable table;
    bool hasFragment = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        gLine = static_cast<int>(i + 1);
        const std::string& line = lines[i];
        if (Skipped(line))
            continue;
        if (line[0] == '@') {
            auto before = Tagged(line, "@fragment-before");
            auto after = Tagged(line, "@fragment-after");
            if (!before && !after)
                Fail("unknown directive");
            if (hasFragment || !table.Rows.empty())
                Fail("the fragment is declared once, before the rows");
            table.Fragment = before ? *before : *after;
            table.FragmentFirst = before.has_value();
            hasFragment = true;
            continue;
        }
        const auto blank = line.find(' ');
        if (blank == std::string::npos)
            Fail("expected \"<KEY> = <text>\" or \"<KEY> + <text>\"");
        TKeyRow row;
        row.Key = line.substr(0, blank);
        row.Line = gLine;
        if (!IsValidKey(row.Key))
            Fail("key " + row.Key + " is not upper-case letters, digits and underscores of at most 31");
        const std::string_view rest = Trim(std::string_view(line).substr(blank));
        if (auto whole = Tagged(rest, "=")) {
            row.Text = *whole;
        } else if (auto joined = Tagged(rest, "+")) {
            if (!hasFragment)
                Fail("a \"+\" row in a file without a fragment");
            row.Text = *joined, row.Fragment = true;
        } else {
            Fail("expected \"=\" or \"+\" after the key");
        }
        if (row.Text.empty())
            Fail("empty text");
        table.Rows.push_back(std::move(row));
    }
    std::sort(table.Rows.begin(), table.Rows.end(),
              [](const TKeyRow& a, const TKeyRow& b) { return a.Key < b.Key; });
    for (std::size_t i = 1; i < table.Rows.size(); ++i)
        if (table.Rows[i].Key == table.Rows[i - 1].Key) {
            gLine = table.Rows[i].Line;
            Fail("key " + table.Rows[i].Key + " appears twice");
        }
    return table;
}

void WriteKeyTable(std::ostream& out, const std::string& name, const TKeyTable& table) {
    out << "\n// " << table.Rows.size() << " rows, sorted by key.\n";
    out << "constexpr TKomunikatRow k" << name << "Rows[] = {\n";
    for (const auto& row : table.Rows)
        out << "    {" << Literal(row.Key) << ", " << (row.Fragment ? "true" : "false") << ", "
            << Literal(row.Text) << "},\n";
    out << "};\n";
    out << "constexpr TKomunikatTable k" << name << "Table{" << Literal(table.Fragment) << ", "
        << (table.FragmentFirst ? "true" : "false") << ", k" << name << "Rows};\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr
            << "usage: MessageTablesGen <output> <status codes> <foreign keys> <unique keys> <exceptions>\n";
        return 2;
    }
    const auto status = ReadStatusCodes(argv[2]);
    const auto foreignKeys = ReadKeyTable(argv[3]);
    const auto uniqueKeys = ReadKeyTable(argv[4]);
    const auto exceptions = ReadKeyTable(argv[5]);

    std::ostringstream out;
    out << "// Generated by MessageTablesGen from the data files in src/dberrors/tables. Do not edit.\n";
    out << "\n// Status codes " << kFirstCode << ".." << kLastCode << ", indexed by code minus " << kFirstCode
        << "; " << status.size() << " rows, the others are gaps.\n";
    out << "constexpr TIbStatusRow kIbStatusRows[" << (kLastCode - kFirstCode + 1) << "] = {\n";
    for (long code = kFirstCode; code <= kLastCode; ++code) {
        const auto row = status.find(code);
        if (row == status.end())
            out << "    {}, // " << code << "\n";
        else
            out << "    {TIbStatusKind::" << row->second.Kind << ", " << Literal(row->second.Polish) << ", "
                << Literal(row->second.English) << "}, // " << code << "\n";
    }
    out << "};\n";
    WriteKeyTable(out, "ForeignKey", foreignKeys);
    WriteKeyTable(out, "UniqueKey", uniqueKeys);
    WriteKeyTable(out, "Exception", exceptions);

    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file) {
        std::cerr << argv[1] << ": cannot write\n";
        return 1;
    }
    return 0;
}
