#pragma once
// Whole-file operations. Every write that replaces a file goes through a sibling temporary file
// and one rename, so a crash or a full disk leaves either the old file or the new one, never a torn one.

#include <optional>
#include <string>

namespace platform {

// The file's bytes; nullopt with a reason in *error when it cannot be read (a directory, no
// permission). A missing file gives nullopt with *missing set.
std::optional<std::string> ReadFile(const std::string& path, std::string* error = nullptr,
                                    bool* missing = nullptr);
// Replaces (or creates) the file atomically; an existing file keeps its mode, owner and group (owner
// and group where the process may set them). A file the process may not write is refused, as on
// Windows, even where the directory would let the rename replace it.
bool WriteFileAtomic(const std::string& path, const std::string& content, std::string* error = nullptr);
// Removes what interrupted atomic writes of path left beside it (path + "." + six letters or digits)
// and no live writer holds; nothing else. Every atomic write of path does it first.
void RemoveLeftoverTemporaries(const std::string& path);
// Copies src over dst atomically; dst gets src's mode, owner and group as WriteFileAtomic keeps them.
bool CopyFileAtomic(const std::string& src, const std::string& dst);
// rename(2): replaces an existing dst in one step.
bool RenameFile(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);

// The running executable and its directory (no trailing "/", except for the root).
std::string ExeFileName();
std::string ExeDir();

} // namespace platform
