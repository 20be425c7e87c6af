#pragma once
// A thin layer over the platform's visual themes: the process-wide theme manager, whether themes are
// on, a guess of the desktop colour scheme with its border colour, and the framework's base form.
//
// On Qt, themes are on unless the application runs the classic "Windows" style.

#include "core/Component.h"

#include <QColor>
#include <QDialog>

#include <cstdint>
#include <functional>

class QTimer;

enum TJakieKoloryXP : std::uint8_t { jkxpOther, jkxpBlue, jkxpOlive, jkxpSilver };

// The desktop colour scheme, from the inactive caption colour and its text colour.
TJakieKoloryXP JakiTematXP();

class Txptheme : public TComponent {
public:
    explicit Txptheme(TComponent* owner = nullptr) : TComponent(owner) {}

    // Creates the single manager, named "TThemeManagerDB_globalInstance" (a manager created
    // before is freed first). When the creation fails, no manager is left and the error passes on.
    template <class TManager> static void CreateMgr() {
        CreateMgrWith([] { return static_cast<Txptheme*>(new TManager(nullptr)); });
    }
    static void CreateMgrWith(const std::function<Txptheme*()>& create);
    static void FreeMgr();
    // The manager, or null when none was created.
    static Txptheme* Mgr();

    static bool ThemesEnabled();
    // Black without themes; otherwise the frame colour of the colour scheme.
    static QColor BorderColor();
};

// The theme manager class of this program.
class TxpthemePCB : public Txptheme {
public:
    using Txptheme::Txptheme;
};

enum TAnchorKind : std::uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = std::uint8_t;

// The framework's base form. A form of fixed design calls Loaded() once its design is set up;
// on every activation it repaints the focused control 50 ms later (focus frames drawn before the
// window was fully shown otherwise stay missing).
class TXPForm : public QDialog {
    Q_OBJECT
public:
    explicit TXPForm(QWidget* parent = nullptr);
    ~TXPForm() override;

    // The edges of the form a control keeps its distance to; akLeft | akTop when never set.
    static void SetAnchors(QWidget* control, TAnchors anchors);
    static TAnchors Anchors(const QWidget* control);

    // Call after the design has been set up: corrects the layout for window borders thicker than
    // designed. On Linux there are none (BorderExcess() is 0), so nothing changes.
    void Loaded();
    // The correction for a border d pixels thicker than designed: the minimum width grows by d;
    // unless that made the minimum larger than the form, controls anchored right move d to the
    // left, or get d narrower when they are anchored left as well. Nothing happens for d <= 0.
    void CorrectForBorder(int d);
    bool WasCorrectConstraints() const { return FWasCorrectConstraints; }

protected:
    // How much the real window border exceeds the designed 4 pixels a side.
    virtual int BorderExcess() const;
    bool event(QEvent* event) override;

private:
    void CorrectFocusTimerTimer();

    bool FWasCorrectConstraints = false;
    QTimer* FCorrectFocusTimer = nullptr;
};
