#pragma once
// The registry store: one text file per root in the Windows registry editor's export format
// ("Windows Registry Editor Version 5.00", "[HKEY_CURRENT_USER\Software\VRL]", "name"="text",
// "name"=dword:00000001). The per-user root lives under the user's configuration directory
// (ZELWAN_REGISTRY_USER overrides it), the machine root under /etc (ZELWAN_REGISTRY_MACHINE).
// Opening a key never creates it unless asked to; every write replaces the file atomically.
// The machine root also shows the instance key of the Firebird server installed here when its file
// holds none (FirebirdInstance.h); such a key goes into the file only when a value is written to it.

#include "core/Exception.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class TRootKey : std::uint8_t { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The file that holds the root.
std::string RegistryFileName(TRootKey root);

struct TRegistryStore;

// The text of a store's file, parsed from any bytes: keys and values read and changed in memory and
// rendered back to bytes. What TRegistry does with its file, without the file, for tests and fuzzers.
// Key paths are without the root's name and without a leading backslash.
class TRegistryText {
public:
    explicit TRegistryText(TRootKey root = TRootKey::HKEY_CURRENT_USER);
    TRegistryText(const TRegistryText& other);
    TRegistryText& operator=(const TRegistryText& other);
    ~TRegistryText();
    static TRegistryText Parse(std::string_view bytes, TRootKey root);

    // The root's keys and a key's values as a lookup finds them (the first of duplicates only).
    std::vector<std::string> Keys() const;
    std::vector<std::string> ValueNames(const std::string& key) const;
    // nullopt when the key or the value is missing or the value is of another type.
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) const;
    std::optional<std::uint32_t> ReadInteger(const std::string& key, const std::string& name) const;
    // False, with the reason, when the key cannot be made or the value cannot be stored (or its key is
    // missing); nothing is changed then.
    bool CreateKey(const std::string& key, std::string* error = nullptr);
    bool WriteString(const std::string& key, const std::string& name, const std::string& value,
                     std::string* error = nullptr);
    std::string Render() const;

private:
    TRootKey FRoot;
    std::unique_ptr<TRegistryStore> FStore;
};

class TRegistry {
public:
    explicit TRegistry(TRootKey root = TRootKey::HKEY_CURRENT_USER) : FRoot(root) {}

    TRootKey RootKey() const { return FRoot; }
    // Key paths are absolute from the root when they begin with a backslash, else relative to the
    // open key. False when the key does not exist (and canCreate is false) or the store is unreadable.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
    void CloseKey() { FCurrentPath.clear(), FOpen = false; }
    bool KeyExists(const std::string& key) const;
    const std::string& CurrentPath() const { return FCurrentPath; }

    bool ValueExists(const std::string& name) const;
    // Raise ERegistryException when the value is missing or of another type.
    std::string ReadString(const std::string& name) const;
    std::uint32_t ReadInteger(const std::string& name) const;
    // Raise ERegistryException when no key is open or the store cannot be written.
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, std::uint32_t value);

private:
    std::string Resolve(const std::string& key) const;

    TRootKey FRoot;
    std::string FCurrentPath; // without the root name and without leading backslash
    bool FOpen = false;
};

} // namespace platform
