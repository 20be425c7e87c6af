#include "platform/Registry.h"
#include "TestUtil.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using platform::TRegistry;
using platform::TRootKey;

namespace {
// Each test has registry files of its own.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { UsePrivateRegistry(tmp); }
    TTempDir tmp;
};
} // namespace

TEST_F(RegistryTest, FilesComeFromTheEnvironmentOrXdg) {
    EXPECT_EQ(platform::RegistryFileName(TRootKey::HKEY_CURRENT_USER), tmp / "user.reg");
    EXPECT_EQ(platform::RegistryFileName(TRootKey::HKEY_LOCAL_MACHINE), tmp / "machine.reg");
    ::unsetenv("ZELWAN_REGISTRY_USER");
    ::setenv("XDG_CONFIG_HOME", (tmp / "cfg").c_str(), 1);
    EXPECT_EQ(platform::RegistryFileName(TRootKey::HKEY_CURRENT_USER), tmp / "cfg/zelwan/user.reg");
}

TEST_F(RegistryTest, OpenWithoutCreateNeverCreates) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Software\\VRL", false));
    EXPECT_FALSE(std::filesystem::exists(tmp / "user.reg"));
    EXPECT_THROW(reg.WriteString("x", "y"), platform::ERegistryException);
}

TEST_F(RegistryTest, RoundTripInTheExportFormat) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\VRL", true));
        reg.WriteString("sciezka_baza", "\\\\srv\\D:\\DANE \"q\" łódź");
        reg.WriteInteger("Flag", 1);
        reg.WriteString("sciezka_baza", "srv:/dane");
    }
    EXPECT_EQ(ReadWholeFile(tmp / "user.reg"),
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\VRL]\r\n"
              "\"sciezka_baza\"=\"srv:/dane\"\r\n\"Flag\"=dword:00000001\r\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\software\\vrl", false)); // names compare without letter case
    EXPECT_EQ(reg.ReadString("SCIEZKA_BAZA"), "srv:/dane");
    EXPECT_EQ(reg.ReadInteger("Flag"), 1u);
    EXPECT_THROW(reg.ReadString("Flag"), platform::ERegistryException); // a dword is not a string
    EXPECT_THROW(reg.ReadInteger("sciezka_baza"), platform::ERegistryException);
    EXPECT_THROW(reg.ReadString("missing"), platform::ERegistryException);
    reg.WriteString("esc", "a\\b\"c");
    TRegistry again;
    ASSERT_TRUE(again.OpenKey("\\Software\\VRL", false));
    EXPECT_EQ(again.ReadString("esc"), "a\\b\"c");
}

TEST_F(RegistryTest, ReadsAHandWrittenExportAndKeepsRootsApart) {
    WriteWholeFile(tmp / "machine.reg",
                   "Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Firebird Project\\Firebird Server\\Instances]\n"
                   "\"DefaultInstance\"=\"C:\\\\Program Files\\\\Firebird\\\\\"\n\n"
                   "[HKEY_CURRENT_USER\\Software\\VRL]\n\"x\"=\"wrong root\"\n");
    TRegistry machine(TRootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenKeyReadOnly("\\Software\\Firebird Project\\Firebird Server\\Instances\\"));
    EXPECT_EQ(machine.ReadString("DefaultInstance"), "C:\\Program Files\\Firebird\\");
    EXPECT_FALSE(machine.KeyExists("\\Software\\VRL"));
    TRegistry user;
    EXPECT_FALSE(user.OpenKey("\\Software\\VRL", false));
}

TEST_F(RegistryTest, AWriteKeepsWhatTheStoreDoesNotModel) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n"
                             "; exported by hand\r\n"
                             "\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
                             "\"x\"=\"other root\"\r\n"
                             "\r\n[HKEY_CURRENT_USER\\Software\\VRL]\r\n"
                             "@=\"domyślna\"\r\n";
    const std::string bin = "\"Bin\"=hex:01,02,03,\\\r\n  04,05\r\n";
    const std::string tail = "; note\r\n"
                             "\"Exp\"=hex(2):25,00,48,00,\\\r\n  4f,00,00,00\r\n"
                             "\"Multi\"=hex(7):61,00,00,00,\\\r\n  00,00\r\n"
                             "\"Flag\"=dword:00000001\r\n";
    const std::string sub = "\r\n[HKEY_CURRENT_USER\\Software\\VRL\\Sub]\r\n\"y\"=hex:ff\r\n";
    const std::string oldValue = "\"sciezka_baza\"=\"old\"\r\n";
    const std::string newValue = "\"sciezka_baza\"=\"srv:/dane\"\r\n";
    const struct {
        const char* name;
        std::string before, after;
    } cases[] = {
        {"value replaced in place", head + bin + oldValue + tail + sub, head + bin + newValue + tail + sub},
        {"value added at the key's end", head + bin + tail + sub, head + bin + tail + newValue + sub},
    };
    for (const auto& c : cases) {
        WriteWholeFile(tmp / "user.reg", c.before);
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\VRL", false)) << c.name;
        reg.WriteString("sciezka_baza", "srv:/dane");
        EXPECT_EQ(ReadWholeFile(tmp / "user.reg"), c.after) << c.name;
    }

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\VRL", false));
    EXPECT_EQ(reg.ReadString(""), "domyślna"); // "@" is the key's default value
    EXPECT_TRUE(reg.ValueExists("bin"));
    EXPECT_THROW(reg.ReadString("Bin"), platform::ERegistryException); // binary data is not a string
    EXPECT_EQ(reg.ReadInteger("Flag"), 1u);
    // Writing a value of another type replaces it where it stands, continuation lines included.
    reg.WriteString("Bin", "text");
    EXPECT_EQ(ReadWholeFile(tmp / "user.reg"), head + "\"Bin\"=\"text\"\r\n" + tail + newValue + sub);
}
