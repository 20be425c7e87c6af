// The query dataset and its tool against the private Firebird test server: opening with the sort
// check, plans through the preprocessor, new rows with defaults and generator ids, the patience of a
// save with a row another user holds, failures through the exception handler, change descriptions,
// and the memory of a large dataset.

#include "datasets/KwQuery.h"
#include "DbLayerTestUtil.h"
#include "core/Exception.h"
#include "core/KwUtils.h"
#include "dblayer/KwSQL.h"
#include "dblayer/KwTransaction.h"
#include "fbclient/FbErrors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using TLines = std::vector<std::string>;

const TLines kSchema = {
    "create table kraj (id integer not null constraint pk_kraj primary key using index ix_kraj,"
    " nazwa varchar(40))",
    "create table osoba (id integer default 0 not null constraint pk_osoba primary key,"
    " nazwa varchar(40) default 'ABC', ilosc integer default 5, kwota numeric(15,2) default 1.25,"
    " opis varchar(20) not null, uwagi varchar(20), duzy bigint default 7,"
    " kraj_id integer constraint fk_osoba_kraj references kraj(id))",
    "create generator gen_osoba",
    "set generator gen_osoba to 100",
    "insert into kraj values (1, 'Polska')",
    "insert into osoba (id, nazwa, ilosc, opis, kraj_id) values (1, 'Nowak', 10, 'x', 1)",
    "insert into osoba (id, nazwa, ilosc, opis) values (2, 'Kowalski', 20, 'y')",
};

constexpr const char* kFkSentence =
    "Brak możliwości wykonania operacji. Ta pozycja tabeli ma powiązanie z innymi danymi.";

// An editing query over OSOBA on a framework transaction of an attached database; every attempt
// to save and every pause of the patience recorded.
struct TQueryTest : public ::testing::Test {
    TQueryTest() : Base(kSchema), Q(nullptr, &Tr, false, false, false) {
        Tr.SetDefaultDatabase(&Base.Db);
        Base.Db.SetDefaultTransaction(&Tr);
        Q.SetTransaction(&Tr);
        Q.SetDatabase(&Base.Db);
        Q.SetPrimaryTableName("OSOBA");
        Q.SetIdColumns("ID");
        Q.BeforePost = [this](TObject*) { ++Attempts; };
        Q.DataSetTool().SetLockPause([this](int ms) {
            Pauses.push_back(ms);
            CursorInPause.push_back(KlepsydraCount() == 1 && Ui.Cursor() == TCursorKind::crHourGlass);
            if (OnPause)
                OnPause(static_cast<int>(Pauses.size()));
        });
    }
    void OpenOsoba(const std::string& columns = "*") {
        Q.SqlSet(columns, "OSOBA", "", "", "", "ID", "", "", "");
        ASSERT_TRUE(Q.kwOpen(""));
        Q.CreateUpdateSql();
    }
    // Another user's work on the same database, left uncommitted.
    void OtherHolds(const std::string& sql) {
        PrepareFor(Db2, Base.File);
        Db2.SetConnected(true);
        Tr2.SetDefaultDatabase(&Db2);
        TkwSQL statement;
        statement.SetTransaction(&Tr2);
        statement.SetSQLText(sql);
        ASSERT_TRUE(Tr2.kwBeginTrans(""));
        ASSERT_TRUE(statement.kwExecQuery(""));
    }
    std::string Committed(const std::string& sql) const { return Base.File.Query(sql); }

    TFakeUi Ui;
    TAttached Base;
    TkwTransaction Tr;
    TkwQuery Q;
    TkwDatabase Db2;
    TkwTransaction Tr2;
    int Attempts = 0;
    std::vector<int> Pauses;
    std::vector<bool> CursorInPause;
    std::function<void(int)> OnPause;
};
using QueryTest = TQueryTest;

TEST_F(QueryTest, AnOrderTheServerRefusesIsDroppedWithTheSortCheck) {
    Q.SetCheckSortOnOpen(true);
    Q.SqlSet("ID, NAZWA", "OSOBA", "", "", "", "NIE_MA_TAKIEJ", "DESC", "", "");
    EXPECT_TRUE(Q.kwOpen(""));
    EXPECT_TRUE(Q.Active());
    EXPECT_EQ(Q.SqlOrderBy(), "");
    EXPECT_EQ(Q.SqlOrderType(), "");
    EXPECT_EQ(Q.SelectSQL().Lines(), (TLines{"SELECT ID, NAZWA", "FROM OSOBA"}));
    EXPECT_EQ(Q.RecordCount(), 2);
    EXPECT_TRUE(Ui.IbErrorWnds.empty());
    // Open already: nothing happens, whatever the options.
    const long long fetches = Q.FetchCount();
    EXPECT_TRUE(Q.kwOpen("+t+r"));
    EXPECT_EQ(Q.FetchCount(), fetches);
}

TEST_F(QueryTest, WithoutTheSortCheckTheRefusedOrderGoesToTheHandler) {
    Q.SqlSet("ID, NAZWA", "OSOBA", "", "", "", "NIE_MA_TAKIEJ", "DESC", "", "");
    EXPECT_FALSE(Q.kwOpen("-a"));
    EXPECT_FALSE(Q.Active());
    ASSERT_EQ(Ui.IbErrorWnds.size(), 1u);
    EXPECT_EQ(Ui.IbErrorWnds[0].ObjectName, "OSOBA");
    EXPECT_EQ(Ui.IbErrorWnds[0].Sql, Q.SelectSQL().Text());
    EXPECT_NE(Ui.IbErrorWnds[0].Message.find("NIE_MA_TAKIEJ"), std::string::npos);
    EXPECT_EQ(Q.SqlOrderBy(), "NIE_MA_TAKIEJ");
    // The default route: the window, then the silent abort.
    EXPECT_EQ(Outcome([&] { Q.kwOpen(""); }).Raised, rsAbort);
    EXPECT_EQ(Ui.IbErrorWnds.size(), 2u);
}

// A plan naming the key constraint reaches the server with the index behind it; the framework's
// inactive transaction is begun by the opening.
TEST_F(QueryTest, APlanNamesTheIndexOfItsConstraint) {
    Q.SqlSet("ID", "KRAJ", "ID = 1", "", "", "", "", "", "(KRAJ INDEX (PK_KRAJ))");
    EXPECT_EQ(Q.SqlPlan(), "(KRAJ INDEX (IX_KRAJ))");
    EXPECT_EQ(Q.SelectSQL().Lines().back(), "PLAN (KRAJ INDEX (IX_KRAJ))");
    if (Tr.Active())
        Tr.Commit();
    EXPECT_TRUE(Q.kwOpen(""));
    EXPECT_TRUE(Tr.Active());
    EXPECT_EQ(Tr.CallCount(), 0);
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 1);
}

// The column defaults as the server keeps them; a value the row has already (the id the generator
// gave on the new row) is kept, a required text without default gets the empty text.
TEST_F(QueryTest, ANewRowTakesTheColumnDefaults) {
    OpenOsoba();
    Q.AutoUpdateOptions.WhenGetGenID = gaOnNewRecord;
    ASSERT_TRUE(Q.DataSetTool().kwAppend(""));
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 101);
    EXPECT_EQ(Q.FieldByName("NAZWA").AsString(), "ABC");
    EXPECT_EQ(Q.FieldByName("ILOSC").AsInteger(), 5);
    EXPECT_EQ(Q.FieldByName("KWOTA").AsDouble(), 1.25);
    EXPECT_EQ(Q.FieldByName("DUZY").AsInt64(), 7);
    EXPECT_FALSE(Q.FieldByName("OPIS").IsNull());
    EXPECT_EQ(Q.FieldByName("OPIS").AsString(), "");
    EXPECT_TRUE(Q.FieldByName("UWAGI").IsNull());
    EXPECT_TRUE(Q.FieldByName("KRAJ_ID").IsNull());
    ASSERT_TRUE(Q.kwPost(""));
    Tr.Commit();
    EXPECT_EQ(Committed("select nazwa || '/' || ilosc || '/' || kwota || '/' || duzy || '/' || opis || '/'"
                        " from osoba where id = 101"),
              "ABC/5/1.25/7//");
}

// The id from the database's generator, and a foreign key that fails the save at once: no pause,
// the Polish sentence, the error window naming the table.
TEST_F(QueryTest, ANewIdFromTheGeneratorAndAForeignKeyFailingAtOnce) {
    OpenOsoba();
    ASSERT_TRUE(Q.kwAppendNextRow(""));
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 101);
    EXPECT_GE(std::stoll(Committed("select gen_id(gen_osoba, 0) from rdb$database")), 101);
    Q.FieldByName("OPIS").SetAsString("nowy");
    Q.FieldByName("KRAJ_ID").SetAsInteger(999);

    EXPECT_EQ(Outcome([&] { Q.kwPost(""); }).Raised, rsAbort);
    EXPECT_EQ(Attempts, 1);
    EXPECT_TRUE(Pauses.empty());
    EXPECT_TRUE(Ui.Windows.empty());
    ASSERT_EQ(Ui.IbErrorWnds.size(), 1u);
    EXPECT_EQ(Ui.IbErrorWnds[0].IBErrorCode, 335544466);
    EXPECT_EQ(Ui.IbErrorWnds[0].ObjectName, "OSOBA");
    EXPECT_EQ(LastDbErrorPolMessage(), kFkSentence);
    ASSERT_NE(Q.DataSetTool().LastIbError(), nullptr);
    EXPECT_EQ(Q.DataSetTool().LastIbError()->IBErrorCode(), 335544466);

    {
        TMode mode(htBezOkna);
        const TOutcome outcome = Outcome([&] { Q.kwPost(""); });
        EXPECT_EQ(outcome.Raised, rsKwDbError);
        EXPECT_EQ(outcome.PolMessage, kFkSentence);
    }
    EXPECT_EQ(Attempts, 2);
    // The row is still there for the user to mend.
    EXPECT_EQ(Q.State(), dsInsert);
    Q.FieldByName("KRAJ_ID").SetAsInteger(1);
    EXPECT_TRUE(Q.kwPost(""));
    EXPECT_TRUE(Pauses.empty());
}

struct TLockCase {
    const char* Name;
    const char* Options;
    TkwDbErrorHandlingType Mode;
    std::vector<TKomButtonType> Answers;
    int Attempts;
    std::size_t Questions;
    bool Window;
    TRaised Raised;
};

const TLockCase kLockCases[] = {
    {"AskedAfterElevenAttempts", "", htOknoIAbort, {kNie}, 11, 1, true, rsAbort},
    {"YesGrantsTheSameAgain", "", htOknoIAbort, {kTak, kNie}, 22, 2, true, rsAbort},
    {"PatientWaitsThirty", "+c", htOknoIAbort, {kNie}, 31, 1, true, rsAbort},
    {"NoWindowNoQuestion", "-e", htOknoIAbort, {}, 11, 0, false, rsAbort},
    {"BezOknaNoQuestion", "", htBezOkna, {}, 11, 0, false, rsKwDbError},
    {"NoAbortReturnsFalse", "-a", htOknoIAbort, {kNie}, 11, 1, true, rsNothing},
};

class LockPatience : public TQueryTest, public ::testing::WithParamInterface<TLockCase> {};

// A row another user holds: the save is tried again after pauses of 500 ms with the wait cursor,
// then the user is asked; giving up hands the conflict to the handler.
TEST_P(LockPatience, AttemptsPausesAndTheQuestion) {
    const TLockCase& c = GetParam();
    OpenOsoba("ID, NAZWA");
    OtherHolds("update osoba set uwagi = 'zajęty' where id = 1");
    Ui.Answers.assign(c.Answers.begin(), c.Answers.end());
    ASSERT_TRUE(Q.kwLocate("ID", {std::int64_t{1}}, 0, ""));
    Q.Edit();
    Q.FieldByName("NAZWA").SetAsString("Nowakowski");

    TMode mode(c.Mode);
    bool result = true;
    const TOutcome outcome = Outcome([&] { result = Q.kwPost(c.Options); });
    EXPECT_EQ(outcome.Raised, c.Raised) << outcome.Message;
    if (c.Raised == rsNothing) {
        EXPECT_FALSE(result);
    }
    EXPECT_EQ(Attempts, c.Attempts);
    EXPECT_EQ(Pauses, std::vector<int>(static_cast<std::size_t>(c.Attempts - 1), 500));
    EXPECT_EQ(CursorInPause, std::vector<bool>(Pauses.size(), true));
    EXPECT_EQ(KlepsydraCount(), 0);
    ASSERT_EQ(Ui.Windows.size(), c.Questions);
    for (const TRecordedWindow& w : Ui.Windows) {
        EXPECT_EQ(w.Tresc, "Podczas próby zapisu wiersza wystąpiła blokada jednego z powiązanych wierszy przez "
                           "innego użytkownika.^Tabela: \"OSOBA\". Powtórzyć?");
        EXPECT_EQ(w.Przyciski, (std::vector<TKomButtonType>{kTak, kNie}));
        EXPECT_EQ(w.Skala, 100);
    }
    ASSERT_EQ(Ui.IbErrorWnds.size(), c.Window ? 1u : 0u);
    if (c.Window) {
        EXPECT_EQ(Ui.IbErrorWnds[0].IBErrorCode, 335544336);
    }
    if (c.Raised == rsKwDbError) {
        EXPECT_EQ(outcome.IBErrorCode, 335544336);
    }
    ASSERT_NE(Q.DataSetTool().LastIbError(), nullptr);
    EXPECT_EQ(Q.DataSetTool().LastIbError()->IBErrorCode(), 335544336); // isc_deadlock, not 335544345
    EXPECT_EQ(Q.State(), dsEdit);
}

INSTANTIATE_TEST_SUITE_P(Routes, LockPatience, ::testing::ValuesIn(kLockCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// The other user lets go during the third pause: the fourth attempt saves, nobody is asked.
TEST_F(QueryTest, ARowLetGoDuringThePatienceIsSaved) {
    OpenOsoba("ID, NAZWA");
    OtherHolds("update osoba set uwagi = 'zajęty' where id = 1");
    OnPause = [this](int pause) {
        if (pause == 3)
            Tr2.Rollback();
    };
    ASSERT_TRUE(Q.kwLocate("ID", {std::int64_t{1}}, 0, ""));
    Q.Edit();
    Q.FieldByName("NAZWA").SetAsString("Nowakowski");
    EXPECT_TRUE(Q.kwPost(""));
    EXPECT_EQ(Attempts, 4);
    EXPECT_EQ(Pauses.size(), 3u);
    EXPECT_TRUE(Ui.Windows.empty());
    EXPECT_TRUE(Ui.IbErrorWnds.empty());
    Tr.Commit();
    EXPECT_EQ(Committed("select nazwa from osoba where id = 1"), "Nowakowski");
}

// The description of a change from the tracked fields, and "+z", which saves only what changed.
TEST_F(QueryTest, ChangeDescriptionsAndSavingOnlyChanges) {
    OpenOsoba("ID, ILOSC, NAZWA");
    Q.SetSledzenieZmian(true);
    Q.SetIdentyfyFieldCount(1);
    Q.SetCiagPrzedCiagLastZmian("Zmiana: ");
    Q.SetCiagPoCiagLastZmian(".");
    Q.FieldByName("ILOSC").SetDisplayLabel("Ilość");
    Q.FieldToSledz() = {&Q.FieldByName("ID"), &Q.FieldByName("ILOSC"), &Q.FieldByName("NAZWA")};
    ASSERT_TRUE(Q.kwLocate("ID", {std::int64_t{1}}, 0, ""));
    Q.StoreSledzFieldValues(Q.SledzBeforeValues());
    EXPECT_EQ(Q.SledzBeforeValues(), (TLines{"1", "10", "Nowak"}));

    Q.Edit();
    Q.FieldByName("ILOSC").SetAsInteger(12);
    ASSERT_TRUE(Q.kwPost(""));
    EXPECT_TRUE(Q.JestZmiana());
    EXPECT_EQ(Q.BeforePostState(), dsEdit);
    EXPECT_EQ(Q.SledzAfterValues(), (TLines{"1", "12", "Nowak"}));
    EXPECT_EQ(Q.GetCiagLastZmian(F5, false), "Zmiana: ID:1;  Ilość:10:12.");
    EXPECT_EQ(Q.GetCiagLastZmian(F8, false), "Zmiana: ID:1;  Ilość:10;  NAZWA:Nowak.");
    EXPECT_EQ(Q.GetCiagLastZmian(F3, false), "Zmiana: ID:1;  Ilość:12;  NAZWA:Nowak.");
    EXPECT_EQ(Q.GetCiagLastZmian(F1, false), "Zmiana: .");

    // ":" separates the parts of an item, so a value's own ":" becomes ".".
    Q.Edit();
    Q.FieldByName("NAZWA").SetAsString("Nowak: senior");
    EXPECT_EQ(Q.GetCiagLastZmian(F5, true), "Zmiana: ID:1;  Ilość:10:12;  NAZWA:Nowak:Nowak. senior.");

    // The same values again: "+z" does not save, it cancels.
    Q.FieldByName("NAZWA").SetAsString("Nowak");
    Q.FieldByName("ILOSC").SetAsInteger(12);
    const int attempts = Attempts;
    EXPECT_TRUE(Q.kwPost("+z"));
    EXPECT_EQ(Attempts, attempts);
    EXPECT_EQ(Q.State(), dsBrowse);
    EXPECT_FALSE(Q.JestZmiana());
    Q.SetZawszeJestZmianaPoF5(true);
    EXPECT_TRUE(Q.JestZmiana());
}

TEST_F(QueryTest, TheSelectRowStatementAndTheDataFields) {
    OpenOsoba("ID, NAZWA, ILOSC");
    EXPECT_EQ(Q.GetDataFields(true), "ID;NAZWA;ILOSC");
    Q.FieldByName("ILOSC").SetReadOnly(true);
    EXPECT_EQ(Q.GetDataFields(false), "ID;NAZWA");
    ASSERT_TRUE(Q.kwClose(""));
    Q.SetSelectRowSql();
    EXPECT_EQ(Q.SelectSQL().Lines(), (TLines{"SELECT ID,NAZWA,ILOSC", "FROM OSOBA", "WHERE", "((ID = :ID))"}));
    Q.ParamByName("ID").SetAsInteger(2);
    ASSERT_TRUE(Q.kwOpen(""));
    EXPECT_EQ(Q.RecordCount(), 1);
    EXPECT_EQ(Q.FieldByName("NAZWA").AsString(), "Kowalski");
}

// A row lock the tool holds is released by a cancel, and only once.
TEST_F(QueryTest, CancelReleasesTheRowLock) {
    OpenOsoba();
    std::vector<std::string> released;
    Q.DataSetTool().SetUnLockRowService([&](const std::string& db, const std::string& table, std::int64_t id) {
        released.push_back(db + "/" + table + "/" + std::to_string(id));
    });
    Q.DataSetTool().SetLockedRow(2, "DB_TEST", "OSOBA");
    Q.Edit();
    EXPECT_TRUE(Q.kwCancel(""));
    EXPECT_TRUE(Q.kwCancel(""));
    EXPECT_EQ(released, (TLines{"DB_TEST/OSOBA/2"}));
    EXPECT_EQ(Q.DataSetTool().IDLockedRow(), 0);
}

// Bytes the allocator has handed out and not taken back.
long long HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#endif
}

class QueryMemory : public ::testing::TestWithParam<int> {};

// Rows opened with "+t" (to the end and back at once), then closed: the query keeps nothing of its own
// beside the rows, so the memory per row is the same for a quarter and for all of 100 000 rows; each
// row is fetched once, and closing gives the memory back.
TEST_P(QueryMemory, RowsOpenedWalkedAndClosed) {
    const int kRows = GetParam();
    TFakeUi ui;
    TAttached base({"create table big (id integer not null, name varchar(20))",
                    "execute block as declare i integer = 0; begin while (i < " + std::to_string(kRows) +
                        ") do begin insert into big values (:i, 'row ' || :i); i = i + 1; end end"});
    TkwTransaction tr;
    tr.SetDefaultDatabase(&base.Db);
    TkwQuery q;
    q.SetDatabase(&base.Db);
    q.SetTransaction(&tr);
    q.SqlSet("id, name", "big", "", "", "", "id", "", "", "");
    ASSERT_TRUE(q.kwOpen("+r"));
    ASSERT_TRUE(q.kwClose(""));

    const long long base0 = HeapInUse();
    ASSERT_TRUE(q.kwOpen("+t"));
    const long long full = HeapInUse() - base0;
    EXPECT_EQ(q.RecordCount(), kRows);
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_EQ(q.FetchCount(), kRows + 1);
    ASSERT_TRUE(q.kwLast(""));
    EXPECT_EQ(q.FieldByName("ID").AsInteger(), kRows - 1);
    EXPECT_EQ(q.FetchCount(), kRows + 1);
    ASSERT_TRUE(q.kwClose(""));
    const long long after = HeapInUse() - base0;
    std::printf("[ memory   ] %d rows through the query: %lld bytes open (%.1f per row), %lld after close\n",
                kRows, full, static_cast<double>(full) / kRows, after);
    // The client dataset's own bound for these rows: values, null flags and the row pointer.
    EXPECT_GT(full, 36LL * kRows);
    EXPECT_LT(full, 48LL * kRows);
    EXPECT_LT(after, 64 * 1024);
    EXPECT_TRUE(ui.IbErrorWnds.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, QueryMemory, ::testing::Values(25000, 100000));

} // namespace
