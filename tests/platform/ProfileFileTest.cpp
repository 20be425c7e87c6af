#include "platform/ProfileFile.h"
#include "TestUtil.h"
#include "WriteProperty.h"
#include "core/Encoding.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using platform::TProfileFile;

namespace {
struct TReadCase {
    const char* name;
    std::string content;
    std::string section, key, expected;
};
} // namespace

TEST(ProfileFile, ReadsByTheWindowsRules) {
    const std::string longValue(1 << 20, 'x');
    const TReadCase cases[] = {
        {"lf", "[MAIN]\nREMOTE=0\n", "MAIN", "REMOTE", "0"},
        {"crlf", "[MAIN]\r\nREMOTE=0\r\nX=1\r\n", "MAIN", "REMOTE", "0"},
        {"no final line end", "[MAIN]\nREMOTE=7", "MAIN", "REMOTE", "7"},
        {"bom", "\xEF\xBB\xBF[MAIN]\nREMOTE=5\n", "MAIN", "REMOTE", "5"},
        {"cp1250 file",
         "[MAIN]\nDATABASE_DIR=/dane/\xB3\xF3"
         "d\xBF\n",
         "MAIN", "DATABASE_DIR", "/dane/łódż"},
        {"utf8 file", "[MAIN]\nDATABASE_DIR=/dane/łódź\n", "MAIN", "DATABASE_DIR", "/dane/łódź"},
        {"letter case", "[main]\nserwer_NAME=srv\n", "MAIN", "SERWER_NAME", "srv"},
        {"blanks around =", "[MAIN]\n  SERWER_NAME \t=  srv x \n", "MAIN", "SERWER_NAME", "srv x"},
        {"double quotes", "[MAIN]\nK=\" a b \"\n", "MAIN", "K", " a b "},
        {"single quotes", "[MAIN]\nK='q'\n", "MAIN", "K", "q"},
        {"one quote kept", "[MAIN]\nK=\"q\n", "MAIN", "K", "\"q"},
        {"first key wins", "[MAIN]\nK=1\nK=2\n", "MAIN", "K", "1"},
        {"first section wins", "[MAIN]\nA=1\n[MAIN]\nK=2\n", "MAIN", "K", "def"},
        {"other section", "[OTHER]\nK=1\n[MAIN]\nK=2\n", "MAIN", "K", "2"},
        {"key outside any section", "K=1\n[MAIN]\n", "MAIN", "K", "def"},
        {"present but empty", "[MAIN]\nK=\n", "MAIN", "K", ""},
        {"missing key", "[MAIN]\nA=1\n", "MAIN", "K", "def"},
        {"binary bytes", std::string("[MAIN]\nK=a\0b\x01\r\x02\n", 16), "MAIN", "K", "ab\x01\x02"},
        {"binary garbage around", std::string("\0\xff\xfe\n[MAIN]\nK=v\n\x80\x81", 16), "MAIN", "K", "v"},
        {"1 MB line capped", "[MAIN]\nK=" + longValue + "\n", "MAIN", "K", std::string(2047, 'x')},
        {"cap counts characters",
         "[MAIN]\nK=" +
             [] {
                 std::string s;
                 for (int i = 0; i < 3000; ++i)
                     s += "ą";
                 return s;
             }() +
             "\n",
         "MAIN", "K",
         [] {
             std::string s;
             for (int i = 0; i < 2047; ++i)
                 s += "ą";
             return s;
         }()},
    };
    TTempDir tmp;
    for (const auto& c : cases) {
        const std::string file = tmp / "baza.set";
        WriteWholeFile(file, c.content);
        EXPECT_EQ(TProfileFile(file).ReadString(c.section, c.key, "def"), c.expected) << c.name;
    }
}

TEST(ProfileFile, MissingFileGivesDefaultsAndIsNotCreated) {
    TTempDir tmp;
    TProfileFile ini(tmp / "baza.set");
    EXPECT_EQ(ini.ReadString("MAIN", "K", "d"), "d");
    EXPECT_FALSE(std::filesystem::exists(tmp / "baza.set"));
}

TEST(ProfileFile, UnreadableFilesRaise) {
    TTempDir tmp;
    std::filesystem::create_directory(tmp / "baza.set");
    EXPECT_THROW(TProfileFile(tmp / "baza.set").ReadString("MAIN", "K", ""), platform::EProfileError);
    WriteWholeFile(tmp / "locked.set", "[MAIN]\nK=1\n");
    ::chmod((tmp / "locked.set").c_str(), 0);
    ::chmod(tmp.Path().c_str(), 0755);
    EXPECT_EQ(RunUnprivileged([&] {
                  try {
                      TProfileFile(tmp / "locked.set").ReadString("MAIN", "K", "");
                  } catch (const platform::EProfileError&) {
                      return 0;
                  }
                  return 1;
              }),
              0);
}

TEST(ProfileFile, WritesLeaveEverythingElseAsItWas) {
    TTempDir tmp;
    const std::string file = tmp / "baza.set";
    WriteWholeFile(file, "; comment\r\n[Other]\r\nK=keep\r\n\r\n[main]\r\nremote=1\r\nX = y \r\n\r\n[Last]\r\nZ=1\r\n");
    TProfileFile ini(file);
    ASSERT_TRUE(ini.WriteString("MAIN", "REMOTE", "0"));
    ASSERT_TRUE(ini.WriteString("MAIN", "NEW", "v"));
    ASSERT_TRUE(ini.WriteString("Third", "A", "b"));
    EXPECT_EQ(ReadWholeFile(file), "; comment\r\n[Other]\r\nK=keep\r\n\r\n[main]\r\nREMOTE=0\r\nX = y \r\nNEW=v\r\n\r\n"
                                   "[Last]\r\nZ=1\r\n\r\n[Third]\r\nA=b\r\n");
}

TEST(ProfileFile, NamesAreTrimmedAsTheReaderTrimsThem) {
    TTempDir tmp;
    TProfileFile ini(tmp / "baza.set");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(ini.WriteString(" MAIN ", "\tK ", "v"));
        EXPECT_EQ(ini.ReadString("MAIN", "K", "def"), "v");
        EXPECT_EQ(ini.ReadString(" MAIN", "K\t", "def"), "v");
    }
    EXPECT_EQ(ReadWholeFile(tmp / "baza.set"), "[MAIN]\nK=v\n"); // one copy, however often written
}

TEST(ProfileFile, FirstWriteCreatesFileAndSection) {
    TTempDir tmp;
    const std::string file = tmp / "baza.set";
    TProfileFile ini(file);
    ASSERT_TRUE(ini.WriteString("MAIN", "REMOTE", "1"));
    ASSERT_TRUE(ini.WriteString("MAIN", "SERWER_NAME", "srv"));
    EXPECT_EQ(ReadWholeFile(file), "[MAIN]\nREMOTE=1\nSERWER_NAME=srv\n");
    EXPECT_EQ(ini.ReadString("MAIN", "serwer_name", ""), "srv");
}

TEST(ProfileFile, Cp1250FileStaysCp1250AndKeepsItsBom) {
    TTempDir tmp;
    const std::string file = tmp / "baza.set";
    WriteWholeFile(file, "[MAIN]\nA=\xB3\xF3" "d\xBF\n");
    TProfileFile ini(file);
    ASSERT_TRUE(ini.WriteString("MAIN", "B", "źle"));
    EXPECT_EQ(ReadWholeFile(file), "[MAIN]\nA=\xB3\xF3" "d\xBF\nB=\x9F" "le\n");
    // A value Windows-1250 cannot hold is refused: the file keeps its encoding and its values.
    std::string error;
    EXPECT_FALSE(ini.WriteString("MAIN", "C", "日本", &error));
    EXPECT_NE(error.find("Windows-1250"), std::string::npos) << error;
    EXPECT_EQ(ReadWholeFile(file), "[MAIN]\nA=\xB3\xF3"
                                   "d\xBF\nB=\x9F"
                                   "le\n");
    // Bytes that would pass for UTF-8 get a comment of Polish letters first, which keeps the file
    // Windows-1250 for its reader.
    ASSERT_TRUE(ini.WriteString("MAIN", "A", "x"));
    ASSERT_TRUE(ini.WriteString("MAIN", "B", "ĘĄ")); // CA A5, which passes for UTF-8 (ʥ)
    EXPECT_EQ(ReadWholeFile(file), Utf8ToCp1250("; Windows-1250: zażółć gęślą jaźń\n[MAIN]\nA=x\nB=ĘĄ\n"));
    EXPECT_EQ(ini.ReadString("MAIN", "B", ""), "ĘĄ");
    ASSERT_TRUE(ini.WriteString("MAIN", "B", "y"));
    EXPECT_EQ(ReadWholeFile(file), Utf8ToCp1250("; Windows-1250: zażółć gęślą jaźń\n[MAIN]\nA=x\nB=y\n"));

    WriteWholeFile(file, "\xEF\xBB\xBF[MAIN]\nA=1\n");
    ASSERT_TRUE(ini.WriteString("MAIN", "A", "2"));
    EXPECT_EQ(ReadWholeFile(file), "\xEF\xBB\xBF[MAIN]\nA=2\n");
}

TEST(ProfileFile, RefusedWritesLeaveTheOldFileWhole) {
    TTempDir tmp;
    const std::string file = tmp / "baza.set";
    WriteWholeFile(file, "[MAIN]\nA=1\n");
    TProfileFile ini(file);
    const struct {
        std::string section, key, value;
    } refused[] = {
        {"MAIN", "A", "x\nREMOTE=0"}, {"MAIN", "A", std::string("x\0y", 3)}, {"MAIN", "A\rREMOTE", "0"},
        {"MAIN", "A=B", "0"},         {"MAIN]\nREMOTE=0\n[MAIN", "A", "1"},  {"MA\rIN", "A", "1"},
        {"MAIN]", "A", "1"},          {std::string("MA\0IN", 5), "A", "1"},
    };
    for (const auto& r : refused) {
        std::string error;
        EXPECT_FALSE(ini.WriteString(r.section, r.key, r.value, &error)) << r.section << "/" << r.key;
        EXPECT_FALSE(error.empty());
    }
    ::chmod(tmp.Path().c_str(), 0755); // readable, not writable, for the unprivileged child
    EXPECT_EQ(RunUnprivileged([&] {
                  std::string error;
                  return !ini.WriteString("MAIN", "A", "2", &error) && !error.empty() ? 0 : 1;
              }),
              0);
    ::chmod(tmp.Path().c_str(), 0700);
    // A directory in place of the file cannot be replaced.
    std::filesystem::create_directory(tmp / "dir.set");
    EXPECT_FALSE(TProfileFile(tmp / "dir.set").WriteString("MAIN", "A", "2"));
    EXPECT_EQ(ReadWholeFile(file), "[MAIN]\nA=1\n");
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(tmp.Path()))
        ++entries;
    EXPECT_EQ(entries, 2);
}

TEST(ProfileFile, WriteKeepsThePermissionBits) {
    TTempDir tmp;
    const std::string file = tmp / "baza.set";
    WriteWholeFile(file, "[MAIN]\n");
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(TProfileFile(file).WriteString("MAIN", "A", "1"));
    struct stat st {};
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Faults found by writing one key into hostile files: after any write, every other key of every
// section reads as before. Inputs as minimized: section, key and value up to the first three NULs,
// then the file.
TEST(ProfileFile, AWriteChangesOnlyItsKey) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::string input;
    } cases[] = {
        // A value that is not UTF-8 made the file invalid UTF-8, so it was reread as Windows-1250.
        {"invalid UTF-8 value", FromHex("4d41494e0044415441424153455f444952002f7372762f62617a61b3005b4d41494e"
                                        "5d0a5348415245445f4449523d2f"
                                        "7372762fc581c3b364c5ba0a")},
        // Replacing the one value with bytes invalid in UTF-8 left Windows-1250 bytes that pass for UTF-8.
        {"Windows-1250 file flipping to UTF-8",
         FromHex("4d41494e0044415441424153455f44495200433a5c42617a61005b4d41494e5d0d0a44415441424153455f44495"
                 "23d433a"
                 "5ca3f3649f0d0a5348415245445f4449523d433a5ccaa50d0a")},
        {"character outside Windows-1250", "MAIN\0K\0日本\0[MAIN]\nA=\xB3\xF3"
                                           "d\xBF\n"s},
        // Names with blanks around them were written as they came but read trimmed: never found again.
        {"blank around a name", FromHex("4d41494e20004b007600")},
        {"blanks around a key", "MAIN\0 K\t\0v\0[MAIN]\nK=old\nL=1\n"s},
    };
    for (const auto& c : cases) {
        std::string section, key, value, file;
        ASSERT_TRUE(SplitWriteInput(c.input, section, key, value, file)) << c.name;
        EXPECT_EQ(ProfileWriteFault(section, key, value, file), "") << c.name;
    }
}
