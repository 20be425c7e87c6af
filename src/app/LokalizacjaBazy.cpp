#include "app/LokalizacjaBazy.h"

#include "core/FileSys.h"
#include "core/KwUtils.h"
#include "core/UiPort.h"
#include "dblayer/TestDatabaseConnect.h"
#include "settings/LokalizacjaBazyFile.h"
#include "ui/BitBtnKom.h"
#include "ui/Fonts.h"
#include "ui/QtUserInterface.h"
#include "ui/SlownikBtn.h"
#include "ui_LokalizacjaBazy.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

QString ToQ(const std::string& s) {
    return QString::fromStdString(s);
}
std::string FromQ(const QString& s) {
    return s.toStdString();
}

// Where a caption does not fit its designed box in this platform's fonts and style, the box grows to
// the right just enough, never past maxRight (the next control, or the panel's inner edge).
void WidenToFit(QWidget* w, int maxRight) {
    const int need = w->sizeHint().width();
    if (need > w->width())
        w->resize(std::min(need, maxRight - w->x()), w->height());
}

// List items of the design are 15 pixels high.
class TItemHeight15 : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 15};
    }
};

// The designs' drop-down lists are 73 pixels wide, too narrow for "NamedPipe" beside this style's own
// 19-pixel drop-down button; a narrower button leaves the text its room, and the list grows no further
// than the text needs.
class TListStyle : public QProxyStyle {
public:
    static constexpr int kButtonWidth = 10;
    static constexpr int kFrame = 2;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control != CC_ComboBox || (sub != SC_ComboBoxArrow && sub != SC_ComboBoxEditField))
            return QProxyStyle::subControlRect(control, option, sub, widget);
        const QRect r = option->rect;
        const QRect rect = sub == SC_ComboBoxArrow
                               ? QRect(r.right() - kButtonWidth + 1, r.top(), kButtonWidth, r.height())
                               : QRect(r.left() + kFrame, r.top() + kFrame,
                                       r.width() - kButtonWidth - 2 * kFrame, r.height() - 2 * kFrame);
        return visualRect(option->direction, r, rect);
    }
};

// The width at which the closed list shows its longest item whole: the text, a pixel either side, the
// frame and the drop-down button.
int ListWidthForItems(const QComboBox* list) {
    const QFontMetrics metrics(list->font());
    int text = 0;
    for (int i = 0; i < list->count(); ++i)
        text = std::max(text, metrics.horizontalAdvance(list->itemText(i)));
    return text + 2 + 2 * TListStyle::kFrame + TListStyle::kButtonWidth;
}

} // namespace

TfLokalizacjaBazy::TfLokalizacjaBazy(QWidget* parent, const std::string& settingsFile)
    : TXPForm(parent), ui(std::make_unique<Ui::TfLokalizacjaBazy>()), FSettingsFile(settingsFile) {
    ui->setupUi(this);
    // A dialog border: fixed size, only the close button among the caption buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(418, 235);

    setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8));
    const QFont arial = DesignFont(QStringLiteral("Arial"), 9);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->BBzapisz, ui->BBpomoc, ui->BBanuluj, ui->E_SerwerName, ui->E_DatabaseDir, ui->E_SharedDir,
             ui->E_ProfileDir, ui->CB_NetProtocol, ui->CB_DatabaseFileExt})
        w->setFont(arial);
    for (TBitBtnKom* b : {ui->BBzapisz, ui->BBpomoc, ui->BBanuluj}) {
        QPalette p = b->palette();
        p.setColor(QPalette::ButtonText, Qt::black);
        b->setPalette(p);
    }
    ui->BBzapisz->SetKind(bkOK);
    ui->BBanuluj->SetKind(bkCancel);
    ui->BBpomoc->SetKind(bkHelp);
    for (QComboBox* c : {ui->CB_NetProtocol, ui->CB_DatabaseFileExt})
        c->setItemDelegate(new TItemHeight15(c));
    const int panelInner = ui->Panel1->width() - ui->Panel1->frameWidth();
    WidenToFit(ui->RB_lokal, panelInner);
    WidenToFit(ui->RB_remote, panelInner);
    for (QComboBox* c : {ui->CB_NetProtocol, ui->CB_DatabaseFileExt}) {
        auto* style = new TListStyle;
        style->setParent(c);
        c->setStyle(style);
    }
    // "NamedPipe" whole, keeping a margin of two pixels to the panel's edge; the place stays.
    ui->CB_NetProtocol->resize(std::clamp(ListWidthForItems(ui->CB_NetProtocol), ui->CB_NetProtocol->width(),
                                          panelInner - 2 - ui->CB_NetProtocol->x()),
                               ui->CB_NetProtocol->height());
    WidenToFit(ui->CB_ProfileDir, ui->E_ProfileDir->x() - 2);
    // The open list shows every item whole, even where the closed box is too narrow for it.
    ui->CB_NetProtocol->view()->setMinimumWidth(ui->CB_NetProtocol->sizeHint().width());
    // Labels size themselves to their caption, as the design's labels do.
    for (QLabel* l : {ui->L_SerwerName, ui->Label2, ui->L_NetProtocol, ui->Label1})
        l->adjustSize();
    // Right-aligned, sized to its text from its designed left edge.
    ui->Label3->adjustSize();
    ui->Image1->setPixmap(QPixmap(QStringLiteral(":/zelwan/zelwan-32.png")));
    ui->Image1->setAttribute(Qt::WA_TranslucentBackground);

    connect(ui->RB_lokal, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RunGuarded([this] { OnRbClick(); });
    });
    connect(ui->RB_remote, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RunGuarded([this] { OnRbClick(); });
    });
    connect(ui->CB_ProfileDir, &QCheckBox::toggled, this,
            [this] { RunGuarded([this] { CB_ProfileDirClick(); }); });
    connect(ui->E_SharedDir, &QLineEdit::textChanged, this,
            [this] { RunGuarded([this] { E_SharedDirChange(); }); });
    ui->SB_DatabaseDir->SetOnClick([this](QObject*) { RunGuarded([this] { SB_DatabaseDirClick(); }); });
    ui->SB_SharedDir->SetOnClick([this](QObject*) { RunGuarded([this] { SB_SharedDirClick(); }); });
    ui->SB_ProfileDir->SetOnClick([this](QObject*) { RunGuarded([this] { SB_ProfileDirClick(); }); });
    for (QLineEdit* e : {ui->E_DatabaseDir, ui->E_SharedDir, ui->E_ProfileDir})
        e->installEventFilter(this);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(ui->BBzapisz, &QPushButton::clicked, this, [this] { RunGuarded([this] { BBzapiszClick(); }); });
    connect(ui->BBanuluj, &QPushButton::clicked, this, [this] { RunGuarded([this] { BBanulujClick(); }); });
    // "Pomoc" has no action bound to it.

    Loaded();
    RunGuarded([this] { FormCreate(); });
}

TfLokalizacjaBazy::~TfLokalizacjaBazy() {
    FormDestroy();
}

void TfLokalizacjaBazy::FormCreate() {
    LokalizacjaBazyFile = std::make_unique<TLokalizacjaBazyFile>(FSettingsFile);
    LoadData();
}

void TfLokalizacjaBazy::FormDestroy() {
    LokalizacjaBazyFile.reset();
}

void TfLokalizacjaBazy::LoadData() {
    TLokalizacjaBazyFile& s = *LokalizacjaBazyFile;
    // A read error has been shown already and ends here with the silent abort: the dialog opens as designed.
    s.Load();
    ui->RB_lokal->setChecked(!s.RemoteSerwer());
    ui->RB_remote->setChecked(s.RemoteSerwer());
    OnRbClick(); // a button already in that state has not signalled the change
    // With local settings the server box stays empty.
    if (ui->E_SerwerName->isEnabled())
        ui->E_SerwerName->setText(ToQ(s.SerwerName()));
    ui->E_DatabaseDir->setText(ToQ(s.DatabaseDir()));
    const int protocol = s.ProtocolName();
    ui->CB_NetProtocol->setCurrentIndex(protocol <= npSPX ? protocol : -1);
    // The list's own search ignores letter case.
    ui->CB_DatabaseFileExt->setCurrentIndex(
        ui->CB_DatabaseFileExt->findText(ToQ(s.DatabaseFileExt), Qt::MatchFixedString));
    ui->E_SharedDir->setText(ToQ(s.SharedDir)); // E_SharedDirChange copies it while the box is unchecked
    ui->E_ProfileDir->setText(ToQ(s.ProfileDir));
    ui->CB_ProfileDir->setChecked(ui->E_SharedDir->text() != ui->E_ProfileDir->text());
    CB_ProfileDirClick();
    fWasBackup = false;
    fRestoreNeed = true;
}

void TfLokalizacjaBazy::SaveData() {
    TLokalizacjaBazyFile& s = *LokalizacjaBazyFile;
    if (!fWasBackup) {
        s.MakeBackup();
        fWasBackup = true;
    }
    s.SetRemoteSerwer(ui->RB_remote->isChecked());
    s.SetSerwerName(FromQ(ui->E_SerwerName->text()));
    s.SetDatabaseDir(FromQ(ui->E_DatabaseDir->text()));
    s.DatabaseFileExt = ui->CB_DatabaseFileExt->currentIndex() < 0
                            ? std::string()
                            : FromQ(ui->CB_DatabaseFileExt->currentText());
    // The protocol is stored in one byte: no selection (-1) becomes 255.
    s.SetProtocolName(
        static_cast<TIBNetProtocol>(static_cast<std::uint8_t>(ui->CB_NetProtocol->currentIndex())));
    s.SharedDir = FromQ(ui->E_SharedDir->text());
    s.ProfileDir = FromQ(ui->E_ProfileDir->text());
    s.Save();
}

void TfLokalizacjaBazy::RestoreChanges() {
    if (!fWasBackup || !LokalizacjaBazyFile)
        return;
    if (fRestoreNeed)
        LokalizacjaBazyFile->RestoreFromBackup();
    else
        LokalizacjaBazyFile->DeleteBackup();
}

void TfLokalizacjaBazy::OnRbClick() {
    const bool r = ui->RB_remote->isChecked();
    ui->L_SerwerName->setEnabled(r);
    ui->E_SerwerName->setEnabled(r);
    ui->SB_DatabaseDir->SetEnabled(!r);
    ui->CB_NetProtocol->setEnabled(r);
    ui->L_NetProtocol->setEnabled(r);
}

void TfLokalizacjaBazy::CB_ProfileDirClick() {
    const bool on = ui->CB_ProfileDir->isChecked();
    ui->E_ProfileDir->setEnabled(on);
    ui->SB_ProfileDir->SetEnabled(on);
    if (!on)
        ui->E_ProfileDir->setText(ui->E_SharedDir->text());
}

void TfLokalizacjaBazy::E_SharedDirChange() {
    if (!ui->CB_ProfileDir->isChecked())
        ui->E_ProfileDir->setText(ui->E_SharedDir->text());
}

bool TfLokalizacjaBazy::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        TSlownikBtn* button = watched == ui->E_DatabaseDir  ? ui->SB_DatabaseDir
                              : watched == ui->E_SharedDir  ? ui->SB_SharedDir
                              : watched == ui->E_ProfileDir ? ui->SB_ProfileDir
                                                            : nullptr;
        // The key goes on to the edit box as well.
        if (button)
            RunGuarded([&] { button->ProcessKeyDown(key->key(), key->modifiers()); });
    }
    return TXPForm::eventFilter(watched, event);
}

void TfLokalizacjaBazy::showEvent(QShowEvent* event) {
    if (!FPlaced) {
        FPlaced = true;
        // Centred on the screen: the whole screen (not its work area), the window with its frame,
        // halves rounded down. Qt's own placement guesses a frame where the window system has none.
        if (const QScreen* s = screen()) {
            const QRect area = s->geometry();
            const QSize frame = frameGeometry().size();
            move(area.x() + (area.width() - frame.width()) / 2,
                 area.y() + (area.height() - frame.height()) / 2);
        }
    }
    TXPForm::showEvent(event);
}

std::optional<std::string> TfLokalizacjaBazy::SelectDirectory(QWidget* parent, const std::string& start) {
    // Read-only: the user picks an existing directory and can make, rename or delete none.
    const QString dir = QFileDialog::getExistingDirectory(parent, QString(), ToQ(start),
                                                          QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    if (dir.isEmpty())
        return std::nullopt;
    return FromQ(dir);
}

void TfLokalizacjaBazy::SetSelectDirectory(TSelectDirectory select) {
    FSelectDirectory = std::move(select);
}

void TfLokalizacjaBazy::PickDirectory(QLineEdit* edit) {
    const std::string start = FromQ(edit->text());
    const std::optional<std::string> chosen =
        FSelectDirectory ? FSelectDirectory(this, start) : SelectDirectory(this, start);
    if (chosen)
        edit->setText(ToQ(*chosen));
}

void TfLokalizacjaBazy::SB_DatabaseDirClick() {
    if (ui->SB_DatabaseDir->Enabled())
        PickDirectory(ui->E_DatabaseDir);
}

void TfLokalizacjaBazy::SB_SharedDirClick() {
    PickDirectory(ui->E_SharedDir);
}

void TfLokalizacjaBazy::SB_ProfileDirClick() {
    PickDirectory(ui->E_ProfileDir);
}

void TfLokalizacjaBazy::Button1Click() {
    const std::string profileDir = FromQ(ui->E_ProfileDir->text());
    if (!DirectoryExists(profileDir)) {
        BladOk("Brak kalalogu profili.", 100);
        return;
    }
    if (!DirectoryExists(MakeFileName(profileDir, "PROFILE"))) {
        BladOk("Brak kalalogu \"PROFILE\" w podanym katalogu profili.", 100);
        return;
    }
    // The settings under test are the ones on disk and in the registry; the first save makes the backup.
    SaveData();
    TTestDatabaseConnect test;
    test.SetRemoteSerwer(ui->RB_remote->isChecked());
    test.SetSerwerName(FromQ(ui->E_SerwerName->text()));
    // The protocol is one byte: no selection (-1) becomes 255, as SaveData stores it.
    test.SetProtocolName(
        static_cast<TIBNetProtocol>(static_cast<std::uint8_t>(ui->CB_NetProtocol->currentIndex())));
    test.SetDatabaseDir(FromQ(ui->E_DatabaseDir->text()));
    test.SetDatabaseFileName("systemkw"); // the suite's system database
    test.SetDatabaseFileExt(FromQ(ui->CB_DatabaseFileExt->currentText()));
    // A failure has been shown by the test itself.
    if (test.Test(true))
        Inf("Ustanowiono połączenie z bazą danych.", 100);
}

void TfLokalizacjaBazy::BBzapiszClick() {
    SaveData();
    // Only a save that went through is confirmed: after a failed one a later close must still put the backup
    // back.
    fRestoreNeed = false;
    close();
}

void TfLokalizacjaBazy::BBanulujClick() {
    close();
}

void TfLokalizacjaBazy::FormClose() {
    RestoreChanges();
}

void TfLokalizacjaBazy::done(int result) {
    // Every way of closing (Ok, Anuluj, Esc, the window's close command) passes here, some twice.
    if (!FClosing) {
        FClosing = true;
        RunGuarded([this] { FormClose(); });
    }
    TXPForm::done(result);
    FClosing = false;
}
