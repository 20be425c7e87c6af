#include "dblayer/LocalServer.h"

#include "core/FileSys.h"
#include "core/KwUtils.h"
#include "core/UiPort.h"
#include "platform/FirebirdInstance.h"
#include "platform/Processes.h"
#include "platform/Registry.h"

namespace {
constexpr const char* sFBNieZainstalowany = "Server FireBird nie jest zainstalowany na tym komputerze.";
constexpr const char* sFBNieUruchomiony = "Nie udało się uruchomić serwera FireBird.";
constexpr const char* sPodajKatalogSerwera = "Podaj katalog serwera bazy danych";

TProcessLookup& ProcessLookup() {
    static TProcessLookup lookup;
    return lookup;
}

bool Running(const std::string& exeName) {
    const TProcessLookup& lookup = ProcessLookup();
    return lookup ? lookup(exeName) : platform::ProcessRunning(exeName);
}

bool StartInstalledServer() {
    std::string dir;
    if (!GetFBServerDir(dir, true, false))
        return false;
    // The installer stores the directory with its separator at the end; it is glued to the
    // executable as it stands, and an empty one leaves the name to be found in the current directory.
    // The whole text is the executable's path: nothing in it is split at blanks or read by a shell.
    if (platform::SpawnProcess(dir + platform::kFirebirdServerExe, {"-a"}) > 0)
        return true;
    ShowErrorBox(sFBNieUruchomiony);
    return false;
}
} // namespace

TProcessLookup SetProcessLookup(TProcessLookup lookup) {
    TProcessLookup before = std::move(ProcessLookup());
    ProcessLookup() = std::move(lookup);
    return before;
}

bool GetFBServerDir(std::string& dir, bool showMessage, bool askDirectory) {
    bool found = false;
    platform::TRegistry reg(platform::TRootKey::HKEY_LOCAL_MACHINE);
    if (reg.OpenKey(platform::kFirebirdInstancesKey, false)) {
        dir = reg.ValueExists(platform::kFirebirdDefaultInstance)
                  ? reg.ReadString(platform::kFirebirdDefaultInstance)
                  : std::string();
        found = true;
    }
    if (!found && askDirectory) {
        dir = SelDir("", false, "", sPodajKatalogSerwera);
        found = FileExists(MakeFileName(dir, platform::kFirebirdServerExe));
    }
    if (!found && showMessage)
        ShowErrorBox(sFBNieZainstalowany);
    return found;
}

bool IsIBRunning() {
    return Running(kInterBaseServerProcess) || Running(kFirebirdServerProcess);
}

bool StartServer() {
    ShowKlepsydra();
    bool result = false;
    try {
        result = StartInstalledServer();
    } catch (...) {
        HideKlepsydra();
        throw;
    }
    HideKlepsydra();
    return result;
}
