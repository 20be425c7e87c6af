#include "core/KwUtils.h"

#include "core/Encoding.h"
#include "core/Exception.h"
#include "core/FileSys.h"
#include "core/UiPort.h"

#include <chrono>
#include <ctime>
#include <sys/stat.h>
#include <thread>

std::string MakeFileName(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    const char sep = dir.front() == '/' ? '/' : '\\';
    std::string result = dir;
    if (result.back() != sep)
        result += sep;
    return result + name;
}

std::string kwExtractFilePath(const std::string& path) {
    if (path.empty())
        return {};
    const char* delims = path.front() == '/' ? "/" : path.front() == '\\' ? "\\" : "\\:";
    const std::size_t pos = path.find_last_of(delims);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

bool kwForceDirectories(std::string dir) {
    if (dir.empty())
        throw Exception("Błąd tworzenia katalogu.");
    // One trailing separator goes: a backslash, or a "/" on a "/"-path (else the parent of a
    // "/"-path would be the path itself and no missing level above the last would ever be made).
    if (dir.back() == '\\' || (dir.back() == '/' && dir.front() == '/'))
        dir.pop_back();
    if (dir.size() < 3 || DirectoryExists(dir) || kwExtractFilePath(dir) == dir)
        return true;
    return kwForceDirectories(kwExtractFilePath(dir)) && CreateDir(dir);
}

void SprawdzKatalog(const std::string& dir) {
    if (dir.empty())
        return;
    // A letter counts only as a drive letter: a relative name such as "dane" is left alone.
    const char c = dir.front();
    const bool drive = dir.size() >= 2 && dir[1] == ':' && ((c >= 'C' && c <= 'Z') || (c >= 'c' && c <= 'z'));
    const bool handled = c == '/' || c == '\\' || drive;
    if (!handled || DirectoryExists(dir))
        return;
    kwForceDirectories(dir);
    if (!DirectoryExists(dir))
        throw Exception("Nie można utworzyć katalogu: " + dir);
}

bool MakeAnyKat(const std::string& dir) {
    SprawdzKatalog(dir);
    return DirectoryExists(dir);
}

bool FileExistsCichy(const std::string& fileName) {
    if (IsWindowsFormPath(fileName)) // names nothing here, the floppy drive A: included
        return false;
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    // A time that has no DOS date and time (1980 to 2107) counts as no file.
    std::tm local {};
    if (!::localtime_r(&st.st_mtime, &local))
        return false;
    const int year = local.tm_year + 1900;
    return year >= 1980 && year <= 2107;
}

namespace {
int gKlepsydraCount = 0;
}

void ShowKlepsydra(bool force, TRodzajKlepydra kind) {
    IUserInterface& ui = UserInterface("cursor");
    const TCursorKind shown = ui.Cursor();
    if (shown != TCursorKind::crHourGlass && shown != TCursorKind::crAppStart)
        gKlepsydraCount = 0; // something else has put the cursor back
    if (force || gKlepsydraCount == 0) {
        ui.SetCursor(kind == rklMalaStrzalka ? TCursorKind::crAppStart : TCursorKind::crHourGlass);
        gKlepsydraCount = 1;
    } else {
        ++gKlepsydraCount;
    }
}

void HideKlepsydra(bool force) {
    if (gKlepsydraCount > 0)
        --gKlepsydraCount;
    if (force || gKlepsydraCount == 0) {
        UserInterface("cursor").SetCursor(TCursorKind::crDefault);
        gKlepsydraCount = 0;
    }
}

int KlepsydraCount() { return gKlepsydraCount; }

void QSleep(int milliseconds) {
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int Zastap(const std::string& co, const std::string& czym, std::string& s) {
    if (co.empty() || co == czym)
        return 0;
    int count = 0;
    std::string result;
    std::size_t from = 0;
    for (std::size_t pos = s.find(co); pos != std::string::npos; pos = s.find(co, from)) {
        result.append(s, from, pos - from);
        result += czym;
        from = pos + co.size();
        ++count;
    }
    if (count) {
        result.append(s, from, std::string::npos);
        s = std::move(result);
    }
    return count;
}

std::string ZastapF(const std::string& co, const std::string& czym, const std::string& s) {
    std::string result = s;
    Zastap(co, czym, result);
    return result;
}

bool RowneUp(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

int posUp(const std::string& sub, const std::string& s) {
    const std::u32string hay = Utf8ToU32(UpperCase(s));
    const std::u32string needle = Utf8ToU32(UpperCase(sub));
    if (needle.empty())
        return 0;
    const std::size_t pos = hay.find(needle);
    return pos == std::u32string::npos ? 0 : static_cast<int>(pos) + 1;
}

char32_t Znak(const std::string& s, int i) {
    const std::u32string chars = Utf8ToU32(s);
    if (i < 1 || static_cast<std::size_t>(i) > chars.size())
        return 0;
    return chars[static_cast<std::size_t>(i) - 1];
}

int Waga(char32_t c) {
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A') + 10;
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a') + 10;
    return 0;
}

std::int64_t HexToInt64(const std::string& s) {
    const std::u32string chars = Utf8ToU32(s);
    if (chars.size() > 16)
        return 0;
    std::uint64_t value = 0;
    for (char32_t c : chars)
        value = (value << 4) | static_cast<std::uint64_t>(Waga(c));
    return static_cast<std::int64_t>(value);
}

int GetIloscPol(const std::string& s, char sep) {
    if (s.empty())
        return 0;
    int count = 1;
    for (char c : s)
        if (c == sep)
            ++count;
    return count;
}

std::string GetNazwaPola(const std::string& s, int n, char sep) {
    if (n < 1)
        n = 1;
    std::size_t start = 0;
    for (int field = 1; field < n; ++field) {
        const std::size_t next = s.find(sep, start);
        if (next == std::string::npos)
            return {};
        start = next + 1;
    }
    if (start > s.size())
        return {};
    const std::size_t end = s.find(sep, start);
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TInterfaceProperties& InterfaceProperties() {
    // Created on first use, which start-up code reaches before anything else asks for it.
    static TInterfaceProperties properties;
    return properties;
}

TlistObject::~TlistObject() { Clear(); }

void TlistObject::Clear() {
    if (OwnsObjects)
        for (TObject* item : FItems)
            delete item;
    FItems.clear();
}
