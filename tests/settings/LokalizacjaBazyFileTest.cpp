#include "settings/LokalizacjaBazyFile.h"
#include "FakeUi.h"
#include "TestUtil.h"
#include "VrlKey.h"
#include "WriteProperty.h"
#include "core/Exception.h"
#include "platform/Files.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { UsePrivateRegistry(tmp); }
    std::unique_ptr<TLokalizacjaBazyFile> Loaded(const std::string& content) {
        WriteWholeFile(file, content);
        auto s = std::make_unique<TLokalizacjaBazyFile>(file);
        s->Load();
        return s;
    }

    TTempDir tmp;
    std::string file = tmp / "baza.set";
    std::string exeDir = platform::ExeDir();
    TFakeUi ui;
};

} // namespace

TEST_F(SettingsTest, DefaultFileIsBesideTheExecutable) {
    TLokalizacjaBazyFile s;
    EXPECT_EQ(s.FileName(), exeDir + "/baza.set");
    EXPECT_EQ(s.BackupFileName(), exeDir + "/baza.set~");
}

TEST_F(SettingsTest, NoFileReadsAsAFreshInstallationAndCreatesNothing) {
    TLokalizacjaBazyFile s(file);
    s.Load();
    EXPECT_TRUE(s.RemoteSerwer());
    EXPECT_EQ(s.SerwerName(), "localhost");
    EXPECT_EQ(s.ProtocolName(), npTCP);
    EXPECT_EQ(s.DatabaseDir(), exeDir + "/BAZA");
    EXPECT_EQ(s.SharedDir, exeDir + "/SHARED");
    EXPECT_EQ(s.ProfileDir, exeDir + "/SHARED");
    EXPECT_EQ(s.DatabaseFileExt, ".gdb");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(ui.Windows.empty());
}

TEST_F(SettingsTest, KeysPresentButEmpty) {
    auto s = Loaded("[MAIN]\nREMOTE=\nSERWER_NAME=\nPROTOCOL_NAME=\nDATABASE_DIR=\nSHARED_DIR=/s\nPROFIL_DIR=\n"
                    "DATABASE_FILE_EXT=\n");
    EXPECT_TRUE(s->RemoteSerwer());
    EXPECT_EQ(s->SerwerName(), ""); // stays empty, unlike a missing key
    EXPECT_EQ(s->ProtocolName(), npTCP);
    EXPECT_EQ(s->DatabaseDir(), exeDir + "/BAZA");
    EXPECT_EQ(s->SharedDir, "/s");
    EXPECT_EQ(s->ProfileDir, "/s"); // follows the shared directory
    EXPECT_EQ(s->DatabaseFileExt, ".gdb");
}

TEST_F(SettingsTest, IntegerValues) {
    const struct {
        std::string remote, protocol;
        bool expectedRemote;
        unsigned expectedProtocol;
    } cases[] = {
        {"0", "0", false, 0},    {"1", "1", true, 1},      {"abc", "abc", true, 0}, {"0x0", "0x1", false, 1},
        {"0X10", "0X2", true, 2}, {"0x", "0x", true, 0},  {"-1", "258", true, 2},  {"5", "3", true, 3},
        {"0", "255", false, 255}, {"0", "-1", false, 255}, {"0", "0xFF", false, 255},
        {"99999999999", "1.5", true, 0}, {" 1", "2 ", true, 2},
    };
    // "0x" alone is too short to be hexadecimal and does not parse as decimal: the defaults hold.
    for (const auto& c : cases) {
        auto s = Loaded("[MAIN]\nREMOTE=" + c.remote + "\nPROTOCOL_NAME=" + c.protocol + "\n");
        EXPECT_EQ(s->RemoteSerwer(), c.expectedRemote) << c.remote;
        EXPECT_EQ(static_cast<unsigned>(s->ProtocolName()), c.expectedProtocol) << c.protocol;
    }
}

TEST_F(SettingsTest, SaveWritesEveryKeyAndKeepsOtherLines) {
    WriteWholeFile(file, "[Inne]\r\nA=1\r\n[MAIN]\r\nREMOTE=1\r\nWLASNY=tak\r\n");
    TLokalizacjaBazyFile s(file);
    s.Load();
    s.SetRemoteSerwer(false);
    s.SetSerwerName("srv");
    s.SetProtocolName(npSPX);
    s.SetDatabaseDir("/dane/łódź");
    s.SharedDir = "/shared";
    s.ProfileDir = "/profile";
    s.DatabaseFileExt = ".fb";
    s.Save();
    EXPECT_EQ(ReadWholeFile(file), "[Inne]\r\nA=1\r\n[MAIN]\r\nREMOTE=0\r\nWLASNY=tak\r\nSERWER_NAME=srv\r\n"
                                   "PROTOCOL_NAME=2\r\nDATABASE_DIR=/dane/łódź\r\nSHARED_DIR=/shared\r\n"
                                   "PROFIL_DIR=/profile\r\nDATABASE_FILE_EXT=.fb\r\n");
    TLokalizacjaBazyFile again(file);
    again.Load();
    EXPECT_FALSE(again.RemoteSerwer());
    EXPECT_EQ(again.SerwerName(), "srv");
    EXPECT_EQ(again.ProtocolName(), npSPX);
    EXPECT_EQ(again.DatabaseDir(), "/dane/łódź");
    EXPECT_EQ(again.ProfileDir, "/profile");
    EXPECT_EQ(again.DatabaseFileExt, ".fb");
}

// A lone CR or a NUL in a value can be neither a path nor written back into its line: the reader
// drops them, so that whatever the dialog loaded it can save.
TEST_F(SettingsTest, WhatLoadReadsSaveCanWrite) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::string content, databaseDir;
    } cases[] = {
        {"lone CR", FromHex("5b4d41494e5d0a44415441424153455f4449523d433a5c610d620a"), "C:\\ab"},
        {"NUL", "[MAIN]\r\nDATABASE_DIR=/srv/\0baza\r\n"s, "/srv/baza"},
        {"CR before the line end", "[MAIN]\nDATABASE_DIR=/srv\r\r\n"s, "/srv"},
    };
    for (const auto& c : cases) {
        auto s = Loaded(c.content);
        EXPECT_EQ(s->DatabaseDir(), c.databaseDir) << c.name;
        ASSERT_NO_THROW(s->Save()) << c.name;
        TLokalizacjaBazyFile again(file);
        again.Load();
        EXPECT_EQ(again.DatabaseDir(), c.databaseDir) << c.name;
    }
}

TEST_F(SettingsTest, RegistryValueInTheFourLocationForms) {
    CreateVrlKey();
    const struct {
        bool remote;
        unsigned protocol;
        std::string expected;
    } cases[] = {
        {false, npNamedPipes, "D:\\DANE"},
        {true, npTCP, "srv:D:\\DANE"},
        {true, npNamedPipes, "\\\\srv\\D:\\DANE"},
        {true, npSPX, "srv@D:\\DANE"},
        {true, 3, ""},
    };
    for (const auto& c : cases) {
        TLokalizacjaBazyFile s(file);
        s.Load();
        s.SetRemoteSerwer(c.remote);
        s.SetProtocolName(static_cast<TIBNetProtocol>(c.protocol));
        s.SetSerwerName("srv");
        s.SetDatabaseDir("D:\\DANE");
        s.Save();
        EXPECT_EQ(VrlRegistryValue(), c.expected) << c.protocol;
        EXPECT_EQ(s.LocationString(), c.expected);
    }
}

TEST_F(SettingsTest, SaveWithoutTheVrlKeyLeavesTheRegistryAlone) {
    TLokalizacjaBazyFile s(file);
    s.Load();
    s.Save();
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(tmp / "user.reg"));
    EXPECT_TRUE(ui.Windows.empty());
}

TEST_F(SettingsTest, LoadFailureShowsTheErrorWindowAndAbortsSilently) {
    std::filesystem::create_directory(file); // a baza.set that is a directory
    TLokalizacjaBazyFile s(file);
    EXPECT_THROW(s.Load(), EAbort);
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Rodzaj, kBlad);
    EXPECT_EQ(ui.Windows[0].Przyciski, std::vector<TKomButtonType>{kOK});
    EXPECT_EQ(ui.Windows[0].Skala, 100);
    const std::string prefix = "Błąd czytania ustawień dostępu do bazy danych.\r";
    EXPECT_EQ(ui.Windows[0].Tresc.substr(0, prefix.size()), prefix);
    EXPECT_NE(ui.Windows[0].Tresc.find(file), std::string::npos);
    // Nothing was read, so the fields keep their values.
    EXPECT_FALSE(s.RemoteSerwer());
    EXPECT_EQ(s.DatabaseFileExt, "");
}

TEST_F(SettingsTest, UnreadableFileFailsTheSameWay) {
    WriteWholeFile(file, "[MAIN]\nREMOTE=0\n");
    ::chmod(file.c_str(), 0);
    ::chmod(tmp.Path().c_str(), 0755);
    const int rc = RunUnprivileged([&] {
        TFakeUi childUi;
        TLokalizacjaBazyFile s(file);
        try {
            s.Load();
        } catch (const EAbort&) {
            return childUi.Windows.size() == 1 ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(rc, 0);
}

TEST_F(SettingsTest, UnwritableDirectoryRaisesAndLeavesTheOldFileWhole) {
    CreateVrlKey();
    WriteWholeFile(file, "[MAIN]\nREMOTE=1\nSERWER_NAME=old\n");
    ::chmod(tmp.Path().c_str(), 0755); // readable, not writable, for the unprivileged child
    const int rc = RunUnprivileged([&] {
        TLokalizacjaBazyFile s(file);
        s.SetSerwerName("new");
        try {
            s.Save();
        } catch (const EAbort&) {
            return 3;
        } catch (const Exception& e) {
            return e.Message() == "Unable to write to " + file ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadWholeFile(file), "[MAIN]\nREMOTE=1\nSERWER_NAME=old\n");
    EXPECT_EQ(VrlRegistryValue(), "<none>"); // the registry step did not run
}

// A save is one replacement of the file with all seven keys: a key that cannot be stored writes
// none of them, and the registry step does not run.
TEST_F(SettingsTest, AFailedSaveWritesNoKeyAndSkipsTheRegistry) {
    CreateVrlKey();
    const std::string old = "[MAIN]\nREMOTE=1\nSERWER_NAME=old\nPROTOCOL_NAME=1\n";
    WriteWholeFile(file, old);
    TLokalizacjaBazyFile s(file);
    s.Load();
    s.SetRemoteSerwer(false);
    s.SetSerwerName("new");
    s.SetProtocolName(npSPX);
    s.SetDatabaseDir("/dane\nREMOTE=1"); // a line break cannot be stored in a value
    try {
        s.Save();
        ADD_FAILURE() << "saved";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + file);
    }
    EXPECT_EQ(ReadWholeFile(file), old);
    EXPECT_EQ(VrlRegistryValue(), "<none>");
}

// What an interrupted write left beside the file (baza.set.XXXXXX, six letters or digits) goes at
// the next load or save; nothing else does, nor the temporary of a write still under way.
TEST_F(SettingsTest, LoadAndSaveClearLeftoverTemporariesAndOnlyThose) {
    const std::vector<std::string> leftovers = {"baza.set.AB12cd", "baza.set.000000", "baza.set~.Q1w2E3"};
    const std::vector<std::string> others = {"baza.set.AB12c", "baza.set.AB12cde", "baza.set.AB-2cd",
                                             "baza.set.bak",   "inny.set.AB12cd",  "baza.setXAB12cd"};
    const std::string live = tmp / "baza.set.Live00"; // held by a writer of another process
    for (const char* step : {"Load", "Save"}) {
        WriteWholeFile(file, "[MAIN]\nREMOTE=0\n");
        WriteWholeFile(file + "~", "[MAIN]\nREMOTE=1\n");
        for (const std::string& name : leftovers)
            WriteWholeFile(tmp / name, "[MAIN]\nREMOTE=");
        for (const std::string& name : others)
            WriteWholeFile(tmp / name, "x");
        std::filesystem::create_directory(tmp / "baza.set.DIR123");
        WriteWholeFile(live, "[MAIN]\n");
        const int holder = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(holder, LOCK_EX), 0);

        TLokalizacjaBazyFile s(file);
        if (std::string(step) == "Load")
            s.Load();
        else
            s.Save();
        ::close(holder);
        for (const std::string& name : leftovers)
            EXPECT_FALSE(std::filesystem::exists(tmp / name)) << step << " " << name;
        for (const std::string& name : others)
            EXPECT_TRUE(std::filesystem::exists(tmp / name)) << step << " " << name;
        EXPECT_TRUE(std::filesystem::exists(tmp / "baza.set.DIR123")) << step;
        EXPECT_TRUE(std::filesystem::exists(live)) << step;
        EXPECT_TRUE(std::filesystem::exists(file + "~")) << step;
        std::filesystem::remove(live);
    }
}

TEST_F(SettingsTest, BackupRestoreAndDelete) {
    WriteWholeFile(file, "[MAIN]\nSERWER_NAME=first\n");
    TLokalizacjaBazyFile s(file);
    s.Load();
    s.MakeBackup();
    s.SetSerwerName("second");
    s.Save();
    s.MakeBackup(); // the second copy replaces the first
    EXPECT_NE(ReadWholeFile(s.BackupFileName()).find("second"), std::string::npos);
    s.SetSerwerName("third");
    s.Save();
    s.RestoreFromBackup();
    EXPECT_FALSE(std::filesystem::exists(s.BackupFileName()));
    s.Load();
    EXPECT_EQ(s.SerwerName(), "second");
    // Without a backup, a restore leaves the file as it is.
    s.RestoreFromBackup();
    s.Load();
    EXPECT_EQ(s.SerwerName(), "second");
    s.MakeBackup();
    s.DeleteBackup();
    EXPECT_FALSE(std::filesystem::exists(s.BackupFileName()));
    EXPECT_NO_THROW(s.DeleteBackup());
}

// A file its user may not write is refused, as on Windows, though the directory would let a rename
// replace it.
TEST_F(SettingsTest, AReadOnlyFileIsRefusedAndStaysAsItWas) {
    CreateVrlKey();
    const std::string old = "[MAIN]\nREMOTE=1\nSERWER_NAME=old\n";
    WriteWholeFile(file, old);
    ::chmod(file.c_str(), 0444);
    ::chmod(tmp.Path().c_str(), 0777); // the directory is writable, also for the unprivileged child
    const int rc = RunUnprivileged([&] {
        TLokalizacjaBazyFile s(file);
        s.SetSerwerName("new");
        try {
            s.Save();
        } catch (const Exception& e) {
            return e.Message() == "Unable to write to " + file ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadWholeFile(file), old);
    struct stat st {};
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(VrlRegistryValue(), "<none>");
}

// A restore gives back the same file: the backup carries the settings file's mode, owner and group.
TEST_F(SettingsTest, BackupAndRestoreKeepModeOwnerAndGroup) {
    // Root hands the file to another user and group; anyone else keeps its own.
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 65534 : ::geteuid();
    const gid_t group = root ? 65534 : ::getegid();
    const struct {
        const char* name;
        mode_t mode;
    } cases[] = {{"private", 0600}, {"shared with the group", 0664}, {"group may read", 0640}};
    for (const auto& c : cases) {
        WriteWholeFile(file, "[MAIN]\nSERWER_NAME=old\n");
        ASSERT_EQ(::chown(file.c_str(), owner, group), 0);
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        auto same = [&](const std::string& path) {
            struct stat st {};
            EXPECT_EQ(::stat(path.c_str(), &st), 0) << c.name << " " << path;
            EXPECT_EQ(st.st_mode & 07777, c.mode) << c.name << " " << path;
            EXPECT_EQ(st.st_uid, owner) << c.name << " " << path;
            EXPECT_EQ(st.st_gid, group) << c.name << " " << path;
        };
        TLokalizacjaBazyFile s(file);
        s.Load();
        s.MakeBackup();
        same(s.BackupFileName());
        s.SetSerwerName("new");
        s.Save();
        same(file);
        s.RestoreFromBackup();
        same(file);
        s.Load();
        EXPECT_EQ(s.SerwerName(), "old") << c.name;
    }
}

TEST_F(SettingsTest, BackupOfAMissingFileIsNoBackup) {
    for (const bool staleBackup : {false, true}) {
        TLokalizacjaBazyFile s(file);
        std::filesystem::remove(file);
        if (staleBackup) // left by a crash before baza.set was removed
            WriteWholeFile(s.BackupFileName(), "[MAIN]\nSERWER_NAME=stale\n");
        s.Load();
        s.MakeBackup();
        EXPECT_FALSE(std::filesystem::exists(s.BackupFileName())) << staleBackup;
        s.SetSerwerName("new");
        s.Save();
        s.RestoreFromBackup();
        s.Load();
        EXPECT_EQ(s.SerwerName(), "new") << staleBackup;
    }
}

TEST_F(SettingsTest, RestoreKeepsTheRegistryValue) {
    CreateVrlKey();
    WriteWholeFile(file, "[MAIN]\nREMOTE=0\nDATABASE_DIR=/old\n");
    TLokalizacjaBazyFile s(file);
    s.Load();
    s.MakeBackup();
    s.SetDatabaseDir("/new");
    s.Save();
    s.RestoreFromBackup();
    s.Load();
    EXPECT_EQ(s.DatabaseDir(), "/old");
    EXPECT_EQ(VrlRegistryValue(), "/new");
}
