#pragma once
// Helpers of the client-layer tests.

#include "FbTestServer.h"
#include "TestUtil.h"
#include "core/FormatSettings.h"
#include "fbclient/FbApi.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbTransaction.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

// Bytes from small integers, for parameter-block expectations.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values)
        bytes += static_cast<char>(static_cast<unsigned char>(v));
    return bytes;
}

inline std::string Show(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes)
        text += (text.empty() ? "" : " ") + std::to_string(c);
    return text;
}

// The lines of a message; each must end with CR LF (a missing final CR LF shows as a last line).
inline std::vector<std::string> MessageLines(const std::string& message) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < message.size()) {
        const std::size_t end = message.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(message.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(message.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Runs `action` and returns the client error it raised; fails the test when it raised none.
template <class TError = EFbClientError> TError Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const TError& e) {
        return e;
    }
    ADD_FAILURE() << "no exception of the expected class";
    return TError(-2, nullptr, std::string("<none>"));
}

inline std::string PlainMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const EFbError& e) {
        ADD_FAILURE() << "a client error instead of a plain exception: " << e.Message();
        return e.Message();
    } catch (const Exception& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no exception";
    return {};
}

// The suite's own formats for these tests, whatever the machine's locale.
struct TPolishFormats {
    TPolishFormats() : Saved(FormatSettings()) { FormatSettings() = TFormatSettings{}; }
    ~TPolishFormats() { FormatSettings() = Saved; }
    TFormatSettings Saved;
};

// A database of its own for one test, created through the shared test server.
struct TTestDatabase {
    explicit TTestDatabase(int dialect = 3, const TFbTestServer& server = FbTestServer())
        : Server(server), Path(Dir / "test.fdb") {
        CreateFbTestDatabase(Server, Path, dialect);
    }
    std::string TcpName() const { return Server.TcpName(Path); }
    std::string Query(const std::string& sql) const { return QueryFbTestValue(Server, Path, sql); }
    void Execute(const std::vector<std::string>& statements) const {
        ExecuteFbTestSql(Server, Path, statements);
    }

    const TFbTestServer& Server;
    TTempDir Dir;
    std::string Path;
};

// Sets a database up for the suite's system account in the TCP form of `db`.
inline void SetUpDatabase(TFbCustomDatabase& database, const std::string& name) {
    database.SetDBName(name);
    database.SetDBParams(FbTestParams());
}

// Runs one statement in the layer's transaction with the raw client call.
inline void ExecSql(TFbCustomDatabase& database, TFbCustomTransaction& transaction, const std::string& sql) {
    transaction.Call(database.ClientLibrary().isc_dsql_execute_immediate(
                         StatusVector(), database.HandleAddress(), transaction.HandleAddress(), 0,
                         sql.c_str(), static_cast<unsigned short>(database.SQLDialect()), nullptr),
                     true);
}

// Number of version texts the server gives for item 103: one through the embedded engine, more
// (client and server side of the wire) through the network.
inline int VersionTextCount(TFbCustomDatabase& database) {
    const std::string answer =
        database.DatabaseInfo(std::string(1, static_cast<char>(isc_info_firebird_version)));
    return answer.size() > 3 && static_cast<unsigned char>(answer[0]) == isc_info_firebird_version
               ? static_cast<unsigned char>(answer[3])
               : 0;
}

// A transaction ended on its own by its timeout action: the full end it takes, and the rows of
// table t left afterwards.
struct TTimeoutActionCase {
    const char* Name;
    TTransactionAction TimeoutAction;
    TTransactionAction FullAction;
    const char* RowsAfter;
};

inline std::ostream& operator<<(std::ostream& out, const TTimeoutActionCase& c) {
    return out << c.Name;
}

// Every timeout action: the retaining forms end in full, since nothing may outlive an implicit end.
inline const TTimeoutActionCase kTimeoutActionCases[] = {
    {"Rollback", TARollback, TARollback, "0"},
    {"RollbackRetainingTakenAsRollback", TARollbackRetaining, TARollback, "0"},
    {"Commit", TACommit, TACommit, "1"},
    {"CommitRetainingTakenAsCommit", TACommitRetaining, TACommit, "1"},
};

inline std::string TimeoutActionCaseName(const ::testing::TestParamInfo<TTimeoutActionCase>& info) {
    return info.param.Name;
}

// A database on a server instance of the test's own, so that the test may kill the server under an
// attachment. Db is set up for it through the network, not yet attached.
struct TOwnServerDatabase {
    TOwnServerDatabase() : Server(Dir / "instance"), File(3, Started(Server)) {
        SetUpDatabase(Db, File.TcpName());
    }

    TTempDir Dir;
    TFbTestServer Server;
    TTestDatabase File;
    TFbDatabase Db;

private:
    static TFbTestServer& Started(TFbTestServer& server) {
        server.Start();
        return server;
    }
};
