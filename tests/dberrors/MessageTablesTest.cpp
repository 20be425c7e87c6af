#include "dberrors/MessageTables.h"
#include "core/Encoding.h"
#include "dberrors/MessageTableRows.h"

#include <ibase.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <string>
#include <vector>

namespace {

using TLookup = std::string (*)(std::string_view);

struct TTableCase {
    const char* Name;
    const TKomunikatTable& (*Table)();
    TLookup Lookup;
};
const TTableCase kTables[] = {
    {"foreign keys", ForeignKeyTable, KomunikatDla_ViolationOfForeignKey},
    {"unique keys", UniqueKeyTable, KomunikatDla_ViolationOfUniqueKey},
    {"exceptions", ExceptionTable, KomunikatDla_Exception},
};

bool IsKeyChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

constexpr std::string_view kMarks[] = {"<string>", "<string2>", "<string3>", "<long>",
                                       "<long2>",  "<digit>",   "<digit2>"};

// Every "<...>" of a text in order; the test decides whether each is a mark.
std::vector<std::string> AngleTokens(std::string_view text) {
    std::vector<std::string> tokens;
    for (std::size_t at = 0; (at = text.find('<', at)) != std::string_view::npos;) {
        const auto end = text.find('>', at);
        if (end == std::string_view::npos)
            break;
        tokens.emplace_back(text.substr(at, end - at + 1));
        at = end + 1;
    }
    return tokens;
}

bool IsMark(std::string_view token) {
    return std::find(std::begin(kMarks), std::end(kMarks), token) != std::end(kMarks);
}

// True when `sub` is `seq` with some elements left out, the rest in the same order.
bool IsSubsequence(const std::vector<std::string>& sub, const std::vector<std::string>& seq) {
    auto it = seq.begin();
    for (const auto& s : sub) {
        it = std::find(it, seq.end(), s);
        if (it == seq.end())
            return false;
        ++it;
    }
    return true;
}

} // namespace

// ---- constraint and exception tables ----

TEST(MessageTables, KeysAreSortedDistinctAndWellFormed) {
    for (const auto& t : kTables) {
        const auto& rows = t.Table().Rows;
        ASSERT_FALSE(rows.empty()) << t.Name;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto key = rows[i].Key;
            EXPECT_TRUE(!key.empty() && key.size() <= 31 && std::all_of(key.begin(), key.end(), IsKeyChar))
                << t.Name << ": " << key;
            if (i > 0) { // the lookup is a binary search over this order
                EXPECT_LT(rows[i - 1].Key, key) << t.Name;
            }
        }
    }
}

TEST(MessageTables, EveryRowIsFoundByItsLookup) {
    for (const auto& t : kTables)
        for (const auto& row : t.Table().Rows) {
            const std::string message = t.Lookup(row.Key);
            EXPECT_EQ(message, KomunikatWiersza(t.Table(), row)) << t.Name << ": " << row.Key;
            EXPECT_FALSE(message.empty()) << t.Name << ": " << row.Key;
        }
}

TEST(MessageTables, MessagesAreCleanTextWithoutTheirKey) {
    for (const auto& t : kTables)
        for (const auto& row : t.Table().Rows) {
            const std::string message = KomunikatWiersza(t.Table(), row);
            EXPECT_TRUE(IsValidUtf8(message)) << row.Key;
            EXPECT_EQ(message.find(row.Key), std::string::npos) << row.Key;
            EXPECT_FALSE(row.Text.front() == ' ' || row.Text.back() == ' ') << row.Key;
            EXPECT_FALSE(std::any_of(message.begin(), message.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20;
            })) << row.Key;
            EXPECT_EQ(message.find("  "), std::string::npos) << row.Key;
        }
}

TEST(MessageTables, FragmentsAndWhereTheyGo) {
    const auto& fk = ForeignKeyTable();
    EXPECT_EQ(fk.Fragment, "Nie można usunąć ");
    EXPECT_TRUE(fk.FragmentFirst);
    for (const auto& row : fk.Rows) {
        EXPECT_TRUE(KomunikatWiersza(fk, row).starts_with("Nie można usunąć ")) << row.Key;
        if (row.Fragment) { // the rest of the sentence, not a second beginning
            EXPECT_FALSE(row.Text.starts_with("Nie można")) << row.Key;
        }
    }
    const auto& uk = UniqueKeyTable();
    EXPECT_EQ(uk.Fragment, " już istnieje.");
    EXPECT_FALSE(uk.FragmentFirst);
    for (const auto& row : uk.Rows) {
        if (row.Fragment) { // a subject the fragment completes
            EXPECT_FALSE(row.Text.ends_with(".") || row.Text.ends_with("istnieje")) << row.Key;
        }
    }
    const auto& ex = ExceptionTable();
    EXPECT_EQ(ex.Fragment, "");
    EXPECT_TRUE(std::none_of(ex.Rows.begin(), ex.Rows.end(), [](const auto& r) { return r.Fragment; }));
}

TEST(MessageTables, RowCountsAndHowTheyAreStored) {
    // Unique keys: the 206 listed names and the two indexes declared in mixed case.
    const struct {
        const char* Name;
        const TKomunikatTable& Table;
        std::size_t Rows, FragmentRows;
    } tables[] = {
        {"foreign keys", ForeignKeyTable(), 321, 254},
        {"unique keys", UniqueKeyTable(), 208, 119},
        {"exceptions", ExceptionTable(), 24, 0},
    };
    for (const auto& t : tables) {
        EXPECT_EQ(t.Table.Rows.size(), t.Rows) << t.Name;
        EXPECT_EQ(
            std::count_if(t.Table.Rows.begin(), t.Table.Rows.end(), [](const auto& r) { return r.Fragment; }),
            static_cast<std::ptrdiff_t>(t.FragmentRows))
            << t.Name;
    }
    const auto& uk = UniqueKeyTable().Rows;
    EXPECT_EQ(std::count_if(uk.begin(), uk.end(), [](const auto& r) { return r.Key.starts_with("PK_"); }),
              34);
    EXPECT_EQ(std::count_if(uk.begin(), uk.end(), [](const auto& r) { return r.Key.starts_with("MK_"); }),
              174);
    const auto& fk = ForeignKeyTable().Rows;
    EXPECT_TRUE(std::all_of(fk.begin(), fk.end(), [](const auto& r) { return r.Key.starts_with("FK_"); }));
}

TEST(MessageTables, TellingRowsExactlyAndInTheirPieces) {
    const struct {
        TLookup Lookup;
        const char* Key;
        bool Fragment; // stored as the table's fragment plus the rest
        const char* Message;
    } rows[] = {
        {KomunikatDla_ViolationOfForeignKey, "FK_DANEKONT_KONTRAH_P_KONTRAH", true,
         "Nie można usunąć kontrahenta ponieważ jest nabywcą dla innych kontrahentów."},
        {KomunikatDla_ViolationOfForeignKey, "FK_URZSKARB_BANKURZSK_BANK", false,
         "Nie można usunąć banku ponieważ jest wykorzystany w urzędach skarbowych."},
        {KomunikatDla_ViolationOfForeignKey, "FK_ADRES_KRAJADR_KRAJ", false,
         "Nie można usunąć kraju ponieważ są adresy które z niego korzystają."},
        {KomunikatDla_ViolationOfForeignKey, "FK_KARTOTEK_KARTOTEKA_JM", false,
         "Nie można usunąć jednostki miary ponieważ jest wykorzystywana w kartotekach magazynowych."},
        {KomunikatDla_ViolationOfForeignKey, "FK_WARTKURS_WAL_WART__WALUTA", false,
         "Nie można usunąć waluty ponieważ określono już jej kursy."},
        {KomunikatDla_ViolationOfForeignKey, "FK_POZPK_POZPKWALU_WALUTA", false,
         "Nie można usunąć waluty, gdyż została wystawiona pozycja księgowa w tej walucie."},
        {KomunikatDla_ViolationOfForeignKey, "FK_KONTRAH_SPOSPLATN_SPOSPLAT", false,
         "Nie można usunąć sposobu płatności ponieważ jest wykorzystywany w kontrahentach."},
        {KomunikatDla_ViolationOfForeignKey, "FK_LISTAPLA_SZABLISTP_SZABLIST", false,
         "Nie można usunąć szablonu listy płac ponieważ są listy płac które z niego korzystają."},
        {KomunikatDla_ViolationOfForeignKey, "FK_ROZLISPL_DOK1_ROZ_ROZLICZE", false,
         "Nie można usunąć dokumentu z rozrachunków, gdyż występują do niego spłaty."},
        {KomunikatDla_ViolationOfForeignKey, "FK_SPLATA_ROZLICZENIE", true,
         "Nie można usunąć dokumentu, gdyż występują do niego spłaty."},
        {KomunikatDla_ViolationOfForeignKey, "FK_PLANKONT_SLOWNIK1", true,
         "Nie można usunąć pozycji słownika, ponieważ zostały dokonane zapisy w księgowości i są związane z "
         "tą "
         "pozycją."},
        {KomunikatDla_ViolationOfForeignKey, "FK_ZLECENIE_KONTRAH", true,
         "Nie można usunąć kontrahenta, ponieważ posiada zdefiniowane zlecenie serwisowe."},
        {KomunikatDla_ViolationOfForeignKey, "FK_UZYT_TELUZYT", true,
         "Nie można usunąć telefonu, ponieważ został użyty jako domyślny."},
        {KomunikatDla_ViolationOfForeignKey, "FK_STHIST_ST", true,
         "Nie można usunąć dokumentu, ponieważ nie jest to ostatni dokument dla tego środka trwałego."},
        {KomunikatDla_ViolationOfForeignKey, "FK_NAGL_DEFKBI", true,
         "Nie można usunąć konta bankowego, ponieważ zostało użyte w dokumentach."},
        {KomunikatDla_ViolationOfForeignKey, "FK_NAGLKPRZP_PLANPRZYGZAM", true,
         "Nie można usunąć zamówienia, ponieważ jest wystawiony meldunek zwrotny."},
        {KomunikatDla_ViolationOfUniqueKey, "PK_WYSTCECHYKONTRAH", false,
         "Zdefiniowano już wartość tej cechy dla tego kontrahenta."},
        {KomunikatDla_ViolationOfUniqueKey, "PK_POZYCJALISTY", false,
         "Na tej liście płac umieszczono już tego pracownika."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_NIPW", true, "Kontrahent o takim NIPie już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_STAWKAVAT_NRVAT", true,
         "Stawka VAT o takim numerze już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_WALUTA_SKROT", true, "Waluta o takim skrócie już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_MAGAZYN_NRMAG", true,
         "Magazyn o takim numerze już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_KART_INDEKS", true,
         "Kartoteka o takim indeksie już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_ZLEC_NRZLEC", true, "Zlecenie o takim kodzie już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_KRAJ_KODKRAJU", true, "Kraj o takim kodzie już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_KLUEAN", true, "Taki kod EAN już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_NRSCIEZKI_LPWSCIEZCE", true,
         "Operacja o nr. ścieżki i lp. w ścieżce już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_INWSP", false,
         "W danym momencie może być otwarta tylko jedna inwentaryzacja."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_INWSP_NRSERYJNY", false,
         "Wybrany numer seryjny już został użyty w tej inwentaryzacji."},
        // The two indexes declared in mixed case, under the upper-case names the server reports.
        {KomunikatDla_ViolationOfUniqueKey, "MK_KOD", true, "Symbol o takim kodzie już istnieje."},
        {KomunikatDla_ViolationOfUniqueKey, "MK_KODSTPLAC", true,
         "Stała płacowa o takim kodzie już istnieje."},
        {KomunikatDla_Exception, "MAGAZYN_PODLEGAKKH_MSMZ", false,
         "Pole \"Magazyn podlega księgowaniu\" można zmieniać tylko gdy nie określono miejsc zakupu i "
         "sprzedaży."},
        {KomunikatDla_Exception, "MAGAZYN_PODLEGAKKH_MS", false,
         "Próba przywiązania magazynu do miejsca sprzedaży o niezgodnym znaczniku \"Podlega księgowaniu\"."},
        {KomunikatDla_Exception, "MAGAZYN_PODLEGAKKH_MZ", false,
         "Próba przywiązania magazynu do miejsca zakupu o niezgodnym znaczniku \"Podlega księgowaniu\"."},
        {KomunikatDla_Exception, "SLOWNIK_DLUGINR", false,
         "Nie możesz dodać pozycji, gdyż jej NUMER jest za długi i nie mieści się w użytych analitykach "
         "księgowych."},
        {KomunikatDla_Exception, "SLOWNIK_DLUGINIP", false,
         "Nie możesz dodac pozycji, gdyż jej NIP jest za długi i nie mieści się w użytych analitykach "
         "księgowych."},
        {KomunikatDla_Exception, "SLOWNIK_DLUGIPONIP", false,
         "Nie możesz dodac pozycji, gdyż jej PONIP jest za długi i nie mieści się w użytych analitykach "
         "księgowych."},
        {KomunikatDla_Exception, "SLOWNIK_DLUGIPESEL", false,
         "Nie możesz dodac pozycji, gdyż jej PESEL jest za długi i nie mieści się w użytych analitykach "
         "księgowych."},
        {KomunikatDla_Exception, "SLOWNIK_DLUGIKOD", false,
         "Nie możesz dodac pozycji, gdyż jej KOD jest za długi i nie mieści się w użytych analitykach "
         "księgowych."},
        {KomunikatDla_Exception, "DZIENUZYT_ODDO", false, "Niepoprawny zakres godzin pracy dla operatora."},
        {KomunikatDla_Exception, "ZWOLNIENIEUZYT_ODDO", false,
         "Niepoprawny zakres godzin zwolnienia operatora."},
        {KomunikatDla_Exception, "ZDARZENIECRMOSKTR_BRAKKTR", false,
         "Nie określono kontrahenta. Nie można dodawać osób kontaktowych."},
        {KomunikatDla_Exception, "ZDARZENIECRMOSKTR_INNYKTR", false,
         "Ta osoba kontaktowa należy do innego kontrahenta."},
        {KomunikatDla_Exception, "ZDARZENIECRM_OSOBYKTR", false,
         "Nie można zmieniać kontrahenta. Zdefiniowano już osoby kontaktowe."},
        {KomunikatDla_Exception, "KALJEDROB_ODDO", false,
         "Niepoprawny zakres godzin pracy lub ilość roboczogodzin dla jednostki roboczej."},
        {KomunikatDla_Exception, "PP_ILOSCWPARTIIZAMALA", false,
         "Wprowadzona ilość jest mniejsza niż wynika z zamówień."},
        {KomunikatDla_Exception, "PP_PLANPRACYPR_CZAS", false, "Niepoprawny zakres czasu."},
        {KomunikatDla_Exception, "PP_KALJEDROB_CZAS", false,
         "Nie można zmienić czasu pracy ponieważ jest już przydzielony."},
        {KomunikatDla_Exception, "STANMAG_NIEAKT_AJESTSTAN", false,
         "Na kartotece na danym magazynie jeden ze stanów <> 0. Nie można ustawić że jest nieaktywna."},
        {KomunikatDla_Exception, "KARTOTEKA_NIEAKT_AJESTSTAN", false,
         "Kartoteka posiada jeden ze stanów <> 0. Nie można ustawić że jest nieaktywna."},
        {KomunikatDla_Exception, "STANMAG_NIEAKT_KART", false,
         "Nie można ustawić aktywności kartoteki na magazynie gdyż kartoteka jest nieaktywna."},
        {KomunikatDla_Exception, "ZLECREKL_HIST_DEL", false,
         "Można usunąć tylko ostatnią historię zlecenia."},
        {KomunikatDla_Exception, "POZYCJA_DELETE_SLOWNIK", false,
         "Nie można usunąć pozycji, gdyż została użyta na kontach księgowych, lub ma pozycje podrzędne."},
        {KomunikatDla_Exception, "RAPORTKBI_DATA_DWAMIES", false,
         "Raport nie może być na przestrzeni miesięcy. Usuń dokumenty."},
        {KomunikatDla_Exception, "SZABLISTPLAC_ROZDZKOSZT", false,
         "Według tego szablonu zostały już policzone i zamknięte pozycje listy płac. Nie można zmienić "
         "znacznika "
         "rozdzielnik kosztów. Skopiuj algorytm i ustaw w nim rozdzielnik kosztów."},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.Lookup(r.Key), r.Message) << r.Key;
        const auto& table = r.Lookup == KomunikatDla_ViolationOfForeignKey  ? ForeignKeyTable()
                            : r.Lookup == KomunikatDla_ViolationOfUniqueKey ? UniqueKeyTable()
                                                                            : ExceptionTable();
        const auto row = std::find_if(table.Rows.begin(), table.Rows.end(),
                                      [&](const TKomunikatRow& x) { return x.Key == r.Key; });
        ASSERT_NE(row, table.Rows.end()) << r.Key;
        EXPECT_EQ(row->Fragment, r.Fragment) << r.Key;
    }
}

TEST(MessageTables, NamesOnlyMatchExactly) {
    const struct {
        TLookup Lookup;
        const char* Name;
    } misses[] = {
        {KomunikatDla_ViolationOfForeignKey, "fk_adres_krajadr_kraj"},
        {KomunikatDla_ViolationOfForeignKey, "Fk_ADRES_KRAJADR_KRAJ"},
        {KomunikatDla_ViolationOfForeignKey, "FK_ADRES_KRAJADR_KRAJ "},
        {KomunikatDla_ViolationOfForeignKey, " FK_ADRES_KRAJADR_KRAJ"},
        {KomunikatDla_ViolationOfForeignKey, "FK_ADRES_KRAJADR_KRA"},   // a prefix of a key
        {KomunikatDla_ViolationOfForeignKey, "FK_ADRES_KRAJADR_KRAJX"}, // a key plus more
        {KomunikatDla_ViolationOfForeignKey, ""},
        {KomunikatDla_ViolationOfForeignKey, "MK_NIPW"}, // a unique index, asked of the foreign keys
        {KomunikatDla_ViolationOfUniqueKey, "FK_ADRES_KRAJADR_KRAJ"},
        {KomunikatDla_ViolationOfUniqueKey, "MK_Kod"}, // the mixed-case declaration is not a key
        {KomunikatDla_ViolationOfUniqueKey, "mk_nipw"},
        {KomunikatDla_ViolationOfUniqueKey, ""},
        {KomunikatDla_Exception, "SZABLISTPLAC"},
        {KomunikatDla_Exception, "szablistplac_rozdzkoszt"},
        {KomunikatDla_Exception, "SZABLISTPLAC_ROZDZKOSZT\r"},
        {KomunikatDla_Exception, "MK_NIPW"},
        {KomunikatDla_Exception, ""},
    };
    for (const auto& m : misses)
        EXPECT_EQ(m.Lookup(m.Name), "") << '"' << m.Name << '"';
    // A name is compared whole, not up to an embedded NUL.
    EXPECT_EQ(KomunikatDla_Exception(std::string_view("DZIENUZYT_ODDO\0", 15)), "");
    EXPECT_EQ(KomunikatDla_Exception(std::string_view("DZIENUZYT_ODDOX", 14)),
              "Niepoprawny zakres godzin pracy dla operatora.");
}

// ---- status codes ----

namespace {

struct TCodeRange {
    std::int32_t First, Last;
};
// The codes of the range that have no row.
const TCodeRange kGaps[] = {
    {335544433, 335544433}, {335544464, 335544464}, {335544482, 335544482}, {335544484, 335544484},
    {335544486, 335544501}, {335544503, 335544505}, {335544513, 335544514}, {335544521, 335544527},
    {335544556, 335544556}, {335544566, 335544567}, {335544629, 335544629}, {335544692, 335544696},
    {335544702, 335544720},
};

bool IsGap(std::int32_t code) {
    return std::any_of(std::begin(kGaps), std::end(kGaps),
                       [code](const TCodeRange& r) { return code >= r.First && code <= r.Last; });
}

} // namespace

TEST(StatusCodes, KindsAndGaps) {
    int counts[5] = {};
    for (std::int32_t code = kIbStatusFirst; code <= kIbStatusLast; ++code) {
        const auto kind = IbStatusRow(code).Kind;
        ++counts[static_cast<int>(kind)];
        EXPECT_EQ(kind == TIbStatusKind::skNoRow, IsGap(code)) << code;
    }
    EXPECT_EQ(counts[static_cast<int>(TIbStatusKind::skFixed)], 316);
    EXPECT_EQ(counts[static_cast<int>(TIbStatusKind::skPair)], 18);
    EXPECT_EQ(counts[static_cast<int>(TIbStatusKind::skLookup)], 4);
    EXPECT_EQ(counts[static_cast<int>(TIbStatusKind::skEmpty)], 3);
    EXPECT_EQ(counts[static_cast<int>(TIbStatusKind::skNoRow)], 60);
}

TEST(StatusCodes, OutsideTheRangeIsNoRow) {
    for (const std::int32_t code : {INT32_MIN, -335544321, -1, 0, 1, 335544320, 335544722, INT32_MAX}) {
        const auto row = IbStatusRow(code);
        EXPECT_EQ(row.Kind, TIbStatusKind::skNoRow) << code;
        EXPECT_EQ(row.Polish, "") << code;
    }
}

TEST(StatusCodes, GivenFixedTexts) {
    const struct {
        std::int32_t Code;
        const char* Polish;
    } rows[] = {
        {335544321, "Wyjątek arytmetyczny, przepełnienie numeryczne lub obcięcie ciągu"},
        {335544335, "Zniszczony plik bazy danych <string>"},
        {335544336, "Zakleszczenie"},
        {335544337, "Próba uruchomienia więcej niż <long> transakcji"},
        {335544345, "Blokada obiektu przez innego użytkownika w transakcji typu no wait"},
        {335544361, "Próba modyfikacji danych podczas transakcji tylko do odczytu"},
        {335544375, "Niedostępna baza danych"},
        {335544382, "<string>"},
        {335544450, "<string>"},
        {335544421, "Połączenie odrzucone przez zdalny interfejs"},
        {335544472, "Niezdefiniowana nazwa użytkownika ani hasło"},
        {335544648, "Serwer stracił połączenie"},
        {335544689, "Błąd InterBase"},
        {335544721, "Połączenie z bazą danych zostało zerwane!\r\rNastąpi awaryjne wyjście z programu."},
        {335544384, "Błąd wewnętrzny"},
        {335544385, "Błąd wewnętrzny"},
        {335544387, "Błąd wewnętrzny"},
        {335544392, "Błąd wewnętrzny"},
        {335544397, "Błąd wewnętrzny"},
        {335544398, "Błąd wewnętrzny"},
        {335544399, "Błąd wewnętrzny"},
        {335544400, "Błąd wewnętrzny"},
        {335544401, "Błąd wewnętrzny"},
        {335544402, "Błąd wewnętrzny"},
        {335544416, "Błąd wewnętrzny"},
        {335544417, "Błąd wewnętrzny"},
        {335544422, "Błąd wewnętrzny"},
        {335544423, "Błąd wewnętrzny"},
        {335544579, "Błąd wewnętrzny"},
    };
    for (const auto& r : rows) {
        const auto row = IbStatusRow(r.Code);
        EXPECT_EQ(row.Kind, TIbStatusKind::skFixed) << r.Code;
        EXPECT_EQ(row.Polish, r.Polish) << r.Code;
    }
    // No other row says "internal error": the server's own wording marks exactly those codes.
    int internal = 0;
    for (std::int32_t code = kIbStatusFirst; code <= kIbStatusLast; ++code)
        internal += IbStatusRow(code).Polish == "Błąd wewnętrzny";
    EXPECT_EQ(internal, 15);
}

TEST(StatusCodes, TemplatePairsAndLookupFallbacks) {
    const struct {
        std::int32_t Code;
        TIbStatusKind Kind;
        const char* Polish;
        const char* English;
    } rows[] = {
        {335544323, TIbStatusKind::skPair, "Plik <string> nie jest poprawną bazą danych",
         "File <string> is not a valid database"},
        {335544334, TIbStatusKind::skPair, "Błąd konwersji z ciągu <string>",
         "Overflow occurred during data type conversion.Conversion error from string <string>"},
        {335544347, TIbStatusKind::skPair, "Błąd walidacji w kolumnie <string>, wartość \"<string2>\"",
         "validation error for column <string>, value \"<string2>\""},
        {335544352, TIbStatusKind::skPair,
         "Nie zezwala się na dostęp \"<string>\" do \"<string2>\" <string3>",
         "no permission for <string> access to <string2> <string3>"},
        {335544390, TIbStatusKind::skPair,
         "Błąd syntaktyczny BLR: spodziewane <string> w offsecie <long>, w miejscu <long2>",
         "BLR syntax error: expected <string> at offset <long>, encountered <long2>"},
        {335544396, TIbStatusKind::skPair, "Niezdefniowana kolumna <string> w tablicy <string2>",
         "column <string> is not defined in table <string2>"},
        {335544438, TIbStatusKind::skPair, "Niezdefiniowana funkcja <string>",
         "function <string> is not defined"},
        {335544439, TIbStatusKind::skPair, "Nie można się odwołać do funkcji <string> ",
         "function <string> could not be matched"},
        {335544463, TIbStatusKind::skPair, "Niezdefniowany generator <string>",
         "generator <string> is not defined"},
        {335544512, TIbStatusKind::skPair, "Niezgodność parametrów w procedurze <string>",
         "parameter mismatch for procedure <string>"},
        {335544558, TIbStatusKind::skPair,
         "Operacja naruszyła warunek <string> w widoku lub tabeli <string2>",
         "Operation violates CHECK constraint <string> on view or table <string2>"},
        {335544609, TIbStatusKind::skPair, "INDEX <string>", "INDEX <string>"},
        {335544610, TIbStatusKind::skPair, "EXCEPTION <string>", "EXCEPTION <string>"},
        {335544611, TIbStatusKind::skPair, "Kolumna <string>", "Column <string>"},
        {335544626, TIbStatusKind::skPair, "Tabela <string>", "Table <string>"},
        {335544627, TIbStatusKind::skPair, "Procedura <string>", "Procedure <string>"},
        {335544628, TIbStatusKind::skPair, "Nie można utworzyć indeksu <string>",
         "cannot create index <string>"},
        {335544636, TIbStatusKind::skPair, "Nie znaleziono indeksu <string> w tabeli <string2> ",
         "there is no index <string> for table <string2>"},
        {335544466, TIbStatusKind::skLookup,
         "Brak możliwości wykonania operacji. Ta pozycja tabeli ma powiązanie z innymi danymi.",
         "Violation of FOREIGN KEY constraint \"<string>\" on table \"<string2>\""},
        {335544665, TIbStatusKind::skLookup, "Taka pozycja w tabeli już istnieje.",
         "violation of PRIMARY or UNIQUE KEY constraint \"<string>\" on table \"<string2>\""},
        {335544349, TIbStatusKind::skLookup, "Taka pozycja w tabeli już istnieje.",
         "attempt to store duplicate value (visible to active transactions) in unique index \"<string>\""},
        {335544517, TIbStatusKind::skLookup, "Wyjątek <digit>", "Exception <digit>"},
    };
    for (const auto& r : rows) {
        const auto row = IbStatusRow(r.Code);
        EXPECT_EQ(row.Kind, r.Kind) << r.Code;
        EXPECT_EQ(row.Polish, r.Polish) << r.Code;
        EXPECT_EQ(row.English, r.English) << r.Code;
    }
    for (const std::int32_t code : {335544440, 335544448, 335544449}) {
        const auto row = IbStatusRow(code);
        EXPECT_EQ(row.Kind, TIbStatusKind::skEmpty) << code;
        EXPECT_EQ(row.Polish, "") << code;
    }
}

TEST(StatusCodes, TemplatesNameTheirMarksInTheEnglishOrder) {
    for (std::int32_t code = kIbStatusFirst; code <= kIbStatusLast; ++code) {
        const auto row = IbStatusRow(code);
        if (row.Kind != TIbStatusKind::skPair && row.Kind != TIbStatusKind::skLookup)
            continue;
        const auto polish = AngleTokens(row.Polish), english = AngleTokens(row.English);
        EXPECT_TRUE(std::all_of(polish.begin(), polish.end(), IsMark)) << code;
        EXPECT_TRUE(std::all_of(english.begin(), english.end(), IsMark)) << code;
        EXPECT_TRUE(IsSubsequence(polish, english)) << code;
    }
}

TEST(StatusCodes, FixedRowsAreCleanPolishWithTheServersMarks) {
    for (std::int32_t code = kIbStatusFirst; code <= kIbStatusLast; ++code) {
        const auto row = IbStatusRow(code);
        if (row.Kind != TIbStatusKind::skFixed)
            continue;
        EXPECT_FALSE(row.Polish.empty()) << code;
        EXPECT_FALSE(row.English.empty()) << code;
        EXPECT_TRUE(IsValidUtf8(row.Polish)) << code;
        EXPECT_FALSE(row.Polish.front() == ' ' || row.Polish.back() == ' ') << code;
        EXPECT_EQ(row.Polish.find('@'), std::string_view::npos) << code;
        // Every mark of the Polish stands for a parameter of the English message.
        const auto polish = AngleTokens(row.Polish), english = AngleTokens(row.English);
        for (const auto& mark : polish) {
            EXPECT_TRUE(IsMark(mark)) << code << ' ' << mark;
            EXPECT_NE(std::find(english.begin(), english.end(), mark), english.end()) << code << ' ' << mark;
        }
        EXPECT_EQ(std::set(polish.begin(), polish.end()).size(), polish.size()) << code;
    }
}

// The English kept beside each fixed row is the installed server's message for the code, the
// parameters shown as marks: both sides with every mark and every "@n" reduced to "@" must agree.
TEST(StatusCodes, FixedEnglishIsTheServersOwnMessage) {
    void* library = dlopen("libfbclient.so.2", RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    auto interpret = reinterpret_cast<decltype(&fb_interpret)>(dlsym(library, "fb_interpret"));
    ASSERT_NE(interpret, nullptr);
    auto reduced = [](std::string text, bool marks) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (!marks && text[i] == '@' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
                out += '@', ++i;
                continue;
            }
            if (marks && text[i] == '<') {
                const auto end = text.find('>', i);
                if (end != std::string::npos && IsMark(std::string_view(text).substr(i, end - i + 1))) {
                    out += '@', i = end;
                    continue;
                }
            }
            out += text[i];
        }
        return out;
    };
    static const char* const args[] = {"@1", "@2", "@3", "@4", "@5", "@6", "@7", "@8", "@9"};
    for (std::int32_t code = kIbStatusFirst; code <= kIbStatusLast; ++code) {
        const auto row = IbStatusRow(code);
        if (row.Kind != TIbStatusKind::skFixed)
            continue;
        std::vector<ISC_STATUS> vector = {isc_arg_gds, code};
        for (const char* arg : args)
            vector.insert(vector.end(), {isc_arg_string, reinterpret_cast<ISC_STATUS>(arg)});
        vector.push_back(isc_arg_end);
        char text[1024] = {};
        const ISC_STATUS* cursor = vector.data();
        ASSERT_GT(interpret(text, sizeof text, &cursor), 0) << code;
        EXPECT_EQ(reduced(std::string(row.English), true), reduced(text, false)) << code;
    }
    dlclose(library);
}
