// The database error window: its design, the message and details pages, the toggle with its menu
// item and Alt+S, the details text, and one window for every error.

// The client layer's headers come before Qt's: FbBase.h names a parameter "slots", which Qt defines
// as a macro.
#include "ClientErrors.h"
#include "dberrors/ExceptionLookup.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbQuery.h"

#include "QtTestUtil.h"
#include "ui/BitBtnKom.h"
#include "ui/IbErrorWnd.h"
#include "ui/QtUserInterface.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// What one showing looked like, read while the window was up.
struct TShown {
    QWidget* Window = nullptr;
    QString Caption;
    QString Message;
    QString Details;
    int Page = -1;
    bool ToggleDown = true;
    bool MenuChecked = true;
    QWidget* Focus = nullptr;
};

template <class T> T* In(QWidget* w, const char* name) {
    return Child<T>(w, name);
}

TShown ReadShown(QWidget* w) {
    TShown s;
    s.Window = w;
    s.Caption = w->windowTitle();
    s.Message = In<QLabel>(w, "L_except")->text();
    s.Details = In<QPlainTextEdit>(w, "M_details")->toPlainText();
    s.Page = In<QStackedWidget>(w, "Notebook1")->currentIndex();
    s.ToggleDown = In<QPushButton>(w, "SB_details")->isChecked();
    s.MenuChecked = w->findChild<QAction*>(QStringLiteral("Szczegy1"))->isChecked();
    s.Focus = QApplication::focusWidget();
    return s;
}

// Shows the error through the port and closes the window with "Ok" after action has run in it.
TShown Show(const EFbError& error, const std::string& sql = {}, const TFbXSQLDA* params = nullptr,
            const std::function<void(QWidget*)>& action = {}, TFbCustomDatabase* database = nullptr) {
    TQtUserInterface ui;
    TShown shown;
    WhenModal([&](QWidget* w) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        shown = ReadShown(w);
        if (action)
            action(w);
        In<QPushButton>(w, "BBok")->click();
    });
    ShowIbErrorWnd(error, "DB1", "TkwSQL", database, sql, params);
    return shown;
}

QStringList DetailLines(const TShown& s) {
    return s.Details.split(u'\n');
}

TEST(IbErrorWnd, DesignAtNinetySixDpi) {
    TfIbErrorWnd& w = TfIbErrorWnd::Instance();
    EXPECT_EQ(w.windowTitle(), "Informacja z bazy danych");
    EXPECT_EQ(w.size(), QSize(419, 157));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed size";
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(w.geometry().center().x() / 2, screen.center().x() / 2) << "centred";

    struct TPlace {
        const char* Name;
        QRect Geometry;
    };
    const TPlace places[] = {
        {"Panel1", {0, 0, 419, 121}},     {"Bevel1", {6, 6, 407, 109}}, {"Notebook1", {12, 11, 396, 99}},
        {"L_except", {49, 6, 341, 85}},   {"Image1", {6, 6, 32, 32}},   {"M_details", {0, 0, 396, 99}},
        {"SB_details", {5, 127, 63, 25}}, {"BBok", {262, 128, 75, 25}}, {"BBpomoc", {339, 128, 75, 25}},
        {"BBNie", {262, 128, 75, 25}},
    };
    for (const TPlace& p : places) {
        if (QWidget* c = In<QWidget>(&w, p.Name)) {
            EXPECT_EQ(c->geometry(), p.Geometry) << p.Name;
        }
    }

    auto* label = In<QLabel>(&w, "L_except");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->font().family(), "Arial");
    EXPECT_EQ(label->font().pixelSize(), 13);
    EXPECT_FALSE(In<QLabel>(&w, "Image1")->pixmap().isNull());
    auto* details = In<QPlainTextEdit>(&w, "M_details");
    EXPECT_TRUE(details->isReadOnly());
    EXPECT_EQ(details->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(details->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    auto* toggle = In<QPushButton>(&w, "SB_details");
    EXPECT_EQ(toggle->text(), "&Szczegóły");
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_EQ(toggle->focusPolicy(), Qt::NoFocus);
    auto* ok = In<TBitBtnKom>(&w, "BBok");
    EXPECT_EQ(ok->text(), "Ok");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->font().pixelSize(), 12);
    EXPECT_EQ(In<TBitBtnKom>(&w, "BBpomoc")->text(), "Pomoc");
    EXPECT_TRUE(In<TBitBtnKom>(&w, "BBNie")->isHidden());
    auto* menuItem = w.findChild<QAction*>(QStringLiteral("Szczegy1"));
    ASSERT_NE(menuItem, nullptr);
    EXPECT_EQ(menuItem->text(), "&Szczegóły");
    EXPECT_EQ(menuItem->shortcut(), QKeySequence(Qt::ALT | Qt::Key_S));
    EXPECT_EQ(&TfIbErrorWnd::Instance(), &w) << "one window for the process";
}

TEST(IbErrorWnd, MessageAndFirstDetailLines) {
    const TShown s = Show(MakeError(335544466, kFb3ForeignKeyMessage, -530));
    EXPECT_EQ(s.Caption, "Informacja z bazy danych");
    EXPECT_EQ(s.Message, "Nie można usunąć kraju ponieważ są adresy które z niego korzystają.");
    EXPECT_EQ(s.Page, 0);
    EXPECT_EQ(s.Focus, In<QWidget>(s.Window, "BBok")) << "Enter closes the window";
    EXPECT_EQ(DetailLines(s),
              (QStringList{"Kod wyjątku : 335544466", "Kod SQL : -530", "Baza danych :DB1", "Obiekt :TkwSQL",
                           "", "Treść : Violation of FOREIGN KEY constraint \"\".",
                           "Violation of FOREIGN KEY constraint \"FK_ADRES_KRAJADR_KRAJ\" on table "
                           "\"ADRES\".",
                           "Foreign key references are present for the record.",
                           "Problematic key value is (\"ID\" = 1)."}));
}

TEST(IbErrorWnd, DetailsEndByWhatWasGiven) {
    TFbQuery q;
    q.SetSQLText("update KRAJ set NAZWA = :NAZWA where ID = :ID or KOD = :NAZWA");
    TFbXSQLDA& params = q.Params();
    q.ParamByName("NAZWA").SetAsString("Żółta <łąka>");
    q.ParamByName("ID").SetAsInteger(7);
    TFbQuery none;
    none.SetSQLText("delete from KRAJ");

    const EFbLibraryError e = MakeError(335544336, "Deadlock.\r\n", -913);
    const QString head = "Treść : Deadlock.";
    EXPECT_EQ(DetailLines(Show(e, "", &params)).last(), head) << "no statement: nothing after the message";
    EXPECT_EQ(DetailLines(Show(e, "delete from KRAJ", &none.Params())).mid(5),
              (QStringList{head, "", "", "", "Skrypt:", "delete from KRAJ"}));
    EXPECT_EQ(DetailLines(Show(e, "update KRAJ\r\nset NAZWA = :NAZWA", &params)).mid(5),
              (QStringList{head, "", "", "", "Skrypt:", "update KRAJ", "set NAZWA = :NAZWA", "",
                           "Parametry:", "NAZWA: Żółta <łąka>", "ID: 7", "NAZWA: Żółta <łąka>"}));
}

// A failed attachment (no statement) gets the diagnosis under the server's message; a statement's
// error of the same code does not, so no probe runs for it.
TEST(IbErrorWnd, DetailsOfAFailedAttachmentSayWhatIsWrong) {
    const EFbLibraryError e =
        MakeError(335544721, "Unable to complete network request to host \"nosuchhost.invalid\".\r\n", -902);
    auto details = [&](const std::string& sql) {
        TQtUserInterface ui;
        QStringList lines;
        WhenModal([&](QWidget* w) {
            lines = In<QPlainTextEdit>(w, "M_details")->toPlainText().split(u'\n');
            In<QPushButton>(w, "BBok")->click();
        });
        ShowIbErrorWnd(e, "nosuchhost.invalid:/dane/systemkw.gdb", "", nullptr, sql, nullptr);
        return lines;
    };
    const QStringList attach = details("");
    ASSERT_GE(attach.size(), 3);
    EXPECT_EQ(attach.mid(5, 1), QStringList{"Treść : Unable to complete network request to host \"nosuchhost.invalid\"."});
    EXPECT_EQ(attach.mid(attach.size() - 2),
              (QStringList{"", "Przyczyna : Nazwa serwera „nosuchhost.invalid” nie wskazuje żadnego adresu: popraw "
                               "nazwę serwera w ustawieniach albo wpisz ją do DNS lub do /etc/hosts."}));
    EXPECT_FALSE(details("select 1 from RDB$DATABASE").join(u'\n').contains("Przyczyna"));
}

TEST(IbErrorWnd, ToggleMenuItemAndAltSStayInStep) {
    auto inStep = [](QWidget* w) {
        const bool down = In<QPushButton>(w, "SB_details")->isChecked();
        EXPECT_EQ(w->findChild<QAction*>(QStringLiteral("Szczegy1"))->isChecked(), down);
        EXPECT_EQ(In<QStackedWidget>(w, "Notebook1")->currentIndex(), down ? 1 : 0);
        return down;
    };
    std::vector<bool> states;
    Show(MakeError(335544336, "Deadlock.\r\n"), {}, nullptr, [&](QWidget* w) {
        auto* toggle = In<QPushButton>(w, "SB_details");
        auto* item = w->findChild<QAction*>(QStringLiteral("Szczegy1"));
        toggle->click();
        states.push_back(inStep(w));
        QTest::keyClick(w, Qt::Key_S, Qt::AltModifier);
        states.push_back(inStep(w));
        QTest::keyClick(w, Qt::Key_S, Qt::AltModifier);
        states.push_back(inStep(w));
        item->trigger();
        states.push_back(inStep(w));
        toggle->click();
        states.push_back(inStep(w));
        SaveShot(w, "IbErrorWnd-details-short");
    });
    EXPECT_EQ(states, (std::vector<bool>{true, false, true, false, true}));
}

TEST(IbErrorWnd, EveryShowingOpensOnTheMessagePageOfTheSameWindow) {
    QWidget* first = nullptr;
    const TShown a = Show(MakeError(335544336, "Deadlock.\r\n"), {}, nullptr, [&](QWidget* w) {
        first = w;
        In<QPushButton>(w, "SB_details")->click();
    });
    const TShown b = Show(MakeError(335544345, "Lock conflict.\r\n"));
    EXPECT_EQ(b.Window, first);
    EXPECT_EQ(b.Page, 0);
    EXPECT_FALSE(b.ToggleDown);
    EXPECT_FALSE(b.MenuChecked);
    EXPECT_EQ(b.Message, "Blokada obiektu przez innego użytkownika w transakcji typu no wait");
    EXPECT_EQ(a.Message, "Zakleszczenie");
}

TEST(IbErrorWnd, EscDoesNotCloseEnterDoes) {
    TQtUserInterface ui;
    bool stillOpen = false;
    WhenModal([&](QWidget* w) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_Escape);
        stillOpen = w->isVisible();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w, Qt::Key_Return);
    });
    ShowIbErrorWnd(MakeError(335544336, "Deadlock.\r\n"), "", "", nullptr, "", nullptr);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(TfIbErrorWnd::Instance().isVisible());
}

TEST(IbErrorWnd, OutsideTextIsPlainAndTheDetailsCanBeCopied) {
    const char* message =
        "Exception .\r\nException 3.\r\nX.\r\n<b>Zły</b> &amp; stan.\r\nAt procedure 'P'.\r\n";
    QString copied;
    const TShown s = Show(MakeError(335544517, message), {}, nullptr, [&](QWidget* w) {
        In<QPushButton>(w, "SB_details")->click();
        auto* details = In<QPlainTextEdit>(w, "M_details");
        details->setFocus();
        QTest::keyClick(details, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(details, Qt::Key_C, Qt::ControlModifier);
        copied = QApplication::clipboard()->text();
    });
    EXPECT_EQ(s.Message, "<b>Zły</b> &amp; stan.");
    EXPECT_EQ(copied, s.Details);
    EXPECT_TRUE(copied.contains("<b>Zły</b> &amp; stan."));
}

TEST(IbErrorWnd, AFailingTranslationShowsNoWindow) {
    class TFailingDatabase : public TFbDatabase, public IExceptionNameSource {
        std::string GetExceptionName(int) override { throw std::runtime_error("lookup failed"); }
    } db;
    TQtUserInterface ui;
    EXPECT_THROW(ShowIbErrorWnd(MakeError(335544517, "Exception .\r\nException 3.\r\n"), "DB1", "TkwSQL", &db,
                                "", nullptr),
                 std::runtime_error);
    EXPECT_FALSE(TfIbErrorWnd::Instance().isVisible());
}

TEST(IbErrorWnd, LongPolishServerMessage) {
    const char* message =
        "Q1:\r\nException .\r\nException 7.\r\nSPRAWDZ_STAN_MAGAZYNU.\r\nNie można zaksięgować dokumentu "
        "rozchodu, ponieważ na magazynie głównym brakuje towaru: żółć, źdźbło, gęś i łódź. Sprawdź stany "
        "magazynowe, popraw ilości w pozycjach dokumentu i spróbuj ponownie; w razie wątpliwości zwróć się "
        "do "
        "kierownika magazynu.\r\nAt procedure 'KSIEGUJ_ROZCHOD' line: 12, col: 5.\r\n";
    const TShown s = Show(MakeError(335544517, message, -836), "execute procedure KSIEGUJ_ROZCHOD", nullptr,
                          [](QWidget* w) {
                              SaveShot(w, "IbErrorWnd-message");
                              In<QPushButton>(w, "SB_details")->click();
                              SaveShot(w, "IbErrorWnd-details");
                          });
    EXPECT_TRUE(s.Message.startsWith("Nie można zaksięgować dokumentu rozchodu")) << s.Message.toStdString();
}

} // namespace
