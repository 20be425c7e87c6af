// Client statements against the private Firebird test server.

#include "FbTestHelpers.h"
#include "core/FormatSettings.h"
#include "fbclient/FbDataSet.h"
#include "fbclient/FbQuery.h"

#include <gmock/gmock.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A database with the tables of these tests, attached in the TCP form, with a started transaction.
struct TStatementDb {
    explicit TStatementDb(int dialect = 3) : File(dialect) {
        File.Execute({
            "create table t (id integer not null, name varchar(40), code char(31), amount numeric(15,2))",
            "create generator gen_t",
            "create table types (b boolean, bi bigint, si smallint, i integer, n9 numeric(9,2),"
            " d date, tm time, ts timestamp, dp double precision, f float, txt blob sub_type text,"
            " bin blob sub_type binary, v varchar(10))",
            "create procedure twice (x integer) returns (y integer) as begin y = x * 2; suspend; end",
        });
        SetUpDatabase(Db, File.TcpName());
        Db.SetName("Db");
        Db.SetSQLDialect(3);
        Tr.SetName("Tr");
        Db.SetDefaultTransaction(&Tr);
        Db.Open();
        Tr.StartTransaction();
        Q.SetName("Q");
        Q.SetDatabase(&Db);
    }
    void Exec(const std::string& sql) {
        TFbQuery q;
        q.SetDatabase(&Db);
        q.SetSQLText(sql);
        q.ExecQuery();
    }

    TTestDatabase File;
    TFbDatabase Db;
    TFbTransaction Tr;
    TFbQuery Q;
};

// A C locale whose decimal point is a comma, as the program runs under for a Polish user. Made here:
// the machine need not have it installed.
class TCommaLocale {
public:
    TCommaLocale() {
        const std::string dir = Dir / "locales";
        std::filesystem::create_directories(dir);
        const std::string target = dir + "/pl_PL.UTF-8";
        const char* argv[] = {"localedef", "-i", "pl_PL", "-f", "UTF-8", target.c_str(), nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, "localedef", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
            throw std::runtime_error("localedef cannot be started");
        int status = 0;
        waitpid(pid, &status, 0);
        setenv("LOCPATH", dir.c_str(), 1);
        if (!std::setlocale(LC_NUMERIC, "pl_PL.UTF-8"))
            throw std::runtime_error("the pl_PL locale could not be made (localedef exit " +
                                     std::to_string(WEXITSTATUS(status)) + ")");
    }
    ~TCommaLocale() {
        std::setlocale(LC_NUMERIC, "C");
        unsetenv("LOCPATH");
    }

private:
    TTempDir Dir;
};

} // namespace

TEST(Query, GeneratorQueryRunTwiceWithoutCloseGivesTwoValues) {
    TStatementDb s;
    s.Q.SetSQLText("SELECT GEN_ID(GEN_T, 1) FROM RDB$DATABASE");
    s.Q.ExecQuery();
    // The row was fetched on execute: no Next needed.
    EXPECT_TRUE(s.Q.Open());
    EXPECT_FALSE(s.Q.Eof());
    EXPECT_EQ(s.Q.Fields(0).AsInt64(), 1);
    s.Q.ExecQuery(); // closes the first cursor itself
    EXPECT_EQ(s.Q.Fields(0).AsInt64(), 2);
    EXPECT_EQ(s.Q.RecordCount(), 1);
    s.Q.Next();
    EXPECT_TRUE(s.Q.Eof());
    s.Q.Next(); // nothing happens past the end
    EXPECT_TRUE(s.Q.Eof());
    s.Q.Close();
    EXPECT_TRUE(s.Q.Prepared());
    EXPECT_FALSE(s.Q.Open());
}

TEST(Query, RowsParametersAndNulls) {
    TStatementDb s;
    s.Q.SetSQLText("insert into t (id, name, code, amount) values (:id, :name, :code, :amount)");
    const struct {
        int id;
        const char* name;
        const char* amount;
    } rows[] = {{1, "Zażółć gęślą jaźń", "12.34"}, {2, "ĄĆĘŁŃÓŚŹŻ", "12.30"}, {3, nullptr, "12.00"}, {4, "x", nullptr}};
    for (const auto& r : rows) {
        s.Q.ParamByName("id").SetAsInteger(r.id);
        if (r.name)
            s.Q.ParamByName("NAME").SetAsString(r.name);
        else
            s.Q.ParamByName("name").SetIsNull(true);
        s.Q.ParamByName("code").SetAsString("ab");
        if (r.amount)
            s.Q.ParamByName("amount").SetAsString(r.amount);
        else
            s.Q.ParamByName("amount").SetIsNull(true);
        s.Q.ExecQuery();
    }
    s.Tr.Commit();
    // Stored in WIN1250: one byte per Polish letter.
    EXPECT_EQ(s.File.Query("select octet_length(name) from t where id = 2"), "9");

    TPolishFormats polish;
    s.Tr.StartTransaction();
    s.Q.SetSQLText("select id, name, code, amount, name || '' from t order by id");
    s.Q.ExecQuery();
    ASSERT_EQ(s.Q.FieldCount(), 5);
    EXPECT_EQ(s.Q.Fields(4).Name(), "CONCATENATION");
    EXPECT_EQ(s.Q.FieldByName("name").AsString(), "Zażółć gęślą jaźń");
    EXPECT_EQ(s.Q.FieldByName("CODE").AsString(), "ab" + std::string(29, ' ')); // CHAR padding kept
    EXPECT_EQ(s.Q.FieldByName("AMOUNT").AsString(), "12,34");
    EXPECT_EQ(s.Q.FieldByName("AMOUNT").AsInt64(), 12);
    s.Q.Next();
    EXPECT_EQ(s.Q.FieldByName("NAME").AsString(), "ĄĆĘŁŃÓŚŹŻ");
    EXPECT_EQ(s.Q.FieldByName("AMOUNT").AsString(), "12,3");
    s.Q.Next();
    EXPECT_TRUE(s.Q.FieldByName("NAME").IsNull());
    EXPECT_EQ(s.Q.FieldByName("NAME").AsString(), "");
    EXPECT_EQ(s.Q.FieldByName("AMOUNT").AsString(), "12");
    s.Q.Next();
    EXPECT_TRUE(s.Q.FieldByName("AMOUNT").IsNull());
    EXPECT_EQ(s.Q.FieldByName("AMOUNT").AsInt64(), 0);
    EXPECT_EQ(s.Q.FieldByName("ID").AsInteger(), 4);
    s.Q.Next();
    EXPECT_TRUE(s.Q.Eof());
}

TEST(Query, ARepeatedParameterFillsEveryPlace) {
    TStatementDb s;
    s.Exec("insert into t (id, name) values (1, 'one')");
    s.Exec("insert into t (id, name) values (2, 'two')");
    s.Q.SetSQLText("select count(*) from t where id = :A or id - 1 = :a");
    ASSERT_EQ(s.Q.Params().Count(), 2); // two places...
    s.Q.ParamByName("a").SetAsInteger(1); // ...one parameter
    EXPECT_EQ(s.Q.Params().Vars(1).AsInteger(), 1);
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 2); // id 1 by the first place, id 2 by the second
    s.Q.ParamByName("A").SetAsInteger(2);
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 1);
}

TEST(Query, ColonsInStringsAndCommentsAndDdlWithoutScan) {
    TStatementDb s;
    s.Q.SetSQLText("select ':x' /* :y */, cast(:p as varchar(5)) -- :z\n from rdb$database");
    s.Q.ParamByName("P").SetAsString("v");
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsString(), ":x");
    EXPECT_EQ(s.Q.Fields(1).AsString(), "v");
    EXPECT_EQ(s.Q.FindParam("y"), nullptr);
    s.Q.Close();
    // The procedure body's :x stays PSQL; without a scan the server gets the text as written.
    s.Q.SetSQLText("create procedure p2 (x integer) returns (y integer) as begin y = :x + 1; suspend; end");
    EXPECT_EQ(s.Q.SQLKind(), skDDL);
    EXPECT_EQ(s.Q.Params().Count(), 0);
    s.Q.ExecQuery();
    s.Tr.Commit();
    s.Tr.StartTransaction();
    s.Q.SetSQLText("select y from p2(41)");
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 42);
}

TEST(Query, UnterminatedStringIsRefusedBeforeTheServerIsAsked) {
    TStatementDb s;
    s.Q.SetSQLText("select 'abc from rdb$database");
    const EFbClientError e = Raised([&] { s.Q.ExecQuery(); });
    EXPECT_EQ(e.SQLCode(), feSQLParseError);
    EXPECT_EQ(e.IBErrorCode(), 0); // no client call failed
    EXPECT_NE(e.Message().find("EOF in string detected"), std::string::npos);
    EXPECT_FALSE(s.Q.Prepared());
    EXPECT_EQ(s.Q.Handle(), 0u);
}

TEST(Query, NumbersDoNotDependOnTheProcessLocale) {
    TStatementDb s;
    TPolishFormats polish;
    TCommaLocale comma;
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    s.Q.SetSQLText("select cast('1,5' as varchar(10)), cast(2.25 as double precision) from rdb$database");
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsDouble(), 1.5);
    EXPECT_EQ(s.Q.Fields(1).AsString(), "2,25");
    FormatSettings().DecimalSeparator = '.';
    EXPECT_EQ(s.Q.Fields(1).AsString(), "2.25");
}

TEST(Query, EveryTypeReadsAndWrites) {
    TStatementDb s;
    TPolishFormats polish;
    s.Q.SetSQLText("insert into types values (:b, :bi, :si, :i, :n9, :d, :tm, :ts, :dp, :f, :txt, :bin, :v)");
    s.Q.ParamByName("b").SetAsBoolean(true);
    s.Q.ParamByName("bi").SetAsInt64(-9223372036854775807LL - 1);
    s.Q.ParamByName("si").SetAsInteger(-32768);
    s.Q.ParamByName("i").SetAsInteger(2147483647);
    s.Q.ParamByName("n9").SetAsString("-1234567.89");
    s.Q.ParamByName("d").SetAsString("2024-02-29");
    s.Q.ParamByName("tm").SetAsString("23:59:58");
    s.Q.ParamByName("ts").SetAsString("2024-02-29 13:14:15");
    s.Q.ParamByName("dp").SetAsDouble(0.1);
    s.Q.ParamByName("f").SetAsDouble(1.5);
    s.Q.ParamByName("txt").SetAsString("Łódź " + std::string(70000, 'x'));
    s.Q.ParamByName("bin").SetAsString(std::string("\0\x01\xff", 3));
    s.Q.ParamByName("v").SetAsString("żółw");
    s.Q.ExecQuery();
    s.Q.SetSQLText("select b, bi, si, i, n9, d, tm, ts, dp, f, txt, bin, v, cast(ts as date) from types");
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.FieldByName("B").AsString(), "True");
    EXPECT_TRUE(s.Q.FieldByName("B").AsBoolean());
    EXPECT_EQ(s.Q.FieldByName("BI").AsString(), "-9223372036854775808");
    EXPECT_EQ(s.Q.FieldByName("BI").AsInt64(), -9223372036854775807LL - 1);
    EXPECT_EQ(s.Q.FieldByName("SI").AsString(), "-32768");
    EXPECT_EQ(s.Q.FieldByName("I").AsInteger(), 2147483647);
    EXPECT_EQ(s.Q.FieldByName("N9").AsString(), "-1234567,89");
    EXPECT_EQ(s.Q.FieldByName("N9").AsInt64(), -1234567); // truncated toward zero
    EXPECT_EQ(s.Q.FieldByName("D").AsString(), "2024-02-29");
    EXPECT_EQ(s.Q.FieldByName("TM").AsString(), "23:59:58");
    EXPECT_EQ(s.Q.FieldByName("TS").AsString(), "2024-02-29 13:14:15");
    EXPECT_EQ(s.Q.FieldByName("DP").AsString(), "0,1");
    EXPECT_EQ(s.Q.FieldByName("F").AsString(), "1,5");
    EXPECT_EQ(s.Q.FieldByName("F").AsInt64(), 1);
    EXPECT_EQ(s.Q.FieldByName("TXT").AsString(), "Łódź " + std::string(70000, 'x'));
    EXPECT_EQ(s.Q.FieldByName("BIN").AsString(), std::string("\0\x01\xff", 3));
    EXPECT_EQ(s.Q.FieldByName("V").AsString(), "żółw");
    EXPECT_EQ(s.Q.Fields(13).AsString(), "2024-02-29"); // a timestamp at midnight would drop its time
    EXPECT_NEAR(s.Q.FieldByName("TS").AsDateTime(), 45351 + (13 * 3600 + 14 * 60 + 15) / 86400.0, 1e-9);
    EXPECT_THROW(s.Q.FieldByName("D").AsInt64(), EFbClientError); // "Invalid data conversion."
    const EFbClientError e = Raised([&] { s.Q.FieldByName("TS").AsInteger(); });
    EXPECT_EQ(e.Message(), "Invalid data conversion.");
}

TEST(Query, TimestampAtMidnightHasNoTimePart) {
    TStatementDb s;
    TPolishFormats polish;
    s.Q.SetSQLText("select cast('2001-02-03 00:00:00' as timestamp), cast('1899-12-30' as date) from rdb$database");
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsString(), "2001-02-03");
    EXPECT_DOUBLE_EQ(s.Q.Fields(1).AsDateTime(), 0.0);
}

// One value as the server gives it and its text. The odd rows: a scaled SMALLINT or INTEGER goes
// through the general floating-point form, so a tiny one takes the exponent form; a time of day
// below a second is not midnight, so it is shown.
struct TTextCase {
    const char* Name;
    const char* Expression;
    const char* Text;
};

constexpr TTextCase kTextCases[] = {
    {"ScaledZero", "cast(0 as numeric(15,2))", "0"},
    {"ScaledNegativeBelowOne", "cast(-0.05 as numeric(15,2))", "-0,05"},
    {"ScaledNegativeTrailingZero", "cast(-12.30 as numeric(15,2))", "-12,3"},
    {"ScaledNegativeWhole", "cast(-100.00 as numeric(15,2))", "-100"},
    {"ScaledLargest15", "cast(9999999999999.99 as numeric(15,2))", "9999999999999,99"},
    {"ScaledSmallest15", "cast(-9999999999999.99 as numeric(15,2))", "-9999999999999,99"},
    {"ScaledInt64Max", "cast(922337203685477.5807 as numeric(18,4))", "922337203685477,5807"},
    {"ScaledInt64Min", "cast(-922337203685477.5808 as numeric(18,4))", "-922337203685477,5808"},
    {"ScaledAllFraction", "cast(0.000000000000000001 as numeric(18,18))", "0,000000000000000001"},
    {"ScaledNegativeAllFraction", "cast(-0.5 as numeric(18,18))", "-0,5"},
    {"ScaledSmallint", "cast(-1.5 as numeric(4,2))", "-1,5"},
    {"ScaledIntegerTiny", "cast(0.00000001 as numeric(9,8))", "1E-8"},
    {"BigintMax", "cast(9223372036854775807 as bigint)", "9223372036854775807"},
    {"IntegerMin", "cast(-2147483648 as integer)", "-2147483648"},
    {"SmallintMax", "cast(32767 as smallint)", "32767"},
    {"DoubleHuge", "cast(1e300 as double precision)", "1E300"},
    {"DoubleTinyNegative", "cast(-1.5e-10 as double precision)", "-1,5E-10"},
    {"DateFirst", "cast('0001-01-01' as date)", "0001-01-01"},
    {"DateBeforeYear1000", "cast('0999-12-31' as date)", "0999-12-31"},
    {"DateLast", "cast('9999-12-31' as date)", "9999-12-31"},
    {"TimestampMidnightBeforeYear1000", "cast('0500-06-15 00:00:00' as timestamp)", "0500-06-15"},
    {"TimestampJustAfterMidnight", "cast('2024-02-29 00:00:00.0001' as timestamp)", "2024-02-29 00:00:00"},
    {"TimestampLast", "cast('9999-12-31 23:59:59.9999' as timestamp)", "9999-12-31 23:59:59"},
    {"TimestampNoon", "cast('1899-12-30 12:00:00' as timestamp)", "1899-12-30 12:00:00"},
    {"TimeMidnight", "cast('00:00:00' as time)", "00:00:00"},
    {"TimeLast", "cast('23:59:59.9999' as time)", "23:59:59"},
    {"TextEmpty", "cast('' as varchar(5))", ""},
    {"TextAscii", "cast('plain' as varchar(10))", "plain"},
    {"TextTwoAndThreeByteForms", "cast('€ąź˙Ł' as varchar(10))", "€ąź˙Ł"},
};

class QueryText : public ::testing::TestWithParam<TTextCase> {};

TEST_P(QueryText, AsStringInTheSuiteFormats) {
    const TTextCase& c = GetParam();
    TStatementDb s;
    TPolishFormats polish;
    s.Q.SetSQLText(std::string("select ") + c.Expression + " from rdb$database");
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsString(), c.Text) << c.Expression;
}

INSTANTIATE_TEST_SUITE_P(Values, QueryText, ::testing::ValuesIn(kTextCases),
                         [](const ::testing::TestParamInfo<TTextCase>& info) {
                             return std::string(info.param.Name);
                         });

// Dates and times in patterns of other locales: letters in either case, one-letter parts without a
// leading zero, two-letter years.
TEST(Query, DateTimeInOtherPatterns) {
    TStatementDb s;
    TPolishFormats polish;
    FormatSettings().ShortDateFormat = "d.MM.yy";
    FormatSettings().LongTimeFormat = "H:nn:S";
    const struct {
        const char* expression;
        const char* text;
    } cases[] = {
        {"cast('0999-02-03 04:05:06' as timestamp)", "3.02.99 4:05:6"},
        {"cast('0005-11-30 00:00:00' as timestamp)", "30.11.05"},
        {"cast('2024-12-31 23:59:59' as timestamp)", "31.12.24 23:59:59"},
        {"cast('00:00:00' as time)", "0:00:0"},
        {"cast('2000-01-01' as date)", "1.01.00"},
    };
    for (const auto& c : cases) {
        s.Q.SetSQLText(std::string("select ") + c.expression + " from rdb$database");
        s.Q.ExecQuery();
        EXPECT_EQ(s.Q.Fields(0).AsString(), c.text) << c.expression;
        s.Q.Close();
    }
    // Patterns longer than any locale has still give the whole text.
    FormatSettings().ShortDateFormat = std::string(150, '.') + "yyyy";
    FormatSettings().LongTimeFormat = "hh" + std::string(150, ':');
    s.Q.SetSQLText("select cast('2024-02-29 13:14:15' as timestamp) from rdb$database");
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.Fields(0).AsString(), std::string(150, '.') + "2024 13" + std::string(150, ':'));
}

TEST(Query, ExecImmediateReadsOneRowWithoutAServerStatement) {
    TStatementDb s;
    TPolishFormats polish;
    s.Exec("insert into t (id, name, amount) values (7, 'Łódź', -12.5)");
    s.Q.SetSQLText("select id, name, amount, cast('2024-02-29 13:14:15' as timestamp) from t where id = :id");
    s.Q.ParamByName("id").SetAsInteger(7);
    s.Q.ExecImmediate({{kSqlLong, 4}, {kSqlVarying, 40}, {kSqlInt64, 8, -2}, {kSqlTimestamp, 8}});
    EXPECT_EQ(s.Q.Handle(), 0u);
    EXPECT_FALSE(s.Q.Prepared());
    ASSERT_EQ(s.Q.FieldCount(), 4);
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 7);
    EXPECT_EQ(s.Q.Fields(1).AsString(), "Łódź");
    EXPECT_EQ(s.Q.Fields(2).AsString(), "-12,5");
    EXPECT_EQ(s.Q.Fields(3).AsString(), "2024-02-29 13:14:15");
    // The server converts to the type asked for.
    s.Q.SetSQLText("select 2.75 from rdb$database");
    s.Q.ExecImmediate({{kSqlVarying, 10}});
    EXPECT_EQ(s.Q.Fields(0).AsString(), "2.75");
}

TEST(Query, ExecImmediateFreesAPreparedStatementFirst) {
    TStatementDb s;
    s.Q.SetSQLText("select 1 from rdb$database");
    s.Q.Prepare();
    ASSERT_NE(s.Q.Handle(), 0u);
    s.Q.ExecImmediate({{kSqlLong, 4}});
    EXPECT_EQ(s.Q.Handle(), 0u);
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 1);
    s.Q.ExecQuery(); // prepares anew
    EXPECT_TRUE(s.Q.Prepared());
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 1);
}

TEST(Query, ExecImmediateFailuresComeFromTheServer) {
    TStatementDb s;
    s.Exec("insert into t (id) values (1)");
    s.Exec("insert into t (id) values (2)");
    const struct {
        const char* sql;
        ISC_STATUS code;
    } cases[] = {
        {"select id from t", isc_sing_select_err},
        {"select id from t where id = 3", isc_stream_eof},
        {"select nothing from nowhere", isc_dsql_error},
    };
    for (const auto& c : cases) {
        s.Q.SetSQLText(c.sql);
        const EFbLibraryError e = Raised<EFbLibraryError>([&] { s.Q.ExecImmediate({{kSqlLong, 4}}); });
        EXPECT_EQ(e.IBErrorCode(), c.code) << c.sql;
        EXPECT_EQ(e.RaiserName(), "Q") << c.sql;
        EXPECT_EQ(s.Q.FieldCount(), 0) << c.sql;
    }
    EXPECT_TRUE(s.Tr.Active()) << "the transaction is the caller's";
}

TEST(Query, AFailedFetchClosesTheCursor) {
    TStatementDb s;
    s.Exec("insert into t (id) values (2)");
    s.Exec("insert into t (id) values (1)");
    s.Q.SetSQLText("select 10 / (id - 1) from t order by id desc");
    s.Q.ExecQuery(); // id 2: fine
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 10);
    const EFbLibraryError e = Raised<EFbLibraryError>([&] { s.Q.Next(); }); // id 1: division by zero
    EXPECT_EQ(e.IBErrorCode(), isc_arith_except);
    EXPECT_FALSE(s.Q.Open());
    EXPECT_TRUE(s.Q.Prepared());
}

TEST(Query, ColumnNamesAreMadeUnique) {
    TStatementDb s;
    s.Q.SetSQLText("select 1, 2, id, id, id as id1, 'x' as \"Ą\" from t");
    s.Q.ExecQuery();
    std::vector<std::string> names;
    for (int i = 0; i < s.Q.FieldCount(); ++i)
        names.push_back(s.Q.Fields(i).Name());
    // Unnamed expressions take the server's own name, CONSTANT; a name already present takes the smallest
    // number free at that point, so the later alias ID1 becomes ID11.
    EXPECT_EQ(names, (std::vector<std::string>{"CONSTANT", "CONSTANT1", "ID", "ID1", "ID11", "Ą"}));
}

TEST(Query, RulesOfTheLayer) {
    TStatementDb s;
    s.Q.SetSQLText("select id from t where id = :id");
    EXPECT_EQ(PlainMessage([&] { s.Q.ParamByName("nope"); }), "Parameter \"nope\" does not exist in Q");
    EXPECT_EQ(s.Q.FindParam("nope"), nullptr);
    EXPECT_EQ(Raised([&] { s.Q.Params().Vars(5); }).Message(), "XSQLDA index out of range.");
    s.Q.ParamByName("id").SetAsInteger(1);
    s.Q.ExecQuery();
    EXPECT_EQ(Raised([&] { s.Q.Fields(3); }).Message(), "Field \"Field No: 3\" not found.");
    EXPECT_EQ(Raised([&] { s.Q.FieldByName("X"); }).Message(), "Field \"X\" not found.");
    // The text of an open statement cannot change.
    EXPECT_EQ(Raised([&] { s.Q.SetSQLText("select 1 from rdb$database"); }).SQLCode(), feDatasetOpen);
    s.Q.Close();
    EXPECT_EQ(Raised([&] { s.Q.Next(); }).SQLCode(), feDatasetClosed);
    s.Q.SetSQLText("   ");
    EXPECT_EQ(Raised([&] { s.Q.Prepare(); }).SQLCode(), feEmptyQuery);
    TFbQuery lonely;
    lonely.SetName("Lonely");
    lonely.SetSQLText("select 1 from rdb$database");
    EXPECT_EQ(Raised([&] { lonely.Prepare(); }).Message(), "Database not assigned for Lonely.");
    s.Tr.Commit();
    s.Q.SetSQLText("select 1 from rdb$database");
    EXPECT_EQ(Raised([&] { s.Q.Prepare(); }).SQLCode(), feNotInTransaction);
}

TEST(Query, PrepareFailureLeavesNoServerStatement) {
    TStatementDb s;
    s.Q.SetSQLText("select nothing from nowhere");
    const EFbLibraryError e = Raised<EFbLibraryError>([&] { s.Q.Prepare(); });
    EXPECT_EQ(e.RaiserName(), "Q");
    EXPECT_FALSE(s.Q.Prepared());
    EXPECT_EQ(s.Q.Handle(), 0u);
}

TEST(Query, TransactionEndsAndDisconnect) {
    TStatementDb s;
    s.Exec("insert into t (id) values (1)");
    s.Exec("insert into t (id) values (2)");
    s.Q.SetSQLText("select id from t order by id");
    s.Q.ExecQuery();
    s.Tr.CommitRetaining();
    EXPECT_TRUE(s.Q.Open()); // a retaining end keeps the cursor
    s.Q.Next();
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 2);
    s.Tr.Commit();
    EXPECT_FALSE(s.Q.Open());
    EXPECT_TRUE(s.Q.Prepared());
    s.Tr.StartTransaction();
    s.Q.ExecQuery();
    s.Db.Close(); // the statement is closed and freed with the attachment
    EXPECT_FALSE(s.Q.Open());
    EXPECT_FALSE(s.Q.Prepared());
    EXPECT_EQ(s.Q.Handle(), 0u);
    s.Db.Open();
    s.Tr.StartTransaction();
    s.Q.ExecQuery(); // prepares again
    EXPECT_EQ(s.Q.Fields(0).AsInteger(), 1);
}

TEST(Query, ProcedureOutputIsReadableAtOnce) {
    TStatementDb s;
    s.Q.SetSQLText("execute procedure twice :x");
    s.Q.ParamByName("x").SetAsInteger(21);
    s.Q.ExecQuery();
    EXPECT_EQ(s.Q.SQLType(), SQLExecProcedure);
    EXPECT_EQ(s.Q.FieldByName("Y").AsInteger(), 42);
}

TEST(Query, StatementsOfEveryDatabaseDieWithIt) {
    TStatementDb s;
    auto* db = new TFbDatabase;
    SetUpDatabase(*db, s.File.TcpName());
    TFbTransaction tr;
    db->SetDefaultTransaction(&tr);
    db->Open();
    tr.StartTransaction();
    TFbQuery q;
    q.SetDatabase(db);
    q.SetSQLText("select 1 from rdb$database");
    q.ExecQuery();
    delete db;
    EXPECT_EQ(q.Database(), nullptr);
    EXPECT_FALSE(q.Prepared());
    EXPECT_FALSE(q.Open());
}

TEST(StoredProc, NamesPerDialect) {
    const struct {
        const char* name;
        int dialect;
        const char* expected;
    } cases[] = {
        {" twice ", 1, "TWICE"}, {"Twice", 1, "TWICE"},   {"TWICE", 3, "TWICE"},      {"Twice", 3, "\"Twice\""},
        {"\"Twice\"", 3, "\"Twice\""}, {"1ST", 3, "\"1ST\""}, {"A_B$1#", 3, "A_B$1#"}, {"_A", 3, "\"_A\""},
        {"SELECT", 3, "\"SELECT\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TFbStoredProc::NormalizeName(c.name, c.dialect), c.expected) << c.name << " " << c.dialect;
}

TEST(StoredProc, TextFromTheProcedureParameters) {
    TStatementDb s;
    TFbStoredProc::ClearParamCache();
    s.File.Execute({"create procedure two_in (a integer, \"b c\" integer) returns (r integer) as begin r = a + \"b c\"; "
                    "end"});
    TFbStoredProc p;
    p.SetStoredProcName("TWO_IN");
    EXPECT_EQ(p.SQLText(), ""); // no database yet
    p.SetDatabase(&s.Db);
    EXPECT_EQ(p.SQLText(), "EXECUTE PROCEDURE TWO_IN (?A, ?\"b c\")\n");
    p.ParamByName("A").SetAsInteger(2);
    p.ParamByName("b c").SetAsInteger(3);
    p.ExecQuery();
    EXPECT_EQ(p.FieldByName("R").AsInteger(), 5);
    // Later texts come from the cache, not from the server.
    s.File.Execute({"alter procedure two_in (a integer) returns (r integer) as begin r = a; end"});
    TFbStoredProc again;
    again.SetDatabase(&s.Db);
    again.SetStoredProcName("TWO_IN");
    EXPECT_EQ(again.SQLText(), "EXECUTE PROCEDURE TWO_IN (?A, ?\"b c\")\n");
    // In dialect 3 a name in lower case is quoted, so it names another procedure.
    again.SetStoredProcName("two_in");
    EXPECT_EQ(again.SQLText(), "EXECUTE PROCEDURE \"two_in\" \n");
    again.SetStoredProcName("  ");
    EXPECT_EQ(again.SQLText(), "");
}

// ---- the server killed under an open statement and an active transaction

// How the database is let go after the server died: closed (the connection test finds the loss and
// closes as lost), closed by force (the path of the exception handler), or destroyed. The client
// library's shutdown at process end crashes on statements of a dead attachment that it still holds,
// so a case that leaves them there also fails as a crash when its process ends.
enum TLetGo : std::uint8_t { lgClose, lgForceClose, lgDestroy };

struct TKilledServerCase {
    const char* Name;
    TLetGo LetGo;
    int DisconnectHandlers; // BeforeDisconnect and AfterDisconnect calls
    bool ReadDataSet = false; // the rows read after the kill are the open dataset's, not the query's
};

std::ostream& operator<<(std::ostream& out, const TKilledServerCase& c) {
    return out << c.Name;
}

class KilledServer : public ::testing::TestWithParam<TKilledServerCase> {};

TEST_P(KilledServer, NoCrashNoHangAndNothingStale) {
    const TKilledServerCase& c = GetParam();
    TTempDir dir;
    TFbTestServer server(dir / "instance");
    server.Start();
    TTestDatabase file(3, server);
    auto db = std::make_unique<TFbDatabase>();
    SetUpDatabase(*db, file.TcpName());
    db->SetSQLDialect(3);
    TFbTransaction tr;
    db->SetDefaultTransaction(&tr);
    int handlers = 0;
    db->BeforeDisconnect = db->AfterDisconnect = [&](TObject*) { ++handlers; };
    db->Open();
    tr.StartTransaction();
    // More rows than one network batch holds, so that fetching has to ask the server again.
    TFbQuery q;
    q.SetName("Q");
    q.SetDatabase(db.get());
    q.SetSQLText("select a.rdb$relation_id from rdb$relations a, rdb$relations b, rdb$relations c");
    q.ExecQuery();
    ASSERT_TRUE(q.Open());
    TFbQuery prepared;
    prepared.SetDatabase(db.get());
    prepared.SetSQLText("select count(*) from rdb$database");
    prepared.Prepare();
    // A dataset open on the same attachment, with a few rows kept and more on the server.
    TFbDataSet ds;
    ds.SetName("DS");
    ds.SetDatabase(db.get());
    ds.SetBufferChunks(10);
    ds.SelectSQL().Assign({"select a.rdb$relation_id from rdb$relations a, rdb$relations b"});
    ds.Open();
    ASSERT_TRUE(ds.Active());

    server.Kill();
    const auto started = std::chrono::steady_clock::now();
    int fetched = 0;
    try {
        if (c.ReadDataSet)
            while (!ds.Eof() && fetched < 1000000) {
                ds.Next();
                ++fetched;
            }
        else
            while (!q.Eof() && fetched < 1000000) {
                q.Next();
                ++fetched;
            }
        ADD_FAILURE() << "the cursor read " << fetched << " rows from a dead server";
    } catch (const EFbLibraryError& e) {
        // The connection is lost: a read error (isc_net_read_err) as a rule, a write error or the
        // general network error when the client learns of it another way.
        EXPECT_THAT(e.IBErrorCode(), ::testing::AnyOf(335544726, 335544727, 335544721)) << e.Message();
        EXPECT_EQ(e.RaiserName(), c.ReadDataSet ? "DS" : "Q");
    }
    if (!c.ReadDataSet)
        EXPECT_FALSE(q.Open()) << "a failed fetch closes the cursor";
    EXPECT_TRUE(tr.Active()) << "nothing ends the transaction before the database lets go";

    switch (c.LetGo) {
    case lgClose:
        EXPECT_NO_THROW(db->Close());
        break;
    case lgForceClose:
        EXPECT_NO_THROW(db->ForceClose());
        break;
    case lgDestroy:
        EXPECT_NO_THROW(db.reset());
        break;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << "no hang";
    EXPECT_EQ(handlers, c.DisconnectHandlers);
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(tr.State(), tsClosed);
    for (TFbQuery* statement : {&q, &prepared}) {
        EXPECT_EQ(statement->Handle(), 0u) << "no dead server handle kept";
        EXPECT_FALSE(statement->Prepared());
        EXPECT_FALSE(statement->Open());
    }
    EXPECT_FALSE(ds.Active()) << "the dataset closes with its attachment";
    EXPECT_FALSE(ds.Prepared());
    if (!db) {
        EXPECT_EQ(q.Database(), nullptr);
        EXPECT_EQ(ds.Database(), nullptr);
        EXPECT_EQ(tr.DatabaseCount(), 0);
        EXPECT_EQ(Raised([&] { q.ExecQuery(); }).Message(), "Database not assigned for Q.");
        return;
    }
    // The server back, the same components work again.
    EXPECT_FALSE(db->Connected());
    server.Start();
    db->Open();
    tr.StartTransaction();
    q.ExecQuery();
    EXPECT_TRUE(q.Open());
    prepared.ExecQuery();
    EXPECT_EQ(prepared.Fields(0).AsInteger(), 1);
    ds.Open();
    ds.Last();
    EXPECT_GT(ds.RecordCount(), 10);
    tr.Commit();
    db->Close();
}

INSTANTIATE_TEST_SUITE_P(LostConnection, KilledServer,
                         ::testing::Values(TKilledServerCase{"Close", lgClose, 0},
                                           TKilledServerCase{"ForceClose", lgForceClose, 2},
                                           TKilledServerCase{"Destroy", lgDestroy, 2},
                                           TKilledServerCase{"DataSetClose", lgClose, 0, true},
                                           TKilledServerCase{"DataSetForceClose", lgForceClose, 2, true},
                                           TKilledServerCase{"DataSetDestroy", lgDestroy, 2, true}),
                         [](const auto& info) { return std::string(info.param.Name); });
