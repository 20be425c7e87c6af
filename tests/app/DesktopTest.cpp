// The built program as an administrator runs it: copied alone into a directory with its baza.set,
// on a virtual X display, the Test button pressed with the mouse, and the window it then shows read
// by its caption and answered from the keyboard.

#include "FbTestServer.h"
#include "TestUtil.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kDialogTitle = "Konfiguracja połączenia z serwerem";
// Where the dialog's Test button lies in the dialog (its size 418 x 235 at 96 dpi).
constexpr int kTestButtonX = 41, kTestButtonY = 218;

// A virtual X display of the test's own, on the number the server picks.
class TDisplay {
public:
    TDisplay() {
        FServer.setProcessChannelMode(QProcess::SeparateChannels);
        FServer.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-dpi", "96"});
        if (!FServer.waitForStarted(10000))
            throw std::runtime_error("Xvfb does not start (package xvfb): " + FServer.errorString().toStdString());
        QByteArray number;
        while (!number.contains('\n') && FServer.waitForReadyRead(10000))
            number += FServer.readAllStandardOutput();
        if (!number.contains('\n'))
            throw std::runtime_error("Xvfb names no display: " + FServer.readAllStandardError().toStdString());
        FName = ":" + number.trimmed().toStdString();
    }
    ~TDisplay() {
        FServer.kill();
        FServer.waitForFinished(5000);
    }
    const std::string& Name() const { return FName; }

private:
    QProcess FServer;
    std::string FName;
};

// The program copied alone into dir, started on the display with the given environment.
class TProgram {
public:
    TProgram(const TDisplay& display, const fs::path& dir, const QProcessEnvironment& env,
             const QStringList& wrapper = {})
        : FDisplay(display) {
        const fs::path copy = dir / "zelwan";
        fs::copy_file(ZELWAN_PROGRAM, copy, fs::copy_options::overwrite_existing);
        QProcessEnvironment e = env;
        e.insert("DISPLAY", QString::fromStdString(display.Name()));
        e.insert("QT_QPA_PLATFORM", "xcb");
        FProcess.setProcessEnvironment(e);
        FProcess.setWorkingDirectory(QString::fromStdString(dir.string()));
        QStringList args = wrapper;
        args << QString::fromStdString(copy.string());
        const QString program = args.takeFirst();
        FProcess.start(program, args);
        if (!FProcess.waitForStarted(10000))
            throw std::runtime_error("the program does not start: " + FProcess.errorString().toStdString());
    }
    ~TProgram() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
    // xdotool on the display; its output without the last line end.
    std::string Xdo(const QStringList& args) const {
        QProcess x;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("DISPLAY", QString::fromStdString(FDisplay.Name()));
        x.setProcessEnvironment(e);
        x.start("xdotool", args);
        if (!x.waitForStarted(5000))
            throw std::runtime_error("xdotool does not start (package xdotool)");
        x.waitForFinished(10000);
        return x.readAllStandardOutput().trimmed().toStdString();
    }
    // The visible top-level window whose caption is exactly title, once it shows (0 when it does not
    // within the time, or the program ended).
    unsigned long WaitForWindow(const std::string& title, std::chrono::milliseconds within = 30s) {
        const auto until = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < until && FProcess.state() == QProcess::Running) {
            const QString ids = QString::fromStdString(Xdo({"search", "--onlyvisible", "--name", "."}));
            for (const QString& id : ids.split('\n', Qt::SkipEmptyParts))
                if (Xdo({"getwindowname", id}) == title)
                    return id.toULong();
            QThread::msleep(100);
        }
        return 0;
    }
    // The captions of every visible window, for the failure messages.
    std::string Captions() {
        std::string all;
        const QString ids = QString::fromStdString(Xdo({"search", "--onlyvisible", "--name", "."}));
        for (const QString& id : ids.split('\n', Qt::SkipEmptyParts))
            all += "[" + Xdo({"getwindowname", id}) + "] ";
        return all + "; the program's errors: " + FProcess.readAllStandardError().toStdString();
    }
    void Click(unsigned long window, int x, int y) const {
        Xdo({"mousemove", "--window", QString::number(window), QString::number(x), QString::number(y)});
        Xdo({"click", "1"});
    }
    // Keys typed into the window, as the keyboard types them.
    void Keys(unsigned long window, const QString& keys) const {
        Xdo({"windowfocus", "--sync", QString::number(window)});
        Xdo({"key", "--clearmodifiers", keys});
    }
    bool Ends(std::chrono::milliseconds within = 15s) { return FProcess.waitForFinished(int(within.count())); }
    int ExitCode() const { return FProcess.exitCode(); }

private:
    const TDisplay& FDisplay;
    QProcess FProcess;
};

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Dir / "SHARED/PROFILE");
        Env.insert("ZELWAN_REGISTRY_USER", QString::fromStdString(Dir / "user.reg"));
        Env.insert("ZELWAN_REGISTRY_MACHINE", QString::fromStdString(Dir / "machine.reg"));
        Env.insert("XDG_CONFIG_HOME", QString::fromStdString(Dir / "config"));
    }
    void UseServer() {
        fs::create_directories(Dir / "BAZA");
        CreateFbTestDatabase(FbTestServer(), Dir / "BAZA/systemkw.gdb");
        for (const auto& [k, v] : FbTestServer().Environment())
            Env.insert(QString::fromStdString(k), QString::fromStdString(v));
        Env.insert("ZELWAN_SYSKWR_PASSWORD", QString::fromStdString(FbTestPassword()));
    }
    std::string RemoteSettings() const {
        return "[MAIN]\r\nREMOTE=1\r\nSERWER_NAME=127.0.0.1/" + std::to_string(FbTestServer().Port()) +
               "\r\nPROTOCOL_NAME=0\r\nDATABASE_DIR=" + (Dir / "BAZA") + "\r\nSHARED_DIR=" + (Dir / "SHARED") +
               "\r\n";
    }

    // Presses Test in the program's dialog, then answers the windows that come in turn: each must carry
    // the caption given and gets its keys. The last is the outcome; after it Alt+A (Anuluj) leaves the
    // dialog, and the program must end by itself.
    void PressTestAndAnswer(TProgram& program, const std::vector<std::pair<std::string, QString>>& windows) {
        const unsigned long dialog = program.WaitForWindow(kDialogTitle);
        ASSERT_NE(dialog, 0u) << program.Captions();
        program.Click(dialog, kTestButtonX, kTestButtonY);
        for (const auto& [caption, keys] : windows) {
            const unsigned long window = program.WaitForWindow(caption);
            ASSERT_NE(window, 0u) << "no window \"" << caption << "\": " << program.Captions();
            program.Keys(window, keys);
        }
        program.Keys(dialog, "alt+a");
        EXPECT_TRUE(program.Ends()) << program.Captions();
        EXPECT_EQ(program.ExitCode(), 0) << program.Captions();
    }
    // No file the program may have written holds the password.
    void ExpectNoPasswordInFiles(const std::string& password) {
        for (const auto& e : fs::recursive_directory_iterator(Dir.Path())) {
            if (e.is_regular_file() && e.path().filename() != "zelwan" && e.path().extension() != ".gdb") {
                EXPECT_EQ(ReadWholeFile(e.path()).find(password), std::string::npos) << e.path();
            }
        }
    }

    TTempDir Dir;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
};

TEST_F(Desktop, RemoteSettingsThatWorkShowAnInformationAndAnulujPutsTheFileBack) {
    UseServer();
    const std::string settings = RemoteSettings();
    WriteWholeFile(Dir / "baza.set", settings);
    ASSERT_EQ(::chmod((Dir / "baza.set").c_str(), 0640), 0);
    TDisplay display;
    TProgram program(display, Dir.Path(), Env);
    ASSERT_NO_FATAL_FAILURE(PressTestAndAnswer(program, {{"Informacja", "Return"}}));
    EXPECT_EQ(ReadWholeFile(Dir / "baza.set"), settings);
    struct stat st {};
    ASSERT_EQ(::stat((Dir / "baza.set").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_FALSE(fs::exists(Dir / "baza.set~"));
    ExpectNoPasswordInFiles(FbTestPassword());
}

TEST_F(Desktop, AWrongPasswordShowsAnError) {
    UseServer();
    Env.insert("ZELWAN_SYSKWR_PASSWORD", "zle-haslo-123");
    WriteWholeFile(Dir / "baza.set", RemoteSettings());
    TDisplay display;
    TProgram program(display, Dir.Path(), Env);
    ASSERT_NO_FATAL_FAILURE(PressTestAndAnswer(program, {{"Błąd", "Return"}}));
    ExpectNoPasswordInFiles("zle-haslo-123");
}

// The run command's demonstration data as it comes, in the run command's environment: its baza.set
// (a local database), the system database made on the embedded engine, no password given. The
// program looks for server processes in an empty process tree, so that none is seen whatever the
// machine runs, and the question comes; Alt+N answers "Nie" and the attachment goes through the
// embedded engine.
TEST_F(Desktop, TheDemonstrationSettingsAskAboutTheServerAndNieAttachesThroughTheEmbeddedEngine) {
    fs::create_directories(Dir / "proc");
    Env.insert("ZELWAN_PROC_ROOT", QString::fromStdString(Dir / "proc"));
    Env.remove("ZELWAN_SYSKWR_PASSWORD");
    QProcess demo;
    demo.setProcessEnvironment(Env);
    demo.start("bash", {ZELWAN_SCRIPTS "/make-demo-db.sh", QString::fromStdString(Dir.Path().string())});
    ASSERT_TRUE(demo.waitForFinished(60000));
    ASSERT_EQ(demo.exitCode(), 0) << demo.readAllStandardError().toStdString();
    ASSERT_TRUE(fs::exists(Dir / "BAZA/systemkw.gdb"));
    const std::string settings = ReadWholeFile(Dir / "baza.set");

    TDisplay display;
    TProgram program(display, Dir.Path(), Env,
                     {"bash", "-c",
                      "source \"$1\" \"$2\" && exec \"$3\"", "run",
                      ZELWAN_SCRIPTS "/demo-env.sh", QString::fromStdString(Dir.Path().string())});
    ASSERT_NO_FATAL_FAILURE(PressTestAndAnswer(program, {{"Pytanie", "alt+n"}, {"Informacja", "Return"}}));
    EXPECT_EQ(ReadWholeFile(Dir / "baza.set"), settings);
}

} // namespace
