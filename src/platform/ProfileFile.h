#pragma once
// An INI profile file read and written by the Windows rules: section and key names without regard to
// letter case and without blanks around them, the first of duplicate sections or keys wins, values
// trimmed with one pair of enclosing quotes dropped and at most 2047 characters read, other lines left
// as they are. A lone CR or a NUL in a value is dropped when it is read, so that every value read can
// be written back. A file that is not valid UTF-8 is read as Windows-1250 (carried over from Windows); a
// file keeps its encoding, its line ending style and a byte-order mark when written. Every write
// replaces the file atomically.

#include "core/Exception.h"
#include "platform/FileEncoding.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class EProfileError : public Exception {
public:
    using Exception::Exception;
};

// The text of a profile file, parsed from any bytes: values read and changed in memory, then rendered
// back to bytes the way the file came. No file access, so any number of changes make one write.
class TProfileText {
public:
    // An empty (new) file.
    TProfileText() = default;
    static TProfileText Parse(std::string_view bytes);

    // The value, or def when the section or the key is missing.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Sets one value, adding the section and the key as needed; false (and nothing changed) when a name
    // or the value holds what would break its line (a line break, NUL, "]" in the section, "=" or "["
    // in the key) or cannot be written in the file's encoding (see TFileEncoding).
    bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                     std::string* error = nullptr);
    // The file's bytes.
    std::string Render() const;
    // Every section and key the reader finds, as (section, key) in file order; the first of
    // duplicates only.
    std::vector<std::pair<std::string, std::string>> Keys() const;

private:
    TFileEncoding FEncoding;
    std::string FEol = "\n";
    std::vector<std::string> FLines; // UTF-8, without their line ends
    bool FEndsWithEol = true;
};

class TProfileFile {
public:
    explicit TProfileFile(std::string fileName) : FFileName(std::move(fileName)) {}

    const std::string& FileName() const { return FFileName; }

    // The file's text; empty for a missing file. A file that exists but cannot be read (a directory,
    // no permission) raises EProfileError.
    TProfileText Read() const;
    // Replaces the file with the text at once; false when the file cannot be written (the old file
    // then stays whole).
    bool Write(const TProfileText& text, std::string* error = nullptr);

    // The value, or def when the file, the section or the key is missing; raises as Read does.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Writes one value at once, creating the file and the section as needed; false when the file
    // cannot be read or written, or TProfileText::WriteString refuses the value.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                     std::string* error = nullptr);

    static constexpr std::size_t kMaxValueLength = 2047;

private:
    std::string FFileName;
};

} // namespace platform
