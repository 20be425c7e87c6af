#pragma once
// Helpers of the program's GUI tests: widgets by objectName, answering modal windows, screenshots,
// and a drives service of the test's own.

#include "platform/Drives.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The child of parent with that objectName and type; fails the test (and returns null) when missing.
template <class T> T* Child(QObject* parent, const char* name) {
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        ADD_FAILURE() << "no " << name;
    return w;
}

// Works in dir for the rest of the scope, then goes back where it was.
class TWorkIn {
public:
    explicit TWorkIn(const std::filesystem::path& dir) : FBefore(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~TWorkIn() { std::filesystem::current_path(FBefore); }
    TWorkIn(const TWorkIn&) = delete;
    TWorkIn& operator=(const TWorkIn&) = delete;

private:
    std::filesystem::path FBefore;
};

// The widget that Tab moves to from w.
QWidget* NextTabStop(QWidget* w);

// Runs action once the next modal window is up (polling, as it may be opened a moment later), then
// lets it go on; action gets the modal window.
void WhenModal(const std::function<void(QWidget* modal)>& action);

// Saves a picture of w as <name>.png into $ZELWAN_SHOTS_DIR; nothing when that is not set.
void SaveShot(QWidget* w, const std::string& name);

// Drives as the test says: each drive a directory with a type and free and total bytes; the drive
// of a path is the longest drive that is a parent of it; the list keeps the order of Add.
class TFakeDrives : public platform::IDrives {
public:
    TFakeDrives();
    ~TFakeDrives() override;
    void Add(const std::string& drive, platform::TDriveType type, std::int64_t freeBytes,
             std::int64_t totalBytes = 1LL << 34);

    std::vector<std::string> DriveList() override;
    std::string DriveOf(const std::string& path) override;
    platform::TDriveType DriveType(const std::string& path) override;
    std::int64_t FreeBytes(const std::string& path) override;
    std::int64_t TotalBytes(const std::string& path) override;

private:
    struct TDrive {
        platform::TDriveType Type;
        std::int64_t Free, Total;
    };
    std::vector<std::string> FOrder;
    std::map<std::string, TDrive> FDrives;
    platform::IDrives* FPrevious;
};
