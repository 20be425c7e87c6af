// The internal transaction and the server clock against the private test server.

#include "FbTestHelpers.h"
#include "fbclient/FbQuery.h"

#include <cmath>

namespace {

// Records what the internal transaction of a database does.
struct TInternalLog {
    explicit TInternalLog(TFbDatabase& db) {
        TFbTransaction& internal = *db.InternalTransaction();
        internal.AfterStart = [this](TObject*) { Items.push_back("start"); };
        internal.AfterEnd = [this](TObject*, TTransactionAction action, bool) {
            Items.push_back(action == TACommit ? "commit" : "end " + std::to_string(action));
        };
        internal.BeforeSQLExecute = [this](TObject*, TObject* query) {
            Items.push_back("sql " + FbTrim(static_cast<TFbCustomQuery*>(query)->SQLText()));
        };
        db.OnConnect = [this](TObject*) { Items.push_back("OnConnect"); };
    }
    std::vector<std::string> Items;
};

TEST(InternalTransaction, EveryAttachMeasuresTheClockAndCommits) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.SetSQLDialect(3);
    TInternalLog log(db);
    db.Open();
    EXPECT_FALSE(db.InternalTransaction()->Active());
    EXPECT_EQ(log.Items,
              (std::vector<std::string>{"start", "sql SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE",
                                        "commit", "OnConnect"}));
    // The server runs on this machine: the clocks agree to well within a few seconds.
    EXPECT_LT(std::fabs(db.DifferenceTime()), 5.0 / 86400) << db.DifferenceTime();
    db.Close();
    log.Items.clear();
    db.Open();
    EXPECT_EQ(log.Items.size(), 4u) << "measured again on the next attach";
    EXPECT_FALSE(db.InternalTransaction()->Active());
}

TEST(InternalTransaction, NotActiveAfterALocalAttachEither) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.Path);
    db.Open();
    EXPECT_EQ(VersionTextCount(db), 1);
    EXPECT_FALSE(db.InternalTransaction()->Active());
    EXPECT_LT(std::fabs(db.DifferenceTime()), 5.0 / 86400);
}

TEST(InternalTransaction, WithoutSynchronizeTimeNoQueryRuns) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TInternalLog log(db);
    db.Open();
    db.Close();
    db.SetSynchronizeTime(false);
    log.Items.clear();
    db.Open();
    EXPECT_EQ(log.Items, std::vector<std::string>{"OnConnect"});
    EXPECT_EQ(db.DifferenceTime(), 0.0) << "reset on attach, not measured";
    EXPECT_FALSE(db.InternalTransaction()->Active());
}

TEST(InternalTransaction, Dialect1AsksForADate) {
    TTestDatabase file(1);
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.SetSQLDialect(3);
    TInternalLog log(db);
    db.Open();
    EXPECT_EQ(db.SQLDialect(), 1);
    EXPECT_EQ(log.Items,
              (std::vector<std::string>{"start", "sql SELECT CAST('NOW' AS DATE) from RDB$DATABASE", "commit",
                                        "OnConnect"}));
    EXPECT_LT(std::fabs(db.DifferenceTime()), 5.0 / 86400) << "a dialect-1 DATE carries the time of day";
}

TEST(InternalTransaction, DialectOneConnectionOnADialect3DatabaseAsksForADateToo) {
    TTestDatabase file(3);
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TInternalLog log(db);
    db.Open(); // SQLDialect stays 1 from creation
    ASSERT_GE(log.Items.size(), 2u);
    EXPECT_EQ(log.Items[1], "sql SELECT CAST('NOW' AS DATE) from RDB$DATABASE");
}

TEST(InternalTransaction, FailingClockQueryPropagatesWhileAttached) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.InternalTransaction()->SetTRParams({"bogus"});
    int connects = 0;
    db.OnConnect = [&](TObject*) { ++connects; };
    const auto e = Raised([&] { db.Open(); });
    EXPECT_EQ(e.Message(), "TPB Constant (bogus) is unknown.");
    EXPECT_TRUE(db.Connected()) << "the attachment stays";
    EXPECT_EQ(connects, 0);
    EXPECT_FALSE(db.InternalTransaction()->Active());
}

TEST(InternalTransaction, AFailingClockCallPropagatesWhileAttached) {
    TOwnServerDatabase own;
    own.Db.SetSQLDialect(3);
    TInternalLog log(own.Db);
    // The server goes away between the start of the internal transaction and the clock's call.
    own.Db.InternalTransaction()->BeforeSQLExecute = [&](TObject*, TObject*) { own.Server.Kill(); };
    const EFbLibraryError e = Raised<EFbLibraryError>([&] { own.Db.Open(); });
    EXPECT_NE(e.IBErrorCode(), 0);
    EXPECT_TRUE(own.Db.Connected()) << "the attachment stays";
    EXPECT_EQ(log.Items, (std::vector<std::string>{"start", "end 0"})) << "rolled back, no OnConnect";
    EXPECT_FALSE(own.Db.InternalTransaction()->Active());
}

TEST(QueryValue, InternalTransactionIsCommittedAfterwards) {
    TTestDatabase file;
    file.Execute({"create table t (a integer, s varchar(10), d date)",
                  "insert into t values (42, 'abc', '2024-02-29')"});
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.SetSQLDialect(3);
    db.Open();
    const TFbFieldValue number = db.QueryValue("select a from t", 0);
    EXPECT_FALSE(number.IsNull);
    EXPECT_EQ(number.Number, 42.0);
    EXPECT_EQ(number.Text, "42");
    EXPECT_EQ(db.QueryValue("select a, s from t", 1).Text, "abc");
    const TFbFieldValue date = db.QueryValue("select d from t", 0);
    EXPECT_EQ(date.DateTime, 45351.0) << "2024-02-29 in days since 1899-12-30";
    EXPECT_TRUE(db.QueryValue("select cast(null as integer) from rdb$database", 0).IsNull);
    EXPECT_FALSE(db.InternalTransaction()->Active());
}

TEST(QueryValue, GivenTransactionIsStartedAndLeftRunning) {
    TTestDatabase file;
    file.Execute({"create table t (a integer)"});
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TFbTransaction tr;
    db.SetDefaultTransaction(&tr);
    db.Open();
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(db.QueryValue("select count(*) from t", 0, &tr).Number, 0.0);
    EXPECT_TRUE(tr.Active()) << "started, not committed";
    ExecSql(db, tr, "insert into t values (1)");
    EXPECT_EQ(db.QueryValue("select count(*) from t", 0, &tr).Number, 1.0) << "sees its own row";
    EXPECT_EQ(file.Query("select count(*) from t"), "0");
    tr.Commit();
}

TEST(QueryValue, FailureRollsBackAndReRaises) {
    TTestDatabase file;
    file.Execute({"create table t (a integer)"});
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TFbTransaction tr;
    db.SetDefaultTransaction(&tr);
    db.Open();
    tr.StartTransaction();
    ExecSql(db, tr, "insert into t values (1)");
    EXPECT_THROW(db.QueryValue("select nothing from nowhere", 0, &tr), EFbLibraryError);
    EXPECT_FALSE(tr.Active()) << "rolled back";
    EXPECT_EQ(file.Query("select count(*) from t"), "0");
    EXPECT_THROW(db.QueryValue("select nothing from nowhere", 0), EFbLibraryError);
    EXPECT_FALSE(db.InternalTransaction()->Active());
}

TEST(QueryValue, ServerTimeAgreesWithTheLocalClock) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.SetSQLDialect(3);
    db.Open();
    const TDateTime server = db.GetServerTime();
    EXPECT_LT(std::fabs(NowDateTime() - server), 5.0 / 86400);
    EXPECT_GT(server, 45000.0) << "a date of this century";
}

TEST(InternalTransaction, DestructionCommitsAnActiveInternalTransaction) {
    TTestDatabase file;
    file.Execute({"create table t (a integer)"});
    auto* db = new TFbDatabase;
    SetUpDatabase(*db, file.TcpName());
    db->Open();
    TFbTransaction& internal = *db->InternalTransaction();
    internal.StartTransaction();
    ExecSql(*db, internal, "insert into t values (1)");
    delete db;
    EXPECT_EQ(file.Query("select count(*) from t"), "1");
}

TEST(NowDateTime, FrameworkDayCount) {
    const TDateTime now = NowDateTime();
    std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    const double days = std::floor(now);
    // Days from 1899-12-30 to the local date.
    std::tm epoch{};
    epoch.tm_year = local.tm_year;
    epoch.tm_mon = local.tm_mon;
    epoch.tm_mday = local.tm_mday;
    const long long localDays = static_cast<long long>(timegm(&epoch) / 86400) + 25569;
    EXPECT_EQ(static_cast<long long>(days), localDays);
}

} // namespace
