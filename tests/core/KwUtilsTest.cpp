#include "core/Exception.h"
#include "core/FileSys.h"
#include "core/KwUtils.h"
#include "FakeUi.h"
#include "TestUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace {
struct TPathCase {
    const char* name;
    std::string a, b, expected;
};
} // namespace

TEST(KwUtils, MakeFileNameJoinsWithTheDirectorysSeparator) {
    const TPathCase cases[] = {
        {"windows", "C:\\Prog", "baza.set", "C:\\Prog\\baza.set"},
        {"windows trailing", "C:\\Prog\\", "baza.set", "C:\\Prog\\baza.set"},
        {"unix", "/srv/db", "x", "/srv/db/x"},
        {"unix trailing", "/srv/db/", "x", "/srv/db/x"},
        {"empty dir", "", "x", "x"},
        {"empty name", "/srv", "", "/srv/"},
        {"relative gets backslash", "dane", "x", "dane\\x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeFileName(c.a, c.b), c.expected) << c.name;
}

TEST(KwUtils, ExtractFilePathByLeadingCharacter) {
    const TPathCase cases[] = {
        {"unix", "/a/b/c.txt", "", "/a/b/"},
        {"unix ignores backslash", "/a\\b", "", "/"},
        {"unc", "\\\\srv\\d\\f", "", "\\\\srv\\d\\"},
        {"backslash ignores colon", "\\a:b", "", "\\"},
        {"drive", "C:\\Prog\\x.exe", "", "C:\\Prog\\"},
        {"drive only", "C:plik", "", "C:"},
        {"none", "plik.txt", "", ""},
        {"relative with slash", "a/b", "", ""},
        {"empty", "", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kwExtractFilePath(c.a), c.expected) << c.name;
}

TEST(KwUtils, ForceDirectoriesCreatesEveryMissingLevel) {
    TTempDir tmp;
    const std::string deep = tmp / "A/B/C";
    EXPECT_TRUE(kwForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(kwForceDirectories(deep)); // exists already
    for (const char* root : {"C:", "C:\\", "/"})
        EXPECT_TRUE(kwForceDirectories(root)) << root;
    EXPECT_THROW(
        {
            try {
                kwForceDirectories("");
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message(), "Błąd tworzenia katalogu.");
                throw;
            }
        },
        Exception);
}

TEST(KwUtils, ForceDirectoriesFailsWhereTheSystemRefuses) {
    TTempDir tmp;
    ::chmod(tmp.Path().c_str(), 0555);
    EXPECT_EQ(RunUnprivileged([&] { return kwForceDirectories(tmp / "x/y") ? 1 : 0; }), 0);
    EXPECT_FALSE(DirectoryExists(tmp / "x"));
}

TEST(KwUtils, ForceDirectoriesFailsWhenAFileIsInTheWay) {
    TTempDir tmp;
    WriteWholeFile(tmp / "file", "x");
    EXPECT_FALSE(kwForceDirectories(tmp / "file/sub"));
}

TEST(KwUtils, SprawdzKatalogHandlesOnlyItsKindsOfPath) {
    TTempDir tmp;
    SprawdzKatalog(tmp / "new/dir");
    EXPECT_TRUE(DirectoryExists(tmp / "new/dir"));
    // Drives A and B, digits, dots and relative names are passed over without a word.
    for (const char* ignored : {"B:\\DANE", "A:\\x", "1\\x", "dane", ".\\x", ""})
        EXPECT_NO_THROW(SprawdzKatalog(ignored)) << ignored;
    EXPECT_FALSE(DirectoryExists("dane"));
    EXPECT_FALSE(MakeAnyKat("dane"));
}

TEST(KwUtils, SprawdzKatalogRaisesWhenItCannotCreate) {
    TTempDir tmp;
    WriteWholeFile(tmp / "file", "x");
    const std::string bad = tmp / "file/sub";
    try {
        MakeAnyKat(bad);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Nie można utworzyć katalogu: " + bad);
    }
    // A drive-letter path names nothing here, so it cannot be made either.
    EXPECT_THROW(SprawdzKatalog("D:\\A\\B\\C"), Exception);
}

TEST(KwUtils, FileExistsCichy) {
    TTempDir tmp;
    const std::string file = tmp / "plik.txt";
    WriteWholeFile(file, "x");
    EXPECT_TRUE(FileExistsCichy(file));
    EXPECT_FALSE(FileExistsCichy(tmp.Path().string()));
    EXPECT_FALSE(FileExistsCichy(tmp / "missing"));
    EXPECT_FALSE(FileExistsCichy("A:\\plik.txt"));
    EXPECT_FALSE(FileExistsCichy("a:\\plik.txt"));
    // Dated before DOS time began: counts as missing.
    struct utimbuf old {};
    old.actime = old.modtime = 86400 * 365; // 1971
    ASSERT_EQ(::utime(file.c_str(), &old), 0);
    EXPECT_FALSE(FileExistsCichy(file));
}

TEST(KwUtils, WaitCursorNests) {
    TFakeUi ui;
    for (int i = 0; i < 3; ++i)
        ShowKlepsydra(false, rklZwykla);
    EXPECT_EQ(ui.Cursor(), TCursorKind::crHourGlass);
    HideKlepsydra(false);
    HideKlepsydra(false);
    EXPECT_EQ(ui.Cursor(), TCursorKind::crHourGlass);
    HideKlepsydra(false);
    EXPECT_EQ(ui.Cursor(), TCursorKind::crDefault);

    ShowKlepsydra(false, rklMalaStrzalka);
    ShowKlepsydra(false, rklZwykla); // nested: the kind of the outer call stays
    EXPECT_EQ(ui.Cursor(), TCursorKind::crAppStart);
    HideKlepsydra(true);
    EXPECT_EQ(ui.Cursor(), TCursorKind::crDefault);
    EXPECT_EQ(KlepsydraCount(), 0);

    // Somebody else reset the cursor: the count starts again.
    ShowKlepsydra(false, rklZwykla);
    ShowKlepsydra(false, rklZwykla);
    ui.SetCursor(TCursorKind::crOther);
    ShowKlepsydra(false, rklZwykla);
    EXPECT_EQ(KlepsydraCount(), 1);
    HideKlepsydra(false);
    EXPECT_EQ(ui.Cursor(), TCursorKind::crDefault);
}

TEST(KwUtils, ZastapReplacesLeftToRightWithoutRescanning) {
    struct {
        std::string co, czym, s, expected;
        int count;
    } cases[] = {
        {"aa", "a", "aaaa", "aa", 2},
        {"x", "x", "axb", "axb", 0},
        {"a", "aa", "aba", "aabaa", 2},
        {"q", "z", "abc", "abc", 0},
        {"A", "b", "aA", "ab", 1},
        {"", "z", "abc", "abc", 0},
        {"ł", "l", "łódź łań", "lódź lań", 2},
    };
    for (auto& c : cases) {
        std::string s = c.s;
        EXPECT_EQ(Zastap(c.co, c.czym, s), c.count) << c.s;
        EXPECT_EQ(s, c.expected) << c.s;
        EXPECT_EQ(ZastapF(c.co, c.czym, c.s), c.expected) << c.s;
    }
}

TEST(KwUtils, CaseInsensitiveCompareAndSearchKnowPolishLetters) {
    EXPECT_TRUE(RowneUp("Zażółć", "ZAŻÓŁĆ"));
    EXPECT_FALSE(RowneUp("zazolc", "zażółć"));
    EXPECT_EQ(posUp("ŁĄ", "gęślą łąka"), 7);
    EXPECT_EQ(posUp("xyz", "abc"), 0);
    EXPECT_EQ(posUp("B", "abc"), 2);
}

TEST(KwUtils, CharactersAndHexDigits) {
    EXPECT_EQ(Znak("ąb", 1), U'ą');
    EXPECT_EQ(Znak("ąb", 2), U'b');
    EXPECT_EQ(Znak("ąb", 3), 0u);
    EXPECT_EQ(Waga('7'), 7);
    EXPECT_EQ(Waga('c'), 12);
    EXPECT_EQ(Waga('F'), 15);
    EXPECT_EQ(Waga('g'), 0);
    EXPECT_EQ(HexToInt64("ff"), 255);
    EXPECT_EQ(HexToInt64("1g"), 16); // a non-digit counts as 0
    EXPECT_EQ(HexToInt64("ffffffffffffffff"), -1);
    EXPECT_EQ(HexToInt64("10000000000000000"), 0); // 17 characters
    EXPECT_EQ(HexToInt64(""), 0);
}

TEST(KwUtils, Fields) {
    EXPECT_EQ(GetIloscPol("a;b;;d", ';'), 4);
    EXPECT_EQ(GetIloscPol("", ';'), 0);
    EXPECT_EQ(GetIloscPol("abc", ';'), 1);
    const struct {
        int n;
        std::string expected;
    } cases[] = {{0, "a"}, {1, "a"}, {2, "b"}, {3, ""}, {4, "d"}, {5, ""}, {-3, "a"}};
    for (const auto& c : cases)
        EXPECT_EQ(GetNazwaPola("a;b;;d", c.n, ';'), c.expected) << c.n;
    EXPECT_EQ(GetNazwaPola("a;", 2, ';'), "");
}

TEST(KwUtils, DefaultInterfacePropertiesAndOwningLists) {
    const TInterfaceProperties& p = InterfaceProperties();
    EXPECT_EQ(p.KolorTabel & 0xFF, 170u);          // red
    EXPECT_EQ((p.KolorTabel >> 8) & 0xFF, 213u);   // green
    EXPECT_EQ((p.KolorTabel >> 16) & 0xFF, 170u);  // blue
    EXPECT_EQ(p.GridTitleFont.Color, 0x800000u);   // navy: blue 128
    EXPECT_EQ(p.GridFont.Size, 10);

    TInt64List list;
    list.Add(5);
    list.Add(-1);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Value(1), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}
