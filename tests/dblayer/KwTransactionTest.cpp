// The framework's transaction: the isolation levels as the server sees them, nesting, the control
// checks, and failures of a begin and a commit through the exception handler.

#include "dblayer/KwTransaction.h"
#include "DbLayerTestUtil.h"
#include "core/Exception.h"
#include "dblayer/KwSQL.h"
#include "fbclient/FbDataSet.h"
#include "fbclient/FbErrors.h"

#include <gtest/gtest.h>

namespace {

using TLines = std::vector<std::string>;

// A transaction on an attached database, with every real end of the server transaction recorded.
struct TTransactionTest : public ::testing::Test {
    TTransactionTest() : TTransactionTest(std::vector<std::string>{}) {}
    explicit TTransactionTest(const std::vector<std::string>& schema) : Base(schema) {
        Transaction.SetDefaultDatabase(&Base.Db);
        Transaction.AfterEnd = [this](TObject*, TTransactionAction action, bool) { Ends.push_back(action); };
    }
    // One statement in the transaction, which must succeed.
    void Exec(const std::string& text) {
        TkwSQL sql;
        sql.SetTransaction(&Transaction);
        sql.SetSQLText(text);
        ASSERT_TRUE(sql.kwExecQuery(""));
    }

    TFakeUi Ui;
    TAttached Base;
    std::vector<TTransactionAction> Ends; // before the transaction, whose end may come last
    TkwTransaction Transaction;
};

struct TIsolationCase {
    const char* Name;
    TkwTransIsolation Level;
    TLines Lines;
    // MON$TRANSACTIONS: 0 consistency, 1 concurrency, 2 read committed record version; lock
    // timeout -1 wait, 0 no wait; read only 1.
    const char* Seen;
};

const TIsolationCase kIsolationCases[] = {
    // No lines: the server's default, a waiting read-write snapshot.
    {"None", tiNone, {}, "1 -1 0"},
    {"Snapshot", tiSnapshot, {"concurrency", "nowait"}, "1 0 0"},
    {"ReadCommitted", tiReadCommitted, {"read_committed", "rec_version", "nowait"}, "2 0 0"},
    {"TableStabilityReadOnly", tiTableStabilityReadOnly, {"read", "consistency"}, "0 -1 1"},
    {"TableStabilityReadWrite", tiTableStabilityReadWrite, {"write", "consistency"}, "0 -1 0"},
    {"ReadCommittedReadOnly",
     tiReadCommittedReadOnly,
     {"read_committed", "rec_version", "nowait", "read"},
     "2 0 1"},
};

class Isolation : public TTransactionTest, public ::testing::WithParamInterface<TIsolationCase> {};

TEST_P(Isolation, LinesAndWhatTheServerSees) {
    const TIsolationCase& c = GetParam();
    Transaction.SetTransIsolation(c.Level);
    EXPECT_EQ(Transaction.TransIsolation(), c.Level);
    EXPECT_EQ(Transaction.TRParams().Lines(), c.Lines);
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    TkwSQL sql;
    sql.SetTransaction(&Transaction);
    sql.SetSQLText("select MON$ISOLATION_MODE || ' ' || MON$LOCK_TIMEOUT || ' ' || MON$READ_ONLY"
                   " from MON$TRANSACTIONS where MON$TRANSACTION_ID = CURRENT_TRANSACTION");
    ASSERT_TRUE(sql.kwExecQuery(""));
    EXPECT_EQ(sql.Fields(0).AsString(), c.Seen);
    EXPECT_TRUE(Ui.IbErrorWnds.empty());
}

INSTANTIATE_TEST_SUITE_P(Levels, Isolation, ::testing::ValuesIn(kIsolationCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(KwTransactionLines, ConstructionAndLevelChanges) {
    TkwTransaction t;
    EXPECT_EQ(t.TransIsolation(), tiReadCommitted);
    EXPECT_EQ(t.TRParams().Lines(), (TLines{"read_committed", "rec_version", "nowait"}));
    EXPECT_EQ(t.TPBMode(), tpbDefault);
    EXPECT_EQ(t.TimeoutAction(), TARollback);
    EXPECT_EQ(t.CallCount(), 0);
    EXPECT_EQ(t.DateTimeStart(), 0);
    EXPECT_EQ(t.DefaultAction(), TIBTransactionAction::TARollback);
    EXPECT_EQ(t.AutoStopAction(), saNone);
    EXPECT_FALSE(t.KontrolaCommit());
    EXPECT_FALSE(t.KontrolaTrans());

    // The current level leaves lines added by hand alone.
    t.TRParams().Add("lock_timeout=5");
    t.SetTransIsolation(tiReadCommitted);
    EXPECT_EQ(t.TRParams().Count(), 4u);
    t.SetAsReadOnly(true);
    t.SetAsReadOnly(true);
    EXPECT_EQ(t.TRParams().Lines(), (TLines{"read_committed", "rec_version", "nowait", "read"}));
    t.SetAsReadOnly(false);
    EXPECT_EQ(t.TransIsolation(), tiReadCommitted);
    EXPECT_EQ(t.TRParams().Lines(), (TLines{"read_committed", "rec_version", "nowait"}));

    // The lookup objects belong to the transaction and are bound to it.
    EXPECT_EQ(t.QPodajzQuery().Owner(), &t);
    EXPECT_EQ(t.QPodajzQuery().Transaction(), &t);
    EXPECT_EQ(t.QPodajzQuery().BufferChunks(), 1);
    EXPECT_EQ(t.QTimeFromSerwer().Owner(), &t);
    EXPECT_EQ(t.QTimeFromSerwer().Transaction(), &t);
    EXPECT_EQ(t.QTimeFromSerwer().SQL().Lines(), (TLines{"SELECT CURRENT_TIMESTAMP", "FROM RDB$DATABASE"}));
}

// Three levels share one server transaction: the inner commits commit retaining, so each level's
// work is committed and the transaction stays open; only the outermost ends it.
TEST_F(TTransactionTest, ThreeDeepCommitsOnce) {
    Base.File.Execute({"create table T (ID integer)"});
    for (int level = 1; level <= 3; ++level) {
        ASSERT_TRUE(Transaction.kwBeginTrans(""));
        EXPECT_EQ(Transaction.CallCount(), level);
        Exec("insert into T values (" + std::to_string(level) + ")");
    }
    EXPECT_TRUE(Transaction.kwCommit(""));
    EXPECT_TRUE(Transaction.InTransaction());
    EXPECT_EQ(Base.File.Query("select count(*) from T"), "3");
    EXPECT_TRUE(Transaction.kwCommit(""));
    EXPECT_TRUE(Transaction.InTransaction());
    EXPECT_TRUE(Transaction.kwCommit(""));
    EXPECT_FALSE(Transaction.InTransaction());
    EXPECT_EQ(Transaction.CallCount(), 0);
    EXPECT_EQ(Ends, (std::vector<TTransactionAction>{TACommitRetaining, TACommitRetaining, TACommit}));
    EXPECT_GT(Transaction.DateTimeStop(), 0);

    // Nothing left to end: true without a server call.
    EXPECT_TRUE(Transaction.kwCommit(""));
    EXPECT_EQ(Ends.size(), 3u);
}

// A rollback inside a nested level ends the server transaction and undoes every level's work; the
// outer level's commit then has nothing to commit and says so; the next begin starts afresh.
TEST_F(TTransactionTest, RollbackInsideANestedBegin) {
    Base.File.Execute({"create table T (ID integer)"});
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    Exec("insert into T values (1)");
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    Exec("insert into T values (2)");
    Transaction.Rollback();
    EXPECT_FALSE(Transaction.InTransaction());
    EXPECT_EQ(Base.File.Query("select count(*) from T"), "0");

    EXPECT_FALSE(Transaction.kwCommit("-a"));
    ASSERT_EQ(Ui.IbErrorWnds.size(), 1u);
    EXPECT_EQ(Ui.IbErrorWnds[0].ObjectName, "TkwTransaction");
    ASSERT_TRUE(Transaction.LastIbError());
    EXPECT_EQ(Transaction.LastIbError()->SQLCode(), feNotInTransaction);

    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    EXPECT_EQ(Transaction.CallCount(), 1);
    Exec("insert into T values (3)");
    EXPECT_TRUE(Transaction.kwCommit(""));
    EXPECT_FALSE(Transaction.InTransaction());
    EXPECT_EQ(Base.File.Query("select count(*) from T"), "1");
    EXPECT_EQ(Ends, (std::vector<TTransactionAction>{TARollback, TACommit}));
}

// "-c" starts without counting and joins nothing; the commit that follows ends it at once.
TEST_F(TTransactionTest, UncountedBegin) {
    ASSERT_TRUE(Transaction.kwBeginTrans("-c"));
    EXPECT_TRUE(Transaction.InTransaction());
    EXPECT_EQ(Transaction.CallCount(), 0);
    const TDateTime started = Transaction.DateTimeStart();
    EXPECT_GT(started, 0);
    ASSERT_TRUE(Transaction.kwBeginTrans("x-cx"));
    EXPECT_EQ(Transaction.CallCount(), 0);
    EXPECT_EQ(Transaction.DateTimeStart(), started);
    EXPECT_TRUE(Transaction.kwCommit(""));
    EXPECT_FALSE(Transaction.InTransaction());
    EXPECT_EQ(Transaction.CallCount(), -1);
    EXPECT_EQ(Ends, std::vector<TTransactionAction>{TACommit});

    // The negative count does not carry over.
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    EXPECT_EQ(Transaction.CallCount(), 1);
    // Joining leaves the start time alone.
    const TDateTime second = Transaction.DateTimeStart();
    EXPECT_EQ(Transaction.DateTimeStop(), 0);
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    EXPECT_EQ(Transaction.DateTimeStart(), second);
}

// The control checks raise to the caller before the server is touched, without the handler.
TEST_F(TTransactionTest, ControlChecks) {
    Transaction.SetKontrolaTrans(true);
    const TOutcome begin = Outcome([&] { Transaction.kwBeginTrans("-a"); });
    EXPECT_EQ(begin.Raised, rsPlainException);
    EXPECT_EQ(begin.Message, "Błąd kontroli transakcji");
    EXPECT_FALSE(Transaction.InTransaction());

    Transaction.SetKontrolaTrans(false);
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    Transaction.SetKontrolaCommit(true);
    const TOutcome commit = Outcome([&] { Transaction.kwCommit("-a"); });
    EXPECT_EQ(commit.Message, "Błąd kontroli transakcji");
    EXPECT_EQ(Transaction.CallCount(), 1);
    EXPECT_TRUE(Transaction.InTransaction());
    EXPECT_TRUE(Ends.empty());
    EXPECT_TRUE(Ui.IbErrorWnds.empty());
    EXPECT_TRUE(Ui.Windows.empty());
    EXPECT_FALSE(Transaction.LastError());
}

// A level cannot change while the transaction runs; it stays what it was, so that setting it again
// after the end takes effect.
TEST_F(TTransactionTest, LevelRefusedWhileActiveStaysOld) {
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    EXPECT_THROW(Transaction.SetTransIsolation(tiSnapshot), EFbClientError);
    EXPECT_EQ(Transaction.TransIsolation(), tiReadCommitted);
    EXPECT_TRUE(Transaction.kwCommit(""));
    Transaction.SetTransIsolation(tiSnapshot);
    EXPECT_EQ(Transaction.TRParams().Lines(), (TLines{"concurrency", "nowait"}));
}

// A begin that fails (no database), by every route through the handler: the window, what the caller
// gets, and what the transaction keeps.
class BeginFailure : public ::testing::TestWithParam<TFailureRoute> {};

TEST_P(BeginFailure, ThroughTheHandler) {
    const TFailureRoute& route = GetParam();
    TFakeUi ui;
    TMode mode(route.Mode);
    TkwTransaction transaction;
    transaction.SetName("TR");
    bool result = true;
    const TOutcome outcome = Outcome([&] { result = transaction.kwBeginTrans(route.Options); });
    EXPECT_EQ(outcome.Raised, route.Raised);
    if (route.Raised == rsNothing) {
        EXPECT_FALSE(result);
    }
    ASSERT_EQ(ui.IbErrorWnds.size(), route.Window ? 1u : 0u);
    if (route.Window) {
        EXPECT_EQ(ui.IbErrorWnds[0].ObjectName, "TkwTransaction");
        EXPECT_EQ(ui.IbErrorWnds[0].Sql, "");
        EXPECT_FALSE(ui.IbErrorWnds[0].HasParams);
    }
    EXPECT_FALSE(transaction.InTransaction());
    EXPECT_EQ(transaction.CallCount(), 0);
    EXPECT_EQ(transaction.DateTimeStart(), 0);
    ASSERT_TRUE(transaction.LastIbError());
    EXPECT_EQ(transaction.LastIbError()->SQLCode(), feNoDatabasesInTransaction);
}

INSTANTIATE_TEST_SUITE_P(Routes, BeginFailure, ::testing::ValuesIn(kFailureRoutes), RouteName);

// A commit the server refuses (a commit trigger raises a database exception): the handler gets it
// with the exception named through the database, the count is down already and the transaction
// still runs, for a rollback.
class CommitFailure : public TTransactionTest, public ::testing::WithParamInterface<TFailureRoute> {
protected:
    CommitFailure()
        : TTransactionTest({"create table T (ID integer)",
                            "create exception E_ODMOWA 'Odmowa zatwierdzenia.'",
                            "create trigger TR_COMMIT on transaction commit as begin"
                            " if (exists(select 1 from T where ID < 0)) then exception E_ODMOWA; end"}) {}
};

TEST_P(CommitFailure, ThroughTheHandler) {
    const TFailureRoute& route = GetParam();
    TMode mode(route.Mode);
    ASSERT_TRUE(Transaction.kwBeginTrans(""));
    Exec("insert into T values (-1)");
    bool result = true;
    const TOutcome outcome = Outcome([&] { result = Transaction.kwCommit(route.Options); });
    EXPECT_EQ(outcome.Raised, route.Raised);
    if (route.Raised == rsNothing) {
        EXPECT_FALSE(result);
    }
    if (route.Raised == rsKwDbError) {
        EXPECT_EQ(outcome.IBErrorCode, 335544517);
        EXPECT_NE(outcome.Message.find("E_ODMOWA"), std::string::npos) << outcome.Message;
        // No sentence of the suite's for it: the database's own message.
        EXPECT_NE(outcome.PolMessage.find("Odmowa zatwierdzenia."), std::string::npos) << outcome.PolMessage;
    }
    ASSERT_EQ(Ui.IbErrorWnds.size(), route.Window ? 1u : 0u);
    if (route.Window) {
        EXPECT_EQ(Ui.IbErrorWnds[0].IBErrorCode, 335544517);
        EXPECT_EQ(Ui.IbErrorWnds[0].DatabaseName, "DB_TEST");
        EXPECT_EQ(Ui.IbErrorWnds[0].Database, &Base.Db);
    }
    EXPECT_EQ(Transaction.CallCount(), 0);
    EXPECT_TRUE(Transaction.InTransaction());
    Transaction.Rollback();
    EXPECT_EQ(Base.File.Query("select count(*) from T"), "0");
    ExpectNoPassword(ShownTexts(Ui), Base.File.Dir.Path());
    ExpectNoPassword({outcome.Message, outcome.PolMessage}, Base.File.Dir.Path() / "none");
}

INSTANTIATE_TEST_SUITE_P(Routes, CommitFailure, ::testing::ValuesIn(kFailureRoutes), RouteName);

} // namespace
