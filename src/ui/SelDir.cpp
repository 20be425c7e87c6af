#include "ui/SelDir.h"

#include "core/FileSys.h"
#include "core/KwUtils.h"
#include "core/UiPort.h"
#include "platform/Drives.h"
#include "ui/BitBtnKom.h"
#include "ui/DirChooserWidgets.h"
#include "ui/Fonts.h"
#include "ui/QtUserInterface.h"
#include "ui_SelDir.h"

#include <QApplication>

namespace {
// The least free space, in megabytes, that a drive must offer to take data.
constexpr std::int64_t kMinSpaceMB = 1;
} // namespace

int DriveType(const std::string& drive) {
    return platform::Drives().DriveType(drive);
}

std::int64_t DriveSpace(const std::string& drive) {
    const std::int64_t free = platform::Drives().FreeBytes(drive);
    return free < 0 ? 0 : free / 1048576;
}

bool ValidDrive(const std::string& drive, const std::string& opcje) {
    const bool explain = opcje.substr(0, 20).find("+k") != std::string::npos;
    auto refuse = [explain](const std::string& text) {
        if (explain)
            BladOk(text, 100);
        return false;
    };
    const int t = DriveType(drive);
    if (t == platform::dtFixed || t == platform::dtRemote) {
        if (DriveSpace(drive) >= kMinSpaceMB)
            return true;
        return refuse("Pojemność dysku mniejsza od wymaganej tzn. " + std::to_string(kMinSpaceMB) + "MB");
    }
    switch (t) {
    case platform::dtUnknown:
        refuse("Nie można określić typu dysku.");
        break;
    case platform::dtNoRoot:
        refuse("Dysk nie istnieje.");
        break;
    case platform::dtCdRom:
        refuse("Dysk jest CD-ROMem.");
        break;
    case platform::dtRamDisk:
        refuse("Dysk jest RAM dyskiem.");
        break;
    default:
        break;
    }
    if (t == platform::dtRemovable) {
        if (DriveSpace(drive) >= kMinSpaceMB)
            return true;
        return refuse("Dysk wymienialny o pojemności mniejszej niż minimalna wymagana tzn. " +
                      std::to_string(kMinSpaceMB) + "MB");
    }
    return false;
}

std::string DostepnyDysk() {
    for (const std::string& drive : platform::Drives().DriveList())
        if (platform::Drives().TotalBytes(drive) >= 0 && ValidDrive(drive, "-k"))
            return drive;
    return {};
}

TSelDir::TSelDir(QWidget* parent) : TXPForm(parent), ui(std::make_unique<Ui::TSelDir>()) {
    ui->setupUi(this);
    setFixedSize(392, 276);
    setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8));
    ui->ButtonOK->SetKind(bkOK);
    ui->AnulujButton->SetKind(bkCancel);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    for (QLabel* label : {ui->FolderLabel, ui->Label2, ui->Label1})
        label->adjustSize();
    Loaded();

    connect(ui->DirListBox, &TDirListBox::Changed, this,
            [this] { RunGuarded([this] { DirListBoxChange(); }); });
    connect(ui->NapedCombo, &TDriveComboBox::DriveChanged, this,
            [this] { RunGuarded([this] { NapedComboChange(); }); });
    connect(ui->NapedCombo, &TDriveComboBox::DriveClicked, this,
            [this] { RunGuarded([this] { NapedComboClick(); }); });
    connect(ui->ButtonOK, &QPushButton::clicked, this, [this] { RunGuarded([this] { ButtonOKClick(); }); });
    connect(ui->AnulujButton, &QPushButton::clicked, this, &QDialog::reject);
}

TSelDir::~TSelDir() = default;

void TSelDir::Prepare(const std::string& katalog, bool tworz, const std::string& etykieta,
                      const std::string& tytul) {
    ui->DirName->setText(QString::fromStdString(katalog));
    ui->DirName->setEnabled(tworz);
    ui->FolderLabel->setText(QString::fromStdString(etykieta));
    ui->FolderLabel->adjustSize();
    setWindowTitle(QString::fromStdString(tytul));
    Tworz = tworz;
    ui->NapedCombo->SetDrive(DostepnyDysk());
    if (!katalog.empty()) {
        try {
            ui->DirListBox->SetDirectory(katalog);
        } catch (const std::exception&) {
            // A directory that is not there: the tree stays where it is, and the name box keeps
            // Katalog even when moving the tree to the drive above has overwritten it (the process
            // may well run on another file system than the first usable one).
            ui->DirName->setText(QString::fromStdString(katalog));
        }
    }
}

std::string TSelDir::DirNameText() const {
    return ui->DirName->text().toStdString();
}

void TSelDir::DirListBoxChange() {
    ui->DirName->setText(QString::fromStdString(ui->DirListBox->Directory()));
    ui->NapedCombo->ShowDrive(ui->DirListBox->Drive());
}

void TSelDir::NapedComboClick() {
    // The floppy drive is never browsed.
    if (ui->NapedCombo->currentText().toUpper().contains(QStringLiteral("A:")))
        ui->DirName->setText(QStringLiteral("A:\\"));
}

void TSelDir::NapedComboChange() {
    const std::string drive = ui->NapedCombo->Drive();
    if (!Tworz) {
        ui->DirListBox->SetDrive(drive);
        return;
    }
    if (ValidDrive(drive, "+k")) {
        LastDrive = drive;
        ui->DirListBox->SetDrive(drive);
    } else {
        ui->NapedCombo->ShowDrive(LastDrive);
    }
}

void TSelDir::ButtonOKClick() {
    if (!Tworz) {
        accept();
        return;
    }
    const std::string name = DirNameText();
    if (!ValidDrive(name, "+k"))
        return;
    if (DirectoryExists(name)) {
        accept();
        return;
    }
    if (!PytTN("Utworzyć folder?", 100))
        return;
    if (MakeAnyKat(name)) {
        accept();
        return;
    }
    BladOk("Nie można utworzyć folderu o takiej nazwie!", 100);
    ui->DirName->setFocus();
}

std::string TSelDir::Execute(const std::string& katalog, bool tworz, const std::string& etykieta,
                             const std::string& tytul, QWidget* parent) {
    TSelDir form(parent);
    form.Prepare(katalog, tworz, etykieta, tytul);
    return form.exec() == QDialog::Accepted ? form.DirNameText() : katalog;
}

void InstallSelDirHook() {
    SetSelDirHook(
        [](const std::string& katalog, bool tworz, const std::string& etykieta, const std::string& tytul) {
            return TSelDir::Execute(katalog, tworz, etykieta, tytul, QApplication::activeWindow());
        });
}
