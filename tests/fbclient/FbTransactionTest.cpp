// Client transactions against the private Firebird test server.

#include "FbTestHelpers.h"

#include <functional>
#include <memory>

namespace {

// A database with table T (one integer column) attached in the TCP form, and its default
// transaction.
struct TAttached {
    TAttached() {
        File.Execute({"create table t (a integer)"});
        SetUpDatabase(Db, File.TcpName());
        Tr.SetName("Tr");
        Db.SetDefaultTransaction(&Tr);
        Db.Open();
    }
    std::string Rows() const { return File.Query("select count(*) from t"); }

    TTestDatabase File;
    TFbDatabase Db;
    TFbTransaction Tr;
};

TEST(TransactionEnd, CommitMakesTheRowsVisible) {
    TAttached a;
    a.Tr.StartTransaction();
    EXPECT_TRUE(a.Tr.Active());
    EXPECT_EQ(a.Tr.State(), tsActive);
    EXPECT_GT(a.Tr.TransactionID(), 0);
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    EXPECT_EQ(a.Rows(), "0") << "not committed yet";
    a.Tr.Commit();
    EXPECT_FALSE(a.Tr.Active());
    EXPECT_FALSE(a.Tr.InTransaction());
    EXPECT_EQ(a.Tr.State(), tsClosed);
    EXPECT_EQ(a.Tr.TransactionID(), 0);
    EXPECT_EQ(a.Rows(), "1");
}

TEST(TransactionEnd, RollbackDiscardsTheRows) {
    TAttached a;
    a.Tr.StartTransaction();
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.Rollback();
    EXPECT_FALSE(a.Tr.Active());
    EXPECT_EQ(a.Tr.State(), tsClosed);
    EXPECT_EQ(a.Rows(), "0");
}

TEST(TransactionEnd, CommitRetainingKeepsTheTransaction) {
    TAttached a;
    a.Tr.StartTransaction();
    const TFbHandle handle = a.Tr.Handle();
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.CommitRetaining();
    EXPECT_TRUE(a.Tr.InTransaction());
    EXPECT_EQ(a.Tr.State(), tsActive);
    EXPECT_EQ(a.Tr.Handle(), handle);
    EXPECT_EQ(a.Rows(), "1") << "committed";
    ExecSql(a.Db, a.Tr, "insert into t values (2)");
    a.Tr.Commit();
    EXPECT_EQ(a.Rows(), "2");
}

TEST(TransactionEnd, RollbackRetainingKeepsTheTransaction) {
    TAttached a;
    a.Tr.StartTransaction();
    const TFbHandle handle = a.Tr.Handle();
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.CommitRetaining();
    ExecSql(a.Db, a.Tr, "insert into t values (2)");
    a.Tr.RollbackRetaining();
    EXPECT_TRUE(a.Tr.InTransaction());
    EXPECT_EQ(a.Tr.Handle(), handle);
    ExecSql(a.Db, a.Tr, "insert into t values (3)");
    a.Tr.Commit();
    EXPECT_EQ(a.File.Query("select cast(list(a) as varchar(20)) from t"), "1,3");
}

TEST(TransactionEnd, EndingAClosedTransactionFails) {
    TAttached a;
    for (auto end : {&TFbCustomTransaction::Commit, &TFbCustomTransaction::Rollback,
                     &TFbCustomTransaction::CommitRetaining, &TFbCustomTransaction::RollbackRetaining}) {
        const auto e = Raised([&] { (a.Tr.*end)(); });
        EXPECT_EQ(e.Message(), "Tr :Transaction is not active.");
        EXPECT_EQ(e.SQLCode(), feNotInTransaction);
    }
}

TEST(TransactionEnd, ActivePropertyStartsAndRollsBack) {
    TAttached a;
    int starts = 0;
    a.Tr.BeforeStart = [&](TObject*) { ++starts; };
    a.Tr.SetActive(true);
    const TFbHandle handle = a.Tr.Handle();
    a.Tr.SetActive(true);
    EXPECT_EQ(starts, 1) << "one transaction";
    EXPECT_EQ(a.Tr.Handle(), handle);
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.SetActive(false);
    EXPECT_FALSE(a.Tr.Active());
    EXPECT_EQ(a.Rows(), "0") << "false rolls back";
    a.Tr.SetActive(false); // nothing to do
}

TEST(TransactionEnd, FailedCommitStaysActiveAndAForcedOneCloses) {
    TOwnServerDatabase s;
    TFbTransaction tr;
    s.Db.SetDefaultTransaction(&tr);
    s.Db.Open();
    tr.StartTransaction();
    s.Server.Kill();
    const auto e = Raised<EFbLibraryError>([&] { tr.Commit(); });
    EXPECT_NE(e.IBErrorCode(), 0);
    EXPECT_TRUE(tr.Active()) << "the caller may retry or roll back";
    EXPECT_EQ(tr.State(), tsDoCommit) << "a raising end keeps the running state";
    EXPECT_NO_THROW(tr.EndTransaction(TACommit, true));
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(tr.State(), tsClosed);
    s.Db.ForceClose();
}

TEST(TransactionEnd, FailedRetainingEndRaises) {
    TOwnServerDatabase s;
    TFbTransaction tr;
    s.Db.SetDefaultTransaction(&tr);
    s.Db.Open();
    tr.StartTransaction();
    s.Server.Kill();
    Raised<EFbLibraryError>([&] { tr.CommitRetaining(); });
    EXPECT_EQ(tr.State(), tsDoCommitRetaining);
    Raised<EFbLibraryError>([&] { tr.RollbackRetaining(); });
    EXPECT_EQ(tr.State(), tsDoRollbackRetaining);
    EXPECT_TRUE(tr.Active());
    s.Db.ForceClose();
    EXPECT_FALSE(tr.Active());
}

// ---- starting

TEST(TransactionStart, CustomTransactionRefusesASecondStart) {
    TAttached a;
    TFbCustomTransaction tr;
    tr.SetName("Custom");
    tr.AddDatabase(&a.Db);
    tr.StartTransaction();
    const auto e = Raised([&] { tr.StartTransaction(); });
    EXPECT_EQ(e.Message(), "Custom :Transaction is active.");
    EXPECT_EQ(e.SQLCode(), feInTransaction);
    tr.Rollback();
}

TEST(TransactionStart, WithoutDatabases) {
    TFbTransaction tr;
    TComponent form;
    form.SetName("Form1");
    tr.SetOwner(&form);
    tr.SetName("Tr");
    const auto e = Raised([&] { tr.StartTransaction(); });
    EXPECT_EQ(e.Message(), "Form1.Tr :No databases are listed in transaction component.");
    EXPECT_EQ(e.SQLCode(), feNoDatabasesInTransaction);
    tr.SetOwner(nullptr);
}

TEST(TransactionStart, WithADetachedDatabase) {
    TFbDatabase db;
    db.SetName("Baza");
    TFbTransaction tr;
    db.SetDefaultTransaction(&tr);
    const auto e = Raised([&] { tr.StartTransaction(); });
    EXPECT_EQ(e.Message(), "Baza: Cannot perform operation -- DB is not open.");
    EXPECT_EQ(e.SQLCode(), feDatabaseClosed);
    EXPECT_FALSE(tr.Active());
}

TEST(TransactionStart, UnknownOrUnsupportedParameterDoesNotStart) {
    TAttached a;
    a.Tr.SetTPBMode(tpbDefault);
    a.Tr.SetTRParams({"read_committed", "autocommit"});
    EXPECT_EQ(Raised([&] { a.Tr.StartTransaction(); }).Message(),
              "TPB Constant (isc_tpb_autocommit) is unsupported.");
    EXPECT_FALSE(a.Tr.Active());
    a.Tr.SetTRParams({"bogus"});
    EXPECT_EQ(Raised([&] { a.Tr.StartTransaction(); }).SQLCode(), feTPBConstantUnknown);
    EXPECT_FALSE(a.Tr.Active());
}

// A refused block is never sent: a second start builds it again and fails the same way, where an
// empty block would have started a transaction with the server's defaults.
TEST(TransactionStart, RefusedParametersRefuseEveryTry) {
    TAttached a;
    a.Tr.SetTPBMode(tpbDefault);
    for (const auto& [lines, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"nowait", "bogus"}, "TPB Constant (bogus) is unknown."},
             {{"autocommit"}, "TPB Constant (isc_tpb_autocommit) is unsupported."}}) {
        a.Tr.SetTRParams(lines);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            EXPECT_EQ(Raised([&] { a.Tr.StartTransaction(); }).Message(), message) << "attempt " << attempt;
            EXPECT_FALSE(a.Tr.Active());
        }
    }
}

TEST(TransactionStart, ServerRefusalLeavesTheHandleNull) {
    TAttached a;
    a.Tr.SetTPBMode(tpbDefault);
    a.Tr.SetTRParams({"concurrency", "write", "lock_write=NO_SUCH_TABLE"});
    const auto e = Raised<EFbLibraryError>([&] { a.Tr.StartTransaction(); });
    EXPECT_FALSE(a.Tr.Active());
    EXPECT_EQ(a.Tr.Handle(), 0u);
    EXPECT_EQ(e.RaiserName(), "Tr");
    EXPECT_EQ(e.Message().rfind("Tr:\r\n", 0), 0u);
    EXPECT_NE(e.IBErrorCode(), 0);
    // A table that exists is reserved.
    a.Tr.SetTRParams({"concurrency", "write", "lock_write=T"});
    a.Tr.StartTransaction();
    EXPECT_TRUE(a.Tr.Active());
}

TEST(TransactionStart, TpbModes) {
    TAttached a;
    EXPECT_EQ(a.Tr.TPBMode(), tpbReadCommitted) << "on creation";
    a.Tr.SetTRParams({"concurrency"});
    a.Tr.StartTransaction();
    EXPECT_EQ(Show(a.Tr.TPB()), Show(Bytes({3, 9, 7, 15, 17})));
    EXPECT_EQ(a.Tr.TRParams().Lines(),
              (std::vector<std::string>{"write", "isc_tpb_nowait", "read_committed", "rec_version"}));
    a.Tr.Commit();
    a.Tr.SetTPBMode(tpbRepeatableRead);
    a.Tr.StartTransaction();
    EXPECT_EQ(Show(a.Tr.TPB()), Show(Bytes({3, 9, 7, 2})));
    a.Tr.Commit();
    a.Tr.SetTPBMode(tpbDefault);
    a.Tr.SetTRParams({"read", "read_committed", "rec_version", "nowait"});
    a.Tr.StartTransaction();
    EXPECT_EQ(Show(a.Tr.TPB()), Show(Bytes({3, 8, 15, 17, 7})));
    EXPECT_THROW(ExecSql(a.Db, a.Tr, "insert into t values (1)"), EFbLibraryError)
        << "a read-only transaction";
    a.Tr.Commit();
    a.Tr.SetTRParams({});
    a.Tr.StartTransaction();
    EXPECT_EQ(a.Tr.TPB(), "") << "no lines: the server's default";
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.Commit();
    EXPECT_EQ(a.Rows(), "1");
}

TEST(TransactionStart, ParametersCannotChangeWhileActive) {
    TAttached a;
    a.Tr.StartTransaction();
    const auto e = Raised([&] { a.Tr.TRParams().Add("read"); });
    EXPECT_EQ(e.Message(), "Tr :Transaction is active.");
    EXPECT_EQ(Raised([&] { a.Tr.SetDefaultDatabase(nullptr); }).SQLCode(), feInTransaction);
    a.Tr.Commit();
}

TEST(TransactionStart, TwoDatabasesInOneTransaction) {
    TAttached a;
    TTestDatabase second;
    second.Execute({"create table t (a integer)"});
    TFbDatabase db2;
    SetUpDatabase(db2, second.TcpName());
    db2.Open();
    EXPECT_EQ(a.Tr.AddDatabase(&db2), 1);
    EXPECT_EQ(a.Tr.AddDatabase(&db2), 1) << "a listed database gives its index";
    EXPECT_EQ(a.Tr.AddDatabase(nullptr), -1);
    a.Tr.StartTransaction();
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    ExecSql(db2, a.Tr, "insert into t values (2)");
    a.Tr.Commit();
    EXPECT_EQ(a.Rows(), "1");
    EXPECT_EQ(second.Query("select count(*) from t"), "1");
}

TEST(TransactionStart, PerDatabaseParameterLines) {
    TAttached a;
    a.Tr.SetDatabaseTRParams(0, {"read", "read_committed", "rec_version", "nowait"});
    a.Tr.StartTransaction();
    EXPECT_THROW(ExecSql(a.Db, a.Tr, "insert into t values (1)"), EFbLibraryError) << "its own read-only TPB";
    a.Tr.Commit();
    a.Tr.SetDatabaseTRParams(0, {});
    a.Tr.StartTransaction();
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.Commit();
    EXPECT_EQ(a.Rows(), "1");
}

TEST(TransactionStart, DifferentClientLibraryIsRefused) {
    TFbDatabase first, second;
    second.SetLibraryName("libother.so");
    TFbTransaction tr;
    tr.SetName("Tr");
    tr.AddDatabase(&first);
    EXPECT_EQ(PlainMessage([&] { tr.AddDatabase(&second); }),
              "Tr.\r\nTransaction can't work with different client library.");
    EXPECT_EQ(tr.DatabaseCount(), 1);
}

// ---- shared handles

TEST(SharedHandle, EndsOnlyWhenForcedOrEqualToTheTimeoutAction) {
    TAttached a;
    a.Tr.StartTransaction();
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    TFbTransaction shared;
    shared.AddDatabase(&a.Db);
    shared.SetHandle(a.Tr.Handle());
    EXPECT_TRUE(shared.Active());
    EXPECT_TRUE(shared.HandleIsShared());
    EXPECT_EQ(shared.TimeoutAction(), TARollback);
    const auto e = Raised([&] { shared.Commit(); });
    EXPECT_EQ(
        e.Message(),
        "Can't end a shared transaction unless it is forced and equal to the transaction's TimeoutAction.");
    EXPECT_EQ(e.SQLCode(), feCantEndSharedTransaction);
    EXPECT_TRUE(shared.Active());
    // Equal to the TimeoutAction: the handle is forgotten without a client call.
    shared.Rollback();
    EXPECT_FALSE(shared.Active());
    EXPECT_FALSE(shared.HandleIsShared());
    EXPECT_TRUE(a.Tr.Active());
    a.Tr.Commit(); // the owner's transaction is still alive on the server
    EXPECT_EQ(a.Rows(), "1");
}

TEST(SharedHandle, ForcedEndForgetsTheHandle) {
    TAttached a;
    a.Tr.StartTransaction();
    TFbTransaction shared;
    shared.AddDatabase(&a.Db);
    shared.SetHandle(a.Tr.Handle());
    shared.EndTransaction(TACommit, true);
    EXPECT_FALSE(shared.Active());
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.Rollback();
    EXPECT_EQ(a.Rows(), "0") << "no commit went to the server";
}

// ---- events, listeners and links

TEST(TransactionEvents, OrderOfStartAndEnd) {
    TAttached a;
    std::vector<std::string> log;
    auto add = [&](const std::string& s) { return [&log, s](auto&&...) { log.push_back(s); }; };
    TFbBase l1(nullptr), l2(nullptr);
    l1.OnTransactionStarting = add("L1.Starting");
    l2.OnTransactionStarting = add("L2.Starting");
    l1.OnTransactionStarted = add("L1.Started");
    l2.OnTransactionStarted = add("L2.Started");
    l1.OnTransactionEnding = add("L1.Ending");
    l2.OnTransactionEnding = add("L2.Ending");
    l1.OnTransactionEnded = add("L1.Ended");
    l2.OnTransactionEnded = add("L2.Ended");
    l1.SetTransaction(&a.Tr);
    l2.SetTransaction(&a.Tr);
    a.Db.BeforeStartTransaction = add("Db.BeforeStartTransaction");
    a.Db.AfterStartTransaction = add("Db.AfterStartTransaction");
    a.Db.BeforeEndTransaction = add("Db.BeforeEndTransaction");
    a.Db.AfterEndTransaction = add("Db.AfterEndTransaction");
    a.Tr.BeforeStart = add("BeforeStart");
    a.Tr.AfterStart = add("AfterStart");
    a.Tr.BeforeEnd = add("BeforeEnd");
    a.Tr.AfterEnd = add("AfterEnd");
    a.Tr.vBeforeStartTransaction.Add(add("vBeforeStart1"));
    a.Tr.vBeforeStartTransaction.Add(add("vBeforeStart2"));
    a.Tr.vAfterStartTransaction.Add(add("vAfterStart1"));
    a.Tr.vAfterStartTransaction.Add(add("vAfterStart2"));
    a.Tr.vBeforeEndTransaction.Add(add("vBeforeEnd1"));
    a.Tr.vBeforeEndTransaction.Add(add("vBeforeEnd2"));
    a.Tr.vAfterEndTransaction.Add(add("vAfterEnd1"));
    a.Tr.vAfterEndTransaction.Add(add("vAfterEnd2"));
    a.Tr.StartTransaction();
    EXPECT_EQ(log, (std::vector<std::string>{"Db.BeforeStartTransaction", "BeforeStart", "L1.Starting",
                                             "L2.Starting", "vBeforeStart2", "vBeforeStart1", "vAfterStart2",
                                             "vAfterStart1", "L1.Started", "L2.Started", "AfterStart",
                                             "Db.AfterStartTransaction"}));
    log.clear();
    a.Tr.Commit();
    EXPECT_EQ(log,
              (std::vector<std::string>{"Db.BeforeEndTransaction", "BeforeEnd", "L2.Ending", "L1.Ending",
                                        "vBeforeEnd1", "vBeforeEnd2", "L2.Ended", "L1.Ended", "vAfterEnd1",
                                        "vAfterEnd2", "AfterEnd", "Db.AfterEndTransaction"}));
    log.clear();
    a.Tr.StartTransaction();
    log.clear();
    a.Tr.CommitRetaining();
    EXPECT_EQ(log.size(), 12u) << "a retaining end announces and reports too";
    a.Tr.Rollback();
}

TEST(TransactionEvents, EndListenersGetTheActionAndForce) {
    TAttached a;
    std::vector<std::string> seen;
    a.Tr.vBeforeEndTransaction.Add([&](TObject* sender, TTransactionAction action, bool force) {
        EXPECT_EQ(sender, &a.Tr);
        seen.push_back(std::to_string(action) + (force ? "f" : ""));
    });
    a.Tr.StartTransaction();
    a.Tr.RollbackRetaining();
    a.Tr.CommitRetaining();
    a.Tr.EndTransaction(TARollback, true);
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "3", "0f"}));
}

TEST(TransactionEvents, ListenersCanBeRemoved) {
    TAttached a;
    int calls = 0;
    const int id = a.Tr.vAfterStartTransaction.Add([&](TObject*) { ++calls; });
    a.Tr.StartTransaction();
    a.Tr.Commit();
    a.Tr.vAfterStartTransaction.Remove(id);
    a.Tr.StartTransaction();
    a.Tr.Commit();
    EXPECT_EQ(calls, 1);
}

// ---- databases of a transaction

TEST(TransactionDatabases, RemoveDatabaseUnlinksBothWays) {
    TFbDatabase db;
    TFbTransaction tr;
    db.SetDefaultTransaction(&tr);
    db.SetDefaultUpdateTransaction(&tr);
    ASSERT_EQ(tr.MainDatabase(), &db);
    tr.RemoveDatabase(tr.FindDatabase(&db));
    EXPECT_EQ(tr.DatabaseCount(), 0);
    EXPECT_EQ(tr.DefaultDatabase(), nullptr);
    EXPECT_EQ(tr.MainDatabase(), nullptr);
    EXPECT_EQ(db.DefaultTransaction(), nullptr);
    EXPECT_EQ(db.DefaultUpdateTransaction(), nullptr);
    EXPECT_EQ(db.FindTransaction(&tr), -1);
}

TEST(TransactionDatabases, MainDatabase) {
    TFbDatabase first, second;
    TFbTransaction tr;
    EXPECT_EQ(tr.MainDatabase(), nullptr);
    tr.AddDatabase(&first);
    tr.AddDatabase(&second);
    EXPECT_EQ(tr.MainDatabase(), &first) << "the first listed";
    tr.SetDefaultDatabase(&second);
    EXPECT_EQ(tr.MainDatabase(), &second);
    EXPECT_EQ(tr.DatabaseCount(), 2);
}

TEST(TransactionDatabases, ChangingTheDefaultDatabaseMovesTheTransaction) {
    TFbDatabase first, second;
    TFbTransaction tr;
    tr.SetDefaultDatabase(&first);
    tr.SetDefaultDatabase(&second);
    EXPECT_EQ(tr.FindDatabase(&first), -1);
    EXPECT_EQ(first.FindTransaction(&tr), -1);
    EXPECT_EQ(tr.FindDatabase(&second), 0);
    EXPECT_GE(second.FindTransaction(&tr), 0);
}

// A refused link to a database of another client library leaves no trace on either side. The
// transaction goes before the refused database, so a pointer left in the database would be read
// after it was freed.
struct TRefusedLinkCase {
    const char* Name;
    std::function<void(TFbTransaction& tr, TFbDatabase& other)> Link;
};

TEST(TransactionDatabases, RefusedLinkToAnotherClientLibraryLeavesNoTrace) {
    const TRefusedLinkCase cases[] = {
        {"SetDefaultDatabase", [](TFbTransaction& tr, TFbDatabase& other) { tr.SetDefaultDatabase(&other); }},
        {"AddDatabase", [](TFbTransaction& tr, TFbDatabase& other) { tr.AddDatabase(&other); }},
        {"SetDefaultTransaction",
         [](TFbTransaction& tr, TFbDatabase& other) { other.SetDefaultTransaction(&tr); }},
        {"SetDefaultUpdateTransaction",
         [](TFbTransaction& tr, TFbDatabase& other) { other.SetDefaultUpdateTransaction(&tr); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TFbDatabase first, second;
        auto other = std::make_unique<TFbDatabase>();
        other->SetLibraryName("libother.so");
        auto tr = std::make_unique<TFbTransaction>();
        tr->SetName("Tr");
        tr->SetDefaultDatabase(&first);
        tr->AddDatabase(&second); // still listed when the default one is taken out
        EXPECT_EQ(PlainMessage([&] { c.Link(*tr, *other); }),
                  "Tr.\r\nTransaction can't work with different client library.");
        EXPECT_EQ(other->FindTransaction(tr.get()), -1);
        EXPECT_EQ(other->DefaultTransaction(), nullptr);
        EXPECT_EQ(other->DefaultUpdateTransaction(), nullptr);
        EXPECT_EQ(tr->FindDatabase(other.get()), -1);
        EXPECT_EQ(tr->DefaultDatabase(), &first) << "the old default stays";
        EXPECT_EQ(tr->DatabaseCount(), 2);
        EXPECT_GE(first.FindTransaction(tr.get()), 0);
        tr.reset();
        other.reset();
    }
}

// A transaction that lost its databases refuses what needs the client, instead of reaching for a
// database that is not there, and stays usable; a forced end still closes it.
TEST(TransactionDatabases, WithoutADatabaseEndsAreRefusedUnlessForced) {
    TAttached a;
    a.Tr.StartTransaction();
    ExecSql(a.Db, a.Tr, "insert into t values (1)");
    a.Tr.RemoveDatabase(0);
    ASSERT_EQ(a.Tr.MainDatabase(), nullptr);
    const struct {
        const char* Name;
        std::function<void()> Call;
    } calls[] = {
        {"TransactionID", [&] { a.Tr.TransactionID(); }},
        {"Commit", [&] { a.Tr.Commit(); }},
        {"Rollback", [&] { a.Tr.Rollback(); }},
        {"CommitRetaining", [&] { a.Tr.CommitRetaining(); }},
        {"RollbackRetaining", [&] { a.Tr.RollbackRetaining(); }},
    };
    for (const auto& c : calls) {
        const auto e = Raised(c.Call);
        EXPECT_EQ(e.Message(), "Tr :No databases are listed in transaction component.") << c.Name;
        EXPECT_TRUE(a.Tr.Active()) << c.Name;
    }
    a.Tr.AddDatabase(&a.Db);
    a.Tr.Commit();
    EXPECT_EQ(a.Rows(), "1");

    // Forced: closed without a client call (there is no client left to call).
    TFbTransaction alone;
    alone.AddDatabase(&a.Db);
    alone.StartTransaction();
    alone.RemoveDatabase(0);
    alone.EndTransaction(TACommit, true);
    EXPECT_FALSE(alone.Active());
    EXPECT_EQ(alone.State(), tsClosed);
}

// A shared handle of a transaction without databases: its full ends forget it, the retaining ones and
// the transaction number need the client and are refused.
TEST(TransactionDatabases, SharedHandleWithoutADatabase) {
    TAttached a;
    a.Tr.StartTransaction();
    TFbTransaction shared;
    shared.SetName("Shared");
    shared.SetHandle(a.Tr.Handle());
    for (auto call : {&TFbCustomTransaction::CommitRetaining, &TFbCustomTransaction::RollbackRetaining})
        EXPECT_EQ(Raised([&] { (shared.*call)(); }).SQLCode(), feNoDatabasesInTransaction);
    EXPECT_EQ(Raised([&] { shared.TransactionID(); }).SQLCode(), feNoDatabasesInTransaction);
    EXPECT_TRUE(shared.Active());
    shared.Rollback();
    EXPECT_FALSE(shared.Active());
    EXPECT_TRUE(a.Tr.Active()) << "the owner's transaction is untouched";
    a.Tr.Commit();
}

TEST(TransactionDatabases, DestroyedTransactionLeavesItsDatabases) {
    TFbDatabase db;
    auto* tr = new TFbTransaction;
    db.SetDefaultTransaction(tr);
    delete tr;
    EXPECT_EQ(db.DefaultTransaction(), nullptr);
    EXPECT_EQ(db.TransactionCount(), 1) << "only the internal transaction is left";
}

// ---- implicit ends

class DestroyEnds : public ::testing::TestWithParam<TTimeoutActionCase> {};

TEST_P(DestroyEnds, ActiveTransactionEndsWithItsTimeoutActionWhenDestroyed) {
    const TTimeoutActionCase& c = GetParam();
    TAttached a;
    std::vector<std::string> log;
    TFbBase link(nullptr);
    link.OnTransactionFree = [&] { log.push_back("L.Free"); };
    auto* tr = new TFbTransaction;
    tr->SetTimeoutAction(c.TimeoutAction);
    tr->AddDatabase(&a.Db);
    link.SetTransaction(tr);
    tr->vOnDestroy.Add([&](TObject*) { log.push_back("vOnDestroy1"); });
    tr->vOnDestroy.Add([&](TObject*) { log.push_back("vOnDestroy2"); });
    tr->BeforeEnd = [&](TObject*, TTransactionAction action, bool force) {
        log.push_back("end " + std::to_string(action) + (force ? " forced" : ""));
    };
    tr->StartTransaction();
    ExecSql(a.Db, *tr, "insert into t values (1)");
    delete tr;
    EXPECT_EQ(a.Rows(), c.RowsAfter);
    EXPECT_EQ(log, (std::vector<std::string>{"end " + std::to_string(c.FullAction) + " forced", "vOnDestroy2",
                                             "vOnDestroy1", "L.Free"}));
    EXPECT_EQ(link.Transaction(), nullptr);
    EXPECT_EQ(a.Db.TransactionCount(), 2) << "the internal and the default transaction";
}

INSTANTIATE_TEST_SUITE_P(Destroy, DestroyEnds, ::testing::ValuesIn(kTimeoutActionCases),
                         TimeoutActionCaseName);

TEST(TransactionIdle, TimeoutIsStoredAndChecked) {
    TFbTransaction tr;
    EXPECT_EQ(tr.Timeout(), 0);
    EXPECT_EQ(tr.TimeoutAction(), TARollback);
    tr.SetTimeout(1000);
    EXPECT_EQ(tr.Timeout(), 1000);
    EXPECT_EQ(Raised([&] { tr.SetTimeout(-1); }).Message(), "Timeout values cannot be negative.");
    EXPECT_EQ(tr.UserKindTransaction(), "NoUserKind");
}

} // namespace
