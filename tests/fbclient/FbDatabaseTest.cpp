// Database attachment against the private Firebird test server.

#include "FbTestHelpers.h"

#include <algorithm>

namespace {

const char* const kSqlMessage902 =
    "Unsuccessful execution caused by a system error that precludes successful "
    "execution of subsequent statements.";

// A statement link that records what it is told.
struct TRecordingLink {
    TRecordingLink(std::vector<std::string>& log, const std::string& name) : Link(nullptr) {
        Link.OnDatabaseConnecting = [&log, name] { log.push_back(name + ".Connecting"); };
        Link.OnDatabaseConnected = [&log, name] { log.push_back(name + ".Connected"); };
        Link.OnDatabaseDisconnecting = [&log, name] { log.push_back(name + ".Disconnecting"); };
        Link.OnDatabaseDisconnected = [&log, name] { log.push_back(name + ".Disconnected"); };
        Link.OnDatabaseFree = [&log, name] { log.push_back(name + ".Free"); };
        Link.OnDatabaseLost = [&log, name] { log.push_back(name + ".Lost"); };
        Link.OnTransactionStarting = [&log, name] { log.push_back(name + ".Starting"); };
        Link.OnTransactionStarted = [&log, name] { log.push_back(name + ".Started"); };
        Link.OnTransactionEnding = [&log, name] { log.push_back(name + ".Ending"); };
        Link.OnTransactionEnded = [&log, name] { log.push_back(name + ".Ended"); };
        Link.OnTransactionFree = [&log, name] { log.push_back(name + ".TrFree"); };
    }
    TFbBase Link;
};

// Attachments of SYSKWR other than the asking one.
int OtherAttachments(const TTestDatabase& file) {
    return std::stoi(
        file.Query("select count(*) from mon$attachments where mon$user = 'SYSKWR' and "
                   "mon$attachment_id <> current_connection and mon$remote_protocol is not null"));
}

// ---- attaching

TEST(Attach, TcpForm) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.SetSQLDialect(3);
    db.SetConnected(true);
    ASSERT_TRUE(db.Connected());
    EXPECT_GT(VersionTextCount(db), 1) << "through the network";
    EXPECT_EQ(OtherAttachments(file), 1);
    EXPECT_EQ(db.SQLDialect(), 3);
    EXPECT_EQ(db.DBSQLDialect(), 3);
    EXPECT_TRUE(db.IsFirebirdConnect());
    EXPECT_FALSE(db.IsIB2007Connect());
    EXPECT_FALSE(db.IsUnicodeConnect()) << "WIN1250 is not Unicode";
    EXPECT_FALSE(db.NeedUnicodeFieldsTranslation());
    EXPECT_EQ(db.ServerMajorVersion(), 3);
    EXPECT_EQ(db.ServerMinorVersion(), 0);
    EXPECT_GE(db.ServerRelease(), 0);
    EXPECT_GT(db.ServerBuild(), 0);
    EXPECT_EQ(db.FirebirdVersionText().substr(0, 6), "LI-V3.");
    EXPECT_EQ(db.DPB()[0], 1);
    EXPECT_EQ(std::to_string(db.AttachmentID()),
              file.Query("select min(mon$attachment_id) from mon$attachments where mon$user = 'SYSKWR' and "
                         "mon$attachment_id <> current_connection and mon$remote_protocol is not null"));
    db.SetConnected(false);
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.AttachmentID(), -1);
    EXPECT_EQ(OtherAttachments(file), 0);
}

TEST(Attach, LocalPathThroughTheEmbeddedEngine) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.Path);
    db.Open();
    ASSERT_TRUE(db.Connected());
    EXPECT_EQ(VersionTextCount(db), 1) << "no network in between";
    EXPECT_EQ(db.ServerMajorVersion(), 3);
    EXPECT_TRUE(db.IsFirebirdConnect());
    db.Close();
    EXPECT_FALSE(db.Connected());
}

TEST(Attach, UnicodeCharacterSetFlags) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.SetDBParams({"user_name=SYSKWR", "password=" + FbTestPassword(), "isc_dpb_lc_ctype=utf8"});
    db.Open();
    EXPECT_TRUE(db.IsUnicodeConnect());
    EXPECT_TRUE(db.NeedUnicodeFieldsTranslation());
}

TEST(Attach, DialectLoweredOnADialect1Database) {
    TTestDatabase file(1);
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.SetSQLDialect(3);
    db.Open();
    EXPECT_EQ(db.DBSQLDialect(), 1);
    EXPECT_EQ(db.SQLDialect(), 1);
    const auto e = Raised([&] { db.SetSQLDialect(3); });
    EXPECT_EQ(e.Message(), "SQL Dialect invalid");
    EXPECT_EQ(e.SQLCode(), feSQLDialectInvalid);
    EXPECT_EQ(db.SQLDialect(), 1);
    db.SetSQLDialect(1);
}

TEST(Attach, DialectRules) {
    TFbDatabase db;
    EXPECT_EQ(db.SQLDialect(), 1) << "1 on creation";
    EXPECT_EQ(Raised([&] { db.SetSQLDialect(0); }).Message(), "SQL Dialect invalid");
    EXPECT_EQ(Raised([&] { db.SetSQLDialect(-3); }).SQLCode(), 61);
    db.SetSQLDialect(3);
    EXPECT_EQ(db.SQLDialect(), 3) << "detached: any value from 1 up";
}

TEST(Attach, DialectStaysWhenTheDatabaseHasTheHigherOne) {
    TTestDatabase file(3);
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.Open();
    EXPECT_EQ(db.SQLDialect(), 1) << "1 stays 1 on a dialect-3 database";
    db.SetSQLDialect(3);
    EXPECT_EQ(db.SQLDialect(), 3);
}

TEST(Attach, SecondConnectedIsANoOp) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    int connects = 0;
    db.OnConnect = [&](TObject* sender) {
        EXPECT_EQ(sender, &db);
        ++connects;
    };
    db.SetConnected(true);
    const TFbHandle handle = db.Handle();
    db.SetConnected(true);
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(db.Handle(), handle);
    EXPECT_EQ(OtherAttachments(file), 1);
}

TEST(Attach, CustomDatabaseRefusesASecondOpen) {
    TTestDatabase file;
    TFbCustomDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.Open();
    const auto e = Raised([&] { db.Open(); });
    EXPECT_EQ(e.Message(), "Cannot perform operation -- DB is currently open.");
    EXPECT_EQ(e.SQLCode(), 13);
    EXPECT_TRUE(db.Connected());
}

TEST(Attach, EmptyNameIsMissing) {
    TFbDatabase db;
    db.SetDBParams(FbTestParams());
    const auto e = Raised([&] { db.Open(); });
    EXPECT_EQ(e.Message(), "Database name is missing.");
    EXPECT_EQ(e.SQLCode(), 14);
    EXPECT_FALSE(db.Connected());
}

TEST(Attach, BeforeConnectMayCancel) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    int calls = 0;
    db.BeforeConnect = [&](TObject* sender, TFbStrings& params, bool& doConnect) {
        EXPECT_EQ(sender, &db);
        EXPECT_EQ(&params, &db.DBParams());
        ++calls;
        doConnect = false;
    };
    db.Open();
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(calls, 1);
    db.BeforeConnect = [&](TObject*, TFbStrings&, bool&) { ++calls; };
    db.Open();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(calls, 2);
}

TEST(Attach, UnknownParameterLeavesDetachedWithTrimmedLines) {
    TTestDatabase file;
    TFbDatabase db;
    db.SetDBName(file.TcpName());
    db.SetDBParams({" user_name=SYSKWR ", "password=" + FbTestPassword(), "lc_ctype =WIN1250"});
    const auto e = Raised([&] { db.Open(); });
    EXPECT_EQ(e.Message(), "DPB Constant (lc_ctype ) is unknown.");
    EXPECT_EQ(e.SQLCode(), feDPBConstantUnknown);
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.DBParams()[0], "user_name=SYSKWR");
    EXPECT_EQ(db.DBParams()[2], "lc_ctype =WIN1250");
    // Corrected, the next attach rebuilds the block.
    db.DBParams().Put(2, "lc_ctype=WIN1250");
    db.Open();
    EXPECT_TRUE(db.Connected());
}

// A refused block is never sent: every try builds it again and fails the same way. Through the
// embedded engine, where an attach with an empty block would succeed.
TEST(Attach, RefusedParametersRefuseEveryTry) {
    const struct {
        const char* Name;
        std::vector<std::string> Lines;
        const char* Message;
    } cases[] = {
        {"Unknown", {"user_name=SYSKWR", "bogus=1"}, "DPB Constant (bogus) is unknown."},
        {"Unsupported", {"page_size=4096"}, "DPB Constant (isc_dpb_page_size) is unsupported."},
        {"NotAnInteger", {"num_buffers=many"}, "'many' is not a valid integer value"},
    };
    TTestDatabase file;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TFbDatabase db;
        db.SetDBName(file.Path);
        db.SetDBParams(c.Lines);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            try {
                db.Open();
                ADD_FAILURE() << "attempt " << attempt << " attached";
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message(), c.Message) << "attempt " << attempt;
            }
            EXPECT_FALSE(db.Connected());
        }
    }
}

TEST(Attach, NamesAndLinesCannotChangeWhileAttached) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.Open();
    db.SetDBName(file.TcpName()); // the same name is no change
    EXPECT_EQ(Raised([&] { db.SetDBName("other.fdb"); }).SQLCode(), feDatabaseOpen);
    EXPECT_EQ(Raised([&] { db.DBParams().Add("num_buffers=100"); }).Message(),
              "Cannot perform operation -- DB is currently open.");
    EXPECT_EQ(Raised([&] { db.SetDBParams({}); }).SQLCode(), feDatabaseOpen);
    EXPECT_EQ(db.DBParams().Count(), 3u);
    EXPECT_EQ(db.DBName(), file.TcpName());
}

// ---- failures the server reports

TEST(AttachFailure, WrongPassword) {
    TTestDatabase file;
    TFbDatabase db;
    db.SetDBName(file.TcpName());
    db.SetDBParams({"user_name=SYSKWR", "password=wrong", "lc_ctype=WIN1250"});
    const auto e = Raised<EFbLibraryError>([&] { db.Open(); });
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.Handle(), 0u);
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_EQ(e.IBErrorCode(), 335544472); // isc_login
    EXPECT_EQ(e.RaiserName(), "");
    EXPECT_EQ(MessageLines(e.Message()),
              (std::vector<std::string>{kSqlMessage902,
                                        "Your user name and password are not defined. Ask your database "
                                        "administrator to set up a Firebird login."}));
}

TEST(AttachFailure, MissingDatabaseFile) {
    TTempDir dir;
    const std::string path = dir / "none.fdb";
    TFbDatabase db;
    SetUpDatabase(db, FbTestServer().TcpName(path));
    const auto e = Raised<EFbLibraryError>([&] { db.Open(); });
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_EQ(e.IBErrorCode(), 335544344); // isc_io_error
    EXPECT_EQ(MessageLines(e.Message()),
              (std::vector<std::string>{kSqlMessage902,
                                        "I/O error during \"open\" operation for file \"" + path + "\".",
                                        "Error while trying to open file.", "No such file or directory."}));
}

TEST(AttachFailure, MissingLocalFileThroughTheEmbeddedEngine) {
    TTempDir dir;
    const std::string path = dir / "none.fdb";
    FbTestServer();
    TFbDatabase db;
    SetUpDatabase(db, path);
    const auto e = Raised<EFbLibraryError>([&] { db.Open(); });
    EXPECT_EQ(e.IBErrorCode(), 335544344);
    EXPECT_EQ(MessageLines(e.Message()).size(), 4u);
}

TEST(AttachFailure, HostThatDoesNotAnswer) {
    // A loopback port nobody listens on: the connection is refused at once.
    TFbTestServer& server = FbTestServer();
    TTempDir dir;
    TFbTestServer silent(dir / "silent"); // prepared, never started: its port stays unanswered
    TFbDatabase db;
    SetUpDatabase(db, silent.TcpName("/tmp/x.fdb"));
    const auto e = Raised<EFbLibraryError>([&] { db.Open(); });
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_EQ(e.IBErrorCode(), 335544721); // isc_network_error
    EXPECT_EQ(
        MessageLines(e.Message()),
        (std::vector<std::string>{kSqlMessage902, "Unable to complete network request to host \"127.0.0.1\".",
                                  "Failed to establish a connection."}));
    (void)server;
}

TEST(AttachFailure, RaiserLineOfANamedComponent) {
    TComponent form;
    form.SetName("fLokalizacjaBazy");
    auto* db = new TFbDatabase(&form);
    db->SetName("Baza");
    db->SetDBName(FbTestServer().TcpName("/nonexistent/dir/x.fdb"));
    db->SetDBParams(FbTestParams());
    const auto e = Raised<EFbLibraryError>([&] { db->Open(); });
    EXPECT_EQ(e.RaiserName(), "fLokalizacjaBazy.Baza");
    EXPECT_EQ(e.Message().rfind("fLokalizacjaBazy.Baza:\r\n" + std::string(kSqlMessage902) + "\r\n", 0), 0u);
}

TEST(AttachFailure, ClientErrorAfterAFailedCallCarriesItsCode) {
    TFbDatabase db;
    SetUpDatabase(db, FbTestServer().TcpName("/nonexistent/x.fdb"));
    Raised<EFbLibraryError>([&] { db.Open(); });
    EXPECT_EQ(Raised([] { FbError(feDatabaseNameMissing); }).IBErrorCode(), 335544344);

    TTestDatabase file;
    TFbDatabase ok;
    SetUpDatabase(ok, file.TcpName());
    ok.Open();
    EXPECT_EQ(Raised([] { FbError(feDatabaseNameMissing); }).IBErrorCode(), 0);
}

// ---- events, listeners and links

TEST(Events, OrderOfAttachAndDetach) {
    TTestDatabase file;
    std::vector<std::string> log;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TRecordingLink first(log, "L1"), second(log, "L2");
    first.Link.SetDatabase(&db);
    second.Link.SetDatabase(&db);
    db.OnConnect = [&](TObject*) { log.push_back("OnConnect"); };
    db.vOnConnected.Add([&](TObject*) { log.push_back("vOnConnected1"); });
    db.vOnConnected.Add([&](TObject*) { log.push_back("vOnConnected2"); });
    db.BeforeDisconnect = [&](TObject*) { log.push_back("BeforeDisconnect"); };
    db.vBeforeDisconnect.Add([&](TObject*) { log.push_back("vBeforeDisconnect"); });
    db.AfterDisconnect = [&](TObject*) { log.push_back("AfterDisconnect"); };
    db.Open();
    db.Close();
    EXPECT_EQ(log,
              (std::vector<std::string>{"L1.Connecting", "L2.Connecting", "OnConnect", "vOnConnected1",
                                        "vOnConnected2", "L1.Connected", "L2.Connected", "BeforeDisconnect",
                                        "vBeforeDisconnect", "L1.Disconnecting", "L2.Disconnecting",
                                        "L1.Disconnected", "L2.Disconnected", "AfterDisconnect"}));
}

TEST(Events, ConnectedListenersStopWhenDetached) {
    TTestDatabase file;
    std::vector<std::string> log;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TRecordingLink link(log, "L");
    link.Link.SetDatabase(&db);
    db.vOnConnected.Add([&](TObject*) {
        log.push_back("first");
        db.Close();
    });
    db.vOnConnected.Add([&](TObject*) { log.push_back("second"); });
    db.Open();
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(std::count(log.begin(), log.end(), "second"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "L.Connected"), 0);
}

// One event under two names: a handler set as AfterConnect runs as OnConnect does, once per attach,
// with the attachment made; cleared under one name it is gone under the other.
TEST(Events, AfterConnectIsOnConnect) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    int calls = 0;
    db.AfterConnect() = [&](TObject* sender) {
        EXPECT_EQ(sender, &db);
        EXPECT_TRUE(db.Connected());
        ++calls;
    };
    db.Open();
    EXPECT_EQ(calls, 1);
    db.Close();
    db.OnConnect = nullptr;
    EXPECT_FALSE(db.AfterConnect());
    db.Open();
    EXPECT_EQ(calls, 1);
}

TEST(Events, BeforeDisconnectFailureIsReplacedAndStillDetaches) {
    TTestDatabase file;
    TComponent form;
    form.SetName("Form1");
    auto* db = new TFbDatabase(&form);
    db->SetName("Db1");
    SetUpDatabase(*db, file.TcpName());
    db->Open();
    int after = 0;
    db->BeforeDisconnect = [](TObject*) { throw Exception("boom"); };
    db->AfterDisconnect = [&](TObject*) { ++after; };
    try {
        db->Close();
        ADD_FAILURE() << "no exception";
    } catch (const EFbError&) {
        ADD_FAILURE() << "a client error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error of Form1.Db1.BeforeDisconnect. boom");
    }
    EXPECT_FALSE(db->Connected()) << "every path past the first check ends detached";
    EXPECT_EQ(after, 1);
    EXPECT_EQ(OtherAttachments(file), 0);

    db->BeforeDisconnect = nullptr;
    db->AfterDisconnect = [](TObject*) { throw std::runtime_error("late"); };
    db->Open();
    EXPECT_EQ(PlainMessage([&] { db->Close(); }), "Error of Form1.Db1.AfterDisconnect. late");
    EXPECT_FALSE(db->Connected());
}

// A handler that fails while a close runs, with a transaction active and two statement links bound:
// a forced close ends the transaction and detaches whatever it throws; an unforced one either
// detaches completely or stays attached with the transaction alive, as the server sees it.
enum TFailingHandler : std::uint8_t {
    fhBeforeDisconnect,
    fhBeforeEnd,
    fhLinkTransactionEnding,
    fhLinkDisconnecting
};

struct TCloseFailureCase {
    const char* Name;
    TFailingHandler Handler;
    bool Force;
    const char* Message; // what the close raises; empty: nothing
    bool StaysAttached;
};

std::ostream& operator<<(std::ostream& out, const TCloseFailureCase& c) {
    return out << c.Name;
}

class CloseFailure : public ::testing::TestWithParam<TCloseFailureCase> {};

TEST_P(CloseFailure, DetachesCompletelyOrStaysAttached) {
    const TCloseFailureCase& c = GetParam();
    TTestDatabase file;
    file.Execute({"create table t (a integer)"});
    std::vector<std::string> log;
    TRecordingLink link(log, "L"), second(log, "L2");
    TFbDatabase db;
    db.SetName("Db");
    SetUpDatabase(db, file.TcpName());
    TFbTransaction tr;
    tr.SetTimeoutAction(TACommit);
    db.SetDefaultTransaction(&tr);
    link.Link.SetDatabase(&db);
    link.Link.SetTransaction(&tr);
    second.Link.SetDatabase(&db);
    db.Open();
    tr.StartTransaction();
    ExecSql(db, tr, "insert into t values (1)");
    const long long attachment = db.AttachmentID();
    int afterDisconnect = 0;
    db.AfterDisconnect = [&](TObject*) { ++afterDisconnect; };
    const auto boom = [](auto&&...) { throw Exception("boom"); };
    switch (c.Handler) {
    case fhBeforeDisconnect:
        db.BeforeDisconnect = boom;
        break;
    case fhBeforeEnd:
        tr.BeforeEnd = boom;
        break;
    case fhLinkTransactionEnding:
        link.Link.OnTransactionEnding = boom;
        break;
    case fhLinkDisconnecting:
        link.Link.OnDatabaseDisconnecting = boom;
        break;
    }
    std::string raised;
    try {
        c.Force ? db.ForceClose() : db.Close();
    } catch (const Exception& e) {
        raised = e.Message();
    }
    EXPECT_EQ(raised, c.Message);
    const std::string serverTransactions =
        "select count(*) from mon$transactions where mon$attachment_id = " + std::to_string(attachment);
    if (c.StaysAttached) {
        EXPECT_TRUE(db.Connected());
        EXPECT_TRUE(tr.Active());
        EXPECT_EQ(OtherAttachments(file), 1);
        EXPECT_EQ(file.Query(serverTransactions), "1") << "the transaction lives on";
        EXPECT_EQ(file.Query("select count(*) from t"), "0");
        EXPECT_EQ(afterDisconnect, 0);
        // Once the handler lets go, the close completes.
        tr.BeforeEnd = nullptr;
        link.Link.OnTransactionEnding = nullptr;
        db.Close();
    }
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(tr.State(), tsClosed);
    EXPECT_EQ(OtherAttachments(file), 0) << "the server let go of the attachment";
    EXPECT_EQ(file.Query("select count(*) from t"), "1") << "ended with its TimeoutAction";
    EXPECT_EQ(afterDisconnect, 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "L.Disconnected"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "L2.Disconnecting"), 1) << "every statement is told";
    EXPECT_EQ(std::count(log.begin(), log.end(), "L.Lost"), c.Handler == fhLinkDisconnecting ? 1 : 0)
        << "a statement that failed to let go forgets its handle";
}

INSTANTIATE_TEST_SUITE_P(
    Close, CloseFailure,
    ::testing::Values(
        TCloseFailureCase{"BeforeDisconnect", fhBeforeDisconnect, false, "Error of Db.BeforeDisconnect. boom",
                          false},
        TCloseFailureCase{"BeforeDisconnectForced", fhBeforeDisconnect, true,
                          "Error of Db.BeforeDisconnect. boom", false},
        TCloseFailureCase{"BeforeEnd", fhBeforeEnd, false, "boom", true},
        TCloseFailureCase{"BeforeEndForced", fhBeforeEnd, true, "", false},
        TCloseFailureCase{"LinkTransactionEnding", fhLinkTransactionEnding, false, "boom", true},
        TCloseFailureCase{"LinkTransactionEndingForced", fhLinkTransactionEnding, true, "", false},
        TCloseFailureCase{"LinkDisconnecting", fhLinkDisconnecting, false, "boom", false},
        TCloseFailureCase{"LinkDisconnectingForced", fhLinkDisconnecting, true, "", false}),
    [](const auto& info) { return std::string(info.param.Name); });

// With a transaction active: it is ended with the attachment, and deleting it afterwards is safe.
TEST(Events, DestroyingWithAFailingBeforeDisconnectStillDetaches) {
    TTestDatabase file;
    file.Execute({"create table t (a integer)"});
    auto* tr = new TFbTransaction;
    tr->SetTimeoutAction(TACommit);
    auto* db = new TFbDatabase;
    db->SetName("Db");
    SetUpDatabase(*db, file.TcpName());
    db->SetDefaultTransaction(tr);
    db->Open();
    tr->StartTransaction();
    ExecSql(*db, *tr, "insert into t values (1)");
    db->BeforeDisconnect = [](TObject*) { throw Exception("gone"); };
    delete db; // the replaced text is swallowed: destruction never throws
    EXPECT_EQ(OtherAttachments(file), 0);
    EXPECT_FALSE(tr->Active());
    EXPECT_EQ(file.Query("select count(*) from t"), "1");
    delete tr;
}

TEST(Events, FailedEndOfATransactionPropagatesUnlessForced) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TFbTransaction tr;
    db.SetDefaultTransaction(&tr);
    db.Open();
    tr.StartTransaction();
    tr.AfterEnd = [](TObject*, TTransactionAction, bool) { throw Exception("after end"); };
    EXPECT_EQ(PlainMessage([&] { db.Close(); }), "after end");
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(tr.Active());
    db.Open();
    tr.StartTransaction();
    EXPECT_NO_THROW(db.ForceClose());
    EXPECT_FALSE(db.Connected());
}

// ---- closing a lost connection

TEST(LostConnection, CloseAfterTheServerWasKilledClosesAsLost) {
    TOwnServerDatabase s;
    std::vector<std::string> log;
    TRecordingLink link(log, "L");
    link.Link.SetDatabase(&s.Db);
    TFbTransaction tr;
    s.Db.SetDefaultTransaction(&tr);
    s.Db.Open();
    tr.StartTransaction();
    int lostCalls = 0;
    s.Db.OnLostConnect = [&](TObject* sender, EFbError& error, TOnLostConnectActions& action) {
        EXPECT_EQ(sender, &s.Db);
        EXPECT_EQ(action, laCloseConnect);
        EXPECT_NE(error.IBErrorCode(), 0);
        ++lostCalls;
    };
    s.Db.BeforeDisconnect = [&](TObject*) { log.push_back("BeforeDisconnect"); };
    s.Db.AfterDisconnect = [&](TObject*) { log.push_back("AfterDisconnect"); };
    log.clear();
    s.Server.Kill();
    EXPECT_NO_THROW(s.Db.Close());
    EXPECT_FALSE(s.Db.Connected());
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(tr.State(), tsClosed);
    EXPECT_EQ(lostCalls, 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "BeforeDisconnect"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "AfterDisconnect"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "L.Lost"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "L.Disconnecting"), 0);
}

TEST(LostConnection, IgnoreKeepsTheHandle) {
    TOwnServerDatabase s;
    s.Db.Open();
    s.Db.OnLostConnect = [](TObject*, EFbError&, TOnLostConnectActions& action) { action = laIgnore; };
    s.Server.Kill();
    EXPECT_FALSE(s.Db.ExTestConnected(laCloseConnect));
    EXPECT_TRUE(s.Db.Connected()) << "laIgnore closes nothing";
    s.Db.Close(); // the connection test fails again and is ignored again
    EXPECT_TRUE(s.Db.Connected());
    s.Db.OnLostConnect = nullptr;
    EXPECT_NO_THROW(s.Db.ForceClose()) << "the failed detach is swallowed";
    EXPECT_FALSE(s.Db.Connected());
}

TEST(LostConnection, ForcedCloseRollsBackWithoutRaisingWhenTheRollbackFails) {
    TOwnServerDatabase s;
    TFbTransaction tr;
    tr.SetTimeoutAction(TARollback);
    s.Db.SetDefaultTransaction(&tr);
    s.Db.Open();
    tr.StartTransaction();
    std::vector<std::string> log;
    tr.BeforeEnd = [&](TObject*, TTransactionAction action, bool force) {
        log.push_back(std::string("BeforeEnd ") + (action == TARollback ? "rollback" : "?") +
                      (force ? " forced" : ""));
    };
    s.Server.Kill();
    EXPECT_NO_THROW(s.Db.ForceClose());
    EXPECT_FALSE(s.Db.Connected());
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(log, std::vector<std::string>{"BeforeEnd rollback forced"});
}

// ---- forced ends of transactions on disconnect

class DisconnectEnds : public ::testing::TestWithParam<TTimeoutActionCase> {};

TEST_P(DisconnectEnds, ActiveTransactionEndedWithItsTimeoutAction) {
    const TTimeoutActionCase& c = GetParam();
    TTestDatabase file;
    file.Execute({"create table t (a integer)"});
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    TFbTransaction tr;
    tr.SetTimeoutAction(c.TimeoutAction);
    db.SetDefaultTransaction(&tr);
    db.Open();
    tr.StartTransaction();
    ExecSql(db, tr, "insert into t values (1)");
    std::vector<std::string> log;
    tr.BeforeEnd = [&](TObject*, TTransactionAction action, bool force) {
        log.push_back(std::to_string(action) + (force ? " forced" : ""));
    };
    db.Close();
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(file.Query("select count(*) from t"), c.RowsAfter);
    EXPECT_EQ(log, std::vector<std::string>{std::to_string(c.FullAction) + " forced"});
}

INSTANTIATE_TEST_SUITE_P(Disconnect, DisconnectEnds, ::testing::ValuesIn(kTimeoutActionCases),
                         TimeoutActionCaseName);

// ---- destruction

TEST(Destruction, DestroyingAnAttachedDatabaseDetachesWithoutTheConnectionTest) {
    TTestDatabase file;
    file.Execute({"create table t (a integer)"});
    std::vector<std::string> log;
    TRecordingLink link(log, "L");
    auto* tr = new TFbTransaction;
    tr->SetTimeoutAction(TACommit);
    auto* db = new TFbDatabase;
    SetUpDatabase(*db, file.TcpName());
    link.Link.SetDatabase(db);
    db->SetDefaultTransaction(tr);
    db->vOnDestroy.Add([&](TObject*) { log.push_back("vOnDestroy1"); });
    db->vOnDestroy.Add([&](TObject*) { log.push_back("vOnDestroy2"); });
    db->OnLostConnect = [&](TObject*, EFbError&, TOnLostConnectActions&) { log.push_back("OnLostConnect"); };
    db->BeforeDisconnect = [&](TObject*) { log.push_back("BeforeDisconnect"); };
    db->Open();
    tr->StartTransaction();
    ExecSql(*db, *tr, "insert into t values (1)");
    ASSERT_EQ(OtherAttachments(file), 1);
    const auto before = FbDatabaseList();
    EXPECT_NE(std::find(before.begin(), before.end(), db), before.end());
    log.clear();
    delete db;
    EXPECT_EQ(OtherAttachments(file), 0);
    EXPECT_EQ(file.Query("select count(*) from t"), "1") << "the transaction ended with its TimeoutAction";
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeDisconnect", "L.Disconnecting", "L.Disconnected",
                                             "vOnDestroy2", "vOnDestroy1", "L.Free"}));
    EXPECT_EQ(link.Link.Database(), nullptr);
    EXPECT_EQ(tr->DatabaseCount(), 0);
    EXPECT_EQ(tr->DefaultDatabase(), nullptr);
    const auto after = FbDatabaseList();
    EXPECT_EQ(std::find(after.begin(), after.end(), db), after.end());
    delete tr;
}

TEST(Destruction, OwnedDatabaseGoesWithItsOwner) {
    TTestDatabase file;
    auto* form = new TComponent;
    auto* db = new TFbDatabase(form);
    SetUpDatabase(*db, file.TcpName());
    db->Open();
    delete form;
    EXPECT_EQ(OtherAttachments(file), 0);
}

// ---- the internal transaction, the database list, the default transaction

TEST(Database, CreationDefaults) {
    TFbDatabase db;
    EXPECT_EQ(db.LibraryName(), "gds32.dll");
    EXPECT_FALSE(db.UpperOldNames());
    EXPECT_FALSE(db.UseLoginPrompt());
    EXPECT_EQ(db.SQLDialect(), 1);
    EXPECT_TRUE(db.SynchronizeTime());
    EXPECT_FALSE(db.Connected());
    ASSERT_NE(db.InternalTransaction(), nullptr);
    EXPECT_EQ(db.InternalTransaction()->DefaultDatabase(), &db);
    EXPECT_EQ(db.InternalTransaction()->TRParams().Lines(),
              (std::vector<std::string>{"write", "isc_tpb_nowait", "read_committed", "rec_version"}));
    EXPECT_EQ(db.TransactionCount(), 1) << "the internal transaction uses the database";
    const auto list = FbDatabaseList();
    EXPECT_NE(std::find(list.begin(), list.end(), &db), list.end());
}

TEST(Database, DefaultTransactionWiring) {
    TFbDatabase db;
    TFbTransaction tr;
    db.SetDefaultTransaction(&tr);
    EXPECT_EQ(db.DefaultTransaction(), &tr);
    EXPECT_EQ(tr.DefaultDatabase(), &db);
    EXPECT_EQ(tr.FindDatabase(&db), 0);
    EXPECT_GE(db.FindTransaction(&tr), 0);
    TFbDatabase other;
    TFbTransaction second;
    second.SetDefaultDatabase(&other);
    db.SetDefaultTransaction(&second);
    EXPECT_EQ(second.DefaultDatabase(), &other) << "a transaction that has a default database keeps it";
    EXPECT_GE(second.FindDatabase(&db), 0);
    db.SetDefaultTransaction(nullptr);
    EXPECT_EQ(db.DefaultTransaction(), nullptr);
}

TEST(Database, TransactionSlotsAreReused) {
    TFbDatabase db;
    auto* a = new TFbTransaction;
    auto* b = new TFbTransaction;
    a->AddDatabase(&db);
    b->AddDatabase(&db);
    const int slotOfA = db.FindTransaction(a);
    const std::size_t slots = db.TransactionSlots();
    delete a;
    EXPECT_EQ(db.Transactions(static_cast<std::size_t>(slotOfA)), nullptr);
    TFbTransaction c;
    c.AddDatabase(&db);
    EXPECT_EQ(db.FindTransaction(&c), slotOfA);
    EXPECT_EQ(db.TransactionSlots(), slots);
    delete b;
}

TEST(Database, ClosedDatabaseRefusesInformation) {
    TFbCustomDatabase db;
    db.SetName("Db");
    const auto e = Raised([&] { db.DBSQLDialect(); });
    EXPECT_EQ(e.Message(), "Db: Cannot perform operation -- DB is not open.");
    EXPECT_EQ(e.SQLCode(), 12);
    EXPECT_EQ(Raised([&] { db.ForceClose(); }).SQLCode(), 12);
    // Close of a detached database, and any close of a detached TFbDatabase: nothing, no handler.
    int handlers = 0;
    const auto count = [&](TObject*) { ++handlers; };
    db.BeforeDisconnect = db.AfterDisconnect = count;
    EXPECT_NO_THROW(db.Close());
    TFbDatabase fb;
    fb.BeforeDisconnect = fb.AfterDisconnect = count;
    EXPECT_NO_THROW(fb.ForceClose());
    EXPECT_NO_THROW(fb.Close());
    EXPECT_EQ(handlers, 0);
}

} // namespace
