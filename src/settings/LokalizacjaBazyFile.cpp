#include "settings/LokalizacjaBazyFile.h"

#include "core/Exception.h"
#include "core/FileSys.h"
#include "core/KwUtils.h"
#include "core/UiPort.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "platform/Registry.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

namespace {

constexpr const char* kSection = "MAIN";
constexpr const char* kVrlKey = "\\Software\\VRL";

// "0x"/"0X" with at least one more character is hexadecimal, anything else decimal; a value that
// does not parse (or is out of the 32-bit range) gives nothing.
std::optional<std::int32_t> ParseInteger(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    const bool hex = text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.c_str() + (hex ? 2 : 0);
    if (hex && (*begin == '-' || *begin == '+' || *begin == ' '))
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    if (hex) {
        const unsigned long long v = std::strtoull(begin, &end, 16);
        if (errno || *end || v > 0xFFFFFFFFull)
            return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
    if (*begin == ' ' || *begin == '\t')
        return std::nullopt;
    const long long v = std::strtoll(begin, &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

} // namespace

TLokalizacjaBazyFile::TLokalizacjaBazyFile(const std::string& fileName)
    : FIniFileName(fileName.empty() ? MakeFileName(platform::ExeDir(), "baza.set") : fileName),
      FiniFile(std::make_unique<platform::TProfileFile>(FIniFileName)) {}

TLokalizacjaBazyFile::~TLokalizacjaBazyFile() = default;

void TLokalizacjaBazyFile::RemoveLeftovers() const {
    platform::RemoveLeftoverTemporaries(FIniFileName);
    platform::RemoveLeftoverTemporaries(BackupFileName());
}

void TLokalizacjaBazyFile::Load() {
    RemoveLeftovers();
    try {
        const std::string exeDir = platform::ExeDir();
        const platform::TProfileText ini = FiniFile->Read();
        // A text no value can be: the key is missing when it comes back.
        const std::string absent(1, '\0');
        std::size_t index = 0;
        auto read = [&](const char* key, const std::string& def) {
            TKeyOrigin& o = FKeyOrigins[index++];
            const std::string v = ini.ReadString(kSection, key, absent);
            o.Key = key;
            o.InFile = v != absent;
            o.FileText = o.InFile ? v : std::string();
            o.FromFile = o.InFile;
            return o.InFile ? v : def;
        };
        auto readNonEmpty = [&](const char* key, const std::string& def) {
            const std::string v = read(key, "");
            FKeyOrigins[index - 1].FromFile = !v.empty();
            return v.empty() ? def : v;
        };
        auto readInteger = [&](const char* key, std::int32_t def) {
            const std::optional<std::int32_t> v = ParseInteger(read(key, ""));
            FKeyOrigins[index - 1].FromFile = v.has_value();
            return v.value_or(def);
        };
        FRemoteSerwer = readInteger("REMOTE", 1) != 0;
        FSerwerName = read("SERWER_NAME", "localhost");
        // One byte: only the low eight bits count, unmapped values stay as they are.
        FProtocolName = static_cast<TIBNetProtocol>(readInteger("PROTOCOL_NAME", npTCP) & 0xFF);
        FDatabaseDir = readNonEmpty("DATABASE_DIR", MakeFileName(exeDir, "BAZA"));
        SharedDir = readNonEmpty("SHARED_DIR", MakeFileName(exeDir, "SHARED"));
        ProfileDir = readNonEmpty("PROFIL_DIR", SharedDir);
        DatabaseFileExt = readNonEmpty("DATABASE_FILE_EXT", ".gdb");
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception& e) {
        BladOk(std::string("Błąd czytania ustawień dostępu do bazy danych.") + "\r" + e.what(), 100);
        Abort();
    }
}

void TLokalizacjaBazyFile::Save() {
    // One read and one replacement with all seven keys: a crash or a failure never leaves a mix of old
    // and new settings, and the registry value follows only a complete save.
    auto fail = [this] { throw Exception("Unable to write to " + FIniFileName); };
    RemoveLeftovers();
    platform::TProfileText ini;
    try {
        ini = FiniFile->Read();
    } catch (const platform::EProfileError&) {
        fail();
    }
    const std::pair<const char*, std::string> keys[] = {
        {"REMOTE", FRemoteSerwer ? "1" : "0"},
        {"SERWER_NAME", FSerwerName},
        {"PROTOCOL_NAME", std::to_string(static_cast<unsigned>(FProtocolName))},
        {"DATABASE_DIR", FDatabaseDir},
        {"SHARED_DIR", SharedDir},
        {"PROFIL_DIR", ProfileDir},
        {"DATABASE_FILE_EXT", DatabaseFileExt},
    };
    for (const auto& [key, value] : keys)
        if (!ini.WriteString(kSection, key, value))
            fail();
    if (!FiniFile->Write(ini))
        fail();

    platform::TRegistry registry(platform::TRootKey::HKEY_CURRENT_USER);
    if (registry.OpenKey(kVrlKey, false)) {
        registry.WriteString("sciezka_baza", LocationString());
        registry.CloseKey();
    }
}

std::string DatabaseLocation(bool remote, const std::string& serwer, TIBNetProtocol protocol,
                             const std::string& path) {
    if (!remote)
        return path;
    switch (protocol) {
    case npTCP:
        return serwer + ":" + path;
    case npNamedPipes:
        return "\\\\" + serwer + "\\" + path;
    case npSPX:
        return serwer + "@" + path;
    }
    return {};
}

std::string TLokalizacjaBazyFile::LocationString() const {
    return DatabaseLocation(FRemoteSerwer, FSerwerName, FProtocolName, FDatabaseDir);
}

void TLokalizacjaBazyFile::MakeBackup() {
    // A backup that is not of the present file (one a crash left behind) must not survive: a later
    // restore would put it over newer settings.
    if (!platform::CopyFileAtomic(FIniFileName, BackupFileName()))
        platform::DeleteFile(BackupFileName());
}

void TLokalizacjaBazyFile::RestoreFromBackup() {
    if (!FileExists(BackupFileName()))
        return;
    // One rename over the settings file: there is never a moment without a baza.set.
    platform::RenameFile(BackupFileName(), FIniFileName);
}

void TLokalizacjaBazyFile::DeleteBackup() {
    platform::DeleteFile(BackupFileName());
}

bool TLokalizacjaBazyFile::PublishesLocation() {
    return platform::TRegistry(platform::TRootKey::HKEY_CURRENT_USER).KeyExists(kVrlKey);
}
