#include "ui/SlownikBtn.h"
#include "ui/Fonts.h"
#include "ui/XpTheme.h"

#include "QtTestUtil.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Records the events a picker runs, in order.
struct TLog {
    std::vector<std::string> Calls;
    void Attach(TSlownikBtn& b) {
        auto rec = [this](const char* name) { return [this, name](QObject*) { Calls.emplace_back(name); }; };
        b.SetOnClick(rec("OnClick"));
        b.SetOnDictionaryBtnClick(rec("Dictionary"));
        b.SetOnClearBtnClick(rec("Clear"));
        b.SetOnShowBtnClick(rec("Show"));
        b.SetOnSetDefaultBtnClick(rec("SetDefault"));
        b.SetOnCustomBtnClick(rec("Custom"));
        b.SetOnF3BtnClick(rec("F3"));
        b.SetOnF5BtnClick(rec("F5"));
        b.SetOnCtrlPBtnClick(rec("CtrlP"));
    }
};

using Calls = std::vector<std::string>;

TEST(TSlownikBtn, DefaultButtonRunsItsActionOnClickAndF6) {
    TSlownikBtn b;
    int clicks = 0;
    b.SetOnClick([&](QObject* sender) {
        EXPECT_EQ(sender, &b);
        ++clicks;
    });
    EXPECT_EQ(b.SlowButtons(), TSlowBtns{btDictionary});
    EXPECT_EQ(b.Content()->toolTip(), "Wybierz  (F6)");
    EXPECT_EQ(b.toolTip(), "");
    QTest::mouseClick(b.Content(), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b.Popup()->isVisible());
    b.ProcessKeyDown(Qt::Key_F6, Qt::NoModifier);
    EXPECT_EQ(clicks, 2);
    b.ProcessKeyDown(Qt::Key_F6, Qt::ShiftModifier);
    b.ProcessKeyDown(Qt::Key_F6, Qt::ControlModifier);
    b.ProcessKeyDown(Qt::Key_F5, Qt::NoModifier);
    EXPECT_EQ(clicks, 2);
}

TEST(TSlownikBtn, DisabledDoesNothing) {
    TSlownikBtn b;
    int clicks = 0;
    b.SetOnClick([&](QObject*) { ++clicks; });
    b.SetEnabled(false);
    EXPECT_TRUE(b.isEnabled()); // the panel itself stays enabled
    EXPECT_FALSE(b.Content()->isEnabled());
    b.ProcessKeyDown(Qt::Key_F6, Qt::NoModifier);
    QTest::mouseClick(b.Content(), Qt::LeftButton);
    EXPECT_EQ(clicks, 0);
    b.SetEnabled(true);
    EXPECT_TRUE(b.Content()->isEnabled());
    b.SetDisabledButtons(TSlowBtns{btDictionary});
    EXPECT_FALSE(b.AnyButtonEnabled());
    EXPECT_FALSE(b.Content()->isEnabled());
    b.ProcessKeyDown(Qt::Key_F6, Qt::NoModifier);
    EXPECT_EQ(clicks, 0);
}

TEST(TSlownikBtn, SeveralActionsDropDownAMenu) {
    QWidget host;
    host.resize(200, 60);
    auto* b = new TSlownikBtn(&host);
    b->move(100, 10);
    host.show();
    TLog log;
    log.Attach(*b);
    b->SetSlowButtons(TSlowBtns{btDictionary, btClear});
    EXPECT_EQ(b->Content()->toolTip(), "");
    QTest::mouseClick(b->Content(), Qt::LeftButton);
    EXPECT_TRUE(log.Calls.empty());
    ASSERT_TRUE(b->Popup()->isVisible());
    QStringList shown;
    for (QAction* a : b->Popup()->actions())
        if (a->isVisible())
            shown << a->text() + "/" + a->shortcut().toString();
    EXPECT_EQ(shown, QStringList({"Wybierz/F6", "Wyczyść/Del"}));
    // Top-left corner at the arrow's right edge, level with its top when themed.
    const QPoint corner = b->mapToGlobal(QPoint(b->Content()->geometry().right() + 1, b->Content()->y()));
    EXPECT_EQ(b->Popup()->pos(), corner);
    b->PopItem(btClear)->trigger();
    EXPECT_EQ(log.Calls, (Calls{"Clear", "OnClick"}));
    b->Popup()->hide();
}

TEST(TSlownikBtn, ShortcutsRunTheOfferedEnabledActions) {
    struct Row {
        const char* Name;
        TSlowBtns Offered;
        bool ReadOnly;
        int Key;
        Qt::KeyboardModifiers Mods;
        Calls Expected;
    };
    const Row rows[] = {
        {"F6 dictionary",
         {btDictionary, btClear},
         false,
         Qt::Key_F6,
         Qt::NoModifier,
         {"Dictionary", "OnClick"}},
        {"Shift+F6 is not F6", {btDictionary, btClear}, false, Qt::Key_F6, Qt::ShiftModifier, {}},
        {"Del clears", {btDictionary, btClear}, false, Qt::Key_Delete, Qt::NoModifier, {"Clear", "OnClick"}},
        {"F2 not offered", {btDictionary, btClear}, false, Qt::Key_F2, Qt::NoModifier, {}},
        {"F7 default value", {btSetDefault}, false, Qt::Key_F7, Qt::NoModifier, {"SetDefault", "OnClick"}},
        {"F3 adds", {btF3}, false, Qt::Key_F3, Qt::NoModifier, {"F3", "OnClick"}},
        {"F5 runs both in order",
         {btF5, btCtrlP},
         false,
         Qt::Key_F5,
         Qt::NoModifier,
         {"F5", "OnClick", "CtrlP", "OnClick"}},
        {"Ctrl+P is not the shortcut", {btF5, btCtrlP}, false, Qt::Key_P, Qt::ControlModifier, {}},
        {"read-only: Del does nothing", {btClear, btShow}, true, Qt::Key_Delete, Qt::NoModifier, {}},
        {"read-only: F2 still shows",
         {btClear, btShow},
         true,
         Qt::Key_F2,
         Qt::NoModifier,
         {"Show", "OnClick"}},
        {"keypad flag is ignored",
         {btDictionary},
         false,
         Qt::Key_F6,
         Qt::KeypadModifier,
         {"Dictionary", "OnClick"}},
        {"custom shortcut", {btCustom}, false, Qt::Key_K, Qt::ControlModifier, {"Custom", "OnClick"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Name);
        TSlownikBtn b;
        TLog log;
        log.Attach(b);
        b.SetCustomItemCaption(QStringLiteral("Moje"));
        b.SetCustomItemShortCut(QKeySequence(Qt::CTRL | Qt::Key_K));
        b.SetSlowButtons(r.Offered);
        b.SetReadOnly(r.ReadOnly);
        b.ProcessKeyDown(r.Key, r.Mods);
        EXPECT_EQ(log.Calls, r.Expected);
    }
}

TEST(TSlownikBtn, ReadOnlyLeavesOnlyShowEnabled) {
    TSlownikBtn b;
    b.SetSlowButtons(TSlowBtns{btClear, btShow});
    b.SetReadOnly(true);
    EXPECT_FALSE(b.PopItem(btClear)->isEnabled());
    EXPECT_TRUE(b.PopItem(btShow)->isEnabled());
    EXPECT_TRUE(b.Content()->isEnabled());
    EXPECT_TRUE(b.PopItem(btShow)->isVisible());
    EXPECT_FALSE(b.PopItem(btDictionary)->isVisible());
    b.SetCustomItemCaption(QStringLiteral("Moje"));
    EXPECT_EQ(b.PopItem(btCustom)->text(), "Moje");
}

TEST(TSlownikBtn, SizeFromTheFontAndTheThemedAndClassicLayouts) {
    const QString style = QApplication::style()->name();
    const int h = QFontMetrics(DesignFont(QStringLiteral("Arial"), 9)).height() + 8;
    for (const char* styleName : {"Fusion", "Windows"}) {
        SCOPED_TRACE(styleName);
        QApplication::setStyle(QString::fromLatin1(styleName));
        const bool themed = QString(styleName) == "Fusion";
        QWidget host;
        host.setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8));
        host.resize(190, h + 16);
        host.setAutoFillBackground(true);
        auto* edit = new QLineEdit(&host);
        edit->setFont(DesignFont(QStringLiteral("Arial"), 9));
        edit->setGeometry(8, 8, 152, h);
        edit->setText(QStringLiteral("/srv/firebird/bazy"));
        auto* b = new TSlownikBtn(&host);
        b->move(160, 8);
        auto* off = new TSlownikBtn(&host);
        off->move(184, 8);
        off->SetEnabled(false);
        host.resize(212, h + 16);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        EXPECT_EQ(b->WinXpThemed(), themed);
        EXPECT_EQ(b->HeightFromFont(), h);
        EXPECT_EQ(b->size(), QSize(20, h));
        if (themed) {
            EXPECT_EQ(b->frameStyle(), int(QFrame::NoFrame));
            EXPECT_TRUE(b->Content()->Flat());
            EXPECT_EQ(b->Content()->geometry(), QRect(2, 0, 17, h - 1));
        } else {
            EXPECT_EQ(b->frameWidth(), 2);
            EXPECT_FALSE(b->Content()->Flat());
            EXPECT_EQ(b->Content()->geometry(), QRect(2, 2, 16, h - 4));
        }
        SaveShot(&host, QStringLiteral("SlownikBtn_%1").arg(themed ? "themed" : "classic"));
        if (themed) {
            // The outline left of the arrow is drawn in the theme's border colour.
            const QImage panel = b->grab().toImage();
            EXPECT_EQ(QColor(panel.pixel(1, h / 2)), Txptheme::BorderColor());
        }
        // A picture of the arrow alone proves that something right-pointing is drawn: the right
        // half of the arrow's face holds the tip, darker than the face.
        const QImage img = b->Content()->grab().toImage();
        int dark = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 90)
                    ++dark;
        EXPECT_GT(dark, 3);
    }
    QApplication::setStyle(style);
}

TEST(TSlownikBtn, FontChangeRecomputesTheHeight) {
    TSlownikBtn b;
    QFont big = DesignFont(QStringLiteral("Arial"), 14);
    b.setFont(big);
    EXPECT_EQ(b.HeightFromFont(), QFontMetrics(big).height() + 8);
    EXPECT_EQ(b.height(), b.HeightFromFont());
    EXPECT_EQ(b.width(), 20);
}

} // namespace
