#include "dblayer/TestDatabaseConnect.h"

#include "core/Exception.h"
#include "core/KwUtils.h"
#include "core/UiPort.h"
#include "dblayer/KwDatabase.h"
#include "dblayer/LocalServer.h"
#include "fbclient/FbErrors.h"

namespace {
constexpr const char* sSerwerNieUruchomiony = "Serwer bazy danych nie jest uruchomiony.^Czy uruchomić?";
constexpr const char* sBladLaczenia = "Błąd podczas łączenia z bazą danych.\r";
// How long a started server is given before the attachment.
constexpr int kServerStartWait = 2000;

bool ShouldStartServer(TLocalServerStart choice) {
    switch (choice) {
    case lsAsk:
        return PytTN(sSerwerNieUruchomiony, 100);
    case lsStart:
        return true;
    case lsNoStart:
        return false;
    }
    return false;
}
} // namespace

bool TTestDatabaseConnect::Test(bool showError) {
    bool result = false;
    FLastErrorStr.clear();
    FLastIBErrorCode = 0;
    FLastSQLCode = 0;
    ShowKlepsydra();
    struct THideKlepsydra {
        ~THideKlepsydra() { HideKlepsydra(); }
    } hideKlepsydra;
    // Declared after the guard, so it is released (an attached one detaches) before the cursor goes.
    TkwDatabase database;

    if (!FRemoteSerwer && !IsIBRunning() && ShouldStartServer(FLocalServerStart)) {
        // Whether the start worked is not asked: its failure has been shown, the attachment tells the rest.
        ::StartServer();
        QSleep(kServerStartWait);
    }
    database.SetRemoteSerwer(FRemoteSerwer);
    database.SetSerwerName(FSerwerName);
    database.SetProtocolName(FProtocolName);
    database.SetDatabaseDir(FDatabaseDir);
    database.SetDatabaseFileName(FDatabaseFileName);
    database.SetDatabaseFileExt(FDatabaseFileExt);
    database.PrepareParams();
    try {
        database.SetConnected(true);
        result = true;
        if (OnConnected)
            OnConnected(database);
    } catch (const Exception& e) {
        FLastErrorStr = e.Message();
        if (const auto* server = dynamic_cast<const EFbLibraryError*>(&e)) {
            FLastIBErrorCode = server->IBErrorCode();
            FLastSQLCode = server->SQLCode();
        }
        if (showError)
            BladOk(sBladLaczenia + e.Message(), 100);
    }
    return result;
}
