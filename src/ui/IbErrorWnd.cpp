#include "ui/IbErrorWnd.h"

#include "dberrors/ConnectionDiagnosis.h"
#include "dberrors/ErrorTranslation.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbXSQLDA.h"
#include "ui/BitBtnKom.h"
#include "ui/Fonts.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>

namespace {

// Line breaks of outside text (CR LF, CR or LF) as the widgets break lines.
QString Lines(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(u'\r', u'\n');
    return s;
}

// A message's lines without the break that ends its last line.
QString MessageLines(const std::string& text) {
    QString s = Lines(text);
    if (s.endsWith(u'\n'))
        s.chop(1);
    return s;
}

QPointer<TfIbErrorWnd>& TheWindow() {
    static QPointer<TfIbErrorWnd> window;
    return window;
}

// The window goes with the application, before the application's own windows do.
void FreeTheWindow() {
    delete TheWindow().data();
}

QFont Arial(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

} // namespace

TfIbErrorWnd::TfIbErrorWnd(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TfIbErrorWnd"));
    setWindowTitle(QStringLiteral("Informacja z bazy danych"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(419, 157);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 0, 419, 121);
    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(6, 6, 407, 109);
    Notebook1 = new QStackedWidget(Panel1);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    Notebook1->setGeometry(12, 11, 396, 99);

    auto* defaultPage = new QWidget;
    defaultPage->setObjectName(QStringLiteral("Default"));
    L_except = new QLabel(defaultPage);
    L_except->setObjectName(QStringLiteral("L_except"));
    L_except->setGeometry(49, 6, 341, 85);
    L_except->setTextFormat(Qt::PlainText); // server messages are never taken for markup
    L_except->setWordWrap(true);
    L_except->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    L_except->setFont(Arial(13));
    L_except->setText(
        QStringLiteral("Nie można usunąć kontrahenta ze wzgledu na powiązania z innymi tabelami."));
    Image1 = new QLabel(defaultPage);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(6, 6, 32, 32);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(32, 32));
    Notebook1->addWidget(defaultPage);

    auto* detailsPage = new QWidget;
    detailsPage->setObjectName(QStringLiteral("Sczegoly"));
    M_details = new QPlainTextEdit(detailsPage);
    M_details->setObjectName(QStringLiteral("M_details"));
    M_details->setGeometry(0, 0, 396, 99);
    M_details->setFrameStyle(QFrame::NoFrame);
    M_details->setReadOnly(true);
    // Read-only, yet selectable and copyable: the details are what the support line asks for.
    M_details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    M_details->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    M_details->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    M_details->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Notebook1->addWidget(detailsPage);

    SB_details = new QPushButton(this);
    SB_details->setObjectName(QStringLiteral("SB_details"));
    SB_details->setGeometry(5, 127, 63, 25);
    SB_details->setText(QStringLiteral("&Szczegóły"));
    // Alt+S belongs to the menu item; a second shortcut on the button would make both ambiguous.
    SB_details->setShortcut(QKeySequence());
    SB_details->setCheckable(true);
    SB_details->setFocusPolicy(Qt::NoFocus);
    SB_details->setAutoDefault(false);
    connect(SB_details, &QPushButton::clicked, this, &TfIbErrorWnd::SB_detailsClick);

    BBok = new TBitBtnKom(this);
    BBok->setObjectName(QStringLiteral("BBok"));
    BBok->SetKind(bkOK);
    BBok->setText(QStringLiteral("Ok"));
    BBok->setFont(Arial(12));
    BBok->setGeometry(262, 128, 75, 25);
    BBok->setDefault(true);
    connect(BBok, &QPushButton::clicked, this, &QDialog::accept);

    BBpomoc = new TBitBtnKom(this);
    BBpomoc->setObjectName(QStringLiteral("BBpomoc"));
    BBpomoc->SetKind(bkHelp);
    BBpomoc->setText(QStringLiteral("Pomoc"));
    BBpomoc->setGeometry(339, 128, 75, 25);
    BBpomoc->setAutoDefault(false);

    BBNie = new TBitBtnKom(this);
    BBNie->setObjectName(QStringLiteral("BBNie"));
    BBNie->SetKind(bkNo);
    BBNie->setText(QStringLiteral("Nie"));
    BBNie->setGeometry(262, 128, 75, 25);
    BBNie->setAutoDefault(false);
    BBNie->hide();
    connect(BBNie, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });

    setTabOrder(M_details, BBpomoc);
    setTabOrder(BBpomoc, BBok);
    setTabOrder(BBok, BBNie);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Szczegy1 = PopupMenu1->addAction(QStringLiteral("&Szczegóły"));
    Szczegy1->setObjectName(QStringLiteral("Szczegy1"));
    Szczegy1->setCheckable(true);
    Szczegy1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_S));
    Szczegy1->setShortcutContext(Qt::WindowShortcut);
    addAction(Szczegy1); // the shortcut works without the menu open
    connect(Szczegy1, &QAction::triggered, this, &TfIbErrorWnd::Szczegy1Click);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(mapToGlobal(pos)); });

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move(screen.x() + (screen.width() - width()) / 2, screen.y() + (screen.height() - height()) / 2);
}

TfIbErrorWnd::~TfIbErrorWnd() = default;

TfIbErrorWnd& TfIbErrorWnd::Instance() {
    QPointer<TfIbErrorWnd>& window = TheWindow();
    if (!window) {
        window = new TfIbErrorWnd;
        qAddPostRoutine(FreeTheWindow);
    }
    return *window;
}

void TfIbErrorWnd::RunOld(const EFbError& error, const std::string& databaseName,
                          const std::string& objectName, TFbCustomDatabase* database, const std::string& sql,
                          const TFbXSQLDA* params) {
    FDatabase = database;
    FWndStyle = wsOld;
    FbError = &error;
    FIBDatabaseName = databaseName;
    FObjectName = objectName;
    SB_details->setChecked(false);
    Szczegy1->setChecked(false);
    Notebook1->setCurrentIndex(0);
    try {
        TranslateError();
        FillDetails(sql, params);
        exec();
    } catch (...) {
        FbError = nullptr;
        FDatabase = nullptr;
        throw;
    }
    FbError = nullptr;
    FDatabase = nullptr;
}

void TfIbErrorWnd::TranslateError() {
    if (FbError)
        L_except->setText(Lines(IbErrorToStr(*FbError, FDatabase)));
}

void TfIbErrorWnd::FillDetails(const std::string& sql, const TFbXSQLDA* params) {
    QStringList lines;
    lines << QStringLiteral("Kod wyjątku : %1").arg(FbError->IBErrorCode())
          << QStringLiteral("Kod SQL : %1").arg(FbError->SQLCode())
          << QStringLiteral("Baza danych :") + QString::fromStdString(FIBDatabaseName)
          << QStringLiteral("Obiekt :") + QString::fromStdString(FObjectName) << QString()
          << QStringLiteral("Treść : ") + MessageLines(FbError->Message());
    // Without a statement the failure is the attachment's own: say what most likely is wrong.
    if (sql.empty()) {
        const std::string diagnosis = ConnectionDiagnosis(*FbError, FIBDatabaseName, FDatabase);
        if (!diagnosis.empty())
            lines << QString() << QStringLiteral("Przyczyna : ") + QString::fromStdString(diagnosis);
    }
    if (!sql.empty()) {
        lines << QString() << QString() << QString() << QStringLiteral("Skrypt:") << MessageLines(sql);
        if (params && params->Count() > 0) {
            lines << QString() << QStringLiteral("Parametry:");
            for (int i = 0; i < params->Count(); ++i) {
                const std::string& name = params->Vars(i).Name();
                // Places of one name show the first one's value, as the statement sends it.
                const TFbXSQLVAR* first = params->ByName(name);
                std::string value;
                try {
                    value = (first ? *first : params->Vars(i)).AsString();
                } catch (const std::exception& e) {
                    value = e.what();
                }
                lines << QString::fromStdString(name) + QStringLiteral(": ") + Lines(value);
            }
        }
    }
    M_details->setUpdatesEnabled(false);
    M_details->clear();
    M_details->setPlainText(lines.join(u'\n'));
    M_details->setUpdatesEnabled(true);
}

void TfIbErrorWnd::SB_detailsClick() {
    const bool down = SB_details->isChecked();
    Notebook1->setCurrentIndex(down ? 1 : 0);
    Szczegy1->setChecked(down);
}

void TfIbErrorWnd::Szczegy1Click() {
    SB_details->setChecked(!SB_details->isChecked());
    SB_detailsClick();
}

void TfIbErrorWnd::FormActivate() {
    BBok->setFocus(Qt::ActiveWindowFocusReason);
}

bool TfIbErrorWnd::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TfIbErrorWnd::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    FormActivate();
}

void TfIbErrorWnd::keyPressEvent(QKeyEvent* event) {
    // Esc has no binding; the window closes by "Ok", Enter or its close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
