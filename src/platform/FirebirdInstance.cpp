#include "platform/FirebirdInstance.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
std::optional<std::vector<std::string>>& DirsOverride() {
    static std::optional<std::vector<std::string>> dirs;
    return dirs;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}
} // namespace

std::vector<std::string> FirebirdServerDirs() {
    if (DirsOverride())
        return *DirsOverride();
    return {"/opt/firebird/bin/", "/usr/sbin/"};
}

std::vector<std::string> SetFirebirdServerDirs(std::vector<std::string> dirs) {
    std::vector<std::string> before = FirebirdServerDirs();
    DirsOverride() = std::move(dirs);
    return before;
}

std::string InstalledFirebirdDir() {
    for (const std::string& dir : FirebirdServerDirs())
        if (IsExecutableFile(dir + kFirebirdServerExe))
            return dir;
    return {};
}

std::vector<TPresentedKey> PresentedMachineKeys() {
    const std::string dir = InstalledFirebirdDir();
    if (dir.empty())
        return {};
    std::string path = kFirebirdInstancesKey;
    while (!path.empty() && path.front() == '\\')
        path.erase(0, 1);
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return {TPresentedKey{path, {TPresentedValue{kFirebirdDefaultInstance, dir}}}};
}

} // namespace platform
