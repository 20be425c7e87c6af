#pragma once
// An INI profile file read and written by the Windows rules: section and key names without regard to
// letter case, the first of duplicate sections or keys wins, values trimmed with one pair of enclosing
// quotes dropped and at most 2047 characters read, other lines left as they are. A file that is not
// valid UTF-8 is read as Windows-1250 (carried over from Windows) and keeps that encoding, its line
// ending style and a byte-order mark when written. Every write replaces the file atomically.

#include "core/Exception.h"

#include <string>
#include <vector>

namespace platform {

class EProfileError : public Exception {
public:
    using Exception::Exception;
};

// The file as it was when read: any number of values taken from one reading.
class TProfileSnapshot {
public:
    // The value, or def when the file, the section or the key is missing.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;

private:
    friend class TProfileFile;
    std::vector<std::string> FLines; // UTF-8, without their line ends; none for a missing file
};

class TProfileFile {
public:
    explicit TProfileFile(std::string fileName) : FFileName(std::move(fileName)) {}

    const std::string& FileName() const { return FFileName; }

    // The value, or def when the file, the section or the key is missing. A file that exists but
    // cannot be read (a directory, no permission) raises EProfileError.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Reads the file once for many values; raises EProfileError as ReadString does.
    TProfileSnapshot Snapshot() const;
    // Writes one value at once, creating the file and the section as needed; false when the file
    // cannot be written (the old file then stays whole) or a name or the value holds what would
    // break its line (a line break, NUL, "]" in the section, "=" or "[" in the key).
    bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                     std::string* error = nullptr);

    static constexpr std::size_t kMaxValueLength = 2047;

private:
    std::string FFileName;
};

} // namespace platform
