// The program's terminal commands, run as the built program in a process of its own against the
// private Firebird test server: every exit code, every diagnosis that can be brought about here, and
// never the password in what it prints.

#include "FbTestServer.h"
#include "TestUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct TRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
    double Seconds = 0;
};

using TEnv = std::map<std::string, std::optional<std::string>>;

// Runs the program with args; the environment is this process's without a display (so a window
// could not open: QT_QPA_PLATFORM names the X11 platform, which fails at once without one), changed
// by env (nullopt removes a variable).
TRun RunZelwan(const std::vector<std::string>& args, const TEnv& env,
               const std::string& program = ZELWAN_PROGRAM) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string kv = *e;
        const auto eq = kv.find('=');
        vars[kv.substr(0, eq)] = eq == std::string::npos ? "" : kv.substr(eq + 1);
    }
    vars.erase("DISPLAY");
    vars.erase("WAYLAND_DISPLAY");
    vars["QT_QPA_PLATFORM"] = "xcb";
    for (const auto& [k, v] : env)
        if (v)
            vars[k] = *v;
        else
            vars.erase(k);
    std::vector<std::string> envText;
    for (const auto& [k, v] : vars)
        envText.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envText)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argText{program};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argText)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    TTempDir io;
    const std::string out = io / "out", err = io / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    TRun run;
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + program);
    int status = 0;
    waitpid(pid, &status, 0);
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.Out = ReadWholeFile(out);
    run.Err = ReadWholeFile(err);
    return run;
}

QJsonObject Json(const TRun& run) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.Out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << run.Out;
    EXPECT_TRUE(doc.isObject()) << run.Out;
    return doc.object();
}

std::string Str(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString().toStdString();
}

bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

// A workstation of the test's own: its settings file, registry, configuration directory, and the
// suite's system database on the private server.
class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Dir.Path() / "BAZA");
        std::filesystem::permissions(Dir.Path(), std::filesystem::perms::all);
        std::filesystem::permissions(Dir.Path() / "BAZA", std::filesystem::perms::all);
        Env = {{"ZELWAN_SYSKWR_PASSWORD", FbTestPassword()},
               {"ZELWAN_REGISTRY_USER", Dir / "user.reg"},
               {"ZELWAN_REGISTRY_MACHINE", Dir / "machine.reg"},
               {"XDG_CONFIG_HOME", Dir / "config"}};
        for (const auto& [k, v] : FbTestServer().Environment())
            Env[k] = v;
    }

    // The system database on the private server, made once per test that needs it.
    std::string MakeSystemDatabase() {
        const std::string path = Dir / "BAZA/systemkw.gdb";
        CreateFbTestDatabase(FbTestServer(), path);
        return path;
    }

    // Settings of a remote TCP server; server "127.0.0.1/port" unless given.
    std::string RemoteSettings(const std::string& server, const std::string& dir) {
        const std::string file = Dir / "baza.set";
        WriteWholeFile(file, "[MAIN]\nREMOTE=1\nSERWER_NAME=" + server + "\nPROTOCOL_NAME=0\nDATABASE_DIR=" +
                                 dir + "\nSHARED_DIR=" + Dir.Path().string() + "\n");
        return file;
    }
    std::string ServerName() const { return "127.0.0.1/" + std::to_string(FbTestServer().Port()); }

    // Runs --test on the settings, once as text and once as JSON; the JSON is returned parsed.
    QJsonObject TestBothWays(const std::string& settings, int exitCode,
                             const std::vector<std::string>& extra = {}, TRun* textRun = nullptr,
                             const TEnv& env = {}) {
        TEnv e = Env;
        for (const auto& [k, v] : env)
            e[k] = v;
        std::vector<std::string> args{"--test", "--settings", settings};
        args.insert(args.end(), extra.begin(), extra.end());
        const TRun text = RunZelwan(args, e);
        EXPECT_EQ(text.Exit, exitCode) << text.Out << text.Err;
        args.push_back("--json");
        const TRun json = RunZelwan(args, e);
        EXPECT_EQ(json.Exit, exitCode) << json.Out << json.Err;
        for (const TRun* r : {&text, &json}) {
            EXPECT_FALSE(Has(r->Out, FbTestPassword())) << "the password in the output";
            EXPECT_FALSE(Has(r->Err, FbTestPassword())) << "the password in the error stream";
        }
        if (textRun)
            *textRun = text;
        const QJsonObject o = Json(json);
        EXPECT_EQ(o.value("exitCode").toInt(-1), exitCode);
        return o;
    }

    TTempDir Dir;
    TEnv Env;
};

} // namespace

TEST_F(Cli, HelpVersionAndUsage) {
    const TRun help = RunZelwan({"--help"}, Env);
    EXPECT_EQ(help.Exit, 0);
    for (const char* option : {"--show", "--test", "--settings", "--json", "--start-server", "--timeout",
                               "--client-library", "--help", "--version"})
        EXPECT_TRUE(Has(help.Out, option)) << option;
    EXPECT_TRUE(Has(help.Out, "Użycie")) << help.Out;
    const TRun version = RunZelwan({"--version"}, Env);
    EXPECT_EQ(version.Exit, 0);
    EXPECT_TRUE(Has(version.Out, "zelwan ")) << version.Out;

    const std::vector<std::vector<std::string>> wrong = {
        {"--test", "--bogus"},
        {"--show", "--test"},
        {"--test", "--timeout"},
        {"--test", "--timeout", "0"},
        {"--test", "--timeout", "1x"},
        {"--show", "--start-server"},
        {"--json"},
        {"--test", "--settings"},
    };
    for (const auto& args : wrong) {
        const TRun r = RunZelwan(args, Env);
        EXPECT_EQ(r.Exit, 2) << args[0] << " " << args[1] << ": " << r.Err;
        EXPECT_TRUE(Has(r.Err, "zelwan --help")) << r.Err;
    }
}

TEST_F(Cli, ShowBesideTheProgramAndFromAnotherFile) {
    // A copy of the program alone in a directory reads the baza.set beside it, or the defaults.
    std::filesystem::create_directory(Dir.Path() / "alone");
    const std::string copy = Dir / "alone/zelwan";
    std::filesystem::copy_file(ZELWAN_PROGRAM, copy);
    const TRun fresh = RunZelwan({"--show"}, Env, copy);
    ASSERT_EQ(fresh.Exit, 0) << fresh.Err;
    const std::string alone = Dir / "alone";
    EXPECT_TRUE(Has(fresh.Out, "Plik ustawień: " + alone + "/baza.set")) << fresh.Out;
    EXPECT_TRUE(Has(fresh.Out, "DATABASE_DIR=" + alone + "/BAZA    ; domyślna (brak klucza w pliku)"))
        << fresh.Out;
    EXPECT_TRUE(Has(fresh.Out, "Nazwa bazy danych: localhost:" + alone + "/BAZA/systemkw.gdb")) << fresh.Out;
    EXPECT_FALSE(std::filesystem::exists(alone + "/baza.set")) << "--show writes nothing";

    // Another file, with a value the rules replace and one they keep; the registry key exists.
    const std::string file = Dir / "other.set";
    WriteWholeFile(file, "[MAIN]\nREMOTE=0\nSERWER_NAME=\nPROTOCOL_NAME=xyz\nDATABASE_DIR=/dane/baza\n"
                         "SHARED_DIR=/dane/wspolny\nDATABASE_FILE_EXT=\n");
    WriteWholeFile(Dir / "user.reg",
                   "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\VRL]\n");
    const std::string before = ReadWholeFile(file);
    const TRun text = RunZelwan({"--show", "--settings", file}, Env);
    ASSERT_EQ(text.Exit, 0) << text.Err;
    EXPECT_TRUE(Has(text.Out, "REMOTE=0    ; z pliku")) << text.Out;
    EXPECT_TRUE(Has(text.Out, "SERWER_NAME=    ; z pliku")) << text.Out;
    EXPECT_TRUE(Has(text.Out, "PROTOCOL_NAME=0    ; domyślna (w pliku „xyz”, wartość nie do użycia)"))
        << text.Out;
    EXPECT_TRUE(Has(text.Out, "PROFIL_DIR=/dane/wspolny    ; domyślna")) << text.Out;
    EXPECT_TRUE(Has(text.Out, "DATABASE_FILE_EXT=.gdb    ; domyślna")) << text.Out;
    EXPECT_TRUE(Has(text.Out, "Nazwa bazy danych: /dane/baza/systemkw.gdb")) << text.Out;
    EXPECT_TRUE(Has(text.Out, "Wartość rejestru sciezka_baza: /dane/baza  (zapisywana")) << text.Out;
    EXPECT_EQ(ReadWholeFile(file), before);

    const QJsonObject o = Json(RunZelwan({"--show", "--json", "--settings", file}, Env));
    EXPECT_EQ(Str(o, "databaseName"), "/dane/baza/systemkw.gdb");
    EXPECT_EQ(Str(o, "registryValue"), "/dane/baza");
    EXPECT_TRUE(o.value("registryWritten").toBool());
    const QJsonArray keys = o.value("keys").toArray();
    ASSERT_EQ(keys.size(), 7);
    EXPECT_EQ(Str(keys[2].toObject(), "key"), "PROTOCOL_NAME");
    EXPECT_EQ(Str(keys[2].toObject(), "source"), "default");
    EXPECT_EQ(Str(keys[2].toObject(), "fileText"), "xyz");
    EXPECT_EQ(Str(keys[3].toObject(), "source"), "file");
}

TEST_F(Cli, SuccessThroughTheServer) {
    MakeSystemDatabase();
    TRun text;
    const QJsonObject o = TestBothWays(RemoteSettings(ServerName(), Dir / "BAZA"), 0, {}, &text);
    EXPECT_TRUE(o.value("ok").toBool());
    EXPECT_EQ(Str(o, "attachment"), "server");
    EXPECT_EQ(Str(o, "networkProtocol"), "TCPv4");
    EXPECT_TRUE(Has(Str(o, "serverVersion"), "3.0")) << Str(o, "serverVersion");
    EXPECT_TRUE(Has(Str(o, "clientLibrary"), "libfbclient.so")) << Str(o, "clientLibrary");
    EXPECT_EQ(Str(o, "clientLibrary").front(), '/') << "the file the loader took";
    EXPECT_GT(o.value("elapsedMs").toDouble(), 0);
    EXPECT_TRUE(Has(text.Out, "Ustanowiono połączenie z bazą danych.")) << text.Out;
    EXPECT_TRUE(Has(text.Out, "Połączenie: przez serwer (TCPv4)")) << text.Out;
    EXPECT_TRUE(Has(text.Out, "Czas: ")) << text.Out;
}

TEST_F(Cli, SuccessThroughTheEmbeddedEngineAfterTheQuestion) {
    MakeSystemDatabase();
    const std::string file = Dir / "baza.set";
    WriteWholeFile(file, "[MAIN]\nREMOTE=0\nDATABASE_DIR=" + (Dir / "BAZA") + "\n");
    // No server process to be seen: the question is asked and answered "Nie", then the attach runs.
    std::filesystem::create_directory(Dir.Path() / "proc");
    TRun text;
    const QJsonObject o = TestBothWays(file, 0, {}, &text, {{"ZELWAN_PROC_ROOT", Dir / "proc"}});
    EXPECT_EQ(Str(o, "attachment"), "embedded");
    EXPECT_TRUE(Has(text.Err, "Serwer bazy danych nie jest uruchomiony.\nCzy uruchomić? Nie")) << text.Err;
    EXPECT_TRUE(Has(text.Out, "Połączenie: silnik wbudowany")) << text.Out;
}

TEST_F(Cli, StartServerAnswersTak) {
    // The installation named here has no server: the start fails with its message, the test goes on.
    WriteWholeFile(Dir / "machine.reg",
                   "Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Firebird Project\\Firebird Server\\Instances]\n"
                   "\"DefaultInstance\"=\"" +
                       (Dir / "nofb/") + "\"\n");
    const std::string file = Dir / "baza.set";
    WriteWholeFile(file, "[MAIN]\nREMOTE=0\nDATABASE_DIR=" + (Dir / "BAZA") + "\n");
    std::filesystem::create_directory(Dir.Path() / "proc");
    TEnv env = Env;
    env["ZELWAN_PROC_ROOT"] = Dir / "proc";
    const TRun r = RunZelwan({"--test", "--start-server", "--settings", file}, env);
    EXPECT_EQ(r.Exit, 1) << r.Out << r.Err; // there is no database file either
    EXPECT_TRUE(Has(r.Err, "Czy uruchomić? Tak")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "Nie udało się uruchomić serwera FireBird.")) << r.Err;
    EXPECT_GE(r.Seconds, 2.0) << "the wait for the server follows every Tak";
}

// Each failure the probes can tell apart, with the server's message kept in full beside it.
TEST_F(Cli, FailuresAndTheirDiagnosis) {
    MakeSystemDatabase();
    TLoopbackSocket closed(false);
    TTempDir unwritable;
    WriteWholeFile(unwritable / "file", "");
    struct Row {
        const char* Name;
        std::string Server; // empty: a local database in DatabaseDir
        std::string DatabaseDir;
        std::vector<std::string> Extra;
        TEnv Env;
        const char* Diagnosis;
        const char* ServerMessage; // a part of the server's own message
    };
    const std::string base = Dir / "BAZA";
    const Row rows[] = {
        {"nothing listens",
         "127.0.0.1/" + std::to_string(closed.Port()),
         base,
         {},
         {},
         "Nic nie przyjmuje połączeń na porcie",
         "Unable to complete network request"},
        {"wrong password",
         ServerName(),
         base,
         {},
         {{"ZELWAN_SYSKWR_PASSWORD", "nie-to-haslo"}},
         "Serwer odrzucił użytkownika lub hasło",
         "Your user name and password are not defined"},
        {"missing file",
         ServerName(),
         Dir / "NIEMA",
         {},
         {},
         "nie ma pod tą ścieżką na serwerze",
         "No such file or directory"},
        // A lock directory that cannot be made, for root as for anyone: its parent is a file.
        {"lock directory",
         "",
         base,
         {},
         {{"FIREBIRD_LOCK", unwritable / "file/lock"}, {"ZELWAN_PROC_ROOT", Dir / "proc"}},
         "nie może pisać w katalogu blokad",
         ""},
        {"missing client library",
         ServerName(),
         base,
         {"--client-library", "/nonexistent/libfbclient.so.9"},
         {},
         "Nie można załadować biblioteki klienta Firebird „/nonexistent/libfbclient.so.9”",
         "Can't load library"},
        {"unresolvable host", "nosuchhost.invalid", base, {}, {}, "Nazwa serwera „nosuchhost.invalid”", ""},
    };
    std::filesystem::create_directory(Dir.Path() / "proc");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Name);
        std::string settings;
        if (r.Server.empty()) {
            settings = Dir / "local.set";
            WriteWholeFile(settings, "[MAIN]\nREMOTE=0\nDATABASE_DIR=" + r.DatabaseDir + "\n");
        } else {
            settings = RemoteSettings(r.Server, r.DatabaseDir);
        }
        TRun text;
        const QJsonObject o = TestBothWays(settings, 1, r.Extra, &text, r.Env);
        EXPECT_FALSE(o.value("ok").toBool());
        EXPECT_TRUE(Has(Str(o, "diagnosis"), r.Diagnosis)) << Str(o, "diagnosis");
        EXPECT_TRUE(Has(Str(o, "serverMessage"), r.ServerMessage)) << Str(o, "serverMessage");
        EXPECT_FALSE(Str(o, "serverMessage").empty());
        EXPECT_TRUE(Has(text.Out, "Błąd podczas łączenia z bazą danych.")) << text.Out;
        EXPECT_TRUE(Has(text.Out, "Przyczyna: " + Str(o, "diagnosis") + "\n")) << text.Out;
        EXPECT_TRUE(Has(text.Out, Str(o, "serverMessage"))) << "the server's message in full";
    }
}

TEST_F(Cli, BadSettings) {
    const std::string file = Dir / "baza.set";
    WriteWholeFile(file, "[MAIN]\nREMOTE=1\nSERWER_NAME=\n");
    QJsonObject o = TestBothWays(file, 2);
    EXPECT_TRUE(Has(Str(o, "message"), "SERWER_NAME")) << Str(o, "message");
    WriteWholeFile(file, "[MAIN]\nREMOTE=1\nSERWER_NAME=srv\nPROTOCOL_NAME=7\n");
    o = TestBothWays(file, 2);
    EXPECT_TRUE(Has(Str(o, "message"), "PROTOCOL_NAME=7")) << Str(o, "message");
    // No password from the credential source: nothing is attempted.
    o = TestBothWays(RemoteSettings(ServerName(), Dir / "BAZA"), 2, {}, nullptr,
                     {{"ZELWAN_SYSKWR_PASSWORD", std::nullopt}});
    EXPECT_TRUE(Has(Str(o, "message"), "ZELWAN_SYSKWR_PASSWORD")) << Str(o, "message");
    // A settings file that cannot be read (a directory).
    o = TestBothWays(Dir / "BAZA", 2);
}

TEST_F(Cli, TimeoutOnAServerThatNeverAnswers) {
    TLoopbackSocket silent(true);
    const std::string settings = RemoteSettings("127.0.0.1/" + std::to_string(silent.Port()), Dir / "BAZA");
    TRun text;
    const QJsonObject o = TestBothWays(settings, 3, {"--timeout", "1"}, &text);
    EXPECT_TRUE(Has(Str(o, "message"), "Przekroczono czas oczekiwania")) << Str(o, "message");
    EXPECT_TRUE(Has(text.Out, "Przekroczono czas oczekiwania na połączenie z bazą danych (1 s)")) << text.Out;
    EXPECT_LT(text.Seconds, 10.0);
}
