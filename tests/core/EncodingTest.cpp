#include "core/Encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace {
// glibc's converter is an independent reading of the code page.
std::string IconvCp1250(const std::string& in) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
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
        return "<undefined>";
    out.resize(out.size() - dstLeft);
    return out;
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
