// Client errors: the table, the exceptions, the composition of Message.

#include "FbTestHelpers.h"
#include "core/Encoding.h"

#include <ibase.h>

#include <cstring>
#include <set>
#include <thread>

namespace {

// ---- the table

TEST(ClientErrorTable, HasItsSeventyNineRowsInOrder) {
    const TFbClientErrorRow* table = FbClientErrorTable();
    std::set<std::string> names, texts;
    for (int i = 0; i < kFbClientErrorCount; ++i) {
        EXPECT_EQ(table[i].Code, i);
        ASSERT_NE(table[i].Name, nullptr);
        ASSERT_NE(table[i].Message, nullptr);
        EXPECT_NE(std::string(table[i].Message), "") << table[i].Name;
        EXPECT_TRUE(names.insert(table[i].Name).second) << "duplicate name " << table[i].Name;
        EXPECT_TRUE(texts.insert(table[i].Message).second) << "duplicate text " << table[i].Message;
        EXPECT_TRUE(IsValidUtf8(table[i].Message));
    }
    EXPECT_EQ(kFbClientErrorCount, 79);
    EXPECT_EQ(static_cast<int>(feFB2feature), 78);
    EXPECT_STREQ(table[feSQLDialectInvalid].Name, "feSQLDialectInvalid");
    EXPECT_STREQ(table[feCantEndSharedTransaction].Name, "feCantEndSharedTransaction");
}

struct TGivenText {
    TFbClientError Code;
    int Ordinal;
    const char* Text;
};

// The texts, exactly.
TEST(ClientErrorTable, GivenTextsAreExact) {
    const TGivenText given[] = {
        {feUnknownError, 0, "Unknown error."},
        {feNotPermitted, 2, "Not permitted."},
        {feDPBConstantNotSupported, 8, "DPB Constant (isc_dpb_%s) is unsupported."},
        {feDPBConstantUnknown, 9, "DPB Constant (%s) is unknown."},
        {feTPBConstantNotSupported, 10, "TPB Constant (isc_tpb_%s) is unsupported."},
        {feTPBConstantUnknown, 11, "TPB Constant (%s) is unknown."},
        {feDatabaseClosed, 12, "%s: Cannot perform operation -- DB is not open."},
        {feDatabaseOpen, 13, "Cannot perform operation -- DB is currently open."},
        {feDatabaseNameMissing, 14, "Database name is missing."},
        {feNotInTransaction, 15, "%s :Transaction is not active."},
        {feInTransaction, 16, "%s :Transaction is active."},
        {feNoDatabasesInTransaction, 18, "%s :No databases are listed in transaction component."},
        {feDatabaseNotAssigned, 21, "Database not assigned for %s."},
        {feTransactionNotAssigned, 22, "Transaction not assigned for %s."},
        {feXSQLDAIndexOutOfRange, 23, "XSQLDA index out of range."},
        {feDatasetOpen, 28, "Can't %s because %s dataset open."},
        {feDatasetClosed, 29, "Can't %s because %s dataset closed."},
        {feUnknownSQLDataType, 30, "Unknown SQL Data type (%d)."},
        {feInvalidDataConversion, 33, "Invalid data conversion."},
        {feEmptyQuery, 37, "Can't %s , because  query is empty"},
        {feFieldNotFound, 41, "Field \"%s\" not found."},
        {feSQLParseError, 51, "SQL Parse Error in :%s \r\n\r\n%s"},
        {feCantEndSharedTransaction, 58,
         "Can't end a shared transaction unless it is forced and equal to the transaction's TimeoutAction."},
        {feSQLDialectInvalid, 61, "SQL Dialect invalid"},
        {feIBMissing, 62,
         "InterBase library gds32.dll not found in the path. Please install InterBase to use this "
         "functionality"},
        {feIB60feature, 63,
         "%s is an InterBase6 function. Please upgrade to InterBase6 to use this functonality"},
        {feFB2feature, 78,
         "%s is an Firebird 2 function. Please upgrade to Firebird 2 to use this functonality"},
    };
    for (const auto& g : given) {
        EXPECT_EQ(static_cast<int>(g.Code), g.Ordinal);
        EXPECT_STREQ(FbClientErrorMessage(g.Code), g.Text);
    }
}

// ---- Format

TEST(FbFormat, FrameworkPlaceholders) {
    EXPECT_EQ(FbFormat("Can't %s because %s dataset open.", {"change sql text", "F.Q"}),
              "Can't change sql text because F.Q dataset open.");
    EXPECT_EQ(FbFormat("Unknown SQL Data type (%d).", {581}), "Unknown SQL Data type (581).");
    EXPECT_EQ(FbFormat("[$%.8x]", {255}), "[$000000ff]");
    EXPECT_EQ(FbFormat("[$%.8x]", {-1}), "[$ffffffff]");
    EXPECT_EQ(FbFormat("%x", {4096}), "1000");
    EXPECT_EQ(FbFormat("100%%"), "100%");
    EXPECT_EQ(FbFormat("%s and %s", {"one"}), "one and ");
    EXPECT_EQ(FbFormat("%d", {"text"}), "text");
    EXPECT_EQ(FbFormat("trailing %"), "trailing %");
}

// ---- client errors

TEST(FbError, MessageIsTheFormattedTextAlone) {
    const auto e = Raised([] { FbError(feDatabaseClosed, {"Form1.Db"}); });
    EXPECT_EQ(e.Message(), "Form1.Db: Cannot perform operation -- DB is not open.");
    EXPECT_EQ(e.SQLCode(), 12);
    EXPECT_EQ(e.RaiserName(), "");
    EXPECT_EQ(e.Raiser(), nullptr);
    EXPECT_EQ(e.SQLMessage(), "");
    EXPECT_EQ(e.IBMessage(), "");
    EXPECT_EQ(e.CustomMessage(), "");
    EXPECT_EQ(Raised([] { FbError(feSQLDialectInvalid); }).Message(), "SQL Dialect invalid");
}

TEST(FbError, FreeTextCarriesMinusOne) {
    const auto e = Raised([] { FbErrorEx("Cannot %s %d rows", {"post", 3}); });
    EXPECT_EQ(e.Message(), "Cannot post 3 rows");
    EXPECT_EQ(e.SQLCode(), -1);
}

TEST(FbError, BelongsToTheFamily) {
    try {
        FbError(feDatabaseNameMissing);
    } catch (const EDatabaseError& e) {
        EXPECT_NE(dynamic_cast<const EFbError*>(&e), nullptr);
        EXPECT_EQ(dynamic_cast<const EFbLibraryError*>(&e), nullptr);
        EXPECT_STREQ(e.what(), "Database name is missing.");
        return;
    }
    ADD_FAILURE() << "not an EDatabaseError";
}

TEST(FbError, IBErrorCodeIsTheStatusVectorsSecondEntry) {
    ISC_STATUS* status = StatusVector();
    status[0] = isc_arg_gds;
    status[1] = isc_network_error;
    status[2] = isc_arg_end;
    EXPECT_EQ(Raised([] { FbError(feDatabaseNameMissing); }).IBErrorCode(), isc_network_error);
    status[1] = 0;
    EXPECT_EQ(Raised([] { FbError(feDatabaseNameMissing); }).IBErrorCode(), 0);
}

TEST(FbError, StatusVectorIsPerThread) {
    StatusVector()[1] = isc_network_error;
    int other = -1;
    std::thread([&] { other = static_cast<int>(StatusVector()[1]); }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(StatusVector()[1], isc_network_error);
    StatusVector()[1] = 0;
}

TEST(EFbError, RaiserNameIsTheFullComponentName) {
    TComponent form;
    form.SetName("Form1");
    auto* db = new TComponent(&form);
    db->SetName("Db1");
    EFbError e(5, db, std::string("text"));
    EXPECT_EQ(e.RaiserName(), "Form1.Db1");
    EXPECT_EQ(e.Message(), "Form1.Db1:\r\ntext");
    EXPECT_EQ(e.Raiser(), db);

    TObject plain;
    EXPECT_EQ(EFbError(5, &plain, std::string("t")).RaiserName(), "");
}

TEST(EFbError, OneCharacterRaiserNameIsNotShown) {
    TComponent c;
    c.SetName("X");
    EFbError one(1, &c, std::string("text"));
    EXPECT_EQ(one.RaiserName(), "X");
    EXPECT_EQ(one.Message(), "text");
    c.SetName("XY");
    EXPECT_EQ(EFbError(1, &c, std::string("text")).Message(), "XY:\r\ntext");
    c.SetName("Ż");
    EXPECT_EQ(EFbError(1, &c, std::string("text")).Message(), "text") << "one character, two bytes";
}

TEST(EFbError, CompositionOrder) {
    TComponent c;
    c.SetName("Tr");
    EFbError e(7, &c, "SQL.\r\n", "Server.\r\n", "Custom");
    EXPECT_EQ(e.Message(), "Tr:\r\nSQL.\r\nServer.\r\nCustom");
    e.SetMsg("Msg");
    EXPECT_EQ(e.Message(), "Tr:\r\nSQL.\r\nServer.\r\nCustomMsg");
}

// ---- IBError against a library double whose interpreters say what the test wants

std::string gSqlText;
std::vector<std::string> gServerLines;
std::size_t gServerCalls = 0;
short gSqlBufferLength = 0;
short gSqlCodeSeen = 0;

ISC_LONG FakeSqlCode(const ISC_STATUS*) {
    return -902;
}
void FakeSqlInterprete(short code, ISC_SCHAR* buffer, short length) {
    gSqlCodeSeen = code;
    gSqlBufferLength = length;
    std::strncpy(buffer, gSqlText.c_str(), static_cast<std::size_t>(length));
}
ISC_LONG FakeInterprete(ISC_SCHAR* buffer, ISC_STATUS** cursor) {
    if (gServerCalls >= gServerLines.size())
        return 0;
    const std::string& line = gServerLines[gServerCalls++];
    std::strcpy(buffer, line.c_str());
    *cursor += 2;
    // An empty line still counts as a message; the walk goes on.
    return line.empty() ? 1 : static_cast<ISC_LONG>(line.size());
}

class TFakeLibrary : public IIBClientLibrary {
public:
    TFakeLibrary() {
        FEntries.Fisc_sqlcode = FakeSqlCode;
        FEntries.Fisc_sql_interprete = FakeSqlInterprete;
        FEntries.Fisc_interprete = FakeInterprete;
    }
    const std::string& GetLibName() const override { return FName; }
    const std::string& FileName() const override { return FName; }
    int ClientVersion() const override { return 6; }
    int ClientMinorVersion() const override { return 0; }
    const TFbEntryPoints& EntryPoints() const override { return FEntries; }

private:
    std::string FName = "fake";
    TFbEntryPoints FEntries;
};

EFbLibraryError RaiseWith(const std::string& sqlText, std::vector<std::string> lines, const TObject* sender) {
    gSqlText = sqlText;
    gServerLines = std::move(lines);
    gServerCalls = 0;
    ISC_STATUS* status = StatusVector();
    status[0] = isc_arg_gds;
    status[1] = isc_login;
    status[2] = isc_arg_end;
    TFakeLibrary library;
    return Raised<EFbLibraryError>([&] { IBError(library, sender); });
}

TEST(IBError, SqlMessageRules) {
    EXPECT_EQ(RaiseWith("unsuccessful execution", {}, nullptr).SQLMessage(), "Unsuccessful execution.\r\n");
    EXPECT_EQ(RaiseWith("Ends with a stop.", {}, nullptr).SQLMessage(), "Ends with a stop.")
        << "neither full stop nor line break";
    EXPECT_EQ(RaiseWith("line one\\nline two", {}, nullptr).SQLMessage(), "Line oneline two.\r\n")
        << "backslash-n sequences removed";
    EXPECT_EQ(RaiseWith("", {}, nullptr).SQLMessage(), "");
    EXPECT_EQ(RaiseWith("\\n", {}, nullptr).SQLMessage(), "");
    EXPECT_EQ(RaiseWith("1 first", {}, nullptr).SQLMessage(), "1 first.\r\n");
    EXPECT_EQ(gSqlBufferLength, 1024);
    EXPECT_EQ(gSqlCodeSeen, -902);
}

TEST(IBError, ServerLinesRules) {
    const auto e = RaiseWith("Sql", {"lower case start", "", "Has a stop.", "x"}, nullptr);
    EXPECT_EQ(e.IBMessage(), "Lower case start.\r\nHas a stop.\r\nX.\r\n");
    EXPECT_EQ(e.Message(), "Sql.\r\nLower case start.\r\nHas a stop.\r\nX.\r\n");
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_EQ(e.IBErrorCode(), isc_login);
    EXPECT_EQ(gServerCalls, 4u);
}

TEST(IBError, SqlMessageEndingInStopRunsIntoTheFirstServerLine) {
    EXPECT_EQ(RaiseWith("Connection error.", {"second"}, nullptr).Message(), "Connection error.Second.\r\n");
}

TEST(IBError, ServerTextsInWindows1250BecomeUtf8) {
    // "Zażółć" in Windows-1250, as a WIN1250 connection may carry it.
    const std::string cp1250 = "Za\xBF\xF3\xB3\xE6 tabela";
    const auto e = RaiseWith("sql", {cp1250, "ju\xC5\xBC utf-8 \xC5\x9B"}, nullptr);
    EXPECT_EQ(e.IBMessage(), "Zażółć tabela.\r\nJuż utf-8 ś.\r\n");
    EXPECT_TRUE(IsValidUtf8(e.Message()));
}

TEST(IBError, RaiserLineForNamedComponents) {
    TComponent form;
    form.SetName("Form1");
    auto* db = new TComponent(&form);
    db->SetName("Db");
    EXPECT_EQ(RaiseWith("sql", {"server"}, db).Message(), "Form1.Db:\r\nSql.\r\nServer.\r\n");
    TComponent unnamed;
    EXPECT_EQ(RaiseWith("sql", {"server"}, &unnamed).Message(), "Sql.\r\nServer.\r\n");
}

// ---- IBError against the real client library and a status vector of our own

TEST(IBError, RealInterpretersWalkTheWholeVector) {
    IIBClientLibrary& library = *GetClientLibrary(kDefaultLibraryName);
    const char* host = "db.example";
    ISC_STATUS* status = StatusVector();
    ISC_STATUS vector[] = {
        isc_arg_gds, isc_network_error,   isc_arg_string, reinterpret_cast<ISC_STATUS>(host),
        isc_arg_gds, isc_net_connect_err, isc_arg_end};
    std::memcpy(status, vector, sizeof vector);
    const auto e = Raised<EFbLibraryError>([&] { IBError(library, nullptr); });
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_EQ(e.IBErrorCode(), 335544721);
    EXPECT_EQ(
        MessageLines(e.Message()),
        (std::vector<std::string>{"Unsuccessful execution caused by a system error that precludes successful "
                                  "execution of subsequent statements.",
                                  "Unable to complete network request to host \"db.example\".",
                                  "Failed to establish a connection."}));
    EXPECT_EQ(status[1], isc_network_error) << "the vector itself stays as it was";
    EXPECT_EQ(status[3], reinterpret_cast<ISC_STATUS>(host));
}

TEST(IBError, RealInterpreterLowerCaseLine) {
    IIBClientLibrary& library = *GetClientLibrary(kDefaultLibraryName);
    const char* text = "no stop here";
    ISC_STATUS vector[] = {isc_arg_gds, isc_random, isc_arg_string, reinterpret_cast<ISC_STATUS>(text),
                           isc_arg_end};
    std::memcpy(StatusVector(), vector, sizeof vector);
    const auto e = Raised<EFbLibraryError>([&] { IBError(library, nullptr); });
    EXPECT_EQ(e.IBMessage(), "No stop here.\r\n");
}

TEST(GetIBErrorMessages, RaiserSqlAndServerParts) {
    const TIBErrorMessages parts = GetIBErrorMessages();
    EXPECT_TRUE(parts & (1u << ShowIBMessage));
    EXPECT_TRUE(parts & (1u << ShowSQLMessage));
    EXPECT_TRUE(parts & (1u << ShowRaiserName));
    EXPECT_FALSE(parts & (1u << ShowSQLCode));
}

} // namespace
