#include "platform/ProfileFile.h"
#include "TestUtil.h"

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
        {"cp1250 file", "[MAIN]\nDATABASE_DIR=/dane/\xB3\xF3" "d\xBF\n", "MAIN", "DATABASE_DIR", "/dane/łódż"},
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
        {"binary bytes", std::string("[MAIN]\nK=a\0b\x01\n", 14), "MAIN", "K", std::string("a\0b\x01", 4)},
        {"binary garbage around", std::string("\0\xff\xfe\n[MAIN]\nK=v\n\x80\x81", 16), "MAIN", "K", "v"},
        {"1 MB line capped", "[MAIN]\nK=" + longValue + "\n", "MAIN", "K", std::string(2047, 'x')},
        {"cap counts characters", "[MAIN]\nK=" + [] {
             std::string s;
             for (int i = 0; i < 3000; ++i)
                 s += "ą";
             return s;
         }() + "\n", "MAIN", "K", [] {
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
    // A value Windows-1250 cannot hold turns the file into UTF-8 rather than losing it.
    ASSERT_TRUE(ini.WriteString("MAIN", "C", "日本"));
    EXPECT_EQ(ReadWholeFile(file), "[MAIN]\nA=łódż\nB=źle\nC=日本\n");

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
