#include "platform/Files.h"

#include "core/FileSys.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
void SetError(std::string* error, const std::string& what) {
    if (error)
        *error = what + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}
} // namespace

std::optional<std::string> ReadFile(const std::string& path, std::string* error, bool* missing) {
    if (missing)
        *missing = false;
    if (IsWindowsFormPath(path)) {
        errno = ENOENT;
        if (missing)
            *missing = true;
        SetError(error, path);
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (missing)
            *missing = errno == ENOENT || errno == ENOTDIR;
        SetError(error, path);
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetError(error, path); // EISDIR for a directory
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

namespace {
// The file-creation mask, read without changing it: umask(2) reads only by setting, and the moment
// it is 0 every other thread's new files would be created open to all.
mode_t CurrentUmask() {
    if (const std::optional<std::string> status = ReadFile("/proc/self/status")) {
        const std::size_t at = status->find("\nUmask:");
        if (at != std::string::npos)
            return static_cast<mode_t>(std::strtoul(status->c_str() + at + 7, nullptr, 8)) & 0777;
    }
    const mode_t mask = ::umask(0); // a kernel without the Umask line
    ::umask(mask);
    return mask;
}
} // namespace

void RemoveLeftoverTemporaries(const std::string& path) {
    if (IsWindowsFormPath(path))
        return;
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    const int dirFd = ::dirfd(d);
    while (const dirent* entry = ::readdir(d)) {
        const std::string_view name = entry->d_name;
        // The name mkostemp gives the temporaries of WriteFileAtomic: the file's name, ".", six letters
        // or digits.
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix) ||
            !std::all_of(name.end() - 6, name.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st {};
        // A writer holds its temporary locked for its whole life; the lock goes with the writer's process.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(d);
}

namespace {
// Replaces (or creates) path with content through a sibling temporary and one rename. The new file
// takes the mode, owner and group of like, or without like those of the file it replaces (owner and
// group as far as the process may set them), or for a new file 0666 less the umask.
bool ReplaceFile(const std::string& path, const std::string& content, const struct stat* like,
                 std::string* error) {
    if (IsWindowsFormPath(path)) {
        errno = ENOENT;
        SetError(error, path);
        return false;
    }
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        SetError(error, path);
        return false;
    }
    // The rename would replace a file its user may not write, bypassing the file's own protection;
    // Windows refuses such a write, and so do we.
    if (exists && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        SetError(error, path);
        return false;
    }
    RemoveLeftoverTemporaries(path);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        SetError(error, path);
        return false;
    }
    // Marks the temporary as in use until it is renamed (see RemoveLeftoverTemporaries).
    (void)::flock(fd, LOCK_EX);
    const struct stat* attributes = like ? like : exists ? &existing : nullptr;
    if (attributes && ::fchown(fd, attributes->st_uid, attributes->st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), attributes->st_gid); // a group we belong to, at least
    // After the owner: a change of owner clears the set-user-ID bits.
    const mode_t mode = attributes ? attributes->st_mode & 07777 : 0666 & ~CurrentUmask();
    // Closed only after the rename, so that the lock covers the temporary's whole life; the data are
    // on the disk by then.
    if (::fchmod(fd, mode) != 0 || !WriteAll(fd, content) || ::fsync(fd) != 0 ||
        ::rename(temp.c_str(), path.c_str()) != 0) {
        SetError(error, path);
        ::unlink(temp.c_str());
        ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}
} // namespace

bool WriteFileAtomic(const std::string& path, const std::string& content, std::string* error) {
    return ReplaceFile(path, content, nullptr, error);
}

bool CopyFileAtomic(const std::string& src, const std::string& dst) {
    struct stat source {};
    if (IsWindowsFormPath(src) || ::stat(src.c_str(), &source) != 0)
        return false;
    const std::optional<std::string> content = ReadFile(src);
    return content && ReplaceFile(dst, *content, &source, nullptr);
}

bool RenameFile(const std::string& from, const std::string& to) {
    return !IsWindowsFormPath(from) && !IsWindowsFormPath(to) && ::rename(from.c_str(), to.c_str()) == 0;
}

bool DeleteFile(const std::string& path) { return !IsWindowsFormPath(path) && ::unlink(path.c_str()) == 0; }

std::string ExeFileName() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string ExeDir() {
    const std::string exe = ExeFileName();
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

} // namespace platform
