#include "ui/QtUserInterface.h"
#include "core/Exception.h"

#include "FakeUi.h"
#include "QtTestUtil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

namespace {

TEST(QtUserInterface, InstallsItselfAndPutsBackThePrevious) {
    TFakeUi fake;
    {
        TQtUserInterface ui;
        EXPECT_EQ(&UserInterface("test"), &ui);
    }
    EXPECT_EQ(&UserInterface("test"), &fake);
}

TEST(QtUserInterface, ErrorBoxHasTheTitleThePlainTextAndOneOk) {
    TQtUserInterface ui;
    QString title, text;
    Qt::TextFormat format = Qt::AutoText;
    int buttons = 0;
    WhenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    ShowErrorBox("<b>Brak pliku</b> baza.set");
    EXPECT_EQ(title, QApplication::applicationDisplayName());
    EXPECT_EQ(text, "<b>Brak pliku</b> baza.set");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(buttons, 1);
}

TEST(QtUserInterface, SelDirNeedsAChooser) {
    TQtUserInterface ui;
    SetSelDirHook(nullptr);
    try {
        SelDir("/tmp", false, "Katalog", "Wybierz");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "directory chooser not available");
    }
    SetSelDirHook([](const std::string& k, bool tworz, const std::string& e, const std::string& t) {
        return k + "|" + (tworz ? "1" : "0") + "|" + e + "|" + t;
    });
    EXPECT_EQ(SelDir("/tmp", true, "Katalog", "Wybierz"), "/tmp|1|Katalog|Wybierz");
    SetSelDirHook(nullptr);
}

TEST(QtUserInterface, CursorKinds) {
    TQtUserInterface ui;
    ui.SetCursor(TCursorKind::crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(ui.Cursor(), TCursorKind::crHourGlass);
    ui.SetCursor(TCursorKind::crAppStart);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    ui.SetCursor(TCursorKind::crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ui.Cursor(), TCursorKind::crDefault);
}

TEST(RunGuarded, AbortIsSilentOtherErrorsGoToTheErrorBox) {
    TFakeUi fake;
    RunGuarded([] { Abort(); });
    EXPECT_TRUE(fake.ErrorBoxes.empty());
    RunGuarded([] { throw Exception("Nie można otworzyć pliku."); });
    RunGuarded([] { throw std::runtime_error("boom"); });
    EXPECT_EQ(fake.ErrorBoxes, (std::vector<std::string>{"Nie można otworzyć pliku.", "boom"}));
    bool ran = false;
    RunGuarded([&] { ran = true; });
    EXPECT_TRUE(ran);
}

} // namespace
