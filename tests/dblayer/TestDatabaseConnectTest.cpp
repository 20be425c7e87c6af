// The connection test on the private test server: remote attachments by TCP, local ones through the
// embedded engine, the question about a local server with each answer, the failures as the server
// reports them, and the wait cursor on every path.

#include "dblayer/TestDatabaseConnect.h"

#include "DbLayerTestUtil.h"
#include "core/Exception.h"
#include "core/KwUtils.h"
#include "dblayer/LocalServer.h"
#include "fbclient/FbLibrary.h"
#include "platform/Credentials.h"
#include "platform/FirebirdInstance.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <optional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

constexpr const char* kQuestion = "Serwer bazy danych nie jest uruchomiony.^Czy uruchomić?";
constexpr const char* kFailure = "Błąd podczas łączenia z bazą danych.\r";
constexpr const char* kNotInstalled = "Server FireBird nie jest zainstalowany na tym komputerze.";

// The recording fake that also keeps the order and time of what it showed.
class TTimedUi : public TFakeUi {
public:
    struct TEvent {
        std::string What; // "window: <text>" or "box: <text>"
        TClock::time_point At;
    };
    TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                          TKomButtonType domyslny, TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe,
                          const std::string& opisPotwierdzenia, int czas, const TArrayKDodIkony* ikony,
                          int skala) override {
        Events.push_back({"window: " + tresc, TClock::now()});
        return TFakeUi::KomNew(tresc, przyciski, domyslny, rodzaj, opisyDodatkowe, opisPotwierdzenia, czas,
                               ikony, skala);
    }
    void ShowErrorBox(const std::string& text) override {
        Events.push_back({"box: " + text, TClock::now()});
        TFakeUi::ShowErrorBox(text);
    }
    std::vector<TEvent> Events;
};

// A loopback port nobody listens on (bound for a moment, then let go).
int UnusedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(s);
    return ntohs(a.sin_port);
}

// Each test has the test server's password in the credential source, its own registry files with no
// Firebird installed, a process lookup that says which servers run (none unless told) and the
// recording user interface.
class ConnectTest : public ::testing::Test {
public:
    void SetUp() override {
        UsePrivateRegistry(tmp);
        machineDirs = platform::SetFirebirdServerDirs({});
        SetProcessLookup([this](const std::string& name) {
            looked.push_back(name);
            return name == running;
        });
    }
    void TearDown() override {
        SetProcessLookup({});
        platform::SetFirebirdServerDirs(machineDirs);
    }
    // Remote settings for the test server by TCP, the file given without its extension.
    void Remote(const std::string& server, const std::string& dir, const std::string& file = "test") {
        test.SetRemoteSerwer(true);
        test.SetSerwerName(server);
        test.SetProtocolName(npTCP);
        test.SetDatabaseDir(dir);
        test.SetDatabaseFileName(file);
        test.SetDatabaseFileExt(".fdb");
    }
    // Local settings: the file's directory, as the dialog gives it.
    void Local(const std::string& dir) {
        test.SetRemoteSerwer(false);
        test.SetSerwerName("");
        test.SetProtocolName(npTCP);
        test.SetDatabaseDir(dir);
        test.SetDatabaseFileName("test");
        test.SetDatabaseFileExt(".fdb");
    }
    std::string ServerName() const { return "127.0.0.1/" + std::to_string(FbTestServer().Port()); }
    // The wait cursor was shown once and is back as it was.
    void ExpectCursorPutBack(int before = 0) {
        EXPECT_EQ(KlepsydraCount(), before);
        if (before == 0) {
            EXPECT_EQ(ui.FCursor, TCursorKind::crDefault);
            ASSERT_FALSE(ui.CursorChanges.empty());
            EXPECT_EQ(ui.CursorChanges.front(), TCursorKind::crHourGlass);
            EXPECT_EQ(ui.CursorChanges.back(), TCursorKind::crDefault);
        }
    }

    TTempDir tmp;
    TSystemPassword password;
    TTimedUi ui;
    TTestDatabaseConnect test;
    std::string running; // the executable name the process lookup finds running
    std::vector<std::string> looked;
    std::vector<std::string> machineDirs;
};

TEST_F(ConnectTest, ARemoteServerByTcpAsksNothingAndLeavesNothingAttached) {
    TLayerDatabase file;
    Remote(ServerName(), file.Dir.Path().string());
    EXPECT_TRUE(test.Test(true)) << test.LastErrorStr();
    EXPECT_EQ(test.LastErrorStr(), "");
    EXPECT_EQ(test.LastIBErrorCode(), 0);
    EXPECT_TRUE(ui.Windows.empty());
    EXPECT_TRUE(ui.ErrorBoxes.empty());
    EXPECT_TRUE(looked.empty()) << "remote settings look for no local server";
    ExpectCursorPutBack();
    // Detached again: the server shows no attachment but the one that asks.
    EXPECT_EQ(file.Query("select count(*) from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION "
                         "and MON$SYSTEM_FLAG = 0"),
              "0");
}

// Each failure as the server words it, with and without the window; the password shows nowhere.
TEST_F(ConnectTest, FailuresKeepTheServersMessageAndShowItUnderTheLine) {
    TLayerDatabase file;
    const struct {
        const char* name;
        std::function<void(ConnectTest&)> settings;
        const char* password; // nullptr: the right one
        const char* serverSays;
        int code;
    } cases[] = {
        {"wrongPassword", [&](ConnectTest& t) { t.Remote(t.ServerName(), file.Dir.Path().string()); },
         "zle-haslo-123", "Your user name and password are not defined", 335544472},
        {"missingFile", [&](ConnectTest& t) { t.Remote(t.ServerName(), file.Dir.Path().string(), "brak"); },
         nullptr, "I/O error during \"open\" operation for file", 335544344},
        {"unreachablePort",
         [&](ConnectTest& t) {
             t.Remote("127.0.0.1/" + std::to_string(UnusedPort()), file.Dir.Path().string());
         },
         nullptr, "Unable to complete network request to host \"127.0.0.1\"", 335544721},
    };
    for (const auto& c : cases) {
        for (const bool showError : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (showError ? " shown" : " quiet"));
            std::optional<TEnvVar> wrong;
            if (c.password)
                wrong.emplace(platform::kSystemAccountPasswordVariable, c.password);
            ui.Windows.clear();
            ui.CursorChanges.clear();
            c.settings(*this);
            EXPECT_FALSE(test.Test(showError));
            EXPECT_NE(test.LastErrorStr().find(c.serverSays), std::string::npos) << test.LastErrorStr();
            EXPECT_EQ(test.LastIBErrorCode(), c.code);
            EXPECT_LT(test.LastSQLCode(), 0);
            if (showError) {
                ASSERT_EQ(ui.Windows.size(), 1u);
                EXPECT_EQ(ui.Windows[0].Rodzaj, kBlad);
                EXPECT_EQ(ui.Windows[0].Przyciski, std::vector<TKomButtonType>{kOK});
                EXPECT_EQ(ui.Windows[0].Skala, 100);
                EXPECT_EQ(ui.Windows[0].Tresc, kFailure + test.LastErrorStr());
            } else {
                EXPECT_TRUE(ui.Windows.empty());
            }
            EXPECT_TRUE(ui.ErrorBoxes.empty());
            ExpectCursorPutBack();
            std::vector<std::string> texts = ShownTexts(ui);
            texts.push_back(test.LastErrorStr());
            ExpectNoPassword(texts, tmp.Path());
        }
    }
}

// The embedded engine checks no password: a wrong one still attaches, so the attachment went there
// and not to the running test server.
TEST_F(ConnectTest, LocalWithoutAServerAsksAndOnNieAttachesThroughTheEmbeddedEngine) {
    TLayerDatabase file;
    TEnvVar wrong(platform::kSystemAccountPasswordVariable, "nie-to-haslo");
    Local(file.Dir.Path().string());
    ui.Answers = {kNie};
    EXPECT_TRUE(test.Test(true)) << test.LastErrorStr();
    EXPECT_EQ(looked, (std::vector<std::string>{"ibserver", "firebird"}));
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, kQuestion);
    EXPECT_EQ(ui.Windows[0].Rodzaj, kPytanie);
    EXPECT_EQ(ui.Windows[0].Przyciski, (std::vector<TKomButtonType>{kTak, kNie}));
    EXPECT_EQ(ui.Windows[0].Skala, 100);
    EXPECT_TRUE(ui.ErrorBoxes.empty()) << "nothing was started";
    ExpectCursorPutBack();
}

TEST_F(ConnectTest, LocalWithAServerRunningAsksNothing) {
    TLayerDatabase file;
    Local(file.Dir.Path().string());
    for (const char* server : {"firebird", "ibserver"}) {
        SCOPED_TRACE(server);
        running = server;
        looked.clear();
        EXPECT_TRUE(test.Test(true)) << test.LastErrorStr();
        EXPECT_TRUE(ui.Windows.empty());
        EXPECT_EQ(looked.back(), server);
    }
    ExpectCursorPutBack();
}

// "Tak" with no installation: the installation's message, then the whole wait, then the attachment,
// which fails here as any other (the file is missing) and is reported after the wait.
TEST_F(ConnectTest, TakWithoutAnInstallationShowsItsMessageWaitsAndAttaches) {
    TLayerDatabase file;
    Local((file.Dir.Path() / "brak").string());
    ui.Answers = {kTak};
    EXPECT_FALSE(test.Test(true));
    const TClock::time_point end = TClock::now();
    ASSERT_EQ(ui.Events.size(), 3u);
    EXPECT_EQ(ui.Events[0].What, std::string("window: ") + kQuestion);
    EXPECT_EQ(ui.Events[1].What, std::string("box: ") + kNotInstalled);
    EXPECT_EQ(ui.Events[2].What.rfind(std::string("window: ") + kFailure, 0), 0u) << ui.Events[2].What;
    EXPECT_GE(ui.Events[2].At - ui.Events[1].At, std::chrono::milliseconds(2000)) << "the wait";
    EXPECT_LT(end - ui.Events[0].At, std::chrono::seconds(30));
    EXPECT_NE(test.LastErrorStr().find("I/O error during \"open\" operation for file"), std::string::npos)
        << test.LastErrorStr();
    ExpectCursorPutBack();
}

// "Tak" with the server installed: it is started with "-a", and after the wait the attachment runs.
TEST_F(ConnectTest, TakStartsTheInstalledServerAndAttachesAfterTheWait) {
    TLayerDatabase file;
    const std::string installation = tmp / "Firebird/";
    fs::create_directories(installation);
    fs::copy_file(ZELWAN_FAKE_FBSERVER, installation + platform::kFirebirdServerExe);
    fs::permissions(installation + platform::kFirebirdServerExe, fs::perms(0755));
    {
        platform::TRegistry reg(platform::TRootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(platform::kFirebirdInstancesKey, true));
        reg.WriteString(platform::kFirebirdDefaultInstance, installation);
    }
    Local(file.Dir.Path().string());
    ui.Answers = {kTak};
    const TClock::time_point start = TClock::now();
    EXPECT_TRUE(test.Test(true)) << test.LastErrorStr();
    EXPECT_GE(TClock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(ui.Windows.size(), 1u);
    EXPECT_TRUE(ui.ErrorBoxes.empty());
    // The stand-in server wrote down how it was started.
    const std::string record = installation + platform::kFirebirdServerExe + ".rec";
    ASSERT_TRUE(fs::exists(record));
    const std::string argv = ReadWholeFile(record);
    EXPECT_NE(argv.find(std::string("argv=-a") + '\0'), std::string::npos);
    ExpectCursorPutBack();
}

// Without a question window: the choice made in advance, nothing shown but what a start shows.
TEST_F(ConnectTest, TheQuestionCanBeAnsweredInAdvance) {
    TLayerDatabase file;
    Local(file.Dir.Path().string());
    test.SetLocalServerStart(lsNoStart);
    EXPECT_TRUE(test.Test(false)) << test.LastErrorStr();
    EXPECT_TRUE(ui.Windows.empty());
    EXPECT_TRUE(ui.ErrorBoxes.empty());

    test.SetLocalServerStart(lsStart);
    EXPECT_TRUE(test.Test(false)) << test.LastErrorStr();
    EXPECT_TRUE(ui.Windows.empty());
    EXPECT_EQ(ui.ErrorBoxes, std::vector<std::string>{kNotInstalled}); // the start's own message
    ExpectCursorPutBack();
}

TEST_F(ConnectTest, ASuccessAfterAFailureClearsTheLastError) {
    TLayerDatabase file;
    Remote(ServerName(), file.Dir.Path().string(), "brak");
    EXPECT_FALSE(test.Test(false));
    EXPECT_NE(test.LastErrorStr(), "");
    EXPECT_NE(test.LastIBErrorCode(), 0);
    test.SetDatabaseFileName("test");
    EXPECT_TRUE(test.Test(false));
    EXPECT_EQ(test.LastErrorStr(), "");
    EXPECT_EQ(test.LastIBErrorCode(), 0);
    EXPECT_EQ(test.LastSQLCode(), 0);
}

// The client library cannot be loaded: its own message, no server codes.
TEST_F(ConnectTest, AMissingClientLibraryIsReportedAsTheAttachmentsFailure) {
    if (ClientLibraryCount() != 0)
        GTEST_SKIP() << "the client library is loaded already; run this test alone (CTest does)";
    const std::string before = SetPlatformClientLibrary("libfbclient-missing.so.2");
    Remote(ServerName(), tmp.Path().string());
    EXPECT_FALSE(test.Test(true));
    SetPlatformClientLibrary(before);
    EXPECT_EQ(test.LastErrorStr(), "Can't load library libfbclient-missing.so.2 ");
    EXPECT_EQ(test.LastIBErrorCode(), 0);
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, std::string(kFailure) + "Can't load library libfbclient-missing.so.2 ");
    ExpectCursorPutBack();
}

// What fails before the attachment leaves the test, with the cursor put back; nested waits keep theirs.
TEST_F(ConnectTest, FailuresBeforeTheAttachmentLeaveTheTest) {
    TLayerDatabase file;
    Local(file.Dir.Path().string());
    {
        // No password in either source.
        TEnvVar none(platform::kSystemAccountPasswordVariable, std::nullopt);
        TEnvVar config("XDG_CONFIG_HOME", tmp / "pusty");
        running = "firebird";
        EXPECT_THROW(test.Test(true), platform::ECredentialError);
        EXPECT_TRUE(ui.Windows.empty());
        ExpectCursorPutBack();
    }
    {
        // The question window itself fails.
        class TBrokenUi : public TFakeUi {
        public:
            TKomButtonType KomNew(const std::string&, const std::vector<TKomButtonType>&, TKomButtonType,
                                  TKomRodzajOkna, const std::string&, const std::string&, int,
                                  const TArrayKDodIkony*, int) override {
                throw Exception("no window today");
            }
        } broken;
        running.clear();
        EXPECT_THROW(test.Test(true), Exception);
        EXPECT_EQ(KlepsydraCount(), 0);
        EXPECT_EQ(broken.FCursor, TCursorKind::crDefault);
    }
    // Inside a wait of the caller's the hourglass stays, and the count is the caller's again.
    ShowKlepsydra();
    running = "firebird";
    EXPECT_TRUE(test.Test(true)) << test.LastErrorStr();
    Remote(ServerName(), file.Dir.Path().string(), "brak");
    EXPECT_FALSE(test.Test(true));
    EXPECT_EQ(KlepsydraCount(), 1);
    EXPECT_EQ(ui.FCursor, TCursorKind::crHourGlass);
    HideKlepsydra();
}

} // namespace
