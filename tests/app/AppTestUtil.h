#pragma once
// Helpers of the program's GUI tests besides the Qt tests' common ones: a working directory for a
// scope, the Tab order, and a drives service of the test's own.

#include "QtTestUtil.h"

#include "platform/Drives.h"

#include <QWidget>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

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
