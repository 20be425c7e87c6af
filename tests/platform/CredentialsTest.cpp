#include "platform/Credentials.h"
#include "TestUtil.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
// Each test has a configuration directory of its own and no password in its environment.
class CredentialsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Keep("XDG_CONFIG_HOME");
        Keep("HOME");
        Keep(platform::kSystemAccountPasswordVariable);
        ::setenv("XDG_CONFIG_HOME", (tmp / "config").c_str(), 1);
        ::unsetenv(platform::kSystemAccountPasswordVariable);
    }
    void TearDown() override {
        for (const auto& [name, value] : kept)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    void Keep(const char* name) {
        const char* v = std::getenv(name);
        kept.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }

    TTempDir tmp;
    std::vector<std::pair<std::string, std::optional<std::string>>> kept;
};

enum TFileKind { fkNone, fkFile, fkDirectory, fkFifo };
} // namespace

TEST_F(CredentialsTest, TheFileLivesInTheConfigurationDirectory) {
    EXPECT_EQ(platform::SystemAccountPasswordFile(), tmp / "config/zelwan/syskwr.password");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", (tmp / "home").c_str(), 1);
    EXPECT_EQ(platform::SystemAccountPasswordFile(), tmp / "home/.config/zelwan/syskwr.password");
}

TEST_F(CredentialsTest, PasswordFromTheVariableOrTheOwnersFile) {
    const std::string file = platform::SystemAccountPasswordFile();
    const std::string envName = platform::kSystemAccountPasswordVariable;
    fs::create_directories(fs::path(file).parent_path());
    const struct {
        const char* name;
        const char* variable; // nullptr: not set
        TFileKind kind;
        const char* content;
        mode_t mode;
        const char* password;            // nullptr: refused
        std::vector<std::string> saying; // what the refusal names
    } cases[] = {
        {"variable", "zmienna-pw", fkNone, "", 0, "zmienna-pw", {}},
        {"variableWinsOverAnOpenFile", "zmienna-pw", fkFile, "plik-pw\n", 0644, "zmienna-pw", {}},
        {"emptyVariableCountsAsUnset", "", fkFile, "plik-pw\n", 0600, "plik-pw", {}},
        {"firstLineOnly", nullptr, fkFile, "plik-pw\ndrugi\n", 0600, "plik-pw", {}},
        {"windowsLineBreak", nullptr, fkFile, "plik-pw\r\ndrugi", 0600, "plik-pw", {}},
        {"noLineBreakBlanksKept", nullptr, fkFile, " plik pw ", 0400, " plik pw ", {}},
        {"othersMayWriteButNotRead", nullptr, fkFile, "plik-pw", 0622, "plik-pw", {}},
        {"groupReadable", nullptr, fkFile, "plik-pw\n", 0640, nullptr, {file, "0640", "tylko jego"}},
        {"worldReadable", nullptr, fkFile, "plik-pw\n", 0604, nullptr, {file, "0604", "chmod 600"}},
        {"emptyFile", nullptr, fkFile, "", 0600, nullptr, {file, "pusty"}},
        {"emptyFirstLine", nullptr, fkFile, "\nplik-pw\n", 0600, nullptr, {file, "pusty"}},
        {"directory", nullptr, fkDirectory, "", 0700, nullptr, {file, "nie jest zwykłym plikiem"}},
        {"fifoIsNotWaitedOn", nullptr, fkFifo, "", 0600, nullptr, {file, "nie jest zwykłym plikiem"}},
        {"neither", nullptr, fkNone, "", 0, nullptr, {envName, file}},
        {"emptyVariableAndNoFile", "", fkNone, "", 0, nullptr, {envName, file}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file);
        if (c.variable)
            ::setenv(platform::kSystemAccountPasswordVariable, c.variable, 1);
        else
            ::unsetenv(platform::kSystemAccountPasswordVariable);
        if (c.kind == fkFile)
            WriteWholeFile(file, c.content);
        else if (c.kind == fkDirectory)
            fs::create_directory(file);
        else if (c.kind == fkFifo)
            ::mkfifo(file.c_str(), 0600);
        if (c.kind != fkNone) {
            ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        }
        if (c.password) {
            EXPECT_EQ(platform::SystemAccountPassword(), c.password);
            continue;
        }
        try {
            const std::string password = platform::SystemAccountPassword();
            ADD_FAILURE() << "accepted: " << password;
        } catch (const platform::ECredentialError& e) {
            const std::string message = e.what();
            for (const std::string& part : c.saying)
                EXPECT_NE(message.find(part), std::string::npos) << message << "\nlacks: " << part;
            EXPECT_EQ(message.find("plik-pw"), std::string::npos) << message;
        }
    }
}

TEST_F(CredentialsTest, AFileThatCannotBeReadIsNamedWithTheReason) {
    const std::string file = platform::SystemAccountPasswordFile();
    fs::create_directories(fs::path(file).parent_path());
    WriteWholeFile(file, "plik-pw\n");
    ::chmod(file.c_str(), 0);
    const int rc = RunUnprivileged([&] {
        try {
            platform::SystemAccountPassword();
        } catch (const platform::ECredentialError& e) {
            const std::string message = e.what();
            return message == "Nie można odczytać pliku z hasłem konta systemowego SYSKWR " + file +
                                  ": Permission denied"
                       ? 0
                       : 1;
        }
        return 2;
    });
    EXPECT_EQ(rc, 0);
}
