// The translation of what the real server says: a database in the suite's naming style on the
// private Firebird test server, the statements run through the client layer, unnamed and by a
// named statement (whose messages begin with a raiser line).

#include "DbErrorsTestUtil.h"
#include "FbTestServer.h"
#include "TestUtil.h"
#include "dberrors/ErrorTranslation.h"
#include "fbclient/FbQuery.h"
#include "fbclient/FbTransaction.h"

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const gFbEnvironment =
    ::testing::AddGlobalTestEnvironment(new TFbTestEnvironment);

// Keys and exceptions named as in the suite's database: some of them have rows in the message
// tables (FK_ADRES_KRAJADR_KRAJ, PK_POZYCJALISTY, MK_KRAJ_KODKRAJU, SZABLISTPLAC_ROZDZKOSZT), the
// others do not.
const std::vector<std::string> kSchema = {
    "create table KRAJ (ID integer not null, KODKRAJU varchar(3), NAZWA varchar(40),"
    " constraint PK_KRAJ primary key (ID))",
    "create unique index MK_KRAJ_KODKRAJU on KRAJ (KODKRAJU)",
    "create table ADRES (ID integer not null, KRAJADR integer, ULICA varchar(40),"
    " constraint PK_ADRES primary key (ID),"
    " constraint FK_ADRES_KRAJADR_KRAJ foreign key (KRAJADR) references KRAJ (ID))",
    "create table MAGAZYNEK (ID integer not null, KOD varchar(5), KRAJ integer, ILOSC integer,"
    " constraint PK_MAGAZYNEK primary key (ID), constraint UQ_MAGAZYNEK_ILOSC unique (ILOSC),"
    " constraint FK_MAGAZYNEK_KRAJ foreign key (KRAJ) references KRAJ (ID),"
    " constraint CK_MAGAZYNEK_ILOSC check (ILOSC >= 0))",
    "create unique index MK_MAGAZYNEK_KOD on MAGAZYNEK (KOD)",
    "create table POZYCJALISTY (ID integer not null, PRACOWNIK integer,"
    " constraint PK_POZYCJALISTY primary key (ID))",
    "create exception SZABLISTPLAC_ROZDZKOSZT 'Szablon ma już zamknięte pozycje listy płac.'",
    "create exception NIEZNANY_WYJATEK 'Zły stan magazynu: ąćęłńóśźż.'",
    "create procedure P_SZABLON as begin exception SZABLISTPLAC_ROZDZKOSZT; end",
    "create procedure P_NIEZNANY as begin exception NIEZNANY_WYJATEK; end",
    "create procedure P_WLASNY as begin exception NIEZNANY_WYJATEK 'własny tekst ąę'; end",
    "create procedure P_ZAGNIEZDZONY as begin execute procedure P_NIEZNANY; end",
    "insert into KRAJ values (1, 'PL', 'Polska')",
    "insert into KRAJ values (2, 'DE', 'Niemcy')",
    "insert into ADRES values (1, 1, 'Długa')",
    "insert into MAGAZYNEK values (1, 'M1', 2, 5)",
    "insert into POZYCJALISTY values (1, 10)",
};

// The framework's database component names exceptions from RDB$EXCEPTIONS; this one does the same.
class TExceptionNamingDatabase : public TFbDatabase, public IExceptionNameSource {
public:
    std::string GetExceptionName(int number) override {
        std::string name =
            QueryValue("select RDB$EXCEPTION_NAME from RDB$EXCEPTIONS where RDB$EXCEPTION_NUMBER = " +
                           std::to_string(number),
                       0)
                .Text;
        name.erase(name.find_last_not_of(' ') + 1);
        return name;
    }
};

constexpr const char* kFkFallback =
    "Brak możliwości wykonania operacji. Ta pozycja tabeli ma powiązanie z innymi danymi.";
constexpr const char* kTakaPozycja = "Taka pozycja w tabeli już istnieje.";
constexpr const char* kKraj = "Nie można usunąć kraju ponieważ są adresy które z niego korzystają.";

using TNameFn = std::string (*)(std::string_view);

struct TServerCase {
    const char* Name;
    const char* Sql;
    int Code;
    TNameFn NameFn; // the name the row looks up, or null
    const char* LookedUp;
    bool NamingDatabase; // the database can name its exceptions
    const char* Expected;
};

const TServerCase kServerCases[] = {
    {"ForeignKeyInTheTable", "delete from KRAJ where ID = 1", 335544466, GetForeignKeyName,
     "FK_ADRES_KRAJADR_KRAJ", false, kKraj},
    {"ForeignKeyInTheTableOnInsert", "insert into ADRES values (2, 99, 'Krótka')", 335544466,
     GetForeignKeyName, "FK_ADRES_KRAJADR_KRAJ", false, kKraj},
    {"ForeignKeyNotInTheTable", "delete from KRAJ where ID = 2", 335544466, GetForeignKeyName,
     "FK_MAGAZYNEK_KRAJ", false, kFkFallback},
    {"PrimaryKeyInTheTable", "insert into POZYCJALISTY values (1, 11)", 335544665, GetUniqueKeyName,
     "PK_POZYCJALISTY", false, "Na tej liście płac umieszczono już tego pracownika."},
    {"PrimaryKeyNotInTheTable", "insert into KRAJ values (1, 'CZ', 'Czechy')", 335544665, GetUniqueKeyName,
     "PK_KRAJ", false, kTakaPozycja},
    {"UniqueConstraintNotNamedPk", "insert into MAGAZYNEK values (2, 'M2', 1, 5)", 335544665, nullptr,
     nullptr, false, kTakaPozycja},
    {"UniqueIndexInTheTable", "insert into KRAJ values (3, 'PL', 'Polska bis')", 335544349,
     GetUniqueIndexName, "MK_KRAJ_KODKRAJU", false, "Kraj o takim kodzie już istnieje."},
    {"UniqueIndexNotInTheTable", "insert into MAGAZYNEK values (2, 'M1', 1, 6)", 335544349,
     GetUniqueIndexName, "MK_MAGAZYNEK_KOD", false, kTakaPozycja},
    {"ExceptionInTheTableWithoutNames", "execute procedure P_SZABLON", 335544517, nullptr, nullptr, false,
     "Szablon ma już zamknięte pozycje listy płac."},
    {"ExceptionInTheTable", "execute procedure P_SZABLON", 335544517, nullptr, nullptr, true,
     "Wyjątek: \rWedług tego szablonu zostały już policzone i zamknięte pozycje listy płac. Nie można "
     "zmienić "
     "znacznika rozdzielnik kosztów. Skopiuj algorytm i ustaw w nim rozdzielnik kosztów."},
    {"ExceptionNotInTheTable", "execute procedure P_NIEZNANY", 335544517, nullptr, nullptr, true,
     "Zły stan magazynu: ąćęłńóśźż."},
    {"ExceptionWithItsOwnText", "execute procedure P_WLASNY", 335544517, nullptr, nullptr, true,
     "Własny tekst ąę."},
    {"ExceptionRaisedInANestedProcedure", "execute procedure P_ZAGNIEZDZONY", 335544517, nullptr, nullptr,
     true, "Zły stan magazynu: ąćęłńóśźż."},
    {"NotNull", "insert into ADRES (ID) values (null)", 335544347, nullptr, nullptr, false,
     "Błąd walidacji w kolumnie \"ADRES\".\"ID\", wartość \"*** null ***\".\""},
    {"Check", "update MAGAZYNEK set ILOSC = -1", 335544558, nullptr, nullptr, false,
     "Operacja naruszyła warunek CK_MAGAZYNEK_ILOSC w widoku lub tabeli MAGAZYNEK."},
    {"Conversion", "insert into ADRES (ID) values ('x')", 335544334, nullptr, nullptr, false,
     "Błąd konwersji z ciągu \"x\"."},
};

class ServerMessages : public ::testing::TestWithParam<TServerCase> {
protected:
    static void SetUpTestSuite() {
        Dir = new TTempDir;
        Path = *Dir / "bledy.fdb";
        CreateFbTestDatabase(FbTestServer(), Path);
        ExecuteFbTestSql(FbTestServer(), Path, kSchema);
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }
    static TTempDir* Dir;
    static std::string Path;
};

TTempDir* ServerMessages::Dir = nullptr;
std::string ServerMessages::Path;

// Runs the failing statement on db, by a statement that belongs to a named form when named is set.
EFbError Failure(TFbDatabase& db, const std::string& sql, bool named) {
    TFbTransaction tr;
    db.SetDefaultTransaction(&tr);
    tr.StartTransaction();
    TComponent form;
    TFbQuery q(&form);
    if (named) {
        form.SetName("FZamowienia");
        q.SetName("Q1");
    }
    q.SetDatabase(&db);
    q.SetSQLText(sql);
    try {
        q.ExecQuery();
    } catch (const EFbError& e) {
        tr.Rollback();
        return e;
    }
    tr.Rollback();
    ADD_FAILURE() << sql << " did not fail";
    return EFbError(0, nullptr, std::string());
}

TEST_P(ServerMessages, TranslatesWhatTheServerSays) {
    const TServerCase& c = GetParam();
    TExceptionNamingDatabase naming;
    TFbDatabase plain;
    TFbDatabase& db = c.NamingDatabase ? naming : plain;
    db.SetDBName(FbTestServer().TcpName(Path));
    db.SetDBParams(FbTestParams());
    db.SetSQLDialect(3);
    db.Open();
    for (const bool named : {false, true}) {
        const EFbError e = Failure(db, c.Sql, named);
        SCOPED_TRACE(std::string(named ? "named" : "unnamed") + " statement, message:\n" + e.Message());
        EXPECT_EQ(e.Message().starts_with("FZamowienia.Q1:\r\n"), named);
        EXPECT_EQ(e.IBErrorCode(), c.Code);
        if (c.NameFn) {
            EXPECT_EQ(c.NameFn(e.Message()), c.LookedUp);
        }
        EXPECT_EQ(IbErrorToStr(e, &db), c.Expected);
    }
    db.Close();
}

INSTANTIATE_TEST_SUITE_P(ErrorTranslation, ServerMessages, ::testing::ValuesIn(kServerCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ServerMessagesTest, AnUnreachableServerIsTheLostConnection) {
    TFbDatabase db;
    db.SetDBName("127.0.0.1/1:/nonexistent/bledy.fdb");
    db.SetDBParams(FbTestParams());
    try {
        db.Open();
        FAIL() << "attached";
    } catch (const EFbError& e) {
        EXPECT_EQ(e.IBErrorCode(), 335544721) << e.Message();
        EXPECT_EQ(IbErrorToStr(e, &db),
                  "Połączenie z bazą danych zostało zerwane!\r\rNastąpi awaryjne wyjście z programu.");
    }
}

} // namespace
