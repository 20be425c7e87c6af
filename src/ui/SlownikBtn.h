#pragma once
// The framework's small "dictionary" button at the right end of an edit box. It offers up to eight
// actions, each with a caption and a shortcut; with the single default action a click runs it, with
// several a click drops down a menu. The edit box forwards its key presses (ProcessKeyDown) so the
// shortcuts work while the user types.

#include <QAbstractButton>
#include <QAction>
#include <QFrame>
#include <QKeySequence>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>

class QMenu;

enum TSlowBtnType : std::uint8_t {
    btDictionary,
    btClear,
    btShow,
    btSetDefault,
    btCustom,
    btF3,
    btF5,
    btCtrlP
};

// A set of actions.
class TSlowBtns {
public:
    constexpr TSlowBtns() = default;
    constexpr TSlowBtns(std::initializer_list<TSlowBtnType> types) {
        for (TSlowBtnType t : types)
            FBits = static_cast<std::uint8_t>(FBits | (1u << t));
    }
    constexpr bool Contains(TSlowBtnType t) const { return (FBits >> t) & 1u; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr bool operator==(const TSlowBtns&) const = default;

private:
    std::uint8_t FBits = 0;
};

using TNotifyEvent = std::function<void(QObject* sender)>;

// The visible arrow: a right-pointing scroll arrow, drawn with the style's look when themes are on
// (normal, hot, pressed, disabled) and as the classic frame control otherwise.
class TSlowSpecBtn : public QAbstractButton {
    Q_OBJECT
public:
    explicit TSlowSpecBtn(QWidget* parent = nullptr);
    bool Flat() const { return FFlat; }
    void SetFlat(bool flat);
    bool Themed() const { return FThemed; }
    void SetThemed(bool themed);
    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool FFlat = false;
    bool FThemed = false;
};

class TSlownikBtn : public QFrame {
    Q_OBJECT
public:
    explicit TSlownikBtn(QWidget* parent = nullptr);
    ~TSlownikBtn() override;

    TSlowBtns SlowButtons() const { return FSlowButtons; }
    void SetSlowButtons(TSlowBtns buttons);
    TSlowBtns DisabledButtons() const { return FDisabledButtons; }
    void SetDisabledButtons(TSlowBtns buttons);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    // The button's own enabled state. The panel itself stays enabled; the arrow is enabled only
    // while this is true and at least one offered action is enabled.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    bool AnyButtonEnabled() const;
    QString CustomItemCaption() const { return FCustomItemCaption; }
    void SetCustomItemCaption(const QString& caption);
    QKeySequence CustomItemShortCut() const { return FCustomItemShortCut; }
    void SetCustomItemShortCut(const QKeySequence& shortCut);

    // Runs after every action.
    void SetOnClick(TNotifyEvent e) { FOnClick = std::move(e); }
    void SetOnDictionaryBtnClick(TNotifyEvent e) { FOnDictionaryBtnClick = std::move(e); }
    void SetOnClearBtnClick(TNotifyEvent e) { FOnClearBtnClick = std::move(e); }
    void SetOnShowBtnClick(TNotifyEvent e) { FOnShowBtnClick = std::move(e); }
    void SetOnSetDefaultBtnClick(TNotifyEvent e) { FOnSetDefaultBtnClick = std::move(e); }
    void SetOnCustomBtnClick(TNotifyEvent e) { FOnCustomBtnClick = std::move(e); }
    void SetOnF3BtnClick(TNotifyEvent e) { FOnF3BtnClick = std::move(e); }
    void SetOnF5BtnClick(TNotifyEvent e) { FOnF5BtnClick = std::move(e); }
    void SetOnCtrlPBtnClick(TNotifyEvent e) { FOnCtrlPBtnClick = std::move(e); }

    // Called by the edit box's key-down handler with the key and modifiers as they came; runs every
    // offered, enabled action whose shortcut is the pressed one (F5 runs btF5, then btCtrlP). The
    // key is not consumed. Exceptions of the actions pass to the caller.
    void ProcessKeyDown(int key, Qt::KeyboardModifiers shift);
    // Runs one action: its own event, then OnClick.
    void RunAction(TSlowBtnType type);

    int HeightFromFont() const { return FHeightFromFont; }
    bool WinXpThemed() const { return FWinXpThemed; }
    TSlowSpecBtn* Content() const { return FContent; }
    QMenu* Popup() const { return FPopup; }
    QAction* PopItem(TSlowBtnType type) const { return FPopItems[type]; }
    // The caption and shortcut an action shows in the menu.
    QString ItemCaption(TSlowBtnType type) const;
    QKeySequence ItemShortCut(TSlowBtnType type) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void RefreshItems();
    void UpdateContentEnabled();
    void ContentClick();
    void UpdateLayout();
    TNotifyEvent& EventOf(TSlowBtnType type);

    TSlowBtns FSlowButtons;
    TNotifyEvent FOnClick;
    TNotifyEvent FOnDictionaryBtnClick, FOnClearBtnClick, FOnShowBtnClick, FOnSetDefaultBtnClick;
    bool FWinXpThemed = false;
    TSlowSpecBtn* FContent = nullptr;
    QMenu* FPopup = nullptr;
    std::array<QAction*, 8> FPopItems{};
    QString FCustomItemCaption;
    QKeySequence FCustomItemShortCut;
    TNotifyEvent FOnCustomBtnClick, FOnF3BtnClick, FOnF5BtnClick, FOnCtrlPBtnClick;
    int FHeightFromFont = 23;
    bool FEnabled = true;
    bool FReadOnly = false;
    TSlowBtns FDisabledButtons;
    bool FInLayout = false;
};
