#include "platform/Drives.h"

#include "core/FileSys.h"
#include "platform/Files.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string_view>
#include <sys/statvfs.h>

namespace fs = std::filesystem;

namespace platform {

namespace {

// /proc/self/mounts writes blank, tab, newline and backslash in names as \040, \011, \012, \134.
std::string Unescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            const char a = s[i + 1], b = s[i + 2], c = s[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

bool OneOf(std::string_view kind, std::initializer_list<std::string_view> kinds) {
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

bool IsRemoteKind(std::string_view kind) {
    if (OneOf(kind, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "ceph", "glusterfs",
                     "lustre", "gpfs", "davfs", "coda"}))
        return true;
    // FUSE file systems that reach another machine.
    return OneOf(kind, {"fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.glusterfs", "fuse.davfs2",
                        "fuse.gvfsd-fuse", "fuse.curlftpfs"});
}

std::string ReadFirstLine(const fs::path& file) {
    const std::string text = ReadFile(file.string()).value_or(std::string());
    return text.substr(0, text.find('\n'));
}

// Whether the kernel marks the disk of a block device as removable; a partition asks its disk.
bool IsRemovableDevice(const std::string& device, const std::string& sysBlockDir) {
    if (device.rfind("/dev/", 0) != 0)
        return false;
    std::error_code ec;
    fs::path dev = fs::canonical(device, ec); // /dev/disk/by-uuid/... and /dev/mapper/... are links
    if (ec)
        dev = device;
    const fs::path entry = fs::path(sysBlockDir) / dev.filename();
    if (fs::exists(entry / "removable", ec))
        return ReadFirstLine(entry / "removable") == "1";
    const fs::path real = fs::canonical(entry, ec);
    if (ec)
        return false;
    const fs::path parent = real.parent_path() / "removable";
    return fs::exists(parent, ec) && ReadFirstLine(parent) == "1";
}

bool IsUnder(const std::string& path, const std::string& dir) {
    if (dir == "/")
        return !path.empty() && path.front() == '/';
    return path == dir ||
           (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/');
}

// statvfs(3) of the file system that holds path; nullopt when it cannot be read.
std::optional<struct statvfs> FileSystemOf(const std::string& path) {
    const std::string dir = NearestExistingDir(path);
    struct statvfs st {};
    if (dir.empty() || ::statvfs(dir.c_str(), &st) != 0)
        return std::nullopt;
    return st;
}

IDrives* gDrives = nullptr;

} // namespace

std::vector<TMountEntry> ParseMountTable(const std::string& text) {
    std::vector<TMountEntry> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        TMountEntry entry;
        if (!(fields >> entry.Device >> entry.MountPoint >> entry.FsType))
            continue;
        if (entry.Device.front() == '#')
            continue;
        entry.Device = Unescape(entry.Device);
        entry.MountPoint = Unescape(entry.MountPoint);
        result.push_back(std::move(entry));
    }
    return result;
}

bool HoldsData(const std::string& fsType) {
    return !OneOf(fsType, {"proc",       "sysfs",    "cgroup",    "cgroup2",     "devpts", "devtmpfs",
                           "securityfs", "debugfs",  "tracefs",   "pstore",      "bpf",    "mqueue",
                           "hugetlbfs",  "configfs", "fusectl",   "binfmt_misc", "autofs", "efivarfs",
                           "rpc_pipefs", "nsfs",     "selinuxfs", "nfsd",        "sockfs", "pipefs"});
}

TDriveType MountType(const TMountEntry& entry, const std::string& sysBlockDir) {
    const std::string& kind = entry.FsType;
    if (!HoldsData(kind))
        return dtUnknown;
    if (IsRemoteKind(kind))
        return dtRemote;
    if (OneOf(kind, {"iso9660", "udf"}))
        return dtCdRom;
    if (OneOf(kind, {"tmpfs", "ramfs"}))
        return dtRamDisk;
    if (IsRemovableDevice(entry.Device, sysBlockDir))
        return dtRemovable;
    return dtFixed;
}

std::string NearestExistingDir(const std::string& path) {
    if (path.empty() || IsWindowsFormPath(path))
        return {};
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec)
        return {};
    p = p.lexically_normal();
    if (!p.has_filename() && p != p.root_path())
        p = p.parent_path(); // "/a/b/" names /a/b
    for (;;) {
        if (fs::is_directory(p, ec)) {
            const fs::path real = fs::canonical(p, ec);
            return ec ? p.string() : real.string();
        }
        if (p == p.root_path() || !p.has_parent_path())
            return {};
        p = p.parent_path();
    }
}

TSystemDrives::TSystemDrives(std::string mountTableFile, std::string sysBlockDir)
    : FMountTableFile(std::move(mountTableFile)), FSysBlockDir(std::move(sysBlockDir)) {}

std::vector<TMountEntry> TSystemDrives::Mounts() const {
    return ParseMountTable(ReadFile(FMountTableFile).value_or(std::string()));
}

const TMountEntry* TSystemDrives::FindMount(const std::vector<TMountEntry>& mounts, const std::string& path) {
    const TMountEntry* best = nullptr;
    for (const TMountEntry& m : mounts) {
        // A later mount on the same point hides the earlier one, hence ">=".
        if (IsUnder(path, m.MountPoint) && (!best || m.MountPoint.size() >= best->MountPoint.size()))
            best = &m;
    }
    return best;
}

std::vector<std::string> TSystemDrives::DriveList() {
    std::vector<std::string> result;
    for (const TMountEntry& m : Mounts()) {
        if (!HoldsData(m.FsType) || IsUnder(m.MountPoint, "/proc") || IsUnder(m.MountPoint, "/sys"))
            continue;
        if (std::find(result.begin(), result.end(), m.MountPoint) == result.end())
            result.push_back(m.MountPoint);
    }
    return result;
}

std::string TSystemDrives::DriveOf(const std::string& path) {
    const std::string dir = NearestExistingDir(path);
    if (dir.empty())
        return {};
    const std::vector<TMountEntry> mounts = Mounts();
    const TMountEntry* m = FindMount(mounts, dir);
    return m ? m->MountPoint : std::string();
}

TDriveType TSystemDrives::DriveType(const std::string& path) {
    const std::string dir = NearestExistingDir(path);
    if (dir.empty())
        return dtNoRoot;
    const std::vector<TMountEntry> mounts = Mounts();
    const TMountEntry* m = FindMount(mounts, dir);
    return m ? MountType(*m, FSysBlockDir) : dtNoRoot;
}

std::int64_t TSystemDrives::FreeBytes(const std::string& path) {
    const std::optional<struct statvfs> st = FileSystemOf(path);
    return st ? static_cast<std::int64_t>(st->f_bavail) * static_cast<std::int64_t>(st->f_frsize) : -1;
}

std::int64_t TSystemDrives::TotalBytes(const std::string& path) {
    const std::optional<struct statvfs> st = FileSystemOf(path);
    return st ? static_cast<std::int64_t>(st->f_blocks) * static_cast<std::int64_t>(st->f_frsize) : -1;
}

IDrives& Drives() {
    static TSystemDrives system;
    return gDrives ? *gDrives : system;
}

IDrives* SetDrives(IDrives* drives) {
    IDrives* old = gDrives;
    gDrives = drives;
    return old;
}

} // namespace platform
