#include "ui/XpTheme.h"

#include "ui/Colors.h"

#include <QApplication>
#include <QStyle>
#include <QTimer>

#include <memory>

namespace {

std::unique_ptr<Txptheme>& Manager() {
    static std::unique_ptr<Txptheme> manager;
    return manager;
}

bool SameRgb(const QColor& c, int r, int g, int b) {
    return c.red() == r && c.green() == g && c.blue() == b;
}

constexpr const char* kAnchorsProperty = "zelwanAnchors";

} // namespace

TJakieKoloryXP JakiTematXP() {
    const QColor caption = SysColor(3);
    const QColor text = SysColor(19);
    if (SameRgb(caption, 122, 150, 223) && SameRgb(text, 216, 228, 248))
        return jkxpBlue;
    if (SameRgb(caption, 212, 214, 186) && SameRgb(text, 255, 255, 255))
        return jkxpOlive;
    if (SameRgb(caption, 255, 255, 255) && SameRgb(text, 162, 161, 161))
        return jkxpSilver;
    return jkxpOther;
}

void Txptheme::CreateMgrWith(const std::function<Txptheme*()>& create) {
    Manager().reset();
    std::unique_ptr<Txptheme> created(create());
    created->SetName("TThemeManagerDB_globalInstance");
    Manager() = std::move(created);
}

void Txptheme::FreeMgr() {
    Manager().reset();
}

Txptheme* Txptheme::Mgr() {
    return Manager().get();
}

bool Txptheme::ThemesEnabled() {
    if (!qApp)
        return false;
    const QStyle* style = QApplication::style();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

QColor Txptheme::BorderColor() {
    if (!ThemesEnabled())
        return QColor(0, 0, 0);
    switch (JakiTematXP()) {
    case jkxpOlive:
        return QColor(164, 185, 127);
    case jkxpSilver:
        return QColor(165, 172, 178);
    default:
        return QColor(127, 157, 185);
    }
}

TXPForm::TXPForm(QWidget* parent) : QDialog(parent) {}

TXPForm::~TXPForm() = default;

void TXPForm::SetAnchors(QWidget* control, TAnchors anchors) {
    control->setProperty(kAnchorsProperty, static_cast<int>(anchors));
}

TAnchors TXPForm::Anchors(const QWidget* control) {
    const QVariant v = control->property(kAnchorsProperty);
    return v.isValid() ? static_cast<TAnchors>(v.toInt()) : static_cast<TAnchors>(akLeft | akTop);
}

// Qt keeps a window's client area at its designed size whatever the frame, so the frame never eats
// into the design: on Linux the excess is always 0, and Loaded() never corrects anything. The
// correction itself stays for a form that reports an excess of its own.
int TXPForm::BorderExcess() const {
    return 0;
}

void TXPForm::Loaded() {
    CorrectForBorder(BorderExcess());
}

void TXPForm::CorrectForBorder(int d) {
    if (d <= 0)
        return;
    if (minimumWidth() > 0) {
        FWasCorrectConstraints = minimumWidth() + d > width();
        setMinimumWidth(minimumWidth() + d);
    }
    if (FWasCorrectConstraints)
        return;
    for (QWidget* control : findChildren<QWidget*>()) {
        const TAnchors a = Anchors(control);
        if (!(a & akRight))
            continue;
        if (a & akLeft)
            control->resize(control->width() - d, control->height());
        else
            control->move(control->x() - d, control->y());
    }
}

bool TXPForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        if (!FCorrectFocusTimer) {
            FCorrectFocusTimer = new QTimer(this);
            FCorrectFocusTimer->setObjectName(QStringLiteral("FCorrectFocusTimer"));
            FCorrectFocusTimer->setInterval(50);
            connect(FCorrectFocusTimer, &QTimer::timeout, this, &TXPForm::CorrectFocusTimerTimer);
        }
        FCorrectFocusTimer->start();
    }
    return QDialog::event(e);
}

void TXPForm::CorrectFocusTimerTimer() {
    if (!isVisible())
        return;
    FCorrectFocusTimer->stop();
    if (QWidget* focused = focusWidget())
        focused->repaint();
}
