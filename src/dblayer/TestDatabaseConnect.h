#pragma once
// The connection test: can the suite's database be reached with these settings? It takes the six
// connection settings, offers to start the local Firebird server when the database is local and no
// server runs, attaches as the system account through a database component of its own, detaches
// again, and tells the outcome: the result of Test, the message and codes of the failure, and (when
// asked) an error window.
//
// The connection dialog's Test command fills one per press and shows its own success message. A
// caller without windows runs Test(false) with the question answered in advance (SetLocalServerStart);
// the wait cursor still goes through the user-interface port, so such a caller installs one.

#include "settings/LokalizacjaBazyFile.h"

#include <cstdint>
#include <functional>
#include <string>

class TkwDatabase;

// What Test does about a local server that does not run, before it attaches.
enum TLocalServerStart : std::uint8_t {
    lsAsk,     // asks "Serwer bazy danych nie jest uruchomiony.^Czy uruchomić?"; "Tak" starts it
    lsStart,   // starts it without asking, as on "Tak"
    lsNoStart, // neither asks nor starts, as on "Nie"
};

class TTestDatabaseConnect {
public:
    TTestDatabaseConnect() = default;

    bool RemoteSerwer() const noexcept { return FRemoteSerwer; }
    void SetRemoteSerwer(bool value) { FRemoteSerwer = value; }
    // The host name of a remote server; "host/port" names another port than the server's default.
    const std::string& SerwerName() const noexcept { return FSerwerName; }
    void SetSerwerName(std::string value) { FSerwerName = std::move(value); }
    TIBNetProtocol ProtocolName() const noexcept { return FProtocolName; }
    void SetProtocolName(TIBNetProtocol value) { FProtocolName = value; }
    const std::string& DatabaseDir() const noexcept { return FDatabaseDir; }
    void SetDatabaseDir(std::string value) { FDatabaseDir = std::move(value); }
    // With or without its extension: DatabaseFileExt is appended to a name without any dot.
    const std::string& DatabaseFileName() const noexcept { return FDatabaseFileName; }
    void SetDatabaseFileName(std::string value) { FDatabaseFileName = std::move(value); }
    const std::string& DatabaseFileExt() const noexcept { return FDatabaseFileExt; }
    void SetDatabaseFileExt(std::string value) { FDatabaseFileExt = std::move(value); }
    // lsAsk unless set: the question window of the dialog.
    TLocalServerStart LocalServerStart() const noexcept { return FLocalServerStart; }
    void SetLocalServerStart(TLocalServerStart value) { FLocalServerStart = value; }

    // Attaches to the database and detaches again; True when the attachment succeeded. A failing
    // attachment (any Exception, the client library's load included) is kept in LastErrorStr and,
    // with showError, shown as "Błąd podczas łączenia z bazą danych." and the message on the next
    // line; Test then returns False. A failure before the attachment (the question window, the
    // server start, the system account's password) is not caught: it leaves Test. The wait cursor
    // is shown meanwhile and put back as it was on every path. A "Tak" (or lsStart) is followed by
    // a 2-second wait for the server, whether it started or not.
    bool Test(bool showError);

    // Called while the test's attachment lasts, after it succeeded: a caller reads what it needs of
    // the attachment (a terminal: the server version and the route) before it is closed.
    std::function<void(TkwDatabase&)> OnConnected;

    // The message of the last failed attachment; empty after a successful Test.
    const std::string& LastErrorStr() const noexcept { return FLastErrorStr; }
    // The server's status code and SQL code of the last failed attachment; 0 after a successful Test
    // and for a failure that no server reported (the client library missing, a rule of the layer).
    int LastIBErrorCode() const noexcept { return FLastIBErrorCode; }
    int LastSQLCode() const noexcept { return FLastSQLCode; }

private:
    bool FRemoteSerwer = false;
    std::string FSerwerName;
    std::string FDatabaseDir;
    TIBNetProtocol FProtocolName = npTCP;
    std::string FDatabaseFileName;
    std::string FLastErrorStr;
    std::string FDatabaseFileExt;
    TLocalServerStart FLocalServerStart = lsAsk;
    int FLastIBErrorCode = 0;
    int FLastSQLCode = 0;
};
