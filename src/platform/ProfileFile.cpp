#include "platform/ProfileFile.h"

#include "core/Encoding.h"
#include "core/KwUtils.h"
#include "platform/Files.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// "[name]" gives name; nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// "key = value" gives key; nullopt for lines without "=".
std::optional<std::string_view> KeyName(std::string_view line, std::string_view* value = nullptr) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    if (value)
        *value = line.substr(eq + 1);
    return Trim(line.substr(0, eq));
}

struct TFound {
    std::ptrdiff_t section = -1;  // line of the header
    std::ptrdiff_t key = -1;      // line of the key
    std::ptrdiff_t lastEntry = -1; // last non-blank line of the section
};

// The names are taken as the reader takes the file's: without blanks around them.
TFound Find(const std::vector<std::string>& lines, std::string_view sectionName, std::string_view keyName) {
    const std::string section(Trim(sectionName)), key(Trim(keyName));
    TFound f;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i])) {
            if (f.section >= 0)
                break; // the first section of the name wins; later duplicates are not read
            if (RowneUp(std::string(*name), section))
                f.section = f.lastEntry = static_cast<std::ptrdiff_t>(i);
            continue;
        }
        if (f.section < 0)
            continue;
        if (!Trim(lines[i]).empty())
            f.lastEntry = static_cast<std::ptrdiff_t>(i);
        if (f.key < 0) {
            auto k = KeyName(lines[i]);
            if (k && RowneUp(std::string(*k), key))
                f.key = static_cast<std::ptrdiff_t>(i);
        }
    }
    return f;
}

// A value as read: a lone CR or a NUL can be neither part of a path nor written back into the value's
// line, so they are dropped; then blanks around it and one pair of enclosing quotes go, and it is
// capped.
std::string CleanValue(std::string_view line) {
    std::string kept;
    std::remove_copy_if(line.begin(), line.end(), std::back_inserter(kept),
                        [](char c) { return c == '\r' || c == '\0'; });
    std::string_view v = Trim(kept);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    if (Utf8Length(v) <= TProfileFile::kMaxValueLength)
        return std::string(v);
    const std::u32string chars = Utf8ToU32(v);
    return U32ToUtf8(std::u32string_view(chars).substr(0, TProfileFile::kMaxValueLength));
}

} // namespace

TProfileText TProfileText::Parse(std::string_view raw) {
    TProfileText p;
    const std::string text = TFileEncoding::Decode(raw, p.FEncoding);
    const std::size_t firstLf = text.find('\n');
    if (firstLf != std::string::npos && firstLf > 0 && text[firstLf - 1] == '\r')
        p.FEol = "\r\n";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            p.FLines.push_back(text.substr(start));
            p.FEndsWithEol = false;
            break;
        }
        std::size_t end = lf;
        if (end > start && text[end - 1] == '\r')
            --end;
        p.FLines.push_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return p;
}

std::string TProfileText::ReadString(const std::string& section, const std::string& key,
                                     const std::string& def) const {
    const TFound f = Find(FLines, section, key);
    if (f.key < 0)
        return def;
    std::string_view value;
    KeyName(FLines[static_cast<std::size_t>(f.key)], &value);
    return CleanValue(value);
}

bool TProfileText::WriteString(const std::string& section, const std::string& key, const std::string& value,
                               std::string* error) {
    // Each would end the line or the name early and let the rest be read as lines of their own.
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        key.find_first_of("\r\n=[") != std::string::npos ||
        section.find_first_of(std::string("\r\n]\0", 4)) != std::string::npos) {
        if (error)
            *error = "a line break, NUL or a name's closing character cannot be stored in a profile file";
        return false;
    }
    for (const std::string* text : {&section, &key, &value}) {
        const std::string refusal = FEncoding.Refusal(*text);
        if (!refusal.empty()) {
            if (error)
                *error = refusal;
            return false;
        }
    }
    const TFound f = Find(FLines, section, key);
    const std::string line = std::string(Trim(key)) + "=" + value;
    if (f.key >= 0) {
        FLines[static_cast<std::size_t>(f.key)] = line;
    } else if (f.section >= 0) {
        FLines.insert(FLines.begin() + f.lastEntry + 1, line);
    } else {
        if (!FLines.empty() && !Trim(FLines.back()).empty())
            FLines.emplace_back();
        FLines.push_back("[" + std::string(Trim(section)) + "]");
        FLines.push_back(line);
        FEndsWithEol = true;
    }
    return true;
}

std::string TProfileText::Render() const {
    std::string text;
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        text += FLines[i];
        if (i + 1 < FLines.size() || FEndsWithEol)
            text += FEol;
    }
    // Bytes that pass for UTF-8 would be reread as UTF-8: a Windows-1250 file then gets a comment line
    // first, which readers of values skip, to stay Windows-1250.
    if (FEncoding.NeedsMarker(text))
        text = std::string(TFileEncoding::MarkerComment()) + FEol + text;
    return FEncoding.Encode(text);
}

std::vector<std::pair<std::string, std::string>> TProfileText::Keys() const {
    std::vector<std::pair<std::string, std::string>> keys;
    std::vector<std::string> sections;
    bool reading = false; // in the first section of its name
    std::string current;
    for (const std::string& line : FLines) {
        if (auto name = SectionName(line)) {
            current = std::string(*name);
            reading = std::none_of(sections.begin(), sections.end(),
                                   [&](const std::string& s) { return RowneUp(s, current); });
            if (reading)
                sections.push_back(current);
            continue;
        }
        const auto key = KeyName(line);
        if (!reading || !key)
            continue;
        const std::string k(*key);
        if (std::none_of(keys.begin(), keys.end(),
                         [&](const auto& sk) { return RowneUp(sk.first, current) && RowneUp(sk.second, k); }))
            keys.emplace_back(current, k);
    }
    return keys;
}

TProfileText TProfileFile::Read() const {
    std::string error;
    bool missing = false;
    const std::optional<std::string> raw = ReadFile(FFileName, &error, &missing);
    if (raw)
        return TProfileText::Parse(*raw);
    if (!missing)
        throw EProfileError("Unable to read " + error);
    return {};
}

bool TProfileFile::Write(const TProfileText& text, std::string* error) {
    return WriteFileAtomic(FFileName, text.Render(), error);
}

std::string TProfileFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& def) const {
    return Read().ReadString(section, key, def);
}

bool TProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value,
                               std::string* error) {
    TProfileText text;
    try {
        text = Read();
    } catch (const EProfileError& e) {
        if (error)
            *error = e.Message();
        return false;
    }
    return text.WriteString(section, key, value, error) && Write(text, error);
}

} // namespace platform
