#include "platform/FirebirdInstance.h"
#include "TestUtil.h"
#include "platform/Registry.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using platform::TRegistry;
using platform::TRootKey;

namespace {
// Each test has registry files of its own and says where servers are installed.
class FirebirdInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { UsePrivateRegistry(tmp); }
    void TearDown() override { platform::SetFirebirdServerDirs(machineDirs); }

    // A directory holding a server executable (or a plain file of that name).
    std::string Installation(const std::string& name, mode_t mode = 0755) {
        const std::string dir = tmp / (name + "/");
        fs::create_directories(dir);
        WriteWholeFile(dir + platform::kFirebirdServerExe, "#!/bin/sh\n");
        ::chmod((dir + platform::kFirebirdServerExe).c_str(), mode);
        return dir;
    }
    // The instance directory the machine root shows; empty when the key does not open.
    static std::string DefaultInstance() {
        TRegistry reg(TRootKey::HKEY_LOCAL_MACHINE);
        if (!reg.OpenKey(platform::kFirebirdInstancesKey, false))
            return {};
        return reg.ReadString(platform::kFirebirdDefaultInstance);
    }

    TTempDir tmp;
    const std::vector<std::string> machineDirs = platform::FirebirdServerDirs();
};
} // namespace

TEST_F(FirebirdInstanceTest, TheServerInstalledOnThisMachineIsFoundWithoutAFile) {
    // The build needs Firebird's server package, so a server is installed here.
    const std::string dir = platform::InstalledFirebirdDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(machineDirs, (std::vector<std::string>{"/opt/firebird/bin/", "/usr/sbin/"}));
    EXPECT_EQ(DefaultInstance(), dir);
    EXPECT_TRUE(TRegistry(TRootKey::HKEY_LOCAL_MACHINE).KeyExists(platform::kFirebirdInstancesKey));
    EXPECT_FALSE(fs::exists(tmp / "machine.reg"));
    // Only the machine root shows it.
    EXPECT_FALSE(TRegistry(TRootKey::HKEY_CURRENT_USER).KeyExists(platform::kFirebirdInstancesKey));
}

TEST_F(FirebirdInstanceTest, TheFirstInstallationThatHoldsAnExecutableServer) {
    const std::string official = Installation("opt");
    const std::string debian = Installation("sbin");
    const std::string notExecutable = Installation("plain", 0644);
    const std::string empty = tmp / "empty/";
    fs::create_directories(empty);
    const struct {
        const char* name;
        std::vector<std::string> dirs;
        std::string found;
    } cases[] = {
        {"firstOfTwo", {official, debian}, official},
        {"secondWhenTheFirstIsMissing", {tmp / "missing/", debian}, debian},
        {"aFileThatCannotRunIsNoServer", {notExecutable, debian}, debian},
        {"aDirectoryWithoutTheServer", {empty}, ""},
        {"none", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::SetFirebirdServerDirs(c.dirs);
        EXPECT_EQ(platform::InstalledFirebirdDir(), c.found);
        EXPECT_EQ(DefaultInstance(), c.found);
    }
}

TEST_F(FirebirdInstanceTest, TheFileSpeaksFirstAndAnUnreadableFileShowsNothing) {
    platform::SetFirebirdServerDirs({Installation("sbin")});
    WriteWholeFile(tmp / "machine.reg",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Firebird Project\\Firebird Server\\Instances]\r\n"
                   "\"DefaultInstance\"=\"/z pliku/\"\r\n");
    EXPECT_EQ(DefaultInstance(), "/z pliku/");
    fs::remove(tmp / "machine.reg");
    fs::create_directory(tmp / "machine.reg");
    EXPECT_EQ(DefaultInstance(), "");
}

TEST_F(FirebirdInstanceTest, WritingToTheShownKeyPutsItIntoTheFile) {
    const std::string dir = Installation("sbin");
    platform::SetFirebirdServerDirs({dir});
    {
        TRegistry reg(TRootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Other", true));
        reg.WriteString("x", "1");
    }
    // A write elsewhere leaves the shown key out of the file.
    EXPECT_EQ(ReadWholeFile(tmp / "machine.reg"),
              "Windows Registry Editor Version "
              "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n\"x\"=\"1\"\r\n");
    {
        TRegistry reg(TRootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(platform::kFirebirdInstancesKey, false));
        reg.WriteString("Note", "n");
    }
    platform::SetFirebirdServerDirs({});
    EXPECT_EQ(DefaultInstance(), dir); // now from the file
    EXPECT_NE(ReadWholeFile(tmp / "machine.reg")
                  .find("[HKEY_LOCAL_MACHINE\\Software\\Firebird Project\\Firebird Server\\Instances]\r\n"
                        "\"DefaultInstance\"=\"" +
                        dir + "\"\r\n\"Note\"=\"n\"\r\n"),
              std::string::npos);
}
