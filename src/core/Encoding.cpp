#include "core/Encoding.h"

#include <array>

namespace {

// Windows-1250 bytes 0x80..0xFF as Unicode.
constexpr std::array<char16_t, 128> kCp1250High = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // F8
};

// The UTF-8 form of each of the bytes 0x80..0xFF (every one takes two or three bytes).
struct TUtf8Form {
    char Bytes[3];
    unsigned char Length;
};

constexpr std::array<TUtf8Form, 128> MakeUtf8Forms() {
    std::array<TUtf8Form, 128> forms{};
    for (std::size_t k = 0; k < forms.size(); ++k) {
        const char32_t c = kCp1250High[k];
        TUtf8Form& form = forms[k];
        if (c < 0x800) {
            form.Bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            form.Bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
            form.Length = 2;
        } else {
            form.Bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            form.Bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            form.Bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
            form.Length = 3;
        }
    }
    return forms;
}

constexpr std::array<TUtf8Form, 128> kCp1250Utf8 = MakeUtf8Forms();

// The way back: the Windows-1250 byte of each code point of the pages that hold the upper half's
// characters (U+0000..U+02FF and U+2000..U+21FF), 0 for the code points the code page lacks.
struct TCp1250Pages {
    std::array<unsigned char, 0x300> Low{};
    std::array<unsigned char, 0x200> Punctuation{};
};

constexpr TCp1250Pages MakeCp1250Pages() {
    TCp1250Pages pages;
    for (std::size_t k = 0; k < kCp1250High.size(); ++k) {
        const char32_t c = kCp1250High[k];
        const auto byte = static_cast<unsigned char>(0x80 + k);
        if (c < 0x300)
            pages.Low[c] = byte;
        else if (c >= 0x2000 && c < 0x2200)
            pages.Punctuation[c - 0x2000] = byte;
    }
    return pages;
}

constexpr TCp1250Pages kCp1250Pages = MakeCp1250Pages();

// Every character of the upper half lies on those pages, so the pages are the whole way back.
constexpr bool EveryCharacterOnThePages() {
    for (std::size_t k = 0; k < kCp1250High.size(); ++k) {
        const char32_t c = kCp1250High[k];
        if (!(c < 0x300 || (c >= 0x2000 && c < 0x2200)))
            return false;
    }
    return true;
}
static_assert(EveryCharacterOnThePages());

unsigned char Cp1250Byte(char32_t c) {
    if (c < 0x300)
        return kCp1250Pages.Low[c];
    if (c >= 0x2000 && c < 0x2200)
        return kCp1250Pages.Punctuation[c - 0x2000];
    return 0;
}

// Decodes one UTF-8 sequence at text[i]; advances i. Returns U+FFFD (one byte consumed) when invalid.
char32_t DecodeOne(std::string_view text, std::size_t& i, bool& ok) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    ok = true;
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ok = false;
        ++i;
        return 0xFFFD;
    }
    if (i + len > text.size()) {
        ok = false;
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            ok = false;
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ok = false;
        ++i;
        return 0xFFFD;
    }
    i += len;
    return cp;
}

} // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    bool ok = true;
    while (i < text.size()) {
        DecodeOne(text, i, ok);
        if (!ok)
            return false;
    }
    return true;
}

namespace {

// Writes the UTF-8 of the text from `p` on: at most three bytes a byte. Each form is copied whole
// (its third byte too) and the end moved by its length, so `p` needs two bytes of room past that.
char* WriteCp1250AsUtf8(char* p, std::string_view text) {
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            *p++ = ch;
            continue;
        }
        const TUtf8Form& form = kCp1250Utf8[b - 0x80];
        p[0] = form.Bytes[0];
        p[1] = form.Bytes[1];
        p[2] = form.Bytes[2];
        p += form.Length;
    }
    return p;
}

} // namespace

std::string Cp1250ToUtf8(std::string_view text) {
    // Short texts (column values, messages) are written on the stack and copied once; longer ones
    // are measured first and written once into a string of their final size.
    char buffer[3 * 256 + 2];
    if (text.size() <= 256)
        return std::string(buffer, WriteCp1250AsUtf8(buffer, text));
    std::size_t length = text.size();
    for (char ch : text)
        if (const auto b = static_cast<unsigned char>(ch); b >= 0x80)
            length += kCp1250Utf8[b - 0x80].Length - 1;
    if (length == text.size())
        return std::string(text);
    std::string out(length + 2, '\0');
    out.resize(static_cast<std::size_t>(WriteCp1250AsUtf8(out.data(), text) - out.data()));
    return out;
}

std::string Utf8ToCp1250(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    bool ok = true;
    while (i < text.size()) {
        const char32_t cp = DecodeOne(text, i, ok);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        const unsigned char mapped = ok ? Cp1250Byte(cp) : 0;
        out += mapped ? static_cast<char>(mapped) : '?';
    }
    return out;
}

std::string AnyToUtf8(std::string_view text) {
    return IsValidUtf8(text) ? std::string(text) : Cp1250ToUtf8(text);
}

std::u32string Utf8ToU32(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    bool ok = true;
    while (i < text.size())
        out += DecodeOne(text, i, ok);
    return out;
}

std::string U32ToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        AppendUtf8(out, c);
    return out;
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t n = 0;
    std::size_t i = 0;
    bool ok = true;
    while (i < text.size()) {
        DecodeOne(text, i, ok);
        ++n;
    }
    return n;
}

char32_t UpperChar(char32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if (c < 0x80)
        return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 32;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs capital/small on even/odd code points, except the two shifted runs.
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddCapital)
            return (c % 2 == 0) ? c - 1 : c;
        if (c == 0x178)
            return c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    return c;
}

char32_t LowerChar(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c < 0x80)
        return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddCapital)
            return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    return c;
}

namespace {

// Maps each character; a stray byte that is not UTF-8 is kept as it is.
template <class TMap> std::string MapChars(std::string_view text, TMap map) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    bool ok = true;
    while (i < text.size()) {
        const std::size_t start = i;
        const char32_t c = DecodeOne(text, i, ok);
        if (ok)
            AppendUtf8(out, map(c));
        else
            out.append(text.substr(start, i - start));
    }
    return out;
}

} // namespace

std::string UpperCase(std::string_view text) {
    return MapChars(text, UpperChar);
}

std::string LowerCase(std::string_view text) {
    return MapChars(text, LowerChar);
}
