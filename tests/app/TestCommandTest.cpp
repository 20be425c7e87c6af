// The dialog's Test command on the private test server, driven as the user drives it: with the
// recording fake where a script of answers matters, with the Qt windows where the window itself does.

#include "AppTestUtil.h"

#include "DbLayerTestUtil.h"
#include "VrlKey.h"
#include "app/LokalizacjaBazy.h"
#include "core/KwUtils.h"
#include "dberrors/MessageTables.h"
#include "dblayer/KwSQL.h"
#include "dblayer/KwTransaction.h"
#include "dblayer/LocalServer.h"
#include "fbclient/FbLibrary.h"
#include "platform/Credentials.h"
#include "platform/FirebirdInstance.h"
#include "platform/Files.h"
#include "ui/BitBtnKom.h"
#include "ui/OknoKomunikat.h"
#include "ui/QtUserInterface.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

constexpr const char* kQuestion = "Serwer bazy danych nie jest uruchomiony.^Czy uruchomić?";
constexpr const char* kConnected = "Ustanowiono połączenie z bazą danych.";
constexpr const char* kFailure = "Błąd podczas łączenia z bazą danych.\r";
constexpr const char* kNotInstalled = "Server FireBird nie jest zainstalowany na tym komputerze.";
constexpr const char* kNoProfiles = "Brak kalalogu profili.";
constexpr const char* kNoProfile = "Brak kalalogu \"PROFILE\" w podanym katalogu profili.";

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

// The recording fake that also keeps when each window and box came.
class TTimedUi : public TFakeUi {
public:
    TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                          TKomButtonType domyslny, TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe,
                          const std::string& opisPotwierdzenia, int czas, const TArrayKDodIkony* ikony,
                          int skala) override {
        Times.push_back(TClock::now());
        return TFakeUi::KomNew(tresc, przyciski, domyslny, rodzaj, opisyDodatkowe, opisPotwierdzenia, czas,
                               ikony, skala);
    }
    void ShowErrorBox(const std::string& text) override {
        Times.push_back(TClock::now());
        TFakeUi::ShowErrorBox(text);
    }
    std::vector<TClock::time_point> Times; // of every window and box, in order
};

// The settings of one test: where the database lies and the shared directory with PROFILE.
struct TSettings {
    bool Remote = true;
    std::string Server;
    std::string DatabaseDir;
    std::string SharedDir;
    std::string ProfileDir; // the shared directory when empty
    std::string Text() const {
        return "[MAIN]\nREMOTE=" + std::string(Remote ? "1" : "0") + "\nSERWER_NAME=" + Server +
               "\nPROTOCOL_NAME=0\nDATABASE_DIR=" + DatabaseDir + "\nSHARED_DIR=" + SharedDir +
               "\nPROFIL_DIR=" + (ProfileDir.empty() ? SharedDir : ProfileDir) + "\nDATABASE_FILE_EXT=.gdb\n";
    }
};

// Each test has its own baza.set, registry files with the suite's key and no Firebird installed, the
// system database systemkw.gdb on the test server, the test server's password in the credential
// source, and a process lookup that finds the servers the test says run (none unless told).
class TestCommand : public ::testing::Test {
public:
    void SetUp() override {
        UsePrivateRegistry(tmp);
        CreateVrlKey();
        machineDirs = platform::SetFirebirdServerDirs({});
        SetProcessLookup([this](const std::string& name) { return name == running; });
        fs::create_directories(database);
        CreateFbTestDatabase(FbTestServer(), database + "/systemkw.gdb");
        fs::create_directories(shared + "/PROFILE");
        settings = {true, "127.0.0.1/" + std::to_string(FbTestServer().Port()), database, shared, {}};
    }
    void TearDown() override {
        SetProcessLookup({});
        platform::SetFirebirdServerDirs(machineDirs);
        EXPECT_EQ(KlepsydraCount(), 0) << "the wait cursor's count after the test";
    }

    TfLokalizacjaBazy& Open() {
        WriteWholeFile(file, settings.Text());
        dialog = std::make_unique<TfLokalizacjaBazy>(nullptr, file);
        dialog->show();
        return *dialog;
    }
    template <class T> T* W(const char* name) { return Child<T>(dialog.get(), name); }
    void PressTest() {
        const int before = KlepsydraCount();
        QTest::mouseClick(W<QPushButton>("Button1"), Qt::LeftButton);
        EXPECT_EQ(KlepsydraCount(), before);
    }
    void PressAnuluj() { QTest::mouseClick(W<QPushButton>("BBanuluj"), Qt::LeftButton); }
    void PressOk() { QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton); }
    bool BackupExists() const { return fs::exists(file + "~"); }
    // Every text shown, in baza.set, its backup or the registry store: none holds the password.
    void ExpectNoPasswordAnywhere() { ExpectNoPassword(ShownTexts(ui), tmp.Path()); }

    TTempDir tmp;
    std::string file = tmp / "baza.set";
    std::string database = tmp / "BAZA";
    std::string shared = tmp / "SHARED";
    TSettings settings;
    TSystemPassword password;
    TTimedUi ui;
    std::string running;
    std::vector<std::string> machineDirs;
    std::unique_ptr<TfLokalizacjaBazy> dialog;
};

TEST_F(TestCommand, RemoteTcpToTheServerSucceeds) {
    Open();
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, kConnected);
    EXPECT_EQ(ui.Windows[0].Rodzaj, kInformacja);
    EXPECT_EQ(ui.Windows[0].Przyciski, std::vector<TKomButtonType>{kOK});
    EXPECT_EQ(ui.Windows[0].Skala, 100);
    EXPECT_TRUE(ui.ErrorBoxes.empty());
    // Saved tentatively: the file, its backup and the registry value of the tested settings.
    EXPECT_TRUE(BackupExists());
    EXPECT_EQ(VrlRegistryValue(), settings.Server + ":" + database);
    EXPECT_TRUE(dialog->isVisible());
    ExpectNoPasswordAnywhere();
}

// Each failure: the line of the dialog, then the server's message on the next line.
TEST_F(TestCommand, FailuresShowTheServersMessageUnderTheLine) {
    const struct {
        const char* name;
        std::function<void(TestCommand&)> change;
        const char* serverSays;
    } cases[] = {
        {"wrongPassword",
         [](TestCommand&) { ::setenv(platform::kSystemAccountPasswordVariable, "zle-haslo-123", 1); },
         "Your user name and password are not defined"},
        {"missingFile", [](TestCommand& t) { t.settings.DatabaseDir = t.tmp / "PUSTY"; },
         "I/O error during \"open\" operation for file"},
        {"unreachablePort",
         [](TestCommand& t) { t.settings.Server = "127.0.0.1/" + std::to_string(UnusedPort()); },
         "Unable to complete network request to host \"127.0.0.1\""},
    };
    const TSettings good = settings;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings = good;
        ::setenv(platform::kSystemAccountPasswordVariable, FbTestPassword().c_str(), 1);
        c.change(*this);
        ui.Windows.clear();
        Open();
        PressTest();
        ASSERT_EQ(ui.Windows.size(), 1u);
        EXPECT_EQ(ui.Windows[0].Rodzaj, kBlad);
        const std::string& text = ui.Windows[0].Tresc;
        EXPECT_EQ(text.rfind(kFailure, 0), 0u) << text;
        EXPECT_NE(text.find(c.serverSays), std::string::npos) << text;
        EXPECT_TRUE(BackupExists()) << "the settings stay saved tentatively";
        PressAnuluj();
    }
    ::setenv(platform::kSystemAccountPasswordVariable, FbTestPassword().c_str(), 1);
    ExpectNoPasswordAnywhere();
}

// The embedded engine checks no password: with a wrong one the local attachment still works, so it
// did not go to the running test server.
TEST_F(TestCommand, LocalWithoutAServerAsksAndOnNieAttachesThroughTheEmbeddedEngine) {
    settings.Remote = false;
    settings.Server = "";
    TEnvVar wrong(platform::kSystemAccountPasswordVariable, "nie-to-haslo");
    ui.Answers = {kNie};
    Open();
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 2u);
    EXPECT_EQ(ui.Windows[0].Tresc, kQuestion);
    EXPECT_EQ(ui.Windows[0].Rodzaj, kPytanie);
    EXPECT_EQ(ui.Windows[0].Przyciski, (std::vector<TKomButtonType>{kTak, kNie}));
    EXPECT_EQ(ui.Windows[1].Tresc, kConnected);
    EXPECT_TRUE(ui.ErrorBoxes.empty());
}

TEST_F(TestCommand, LocalWithAServerRunningAsksNothing) {
    settings.Remote = false;
    running = "firebird";
    Open();
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, kConnected);
}

TEST_F(TestCommand, TakWithoutAnInstallationShowsItsMessageWaitsThenAttaches) {
    settings.Remote = false;
    ui.Answers = {kTak};
    Open();
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 2u);
    EXPECT_EQ(ui.Windows[0].Tresc, kQuestion);
    EXPECT_EQ(ui.ErrorBoxes, std::vector<std::string>{kNotInstalled});
    EXPECT_EQ(ui.Windows[1].Tresc, kConnected);
    ASSERT_EQ(ui.Times.size(), 3u); // the question, the box, the outcome
    EXPECT_GE(ui.Times[2] - ui.Times[1], std::chrono::milliseconds(2000));
}

// A missing profile directory, or one without PROFILE: the message, and nothing saved or tested.
TEST_F(TestCommand, AProfileDirectoryWithoutProfileIsRefusedAndNothingIsSaved) {
    fs::create_directories(tmp / "BEZ");
    const struct {
        const char* name;
        std::string profileDir;
        const char* message;
    } cases[] = {
        {"missing", tmp / "NIE-MA", kNoProfiles},
        {"withoutPROFILE", tmp / "BEZ", kNoProfile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.ProfileDir = c.profileDir;
        ui.Windows.clear();
        Open();
        const std::string before = ReadWholeFile(file);
        const std::string registry = ReadWholeFile(tmp / "user.reg");
        PressTest();
        ASSERT_EQ(ui.Windows.size(), 1u);
        EXPECT_EQ(ui.Windows[0].Tresc, c.message);
        EXPECT_EQ(ui.Windows[0].Rodzaj, kBlad);
        EXPECT_EQ(ui.Windows[0].Przyciski, std::vector<TKomButtonType>{kOK});
        EXPECT_EQ(ReadWholeFile(file), before);
        EXPECT_EQ(ReadWholeFile(tmp / "user.reg"), registry);
        EXPECT_FALSE(BackupExists());
        EXPECT_FALSE(dialog->WasBackup());
    }
}

// An unchecked profile box makes the shared directory the profile directory.
TEST_F(TestCommand, TheSharedDirectoryServesAsProfileDirectoryWhenTheBoxIsUnchecked) {
    fs::remove_all(shared + "/PROFILE");
    Open();
    ASSERT_FALSE(W<QCheckBox>("CB_ProfileDir")->isChecked());
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, kNoProfile);
}

TEST_F(TestCommand, TestThenAnulujRestoresTheFileByteForByteWithItsMode) {
    // Written by hand on another machine: comments, another key order, CR LF, an unknown key.
    const std::string handMade = "; ustawienia stacji\r\n[MAIN]\r\nDATABASE_DIR=" + database +
                                 "\r\nREMOTE=1\r\nSERWER_NAME=" + settings.Server +
                                 "\r\nINNY=1\r\nSHARED_DIR=" + shared + "\r\n";
    dialog = nullptr;
    WriteWholeFile(file, handMade);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    dialog = std::make_unique<TfLokalizacjaBazy>(nullptr, file);
    dialog->show();
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, kConnected);
    EXPECT_NE(ReadWholeFile(file), handMade);
    PressAnuluj();
    EXPECT_EQ(ReadWholeFile(file), handMade);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_FALSE(BackupExists());
    // The registry value keeps the tested location.
    EXPECT_EQ(VrlRegistryValue(), settings.Server + ":" + database);
}

TEST_F(TestCommand, TestTwiceThenAnulujRestoresTheFirstBackup) {
    Open();
    const std::string original = ReadWholeFile(file);
    PressTest();
    QLineEdit* dir = W<QLineEdit>("E_DatabaseDir");
    dir->setText(QString::fromStdString(tmp / "PUSTY"));
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 2u);
    EXPECT_EQ(ui.Windows[0].Tresc, kConnected);
    EXPECT_EQ(ui.Windows[1].Rodzaj, kBlad);
    EXPECT_NE(ReadWholeFile(file).find("PUSTY"), std::string::npos);
    PressAnuluj();
    EXPECT_EQ(ReadWholeFile(file), original);
    EXPECT_FALSE(BackupExists());
}

TEST_F(TestCommand, TestThenOkLeavesNoBackup) {
    Open();
    PressTest();
    ASSERT_TRUE(BackupExists());
    PressOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(BackupExists());
    EXPECT_NE(ReadWholeFile(file).find("SERWER_NAME=" + settings.Server), std::string::npos);
    ExpectNoPasswordAnywhere();
}

// The first start without baza.set (remote "localhost" by default, pointed at the test server by
// hand): no backup can be made, so the file the test wrote stays.
TEST_F(TestCommand, WithoutASettingsFileTheTestsFileStays) {
    dialog = std::make_unique<TfLokalizacjaBazy>(nullptr, file);
    dialog->show();
    ASSERT_TRUE(W<QRadioButton>("RB_remote")->isChecked());
    W<QLineEdit>("E_SerwerName")->setText(QString::fromStdString(settings.Server));
    W<QLineEdit>("E_DatabaseDir")->setText(QString::fromStdString(database));
    W<QLineEdit>("E_SharedDir")->setText(QString::fromStdString(shared));
    PressTest();
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, kConnected);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(BackupExists());
    PressAnuluj();
    EXPECT_NE(ReadWholeFile(file).find("SERWER_NAME=" + settings.Server), std::string::npos);
}

// With no client library to load the press says so in the dialog. The default name is loaded once
// per process, so the press runs in a copy of this program of its own (the next test).
TEST(TestCommandClientLibrary, DISABLED_AMissingLibraryIsReported) {
    const std::string before = SetPlatformClientLibrary("libfbclient-missing.so.2");
    TTempDir tmp;
    UsePrivateRegistry(tmp);
    TSystemPassword password;
    TFakeUi ui;
    fs::create_directories(tmp / "SHARED/PROFILE");
    WriteWholeFile(tmp / "baza.set", "[MAIN]\nREMOTE=1\nSERWER_NAME=127.0.0.1/" +
                                         std::to_string(FbTestServer().Port()) + "\nDATABASE_DIR=" +
                                         (tmp / "BAZA") + "\nSHARED_DIR=" + (tmp / "SHARED") + "\n");
    TfLokalizacjaBazy dialog(nullptr, tmp / "baza.set");
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(&dialog, "Button1"), Qt::LeftButton);
    SetPlatformClientLibrary(before);
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Rodzaj, kBlad);
    EXPECT_EQ(ui.Windows[0].Tresc, std::string(kFailure) + "Can't load library libfbclient-missing.so.2 ");
    EXPECT_EQ(KlepsydraCount(), 0);
}

TEST(TestCommandClientLibrary, AMissingLibraryIsReportedInTheDialog) {
    QProcess self;
    self.start(QString::fromStdString(platform::ExeFileName()),
               {"--gtest_also_run_disabled_tests",
                "--gtest_filter=TestCommandClientLibrary.DISABLED_AMissingLibraryIsReported"});
    ASSERT_TRUE(self.waitForFinished(120000));
    const std::string output = self.readAll().toStdString();
    EXPECT_EQ(self.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

// What the Qt windows show: their captions and lines, and the answers given with their keys.
class TestCommandWindows : public TestCommand {
protected:
    struct TShown {
        QString Title;
        QString Text;
    };
    // Answers the coming message windows in turn with the given keys, typed where the keyboard types
    // them (the focused button) once the window is active, keeping what each showed. A mnemonic
    // animates its click, which lands a moment later, so each answer waits for a window other than the
    // one answered before.
    void AnswerInTurn(std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys, const std::string& shot,
                      QPointer<QWidget> previous = nullptr) {
        if (keys.empty())
            return;
        WhenModal(
            [this, keys, shot](QWidget* modal) mutable {
                auto* okno = qobject_cast<TOknoKomunikat*>(modal);
                ASSERT_NE(okno, nullptr) << modal->metaObject()->className();
                shown.push_back({okno->windowTitle(), okno->TextBox()->toPlainText()});
                SaveShot(okno, shot + "-" + std::to_string(shown.size()));
                const auto [key, modifiers] = keys.front();
                keys.erase(keys.begin());
                AnswerInTurn(keys, shot, okno);
                // Keys reach a window once it is active; on a loaded machine that comes after it shows.
                EXPECT_TRUE(QTest::qWaitForWindowActive(okno, 10000));
                QTest::keyClick(okno->focusWidget() ? okno->focusWidget() : okno, key, modifiers);
            },
            previous);
    }
    std::vector<TShown> shown;
    TQtUserInterface port;
};

TEST_F(TestCommandWindows, SuccessIsAnInformation) {
    Open();
    SaveShot(dialog.get(), "test-command-remote");
    AnswerInTurn({{Qt::Key_Space, Qt::NoModifier}}, "test-command-success");
    PressTest();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Title.toStdString(), "Informacja");
    EXPECT_EQ(shown[0].Text.toStdString(), kConnected);
}

TEST_F(TestCommandWindows, AWrongPasswordIsAnErrorWithTheServersMessageOnTheNextLine) {
    TEnvVar wrong(platform::kSystemAccountPasswordVariable, "zle-haslo-123");
    Open();
    AnswerInTurn({{Qt::Key_Space, Qt::NoModifier}}, "test-command-wrong-password");
    PressTest();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Title.toStdString(), "Błąd");
    const QStringList lines = shown[0].Text.split(QLatin1Char('\n'));
    // The server's message from its next line: the SQL code's text, then the status vector's.
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0].toStdString(), "Błąd podczas łączenia z bazą danych.");
    EXPECT_TRUE(lines[1].startsWith("Unsuccessful execution caused by a system error")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("Your user name and password are not defined")) << lines[2].toStdString();
    EXPECT_FALSE(shown[0].Text.contains(QString::fromStdString(FbTestPassword())));
    EXPECT_FALSE(shown[0].Text.contains("zle-haslo-123"));
}

TEST_F(TestCommandWindows, LocalWithoutAServerIsAQuestionAnsweredNieWithAltN) {
    settings.Remote = false;
    Open();
    AnswerInTurn({{Qt::Key_N, Qt::AltModifier}, {Qt::Key_Space, Qt::NoModifier}}, "test-command-local");
    PressTest();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].Title.toStdString(), "Pytanie");
    EXPECT_EQ(shown[0].Text.toStdString(), "Serwer bazy danych nie jest uruchomiony.\nCzy uruchomić?");
    EXPECT_EQ(shown[1].Title.toStdString(), "Informacja");
    EXPECT_EQ(shown[1].Text.toStdString(), kConnected);
}

// A named exception of a procedure, raised on the test server and translated through the framework's
// database component, in the database error window: the exception's own sentence, or the
// database's message for one that the table does not know.
TEST_F(TestCommandWindows, ANamedExceptionShowsItsSentenceInTheErrorWindow) {
    TAttached attached({"create exception SZABLISTPLAC_ROZDZKOSZT 'Szablon ma już zamknięte pozycje.'",
                        "create exception NIEZNANY_WYJATEK 'Zły stan magazynu.'",
                        "create procedure P_SZABLON as begin exception SZABLISTPLAC_ROZDZKOSZT; end",
                        "create procedure P_NIEZNANY as begin exception NIEZNANY_WYJATEK; end"});
    const struct {
        const char* procedure;
        std::string shown;
    } cases[] = {
        {"P_SZABLON", "Wyjątek: \n" + KomunikatDla_Exception("SZABLISTPLAC_ROZDZKOSZT")},
        {"P_NIEZNANY", "Zły stan magazynu."},
    };
    ASSERT_NE(KomunikatDla_Exception("SZABLISTPLAC_ROZDZKOSZT"), "");
    ASSERT_EQ(KomunikatDla_Exception("NIEZNANY_WYJATEK"), "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.procedure);
        TkwTransaction transaction;
        transaction.SetDefaultDatabase(&attached.Db);
        ASSERT_TRUE(transaction.kwBeginTrans(""));
        TkwSQL sql;
        sql.SetTransaction(&transaction);
        sql.SetSQLText(std::string("execute procedure ") + c.procedure);
        QString label, title;
        WhenModal([&](QWidget* modal) {
            title = modal->windowTitle();
            if (auto* l = modal->findChild<QLabel*>("L_except"))
                label = l->text();
            SaveShot(modal, std::string("exception-") + c.procedure);
            if (auto* ok = modal->findChild<TBitBtnKom*>("BBok"))
                ok->click();
        });
        const TOutcome outcome = Outcome([&] { sql.kwExecQuery(""); });
        EXPECT_EQ(outcome.Raised, rsAbort);
        EXPECT_EQ(title.toStdString(), "Informacja z bazy danych");
        EXPECT_EQ(label.toStdString(), c.shown);
    }
}

} // namespace
