#pragma once
// The few file-system primitives the framework's own helpers need. A Windows-form path (a drive
// letter or a backslash) names nothing on this machine: it never exists and cannot be created, so
// the drive and directory rules that work on such text stay pure text rules.

#include <string>

bool IsWindowsFormPath(const std::string& path);
bool FileExists(const std::string& path);      // an existing entry that is not a directory
bool DirectoryExists(const std::string& path);
bool CreateDir(const std::string& path);       // one level; false when the system refuses
