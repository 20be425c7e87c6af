// The framework's statement: the database it runs on, and its failures through the exception
// handler with the statement text and its parameters.

#include "dblayer/KwSQL.h"
#include "DbLayerTestUtil.h"
#include "core/Exception.h"
#include "dblayer/KwTransaction.h"
#include "fbclient/FbErrors.h"

#include <gtest/gtest.h>

namespace {

// A framework transaction begun on an attached database, and a statement on it.
struct TStatement {
    explicit TStatement(const std::vector<std::string>& schema = {}) : Base(schema) {
        Transaction.SetDefaultDatabase(&Base.Db);
        EXPECT_TRUE(Transaction.kwBeginTrans(""));
        Sql.SetTransaction(&Transaction);
    }
    TAttached Base;
    TkwTransaction Transaction;
    TkwSQL Sql;
};

// A transaction's server-time statement is bound to the transaction alone; run, it takes the
// transaction's database, set only after the statement was made.
TEST(KwSQL, BoundOnlyToATransactionTakesItsDatabase) {
    TFakeUi ui;
    TAttached base;
    TkwTransaction transaction;
    TkwSQL& time = transaction.QTimeFromSerwer();
    ASSERT_EQ(time.Database(), nullptr);
    transaction.SetDefaultDatabase(&base.Db);
    ASSERT_TRUE(transaction.kwBeginTrans(""));
    ASSERT_TRUE(time.kwExecQuery(""));
    EXPECT_EQ(time.Database(), &base.Db);
    EXPECT_GT(time.Fields(0).AsDateTime(), 0);
    EXPECT_TRUE(time.kwClose(""));
    EXPECT_FALSE(time.Open());
    EXPECT_TRUE(ui.IbErrorWnds.empty());
}

// A transaction over two databases whose default is the second: a statement given the first keeps
// it, and its row lands there.
TEST(KwSQL, KeepsItsOwnDatabase) {
    TFakeUi ui;
    TAttached first({"create table T (ID integer)"});
    TAttached second({"create table T (ID integer)"});
    TkwTransaction transaction;
    transaction.SetDefaultDatabase(&second.Db);
    transaction.AddDatabase(&first.Db);
    ASSERT_TRUE(transaction.kwBeginTrans(""));
    TkwSQL sql;
    sql.SetTransaction(&transaction);
    sql.SetDatabase(&first.Db);
    sql.SetSQLText("insert into T values (1)");
    ASSERT_TRUE(sql.kwExecQuery(""));
    EXPECT_EQ(sql.Database(), &first.Db);
    ASSERT_TRUE(transaction.kwCommit(""));
    EXPECT_EQ(first.File.Query("select count(*) from T"), "1");
    EXPECT_EQ(second.File.Query("select count(*) from T"), "0");
}

// A failure that is no client error: the message is kept, the client error slot stays empty, and
// the user reads the message in an error window.
TEST(KwSQL, FailureThatIsNoClientError) {
    TFakeUi ui;
    TStatement s;
    TkwSQL& sql = s.Sql;
    sql.SetSQLText("select 1 from RDB$DATABASE");
    sql.BeforeExecute = [](TObject*) { throw Exception("X"); };
    const TOutcome outcome = Outcome([&] { sql.kwExecQuery(""); });
    EXPECT_EQ(outcome.Raised, rsAbort);
    EXPECT_EQ(sql.LastErrorS(), "X");
    EXPECT_TRUE(sql.LastError());
    EXPECT_FALSE(sql.LastIbError());
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Tresc, "błąd: \rX");
    EXPECT_TRUE(ui.IbErrorWnds.empty());
}

// A key violation by every route through the handler: what the user sees (the statement and its
// parameter included) and what the caller gets; the password nowhere.
class ExecFailure : public ::testing::TestWithParam<TFailureRoute> {};

TEST_P(ExecFailure, ThroughTheHandler) {
    const TFailureRoute& route = GetParam();
    TFakeUi ui;
    TStatement s({"create table T (ID integer not null, constraint PK_T primary key (ID))",
                  "insert into T values (1)"});
    TkwSQL& sql = s.Sql;
    sql.SetSQLText("insert into T values (:ID)");
    sql.ParamByName("ID").SetAsInteger(1);

    TMode mode(route.Mode);
    bool result = true;
    const TOutcome outcome = Outcome([&] { result = sql.kwExecQuery(route.Options); });
    EXPECT_EQ(outcome.Raised, route.Raised);
    if (route.Raised == rsNothing) {
        EXPECT_FALSE(result);
    }
    if (route.Raised == rsKwDbError) {
        EXPECT_EQ(outcome.IBErrorCode, 335544665);
        EXPECT_EQ(outcome.PolMessage, "Taka pozycja w tabeli już istnieje.");
    }
    ASSERT_EQ(ui.IbErrorWnds.size(), route.Window ? 1u : 0u);
    if (route.Window) {
        const TRecordedIbErrorWnd& w = ui.IbErrorWnds[0];
        EXPECT_EQ(w.IBErrorCode, 335544665);
        EXPECT_EQ(w.ObjectName, "TkwSQL");
        EXPECT_EQ(w.DatabaseName, "DB_TEST");
        EXPECT_EQ(w.Database, &s.Base.Db);
        EXPECT_EQ(w.Sql, "insert into T values (:ID)\n");
        EXPECT_EQ(w.Params, std::vector<std::string>{"ID: 1"});
    }
    ASSERT_TRUE(sql.LastIbError());
    EXPECT_EQ(sql.LastIbError()->IBErrorCode(), 335544665);
    EXPECT_EQ(sql.LastErrorS(), sql.LastIbError()->Message());
    EXPECT_EQ(LastDbErrorCode(), 335544665);
    ExpectNoPassword(ShownTexts(ui), s.Base.File.Dir.Path());
    ExpectNoPassword({outcome.Message, outcome.PolMessage, sql.LastErrorS()},
                     s.Base.File.Dir.Path() / "none");
}

INSTANTIATE_TEST_SUITE_P(Routes, ExecFailure, ::testing::ValuesIn(kFailureRoutes), RouteName);

// Without a database or a transaction the statement reaches the client layer unchanged and fails
// there; the failure takes the same road.
TEST(KwSQL, NeitherDatabaseNorTransaction) {
    TFakeUi ui;
    TMode mode(htBezOkna);
    TkwSQL sql;
    sql.SetSQLText("select 1 from RDB$DATABASE");
    EXPECT_FALSE(sql.kwExecQuery("-a"));
    ASSERT_TRUE(sql.LastIbError());
    EXPECT_EQ(sql.LastIbError()->SQLCode(), feTransactionNotAssigned);
}

} // namespace
