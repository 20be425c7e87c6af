#include "ui/SlownikBtn.h"

#include "ui/Fonts.h"
#include "ui/QtUserInterface.h"
#include "ui/XpTheme.h"

#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>

namespace {

struct TActionInfo {
    const char* Caption;
    int Key; // 0: none
};

constexpr TActionInfo kActions[8] = {
    {"Wybierz", Qt::Key_F6},
    {"Wyczyść", Qt::Key_Delete},
    {"Pokaż", Qt::Key_F2},
    {"Ustaw wartość domyślną", Qt::Key_F7},
    {"", 0}, // btCustom: caption and shortcut of its own
    {"Dodaj", Qt::Key_F3},
    {"Popraw", Qt::Key_F5},
    {"Pokaż pozycje", Qt::Key_F5}, // the same key as btF5, not Ctrl+P
};

void DrawRightArrow(QPainter& p, const QRect& r, const QColor& color, int size) {
    const QPointF c = QRectF(r).center();
    QPainterPath tri;
    tri.moveTo(c.x() - size / 2.0 + 1, c.y() - size);
    tri.lineTo(c.x() + size / 2.0 + 1, c.y());
    tri.lineTo(c.x() - size / 2.0 + 1, c.y() + size);
    tri.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(tri);
}

} // namespace

TSlowSpecBtn::TSlowSpecBtn(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
}

void TSlowSpecBtn::SetFlat(bool flat) {
    FFlat = flat;
    update();
}

void TSlowSpecBtn::SetThemed(bool themed) {
    FThemed = themed;
    update();
}

void TSlowSpecBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const bool enabled = isEnabled();
    const bool pressed = isDown();
    const bool hot = enabled && underMouse();
    if (FThemed) {
        // The style's button face in its normal, hot, pressed or disabled state, with its arrow.
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.rect = r;
        opt.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        if (hot)
            opt.state |= QStyle::State_MouseOver;
        opt.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &p, this);
        QStyleOption arrow(opt);
        const int side = std::min(r.width(), r.height()) - 6;
        arrow.rect = QRect(0, 0, side, side);
        arrow.rect.moveCenter(r.center() + (pressed ? QPoint(1, 1) : QPoint()));
        style()->drawPrimitive(QStyle::PE_IndicatorArrowRight, &arrow, &p, this);
        return;
    }
    // The classic scroll-right frame control: a raised face (pushed while pressed, none when flat),
    // a black arrow, grey with a white relief when inactive.
    const QPalette& pal = palette();
    if (!FFlat || pressed)
        qDrawWinButton(&p, r, pal, pressed, &pal.brush(QPalette::Button));
    else
        p.fillRect(r, pal.brush(QPalette::Button));
    p.setRenderHint(QPainter::Antialiasing, false);
    const int size = std::max(2, std::min(r.width(), r.height()) / 4);
    const QRect inner = r.translated(pressed ? 1 : 0, pressed ? 1 : 0);
    if (enabled) {
        DrawRightArrow(p, inner, pal.color(QPalette::Active, QPalette::ButtonText), size);
    } else {
        DrawRightArrow(p, inner.translated(1, 1), pal.color(QPalette::Light), size);
        DrawRightArrow(p, inner, pal.color(QPalette::Dark), size);
    }
}

TSlownikBtn::TSlownikBtn(QWidget* parent) : QFrame(parent) {
    setFocusPolicy(Qt::NoFocus);
    setFont(DesignFont(QStringLiteral("Arial"), 9));
    setAutoFillBackground(true);

    FContent = new TSlowSpecBtn(this);
    FContent->setObjectName(QStringLiteral("FContent"));
    connect(FContent, &QAbstractButton::clicked, this, [this] { RunGuarded([this] { ContentClick(); }); });

    FPopup = new QMenu(this);
    FPopup->setObjectName(QStringLiteral("FPopup"));
    for (int i = 0; i < 8; ++i) {
        auto type = static_cast<TSlowBtnType>(i);
        auto* item = new QAction(FPopup);
        // The shortcut is shown in the menu, but the key itself reaches the action only through
        // ProcessKeyDown: a window-wide shortcut would run it twice, or clash between pickers.
        item->setShortcutContext(Qt::WidgetShortcut);
        item->setShortcutVisibleInContextMenu(true);
        item->setVisible(false);
        connect(item, &QAction::triggered, this,
                [this, type] { RunGuarded([this, type] { RunAction(type); }); });
        FPopup->addAction(item);
        FPopItems[i] = item;
    }

    FSlowButtons = TSlowBtns{btDictionary};
    RefreshItems();
    UpdateLayout();
}

TSlownikBtn::~TSlownikBtn() = default;

QString TSlownikBtn::ItemCaption(TSlowBtnType type) const {
    return type == btCustom ? FCustomItemCaption : QString::fromUtf8(kActions[type].Caption);
}

QKeySequence TSlownikBtn::ItemShortCut(TSlowBtnType type) const {
    if (type == btCustom)
        return FCustomItemShortCut;
    return kActions[type].Key ? QKeySequence(kActions[type].Key) : QKeySequence();
}

void TSlownikBtn::RefreshItems() {
    for (int i = 0; i < 8; ++i) {
        auto type = static_cast<TSlowBtnType>(i);
        QAction* item = FPopItems[i];
        item->setVisible(FSlowButtons.Contains(type));
        item->setText(ItemCaption(type));
        item->setShortcut(ItemShortCut(type));
        bool enabled = !FDisabledButtons.Contains(type);
        if (type != btShow)
            enabled = enabled && !FReadOnly;
        item->setEnabled(enabled);
    }
    QString hint;
    if (FSlowButtons == TSlowBtns{btDictionary}) {
        hint = ItemCaption(btDictionary);
        const QKeySequence sc = ItemShortCut(btDictionary);
        if (!sc.isEmpty())
            hint += QStringLiteral("  (") + sc.toString(QKeySequence::NativeText) + QStringLiteral(")");
    }
    FContent->setToolTip(hint);
    setToolTip(QString());
    UpdateContentEnabled();
}

bool TSlownikBtn::AnyButtonEnabled() const {
    for (int i = 0; i < 8; ++i)
        if (FSlowButtons.Contains(static_cast<TSlowBtnType>(i)) && FPopItems[i]->isEnabled())
            return true;
    return false;
}

void TSlownikBtn::UpdateContentEnabled() {
    FContent->setEnabled(FEnabled && AnyButtonEnabled());
}

void TSlownikBtn::SetSlowButtons(TSlowBtns buttons) {
    FSlowButtons = buttons;
    RefreshItems();
}

void TSlownikBtn::SetDisabledButtons(TSlowBtns buttons) {
    FDisabledButtons = buttons;
    RefreshItems();
}

void TSlownikBtn::SetReadOnly(bool readOnly) {
    FReadOnly = readOnly;
    RefreshItems();
}

void TSlownikBtn::SetEnabled(bool enabled) {
    FEnabled = enabled;
    UpdateContentEnabled();
}

void TSlownikBtn::SetCustomItemCaption(const QString& caption) {
    FCustomItemCaption = caption;
    RefreshItems();
}

void TSlownikBtn::SetCustomItemShortCut(const QKeySequence& shortCut) {
    FCustomItemShortCut = shortCut;
    RefreshItems();
}

TNotifyEvent& TSlownikBtn::EventOf(TSlowBtnType type) {
    switch (type) {
    case btDictionary:
        return FOnDictionaryBtnClick;
    case btClear:
        return FOnClearBtnClick;
    case btShow:
        return FOnShowBtnClick;
    case btSetDefault:
        return FOnSetDefaultBtnClick;
    case btCustom:
        return FOnCustomBtnClick;
    case btF3:
        return FOnF3BtnClick;
    case btF5:
        return FOnF5BtnClick;
    case btCtrlP:
        break;
    }
    return FOnCtrlPBtnClick;
}

void TSlownikBtn::RunAction(TSlowBtnType type) {
    // Copies: a handler may replace the handlers while it runs.
    const TNotifyEvent own = EventOf(type);
    const TNotifyEvent click = FOnClick;
    if (own)
        own(this);
    if (click)
        click(this);
}

void TSlownikBtn::ContentClick() {
    if (FSlowButtons == TSlowBtns{btDictionary}) {
        RunAction(btDictionary);
        return;
    }
    QPoint at(FContent->geometry().right() + 1, FContent->geometry().top() - (FWinXpThemed ? 0 : 2));
    FPopup->popup(mapToGlobal(at));
}

void TSlownikBtn::ProcessKeyDown(int key, Qt::KeyboardModifiers shift) {
    if (!FEnabled)
        return;
    const Qt::KeyboardModifiers mods = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const QKeySequence pressed(QKeyCombination(mods, static_cast<Qt::Key>(key)));
    for (int i = 0; i < 8; ++i) {
        auto type = static_cast<TSlowBtnType>(i);
        const QKeySequence sc = ItemShortCut(type);
        if (FSlowButtons.Contains(type) && FPopItems[i]->isEnabled() && !sc.isEmpty() && sc == pressed)
            RunAction(type);
    }
}

void TSlownikBtn::UpdateLayout() {
    if (FInLayout || !FContent) // a font change arrives while the constructor still builds the parts
        return;
    FInLayout = true;
    // The height of an edit box in this font: the character height plus eight single borders.
    const int charHeight = QFontMetrics(font()).height();
    FHeightFromFont = charHeight > 0 ? charHeight + 8 : 23;

    FWinXpThemed = Txptheme::ThemesEnabled();
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    FContent->SetThemed(FWinXpThemed);
    if (FWinXpThemed) {
        FContent->SetFlat(true);
        setFrameStyle(QFrame::NoFrame);
    } else {
        FContent->SetFlat(false);
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // a single 3D panel border, 2 pixels a side
    }

    resize(20, FHeightFromFont);
    const int w = width(), h = height();
    if (!FWinXpThemed) {
        FContent->setGeometry(contentsRect().x(), contentsRect().y(), w - 4, h - 4);
    } else {
        const TJakieKoloryXP scheme = JakiTematXP();
        if (scheme == jkxpBlue || scheme == jkxpOlive)
            FContent->setGeometry(2, 0, w - 2, h);
        else
            FContent->setGeometry(2, 0, w - 3, h - 1);
    }
    FInLayout = false;
    update();
}

void TSlownikBtn::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (FWinXpThemed) {
        QPainter p(this);
        p.setPen(Txptheme::BorderColor());
        p.setBrush(Qt::NoBrush);
        p.drawRect(1, 0, width() - 2, height() - 1);
    }
}

void TSlownikBtn::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    UpdateLayout();
}

void TSlownikBtn::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        UpdateLayout();
}
