#pragma once
// Drives on this machine. The framework thinks in drive letters; here a "drive" is a mounted file
// system, named by its mount point: the drive of a path is the mounted file system that holds it,
// the drive list is the list of mount points, the type comes from the file-system kind, and the
// free space from statvfs(3).

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Numbered as the framework's callers number drive types.
enum TDriveType : int {
    dtUnknown = 0,   // cannot be told (a pseudo file system such as /proc)
    dtNoRoot = 1,    // no such drive: an empty or Windows-form path
    dtRemovable = 2, // a block device marked removable
    dtFixed = 3,
    dtRemote = 4, // a network file system
    dtCdRom = 5,  // iso9660, udf
    dtRamDisk = 6 // tmpfs, ramfs
};

struct TMountEntry {
    std::string Device;
    std::string MountPoint;
    std::string FsType;
};

// Parses a mount table in the format of /proc/self/mounts; the octal escapes of blanks,
// tabs, newlines and backslashes in device and mount point are decoded. Malformed lines are skipped.
std::vector<TMountEntry> ParseMountTable(const std::string& text);

// The type of a mounted file system. sysBlockDir is where the kernel lists block devices
// (/sys/class/block), asked whether the device is removable.
TDriveType MountType(const TMountEntry& entry, const std::string& sysBlockDir);

// Whether the kind of file system stores data at all (not proc, sysfs, cgroup, devpts, ...).
bool HoldsData(const std::string& fsType);

class IDrives {
public:
    virtual ~IDrives() = default;
    // Mount points of the file systems that hold data, in mount order (so the root file system
    // comes first), each once.
    virtual std::vector<std::string> DriveList() = 0;
    // The mount point of the file system that holds path, or would hold it once created (the
    // nearest existing parent counts; a relative path is taken from the working directory).
    // Empty for an empty or Windows-form path.
    virtual std::string DriveOf(const std::string& path) = 0;
    virtual TDriveType DriveType(const std::string& path) = 0;
    // Bytes an ordinary user may still write on the drive of path; -1 when that cannot be read.
    virtual std::int64_t FreeBytes(const std::string& path) = 0;
    // Size of the drive of path; -1 when it cannot be read.
    virtual std::int64_t TotalBytes(const std::string& path) = 0;
};

// The drives of this machine, read from a mount table file each time they are asked for (drives
// come and go while a dialog is open).
class TSystemDrives : public IDrives {
public:
    explicit TSystemDrives(std::string mountTableFile = "/proc/self/mounts",
                           std::string sysBlockDir = "/sys/class/block");

    std::vector<std::string> DriveList() override;
    std::string DriveOf(const std::string& path) override;
    TDriveType DriveType(const std::string& path) override;
    std::int64_t FreeBytes(const std::string& path) override;
    std::int64_t TotalBytes(const std::string& path) override;

private:
    std::vector<TMountEntry> Mounts() const;
    // The visible mount that holds path; null when there is none.
    static const TMountEntry* FindMount(const std::vector<TMountEntry>& mounts, const std::string& path);

    std::string FMountTableFile;
    std::string FSysBlockDir;
};

// The drives service in use: the system's, unless a test has installed its own.
IDrives& Drives();
// Installs a replacement (null puts the system's back); returns the one installed before.
IDrives* SetDrives(IDrives* drives);

// The existing directory that path names or lies under (absolute, symbolic links resolved);
// empty for an empty or Windows-form path.
std::string NearestExistingDir(const std::string& path);

} // namespace platform
