// The plan preprocessor on a database whose key constraints carry system-named indexes: the rewrite
// rules, a rewritten plan the server takes, and failures of the constraint list.

#include "dblayer/SqlPlanPreProc.h"
#include "DbLayerTestUtil.h"
#include "dblayer/KwSQL.h"
#include "dblayer/KwTransaction.h"

#include <gtest/gtest.h>

namespace {

// PK_T and PK_TAB and FK_U_T are backed by system-named indexes, PK_U and FK_U_X by indexes of
// their own names; PK_Z1 and PK_Z2 by each other's names.
const std::vector<std::string> kSchema = {
    "create table T (ID integer not null, constraint PK_T primary key (ID) using index RDB$PRIMARY7)",
    "create table TAB (ID integer not null, constraint PK_TAB primary key (ID) using index RDB$PRIMARY8)",
    "create table U (ID integer not null, TID integer, XID integer, constraint PK_U primary key (ID),"
    " constraint FK_U_T foreign key (TID) references T (ID) using index RDB$FOREIGN9,"
    " constraint FK_U_X foreign key (XID) references TAB (ID))",
    "create table Z1 (ID integer not null, constraint PK_Z1 primary key (ID) using index PK_Z2)",
    "create table Z2 (ID integer not null, constraint PK_Z2 primary key (ID) using index PK_Z1)",
    "insert into T values (1)",
};

// The database component with a framework transaction as its default one.
struct TPlanTest : public ::testing::Test {
    TPlanTest() : Base(kSchema), Transaction(&Base.Db) {
        Transaction.SetDefaultDatabase(&Base.Db);
        Base.Db.SetDefaultTransaction(&Transaction);
    }
    // Runs a select with the plan; whether the server took it.
    bool Runs(const std::string& plan) {
        TMode mode(htBezOkna);
        TkwSQL sql;
        sql.SetTransaction(&Transaction);
        sql.SetSQLText("select ID from T where ID = 1 " + plan);
        return sql.kwExecQuery("-a") && sql.Fields(0).AsInteger() == 1;
    }

    TFakeUi Ui;
    TAttached Base;
    TkwTransaction Transaction;
};

struct TPlanCase {
    const char* Name;
    const char* Plan;
    const char* Expected;
};

const TPlanCase kPlanCases[] = {
    {"PrimaryKeyWithSystemIndex", "PLAN (T INDEX (PK_T))", "PLAN (T INDEX (RDB$PRIMARY7))"},
    {"ForeignKeyWithSystemIndex", "PLAN (U INDEX (FK_U_T))", "PLAN (U INDEX (RDB$FOREIGN9))"},
    {"OwnNamedIndexesKeepTheirNames", "PLAN (U INDEX (PK_U,FK_U_X))", "PLAN (U INDEX (PK_U,FK_U_X))"},
    // The worked example: blanks go, the system name comes in, the own-named index stays.
    {"BlanksAndBothPrefixes", "PLAN (U INDEX ( PK_T , FK_U_X ))", "PLAN (U INDEX (RDB$PRIMARY7,FK_U_X))"},
    {"NoConstraintNamesOnlyBlanks", "PLAN ( T NATURAL , U INDEX ( RDB$FOREIGN9 ) )",
     "PLAN (T NATURAL,U INDEX (RDB$FOREIGN9))"},
    {"WithoutConstraintNamesUnchanged", "PLAN (T NATURAL)", "PLAN (T NATURAL)"},
    {"LowerCasePrefixNotRewritten", "PLAN (T INDEX (pk_t))", "PLAN (T INDEX (pk_t))"},
    {"PrefixNotAfterParenthesisOrComma", "PLAN (T INDEX (X PK_T))", "PLAN (T INDEX (X PK_T))"},
    {"EveryOccurrenceReplaced", "PLAN JOIN (T INDEX (PK_T), U INDEX (FK_U_T, PK_T))",
     "PLAN JOIN (T INDEX (RDB$PRIMARY7),U INDEX (RDB$FOREIGN9,RDB$PRIMARY7))"},
    // A prefix match in name order: PK_T comes before PK_TAB, and PK_TA begins only PK_TAB.
    {"FirstInNameOrder", "PLAN (TAB INDEX (PK_T))", "PLAN (TAB INDEX (RDB$PRIMARY7))"},
    {"PrefixOfALongerName", "PLAN (TAB INDEX (PK_TA))", "PLAN (TAB INDEX (RDB$PRIMARY8))"},
    {"UnknownNameRemoved", "PLAN (T INDEX (PK_NIE,FK_U_T))", "PLAN (T INDEX (,RDB$FOREIGN9))"},
    {"TableNamedWithAPrefixRemoved", "PLAN (PK_XYZ NATURAL)", "PLAN ()"},
    {"TruncatedPlanLeftAsItIs", "PLAN (T INDEX ( PK_T", "PLAN (T INDEX (PK_T"},
    // Each index is named like the other constraint: the index name is taken, and the pass ends.
    {"IndexNamedLikeAnotherConstraint", "PLAN (Z1 INDEX (PK_Z1))", "PLAN (Z1 INDEX (PK_Z2))"},
};

TEST_F(TPlanTest, Rewrites) {
    for (const TPlanCase& c : kPlanCases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Base.Db.PreProcPlan(c.Plan), c.Expected);
    }
    EXPECT_TRUE(Ui.IbErrorWnds.empty());
    EXPECT_TRUE(Ui.Windows.empty());
}

// The server refuses the hand-written plan and takes the rewritten one; a plan without constraint
// names runs as it was written.
TEST_F(TPlanTest, RealPlanRunsAfterTheRewrite) {
    const std::string written = "PLAN (T INDEX (PK_T))";
    EXPECT_FALSE(Runs(written));
    const std::string rewritten = Base.Db.PreProcPlan(written);
    EXPECT_EQ(rewritten, "PLAN (T INDEX (RDB$PRIMARY7))");
    EXPECT_TRUE(Runs(rewritten));
    EXPECT_EQ(Base.Db.PreProcPlan("PLAN (T NATURAL)"), "PLAN (T NATURAL)");
    EXPECT_TRUE(Runs("PLAN (T NATURAL)"));
}

TEST_F(TPlanTest, OpenCloseAndMarks) {
    TSqlPlanPreProc preprocessor(&Transaction);
    EXPECT_FALSE(preprocessor.Active());
    preprocessor.Open();
    EXPECT_TRUE(preprocessor.Active());
    EXPECT_EQ(preprocessor.InternalConstraintToKey("PK_T"), "RDB$PRIMARY7");
    EXPECT_EQ(preprocessor.InternalConstraintToKey("PK_U"), "P$$$K_U");
    EXPECT_EQ(preprocessor.InternalConstraintToKey("FK_U_X"), "F$$$K_U_X");
    EXPECT_EQ(preprocessor.InternalConstraintToKey("PK_NIE"), "");
    EXPECT_EQ(TSqlPlanPreProc::ClearMarks("(P$$$K_U,F$$$K_U_X)"), "(PK_U,FK_U_X)");
    preprocessor.Close();
    EXPECT_FALSE(preprocessor.Active());
}

// The constraint list cannot be read: the failure goes to the handler, named after the
// preprocessor, with the list's statement.
TEST(SqlPlanPreProc, OpenFailureThroughTheHandler) {
    for (const TkwDbErrorHandlingType type : {htOknoIAbort, htBezOkna}) {
        SCOPED_TRACE(type == htOknoIAbort ? "htOknoIAbort" : "htBezOkna");
        TFakeUi ui;
        TMode mode(type);
        TkwDatabase db;
        db.SetName("DB_DETACHED");
        TkwTransaction transaction;
        transaction.SetDefaultDatabase(&db);
        TSqlPlanPreProc preprocessor(&transaction);
        // The begin fails first (the database is not attached): the transaction reports it.
        const TOutcome outcome = Outcome([&] { preprocessor.Open(); });
        EXPECT_EQ(outcome.Raised, type == htOknoIAbort ? rsAbort : rsKwDbError);
        EXPECT_FALSE(preprocessor.Active());
        ASSERT_EQ(ui.IbErrorWnds.size(), type == htOknoIAbort ? 1u : 0u);
        if (type == htOknoIAbort) {
            EXPECT_EQ(ui.IbErrorWnds[0].ObjectName, "TkwTransaction");
        }

        // Without any transaction the dataset itself fails.
        TSqlPlanPreProc alone(nullptr);
        const TOutcome own = Outcome([&] { alone.Open(); });
        EXPECT_EQ(own.Raised, type == htOknoIAbort ? rsAbort : rsKwDbError);
        ASSERT_EQ(ui.IbErrorWnds.size(), type == htOknoIAbort ? 2u : 0u);
        if (type == htOknoIAbort) {
            EXPECT_EQ(ui.IbErrorWnds[1].ObjectName, "TSqlPlanPreProc");
            EXPECT_EQ(ui.IbErrorWnds[1].Sql, "SELECT RDB$CONSTRAINT_NAME, RDB$INDEX_NAME\n"
                                             "FROM RDB$RELATION_CONSTRAINTS\nORDER BY RDB$CONSTRAINT_NAME\n");
        }
        EXPECT_TRUE(alone.LastError());
    }
}

} // namespace
