// The database exception handler: modes, options, the last-error record, EKwDbError and the end of
// the program on a lost connection.

#include "dberrors/DbErrorHandler.h"
#include "DbErrorsTestUtil.h"
#include "FakeUi.h"
#include "dberrors/ErrorTranslation.h"
#include "fbclient/FbQuery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr const char* kFkSentence = "Nie można usunąć kraju ponieważ są adresy które z niego korzystają.";

// Pushes a mode for one test.
class TMode {
public:
    explicit TMode(TkwDbErrorHandlingType type) { DbErrorHandlingTypeStack().AddTop(type); }
    ~TMode() { DbErrorHandlingTypeStack().DeleteTop(); }
};

enum TKind { kiClientError, kiPlain, kiAbort };
enum TOutcome { ocReturns, ocAbort, ocKwDbError, ocPlainException };

struct THandlerCase {
    const char* Name;
    TkwDbErrorHandlingType Mode;
    TKind Kind;
    const char* Options;
    bool Window;        // the database error window was shown
    const char* BladOk; // the error message shown, or null for none
    TOutcome Outcome;
};

const THandlerCase kHandlerCases[] = {
    {"ClientErrorWindowThenAbort", htOknoIAbort, kiClientError, "", true, nullptr, ocAbort},
    {"ClientErrorNoAbortReturns", htOknoIAbort, kiClientError, "-a", true, nullptr, ocReturns},
    {"ClientErrorNoWindowAborts", htOknoIAbort, kiClientError, "-e", false, nullptr, ocAbort},
    {"ClientErrorBothOptions", htOknoIAbort, kiClientError, "-a-e", false, nullptr, ocReturns},
    {"ClientErrorBothOptionsOtherOrderAnywhere", htOknoIAbort, kiClientError, "+t -e x-a", false, nullptr,
     ocReturns},
    {"PlainErrorMessageThenAbort", htOknoIAbort, kiPlain, "", false, "błąd: \rX", ocAbort},
    {"PlainErrorNoWindow", htOknoIAbort, kiPlain, "-e", false, nullptr, ocAbort},
    {"PlainErrorNoAbort", htOknoIAbort, kiPlain, "-a", false, "błąd: \rX", ocReturns},
    {"SilentAbortIsRaisedAgainUnseen", htOknoIAbort, kiAbort, "", false, nullptr, ocAbort},
    {"SilentAbortWithNoAbortReturns", htOknoIAbort, kiAbort, "-a", false, nullptr, ocReturns},
    {"BezOknaClientError", htBezOkna, kiClientError, "", false, nullptr, ocKwDbError},
    {"BezOknaClientErrorNoAbort", htBezOkna, kiClientError, "-a", false, nullptr, ocReturns},
    {"BezOknaPlainError", htBezOkna, kiPlain, "", false, nullptr, ocPlainException},
    {"BezOknaPlainErrorEvenWithNoAbort", htBezOkna, kiPlain, "-a-e", false, nullptr, ocPlainException},
};

std::exception_ptr Make(TKind kind) {
    switch (kind) {
    case kiClientError:
        return std::make_exception_ptr(MakeError(335544466, kFb3ForeignKeyMessage, -530));
    case kiPlain:
        return std::make_exception_ptr(Exception("X"));
    case kiAbort:
        return std::make_exception_ptr(EAbort());
    }
    return {};
}

class HandlerCases : public ::testing::TestWithParam<THandlerCase> {};

TEST_P(HandlerCases, ModeAndOptionsDecide) {
    const THandlerCase& c = GetParam();
    TFakeUi ui;
    TMode mode(c.Mode);
    TFbDatabase db;
    db.SetName("DB1");
    const std::exception_ptr error = Make(c.Kind);
    std::exception_ptr lastError;
    std::shared_ptr<const EFbError> lastIbError;
    std::string lastText;

    TOutcome outcome = ocReturns;
    try {
        HandleException(&db, "TkwSQL", error, "delete from KRAJ", c.Options, lastError, lastIbError, lastText,
                        nullptr);
    } catch (const EAbort&) {
        outcome = ocAbort;
    } catch (const EKwDbError& e) {
        outcome = ocKwDbError;
        EXPECT_EQ(e.Message(), kFb3ForeignKeyMessage);
        EXPECT_EQ(e.PolMessage(), kFkSentence);
        EXPECT_EQ(e.IBErrorCode(), 335544466);
        EXPECT_EQ(e.SQLCode(), -530);
        EXPECT_EQ(e.DatabaseName(), "DB1");
        EXPECT_EQ(e.ObjectClassName(), "TkwSQL");
    } catch (const Exception& e) {
        outcome = ocPlainException;
        EXPECT_EQ(e.Message(), "X");
    }
    EXPECT_EQ(outcome, c.Outcome);

    ASSERT_EQ(ui.IbErrorWnds.size(), c.Window ? 1u : 0u);
    if (c.Window) {
        const TRecordedIbErrorWnd& w = ui.IbErrorWnds[0];
        EXPECT_EQ(w.IBErrorCode, 335544466);
        EXPECT_EQ(w.DatabaseName, "DB1");
        EXPECT_EQ(w.ObjectName, "TkwSQL");
        EXPECT_EQ(w.Database, &db);
        EXPECT_EQ(w.Sql, "delete from KRAJ");
    }
    ASSERT_EQ(ui.Windows.size(), c.BladOk ? 1u : 0u);
    if (c.BladOk) {
        EXPECT_EQ(ui.Windows[0].Tresc, c.BladOk);
        EXPECT_EQ(ui.Windows[0].Rodzaj, kBlad);
        EXPECT_EQ(ui.Windows[0].Skala, 100);
    }

    EXPECT_EQ(lastError, error);
    const std::string message = c.Kind == kiClientError ? kFb3ForeignKeyMessage
                                : c.Kind == kiPlain     ? "X"
                                                        : "Operation aborted";
    EXPECT_EQ(lastText, message);
    EXPECT_EQ(LastDbErrorMessage(), message);
    EXPECT_EQ(LastDbErrorCode(), c.Kind == kiClientError ? 335544466 : 0);
    if (c.Kind == kiClientError) {
        ASSERT_NE(lastIbError, nullptr);
        EXPECT_EQ(lastIbError->IBErrorCode(), 335544466);
    } else {
        EXPECT_EQ(lastIbError, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(DbErrorHandler, HandlerCases, ::testing::ValuesIn(kHandlerCases),
                         [](const auto& info) { return std::string(info.param.Name); });

void Handle(const std::exception_ptr& error, const std::string& options, std::exception_ptr& lastError,
            std::shared_ptr<const EFbError>& lastIbError, std::string& lastText) {
    HandleException(nullptr, "TkwSQL", error, "", options, lastError, lastIbError, lastText, nullptr);
}

TEST(DbErrorHandler, PolishMessageIsRecordedInTheDefaultModeOnly) {
    TFakeUi ui;
    std::exception_ptr lastError;
    std::shared_ptr<const EFbError> lastIbError;
    std::string lastText;
    Handle(std::make_exception_ptr(MakeError(335544466, kFb3ForeignKeyMessage)), "-a-e", lastError,
           lastIbError, lastText);
    EXPECT_EQ(LastDbErrorPolMessage(), kFkSentence);
    {
        TMode mode(htBezOkna);
        Handle(std::make_exception_ptr(MakeError(335544336, "a\r\nb")), "-a", lastError, lastIbError,
               lastText);
        EXPECT_EQ(LastDbErrorCode(), 335544336);
    }
    Handle(std::make_exception_ptr(Exception("Y")), "-a-e", lastError, lastIbError, lastText);
    EXPECT_EQ(LastDbErrorPolMessage(), kFkSentence);
    Handle(std::make_exception_ptr(MakeError(335544336, "a\r\nb")), "-a-e", lastError, lastIbError, lastText);
    EXPECT_EQ(LastDbErrorPolMessage(), "Zakleszczenie");
}

TEST(DbErrorHandler, NothingOrNoExceptionChangesNothing) {
    TFakeUi ui;
    const std::exception_ptr before = std::make_exception_ptr(Exception("before"));
    std::exception_ptr lastError = before;
    auto lastIbError = std::make_shared<const EFbLibraryError>(MakeError(1, "m"));
    const auto ibBefore = lastIbError;
    std::shared_ptr<const EFbError> lastIb = lastIbError;
    std::string lastText = "before";
    for (const std::exception_ptr& error : {std::exception_ptr(), std::make_exception_ptr(42)}) {
        Handle(error, "", lastError, lastIb, lastText);
        EXPECT_EQ(lastError, before);
        EXPECT_EQ(lastIb, ibBefore);
        EXPECT_EQ(lastText, "before");
    }
    EXPECT_TRUE(ui.Windows.empty());
}

TEST(DbErrorHandler, ConnectionLostRaisesLikeAnyOtherErrorWithoutAWindowMode) {
    TFakeUi ui;
    TMode mode(htBezOkna);
    std::exception_ptr lastError;
    std::shared_ptr<const EFbError> lastIbError;
    std::string lastText;
    try {
        Handle(std::make_exception_ptr(MakeError(kConnectionLostCode, "a\r\nb", -902)), "", lastError,
               lastIbError, lastText);
        FAIL() << "no EKwDbError";
    } catch (const EKwDbError& e) {
        EXPECT_EQ(e.IBErrorCode(), kConnectionLostCode);
        EXPECT_EQ(e.PolMessage(),
                  "Połączenie z bazą danych zostało zerwane!\r\rNastąpi awaryjne wyjście z programu.");
    }
    EXPECT_FALSE(ConnectionLost());
    EXPECT_TRUE(ui.IbErrorWnds.empty());
}

TEST(DbErrorHandler, TheLastClientErrorOutlivesTheCatch) {
    TFakeUi ui;
    std::exception_ptr lastError;
    std::shared_ptr<const EFbError> lastIbError;
    std::string lastText;
    try {
        throw MakeError(335544466, kFb3ForeignKeyMessage);
    } catch (...) {
        Handle(std::current_exception(), "-a-e", lastError, lastIbError, lastText);
    }
    lastError = nullptr;
    ASSERT_NE(lastIbError, nullptr);
    EXPECT_EQ(lastIbError->Message(), kFb3ForeignKeyMessage);
    EXPECT_NE(dynamic_cast<const EFbLibraryError*>(lastIbError.get()), nullptr) << "the class is kept";
}

TEST(DbErrorHandler, ModeStack) {
    TkwDbErrorHandlingTypeStack stack;
    EXPECT_EQ(stack.GetTop(), htOknoIAbort);
    stack.DeleteTop(); // nothing to remove
    stack.AddTop(htBezOkna);
    EXPECT_EQ(stack.GetTop(), htBezOkna);
    stack.AddTop(htOknoIAbort);
    EXPECT_EQ(stack.GetTop(), htOknoIAbort);
    stack.DeleteTop();
    EXPECT_EQ(stack.GetTop(), htBezOkna);
    stack.DeleteTop();
    EXPECT_EQ(stack.GetTop(), htOknoIAbort);

    EXPECT_EQ(SposobObsBledowDB(), htOknoIAbort);
    {
        TMode mode(htBezOkna);
        EXPECT_EQ(SposobObsBledowDB(), htBezOkna);
    }
    EXPECT_EQ(SposobObsBledowDB(), htOknoIAbort);
}

TEST(DbErrorHandler, AGlobalDatabaseIsForgottenWhenDestroyed) {
    {
        TFbDatabase db;
        SetGlobalDatabase(&db);
        SetGlobalDatabase2(&db);
        EXPECT_EQ(GlobalDatabase(), &db);
        EXPECT_EQ(GlobalDatabase2(), &db);
    }
    EXPECT_EQ(GlobalDatabase(), nullptr);
    EXPECT_EQ(GlobalDatabase2(), nullptr);
}

// The lost connection, in a child process: each step it takes is written to stderr as it happens.
class TStepUi : public TFakeUi {
public:
    void ShowIbErrorWnd(const EFbError& error, const std::string& databaseName, const std::string& objectName,
                        TFbCustomDatabase* database, const std::string& sql,
                        const TFbXSQLDA* params) override {
        std::fprintf(stderr, "window %d %s %s params=%d\n", error.IBErrorCode(), databaseName.c_str(),
                     objectName.c_str(), params != nullptr);
        TFakeUi::ShowIbErrorWnd(error, databaseName, objectName, database, sql, params);
    }
};

class TStepDatabase : public TFbDatabase {
public:
    void InternalClose(bool force) override {
        std::fprintf(stderr, "close %s force=%d monitor=%s\n", Name().c_str(), force,
                     MonitorHook().Enabled() ? "on" : "off");
    }
};

// Runs the handler on a lost connection with two global databases set; writes what happens after.
void LoseTheConnection(const char* options, TFbXSQLDA* params, std::int32_t code = kConnectionLostCode) {
    TStepDatabase global1, global2;
    global1.SetName("G1");
    global2.SetName("G2");
    SetGlobalDatabase(&global1);
    SetGlobalDatabase2(&global2);
    TFbDatabase db;
    db.SetName("DB1");
    std::exception_ptr lastError;
    std::shared_ptr<const EFbError> lastIbError;
    std::string lastText;
    try {
        HandleException(&db, "TkwSQL", std::make_exception_ptr(MakeError(code, "a\r\nb", -902)), "select 1",
                        options, lastError, lastIbError, lastText, params);
    } catch (...) {
        std::fprintf(stderr, "raised\n");
    }
    std::fprintf(stderr, "went on\n");
}

TEST(DbErrorHandlerDeathTest, ConnectionLostEndsTheProcessWithCodeZeroAfterTheWindow) {
    for (const char* options : {"", "-a-e"}) {
        TFbQuery q;
        q.SetSQLText("select 1 from rdb$database where 1 = :P");
        EXPECT_EXIT(
            {
                TStepUi ui;
                LoseTheConnection(options, &q.Params());
            },
            ::testing::ExitedWithCode(0),
            "^window 335544721 DB1 TkwSQL params=0\nclose G1 force=1 monitor=off\nclose G2 force=1 "
            "monitor=off\n$")
            << "options " << options;
    }
}

// A server that dies under a live attachment gives Firebird 3's read or write failure on the
// connection, or the connection lost to the database, never the code of a failed connect.
TEST(DbErrorHandlerDeathTest, TheCodesOfAConnectionBrokenUnderAnAttachmentEndTheProcessToo) {
    for (std::int32_t code : {335544726, 335544727, 335544741}) {
        EXPECT_EXIT(
            {
                TStepUi ui;
                LoseTheConnection("", nullptr, code);
            },
            ::testing::ExitedWithCode(0),
            "^window " + std::to_string(code) +
                " DB1 TkwSQL params=0\nclose G1 force=1 monitor=off\nclose G2")
            << "code " << code;
        EXPECT_EQ(IbErrorToStr(MakeError(code, "a\r\nb", -902), nullptr),
                  IbErrorToStr(MakeError(kConnectionLostCode, "a\r\nb", -902), nullptr));
    }
    EXPECT_FALSE(IsConnectionLostCode(335544722));
}

// While the window is up (its modal loop lets timers run), the handler already ignores every call.
class TReenteringUi : public TFakeUi {
public:
    void ShowIbErrorWnd(const EFbError& error, const std::string& databaseName, const std::string& objectName,
                        TFbCustomDatabase* database, const std::string& sql,
                        const TFbXSQLDA* params) override {
        TFakeUi::ShowIbErrorWnd(error, databaseName, objectName, database, sql, params);
        std::exception_ptr lastError;
        std::shared_ptr<const EFbError> lastIbError;
        std::string lastText = "untouched";
        HandleException(nullptr, "TkwSQL",
                        std::make_exception_ptr(MakeError(335544466, kFb3ForeignKeyMessage)), "", "",
                        lastError, lastIbError, lastText, nullptr);
        std::fprintf(stderr, "nested: %s %d windows=%zu lost=%d\n", lastText.c_str(), lastError != nullptr,
                     IbErrorWnds.size(), ConnectionLost());
    }
};

TEST(DbErrorHandlerDeathTest, OnceTheConnectionIsLostEveryCallIsIgnored) {
    EXPECT_EXIT(
        {
            TReenteringUi ui;
            LoseTheConnection("", nullptr);
        },
        ::testing::ExitedWithCode(0), "^nested: untouched 0 windows=1 lost=1\nclose G1");
}

TEST(DbErrorHandlerDeathTest, AWindowThatCannotShowDoesNotKeepTheProgramAlive) {
    EXPECT_EXIT(
        {
            SetUserInterface(nullptr);
            LoseTheConnection("", nullptr);
        },
        ::testing::ExitedWithCode(0), "No user interface is installed for: database error window\nclose G1");
}

} // namespace
