#pragma once
// The framework's message window, built at run time for one message: icon, formatted text,
// optional confirmation check box, a centred row of buttons and an optional countdown. The window
// is sized to its text within screen-dependent margins.

#include "core/UiPort.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QTextEdit;
class QTimer;
class TBitBtnKom;

class TOknoKomunikat : public QDialog {
    Q_OBJECT
public:
    // Builds and sizes the window; nothing is shown yet. An empty button list builds a window
    // without buttons (KomNew below never does that).
    TOknoKomunikat(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                   TKomButtonType domyslny, TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe,
                   const std::string& opisPotwierdzenia, int czas, const TArrayKDodIkony* ikony, int skala);
    ~TOknoKomunikat() override;

    // Builds the window, shows it modally and returns the answer; an empty button list shows
    // nothing and answers kAnuluj.
    static TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                                 TKomButtonType domyslny, TKomRodzajOkna rodzaj,
                                 const std::string& opisyDodatkowe, const std::string& opisPotwierdzenia,
                                 int czas, const TArrayKDodIkony* ikony, int skala);

    bool NacisnietoPrzycisk() const { return NacisnietoPrzycick; }
    // Whether a "yes" answer may close the window: always without the check box, else when it is ticked.
    bool Potwierdzenie() const;
    TKomButtonType Odpowiedz() const { return odpowiedz; }
    TBitBtnKom* DefaultButton() const { return button; }
    QCheckBox* CheckBox() const { return wCheckBox; }
    bool CheckBoxShown() const { return FCheckBoxShown; }
    QTextEdit* TextBox() const { return FRE; }
    // Whether the window may close now: a button was pressed (or the countdown ran out) and a
    // "yes" answer has its confirmation.
    bool OknoCloseQuery() const;
    // One second of the countdown; public so that the countdown can be driven without waiting.
    void Timer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // Esc presses nothing: the window has no cancel button.
    void reject() override {}

private:
    void klik(TBitBtnKom* sender);
    void TryClose();
    void SizeTextBox(int n, const std::string& tresc);

    int czas = 0;
    bool NacisnietoPrzycick = false;
    QCheckBox* wCheckBox = nullptr;
    TBitBtnKom* button = nullptr;
    TKomButtonType odpowiedz = kTak;

    TKomButtonType FDomyslnaOdpowiedz = kTak;
    bool FCheckBoxShown = false;
    bool FShownOnce = false;
    QTextEdit* FRE = nullptr;
    QLabel* FIkona = nullptr;
    QWidget* FPanelTresc = nullptr;
    QWidget* FPanelPotwierdzenie = nullptr;
    QWidget* FPanelPrzyciski = nullptr;
    QWidget* FRzadPrzyciskow = nullptr;
    QTimer* FTimer = nullptr;
};
