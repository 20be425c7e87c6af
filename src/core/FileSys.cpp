#include "core/FileSys.h"

#include <cctype>
#include <sys/stat.h>

bool IsWindowsFormPath(const std::string& path) {
    if (path.find('\\') != std::string::npos)
        return true;
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && !IsWindowsFormPath(path) && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && !IsWindowsFormPath(path) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) {
    return !path.empty() && !IsWindowsFormPath(path) && ::mkdir(path.c_str(), 0777) == 0;
}
