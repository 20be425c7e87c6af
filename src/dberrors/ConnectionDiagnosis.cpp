#include "dberrors/ConnectionDiagnosis.h"

#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"
#include "platform/DynamicLibrary.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

namespace {

// The server's status codes that a failed attachment starts with (the names of ibase.h).
constexpr int isc_bad_db_format = 335544323;
constexpr int isc_io_error = 335544344;
constexpr int isc_sys_request = 335544373;
constexpr int isc_unavailable = 335544375;
constexpr int isc_no_lock_mgr = 335544424;
constexpr int isc_lockmanerr = 335544432;
constexpr int isc_login = 335544472;
constexpr int isc_net_lookup_err = 335544704;
constexpr int isc_network_error = 335544721;
constexpr int isc_net_connect_err = 335544722;
constexpr int isc_io_open_err = 335544734;
constexpr int isc_io_access_err = 335544739;
constexpr int isc_lock_dir_access = 335544992;
constexpr int isc_login_error = 335545106;

bool IsFileCode(int code) {
    return code == isc_io_error || code == isc_io_open_err || code == isc_io_access_err;
}

bool Contains(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string Quoted(const std::string& s) {
    return "„" + s + "”";
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

} // namespace

TDatabaseAddress ParseDatabaseName(const std::string& name) {
    TDatabaseAddress a;
    if (name.size() > 2 && name[0] == '\\' && name[1] == '\\') {
        const auto sep = name.find('\\', 2);
        a.Host = name.substr(2, sep == std::string::npos ? std::string::npos : sep - 2);
        a.Path = sep == std::string::npos ? std::string() : name.substr(sep + 1);
        return a;
    }
    // A local path begins with a separator or names no server before its first ':' or '@'.
    if (name.empty() || name[0] == '/')
        return a.Path = name, a;
    const auto colon = name.find(':');
    const auto at = name.find('@');
    if (colon != std::string::npos && colon > 0 && (at == std::string::npos || colon < at)) {
        std::string host = name.substr(0, colon);
        a.Tcp = true;
        a.Port = kFirebirdPort;
        a.Path = name.substr(colon + 1);
        const auto slash = host.find('/');
        if (slash != std::string::npos) {
            const std::string service = host.substr(slash + 1);
            host.resize(slash);
            // A service name stands for the port the services database gives it; the suite's
            // servers use the default one.
            if (AllDigits(service) && service.size() <= 5)
                a.Port = std::stoi(service);
        }
        a.Host = host;
        return a;
    }
    if (at != std::string::npos && at > 0) {
        a.Host = name.substr(0, at);
        a.Path = name.substr(at + 1);
        return a;
    }
    a.Path = name;
    return a;
}

bool IsConnectFailureCode(int code) {
    switch (code) {
    case 0:
    case isc_bad_db_format:
    case isc_io_error:
    case isc_sys_request:
    case isc_unavailable:
    case isc_no_lock_mgr:
    case isc_lockmanerr:
    case isc_login:
    case isc_net_lookup_err:
    case isc_network_error:
    case isc_net_connect_err:
    case isc_io_open_err:
    case isc_io_access_err:
    case isc_lock_dir_access:
    case isc_login_error:
        return true;
    default:
        return false;
    }
}

TConnectDiagnosis DiagnoseConnectFailure(const TConnectFacts& f) {
    const bool remote = !f.Address.Host.empty();
    if (!f.LibraryLoads)
        return {cfLibraryMissing,
                "Nie można załadować biblioteki klienta Firebird " + Quoted(f.LibraryFile) +
                    ": zainstaluj pakiet libfbclient2 (sudo apt-get install libfbclient2) albo wskaż "
                    "istniejący plik biblioteki."};
    if (remote && !f.HostResolves)
        return {cfHostUnknown, "Nazwa serwera " + Quoted(f.Address.Host) +
                                   " nie wskazuje żadnego adresu: popraw nazwę serwera w ustawieniach albo "
                                   "wpisz ją do DNS lub do /etc/hosts."};
    if (remote && f.Address.Tcp && f.Port != platform::TPortState::psOpen) {
        const std::string where =
            "na porcie " + std::to_string(f.Address.Port) + " serwera " + Quoted(f.Address.Host);
        if (f.Port == platform::TPortState::psRefused)
            return {cfNoListener, "Nic nie przyjmuje połączeń " + where +
                                      ": uruchom tam serwer Firebird albo popraw nazwę serwera lub port."};
        return {cfNoListener, "Nic nie odpowiada " + where + " w ciągu " + std::to_string(f.PortTimeoutMs) +
                                  " ms: sprawdź, czy serwer Firebird tam działa i czy zapora sieciowa "
                                  "przepuszcza połączenia na ten port."};
    }
    if (f.IBErrorCode == isc_login || f.IBErrorCode == isc_login_error)
        return {cfLogin, "Serwer odrzucił użytkownika lub hasło konta systemowego: sprawdź hasło podane w "
                         "ZELWAN_SYSKWR_PASSWORD lub w pliku syskwr.password i czy to konto jest założone "
                         "na serwerze."};
    // The embedded engine opens its lock files before the database, so a lock directory it may not
    // write fails every local attachment whatever the file.
    if (!remote && (!f.LockDirWritable || f.IBErrorCode == isc_lock_dir_access) &&
        (IsFileCode(f.IBErrorCode) || f.IBErrorCode == isc_lock_dir_access ||
         f.IBErrorCode == isc_no_lock_mgr || f.IBErrorCode == isc_lockmanerr ||
         f.IBErrorCode == isc_sys_request))
        return {cfLockDir, "Silnik wbudowany nie może pisać w katalogu blokad " + Quoted(f.LockDir) +
                               ": dodaj użytkownika " + Quoted(f.UserName) +
                               " do grupy firebird (sudo adduser " + f.UserName +
                               " firebird) i zaloguj się ponownie."};
    if (IsFileCode(f.IBErrorCode) &&
        (remote ? Contains(f.Message, "No such file or directory") : !f.LocalFileExists))
        return {cfFileMissing,
                "Pliku bazy danych " + Quoted(f.Address.Path) + " nie ma pod tą ścieżką " +
                    (remote ? "na serwerze " + Quoted(f.Address.Host) : std::string("na tym komputerze")) +
                    ": popraw katalog bazy danych lub rozszerzenie pliku w ustawieniach."};
    return {};
}

TConnectFacts ProbeConnectFailure(const std::string& databaseName, int ibErrorCode,
                                  const std::string& message, const std::string& libraryFile,
                                  int portTimeoutMs) {
    TConnectFacts f;
    f.IBErrorCode = ibErrorCode;
    f.Message = message;
    f.Address = ParseDatabaseName(databaseName);
    f.LibraryFile = libraryFile;
    {
        platform::TDynamicLibrary library;
        f.LibraryLoads = library.Load(libraryFile);
    }
    if (!f.LibraryLoads)
        return f;
    if (!f.Address.Host.empty()) {
        f.HostResolves = platform::HostResolves(f.Address.Host);
        if (f.HostResolves && f.Address.Tcp) {
            f.PortTimeoutMs = portTimeoutMs;
            f.Port = platform::ProbeTcpPort(f.Address.Host, f.Address.Port, portTimeoutMs);
        }
    } else {
        f.LockDir = platform::FirebirdLockDir();
        f.LockDirWritable = platform::DirectoryWritable(f.LockDir);
        f.LocalFileExists = FileExists(f.Address.Path);
        f.UserName = platform::CurrentUserName();
    }
    return f;
}

std::string ConnectionDiagnosis(const std::string& databaseName, int ibErrorCode, const std::string& message,
                                const std::string& libraryFile) {
    if (!IsConnectFailureCode(ibErrorCode))
        return {};
    return DiagnoseConnectFailure(ProbeConnectFailure(databaseName, ibErrorCode, message, libraryFile)).Text;
}

std::string ConnectionDiagnosis(const EFbError& error, const std::string& databaseName,
                                const TFbCustomDatabase* database) {
    return ConnectionDiagnosis(databaseName, error.IBErrorCode(), error.Message(),
                               FbLibraryFileName(database ? database->LibraryName() : kDefaultLibraryName));
}
