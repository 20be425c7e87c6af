#include "app/ConsoleCommands.h"

#include "app/ConsoleUserInterface.h"
#include "core/Exception.h"
#include "dberrors/ConnectionDiagnosis.h"
#include "dblayer/KwDatabase.h"
#if __has_include("dblayer/TestDatabaseConnect.h")
#include "dblayer/TestDatabaseConnect.h"
#define ZELWAN_HAS_TEST_DATABASE_CONNECT 1
#else
#include "core/KwUtils.h"
#include "core/UiPort.h"
#include "dblayer/LocalServer.h"
#include "fbclient/FbErrors.h"
#endif
#include "fbclient/FbLibrary.h"
#include "platform/DynamicLibrary.h"
#include "platform/Exit.h"
#include "settings/LokalizacjaBazyFile.h"

#include <QJsonObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace {

// What a successful attachment went through, read while it lasted.
struct TAttachmentInfo {
    std::string ServerVersion;
    std::string NetworkProtocol; // empty: the embedded engine
    std::string LibraryFile;
};

TAttachmentInfo ReadAttachmentInfo(TkwDatabase& database) {
    TAttachmentInfo info;
    const std::string library = FbLibraryFileName(database.LibraryName());
    const std::string path = platform::LoadedModulePath(library);
    info.LibraryFile = path.empty() ? library : path;
    try {
        info.ServerVersion = database.FirebirdVersionText();
        // The context variable is NULL for an attachment that did not come over a network.
        const TFbFieldValue protocol =
            database.QueryValue("select rdb$get_context('SYSTEM', 'NETWORK_PROTOCOL') from rdb$database", 0);
        info.NetworkProtocol = protocol.IsNull ? std::string() : protocol.Text;
    } catch (const std::exception& e) {
        // The attachment worked; what could not be read is said, not taken for a failure.
        info.ServerVersion = "(nie odczytano: " + std::string(e.what()) + ")";
    }
    return info;
}

// Ends the process with exit code 3 when the guarded work has not finished in time. A hanging attach
// cannot be interrupted from outside the client library, so the watchdog reports and leaves at once.
class TWatchdog {
public:
    TWatchdog(int seconds, std::function<void()> report) {
        if (seconds <= 0)
            return;
        FThread = std::thread([this, seconds, report = std::move(report)] {
            std::unique_lock lock(FMutex);
            if (!FDone.wait_for(lock, std::chrono::seconds(seconds), [this] { return FFinished; })) {
                report();
                platform::ExitProcessNow(kExitTimeout);
            }
        });
    }
    ~TWatchdog() {
        {
            std::lock_guard lock(FMutex);
            FFinished = true;
        }
        FDone.notify_all();
        if (FThread.joinable())
            FThread.join();
    }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

private:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FFinished = false;
    std::thread FThread;
};

// Settings a connection test cannot start from; empty when there is none.
std::string SettingsProblem(const TLokalizacjaBazyFile& s) {
    if (!s.RemoteSerwer())
        return {};
    if (s.SerwerName().empty())
        return "Baza na zdalnym serwerze, ale nazwa serwera (SERWER_NAME) jest pusta.";
    if (s.ProtocolName() > npSPX)
        return "Nieznany protokół sieciowy PROTOCOL_NAME=" +
               std::to_string(static_cast<unsigned>(s.ProtocolName())) +
               " (dozwolone 0 TCP, 1 NamedPipe, 2 SPX).";
    return {};
}

int BadSettings(const TCommandLine& command, std::FILE* out, const std::string& settingsFile,
                const std::string& why) {
    if (command.Json)
        WriteJson(out, {{"ok", false},
                        {"exitCode", kExitBadUsage},
                        {"settingsFile", Q(settingsFile)},
                        {"message", Q("Błędne ustawienia: " + why)}});
    else
        WriteText(out, "Błędne ustawienia: " + why + "\n");
    return kExitBadUsage;
}

// The six settings of the suite's system database, in the order the Test command sets them.
template <class T> void CopySettings(const TLokalizacjaBazyFile& settings, T& target) {
    target.SetRemoteSerwer(settings.RemoteSerwer());
    target.SetSerwerName(settings.SerwerName());
    target.SetProtocolName(settings.ProtocolName());
    target.SetDatabaseDir(settings.DatabaseDir());
    target.SetDatabaseFileName(kSystemDatabase);
    target.SetDatabaseFileExt(settings.DatabaseFileExt);
}

// The outcome of the Test command's connection test, and what a terminal reports beside it.
struct TConnectionTestResult {
    bool Ok = false;
    std::string ErrorText; // the failed attachment's message
    int IBErrorCode = 0;
    int SQLCode = 0;
    TAttachmentInfo Info; // a successful attachment only
};

// The connection test of the dialog's Test command on these settings, without its windows: the
// question about a local server goes to the user-interface port, a failure is returned, not shown.
// A failure before the attachment (the server start, the system account's password) leaves it.
TConnectionTestResult RunConnectionTest(const TLokalizacjaBazyFile& settings) {
    TConnectionTestResult result;
#ifdef ZELWAN_HAS_TEST_DATABASE_CONNECT
    TTestDatabaseConnect test;
    CopySettings(settings, test);
    test.OnConnected = [&result](TkwDatabase& database) { result.Info = ReadAttachmentInfo(database); };
    result.Ok = test.Test(false);
    result.ErrorText = test.LastErrorStr();
    result.IBErrorCode = test.LastIBErrorCode();
    result.SQLCode = test.LastSQLCode();
#else
    // Until the dialog's connection test object is in this tree: the same steps over the database
    // component.
    TkwDatabase database;
    if (!settings.RemoteSerwer() && !IsIBRunning() &&
        PytTN("Serwer bazy danych nie jest uruchomiony.^Czy uruchomić?", 100)) {
        StartServer();
        QSleep(2000);
    }
    CopySettings(settings, database);
    database.PrepareParams();
    try {
        database.SetConnected(true);
        result.Ok = true;
        result.Info = ReadAttachmentInfo(database);
    } catch (const Exception& e) {
        result.ErrorText = e.Message();
        if (const auto* server = dynamic_cast<const EFbLibraryError*>(&e)) {
            result.IBErrorCode = server->IBErrorCode();
            result.SQLCode = server->SQLCode();
        }
    }
#endif
    return result;
}

} // namespace

int RunTest(const TCommandLine& command, std::FILE* out) {
    TLokalizacjaBazyFile settings(command.SettingsFile);
    if (!LoadSettings(settings))
        return BadSettings(command, out, settings.FileName(), "nie można odczytać pliku ustawień.");
    if (const std::string problem = SettingsProblem(settings); !problem.empty())
        return BadSettings(command, out, settings.FileName(), problem);
    if (!command.ClientLibrary.empty())
        SetPlatformClientLibrary(command.ClientLibrary);
    const std::string databaseName = SystemDatabaseName(settings);

    const std::string timeoutText = "Przekroczono czas oczekiwania na połączenie z bazą danych (" +
                                    std::to_string(command.TimeoutSeconds) + " s): " + databaseName +
                                    " nie odpowiada.";
    const auto started = std::chrono::steady_clock::now();
    TConnectionTestResult result;
    {
        TWatchdog watchdog(command.TimeoutSeconds, [&] {
            if (command.Json)
                WriteJson(out, {{"ok", false},
                                {"exitCode", kExitTimeout},
                                {"databaseName", Q(databaseName)},
                                {"message", Q(timeoutText)},
                                {"timeoutSeconds", command.TimeoutSeconds}});
            else
                WriteText(out, timeoutText + "\n");
        });
        try {
            result = RunConnectionTest(settings);
        } catch (const EAbort&) {
            throw;
        } catch (const std::exception& e) {
            // Before the attachment: the question, the server start or the system account's password.
            return BadSettings(command, out, settings.FileName(), e.what());
        }
    }
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();

    const TAttachmentInfo& info = result.Info;
    if (result.Ok) {
        const bool embedded = info.NetworkProtocol.empty();
        if (command.Json) {
            WriteJson(out, {{"ok", true},
                            {"exitCode", kExitOk},
                            {"message", "Ustanowiono połączenie z bazą danych."},
                            {"settingsFile", Q(settings.FileName())},
                            {"databaseName", Q(databaseName)},
                            {"serverVersion", Q(info.ServerVersion)},
                            {"attachment", embedded ? "embedded" : "server"},
                            {"networkProtocol", Q(info.NetworkProtocol)},
                            {"clientLibrary", Q(info.LibraryFile)},
                            {"elapsedMs", elapsedMs}});
        } else {
            char ms[32];
            std::snprintf(ms, sizeof ms, "%.0f", elapsedMs);
            WriteText(out, "Ustanowiono połączenie z bazą danych.\nBaza danych: " + databaseName +
                               "\nWersja serwera: " + info.ServerVersion + "\nPołączenie: " +
                               (embedded ? std::string("silnik wbudowany (bez serwera)")
                                         : "przez serwer (" + info.NetworkProtocol + ")") +
                               "\nBiblioteka klienta: " + info.LibraryFile + "\nCzas: " + ms + " ms\n");
        }
        return kExitOk;
    }

    const TConnectDiagnosis diagnosis = DiagnoseConnectFailure(ProbeConnectFailure(
        databaseName, result.IBErrorCode, result.ErrorText, FbLibraryFileName(kDefaultLibraryName)));
    const std::string message = TConsoleUserInterface::PlainText(result.ErrorText);
    if (command.Json) {
        QJsonObject o{{"ok", false},
                      {"exitCode", kExitConnectFailed},
                      {"message", "Błąd podczas łączenia z bazą danych."},
                      {"serverMessage", Q(message)},
                      {"ibErrorCode", result.IBErrorCode},
                      {"sqlCode", result.SQLCode},
                      {"settingsFile", Q(settings.FileName())},
                      {"databaseName", Q(databaseName)},
                      {"elapsedMs", elapsedMs}};
        if (!diagnosis.Text.empty())
            o.insert("diagnosis", Q(diagnosis.Text));
        WriteJson(out, o);
    } else {
        std::string text =
            "Błąd podczas łączenia z bazą danych.\nBaza danych: " + databaseName + "\n" + message + "\n";
        if (!diagnosis.Text.empty())
            text += "Przyczyna: " + diagnosis.Text + "\n";
        WriteText(out, text);
    }
    return kExitConnectFailed;
}
