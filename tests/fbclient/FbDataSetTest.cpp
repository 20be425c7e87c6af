// The client dataset against the private Firebird test server.

#include "fbclient/FbDataSet.h"
#include "FbTestHelpers.h"
#include "fbclient/FbQuery.h"

#include <cstdio>
#include <malloc.h>
#include <ostream>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator keeps its own books (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Attaches `db` to the database named and starts `tr` on it.
void Attach(TFbDatabase& db, TFbTransaction& tr, const std::string& name) {
    SetUpDatabase(db, name);
    db.SetSQLDialect(3);
    db.SetDefaultTransaction(&tr);
    db.Open();
    tr.StartTransaction();
}

// Tables shared by the tests of this file. A test changes them only inside its own transaction,
// which is rolled back when it ends; what must be committed goes to table ZAPIS and is removed again.
struct TSharedDb {
    TSharedDb() {
        File.Execute({
            "create domain d_kod varchar(10) default 'DOM' not null",
            "create table kraj (id integer not null primary key, nazwa varchar(40))",
            "create table osoba (id integer not null constraint pk_osoba primary key,"
            " nazwa varchar(40) default 'ABC' not null, ilosc integer default 5, kod d_kod,"
            " kwota numeric(15,2), uwagi blob sub_type text,"
            " kraj_id integer constraint fk_osoba_kraj references kraj(id),"
            " podwojna computed by (ilosc * 2), znak char(6))",
            "create generator gen_osoba",
            "set generator gen_osoba to 1000",
            "create table typy (si smallint, i integer, bi bigint, n numeric(15,2), n9 numeric(9,2),"
            " dp double precision, fl float, d date, t time, ts timestamp, b boolean, v varchar(10),"
            " c char(6), txt blob sub_type text, bin blob sub_type binary)",
            "create table zapis (id integer not null primary key, nazwa varchar(20))",
        });
        // Rows with Polish letters go through the layer, which speaks WIN1250 to the server.
        TFbDatabase db;
        TFbTransaction tr;
        Attach(db, tr, File.TcpName());
        for (const char* sql : {
                 "insert into kraj values (1, 'Polska')",
                 "insert into osoba (id, nazwa, ilosc, kod, kwota, znak, kraj_id, uwagi)"
                 " values (1, 'Żółw', 1, 'A', 12.34, 'ab', 1, 'notatka')",
                 "insert into osoba (id, nazwa, ilosc, kod, kwota) values (2, 'zażółć ąę', 2, 'B', 1)",
                 "insert into osoba (id, nazwa, ilosc, kod, kwota) values (3, 'ZAŻÓŁĆ ĄĘ', 3, 'B', 2)",
                 "insert into osoba (id, nazwa, ilosc, kod, kwota) values (4, 'Kowalski', 4, 'C', 3)",
                 "insert into osoba (id, nazwa, ilosc, kod, kwota) values (5, 'Kowalska', 5, 'C', 12.30)",
                 "insert into osoba (id, nazwa, ilosc, kod) values (6, 'Nowak', null, 'D')",
             }) {
            TFbQuery q;
            q.SetDatabase(&db);
            q.SetSQLText(sql);
            q.ExecQuery();
        }
        tr.Commit();
    }
    TTestDatabase File;
};

const TSharedDb& SharedDb() {
    static const TSharedDb db;
    return db;
}

// An attachment to the shared database with a started transaction (rolled back at the end) and a
// dataset on it.
class DataSet : public ::testing::Test {
protected:
    DataSet() {
        Attach(Db, Tr, SharedDb().File.TcpName());
        Tr2.SetDefaultDatabase(&Db2);
        Ds.SetName("Ds");
        Ds.SetDatabase(&Db);
    }
    // A value read, and a statement run, through a statement of its own in the test's transaction.
    std::string Value(const std::string& sql) { return Db.QueryValue(sql, 0, &Tr).Text; }
    void Exec(const std::string& sql) {
        TFbQuery q;
        q.SetDatabase(&Db);
        q.SetSQLText(sql);
        q.ExecQuery();
    }
    void OpenOsoba(const std::string& columns = "*") {
        Ds.SelectSQL().SetText("select " + columns + " from osoba order by id");
        Ds.AutoUpdateOptions.UpdateTableName = "osoba";
        Ds.AutoUpdateOptions.KeyFields = "ID";
        Ds.Open();
    }
    // Another user's work: a transaction of a second attachment.
    void Other(const std::string& sql, bool commit) {
        if (!Db2.Connected()) {
            SetUpDatabase(Db2, SharedDb().File.TcpName());
            Db2.SetSQLDialect(3);
            Db2.Open();
        }
        if (!Tr2.Active())
            Tr2.StartTransaction();
        TFbQuery q;
        q.SetDatabase(&Db2);
        q.SetTransaction(&Tr2);
        q.SetSQLText(sql);
        q.ExecQuery();
        if (commit)
            Tr2.Commit();
    }

    TPolishFormats Formats;
    TFbDatabase Db;
    TFbTransaction Tr;
    TFbDatabase Db2;
    TFbTransaction Tr2;
    TFbDataSet Ds;
};

} // namespace

// Rows come in chunks as the position needs them; each is fetched once, and moving back reads the
// rows kept.
TEST_F(DataSet, RowsComeInChunksAndEachIsFetchedOnce) {
    for (const int chunk : {1, 4, 1000}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        Ds.SetBufferChunks(chunk);
        Ds.SelectSQL().SetText("select id from osoba order by id");
        Ds.Open();
        EXPECT_EQ(Ds.RecordCount(), std::min(chunk, 6));
        EXPECT_EQ(Ds.FetchCount(), chunk > 6 ? 7 : chunk); // a chunk beyond the rows also meets the end
        EXPECT_TRUE(Ds.Bof());
        EXPECT_FALSE(Ds.Eof());
        EXPECT_EQ(Ds.RecNo(), 1);
        Ds.Prior();
        EXPECT_TRUE(Ds.Bof());
        EXPECT_EQ(Ds.RecNo(), 1);
        std::vector<int> ids;
        for (; !Ds.Eof(); Ds.Next())
            ids.push_back(Ds.FieldByName("id").AsInteger());
        EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(Ds.RecNo(), 6);
        EXPECT_TRUE(Ds.AllFetched());
        std::vector<int> back;
        for (Ds.Last(); !Ds.Bof(); Ds.Prior())
            back.push_back(Ds.FieldByName("ID").AsInteger());
        EXPECT_EQ(back, (std::vector<int>{6, 5, 4, 3, 2, 1}));
        Ds.SetRecNo(3);
        EXPECT_EQ(Ds.FieldByName("ID").AsInteger(), 3);
        EXPECT_EQ(Ds.FetchCount(), 7); // six rows and the call that found the end
        EXPECT_EQ(Ds.RecordCount(), 6);
        Ds.Close();
        EXPECT_FALSE(Ds.Active());
        EXPECT_EQ(Ds.RecordCount(), 0);
        EXPECT_TRUE(Ds.FieldByName("ID").IsNull());
    }
}

TEST_F(DataSet, AnEmptyResultAndSelectParameters) {
    Ds.SelectSQL().SetText("select id from osoba where id > :od and id < :DO order by id");
    Ds.ParamByName("OD").SetAsInteger(10);
    Ds.ParamByName("do").SetAsInteger(20);
    Ds.Open();
    EXPECT_TRUE(Ds.IsEmpty());
    EXPECT_TRUE(Ds.Bof());
    EXPECT_TRUE(Ds.Eof());
    EXPECT_EQ(Ds.RecNo(), 0);
    EXPECT_TRUE(Ds.FieldByName("ID").IsNull());
    Ds.Close();
    Ds.ParamByName("OD").SetAsInteger(4);
    Ds.Open();
    EXPECT_EQ(Ds.Params().Count(), 2);
    Ds.Last();
    EXPECT_EQ(Ds.RecordCount(), 2);
    EXPECT_EQ(Ds.FieldByName("ID").AsInteger(), 6);
}

TEST_F(DataSet, OnlyASelectOpens) {
    Ds.SelectSQL().SetText("update osoba set ilosc = 0");
    EXPECT_EQ(Raised([&] { Ds.Open(); }).SQLCode(), feCannotOpenNonSQLSelect);
    EXPECT_FALSE(Ds.Active());
    EXPECT_EQ(Value("select count(*) from osoba where ilosc = 0"), "0");
}

struct TKindCase {
    const char* Field;
    TFieldType Kind;
};

std::ostream& operator<<(std::ostream& out, const TKindCase& c) {
    return out << c.Field;
}

TEST_F(DataSet, FieldKindsFollowTheColumnTypes) {
    const TKindCase cases[] = {
        {"SI", ftSmallint}, {"I", ftInteger}, {"BI", ftLargeint}, {"N", ftBCD},    {"N9", ftBCD},
        {"DP", ftFloat},    {"FL", ftFloat},  {"D", ftDate},      {"T", ftTime},   {"TS", ftDateTime},
        {"B", ftBoolean},   {"V", ftString},  {"C", ftString},    {"TXT", ftMemo}, {"BIN", ftBlob},
    };
    Ds.SelectSQL().SetText("select * from typy");
    Ds.Prepare();
    ASSERT_EQ(Ds.FieldCount(), static_cast<int>(std::size(cases)));
    for (const TKindCase& c : cases) {
        SCOPED_TRACE(c.Field);
        EXPECT_EQ(Ds.FieldByName(c.Field).DataType(), c.Kind);
        EXPECT_EQ(Ds.FieldByName(c.Field).RelationName(), "TYPY");
    }
}

// What the metadata says of each column of OSOBA; read-only with OSOBA as the update table.
struct TMetadataCase {
    const char* Field;
    const char* Default;
    bool Required;
    bool Calculated;
    bool ReadOnly;
};

TEST_F(DataSet, DefaultsAndRequiredFlagsComeFromTheColumnOrItsDomain) {
    const TMetadataCase cases[] = {
        {"ID", "", true, false, false},
        {"NAZWA", "ABC", true, false, false}, // the literal's characters, without quotes
        {"ILOSC", "5", false, false, false},
        {"KOD", "DOM", true, false, false}, // default and NOT NULL of the domain
        {"KWOTA", "", false, false, false},
        {"UWAGI", "", false, false, false},
        {"KRAJ_ID", "", false, false, false},
        {"PODWOJNA", "", false, true, true}, // COMPUTED BY
        {"ZNAK", "", false, false, false},
        {"WIECEJ", "", false, true, true}, // an expression of the select
        {"KRAJ", "", false, false, true},  // another table's column
        {"DB_KEY", "", false, true, true}, // no column of the metadata
    };
    Ds.SelectSQL().SetText("select o.*, o.ilosc + 1 as wiecej, k.nazwa as kraj, o.rdb$db_key from osoba o"
                           " left join kraj k on k.id = o.kraj_id");
    Ds.AutoUpdateOptions.UpdateTableName = "Osoba";
    Ds.Prepare();
    ASSERT_EQ(Ds.FieldCount(), static_cast<int>(std::size(cases)));
    for (const TMetadataCase& c : cases) {
        SCOPED_TRACE(c.Field);
        const TFbField& field = Ds.FieldByName(c.Field);
        EXPECT_EQ(field.DefaultExpression(), c.Default);
        EXPECT_EQ(field.Required(), c.Required);
        EXPECT_EQ(field.Calculated(), c.Calculated);
        EXPECT_EQ(field.ReadOnly(), c.ReadOnly);
    }
    EXPECT_EQ(Ds.FieldByName("KRAJ").OriginName(), "NAZWA");
    EXPECT_EQ(Ds.FieldByName("KRAJ").RelationName(), "KRAJ");
    Ds.FieldByName("ZNAK").SetReadOnly(true);
    EXPECT_TRUE(Ds.FieldByName("ZNAK").ReadOnly());
}

struct TLocateCase {
    const char* Name;
    const char* Fields;
    std::vector<TFbVariant> Values;
    TLocateOptions Options;
    int Found; // the id found; 0 for none
};

std::ostream& operator<<(std::ostream& out, const TLocateCase& c) {
    return out << c.Name;
}

class Locate : public DataSet, public ::testing::WithParamInterface<TLocateCase> {};

// From row 3, with chunks of two rows so that the search has to fetch.
TEST_P(Locate, FindsTheFirstMatchingRowOrStays) {
    const TLocateCase& c = GetParam();
    Ds.SetBufferChunks(2);
    OpenOsoba("id, nazwa, ilosc, kod, kwota, znak");
    Ds.SetRecNo(3);
    EXPECT_EQ(Ds.Locate(c.Fields, c.Values, c.Options), c.Found != 0);
    const int at = c.Found ? c.Found : 3;
    EXPECT_EQ(Ds.RecNo(), at);
    EXPECT_EQ(Ds.FieldByName("ID").AsInteger(), at);
    EXPECT_EQ(Ds.FetchCount(), Ds.RecordCount() + (Ds.AllFetched() ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    DataSet, Locate,
    ::testing::Values(
        TLocateCase{"Exact", "NAZWA", {std::string("Kowalska")}, 0, 5},
        TLocateCase{"ExactIsCaseSensitive", "NAZWA", {std::string("kowalska")}, 0, 0},
        TLocateCase{"ExactPolishUpperCase", "NAZWA", {std::string("ZAŻÓŁĆ ĄĘ")}, 0, 3},
        TLocateCase{"CaseInsensitivePolish", "NAZWA", {std::string("ZAŻÓŁĆ ąę")}, loCaseInsensitive, 2},
        TLocateCase{"Partial", "nazwa", {std::string("Kowal")}, loPartialKey, 4},
        TLocateCase{"PartialIsCaseSensitive", "NAZWA", {std::string("kowal")}, loPartialKey, 0},
        TLocateCase{"PartialCaseInsensitivePolish",
                    "NAZWA",
                    {std::string("żół")},
                    loPartialKey | loCaseInsensitive,
                    1},
        TLocateCase{"SeveralFields", "KOD;NAZWA", {std::string("C"), std::string("Kowalska")}, 0, 5},
        TLocateCase{
            "SeveralFieldsOneDiffers", "KOD; NAZWA", {std::string("B"), std::string("Kowalska")}, 0, 0},
        TLocateCase{"Integer", "ILOSC", {std::int64_t{4}}, 0, 4},
        TLocateCase{"IntegerGivenAsText", "ILOSC", {std::string("4")}, 0, 4},
        TLocateCase{"ScaledGivenAsNumber", "KWOTA", {12.3}, 0, 5},
        TLocateCase{"ScaledGivenAsText", "KWOTA", {std::string("12,30")}, 0, 5},
        TLocateCase{"Null", "ILOSC", {nullptr}, 0, 6},
        TLocateCase{"CharWithoutItsPadding", "ZNAK", {std::string("ab")}, 0, 1},
        TLocateCase{"NotFound", "NAZWA", {std::string("Nikt")}, loPartialKey | loCaseInsensitive, 0}),
    [](const ::testing::TestParamInfo<TLocateCase>& info) { return std::string(info.param.Name); });

TEST_F(DataSet, LocateRefusesUnknownFieldsAndUnevenLists) {
    OpenOsoba();
    Ds.SetRecNo(2);
    EXPECT_EQ(Raised([&] { Ds.Locate("NIKT", {std::int64_t{1}}, 0); }).SQLCode(), feFieldNotFound);
    EXPECT_EQ(Raised([&] { Ds.Locate("ID;NAZWA", {std::int64_t{1}}, 0); }).SQLCode(), feColumnListsDontMatch);
    EXPECT_EQ(Ds.RecNo(), 2);
}

// A value set into a field is converted to the column's type at once; `Expected` is its display
// text afterwards, or the client error that refused it.
struct TSetCase {
    const char* Name;
    const char* Field;
    std::function<void(TFbField&)> Set;
    const char* Expected;
    int Error = -1;
};

std::ostream& operator<<(std::ostream& out, const TSetCase& c) {
    return out << c.Name;
}

class SetValue : public DataSet, public ::testing::WithParamInterface<TSetCase> {};

TEST_P(SetValue, ConvertsToTheColumnType) {
    const TSetCase& c = GetParam();
    Ds.SelectSQL().SetText("select * from typy");
    Ds.Open();
    Ds.Append();
    TFbField& field = Ds.FieldByName(c.Field);
    if (c.Error >= 0) {
        EXPECT_EQ(Raised([&] { c.Set(field); }).SQLCode(), c.Error);
        EXPECT_TRUE(field.IsNull());
        return;
    }
    c.Set(field);
    EXPECT_EQ(field.AsString(), c.Expected);
    EXPECT_TRUE(Ds.Modified());
}

INSTANTIATE_TEST_SUITE_P(
    DataSet, SetValue,
    ::testing::Values(
        TSetCase{"TextIntoInteger", "I", [](TFbField& f) { f.SetAsString(" 42 "); }, "42"},
        TSetCase{"NumberIntoIntegerRounds", "I", [](TFbField& f) { f.SetAsDouble(2.5); }, "3"},
        TSetCase{"IntegerIntoText", "V", [](TFbField& f) { f.SetAsInteger(-7); }, "-7"},
        TSetCase{"NumberIntoText", "V", [](TFbField& f) { f.SetAsDouble(1.25); }, "1,25"},
        TSetCase{"TextIntoScaledRoundsHalfUp", "N", [](TFbField& f) { f.SetAsString("12,345"); }, "12,35"},
        TSetCase{"TextWithPointIntoScaled", "N9", [](TFbField& f) { f.SetAsString("-0.5"); }, "-0,5"},
        TSetCase{"LargeTextIntoScaledExactly", "N", [](TFbField& f) { f.SetAsString("9999999999999,99"); },
                 "9999999999999,99"},
        TSetCase{"IntegerIntoScaled", "N", [](TFbField& f) { f.SetAsInt64(3); }, "3"},
        TSetCase{"TextIntoDouble", "DP", [](TFbField& f) { f.SetAsString("1,5"); }, "1,5"},
        TSetCase{"EmptyTextNullsANumber", "I", [](TFbField& f) { f.SetAsString(""); }, ""},
        TSetCase{"CharIsPadded", "C", [](TFbField& f) { f.SetAsString("x"); }, "x     "},
        TSetCase{"TrailingBlanksBeyondTheLengthGo", "V", [](TFbField& f) { f.SetAsString("0123456789   "); },
                 "0123456789"},
        TSetCase{"PolishLettersCountOneEach", "V", [](TFbField& f) { f.SetAsString("ąćęłńóśźżĄ"); },
                 "ąćęłńóśźżĄ"},
        TSetCase{"DateTimeIntoDate", "D", [](TFbField& f) { f.SetAsDateTime(45000.75); }, "2023-03-15"},
        TSetCase{"DateTimeIntoTimestamp", "TS", [](TFbField& f) { f.SetAsDateTime(45000.5); },
                 "2023-03-15 12:00:00"},
        TSetCase{"TextIntoBoolean", "B", [](TFbField& f) { f.SetAsString("true"); }, "True"},
        TSetCase{"TextIntoMemo", "TXT", [](TFbField& f) { f.SetAsString("długi tekst"); }, "długi tekst"},
        TSetCase{"TextTooLong", "V", [](TFbField& f) { f.SetAsString("01234567890"); }, "",
                 feFieldSizeMismatch},
        TSetCase{"NotANumber", "I", [](TFbField& f) { f.SetAsString("abc"); }, "", feInvalidDataConversion},
        TSetCase{"TooManyDigitsForScaled", "N", [](TFbField& f) { f.SetAsString("99999999999999999,1"); }, "",
                 feInvalidDataConversion},
        TSetCase{"OutOfSmallintRange", "SI", [](TFbField& f) { f.SetAsInteger(40000); }, "",
                 feInvalidDataConversion},
        TSetCase{"DateFromText", "D", [](TFbField& f) { f.SetAsString("2023-03-15"); }, "",
                 feInvalidDataConversion}),
    [](const ::testing::TestParamInfo<TSetCase>& info) { return std::string(info.param.Name); });

TEST_F(DataSet, FieldsTakeValuesOnlyWhileEditing) {
    OpenOsoba();
    EXPECT_EQ(Raised([&] { Ds.FieldByName("NAZWA").SetAsString("x"); }).SQLCode(), feNotInEditState);
    EXPECT_EQ(Raised([&] { Ds.Post(); }).SQLCode(), feNotInEditState);
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "Żółw");
}

// Without statement texts the dataset writes through statements made from the update table and
// its key: an edit, a changed key (found by its old value), an insert with a memo, a delete.
TEST_F(DataSet, GeneratedStatementsWriteEditsInsertsAndDeletes) {
    OpenOsoba("id, nazwa, ilosc, kod, podwojna, uwagi");
    ASSERT_TRUE(Ds.Locate("ID", {std::int64_t{4}}, 0));
    Ds.Edit();
    Ds.FieldByName("NAZWA").SetAsString("Kowalski-Nowak");
    Ds.FieldByName("ILOSC").Clear();
    EXPECT_TRUE(Ds.FieldByName("NAZWA").ValueChanged());
    EXPECT_FALSE(Ds.FieldByName("KOD").ValueChanged());
    Ds.Post();
    EXPECT_EQ(Ds.State(), dsBrowse);
    EXPECT_EQ(Value("select nazwa || '/' || coalesce(ilosc, -1) from osoba where id = 4"),
              "Kowalski-Nowak/-1");

    Ds.Next();
    Ds.Edit();
    Ds.FieldByName("ID").SetAsInteger(55);
    Ds.Post();
    EXPECT_EQ(Value("select list(id) from (select id from osoba where id in (5, 55))"), "55");

    Ds.Append();
    EXPECT_EQ(Ds.RecNo(), 7);
    Ds.FieldByName("ID").SetAsInteger(50);
    Ds.FieldByName("NAZWA").SetAsString("Nowy");
    Ds.FieldByName("KOD").SetAsString("X");
    Ds.FieldByName("UWAGI").SetAsString("długi tekst ze znakami ąę");
    Ds.Post();
    EXPECT_EQ(Ds.RecordCount(), 7);
    EXPECT_EQ(Ds.RecNo(), 7);
    EXPECT_EQ(Value("select nazwa || ' ' || uwagi from osoba where id = 50"),
              "Nowy długi tekst ze znakami ąę");
    Ds.First();
    Ds.Last();
    EXPECT_EQ(Ds.FieldByName("UWAGI").AsString(), "długi tekst ze znakami ąę"); // the kept row shows it

    ASSERT_TRUE(Ds.Locate("ID", {std::int64_t{1}}, 0));
    Ds.Edit();
    Ds.FieldByName("NAZWA").SetAsString("Żółw II"); // an unchanged memo goes back as the blob it was
    Ds.Post();
    EXPECT_EQ(Value("select nazwa || ' ' || uwagi from osoba where id = 1"), "Żółw II notatka");

    Ds.Last();
    Ds.Delete();
    EXPECT_EQ(Value("select count(*) from osoba where id = 50"), "0");
    EXPECT_EQ(Ds.RecordCount(), 6);
    EXPECT_EQ(Ds.FieldByName("ID").AsInteger(), 6);
    ASSERT_TRUE(Ds.Locate("ID", {std::int64_t{1}}, 0));
    Ds.Insert(); // before the current row
    EXPECT_EQ(Ds.RecNo(), 1);
    Ds.Cancel();
    EXPECT_EQ(Ds.FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(Ds.RecordCount(), 6);
}

// A column under another name is written to its own column through a quoted parameter of its name.
TEST_F(DataSet, AnAliasedColumnIsWrittenAndRefreshedUnderItsOwnName) {
    OpenOsoba("id, nazwa as \"Imię\", ilosc * 10 as dziesiec");
    Ds.Edit();
    Ds.FieldByName("Imię").SetAsString("Żaneta");
    Ds.Post();
    EXPECT_EQ(Value("select nazwa from osoba where id = 1"), "Żaneta");
    Exec("update osoba set nazwa = 'Inna' where id = 1");
    Ds.Refresh();
    EXPECT_EQ(Ds.FieldByName("Imię").AsString(), "Inna");
    EXPECT_EQ(Ds.FieldByName("DZIESIEC").AsInteger(), 10); // an expression, neither written nor read again
}

TEST_F(DataSet, GivenStatementsBindNewAndOldValuesAndRefreshReadsTheRowAgain) {
    Ds.SelectSQL().SetText("select id, nazwa, kod from osoba order by id");
    Ds.InsertSQL().SetText("insert into osoba (id, nazwa, kod) values (:id, upper(:nazwa), :kod)");
    Ds.ModifySQL().SetText("update osoba set nazwa = :nazwa || '!', id = :id where id = :old_id");
    Ds.DeleteSQL().SetText("delete from osoba where id = :OLD_ID");
    Ds.RefreshSQL().SetText("select nazwa, kod from osoba where id = :id");
    Ds.Open();
    Ds.Edit();
    Ds.FieldByName("ID").SetAsInteger(10);
    Ds.FieldByName("NAZWA").SetAsString("żółw");
    Ds.Post();
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "żółw"); // as set, until refreshed
    Ds.Refresh();
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "żółw!");
    Ds.Next();
    Ds.Prior();
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "żółw!"); // the refreshed values are the row's
    EXPECT_EQ(Value("select count(*) from osoba where id = 1"), "0");

    Ds.Append();
    Ds.FieldByName("ID").SetAsInteger(60);
    Ds.FieldByName("NAZWA").SetAsString("mala");
    Ds.FieldByName("KOD").SetAsString("K");
    Ds.Post();
    Ds.Refresh();
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "MALA");
    Ds.Delete();
    EXPECT_EQ(Value("select count(*) from osoba where id = 60"), "0");
}

TEST_F(DataSet, WithoutStatementsTheDatasetRefusesToWrite) {
    Ds.SelectSQL().SetText("select id, nazwa from osoba order by id");
    Ds.Open();
    Ds.Edit();
    Ds.FieldByName("NAZWA").SetAsString("x");
    EXPECT_EQ(Raised([&] { Ds.Post(); }).SQLCode(), feCannotUpdate);
    EXPECT_EQ(Ds.State(), dsEdit);
    Ds.Cancel();
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "Żółw");
    EXPECT_EQ(Raised([&] { Ds.Delete(); }).SQLCode(), feCannotDelete);
    EXPECT_EQ(Raised([&] { Ds.Refresh(); }).SQLCode(), feCannotRefresh);
    Ds.Append();
    EXPECT_EQ(Raised([&] { Ds.Post(); }).SQLCode(), feCannotInsert);
}

// The automatic update takes the generator's next value for the key of a new row that has none.
TEST_F(DataSet, ANewRowGetsItsIdFromTheGenerator) {
    Ds.AutoUpdateOptions.GeneratorName = "gen_osoba";
    Ds.AutoUpdateOptions.WhenGetGenID = gaBeforePost;
    OpenOsoba("id, nazwa, kod");
    const long long before = std::stoll(Value("select gen_id(gen_osoba, 0) from rdb$database"));
    Ds.Append();
    EXPECT_TRUE(Ds.FieldByName("ID").IsNull());
    Ds.FieldByName("NAZWA").SetAsString("Nowy");
    Ds.FieldByName("KOD").SetAsString("G");
    Ds.Post();
    EXPECT_EQ(Ds.FieldByName("ID").AsInt64(), before + 1);
    EXPECT_EQ(Value("select nazwa from osoba where id = " + std::to_string(before + 1)), "Nowy");

    Ds.Append();
    Ds.FieldByName("ID").SetAsInteger(77); // a key of its own is kept
    Ds.FieldByName("NAZWA").SetAsString("Własny");
    Ds.FieldByName("KOD").SetAsString("G");
    Ds.Post();
    EXPECT_EQ(Value("select gen_id(gen_osoba, 0) from rdb$database"), std::to_string(before + 1));

    Ds.AutoUpdateOptions.WhenGetGenID = gaOnNewRecord;
    Ds.Append();
    EXPECT_EQ(Ds.FieldByName("ID").AsInt64(), before + 2);
    EXPECT_FALSE(Ds.Modified());
    Ds.Cancel();
}

// A dataset that fills a new row from the columns' defaults, as the dataset tool does, and counts
// the hooks it passes.
class TDefaultsDataSet : public TFbDataSet {
public:
    int Posts = 0, Cancels = 0, Ends = 0;
    bool FailNewRecord = false;

protected:
    void DoOnNewRecord() override {
        if (FailNewRecord)
            throw Exception("no new row");
        for (int i = 0; i < FieldCount(); ++i)
            if (!Fields(i).DefaultExpression().empty() && Fields(i).IsNull())
                Fields(i).SetAsString(Fields(i).DefaultExpression());
        TFbDataSet::DoOnNewRecord();
    }
    void DoAfterPost() override { ++Posts; }
    void DoAfterCancel() override { ++Cancels; }
    void DoTransactionEnded() override { ++Ends; }
};

TEST_F(DataSet, ANewRowTakesTheColumnDefaultsThroughTheHook) {
    TDefaultsDataSet ds;
    ds.SetDatabase(&Db);
    ds.SelectSQL().SetText("select id, nazwa, ilosc, kod, kwota from osoba");
    ds.AutoUpdateOptions.UpdateTableName = "OSOBA";
    ds.AutoUpdateOptions.KeyFields = "ID";
    ds.Open();
    ds.Append();
    EXPECT_EQ(ds.FieldByName("NAZWA").AsString(), "ABC");
    EXPECT_EQ(ds.FieldByName("ILOSC").AsInteger(), 5);
    EXPECT_EQ(ds.FieldByName("KOD").AsString(), "DOM");
    EXPECT_TRUE(ds.FieldByName("KWOTA").IsNull());
    EXPECT_FALSE(ds.Modified()); // the defaults are no change of the user's
    ds.FieldByName("ID").SetAsInteger(70);
    ds.Post();
    EXPECT_EQ(ds.Posts, 1);
    EXPECT_EQ(Value("select nazwa || ilosc || kod from osoba where id = 70"), "ABC5DOM");
    ds.Append();
    ds.Cancel();
    EXPECT_EQ(ds.Cancels, 1);
    EXPECT_EQ(ds.RecordCount(), 7);

    ds.FailNewRecord = true;
    const int at = ds.RecNo();
    EXPECT_THROW(ds.Append(), Exception);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RecNo(), at);
}

// A row that another transaction holds makes the post fail with the server's update conflict; the
// row stays as the user left it, so that the post can be tried again. Firebird 3 reports a row held
// by an active transaction to a no-wait transaction as isc_deadlock with isc_update_conflict, not as
// isc_lock_conflict (335544345), which it keeps for lock waits refused.
TEST_F(DataSet, ARowHeldByAnotherTransactionFailsThePostAndKeepsTheEdit) {
    OpenOsoba("id, nazwa, kod");
    Other("update osoba set kod = 'Z' where id = 1", false);
    Ds.Edit();
    Ds.FieldByName("NAZWA").SetAsString("Żółw błotny");
    const EFbLibraryError e = Raised<EFbLibraryError>([&] { Ds.Post(); });
    EXPECT_EQ(e.IBErrorCode(), 335544336); // isc_deadlock
    EXPECT_EQ(e.SQLCode(), -913);
    EXPECT_NE(e.Message().find("Update conflicts with concurrent update."), std::string::npos) << e.Message();
    EXPECT_EQ(Ds.State(), dsEdit);
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "Żółw błotny");
    EXPECT_TRUE(Ds.Modified());
    Tr2.Rollback();
    Ds.Post();
    EXPECT_EQ(Value("select nazwa from osoba where id = 1"), "Żółw błotny");
}

TEST_F(DataSet, AForeignKeyFailureRaisesItsMessageAndKeepsTheNewRow) {
    OpenOsoba("id, nazwa, kod, kraj_id");
    Ds.Append();
    Ds.FieldByName("ID").SetAsInteger(80);
    Ds.FieldByName("NAZWA").SetAsString("Obcy");
    Ds.FieldByName("KOD").SetAsString("F");
    Ds.FieldByName("KRAJ_ID").SetAsInteger(999);
    const EFbLibraryError e = Raised<EFbLibraryError>([&] { Ds.Post(); });
    EXPECT_EQ(e.IBErrorCode(), 335544466); // isc_foreign_key
    EXPECT_NE(e.Message().find("FK_OSOBA_KRAJ"), std::string::npos) << e.Message();
    EXPECT_EQ(Ds.State(), dsInsert);
    EXPECT_EQ(Ds.FieldByName("KRAJ_ID").AsInteger(), 999);
    EXPECT_EQ(Ds.RecordCount(), 6);
    Ds.FieldByName("KRAJ_ID").SetAsInteger(1);
    Ds.Post();
    EXPECT_EQ(Ds.RecordCount(), 7);
    EXPECT_EQ(Value("select kraj_id from osoba where id = 80"), "1");
}

// Another user changed or deleted the row since it was read (committed work on table ZAPIS).
TEST_F(DataSet, ARowChangedOrDeletedByOthersIsRefreshedOrRefused) {
    Other("insert into zapis values (1, 'pierwszy')", false);
    Other("insert into zapis values (2, 'drugi')", true);
    Ds.SelectSQL().SetText("select id, nazwa from zapis order by id");
    Ds.AutoUpdateOptions.UpdateTableName = "ZAPIS";
    Ds.AutoUpdateOptions.KeyFields = "ID";
    Ds.Open();
    Other("update zapis set nazwa = 'zmieniony' where id = 1", false);
    Other("delete from zapis where id = 2", true);
    Ds.Refresh();
    EXPECT_EQ(Ds.FieldByName("NAZWA").AsString(), "zmieniony");
    Ds.Next();
    Ds.Edit();
    Ds.FieldByName("NAZWA").SetAsString("nowy");
    const EFbClientError e = Raised([&] { Ds.Post(); });
    EXPECT_NE(e.Message().find("not found"), std::string::npos) << e.Message();
    EXPECT_EQ(Ds.State(), dsEdit);
    Ds.Cancel();
    EXPECT_THROW(Ds.Refresh(), EFbClientError);
    EXPECT_THROW(Ds.Delete(), EFbClientError);
    EXPECT_EQ(Ds.RecordCount(), 2);
    Other("delete from zapis", true);
}

// A full end of the transaction takes the rows with the cursor; a retaining end keeps both.
TEST_F(DataSet, AFullTransactionEndClosesTheDatasetAndTellsTheHook) {
    TDefaultsDataSet ds;
    ds.SetDatabase(&Db);
    ds.SetBufferChunks(2);
    ds.SelectSQL().SetText("select id from osoba order by id");
    ds.Open();
    Tr.CommitRetaining();
    EXPECT_TRUE(ds.Active());
    ds.Last();
    EXPECT_EQ(ds.RecordCount(), 6);
    EXPECT_EQ(ds.Ends, 0);
    ds.Edit();
    Tr.Rollback();
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.State(), dsInactive);
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_EQ(ds.Ends, 1);
    Tr.StartTransaction();
    ds.Open();
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);
}

TEST_F(DataSet, MovingPostsAModifiedRowAndCancelsAnUnmodifiedOne) {
    OpenOsoba("id, nazwa");
    Ds.Edit();
    Ds.Next(); // nothing changed: cancelled, no statement needed
    EXPECT_EQ(Ds.State(), dsBrowse);
    Ds.Edit();
    Ds.FieldByName("NAZWA").SetAsString("Zmieniona");
    Ds.Next();
    EXPECT_EQ(Ds.State(), dsBrowse);
    EXPECT_EQ(Ds.FieldByName("ID").AsInteger(), 3);
    EXPECT_EQ(Value("select nazwa from osoba where id = 2"), "Zmieniona");
    Ds.Append();
    Ds.First(); // a new row with nothing set goes
    EXPECT_EQ(Ds.RecordCount(), 6);
}

// Field objects stay valid across closing and new select texts; one whose column is gone refuses.
TEST_F(DataSet, FieldsOutliveNewSelectTexts) {
    OpenOsoba("id, nazwa");
    TFbField* nazwa = &Ds.FieldByName("NAZWA");
    EXPECT_EQ(Raised([&] { Ds.SelectSQL().SetText("select id from osoba"); }).SQLCode(), feDatasetOpen);
    Ds.Close();
    Ds.SelectSQL().SetText("select nazwa, id from osoba order by id desc");
    Ds.Open();
    EXPECT_EQ(&Ds.FieldByName("nazwa"), nazwa);
    EXPECT_EQ(nazwa->Index(), 0);
    EXPECT_EQ(nazwa->AsString(), "Nowak");
    Ds.Close();
    Ds.SelectSQL().SetText("select id from osoba");
    Ds.Open();
    EXPECT_EQ(nazwa->Index(), -1);
    EXPECT_EQ(Raised([&] { (void)nazwa->AsString(); }).SQLCode(), feFieldNotFound);
    EXPECT_EQ(Ds.FindField("NAZWA"), nullptr);
    Ds.UnPrepare();
    EXPECT_FALSE(Ds.Prepared());
    EXPECT_FALSE(Ds.Active());
}

namespace {

// Bytes the allocator has handed out and not taken back.
long long HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#endif
}

} // namespace

// 100 000 rows of an INTEGER and a VARCHAR(20): the rows kept take memory in proportion to their
// number, all of it given back on close, and walking to the end and back fetches each row once.
TEST(DataSetMemory, AHundredThousandRowsGrowLinearlyAndAreGivenBackOnClose) {
    constexpr int kRows = 100000;
    TTestDatabase file;
    file.Execute({"create table big (id integer not null, name varchar(20))",
                  "execute block as declare i integer = 0; begin while (i < " + std::to_string(kRows) +
                      ") do begin insert into big values (:i, 'row ' || :i); i = i + 1; end end"});
    TFbDatabase db;
    TFbTransaction tr;
    Attach(db, tr, file.TcpName());
    int executes = 0;
    tr.BeforeSQLExecute = [&](TObject*, TObject*) { ++executes; };
    TFbDataSet ds;
    ds.SetDatabase(&db);
    ds.SelectSQL().SetText("select id, name from big order by id");
    ds.Prepare();

    const long long base = HeapInUse();
    ds.Open();
    while (ds.RecNo() < kRows / 2)
        ds.Next();
    ASSERT_EQ(ds.RecordCount(), kRows / 2);
    const long long half = HeapInUse() - base;
    for (; !ds.Eof(); ds.Next())
        ;
    ASSERT_EQ(ds.RecordCount(), kRows);
    const long long full = HeapInUse() - base;
    long long sum = 0;
    for (ds.Last(); !ds.Bof(); ds.Prior())
        sum += ds.FieldByName("ID").AsInteger();
    EXPECT_EQ(sum, static_cast<long long>(kRows) * (kRows - 1) / 2);
    EXPECT_EQ(ds.FieldByName("NAME").AsString(), "row 0");
    EXPECT_EQ(ds.FetchCount(), kRows + 1); // every row once, and the call that found the end
    EXPECT_EQ(executes, 1);
    ds.Close();
    const long long after = HeapInUse() - base;

    std::printf(
        "[ memory   ] %d rows: %lld bytes at half, %lld at the end (%.1f per row), %lld after close\n", kRows,
        half, full, static_cast<double>(full) / kRows, after);
    // A row is 4 + 22 bytes of values, 2 null flags and its 8-byte pointer; the pointer list may hold
    // up to twice its size.
    EXPECT_GT(full, 36LL * kRows);
    EXPECT_LT(full, 48LL * kRows);
    EXPECT_GT(full, half * 17 / 10);
    EXPECT_LT(full, half * 23 / 10);
    EXPECT_LT(after, 64 * 1024);
}
