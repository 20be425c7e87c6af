#include "core/Encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace {
// glibc's converter is an independent reading of the code page. Converts `in` from one encoding to
// the other; `failure` when glibc cannot.
std::string Iconv(const char* to, const char* from, const std::string& in, const std::string& failure) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "<no iconv>";
    std::string out(16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return failure;
    out.resize(out.size() - dstLeft);
    return out;
}

std::string IconvCp1250(const std::string& in) {
    return Iconv("UTF-8", "CP1250", in, "<undefined>");
}

// The Windows-1250 byte of one UTF-8 character, "?" for none.
std::string IconvToCp1250(const std::string& in) {
    return Iconv("CP1250", "UTF-8", in, "?");
}
} // namespace

TEST(Encoding, EveryDefinedCp1250ByteMatchesIconvAndRoundTrips) {
    for (int b = 0x20; b < 0x100; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = Cp1250ToUtf8(one);
        const std::string ref = IconvCp1250(one);
        if (ref != "<undefined>") {
            EXPECT_EQ(utf8, ref) << "byte " << b;
        }
        EXPECT_EQ(Utf8ToCp1250(utf8), one) << "byte " << b;
    }
}

TEST(Encoding, EveryCodePointOfTheBasicPlaneMapsAsIconvSays) {
    // The five bytes the code page leaves undefined stand for the C1 code points of their value.
    const std::u32string undefined = {0x81, 0x83, 0x88, 0x90, 0x98};
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const std::string utf8 = U32ToUtf8(std::u32string(1, c));
        const std::string expected = undefined.find(c) != std::u32string::npos
                                         ? std::string(1, static_cast<char>(c))
                                         : IconvToCp1250(utf8);
        ASSERT_EQ(Utf8ToCp1250(utf8), expected) << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Encoding, MixedTextBothWays) {
    // ASCII runs between characters of two- and three-byte forms, at both ends.
    const std::string utf8 = "€a ąb ˙\x7F„ź";
    const std::string cp = "\x80"
                           "a \xB9"
                           "b \xFF\x7F\x84\x9F";
    EXPECT_EQ(Utf8ToCp1250(utf8), cp);
    EXPECT_EQ(Cp1250ToUtf8(cp), utf8);
    EXPECT_EQ(Cp1250ToUtf8(""), "");
    EXPECT_EQ(Cp1250ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Encoding, LongTextsBothWays) {
    // Around the length up to which a text is converted on the stack.
    for (std::size_t length : {255u, 256u, 257u, 3000u}) {
        std::string cp, utf8;
        for (std::size_t i = 0; i < length; ++i) {
            cp += i % 3 ? "\xB9"[0] : "\x80"[0];
            utf8 += i % 3 ? "ą" : "€";
        }
        EXPECT_EQ(Cp1250ToUtf8(cp), utf8) << length;
        EXPECT_EQ(Utf8ToCp1250(utf8), cp) << length;
        const std::string ascii(length, 'a');
        EXPECT_EQ(Cp1250ToUtf8(ascii), ascii) << length;
    }
}

TEST(Encoding, PolishTextBothWays) {
    const std::string utf8 = "Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ";
    const std::string cp = Utf8ToCp1250(utf8);
    EXPECT_EQ(cp.size(), Utf8Length(utf8));
    EXPECT_FALSE(IsValidUtf8(cp));
    EXPECT_EQ(Cp1250ToUtf8(cp), utf8);
    EXPECT_EQ(AnyToUtf8(cp), utf8);
    EXPECT_EQ(AnyToUtf8(utf8), utf8);
}

TEST(Encoding, UnmappableAndInvalidBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1250("a€b"), "a\x80" "b");
    EXPECT_EQ(Utf8ToCp1250("日本"), "??");
    EXPECT_EQ(Utf8ToCp1250("x\xC3"), "x?");
    EXPECT_EQ(Utf8ToCp1250(std::string("\0z", 2)), std::string("\0z", 2));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80")); // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_EQ(Utf8Length("\xFFżx"), 3u);
}

TEST(Encoding, CaseOfPolishLetters) {
    EXPECT_EQ(UpperCase("zażółć gęślą jaźń ąćęłńóśźż"), "ZAŻÓŁĆ GĘŚLĄ JAŹŃ ĄĆĘŁŃÓŚŹŻ");
    EXPECT_EQ(LowerCase("ĄĆĘŁŃÓŚŹŻ ABC"), "ąćęłńóśźż abc");
    EXPECT_EQ(UpperCase("straße"), "STRAßE");
}
