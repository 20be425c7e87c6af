#include "dblayer/LocalServer.h"

#include "FakeUi.h"
#include "TestUtil.h"
#include "core/KwUtils.h"
#include "platform/FirebirdInstance.h"
#include "platform/Registry.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::TRegistry;
using platform::TRootKey;

namespace {
constexpr const char* kNotInstalled = "Server FireBird nie jest zainstalowany na tym komputerze.";
constexpr const char* kNotStarted = "Nie udało się uruchomić serwera FireBird.";

struct TSelDirCall {
    std::string Katalog;
    bool Tworz;
    std::string Etykieta;
    std::string Tytul;
    bool operator==(const TSelDirCall&) const = default;
};

// The recording fake, keeping also what the directory chooser was opened with.
class TChooserUi : public TFakeUi {
public:
    std::string SelDir(const std::string& katalog, bool tworz, const std::string& etykieta,
                       const std::string& tytul) override {
        Calls.push_back({katalog, tworz, etykieta, tytul});
        return TFakeUi::SelDir(katalog, tworz, etykieta, tytul);
    }
    std::vector<TSelDirCall> Calls;
};

// How the stand-in server was started (FakeServer.c).
struct TStartRecord {
    std::vector<std::string> Argv;
    std::string Cwd;
    std::string Mark;
    std::vector<std::string> Fds;
};

std::optional<TStartRecord> WaitForRecord(const std::string& exe) {
    const std::string file = exe + ".rec";
    for (int i = 0; i < 500 && !fs::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!fs::exists(file))
        return std::nullopt;
    TStartRecord record;
    const std::string content = ReadWholeFile(file);
    for (std::size_t at = 0, end; (end = content.find('\0', at)) != std::string::npos; at = end + 1) {
        const std::string field = content.substr(at, end - at);
        const std::string value = field.substr(field.find('=') + 1);
        if (field.starts_with("argv="))
            record.Argv.push_back(value);
        else if (field.starts_with("cwd="))
            record.Cwd = value;
        else if (field.starts_with("mark="))
            record.Mark = value;
        else if (field.starts_with("fd="))
            record.Fds.push_back(value);
    }
    return record;
}

// Each test has registry files of its own, no Firebird installed unless it installs one, a current
// directory of its own and the recording user interface.
class LocalServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        UsePrivateRegistry(tmp);
        machineDirs = platform::SetFirebirdServerDirs({});
        fs::create_directories(cwd);
        callerDir = fs::current_path();
        fs::current_path(cwd);
        ::setenv("ZELWAN_FAKE_MARK", "from-the-caller", 1);
    }
    void TearDown() override {
        fs::current_path(callerDir);
        platform::SetFirebirdServerDirs(machineDirs);
        SetProcessLookup({});
        ::unsetenv("ZELWAN_FAKE_MARK");
    }

    // "{tmp}" and "{cwd}" stand for the test's directories, "{long}" for a path of 301 characters.
    std::string Expand(std::string text) const {
        Zastap("{long}", std::string(150, 'd') + "/" + std::string(150, 'e'), text);
        Zastap("{tmp}", tmp.Path().string(), text);
        Zastap("{cwd}", cwd, text);
        return text;
    }
    static void SetInstance(const std::string* value) {
        TRegistry reg(TRootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(platform::kFirebirdInstancesKey, true));
        if (value)
            reg.WriteString(platform::kFirebirdDefaultInstance, *value);
    }
    static void InstallFakeServer(const std::string& exe) {
        fs::create_directories(fs::path(exe).parent_path());
        fs::copy_file(ZELWAN_FAKE_FBSERVER, exe, fs::copy_options::overwrite_existing);
        ::chmod(exe.c_str(), 0755);
    }
    void ExpectCursorPutBack() {
        EXPECT_EQ(ui.FCursor, TCursorKind::crDefault);
        EXPECT_EQ(KlepsydraCount(), 0);
        EXPECT_EQ(ui.CursorChanges,
                  (std::vector<TCursorKind>{TCursorKind::crHourGlass, TCursorKind::crDefault}));
    }
    // Started with the argument vector given, in the caller's directory and environment, with no
    // descriptor but the standard three.
    void ExpectStarted(const std::string& exe, const std::vector<std::string>& argv) {
        const std::optional<TStartRecord> record = WaitForRecord(exe);
        ASSERT_TRUE(record) << "not started: " << exe;
        EXPECT_EQ(record->Argv, argv);
        EXPECT_EQ(record->Cwd, cwd);
        EXPECT_EQ(record->Mark, "from-the-caller");
        for (const std::string& fd : record->Fds)
            EXPECT_TRUE(fd == "0" || fd == "1" || fd == "2") << "inherited descriptor " << fd;
    }

    TTempDir tmp;
    std::string cwd = tmp / "cwd";
    fs::path callerDir;
    std::vector<std::string> machineDirs;
    TChooserUi ui;
};

enum TMachineStore : std::uint8_t { msNone, msValue, msNoValue, msUnreadable };
} // namespace

TEST_F(LocalServerTest, GetFBServerDir) {
    fs::create_directories(tmp / "chosen");
    WriteWholeFile(tmp / "chosen/firebird", ""); // the chooser's check wants a file, not a program
    fs::create_directories(tmp / "empty");
    InstallFakeServer(tmp / "presented/firebird");
    const TSelDirCall chooser{"", false, "", "Podaj katalog serwera bazy danych"};
    const struct {
        const char* name;
        TMachineStore store;
        const char* instance;
        bool installed; // a server installed in {tmp}/presented/
        bool showMessage, askDirectory;
        const char* chosen; // nullptr: the chooser is cancelled
        bool found;
        const char* dir;
        bool message, asked;
    } cases[] = {
        {"valueAsStored", msValue, "{tmp}/Firebird 3/", false, true, true, nullptr, true, "{tmp}/Firebird 3/",
         false, false},
        {"emptyValueCounts", msValue, "", false, true, true, nullptr, true, "", false, false},
        {"keyWithoutTheValue", msNoValue, nullptr, false, true, true, nullptr, true, "", false, false},
        {"theFileWinsOverTheInstalledServer", msValue, "{tmp}/z pliku/", true, true, false, nullptr, true,
         "{tmp}/z pliku/", false, false},
        {"theInstalledServerWithoutAFile", msNone, nullptr, true, true, false, nullptr, true,
         "{tmp}/presented/", false, false},
        {"noKeyQuietly", msNone, nullptr, false, false, false, nullptr, false, "unchanged", false, false},
        {"noKeyWithTheMessage", msNone, nullptr, false, true, false, nullptr, false, "unchanged", true,
         false},
        {"anUnreadableStoreIsNoKey", msUnreadable, nullptr, true, true, false, nullptr, false, "unchanged",
         true, false},
        {"chosenDirectoryHoldsTheServer", msNone, nullptr, false, true, true, "{tmp}/chosen", true,
         "{tmp}/chosen", false, true},
        {"chosenDirectoryWithoutIt", msNone, nullptr, false, true, true, "{tmp}/empty", false, "{tmp}/empty",
         true, true},
        {"chooserCancelled", msNone, nullptr, false, true, true, nullptr, false, "", true, true},
        {"chooserCancelledQuietly", msNone, nullptr, false, false, true, nullptr, false, "", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(tmp / "machine.reg");
        if (c.store == msValue) {
            const std::string value = Expand(c.instance);
            SetInstance(&value);
        } else if (c.store == msNoValue) {
            SetInstance(nullptr);
        } else if (c.store == msUnreadable) {
            fs::create_directory(tmp / "machine.reg");
        }
        platform::SetFirebirdServerDirs(c.installed ? std::vector<std::string>{tmp / "presented/"}
                                                    : std::vector<std::string>{});
        ui.ErrorBoxes.clear();
        ui.Calls.clear();
        if (c.chosen)
            ui.Directories = {Expand(c.chosen)};
        std::string dir = "unchanged";
        EXPECT_EQ(GetFBServerDir(dir, c.showMessage, c.askDirectory), c.found);
        EXPECT_EQ(dir, Expand(c.dir));
        EXPECT_EQ(ui.ErrorBoxes,
                  c.message ? std::vector<std::string>{kNotInstalled} : std::vector<std::string>{});
        EXPECT_EQ(ui.Calls, c.asked ? std::vector<TSelDirCall>{chooser} : std::vector<TSelDirCall>{});
        EXPECT_TRUE(ui.Windows.empty()); // the plain box, never a message window
    }
}

TEST_F(LocalServerTest, StartServer) {
    fs::create_directories(tmp / "empty");
    fs::create_directories(tmp / "noexec");
    WriteWholeFile(tmp / "noexec/firebird", "#!/bin/sh\n"); // written as data: not executable
    const struct {
        const char* name;
        const char* instance; // nullptr: no key
        const char* fakeAt;   // where the stand-in server is installed; nullptr: nowhere
        bool installed;       // and the machine has it installed there
        const char* argv0;    // nullptr: nothing may start
        const char* message;
    } cases[] = {
        {"installed", "{tmp}/Firebird 3/", "{tmp}/Firebird 3/firebird", false, "{tmp}/Firebird 3/firebird",
         nullptr},
        {"noSeparatorIsAdded", "{tmp}/inst", "{tmp}/instfirebird", false, "{tmp}/instfirebird", nullptr},
        {"emptyValueStartsFromTheCurrentDirectory", "", "{cwd}/firebird", false, "firebird", nullptr},
        {"theInstalledServerWithoutAFile", nullptr, "{tmp}/presented/firebird", true,
         "{tmp}/presented/firebird", nullptr},
        {"pathLongerThan255", "{tmp}/{long}/", "{tmp}/{long}/firebird", false, "{tmp}/{long}/firebird",
         nullptr},
        {"noInstallation", nullptr, nullptr, false, nullptr, kNotInstalled},
        {"directoryWithoutTheServer", "{tmp}/empty/", nullptr, false, nullptr, kNotStarted},
        {"serverNotExecutable", "{tmp}/noexec/", nullptr, false, nullptr, kNotStarted},
    };
    // A descriptor this process would leak to the server if handles were inherited.
    const int inheritable = ::open("/dev/null", O_RDONLY);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(tmp / "machine.reg");
        if (c.instance) {
            const std::string value = Expand(c.instance);
            SetInstance(&value);
        }
        if (c.fakeAt)
            InstallFakeServer(Expand(c.fakeAt));
        platform::SetFirebirdServerDirs(c.installed ? std::vector<std::string>{tmp / "presented/"}
                                                    : std::vector<std::string>{});
        ui.ErrorBoxes.clear();
        ui.CursorChanges.clear();
        EXPECT_EQ(StartServer(), c.argv0 != nullptr);
        if (c.argv0)
            ExpectStarted(Expand(c.fakeAt), {Expand(c.argv0), "-a"});
        EXPECT_EQ(ui.ErrorBoxes,
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_TRUE(ui.Windows.empty());
        ExpectCursorPutBack();
    }
    ::close(inheritable);
}

TEST_F(LocalServerTest, StartServerRunsNoShellWhateverTheDirectorySays) {
    const std::string dir = tmp /
                            "Program Files; touch HACKED1 & $(touch HACKED2) `touch HACKED3` | tee HACKED4 "
                            "> HACKED5 '\"*?\\ -x/";
    InstallFakeServer(dir + "firebird");
    SetInstance(&dir);
    EXPECT_TRUE(StartServer());
    ExpectStarted(dir + "firebird", {dir + "firebird", "-a"});
    for (const fs::path& where : {fs::path(cwd), tmp.Path(), fs::path(dir)})
        for (const char* marker : {"HACKED1", "HACKED2", "HACKED3", "HACKED4", "HACKED5"})
            EXPECT_FALSE(fs::exists(where / marker)) << (where / marker);
    EXPECT_TRUE(ui.ErrorBoxes.empty());
}

TEST_F(LocalServerTest, AValueThatIsNoTextFailsAndPutsTheCursorBack) {
    {
        TRegistry reg(TRootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(platform::kFirebirdInstancesKey, true));
        reg.WriteInteger(platform::kFirebirdDefaultInstance, 1);
    }
    std::string dir;
    EXPECT_THROW(GetFBServerDir(dir, true, true), platform::ERegistryException);
    EXPECT_THROW(StartServer(), platform::ERegistryException);
    EXPECT_TRUE(ui.ErrorBoxes.empty());
    ExpectCursorPutBack();
}

TEST_F(LocalServerTest, StartServerInsideAWaitKeepsTheHourglass) {
    ShowKlepsydra();
    EXPECT_FALSE(StartServer());
    EXPECT_EQ(ui.ErrorBoxes, std::vector<std::string>{kNotInstalled});
    EXPECT_EQ(ui.FCursor, TCursorKind::crHourGlass);
    EXPECT_EQ(KlepsydraCount(), 1);
    HideKlepsydra();
    EXPECT_EQ(ui.FCursor, TCursorKind::crDefault);
}

TEST_F(LocalServerTest, IsIBRunningLooksForInterBaseFirst) {
    const struct {
        const char* name;
        std::vector<std::string> running;
        bool result;
        std::vector<std::string> asked;
    } cases[] = {
        {"none", {}, false, {"ibserver", "firebird"}},
        {"interBaseOnly", {"ibserver"}, true, {"ibserver"}},
        {"firebirdOnly", {"firebird"}, true, {"ibserver", "firebird"}},
        {"both", {"firebird", "ibserver"}, true, {"ibserver"}},
        {"theGuardianAloneIsNoServer", {"fbguard"}, false, {"ibserver", "firebird"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> asked;
        SetProcessLookup([&](const std::string& name) {
            asked.push_back(name);
            return std::find(c.running.begin(), c.running.end(), name) != c.running.end();
        });
        EXPECT_EQ(IsIBRunning(), c.result);
        EXPECT_EQ(asked, c.asked);
    }
}

TEST_F(LocalServerTest, IsIBRunningByDefaultReadsTheProcessList) {
    const struct {
        const char* name;
        const char* stat;
        bool result;
    } cases[] = {
        {"firebird", "7 (firebird) S 1", true},
        {"interBase", "7 (ibserver) S 1", true},
        {"aZombieServer", "7 (firebird) Z 1", false},
        {"otherProgram", "7 (isql-fb) S 1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir proc;
        fs::create_directories(proc / "7");
        WriteWholeFile(proc / "7/stat", c.stat);
        ::setenv("ZELWAN_PROC_ROOT", proc.Path().c_str(), 1);
        EXPECT_EQ(IsIBRunning(), c.result);
    }
    ::unsetenv("ZELWAN_PROC_ROOT");
}
