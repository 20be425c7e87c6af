// The error translation: Tlumacz, the names taken out of messages, the database's own message, the
// rows of IbErrorToStr and the database exception lookup. Messages from the real server are in
// ServerMessagesTest.cpp.

#include "dberrors/ErrorTranslation.h"
#include "DbErrorsTestUtil.h"
#include "dberrors/ExceptionLookup.h"

#include "core/Encoding.h"
#include "dberrors/MessageTables.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <stdexcept>

namespace {

constexpr const char* kGenPl = "Niezdefniowany generator <string>";
constexpr const char* kGenEn = "generator <string> is not defined";
constexpr const char* kPermPl = "Nie zezwala się na dostęp \"<string>\" do \"<string2>\" <string3>";
constexpr const char* kPermEn = "no permission for <string> access to <string2> <string3>";
constexpr const char* kValidPl = "Błąd walidacji w kolumnie <string>, wartość \"<string2>\"";
constexpr const char* kValidEn = "validation error for column <string>, value \"<string2>\"";
constexpr const char* kTakaPozycja = "Taka pozycja w tabeli już istnieje.";
constexpr const char* kFkFallback =
    "Brak możliwości wykonania operacji. Ta pozycja tabeli ma powiązanie z innymi danymi.";
constexpr const char* kUnknownDb = "Nieznany błąd bazy danych.";

struct TTlumaczCase {
    const char* Name;
    const char* Polish;
    const char* Message;
    const char* English;
    const char* Expected;
};

const TTlumaczCase kTlumaczCases[] = {
    // The value before a placeholder ends where the literal after it begins; the last runs to the
    // end of the line, closing quote included.
    {"ValidationValueTakesTheClosingQuote", kValidPl,
     "SQL\r\nvalidation error for column PRICE, value \"ABC\"\r\n", kValidEn,
     "Błąd walidacji w kolumnie PRICE, wartość \"ABC\"\""},
    {"LastValueRunsToTheEndOfTheLine", kGenPl, "SQL\r\ngenerator GEN_X is not defined\r\n", kGenEn,
     "Niezdefniowany generator GEN_X is not defined"},
    // The blank after <string2> occurs first before the value, so the value is read up to a blank.
    {"ThreeValues", kPermPl, "SQL\r\nno permission for read/select access to TABLE T1\r\n", kPermEn,
     "Nie zezwala się na dostęp \"read/select\" do \"TABLE\" T1"},
    {"MiddleValueAtTheEndKeepsItsLastCharacter", kPermPl,
     "SQL\r\nno permission for read/select access to TABLE", kPermEn,
     "Nie zezwala się na dostęp \"read/select\" do \"TABLE\" "},
    {"NoPlaceholders", kTakaPozycja, "a\r\nb", "anything <string>", kTakaPozycja},
    // Which line is read.
    {"FourLinesReadTheFourth", kGenPl, "a\r\nb\r\nc\r\ngenerator G4 is not defined\r\n", kGenEn,
     "Niezdefniowany generator G4 is not defined"},
    {"SixLinesReadTheFifth", kGenPl, "a\r\nb\r\nc\r\nd\r\ngenerator G5 is not defined\r\nf\r\n", kGenEn,
     "Niezdefniowany generator G5 is not defined"},
    {"LoneCrAndLfBreakLines", kGenPl, "a\rb\nc\r\ngenerator G is not defined", kGenEn,
     "Niezdefniowany generator G is not defined"},
    {"EmptyMessage", kGenPl, "", kGenEn, ""},
    {"OneLine", kGenPl, "generator G is not defined\r\n", kGenEn, ""},
    {"ThreeLines", kGenPl, "a\r\nb\r\ngenerator G is not defined\r\n", kGenEn, ""},
    {"FiveLines", kGenPl, "a\r\nb\r\nc\r\nd\r\ngenerator G is not defined\r\n", kGenEn, ""},
    {"SevenLines", kGenPl, "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n", kGenEn, ""},
    {"ChosenLineEmpty", kGenPl, "a\r\n\r\n", kGenEn, ""},
    {"NoPlaceholderOnlyAlsoNeedsALine", kTakaPozycja, "a\r\nb\r\nc", "x", ""},
    // Inputs that would keep a literal reading of the rules going, or read outside the line.
    {"ValueHoldingThePlaceholderEnds", kGenPl, "a\r\ngenerator <string> is not defined", kGenEn,
     "Niezdefniowany generator <string> is not defined"},
    {"ValueHoldingAnotherPlaceholderEnds", "<string> <long>", "a\r\nv <long>x w", "v <string> w <long>",
     "<long>xx <long>"},
    {"PlaceholderMissingInEnglish", "Wyjątek <digit>", "a\r\nx", "Exception", "Wyjątek x"},
    {"AngleBracketBeforeThePlaceholderStays", "a > b <string>", "a\r\nv X", "v <string>", "a > b X"},
    {"ValuePastTheEndOfTheLineIsEmpty", kGenPl, "a\r\ngen", kGenEn, "Niezdefniowany generator "},
    {"PolishLettersCountAsOneCharacter", "Kolumna <string>, tabela <string2>", "a\r\nkolumna ŻÓŁW, tabela ĄĘ",
     "kolumna <string>, tabela <string2>", "Kolumna ŻÓŁW, tabela ĄĘ"},
};

class TlumaczCases : public ::testing::TestWithParam<TTlumaczCase> {};

TEST_P(TlumaczCases, FillsFromTheChosenLine) {
    const TTlumaczCase& c = GetParam();
    EXPECT_EQ(Tlumacz(c.Polish, c.Message, c.English), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(ErrorTranslation, TlumaczCases, ::testing::ValuesIn(kTlumaczCases),
                         [](const auto& info) { return std::string(info.param.Name); });

using TNameFn = std::string (*)(std::string_view);

struct TNameCase {
    const char* Name;
    TNameFn Fn;
    const char* Message;
    const char* Expected;
};

const TNameCase kNameCases[] = {
    {"ForeignKeyAfterFirebird3sEmptyName", GetForeignKeyName,
     "Violation of FOREIGN KEY constraint \"\".\r\nViolation of FOREIGN KEY constraint "
     "\"FK_ADRES_KRAJADR_KRAJ\" "
     "on table \"ADRES\".\r\n",
     "FK_ADRES_KRAJADR_KRAJ"},
    {"ForeignKeyUpperCasedWithPolishLetters", GetForeignKeyName, "x \"FK_Łąka_żółw\" on table \"T\"",
     "FK_ŁĄKA_ŻÓŁW"},
    {"ForeignKeyWithoutStartRunsFromTheStart", GetForeignKeyName, "violation of \"X_Y\" on table \"T\"",
     "VIOLATION OF \"X_Y"},
    {"ForeignKeyWithoutEnd", GetForeignKeyName, "\"FK_A\" elsewhere", ""},
    {"ForeignKeyEndBeforeStart", GetForeignKeyName, "\"\" on table \"T\" and \"FK_A\"", ""},
    {"UniqueKey", GetUniqueKeyName,
     "Violation of PRIMARY or UNIQUE KEY constraint \"PK_POZYCJALISTY\" on table \"POZYCJALISTY\".",
     "PK_POZYCJALISTY"},
    {"UniqueKeyNotPkRunsFromTheStart", GetUniqueKeyName,
     "violation of PRIMARY or UNIQUE KEY constraint \"UQ_X\" on table \"T\"",
     "VIOLATION OF PRIMARY OR UNIQUE KEY CONSTRAINT \"UQ_X"},
    {"UniqueIndex", GetUniqueIndexName,
     "Attempt to store duplicate value (visible to active transactions) in unique index "
     "\"MK_KRAJ_KODKRAJU\".\r\n"
     "Problematic key value is (\"KODKRAJU\" = 'PL').",
     "MK_KRAJ_KODKRAJU"},
    {"UniqueIndexWithoutClosingQuote", GetUniqueIndexName, "in unique index \"MK_X", ""},
    {"UniqueIndexMarkerMissingReadsFromTheSeventeenth", GetUniqueIndexName, "0123456789abcdefgh\"rest", "GH"},
    {"UniqueIndexPositionsAreCharacters", GetUniqueIndexName, "ąąąą in unique index \"mk_żółw\"", "MK_ŻÓŁW"},
};

class NameCases : public ::testing::TestWithParam<TNameCase> {};

TEST_P(NameCases, TakeTheNameOutOfTheMessage) {
    const TNameCase& c = GetParam();
    EXPECT_EQ(c.Fn(c.Message), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(ErrorTranslation, NameCases, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TTextCase {
    const char* Name;
    const char* Message;
    const char* Expected;
};

const TTextCase kKomunikatZBazyCases[] = {
    {"Firebird3Exception",
     "Exception .\r\nException 1.\r\nNAZWA.\r\nZły podział kosztów.\r\nAt procedure 'P1' line: 1, col: "
     "30.\r\n",
     "Zły podział kosztów."},
    {"LineBeforeTheFirstAtLine", "a\r\nb\r\nAt trigger 'T1'\r\nAt procedure 'P'\r\n", "b"},
    {"AtLineFirst", "At procedure 'P'\r\nx\r\n", "At procedure 'P'"},
    {"AtInAnyCase", "x\r\naT block\r\n", "x"},
    {"AtNeedsItsBlank", "1\r\nATTEMPT\r\n3\r\n4\r\n5\r\n", "5"},
    {"NoAtLineFifthOfFive", "1\r\n2\r\n3\r\n4\r\n5\r\n", "5"},
    {"NoAtLineFourLines", "1\r\n2\r\n3\r\n4\r\n", kUnknownDb},
    {"Empty", "", kUnknownDb},
};

class KomunikatZBazyCases : public ::testing::TestWithParam<TTextCase> {};

TEST_P(KomunikatZBazyCases, PicksTheDatabasesOwnMessage) {
    EXPECT_EQ(KomunikatZBazy(GetParam().Message), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(ErrorTranslation, KomunikatZBazyCases, ::testing::ValuesIn(kKomunikatZBazyCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TRowCase {
    const char* Name;
    int Code;
    const char* Message;
    const char* Expected;
};

// Firebird 3's own compositions, as the client layer gives them (ServerMessagesTest.cpp makes them
// on the server); each is a case where the line rules alone give an empty or a wrong text.
constexpr const char* kFb3UnknownKey =
    "Invalid insert or update value(s): object columns are constrained - no 2 table rows can have duplicate "
    "column values.\r\nViolation of PRIMARY or UNIQUE KEY constraint \"UQ_T2\" on table \"T2\".\r\n"
    "Problematic key value is (\"K\" = 1).\r\n";
constexpr const char* kFb3UnknownForeignKeyNamed =
    "Q1:\r\nViolation of FOREIGN KEY constraint \"\".\r\nViolation of FOREIGN KEY constraint \"FK_X_KRAJ\" "
    "on "
    "table \"X\".\r\nForeign key references are present for the record.\r\nProblematic key value is (\"ID\" "
    "= "
    "1).\r\n";
constexpr const char* kFb3ExceptionNamed = "Q1:\r\nException .\r\nException 1.\r\nNIEZNANY.\r\nZły stan.\r\n"
                                           "At procedure 'P1' line: 1, col: 30.\r\n";
constexpr const char* kFb3ExceptionNested = "Exception .\r\nException 1.\r\nNIEZNANY.\r\nZły stan.\r\n"
                                            "At procedure 'P1' line: 1, col: 30\nAt procedure 'P3' line: 1, "
                                            "col: 30.\r\n";

const TRowCase kRowCases[] = {
    {"CodeZero", 0, "", "Nieznany błąd bazy danych"},
    {"NegativeCode", -1, "", "Nieznany błąd bazy danych"},
    {"AboveTheTable", 335544722, "", "Nieznany błąd bazy danych"},
    {"BelowTheTable", 335544320, "", "Nieznany błąd bazy danych"},
    {"GapInTheTable", 335544433, "", "Nieznany błąd bazy danych"},
    {"EmptyRow440", 335544440, "a\r\nb", ""},
    {"EmptyRow448", 335544448, "a\r\nb", ""},
    {"EmptyRow449", 335544449, "a\r\nb", ""},
    {"FixedWithItsMark", 335544337, "a\r\nattempt to start more than 9 transactions",
     "Próba uruchomienia więcej niż "
     "<long> transakcji"},
    {"ConnectionLost", 335544721, "",
     "Połączenie z bazą danych zostało zerwane!\r\rNastąpi awaryjne wyjście z "
     "programu."},
    {"PairRow", 335544347, "SQL\r\nvalidation error for column PRICE, value \"ABC\"\r\n",
     "Błąd walidacji w kolumnie PRICE, wartość \"ABC\"\""},
    {"PairRowThreeLinesWithoutItsLine", 335544463, "a\r\nb\r\nc\r\n", ""},
    // Firebird 3 puts the SQL-code text in front of the server's line, on the same line or not.
    {"PairRowFirebird3OneLine", 335544334,
     "Overflow occurred during data type conversion.Conversion error from string \"x\".\r\n",
     "Błąd konwersji z ciągu \"x\"."},
    {"PairRowFirebird3AfterAFullStop", 335544347,
     "The insert failed because a column definition includes validation constraints.Validation error for "
     "column "
     "\"T\".\"ID\", value \"*** null ***\".\r\n",
     "Błąd walidacji w kolumnie \"T\".\"ID\", wartość \"*** null ***\".\""},
    {"PairRowFirebird3LastMatchingLine", 335544558,
     "Operation violates CHECK constraint  on view or table.\r\nOperation violates CHECK constraint INTEG_2 "
     "on "
     "view or table T.\r\nAt trigger 'CHECK_1'.\r\n",
     "Operacja naruszyła warunek INTEG_2 w widoku lub tabeli T."},
    {"ForeignKeyKnown", 335544466,
     "a\r\nb\r\nviolation of FOREIGN KEY constraint \"FK_ADRES_KRAJADR_KRAJ\" on table \"ADRES\"",
     "Nie można usunąć kraju ponieważ są adresy które z niego korzystają."},
    {"ForeignKeyUnknownTwoLines", 335544466,
     "SQL\r\nviolation of FOREIGN KEY constraint \"FK_NIEZNANY\" on table \"T\"", kFkFallback},
    {"ForeignKeyUnknownThreeLines", 335544466,
     "Q1:\r\nSQL\r\nviolation of FOREIGN KEY constraint \"FK_NIEZNANY\" on table \"T\"\r\n", ""},
    {"ForeignKeyUnknownFirebird3WithRaiser", 335544466, kFb3UnknownForeignKeyNamed, kFkFallback},
    {"UniqueKeyKnown", 335544665, "a\r\nb\r\nc \"PK_POZYCJALISTY\" on table \"POZYCJALISTY\"",
     "Na tej liście płac umieszczono już tego pracownika."},
    {"UniqueKeyNotPk", 335544665,
     "SQL\r\nviolation of PRIMARY or UNIQUE KEY constraint \"UQ_X\" on table \"T\"", kTakaPozycja},
    {"UniqueKeyUnknownFirebird3", 335544665, kFb3UnknownKey, kTakaPozycja},
    {"UniqueIndexKnown", 335544349, "a\r\nb\r\nc in unique index \"MK_KRAJ_KODKRAJU\"",
     "Kraj o takim kodzie już istnieje."},
    {"UniqueIndexUnknownThreeLines", 335544349, "a\r\nb\r\nc in unique index \"MK_NIEZNANY\"", ""},
    {"ExceptionFiveLinesAtFourth", 335544517, "1\r\n2\r\n3\r\nAt procedure 'P'\r\n5\r\n", "3"},
    {"ExceptionThreeLinesNoAt", 335544517, "1\r\n2\r\n3\r\n", kUnknownDb},
    {"ExceptionTemplateOnItsLine", 335544517, "SQL\r\nexception 7", "Wyjątek 7"},
    {"ExceptionFirebird3WithRaiser", 335544517, kFb3ExceptionNamed, "Zły stan."},
    {"ExceptionFirebird3Nested", 335544517, kFb3ExceptionNested, "Zły stan."},
};

class RowCases : public ::testing::TestWithParam<TRowCase> {};

TEST_P(RowCases, TranslateWithoutADatabase) {
    const TRowCase& c = GetParam();
    const EFbLibraryError error = MakeError(c.Code, c.Message);
    EXPECT_EQ(IbErrorToStr(error, nullptr), c.Expected);
    EXPECT_EQ(error.Message(), c.Message) << "the translation changes nothing in the error";
}

INSTANTIATE_TEST_SUITE_P(ErrorTranslation, RowCases, ::testing::ValuesIn(kRowCases),
                         [](const auto& info) { return std::string(info.param.Name); });

const TTextCase kExceptionNumberCases[] = {
    {"ThirdLine", "R:\r\nException .\r\nException 12.\r\n", "12"},
    {"LeadingBlanksAndSign", "1\r\n2\r\n123456789  -5.\r\n", "-5"},
    {"Firebird3WithoutRaiser", "Exception .\r\nException 3.\r\nNAZWA.\r\nTekst.\r\n", "3"},
    {"UnusableThirdLine", "1\r\n2\r\nno number here.\r\n", "0"},
    {"NoFullStop", "1\r\n2\r\nException 4\r\n", "0"},
    {"FullStopBeforeTheTenth", "1\r\n2\r\nEx. 4 abc\r\n", "0"},
    {"TrailingText", "1\r\n2\r\nException 4x.\r\n", "0"},
    {"BeyondThirtyTwoBits", "1\r\n2\r\nException 2147483648.\r\n", "0"},
    {"FewerThanThreeLines", "Exception .\r\n", "0"},
};

class ExceptionNumberCases : public ::testing::TestWithParam<TTextCase> {};

TEST_P(ExceptionNumberCases, ReadTheNumber) {
    EXPECT_EQ(std::to_string(ExceptionNumber(GetParam().Message)), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(ExceptionLookup, ExceptionNumberCases, ::testing::ValuesIn(kExceptionNumberCases),
                         [](const auto& info) { return std::string(info.param.Name); });

constexpr const char* kSzablonSentence =
    "Według tego szablonu zostały już policzone i zamknięte pozycje listy płac. Nie można zmienić znacznika "
    "rozdzielnik kosztów. Skopiuj algorytm i ustaw w nim rozdzielnik kosztów.";

TEST(ExceptionLookup, AKnownExceptionGetsItsOwnSentence) {
    TNamingDatabase db;
    db.Names[3] = "SZABLISTPLAC_ROZDZKOSZT";
    const EFbLibraryError error = MakeError(
        335544517, "Exception .\r\nException 3.\r\nSZABLISTPLAC_ROZDZKOSZT.\r\nTekst.\r\nAt block.\r\n");
    EXPECT_EQ(KomunikatWyjatkuBazy(error, &db), kSzablonSentence);
    EXPECT_EQ(IbErrorToStr(error, &db), std::string("Wyjątek: \r") + kSzablonSentence);
    EXPECT_EQ(db.Asked, (std::vector<int>{3, 3}));
}

TEST(ExceptionLookup, AnUnusableNumberStillAsksTheDatabase) {
    TNamingDatabase db;
    const EFbLibraryError error = MakeError(335544517, "1\r\n2\r\nno number.\r\nx\r\nAt procedure 'P'\r\n");
    EXPECT_EQ(KomunikatWyjatkuBazy(error, &db), "");
    EXPECT_EQ(db.Asked, (std::vector<int>{0}));
    // Nothing in the table: the database's own message.
    EXPECT_EQ(IbErrorToStr(error, &db), "x");
}

TEST(ExceptionLookup, AComponentThatCannotNameExceptionsGivesNothing) {
    TFbDatabase plain;
    const EFbLibraryError error =
        MakeError(335544517, "Exception .\r\nException 3.\r\nN.\r\nTekst.\r\nAt x\r\n");
    EXPECT_EQ(KomunikatWyjatkuBazy(error, &plain), "");
    EXPECT_EQ(KomunikatWyjatkuBazy(error, nullptr), "");
    EXPECT_EQ(IbErrorToStr(error, &plain), "Tekst.");
}

TEST(ExceptionLookup, AFailingLookupLeavesTheTranslation) {
    class TFailingDatabase : public TFbDatabase, public IExceptionNameSource {
        std::string GetExceptionName(int) override { throw std::runtime_error("lookup failed"); }
    } db;
    const EFbLibraryError error = MakeError(335544517, "Exception .\r\nException 3.\r\n");
    EXPECT_THROW(IbErrorToStr(error, &db), std::runtime_error);
    // Only the exception row asks the database.
    EXPECT_EQ(IbErrorToStr(MakeError(335544466, "a\r\nb"), &db), kFkFallback);
}

} // namespace

namespace {

// Pieces that steer the translation into its corners: placeholders, their brackets alone, the
// markers of the names, line breaks of every kind, Polish letters and bytes that are no UTF-8.
const char* const kPieces[] = {
    "<string>",
    "<string2>",
    "<string3>",
    "<long>",
    "<long2>",
    "<digit>",
    "<digit2>",
    "<",
    ">",
    "<x>",
    "\"",
    "\"FK_",
    "\"PK_",
    "\" on table ",
    "in unique index",
    "in unique index \"",
    "At ",
    "at ",
    "Exception ",
    "Exception 1.",
    ".",
    " ",
    "  ",
    "\r\n",
    "\r",
    "\n",
    "ą",
    "Ż",
    "ółw",
    "\xff",
    "\xc5",
    "\xe2\x82",
    "7",
    "-",
    "2147483648",
    "generator ",
    " is not defined",
    "value \"",
    ", ",
    "Problematic key value is (",
    "a",
    "BCD",
};

std::string RandomText(std::mt19937& random, int maxPieces) {
    std::uniform_int_distribution<int> count(0, maxPieces);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::string text;
    for (int n = count(random); n > 0; --n)
        text += kPieces[piece(random)];
    return text;
}

std::size_t Chars(const std::string& text) {
    return Utf8ToU32(text).size();
}

std::size_t Placeholders(const std::string& text) {
    std::size_t count = 0;
    for (const char* name :
         {"<string>", "<string2>", "<string3>", "<long>", "<long2>", "<digit>", "<digit2>"})
        for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1))
            ++count;
    return count;
}

} // namespace

// Every function ends on any input and keeps its result within what its input can give: a fixed
// number of random inputs, or as many as fit in ZELWAN_SWEEP_SECONDS.
TEST(ErrorTranslation, RandomInputsEndWithBoundedResults) {
    std::mt19937 random(20261210);
    const char* seconds = std::getenv("ZELWAN_SWEEP_SECONDS");
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::seconds(seconds ? std::atoi(seconds) : 0);
    std::uniform_int_distribution<int> code(kIbStatusFirst - 2, kIbStatusLast + 2);
    long long inputs = 0;
    for (; seconds ? std::chrono::steady_clock::now() < until : inputs < 5000; ++inputs) {
        const std::string polish = RandomText(random, 8);
        const std::string english = RandomText(random, 8);
        const std::string message = RandomText(random, 30);
        const std::string filled = Tlumacz(polish, message, english);
        ASSERT_TRUE(IsValidUtf8(filled));
        ASSERT_LE(Chars(filled), Chars(polish) + Placeholders(polish) * Chars(message))
            << "polish " << polish << "\nmessage " << message << "\nenglish " << english;
        for (TNameFn fn : {GetForeignKeyName, GetUniqueKeyName, GetUniqueIndexName}) {
            const std::string name = fn(message);
            ASSERT_TRUE(IsValidUtf8(name));
            ASSERT_LE(Chars(name), Chars(message));
        }
        const std::string own = KomunikatZBazy(message);
        ASSERT_TRUE(own == kUnknownDb || Utf8ToU32(message).find(Utf8ToU32(own)) != std::u32string::npos ||
                    !IsValidUtf8(message));
        (void)ExceptionNumber(message);
        ASSERT_TRUE(IsValidUtf8(IbErrorToStr(MakeError(code(random), message), nullptr)));
    }
    std::printf("%lld random inputs\n", inputs);
}
