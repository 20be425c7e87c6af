#pragma once
// Helpers of the database-layer tests: a database of the test's own on the private test server, the
// system account's password for the credential source, a pushed error-handling mode, and the search
// for the password in everything the layer showed, raised or wrote.

#include "FakeUi.h"
#include "FbTestServer.h"
#include "TestUtil.h"
#include "dberrors/DbErrorHandler.h"
#include "dblayer/KwDatabase.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Sets an environment variable for one test (nullopt unsets it) and puts the old state back.
class TEnvVar {
public:
    TEnvVar(const char* name, const std::optional<std::string>& value);
    ~TEnvVar();
    TEnvVar(const TEnvVar&) = delete;
    TEnvVar& operator=(const TEnvVar&) = delete;

private:
    std::string FName;
    std::optional<std::string> FSaved;
};

// The credential source gives the test server's password for one test.
class TSystemPassword : public TEnvVar {
public:
    TSystemPassword();
};

// Pushes an error-handling mode for one test.
class TMode {
public:
    explicit TMode(TkwDbErrorHandlingType type) { DbErrorHandlingTypeStack().AddTop(type); }
    ~TMode() { DbErrorHandlingTypeStack().DeleteTop(); }
    TMode(const TMode&) = delete;
    TMode& operator=(const TMode&) = delete;
};

// A database file of the test's own, created on the shared test server with the given schema.
struct TLayerDatabase {
    explicit TLayerDatabase(const std::vector<std::string>& schema = {});
    std::string TcpName() const;
    std::string Query(const std::string& sql) const;
    void Execute(const std::vector<std::string>& statements) const;

    TTempDir Dir;
    std::string FileName = "test.fdb";
    std::string Path;
};

// Fills the six settings as the connection test does for a remote TCP server ("127.0.0.1/port",
// the file's directory and name) and prepares the parameters.
void PrepareFor(TkwDatabase& database, const TLayerDatabase& db);

// What the caller got from an operation: the class of what it raised and its message.
enum TRaised { rsNothing, rsAbort, rsKwDbError, rsPlainException, rsOther };
struct TOutcome {
    TRaised Raised = rsNothing;
    std::string Message;
    int IBErrorCode = 0;
    std::string PolMessage;
};
TOutcome Outcome(const std::function<void()>& action);

// The routes of a failure through the exception handler: the mode and options of the guarded
// operation, whether the user sees the database error window, and what the caller gets.
struct TFailureRoute {
    const char* Name;
    TkwDbErrorHandlingType Mode;
    const char* Options;
    bool Window;
    TRaised Raised;
};
inline constexpr TFailureRoute kFailureRoutes[] = {
    {"WindowThenAbort", htOknoIAbort, "", true, rsAbort},
    {"WindowThenGoOn", htOknoIAbort, "-a", true, rsNothing},
    {"NoWindowAbort", htOknoIAbort, "-e", false, rsAbort},
    {"BezOknaRaises", htBezOkna, "", false, rsKwDbError},
    {"BezOknaGoesOn", htBezOkna, "-a", false, rsNothing},
};
inline std::string RouteName(const ::testing::TestParamInfo<TFailureRoute>& info) {
    return info.param.Name;
}

// A TkwDatabase attached as the system account to a database of the test's own.
struct TAttached {
    explicit TAttached(const std::vector<std::string>& schema = {});
    TSystemPassword Password;
    TLayerDatabase File;
    TkwDatabase Db;
};

// Every text the fake user interface was shown.
std::vector<std::string> ShownTexts(const TFakeUi& ui);
// Fails the test when the test server's password is in any of the texts or in any file under dir.
void ExpectNoPassword(const std::vector<std::string>& texts, const std::filesystem::path& dir);
