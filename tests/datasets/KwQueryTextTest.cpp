// The query's statements from their parts: the select text, the write statements, the refresh
// statement, and what the query records of who wrote its text. No server needed.

#include "datasets/KwQuery.h"

#include <gtest/gtest.h>

namespace {

using TLines = std::vector<std::string>;

struct TSelectCase {
    const char* Name;
    std::string Select, From, WhereProg, WhereUser, WhereFilter, OrderBy, OrderType, GroupBy;
    TLines Lines;
};

const TSelectCase kSelectCases[] = {
    {"SelectAndTableOnly", "A, B", "T", "", "", "", "", "", "", {"SELECT A, B", "FROM T"}},
    {"UserConditionAlone", "*", "T", "", "B = 1", "", "", "", "", {"SELECT *", "FROM T", "WHERE", "(B = 1)"}},
    {"ProgramUserOrder",
     "A, B", "T", "A > 0", "B = 1", "", "A,B", "DESC", "",
     {"SELECT A, B", "FROM T", "WHERE", "(A > 0)", " and (B = 1)", "ORDER BY A DESC, B DESC"}},
    // The pieces keep their blanks: two after the comma here, a trailing one without a direction.
    {"OrderPiecesKeepBlanks", "A", "T", "", "", "", "A, B", "ASC", "", {"SELECT A", "FROM T", "ORDER BY A ASC,  B ASC"}},
    {"OrderWithoutDirection", "A", "T", "", "", "", "A,B", "", "", {"SELECT A", "FROM T", "ORDER BY A , B "}},
    {"FilterBeforeUserAndGrouping",
     "A, COUNT(*)", "T", "", "B = 1", "C < 2", "", "", "A",
     {"SELECT A, COUNT(*)", "FROM T", "WHERE", "(C < 2)", " and (B = 1)", "GROUP BY A"}},
};

class SelectText : public ::testing::TestWithParam<TSelectCase> {};

TEST_P(SelectText, LinesFromTheParts) {
    const TSelectCase& c = GetParam();
    TkwQuery query;
    query.SqlSet(c.Select, c.From, c.WhereProg, c.WhereUser, c.WhereFilter, c.OrderBy, c.OrderType, c.GroupBy, "");
    EXPECT_EQ(query.SelectSQL().Lines(), c.Lines);
    EXPECT_TRUE(query.UsedSqlSet());
    EXPECT_FALSE(query.UsedSqlAdd());
}

INSTANTIATE_TEST_SUITE_P(Parts, SelectText, ::testing::ValuesIn(kSelectCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// Every condition in its fixed order, whatever order they were set in, with DISTINCT and a plan;
// each setter rewrites the text at once.
TEST(SelectTextAllParts, ConditionsInTheirOrderAndEachChangeRewrites) {
    TkwQuery query;
    query.SetSqlSelect("A");
    query.SetSqlFrom("T");
    EXPECT_EQ(query.SelectSQL().Lines(), (TLines{"SELECT A", "FROM T"}));
    query.SetSqlWhereUser("U");
    query.SetSqlWhereFilter("F");
    query.SetSqlWhereProgColActive("C");
    query.SetSqlWhereJoinMaker("J");
    query.SetSqlWhereProg3("P3");
    query.SetSqlWhereProg2("P2");
    query.SetSqlWhereProg("P");
    query.SetSqlGroupBy("A");
    query.SetSqlPlan("(T NATURAL)");
    query.SetSqlDistinct(true);
    query.SetSqlOrderBy("A");
    EXPECT_EQ(query.SelectSQL().Lines(),
              (TLines{"SELECT DISTINCT A", "FROM T", "WHERE", "(P)", " and (P2)", " and (P3)", " and (J)", " and (C)",
                      " and (F)", " and (U)", "GROUP BY A", "PLAN (T NATURAL)", "ORDER BY A "}));
    query.SetSqlWhereProg("");
    query.SetSqlOrderType("DESC");
    EXPECT_EQ(query.SelectSQL()[3], "(P2)");
    EXPECT_EQ(query.SelectSQL().Lines().back(), "ORDER BY A DESC");
    EXPECT_EQ(query.TextSQL(), "SELECT DISTINCT A FROM T WHERE (P2)  and (P3)  and (J)  and (C)  and (F)  and (U) "
                               "GROUP BY A PLAN (T NATURAL) ORDER BY A DESC ");
    EXPECT_FALSE(query.UsedSqlAdd());
    // A text written from outside is recorded as such; the next change of a part writes it over.
    query.SelectSQL().SetText("select 1 from rdb$database");
    EXPECT_TRUE(query.UsedSqlAdd());
    query.SetSqlWhereUser("");
    EXPECT_EQ(query.SelectSQL()[0], "SELECT DISTINCT A");
}

TEST(WriteStatements, InsertUpdateDeleteAndTheAutomaticUpdate) {
    TkwQuery query;
    query.SetIdColumns("ID");
    query.CreateUpdateSql("T", "ID", "ID;NAZWA");
    EXPECT_EQ(query.InsertSQL().Lines(), (TLines{"INSERT INTO T", "(ID, NAZWA)", "VALUES (:ID, :NAZWA)"}));
    EXPECT_EQ(query.ModifySQL().Lines(), (TLines{"UPDATE T", "SET ID = :ID, NAZWA = :NAZWA", "WHERE (ID = :OLD_ID)"}));
    EXPECT_EQ(query.DeleteSQL().Lines(), (TLines{"DELETE FROM T", "WHERE (ID = :OLD_ID)"}));
    EXPECT_EQ(query.AutoUpdateOptions.UpdateTableName, "T");
    EXPECT_EQ(query.AutoUpdateOptions.KeyFields, "ID");
    EXPECT_EQ(query.AutoUpdateOptions.GeneratorName, "GEN_T");
    EXPECT_EQ(query.AutoUpdateOptions.WhenGetGenID, gaBeforePost);
    // None of this is a change of the select text from outside.
    EXPECT_FALSE(query.UsedSqlAdd());

    query.CreateUpdateSql("T", "K1;K2", "K1;K2;V");
    EXPECT_EQ(query.ModifySQL()[2], "WHERE (K1 = :OLD_K1) and (K2 = :OLD_K2)");
    EXPECT_EQ(query.DeleteSQL()[1], "WHERE (K1 = :OLD_K1) and (K2 = :OLD_K2)");

    query.CreateRefreshSql("T", "K1;K2", "*");
    EXPECT_EQ(query.RefreshSQL().Lines(), (TLines{"SELECT * FROM T WHERE (K1 = :K1) and (K2 = :K2)"}));

    // The holder gets a copy of the four statements when read.
    TkwUpdateSQL* holder = query.UpdateObject();
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->Query(), &query);
    EXPECT_EQ(holder->InsertSQL().Lines(), query.InsertSQL().Lines());
    EXPECT_EQ(holder->DeleteSQL().Lines(), query.DeleteSQL().Lines());
    EXPECT_EQ(holder->RefreshSQL().Lines(), query.RefreshSQL().Lines());
}

// Without fields the insert and update are left to the dataset, which writes its own columns; the
// delete needs only the id.
TEST(WriteStatements, NoFieldsLeaveInsertAndUpdateToTheDataset) {
    TkwQuery query;
    query.InsertSQL().Add("stale");
    query.CreateUpdateSql("T", "ID", "");
    EXPECT_EQ(query.InsertSQL().Count(), 0u);
    EXPECT_EQ(query.ModifySQL().Count(), 0u);
    EXPECT_EQ(query.DeleteSQL().Lines(), (TLines{"DELETE FROM T", "WHERE (ID = :OLD_ID)"}));
}

// A holder given to a query adds its statements to the query's own.
TEST(WriteStatements, AGivenHolderAddsItsStatements) {
    TkwQuery query;
    query.DeleteSQL().Add("DELETE FROM T");
    TkwUpdateSQL holder(nullptr);
    holder.DeleteSQL().Add("WHERE (ID = :OLD_ID)");
    holder.InsertSQL().Assign({"INSERT INTO T (ID)", "VALUES (:ID)"});
    query.SetUpdateObject(&holder);
    EXPECT_EQ(query.DeleteSQL().Lines(), (TLines{"DELETE FROM T", "WHERE (ID = :OLD_ID)"}));
    EXPECT_EQ(query.InsertSQL().Lines(), (TLines{"INSERT INTO T (ID)", "VALUES (:ID)"}));
    EXPECT_EQ(query.UpdateObject(), &holder);
}

TEST(WriteStatements, AFreedHolderIsForgotten) {
    TkwQuery query;
    {
        TkwUpdateSQL holder(nullptr);
        query.SetUpdateObject(&holder);
    }
    EXPECT_EQ(query.UpdateObject(), nullptr);
}

} // namespace
