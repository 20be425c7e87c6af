// Statement kinds and the parameter scan, which run before the server is asked.

#include "fbclient/FbErrors.h"
#include "fbclient/FbSqlParser.h"

#include <gtest/gtest.h>

namespace {

struct TKindCase {
    const char* text;
    TSQLKind kind;
};

struct TScanCase {
    const char* name;
    std::string text;
    std::string processed;
    std::vector<std::string> names;
    std::vector<std::size_t> places;
};

} // namespace

TEST(SqlParser, KindByTheFirstWord) {
    const TKindCase cases[] = {
        {"select * from t", skSelect},
        {"  \r\n\tSeLeCt 1", skSelect},
        {"-- note\nupdate t set a=1", skUpdate},
        {"/* c */ /* d */ delete from t", skDelete},
        {"insert into t values (1)", skInsert},
        {"execute procedure p", skExecuteProc},
        {"EXECUTE   BLOCK AS BEGIN END", skExecuteBlock},
        {"execute statement 'x'", skUnknown},
        {"create table t (a int)", skDDL},
        {"ALTER TABLE t ADD b INT", skDDL},
        {"comment on table t is 'x'", skDDL},
        {"drop table t", skDDL},
        {"declare external function f", skDDL},
        {"recreate table t (a int)", skDDL},
        {"set generator g to 1", skDDL},
        {"set transaction", skUnknown},
        {"selected from", skUnknown}, // a keyword counts only as a whole word
        {"create_x", skUnknown},
        {"", skUnknown},
        {"/* unterminated", skUnknown},
        {"commit", skUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SqlKind(c.text), c.kind) << c.text;
}

TEST(SqlParser, ParametersBecomePlaces) {
    const TScanCase cases[] = {
        {"one", "select * from t where a = :a", "select * from t where a = ?", {"A"}, {0}},
        {"repeated name is one parameter", "select * from t where a = :A or b = :a", "select * from t where a = ? or b = ?",
         {"A"}, {0, 0}},
        {"two", "insert into t values (:x_1, :Y$2)", "insert into t values (?, ?)", {"X_1", "Y$2"}, {0, 1}},
        {"quoted name keeps its case", "select :\"Mixed Name\" from r", "select ? from r", {"Mixed Name"}, {0}},
        {"positional", "select ? , ? from r", "select ? , ? from r", {"", ""}, {0, 1}},
        {"question mark with a name", "execute procedure p (?A, ?B)", "execute procedure p (?, ?)", {"A", "B"}, {0, 1}},
        {"colon in a string", "select ':x' from r where a = :p", "select ':x' from r where a = ?", {"P"}, {0}},
        {"doubled quote stays in the string", "select 'it''s :x' from r", "select 'it''s :x' from r", {}, {}},
        {"colon in a double-quoted name", "select \"a:b\" from r", "select \"a:b\" from r", {}, {}},
        {"colon in a line comment", "select 1 -- :x\nfrom r", "select 1 -- :x\nfrom r", {}, {}},
        {"colon in a block comment", "select /* :x */ 1 from r", "select /* :x */ 1 from r", {}, {}},
        {"bare colon", "select a : b", "select a : b", {}, {}},
        {"national letters", "select :zażółć from r", "select ? from r", {"ZAŻÓŁĆ"}, {0}},
        {"dot and hash", "select :a.b#c%d from r", "select ? from r", {"A.B#C%D"}, {0}},
    };
    for (const auto& c : cases) {
        const TScannedSql s = ScanSql(c.text, true, "Q");
        EXPECT_EQ(s.ProcessedSQL, c.processed) << c.name;
        EXPECT_EQ(s.Names, c.names) << c.name;
        EXPECT_EQ(s.Places, c.places) << c.name;
    }
}

TEST(SqlParser, WithoutRecognitionTheTextStays) {
    const TScannedSql s = ScanSql("create procedure p as declare x int; begin x = :y; end", false, "Q");
    EXPECT_EQ(s.ProcessedSQL, "create procedure p as declare x int; begin x = :y; end");
    EXPECT_TRUE(s.Names.empty());
}

TEST(SqlParser, UnterminatedStringsAndCommentsAreRefused) {
    const struct {
        const char* text;
        const char* detail;
    } cases[] = {
        {"select 'abc from r", "EOF in string detected"},
        {"select \"abc from r", "EOF in string detected"},
        {"select 'it''s", "EOF in string detected"},
        {"select 1 /* open", "EOF in comment detected"},
    };
    for (const auto& c : cases) {
        try {
            ScanSql(c.text, true, "Form.Query");
            ADD_FAILURE() << c.text;
        } catch (const EFbClientError& e) {
            EXPECT_EQ(e.SQLCode(), feSQLParseError);
            EXPECT_EQ(e.Message(), std::string("SQL Parse Error in :Form.Query \r\n\r\n") + c.detail) << c.text;
        }
    }
}
