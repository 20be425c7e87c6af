#include "ui/XpTheme.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs a test body under a given style and application palette, and puts both back.
class StyleGuard {
public:
    StyleGuard() : FStyle(QApplication::style()->name()), FPalette(QApplication::palette()) {}
    ~StyleGuard() {
        QApplication::setStyle(FStyle);
        QApplication::setPalette(FPalette);
    }

private:
    QString FStyle;
    QPalette FPalette;
};

void SetCaptionColours(QColor caption, QColor text) {
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, caption);
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
    QApplication::setPalette(p);
}

TEST(Txptheme, ManagerIsCreatedNamedAndFreed) {
    Txptheme::CreateMgr<TxpthemePCB>();
    ASSERT_NE(Txptheme::Mgr(), nullptr);
    EXPECT_NE(dynamic_cast<TxpthemePCB*>(Txptheme::Mgr()), nullptr);
    EXPECT_EQ(Txptheme::Mgr()->Name(), "TThemeManagerDB_globalInstance");
    Txptheme::FreeMgr();
    EXPECT_EQ(Txptheme::Mgr(), nullptr);
}

TEST(Txptheme, FailedCreationLeavesNoManager) {
    Txptheme::CreateMgr<TxpthemePCB>();
    EXPECT_THROW(Txptheme::CreateMgrWith([]() -> Txptheme* { throw std::runtime_error("no"); }),
                 std::runtime_error);
    EXPECT_EQ(Txptheme::Mgr(), nullptr);
}

TEST(Txptheme, ClassicStyleMeansNoThemesAndABlackBorder) {
    StyleGuard guard;
    QApplication::setStyle(QStringLiteral("Fusion"));
    EXPECT_TRUE(Txptheme::ThemesEnabled());
    QApplication::setStyle(QStringLiteral("Windows"));
    EXPECT_FALSE(Txptheme::ThemesEnabled());
    EXPECT_EQ(Txptheme::BorderColor(), QColor(0, 0, 0));
}

TEST(Txptheme, ColourSchemeAndItsBorder) {
    StyleGuard guard;
    QApplication::setStyle(QStringLiteral("Fusion"));
    struct Row {
        const char* Name;
        QColor Caption, Text;
        TJakieKoloryXP Scheme;
        QColor Border;
    };
    const Row rows[] = {
        {"blue", {122, 150, 223}, {216, 228, 248}, jkxpBlue, {127, 157, 185}},
        {"olive", {212, 214, 186}, {255, 255, 255}, jkxpOlive, {164, 185, 127}},
        {"silver", {255, 255, 255}, {162, 161, 161}, jkxpSilver, {165, 172, 178}},
        {"blue caption, wrong text", {122, 150, 223}, {255, 255, 255}, jkxpOther, {127, 157, 185}},
        {"other", {10, 20, 30}, {40, 50, 60}, jkxpOther, {127, 157, 185}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Name);
        SetCaptionColours(r.Caption, r.Text);
        EXPECT_EQ(JakiTematXP(), r.Scheme);
        EXPECT_EQ(Txptheme::BorderColor(), r.Border);
    }
}

// A form of fixed design: one control per kind of anchoring.
struct TDesignedForm {
    TXPForm form;
    QPushButton* right = new QPushButton(&form);
    QLineEdit* both = new QLineEdit(&form);
    QLineEdit* left = new QLineEdit(&form);
    TDesignedForm(int minWidth) {
        form.setGeometry(100, 100, 400, 200);
        form.setMinimumWidth(minWidth);
        right->setGeometry(300, 160, 75, 25);
        both->setGeometry(10, 10, 380, 21);
        left->setGeometry(10, 40, 100, 21);
        TXPForm::SetAnchors(right, akRight | akBottom);
        TXPForm::SetAnchors(both, akLeft | akTop | akRight);
    }
};

TEST(TXPForm, BorderCorrection) {
    {
        SCOPED_TRACE("4 pixels thicker");
        TDesignedForm f(300);
        f.form.CorrectForBorder(4);
        EXPECT_EQ(f.right->geometry(), QRect(296, 160, 75, 25));
        EXPECT_EQ(f.both->geometry(), QRect(10, 10, 376, 21));
        EXPECT_EQ(f.left->geometry(), QRect(10, 40, 100, 21));
        EXPECT_EQ(f.form.minimumWidth(), 304);
        EXPECT_FALSE(f.form.WasCorrectConstraints());
    }
    {
        SCOPED_TRACE("the minimum outgrows the form: anchors stay");
        TDesignedForm f(398);
        f.form.CorrectForBorder(4);
        EXPECT_TRUE(f.form.WasCorrectConstraints());
        EXPECT_EQ(f.form.minimumWidth(), 402);
        EXPECT_EQ(f.right->pos(), QPoint(300, 160));
    }
    {
        SCOPED_TRACE("no minimum width: anchors still corrected");
        TDesignedForm f(0);
        f.form.CorrectForBorder(4);
        EXPECT_EQ(f.form.minimumWidth(), 0);
        EXPECT_EQ(f.right->pos(), QPoint(296, 160));
    }
}

class PaintCounter : public QObject {
public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};

TEST(TXPForm, RepaintsTheFocusedControlShortlyAfterActivation) {
    TXPForm form;
    form.resize(200, 100);
    auto* edit = new QLineEdit(&form);
    edit->setGeometry(10, 10, 100, 21);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    edit->setFocus();
    PaintCounter counter;
    edit->installEventFilter(&counter);

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    auto* timer = form.findChild<QTimer*>(QStringLiteral("FCorrectFocusTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 50);
    EXPECT_TRUE(timer->isActive());
    counter.Paints = 0;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timer->isActive(); }, 2000));
    EXPECT_GE(counter.Paints, 1);

    // A second activation reuses the timer.
    QApplication::sendEvent(&form, &activate);
    EXPECT_EQ(form.findChildren<QTimer*>(QStringLiteral("FCorrectFocusTimer")).size(), 1);
    EXPECT_TRUE(timer->isActive());
}

} // namespace
