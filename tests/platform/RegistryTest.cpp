#include "platform/Registry.h"
#include "TestUtil.h"
#include "WriteProperty.h"
#include "core/Encoding.h"

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

// Faults found by writing one value into hostile store files: after any write, every other value of
// every key reads as before. Inputs as minimized: key path, value name and value up to the first
// three NULs, then the file.
TEST(RegistryText, AWriteChangesOnlyItsValue) {
    using namespace std::string_literals;
    const std::string head =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\VRL]\r\n";
    const struct {
        const char* name;
        std::string input;
    } cases[] = {
        // A value that is not UTF-8 made the file invalid UTF-8, so it was reread as Windows-1250.
        {"invalid UTF-8 value",
         "Software\\VRL\0sciezka_baza\0/srv/baza\xB3\0"s + head + "\"inny\"=\"/srv/Łódź\"\r\n"},
        // Replacing the one value with bytes invalid in UTF-8 left Windows-1250 bytes that pass for UTF-8.
        {"Windows-1250 file flipping to UTF-8", "Software\\VRL\0a\0C:\\Baza\0"s + head +
                                                    "\"a\"=\"C:\\\xA3\xF3"
                                                    "d\x9F\"\r\n\"b\"=\"C:\\\xCA\xA5\"\r\n"},
        {"character outside Windows-1250", "Software\\VRL\0b\0日本\0"s + head + "\"a\"=\"\xB3\"\r\n"},
        // A hex value continued past the end of the file swallowed the value written after it.
        {"trailing backslash at the end", "Software\\VRL\0sciezka_baza\0x\0"s + head + "\"Bin\"=hex:01,\\"},
        {"trailing backslash, then a key",
         "Software\\VRL\0sciezka_baza\0x\0"s + head + "\"Bin\"=hex:01,\\\r\n"},
        {"line break in a name", "Software\\VRL\0a\nb\0x\0"s + head},
        {"line break in a key", "Software\\V\nRL\0a\0x\0"s + head + "\"a\"=\"1\"\r\n"},
    };
    for (const auto& c : cases) {
        std::string key, name, value, file;
        ASSERT_TRUE(SplitWriteInput(c.input, key, name, value, file)) << c.name;
        EXPECT_EQ(RegistryWriteFault(key, name, value, file), "") << c.name;
    }
}

// A UTF-8 byte-order mark is one, also before Windows-1250 text; the file keeps both.
TEST(RegistryText, AByteOrderMarkBeforeWindows1250IsKept) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string before = bom + "Windows Registry Editor Version 5.00\r\n\r\n"
                                     "[HKEY_CURRENT_USER\\Software\\VRL]\r\n\"a\"=\"\xB3\"\r\n";
    platform::TRegistryText text = platform::TRegistryText::Parse(before, TRootKey::HKEY_CURRENT_USER);
    EXPECT_EQ(text.ReadString("Software\\VRL", "a"), "ł");
    ASSERT_TRUE(text.WriteString("Software\\VRL", "b", "ż"));
    EXPECT_EQ(text.Render(), before + "\"b\"=\"\xBF\"\r\n");
}
