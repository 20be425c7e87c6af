// The database component: the database name and the connection lines from the six settings, the
// connect and disconnect chains with the generator provider, the schema fact cache, the plan
// preprocessor's life, and the names of the database's exceptions.

#include "DbLayerTestUtil.h"
#include "dblayer/KwGenerator.h"
#include "dblayer/KwSQL.h"
#include "dblayer/KwTransaction.h"
#include "dblayer/SqlPlanPreProc.h"
#include "fbclient/FbErrors.h"
#include "platform/Credentials.h"

#include <gtest/gtest.h>

#include <array>
#include <sys/stat.h>

namespace {

// Counts the runs of its two hooks, in counters that outlive it.
struct THookCounts {
    int Connects = 0;
    int Disconnects = 0;
};

class TCountingDatabase : public TkwDatabase {
public:
    explicit TCountingDatabase(THookCounts& counts) : FCounts(counts) {}
    // The hooks must still be this class's while the destruction detaches.
    ~TCountingDatabase() override { Destroy(); }
    using TkwDatabase::PresetSchemaFacts;

protected:
    void DoConnect() override { ++FCounts.Connects; }
    void DoDisconnect() override {
        ++FCounts.Disconnects;
        TkwDatabase::DoDisconnect();
    }

private:
    THookCounts& FCounts;
};

std::array<TNullBoolean, 9> Facts(const TkwDatabase& d) {
    return {d.IsFieldWersjaPR(),
            d.IsTablePlatform(),
            d.IsFieldBLOKADA_ID_FIRMA(),
            d.IsTableBLOKADA_PING(),
            d.IsProcedureNieaktywnyIndex(),
            d.IsTableREJESTROPER(),
            d.IsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE(),
            d.IsFieldBLOKADA_SESJA(),
            d.IsFieldUzytkownik_Aktywny()};
}
constexpr std::array<TNullBoolean, 9> kNoFacts{};

struct TNameCase {
    const char* Name;
    bool Remote;
    const char* Serwer;
    int Protocol;
    const char* Dir;
    const char* File;
    const char* Ext;
    const char* Expected;
};

const TNameCase kNameCases[] = {
    {"LocalGetsTheExtension", false, "srv", npTCP, "C:\\Dane", "systemkw", ".gdb", "C:\\Dane\\systemkw.gdb"},
    {"LocalIgnoresServerAndProtocol", false, "srv", npSPX, "C:\\Dane\\", "systemkw", ".gdb",
     "C:\\Dane\\systemkw.gdb"},
    {"LocalSlashPath", false, "", npTCP, "/srv/dane", "systemkw", ".fdb", "/srv/dane/systemkw.fdb"},
    {"LocalEmptyDirIsTheFileAlone", false, "srv", npTCP, "", "systemkw", ".gdb", "systemkw.gdb"},
    {"Tcp", true, "srv", npTCP, "C:\\Dane", "systemkw", ".gdb", "srv:C:\\Dane\\systemkw.gdb"},
    {"TcpEmptyDir", true, "srv", npTCP, "", "systemkw", ".gdb", "srv:systemkw.gdb"},
    {"NamedPipes", true, "srv", npNamedPipes, "C:\\Dane", "systemkw", ".gdb",
     "\\\\srv\\C:\\Dane\\systemkw.gdb"},
    {"NamedPipesEmptyDir", true, "srv", npNamedPipes, "", "systemkw", ".gdb", "\\\\srv\\systemkw.gdb"},
    {"Spx", true, "srv", npSPX, "C:\\Dane", "systemkw", ".gdb", "srv@C:\\Dane\\systemkw.gdb"},
    {"SpxEmptyDir", true, "srv", npSPX, "", "systemkw", ".gdb", "srv@systemkw.gdb"},
    {"RemoteUnknownProtocolIsEmpty", true, "srv", 3, "C:\\Dane", "systemkw", ".gdb", ""},
    {"RemoteLastByteProtocolIsEmpty", true, "srv", 255, "", "systemkw", ".gdb", ""},
    // A dot anywhere keeps the name; the extension is glued on as it is, without a dot of its own.
    {"NameWithExtensionKept", false, "", npTCP, "C:\\Dane", "systemkw.fdb", ".gdb", "C:\\Dane\\systemkw.fdb"},
    {"NameWithSeveralDotsKept", false, "", npTCP, "C:\\Dane", "a.b.c", ".gdb", "C:\\Dane\\a.b.c"},
    {"EmptyExtensionKeepsTheName", false, "", npTCP, "C:\\Dane", "systemkw", "", "C:\\Dane\\systemkw"},
    {"ExtensionWithoutDotGluedOn", false, "", npTCP, "C:\\Dane", "systemkw", "gdb", "C:\\Dane\\systemkwgdb"},
};

class DatabaseNames : public ::testing::TestWithParam<TNameCase> {};

TEST_P(DatabaseNames, FromTheSixSettings) {
    const TNameCase& c = GetParam();
    TSystemPassword password;
    TkwDatabase db;
    db.SetDBName("previous");
    db.SetRemoteSerwer(c.Remote);
    db.SetSerwerName(c.Serwer);
    db.SetProtocolName(static_cast<TIBNetProtocol>(c.Protocol));
    db.SetDatabaseDir(c.Dir);
    db.SetDatabaseFileName(c.File);
    db.SetDatabaseFileExt(c.Ext);
    db.PrepareParams();
    EXPECT_EQ(db.DBName(), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DatabaseNames, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(KwDatabase, ConnectionLinesThreeOrFourAndClearedFirst) {
    TSystemPassword password;
    TkwDatabase db;
    db.DBParams().Assign({"sql_role_name=X"});
    db.PrepareParams();
    const std::vector<std::string> three = {"user_name=SYSKWR", "password=" + FbTestPassword(),
                                            "lc_ctype=WIN1250"};
    EXPECT_EQ(db.DBParams().Lines(), three);
    db.PrepareParams();
    EXPECT_EQ(db.DBParams().Lines(), three);
    db.SetUseMinBuffers(true);
    db.PrepareParams();
    std::vector<std::string> four = three;
    four.push_back("num_buffers=250");
    EXPECT_EQ(db.DBParams().Lines(), four);
    EXPECT_EQ(StrUserName(), "SYSKWR");
}

// The credential source refuses a password file others may read: the refusal reaches the caller
// of PrepareParams without the password, and only the user line is left.
TEST(KwDatabase, CredentialFailureReachesTheCallerWithoutThePassword) {
    TTempDir dir;
    TEnvVar variable(platform::kSystemAccountPasswordVariable, std::nullopt);
    TEnvVar config("XDG_CONFIG_HOME", dir.Path().string());
    std::filesystem::create_directories(dir.Path() / "zelwan");
    const std::string file = platform::SystemAccountPasswordFile();
    WriteWholeFile(file, FbTestPassword() + "\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);

    TkwDatabase db;
    std::string message;
    try {
        db.PrepareParams();
        ADD_FAILURE() << "no refusal";
    } catch (const platform::ECredentialError& e) {
        message = e.Message();
    }
    EXPECT_NE(message.find(file), std::string::npos) << message;
    EXPECT_EQ(db.DBParams().Lines(), std::vector<std::string>{"user_name=SYSKWR"});
    ExpectNoPassword({message}, dir.Path() / "none");

    // Without any source the message names both.
    std::filesystem::remove(file);
    try {
        db.PrepareParams();
        ADD_FAILURE() << "no refusal";
    } catch (const platform::ECredentialError& e) {
        EXPECT_NE(e.Message().find(platform::kSystemAccountPasswordVariable), std::string::npos)
            << e.Message();
        EXPECT_NE(e.Message().find(file), std::string::npos) << e.Message();
    }
}

TEST(KwDatabase, ConstructionDefaults) {
    TkwDatabase db;
    EXPECT_EQ(db.SQLDialect(), 3);
    EXPECT_FALSE(db.LoginPrompt());
    EXPECT_FALSE(db.UseMinBuffers());
    EXPECT_FALSE(db.RemoteSerwer());
    EXPECT_EQ(db.ProtocolName(), npTCP);
    EXPECT_EQ(db.InfoError(), ieToScreen);
    EXPECT_EQ(&db.Params(), &db.DBParams());
    EXPECT_EQ(Facts(db), kNoFacts); // the test build has no program group
    EXPECT_EQ(db.GetGenerator(), nullptr);
    EXPECT_EQ(db.PlanPreProcessor(), nullptr);
    // Another list designated as Params leaves the base's list alone.
    TFbStrings other;
    db.SetParams(other);
    db.Params().Add("x=1");
    EXPECT_EQ(db.DBParams().Count(), 0u);
}

TEST(KwDatabase, EmptyPlanMakesNothing) {
    TkwDatabase db;
    EXPECT_EQ(db.PreProcPlan(""), "");
    EXPECT_EQ(db.PlanPreProcessor(), nullptr);
}

// The preprocessor is made on the first plan, on the default transaction, closed by a disconnect
// and opened again on the next plan, which then sees the constraints made meanwhile.
TEST(KwDatabase, PlanPreprocessorLife) {
    TSystemPassword password;
    TLayerDatabase file({"create table T (ID integer not null, constraint PK_T primary key (ID)"
                         " using index RDB$PRIMARY7)"});
    TFakeUi ui;
    TkwDatabase db;
    TkwTransaction transaction(&db);
    db.SetDefaultTransaction(&transaction);
    transaction.SetDefaultDatabase(&db);
    PrepareFor(db, file);
    db.SetConnected(true);

    // No constraint matches PK_U yet: the name goes, the server judges the rest.
    EXPECT_EQ(db.PreProcPlan("PLAN (T INDEX (PK_T, PK_U))"), "PLAN (T INDEX (RDB$PRIMARY7,))");
    ASSERT_NE(db.PlanPreProcessor(), nullptr);
    TSqlPlanPreProc* const preprocessor = db.PlanPreProcessor();
    EXPECT_TRUE(preprocessor->Active());
    EXPECT_TRUE(transaction.InTransaction()); // begun for it, uncounted
    EXPECT_EQ(transaction.CallCount(), 0);

    file.Execute({"create table U (ID integer not null, constraint PK_U primary key (ID)"
                  " using index RDB$PRIMARY9)"});
    db.SetConnected(false);
    EXPECT_EQ(db.PlanPreProcessor(), preprocessor);
    EXPECT_FALSE(preprocessor->Active());

    db.SetConnected(true);
    EXPECT_EQ(db.PreProcPlan("PLAN (T INDEX (PK_T, PK_U))"), "PLAN (T INDEX (RDB$PRIMARY7,RDB$PRIMARY9))");
    EXPECT_EQ(db.PlanPreProcessor(), preprocessor);
    EXPECT_TRUE(ui.IbErrorWnds.empty());
}

// Connects and disconnects twice: a provider exists only while attached, each connect makes a new
// one (the first one's generator is not in the second), and the facts are reset by a disconnect.
TEST(KwDatabase, ProviderPerConnectionAndFactsReset) {
    TSystemPassword password;
    TLayerDatabase file({"create generator GEN_K"});
    THookCounts counts;
    TCountingDatabase db(counts);
    db.PresetSchemaFacts(-2);
    const std::array<TNullBoolean, 9> preset = {nbTrue, nbTrue, nbTrue, nbTrue, nbFalse,
                                                nbTrue, nbTrue, nbTrue, nbTrue};
    EXPECT_EQ(Facts(db), preset);
    PrepareFor(db, file);

    db.SetConnected(true);
    ASSERT_NE(db.GetGenerator(), nullptr);
    EXPECT_EQ(db.GetGenerator()->BufferSize(), 1);
    EXPECT_EQ(db.GetGenerator()->GetIdValue("k"), 1);
    EXPECT_EQ(db.GetGenerator()->GeneratorCount(), 1u);
    EXPECT_EQ(Facts(db), preset); // a connect changes no fact
    db.SetOdczytanoWersje(true);

    db.SetConnected(false);
    EXPECT_EQ(db.GetGenerator(), nullptr);
    EXPECT_EQ(Facts(db), kNoFacts);
    EXPECT_FALSE(db.OdczytanoWersje());

    db.SetConnected(true);
    ASSERT_NE(db.GetGenerator(), nullptr);
    EXPECT_EQ(db.GetGenerator()->GeneratorCount(), 0u);
    EXPECT_EQ(db.GetGenerator()->GetIdValue("K"), 2);
    EXPECT_EQ(Facts(db), kNoFacts); // the preset is not applied again
    EXPECT_EQ(counts.Connects, 2);
    EXPECT_EQ(counts.Disconnects, 1);
}

struct TDestroyCase {
    const char* Name;
    bool Connect;
    bool Disconnect; // before the destruction
    int Disconnects; // after-disconnect chain runs in all
};

const TDestroyCase kDestroyCases[] = {
    {"NeverAttached", false, false, 0},
    {"Attached", true, false, 1},
    {"AttachedThenDetached", true, true, 1},
};

class DestroyChain : public ::testing::TestWithParam<TDestroyCase> {};

TEST_P(DestroyChain, RunsExactlyOnce) {
    const TDestroyCase& c = GetParam();
    TSystemPassword password;
    TLayerDatabase file;
    THookCounts counts;
    {
        TCountingDatabase db(counts);
        PrepareFor(db, file);
        if (c.Connect)
            db.SetConnected(true);
        if (c.Disconnect)
            db.SetConnected(false);
    }
    EXPECT_EQ(counts.Connects, c.Connect ? 1 : 0);
    EXPECT_EQ(counts.Disconnects, c.Disconnects);
    // The destruction detached: nobody is attached to the file any more.
    EXPECT_EQ(file.Query("select count(*) from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION"
                         " and MON$SYSTEM_FLAG = 0"),
              "0");
}

INSTANTIATE_TEST_SUITE_P(Cases, DestroyChain, ::testing::ValuesIn(kDestroyCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// A failed attach runs nothing of the component: no provider, no hook; the server's refusal reaches
// the caller as a client error without the password.
TEST(KwDatabase, FailedAttachRunsNoChain) {
    TSystemPassword password;
    TLayerDatabase file;
    THookCounts counts;
    TCountingDatabase db(counts);
    PrepareFor(db, file);
    db.SetDatabaseFileName("missing");
    db.PrepareParams();
    std::string message;
    try {
        db.SetConnected(true);
        ADD_FAILURE() << "attached to a missing file";
    } catch (const EFbError& e) {
        message = e.Message();
    }
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.GetGenerator(), nullptr);
    EXPECT_EQ(counts.Connects, 0);
    EXPECT_NE(message.find("missing.gdb"), std::string::npos) << message;
    ExpectNoPassword({message}, file.Dir.Path());
}

// A server that went away under the attachment: the close finds the connection lost and skips the
// after-disconnect chain, so the provider stays until the next connect replaces it.
TEST(KwDatabase, LostConnectionKeepsTheProviderUntilTheNextConnect) {
    TSystemPassword password;
    TTempDir dir;
    TFbTestServer own(dir.Path() / "instance");
    own.Start();
    const std::string path = dir / "own.fdb";
    CreateFbTestDatabase(own, path);
    THookCounts counts;
    TCountingDatabase db(counts);
    db.SetRemoteSerwer(true);
    db.SetSerwerName("127.0.0.1/" + std::to_string(own.Port()));
    db.SetDatabaseDir(dir.Path().string());
    db.SetDatabaseFileName("own.fdb");
    db.PrepareParams();
    db.SetConnected(true);
    db.SetIsTablePlatform(nbTrue);
    own.Kill();

    db.SetConnected(false);
    EXPECT_FALSE(db.Connected());
    EXPECT_NE(db.GetGenerator(), nullptr);
    EXPECT_EQ(db.IsTablePlatform(), nbTrue);
    EXPECT_EQ(counts.Disconnects, 0);

    TLayerDatabase file({"create generator GEN_K"});
    PrepareFor(db, file);
    db.SetConnected(true);
    ASSERT_NE(db.GetGenerator(), nullptr);
    EXPECT_EQ(db.GetGenerator()->GetIdValue("K"), 1);
    EXPECT_EQ(counts.Connects, 2);
}

TEST(KwDatabase, ExceptionNames) {
    TSystemPassword password;
    TLayerDatabase file({"create exception SZABLISTPLAC_ROZDZKOSZT 'x'",
                         "create procedure P_SZABLON as begin exception SZABLISTPLAC_ROZDZKOSZT; end"});
    const int number = std::stoi(file.Query("select RDB$EXCEPTION_NUMBER from RDB$EXCEPTIONS where "
                                            "RDB$EXCEPTION_NAME = 'SZABLISTPLAC_ROZDZKOSZT'"));
    TFakeUi ui;
    TkwDatabase db;
    PrepareFor(db, file);
    db.SetConnected(true);
    const int transactions = db.TransactionCount();
    EXPECT_EQ(db.GetExceptionName(number), "SZABLISTPLAC_ROZDZKOSZT");
    EXPECT_EQ(db.GetExceptionName(number + 1000), "");
    EXPECT_EQ(db.GetExceptionName(0), "");

    // Through the translation: the handler finds the component as the source of exception names.
    TMode mode(htBezOkna);
    TkwTransaction transaction;
    transaction.SetDefaultDatabase(&db);
    ASSERT_TRUE(transaction.kwBeginTrans(""));
    TkwSQL sql;
    sql.SetTransaction(&transaction);
    sql.SetSQLText("execute procedure P_SZABLON");
    const TOutcome outcome = Outcome([&] { sql.kwExecQuery(""); });
    EXPECT_EQ(outcome.Raised, rsKwDbError);
    EXPECT_EQ(outcome.IBErrorCode, 335544517);
    EXPECT_EQ(outcome.PolMessage.rfind("Wyjątek: \rWedług tego szablonu", 0), 0u) << outcome.PolMessage;
    EXPECT_TRUE(ui.IbErrorWnds.empty());
    EXPECT_TRUE(ui.Windows.empty());
    // Each lookup's own transaction is gone again; only this test's is new.
    EXPECT_EQ(db.TransactionCount(), transactions + 1);
}

// The lookup on a component that is not attached: its begin fails, and the handler decides as in any
// other guarded operation.
TEST(KwDatabase, ExceptionNameOnADetachedComponent) {
    for (const TkwDbErrorHandlingType type : {htOknoIAbort, htBezOkna}) {
        SCOPED_TRACE(type == htOknoIAbort ? "htOknoIAbort" : "htBezOkna");
        TFakeUi ui;
        TMode mode(type);
        TkwDatabase db;
        db.SetName("DB_SYSTEMKW");
        const TOutcome outcome = Outcome([&] { db.GetExceptionName(1); });
        EXPECT_EQ(outcome.Raised, type == htOknoIAbort ? rsAbort : rsKwDbError);
        ASSERT_EQ(ui.IbErrorWnds.size(), type == htOknoIAbort ? 1u : 0u);
        if (type == htOknoIAbort) {
            EXPECT_EQ(ui.IbErrorWnds[0].ObjectName, "TkwTransaction");
            EXPECT_EQ(ui.IbErrorWnds[0].DatabaseName, "DB_SYSTEMKW");
        }
    }
}

} // namespace
