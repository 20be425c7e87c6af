#pragma once
// The database error window: the Polish message of a client error in large type beside an
// information picture, and behind the "&Szczegóły" toggle (or Alt+S) the details for the
// administrator: codes, database, object, the server's full message, the statement and its
// parameters. One window serves the whole process.

#include <QDialog>

#include <cstdint>
#include <string>

class EFbError;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class TBitBtnKom;
class TFbCustomDatabase;
class TFbXSQLDA;

// Only wsOld is ever shown.
enum TErrorWndStyle : std::uint8_t { wsOld, wsNewInfo, wsNewQuest };

class TfIbErrorWnd : public QDialog {
    Q_OBJECT
public:
    explicit TfIbErrorWnd(QWidget* parent = nullptr);
    ~TfIbErrorWnd() override;

    // The process's window: made on first use, kept until the application ends.
    static TfIbErrorWnd& Instance();

    // Fills the window for the error and shows it modally; returns when the user closed it. Each
    // showing opens on the message page. A failing translation leaves before the window shows.
    void RunOld(const EFbError& error, const std::string& databaseName, const std::string& objectName,
                TFbCustomDatabase* database, const std::string& sql, const TFbXSQLDA* params);
    // The message label from the stored error.
    void TranslateError();
    // The page of the toggle's state, and the menu item's check mark to match.
    void SB_detailsClick();
    // The menu item (or Alt+S): flips the toggle, then as SB_detailsClick.
    void Szczegy1Click();
    // Puts the keyboard focus on "Ok", so that Enter closes the window.
    void FormActivate();

    TErrorWndStyle WndStyle() const noexcept { return FWndStyle; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FillDetails(const std::string& sql, const TFbXSQLDA* params);

    const EFbError* FbError = nullptr; // only while RunOld runs
    std::string FIBDatabaseName;
    std::string FObjectName;
    TErrorWndStyle FWndStyle = wsOld;
    TFbCustomDatabase* FDatabase = nullptr;

    QFrame* Panel1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QStackedWidget* Notebook1 = nullptr;
    QLabel* L_except = nullptr;
    QLabel* Image1 = nullptr;
    QPlainTextEdit* M_details = nullptr;
    QPushButton* SB_details = nullptr;
    TBitBtnKom* BBok = nullptr;
    TBitBtnKom* BBpomoc = nullptr;
    TBitBtnKom* BBNie = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Szczegy1 = nullptr;
};
