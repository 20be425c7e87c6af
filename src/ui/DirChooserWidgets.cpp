#include "ui/DirChooserWidgets.h"

#include "core/Exception.h"
#include "core/FileSys.h"
#include "platform/Drives.h"
#include "ui/QtUserInterface.h"

#include <QStyle>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
constexpr int kDirRole = Qt::UserRole + 1;

QString ToQ(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

TDirListBox::TDirListBox(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(12);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { RunGuarded([&] { SetDirectory(ItemDirectory(item)); }); });
    std::string start = platform::NearestExistingDir(".");
    FDirectory = start.empty() ? "/" : start;
    Fill();
}

std::string TDirListBox::ItemDirectory(const QTreeWidgetItem* item) {
    return item ? item->data(0, kDirRole).toString().toStdString() : std::string();
}

void TDirListBox::SetDirectory(const std::string& dir) {
    if (!DirectoryExists(dir))
        throw Exception("Nie można otworzyć katalogu: " + dir);
    std::error_code ec;
    std::string real = fs::canonical(dir, ec).string();
    if (ec)
        throw Exception("Nie można otworzyć katalogu: " + dir);
    if (real == FDirectory)
        return;
    FDirectory = real;
    Fill();
    emit Changed();
}

std::string TDirListBox::Drive() const {
    return platform::Drives().DriveOf(FDirectory);
}

void TDirListBox::SetDrive(const std::string& drive) {
    if (drive.empty() || Drive() == drive)
        return;
    SetDirectory(drive);
}

void TDirListBox::Fill() {
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    clear();

    // The way down from the root, one level below the other.
    QTreeWidgetItem* item = new QTreeWidgetItem(this, QStringList(QStringLiteral("/")));
    item->setIcon(0, open);
    item->setData(0, kDirRole, QStringLiteral("/"));
    fs::path sofar = "/";
    for (const fs::path& part : fs::path(FDirectory).relative_path()) {
        sofar /= part;
        auto* child = new QTreeWidgetItem(item, QStringList(ToQ(part.string())));
        child->setIcon(0, open);
        child->setData(0, kDirRole, ToQ(sofar.string()));
        item->setExpanded(true);
        item = child;
    }
    QTreeWidgetItem* current = item;

    // Hidden directories stay hidden, as in the desktop's own file dialogs.
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(FDirectory, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.front() != '.' && it->is_directory(typeEc))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return QString::localeAwareCompare(ToQ(a), ToQ(b)) < 0;
    });
    for (const std::string& name : names) {
        auto* child = new QTreeWidgetItem(current, QStringList(ToQ(name)));
        child->setIcon(0, closed);
        child->setData(0, kDirRole, ToQ((fs::path(FDirectory) / name).string()));
    }
    current->setExpanded(true);
    setCurrentItem(current);
    scrollToItem(current);
}

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    for (const std::string& drive : platform::Drives().DriveList())
        addItem(ToQ(drive));
    ShowDrive(platform::Drives().DriveOf("."));
    connect(this, &QComboBox::activated, this, [this](int) {
        emit DriveChanged();
        emit DriveClicked();
    });
}

std::string TDriveComboBox::Drive() const {
    return currentIndex() < 0 ? std::string() : currentText().toStdString();
}

void TDriveComboBox::ShowDrive(const std::string& drive) {
    const QSignalBlocker block(this);
    setCurrentIndex(drive.empty() ? -1 : findText(ToQ(drive), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void TDriveComboBox::SetDrive(const std::string& drive) {
    ShowDrive(drive);
    emit DriveChanged();
}
