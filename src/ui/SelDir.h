#pragma once
// The framework's directory chooser: a drive list, a directory tree and an editable directory
// name; in the Tworz mode the chosen drive must be able to take data and a missing directory may
// be created. A "drive" is a mounted file system named by its mount point (platform/Drives.h).

#include "ui/XpTheme.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Ui {
class TSelDir;
}
class TDirListBox;
class TDriveComboBox;

// The drive type of the file system that holds drive (a mount point or any path in it):
// 0 undetermined, 1 no such drive, 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk.
int DriveType(const std::string& drive);
// Free space of that drive in whole megabytes (truncated); 0 when it cannot be read.
std::int64_t DriveSpace(const std::string& drive);
// Whether the drive of drive can take data; with "+k" among the first 20 characters of opcje a
// refusal is explained in an error window.
bool ValidDrive(const std::string& drive, const std::string& opcje);
// The first usable drive in the drive list; empty when there is none.
std::string DostepnyDysk();

class TSelDir : public TXPForm {
    Q_OBJECT
public:
    explicit TSelDir(QWidget* parent = nullptr);
    ~TSelDir() override;

    // Opens the chooser modally; returns the chosen directory, or katalog when the user cancelled.
    // This is what the user-interface port's SelDir shows.
    static std::string Execute(const std::string& katalog, bool tworz, const std::string& etykieta,
                               const std::string& tytul, QWidget* parent = nullptr);

    // Fills the form for a call of Execute, before it is shown.
    void Prepare(const std::string& katalog, bool tworz, const std::string& etykieta,
                 const std::string& tytul);
    std::string DirNameText() const;

    std::string LastDrive; // the last drive accepted in the Tworz mode
    bool Tworz = false;

    void DirListBoxChange();
    void NapedComboClick();
    void NapedComboChange();
    void ButtonOKClick();

private:
    std::unique_ptr<Ui::TSelDir> ui;
};

// Makes the Qt user-interface port's SelDir open this chooser. The program calls it at start-up.
void InstallSelDirHook();
