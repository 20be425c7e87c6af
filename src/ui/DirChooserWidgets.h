#pragma once
// The drive list and the directory tree of the directory chooser. A drive is a mounted file system
// named by its mount point (platform/Drives.h); the tree shows the way from "/" down to the current
// directory, then that directory's subdirectories, and moves on a double click or Enter.

#include <QComboBox>
#include <QTreeWidget>

#include <string>

class TDirListBox : public QTreeWidget {
    Q_OBJECT
public:
    // Starts in the working directory, as a directory list of the platform does.
    explicit TDirListBox(QWidget* parent = nullptr);

    const std::string& Directory() const { return FDirectory; }
    // Moves the tree; raises an Exception when dir is not an existing directory (the tree stays).
    void SetDirectory(const std::string& dir);
    // The drive of the current directory.
    std::string Drive() const;
    // Moves to the root of drive, unless the tree already is on that drive.
    void SetDrive(const std::string& drive);
    // The directory that an item of the tree stands for.
    static std::string ItemDirectory(const QTreeWidgetItem* item);

signals:
    void Changed();

private:
    void Fill();
    std::string FDirectory;
};

class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    // Lists the drives of this machine and shows the drive of the working directory.
    explicit TDriveComboBox(QWidget* parent = nullptr);

    std::string Drive() const;
    // Shows drive and reports the change (DriveChanged), also when it was shown already; a drive
    // not in the list, or the empty name, leaves the list without a selection.
    void SetDrive(const std::string& drive);
    // Shows drive without reporting anything.
    void ShowDrive(const std::string& drive);

signals:
    // The drive was set, or the user chose one (then DriveClicked follows).
    void DriveChanged();
    void DriveClicked();
};
