#pragma once
// The connection dialog: where the suite's database lies (a local directory, or a remote server
// with its protocol), the extension of the database files, and the shared and profile directories.
// It owns the settings object for its whole life. The first save while it is open backs baza.set
// up; closing without "&Ok" puts the backup back, "&Ok" deletes it.

#include "ui/XpTheme.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TfLokalizacjaBazy;
}
class TLokalizacjaBazyFile;

class TfLokalizacjaBazy : public TXPForm {
    Q_OBJECT
public:
    // settingsFile: the settings file to edit; empty means baza.set beside the executable. Build it
    // after InitApplication, which registers its pictures.
    explicit TfLokalizacjaBazy(QWidget* parent = nullptr, const std::string& settingsFile = {});
    ~TfLokalizacjaBazy() override;

    // The platform's standard directory selection: existing directories only, started at start;
    // nullopt when the user cancelled.
    using TSelectDirectory =
        std::function<std::optional<std::string>(QWidget* parent, const std::string& start)>;
    static std::optional<std::string> SelectDirectory(QWidget* parent, const std::string& start);
    // Replaces the directory selection (tests); an empty function puts the platform's back.
    void SetSelectDirectory(TSelectDirectory select);

    void LoadData();
    void SaveData();
    void RestoreChanges();

    void FormCreate();
    void FormClose();
    void FormDestroy();
    void OnRbClick();
    void CB_ProfileDirClick();
    void E_SharedDirChange();
    void SB_DatabaseDirClick();
    void SB_SharedDirClick();
    void SB_ProfileDirClick();
    void Button1Click();
    void BBzapiszClick();
    void BBanulujClick();

    bool WasBackup() const { return fWasBackup; }
    bool RestoreNeed() const { return fRestoreNeed; }
    TLokalizacjaBazyFile* Settings() const { return LokalizacjaBazyFile.get(); }

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The first show puts the window, frame included, in the middle of the whole screen, as designed.
    void showEvent(QShowEvent* event) override;

private:
    void PickDirectory(class QLineEdit* edit);

    std::unique_ptr<Ui::TfLokalizacjaBazy> ui;
    std::string FSettingsFile;
    bool fWasBackup = false;
    bool fRestoreNeed = false;
    bool FClosing = false;
    bool FPlaced = false;
    std::unique_ptr<TLokalizacjaBazyFile> LokalizacjaBazyFile;
    TSelectDirectory FSelectDirectory;
};
