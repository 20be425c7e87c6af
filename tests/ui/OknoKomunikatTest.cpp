#include "ui/OknoKomunikat.h"
#include "ui/BitBtnKom.h"
#include "ui/Fonts.h"
#include "ui/QtUserInterface.h"

#include "QtTestUtil.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

using Buttons = std::vector<TKomButtonType>;

std::unique_ptr<TOknoKomunikat> Okno(const std::string& tresc, const Buttons& przyciski,
                                     TKomButtonType domyslny, TKomRodzajOkna rodzaj,
                                     const std::string& opisy = {}, const std::string& potwierdzenie = {},
                                     int czas = 0, const TArrayKDodIkony* ikony = nullptr, int skala = 100) {
    return std::make_unique<TOknoKomunikat>(tresc, przyciski, domyslny, rodzaj, opisy, potwierdzenie, czas,
                                            ikony, skala);
}

std::vector<TBitBtnKom*> ButtonsOf(QWidget* w) {
    auto list = w->findChildren<TBitBtnKom*>();
    std::vector<TBitBtnKom*> v(list.begin(), list.end());
    std::sort(v.begin(), v.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    return v;
}

int ScreenW() {
    return QGuiApplication::primaryScreen()->geometry().width();
}
int ScreenH() {
    return QGuiApplication::primaryScreen()->geometry().height();
}

int LineH() {
    QFont f = DesignFont(QStringLiteral("MS Sans Serif"), 8);
    f.setBold(true);
    return QFontMetrics(f).height();
}

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

TEST(OknoKomunikat, BladOkWithAShortText) {
    auto w = Okno("Nie można zapisać pliku.", {kOK}, kOK, kBlad);
    EXPECT_EQ(w->windowTitle(), "Błąd");
    const auto b = ButtonsOf(w.get());
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0]->text(), "&OK");
    EXPECT_EQ(b[0]->Kind(), bkOK);
    EXPECT_EQ(b[0]->size(), QSize(65, 25));
    EXPECT_EQ(b[0]->y(), 14);
    EXPECT_EQ(w->TextBox()->width(), 245);
    EXPECT_EQ(w->TextBox()->pos(), QPoint(55, 10));
    EXPECT_EQ(w->width(), 315);
    EXPECT_EQ(Child<QWidget>(w.get(), "PanelTresc")->height(), 50);
    EXPECT_EQ(w->height(), 50 + 45);
    EXPECT_FALSE(w->CheckBoxShown());
    EXPECT_TRUE(w->Potwierdzenie());
    EXPECT_EQ(w->DefaultButton(), b[0]);
    EXPECT_EQ(w->TextBox()->palette().color(QPalette::Base), w->palette().color(QPalette::Button));
    // The button row is centred in the button area.
    EXPECT_EQ(Child<QWidget>(w.get(), "RzadPrzyciskow")->geometry(), QRect((315 - 65) / 2, 0, 65, 45));

    const QStyle* st = w->style();
    const int side = st->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, w.get());
    const QImage expected = st->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, w.get())
                                .pixmap(side, side)
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
    const auto* icon = w->findChild<QLabel*>(QStringLiteral("Ikona"));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32), expected);
    EXPECT_EQ(icon->pos(), QPoint(10, 10));
    w->show();
    SaveShot(w.get(), QStringLiteral("BladOk"));
}

TEST(OknoKomunikat, KindsGiveCaptions) {
    const std::pair<TKomRodzajOkna, const char*> kinds[] = {
        {kPytanie, "Pytanie"}, {kBlad, "Błąd"}, {kUwaga, "Uwaga"}, {kInformacja, "Informacja"}};
    for (const auto& [kind, caption] : kinds) {
        auto w = Okno("x", {kOK}, kOK, kind);
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(caption));
        EXPECT_FALSE(w->windowIcon().isNull());
    }
}

TEST(OknoKomunikat, ButtonTypesHaveTheirCaptionsGlyphsAndWidths) {
    struct Row {
        TKomButtonType Type;
        const char* Caption;
        int Width;
        bool HasGlyph;
    };
    const Row rows[] = {
        {kTak, "&Tak", 65, true},
        {kNie, "&Nie", 65, true},
        {kAnuluj, "&Anuluj", 70, true},
        {kOK, "&OK", 65, true},
        {kPomoc, "&Pomoc", 70, true},
        {kUsun, "&Usuń", 65, true},
        {kTakWsz, "T&ak na wszystkie", 130, true},
        {kNieWsz, "Nie na &wszystkie", 130, true},
        {kAnulujWsz, "A&nuluj wszystko", 130, true},
        {kArchiw, "A&rchiwizuj", 100, true},
    };
    Buttons all;
    for (const Row& r : rows)
        all.push_back(r.Type);
    auto w = Okno("x", all, kOK, kPytanie);
    const auto b = ButtonsOf(w.get());
    ASSERT_EQ(b.size(), std::size(rows));
    int x = 0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        SCOPED_TRACE(rows[i].Caption);
        EXPECT_EQ(b[i]->text(), QString::fromUtf8(rows[i].Caption));
        EXPECT_EQ(b[i]->width(), rows[i].Width);
        EXPECT_EQ(b[i]->x(), x);
        EXPECT_EQ(b[i]->Tag(), rows[i].Type);
        EXPECT_EQ(b[i]->Glyph().isNull(), !rows[i].HasGlyph);
        EXPECT_FALSE(b[i]->isDefault());
        x += rows[i].Width + 10;
    }
    // Row width: the buttons plus 10 between neighbours.
    EXPECT_EQ(Child<QWidget>(w.get(), "RzadPrzyciskow")->width(), x - 10);
    EXPECT_EQ(w->TextBox()->width(), x - 10);
}

TEST(OknoKomunikat, ScaleDoublesOnlyTheButtonSizes) {
    const TArrayKDodIkony ikony{kiOk};
    auto normal = Okno("Tekst", {kTak, kDod1}, kTak, kPytanie, "Więcej", "Potwierdzam", 0, &ikony, 100);
    auto big = Okno("Tekst", {kTak, kDod1}, kTak, kPytanie, "Więcej", "Potwierdzam", 0, &ikony, 200);
    const auto bn = ButtonsOf(normal.get());
    const auto bb = ButtonsOf(big.get());
    ASSERT_EQ(bb.size(), 2u);
    EXPECT_EQ(bb[0]->size(), QSize(130, 50));
    EXPECT_EQ(bn[0]->size(), QSize(65, 25));
    EXPECT_EQ(bb[1]->width(), bn[1]->width()); // kDod widths are measured, never scaled
    EXPECT_EQ(bb[1]->height(), 50);
    EXPECT_EQ(bb[0]->y(), 14);
    EXPECT_EQ(Child<QWidget>(big.get(), "PanelPrzyciski")->height(), 90);
    EXPECT_EQ(Child<QWidget>(big.get(), "RzadPrzyciskow")->height(), 90);
    EXPECT_EQ(Child<QWidget>(normal.get(), "PanelPrzyciski")->height(), 45);
    EXPECT_EQ(Child<QWidget>(big.get(), "PanelTresc")->height(),
              Child<QWidget>(normal.get(), "PanelTresc")->height());
    EXPECT_EQ(Child<QWidget>(big.get(), "PanelPotwierdzenie")->height(), 24);
    EXPECT_EQ(Child<QWidget>(big.get(), "wCheckBox")->pos(), QPoint(55, 3));
    EXPECT_EQ(big->height(), normal->height() + 45);
}

TEST(OknoKomunikat, ScaleOfZeroOrLessIsNormalSize) {
    // Zero-sized buttons would leave a window that only a button can close without a button.
    for (int skala : {0, -50}) {
        auto w = Okno("x", {kOK}, kOK, kBlad, "", "", 0, nullptr, skala);
        EXPECT_EQ(ButtonsOf(w.get())[0]->size(), QSize(65, 25));
        EXPECT_EQ(Child<QWidget>(w.get(), "PanelPrzyciski")->height(), 45);
    }
}

TEST(OknoKomunikat, CaretGivesTwoLines) {
    auto one = Okno("Jedna linia", {kOK}, kOK, kInformacja);
    auto two = Okno("Pierwsza^Druga", {kOK}, kOK, kInformacja);
    EXPECT_EQ(one->TextBox()->height(), LineH() * 2);
    EXPECT_EQ(two->TextBox()->height(), LineH() * 3);
    EXPECT_EQ(two->TextBox()->document()->blockCount(), 2);
}

TEST(OknoKomunikat, EveryLineOfAManyLineTextIsShown) {
    auto w = Okno(Repeat("Wiersz komunikatu o błędzie.^", 40), {kOK}, kOK, kBlad);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    EXPECT_GE(w->TextBox()->height(), w->TextBox()->document()->size().height());
    EXPECT_EQ(w->TextBox()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(w->TextBox()->verticalScrollBar()->value(), 0);
}

TEST(OknoKomunikat, WidestLineDecidesTheWidth) {
    const QFont plain = DesignFont(QStringLiteral("MS Sans Serif"), 8);
    QFont bold = plain;
    bold.setBold(true);
    auto width = [](const QFont& f, const QString& s) {
        int w = 0;
        for (QChar c : s)
            w += QFontMetrics(f).horizontalAdvance(c);
        return w;
    };
    const QString ws(30, u'W');
    const QString is(40, u'i');
    struct Row {
        const char* Name;
        std::string Text;
        int M;
    };
    const Row rows[] = {
        {"plain line", ws.toStdString(), width(plain, ws) + 20},
        {"bold line measured in bold", "<B>" + ws.toStdString() + "</B>", width(bold, ws) + 20},
        // 40 characters lose against 30 + 2 tabs (30 + 2 + 16): the tab line is measured.
        {"two tabs outweigh a longer line", is.toStdString() + "^" + ws.toStdString() + "\t\t",
         width(plain, ws) + 80 + 20},
        {"three tabs", "a\t\t\t" + ws.left(20).toStdString(),
         width(plain, QStringLiteral("a") + ws.left(20)) + 120 + 20},
        {"one tab", ws.toStdString() + "\t", width(plain, ws) + 40 + 20},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Name);
        ASSERT_GT(r.M, 235);
        auto w = Okno(r.Text, {kOK}, kOK, kInformacja);
        EXPECT_EQ(w->TextBox()->width(), r.M + 5);
        EXPECT_EQ(w->width(), 55 + r.M + 5 + 15);
    }
}

TEST(OknoKomunikat, LongLineWrapsWithinTheScreenMargin) {
    const std::string longLine = Repeat("Bardzo długi tekst komunikatu bez końca linii. ", 40);
    const double factors[] = {0.2, 0.18, 0.16, 0.14, 0.14};
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        Buttons b(static_cast<std::size_t>(n), kNie);
        b[0] = kOK;
        auto w = Okno(longLine, b, kOK, kInformacja);
        const int m = static_cast<int>(std::nearbyint(ScreenW() * factors[n - 1]));
        EXPECT_EQ(w->TextBox()->width(), ScreenW() - 2 * m - 55 - 10);
        EXPECT_EQ(w->width(), ScreenW() - 2 * m + 5);
        EXPECT_GT(w->TextBox()->height(), LineH() * 4); // wrapped onto several lines
        if (n == 1) {
            w->show();
            SaveShot(w.get(), QStringLiteral("Inf_long_wrapped"));
        }
    }
}

TEST(OknoKomunikat, VeryLongInformationScrollsOthersDoNot) {
    const std::string text = Repeat("Wiersz informacji.^", 200);
    auto inf = Okno(text, {kOK}, kOK, kInformacja);
    EXPECT_EQ(inf->height(), ScreenH() - 100);
    EXPECT_EQ(inf->TextBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Child<QWidget>(inf.get(), "PanelTresc")->height(), ScreenH() - 100 - 45);
    EXPECT_EQ(inf->TextBox()->height(), ScreenH() - 100 - 45 - 10);
    EXPECT_EQ(Child<QWidget>(inf.get(), "PanelPrzyciski")->geometry().bottom(), inf->height() - 1);
    inf->show();
    SaveShot(inf.get(), QStringLiteral("Inf_very_long_scrolls"));

    auto blad = Okno(text, {kOK}, kOK, kBlad);
    EXPECT_GT(blad->height(), ScreenH() - 100);
    EXPECT_EQ(blad->TextBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    auto pyt = Okno(text, {kTak, kNie}, kTak, kPytanie);
    EXPECT_GT(pyt->height(), ScreenH() - 100);
}

TEST(OknoKomunikat, ExtraButtonsTakeCaptionsGlyphsAndMeasuredWidths) {
    const TArrayKDodIkony ikony{kiRetry, kiBrak};
    auto w = Okno("Co zrobić z plikiem?", {kDod1, kDod2, kDod3}, kDod1, kUwaga, "Ponów;Pomiń", "", 0, &ikony);
    const auto b = ButtonsOf(w.get());
    ASSERT_EQ(b.size(), 3u);
    const QFontMetrics fm(w->font());
    EXPECT_EQ(b[0]->text(), "Ponów");
    EXPECT_EQ(b[0]->Kind(), bkRetry);
    EXPECT_EQ(b[0]->width(), fm.horizontalAdvance(QStringLiteral("Ponów")) + b[0]->Glyph().width() + 10);
    EXPECT_EQ(b[0]->Glyph().width(), 36); // two images side by side
    EXPECT_EQ(b[1]->text(), "Pomiń");
    EXPECT_TRUE(b[1]->Glyph().isNull());
    EXPECT_EQ(b[1]->width(), fm.horizontalAdvance(QStringLiteral("Pomiń")) + 20);
    EXPECT_EQ(b[2]->text(), "");
    EXPECT_TRUE(b[2]->Glyph().isNull()); // no third icon
    EXPECT_EQ(b[2]->width(), 20);
    EXPECT_EQ(b[2]->Tag(), kDod3);
    EXPECT_EQ(w->DefaultButton(), b[0]);
    w->show();
    SaveShot(w.get(), QStringLiteral("KomNew_three_kDod"));

    auto wide = Okno("x", {kDod1}, kDod1, kUwaga, Repeat("Bardzo długi opis ", 30));
    EXPECT_EQ(ButtonsOf(wide.get())[0]->width(), 300);
}

TEST(OknoKomunikat, DefaultNotAmongTheButtonsAnswersTak) {
    auto w = Okno("x", {kOK, kNie}, kAnuluj, kPytanie);
    EXPECT_EQ(w->DefaultButton(), nullptr);
    EXPECT_EQ(w->Odpowiedz(), kTak);
}

// Clicks a caption's button and reports whether the window ended.
bool Press(TOknoKomunikat& w, const QString& caption) {
    for (TBitBtnKom* b : ButtonsOf(&w))
        if (b->text() == caption) {
            b->click();
            return w.result() == 7;
        }
    ADD_FAILURE() << "no button " << caption.toStdString();
    return false;
}

TEST(OknoKomunikat, ConfirmationRules) {
    {
        SCOPED_TRACE("Tak waits for the tick, Nie closes at once");
        auto w = Okno("Usunąć?", {kTak, kNie}, kNie, kPytanie, "", "Tak, usuń na pewno");
        EXPECT_TRUE(w->CheckBoxShown());
        EXPECT_EQ(w->CheckBox()->text(), "Tak, usuń na pewno");
        EXPECT_EQ(w->CheckBox()->width(), w->width() - 55);
        EXPECT_FALSE(Press(*w, "&Tak"));
        EXPECT_FALSE(Press(*w, "&Tak"));
        EXPECT_TRUE(Press(*w, "&Nie"));
        EXPECT_EQ(w->Odpowiedz(), kNie);
    }
    {
        SCOPED_TRACE("Tak after the tick");
        auto w = Okno("Usunąć?", {kTak, kNie}, kNie, kPytanie, "", "Na pewno");
        EXPECT_FALSE(Press(*w, "&Tak"));
        w->CheckBox()->click();
        EXPECT_TRUE(w->Potwierdzenie());
        EXPECT_TRUE(Press(*w, "&Tak"));
        EXPECT_EQ(w->Odpowiedz(), kTak);
    }
    struct Row {
        const char* Name;
        Buttons Przyciski;
        bool Tick;
        bool Shown;
        TKomButtonType Answer;
    };
    const Row rows[] = {
        {"single OK left empty", {kOK}, false, true, kOK},
        {"single OK ticked answers Tak", {kOK}, true, true, kTak},
        {"OK among others shows no box", {kOK, kAnuluj}, false, false, kOK},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Name);
        auto w = Okno("Przeczytaj", r.Przyciski, kOK, kInformacja, "", "Nie pokazuj więcej");
        EXPECT_EQ(w->CheckBoxShown(), r.Shown);
        EXPECT_EQ(Child<QWidget>(w.get(), "PanelPotwierdzenie")->isVisibleTo(w.get()), r.Shown);
        if (r.Tick)
            w->CheckBox()->click();
        EXPECT_TRUE(Press(*w, "&OK"));
        EXPECT_EQ(w->Odpowiedz(), r.Answer);
    }
    // The confirmation row adds its height only when shown.
    auto with = Okno("x", {kOK}, kOK, kInformacja, "", "Potwierdzam");
    auto without = Okno("x", {kOK}, kOK, kInformacja);
    EXPECT_EQ(with->height(), without->height() + 24);
}

TEST(OknoKomunikat, CountdownRunsDownToTheDefault) {
    auto w = Okno("Kontynuować?", {kTak, kNie}, kNie, kPytanie, "", "", 3);
    EXPECT_EQ(w->windowTitle(), "Pytanie 3s");
    auto* timer = w->findChild<QTimer*>(QStringLiteral("Timer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    w->show();
    EXPECT_TRUE(timer->isActive());
    SaveShot(w.get(), QStringLiteral("KomNew_countdown"));
    w->Timer();
    EXPECT_EQ(w->windowTitle(), "Pytanie 2s");
    w->Timer();
    EXPECT_EQ(w->windowTitle(), "Pytanie 1s");
    EXPECT_TRUE(w->isVisible());
    w->Timer();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), 7);
    EXPECT_EQ(w->Odpowiedz(), kNie);
    EXPECT_FALSE(timer->isActive());
}

TEST(OknoKomunikat, CountdownAnswersTheDefaultEvenAfterARefusedTak) {
    auto w = Okno("Usunąć?", {kTak, kNie}, kNie, kPytanie, "", "Na pewno", 1);
    EXPECT_FALSE(Press(*w, "&Tak"));
    w->Timer();
    EXPECT_EQ(w->result(), 7);
    EXPECT_EQ(w->Odpowiedz(), kNie);
}

TEST(OknoKomunikat, NoCountdownWithoutTime) {
    auto w = Okno("x", {kOK}, kOK, kInformacja, "", "", 0);
    EXPECT_EQ(w->windowTitle(), "Informacja");
    EXPECT_EQ(w->findChild<QTimer*>(QStringLiteral("Timer")), nullptr);
}

TEST(OknoKomunikat, RefusesToCloseUntilAButtonWasPressed) {
    auto w = Okno("Pytanie?", {kTak, kNie}, kTak, kPytanie);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->NacisnietoPrzycisk());
}

TEST(OknoKomunikat, KeyboardEnterTabAndAltLetter) {
    auto w = Okno("Zapisać zmiany?", {kTak, kNie, kAnuluj}, kNie, kPytanie, "", "Zapamiętaj");
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    const auto b = ButtonsOf(w.get());
    EXPECT_EQ(QApplication::focusWidget(), b[1]);

    // Enter in the text box moves to the default button without pressing it.
    w->TextBox()->setFocus();
    QTest::keyClick(w->TextBox(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), b[1]);
    EXPECT_TRUE(w->isVisible());

    // Tab walks the buttons and the check box, never the text box.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), b[2]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->CheckBox());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), b[0]);

    // Alt with the underlined letter presses that button.
    // (a mnemonic animates the click, which lands a moment later)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }, 2000));
    EXPECT_EQ(w->Odpowiedz(), kAnuluj);
}

TEST(OknoKomunikat, EnterOnAButtonPressesIt) {
    auto w = Okno("x", {kTak, kNie}, kTak, kPytanie);
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->Odpowiedz(), kNie);
}

TEST(OknoKomunikat, EmptyButtonListShowsNothing) {
    const auto before = QApplication::topLevelWidgets().size();
    EXPECT_EQ(TOknoKomunikat::KomNew("x", {}, kOK, kBlad, "", "", 0, nullptr, 100), kAnuluj);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
}

TEST(OknoKomunikat, OutsideTextIsNeverMarkup) {
    auto w = Okno("<script>x</script> &amp; <br>", {kDod1}, kDod1, kBlad, "<i>ok</i>", "");
    EXPECT_EQ(w->TextBox()->toPlainText(), "<script>x</script> &amp; <br>");
    EXPECT_EQ(ButtonsOf(w.get())[0]->text(), "<i>ok</i>");
}

// Through the installed port: the wrappers the program calls.
class KomNewPort : public ::testing::Test {
protected:
    TQtUserInterface ui;
};

TEST_F(KomNewPort, PytTNIsTrueOnlyForTak) {
    for (const char* caption : {"&Tak", "&Nie"}) {
        SCOPED_TRACE(caption);
        bool sawTitle = false;
        WhenModal([&](QWidget* w) {
            sawTitle = w->windowTitle() == "Pytanie";
            if (QString(caption) == "&Tak")
                SaveShot(w, QStringLiteral("PytTN"));
            for (TBitBtnKom* b : ButtonsOf(w))
                if (b->text() == caption)
                    b->click();
        });
        EXPECT_EQ(PytTN("Serwer bazy danych nie jest uruchomiony.^Czy uruchomić?"),
                  QString(caption) == "&Tak");
        EXPECT_TRUE(sawTitle);
    }
}

TEST_F(KomNewPort, BladOkAndInfShowOneOkButton) {
    QString title;
    WhenModal([&](QWidget* w) {
        title = w->windowTitle();
        ButtonsOf(w).at(0)->click();
    });
    BladOk("Błąd podczas łączenia z bazą danych.");
    EXPECT_EQ(title, "Błąd");
    WhenModal([&](QWidget* w) {
        title = w->windowTitle();
        ASSERT_NE(w->focusWidget(), nullptr);
        QTest::keyClick(w->focusWidget(), Qt::Key_Space); // Space presses the focused OK
    });
    Inf("Ustanowiono połączenie z bazą danych.");
    EXPECT_EQ(title, "Informacja");
}

TEST_F(KomNewPort, CountdownInTheModalLoop) {
    QStringList titles;
    WhenModal([&](QWidget* w) {
        auto* okno = qobject_cast<TOknoKomunikat*>(w);
        ASSERT_NE(okno, nullptr);
        for (int i = 0; i < 3; ++i) {
            titles << okno->windowTitle();
            okno->Timer();
        }
    });
    EXPECT_EQ(KomNew("Kontynuować?", {kTak, kNie}, kNie, kPytanie, "", "", 3), kNie);
    EXPECT_EQ(titles, QStringList({"Pytanie 3s", "Pytanie 2s", "Pytanie 1s"}));
}

} // namespace
