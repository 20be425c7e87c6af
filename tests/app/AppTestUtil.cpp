#include "AppTestUtil.h"

#include "platform/Drives.h"

QWidget* NextTabStop(QWidget* w) {
    QWidget* next = w->nextInFocusChain();
    while (next && next != w &&
           !(next->isEnabled() && (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy()))
        next = next->nextInFocusChain();
    return next;
}

TFakeDrives::TFakeDrives() : FPrevious(platform::SetDrives(this)) {}

TFakeDrives::~TFakeDrives() {
    platform::SetDrives(FPrevious);
}

void TFakeDrives::Add(const std::string& drive, platform::TDriveType type, std::int64_t freeBytes,
                      std::int64_t totalBytes) {
    FOrder.push_back(drive);
    FDrives[drive] = {type, freeBytes, totalBytes};
}

std::vector<std::string> TFakeDrives::DriveList() {
    return FOrder;
}

std::string TFakeDrives::DriveOf(const std::string& path) {
    const std::string dir = platform::NearestExistingDir(path);
    std::string best;
    for (const auto& [drive, info] : FDrives) {
        const bool under =
            !dir.empty() && (dir == drive || drive == "/" ||
                             (dir.size() > drive.size() && dir.compare(0, drive.size(), drive) == 0 &&
                              dir[drive.size()] == '/'));
        if (under && drive.size() > best.size())
            best = drive;
    }
    return best;
}

platform::TDriveType TFakeDrives::DriveType(const std::string& path) {
    const auto it = FDrives.find(DriveOf(path));
    return it == FDrives.end() ? platform::dtNoRoot : it->second.Type;
}

std::int64_t TFakeDrives::FreeBytes(const std::string& path) {
    const auto it = FDrives.find(DriveOf(path));
    return it == FDrives.end() ? -1 : it->second.Free;
}

std::int64_t TFakeDrives::TotalBytes(const std::string& path) {
    const auto it = FDrives.find(DriveOf(path));
    return it == FDrives.end() ? -1 : it->second.Total;
}
