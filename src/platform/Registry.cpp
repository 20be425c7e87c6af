#include "platform/Registry.h"

#include "core/Encoding.h"
#include "core/KwUtils.h"
#include "platform/Files.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace platform {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

const char* RootName(TRootKey root) {
    return root == TRootKey::HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

struct TValue {
    std::string name;
    bool isDword = false;
    std::string text;
    std::uint32_t dword = 0;
};

struct TKey {
    std::string path; // as written, without the root
    std::vector<TValue> values;
};

struct TStore {
    std::vector<TKey> keys;
};

std::string Unescape(const std::string& s, std::size_t& i) {
    // s[i] is just past the opening quote; leaves i past the closing quote.
    std::string out;
    while (i < s.size() && s[i] != '"') {
        if (s[i] == '\\' && i + 1 < s.size())
            ++i;
        out += s[i++];
    }
    if (i < s.size())
        ++i;
    return out;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string NormalKey(const std::string& path) { return LowerCase(path); }

// Reads the store; nullopt when the file exists but cannot be read.
std::optional<TStore> Load(TRootKey root) {
    bool missing = false;
    const std::optional<std::string> raw = ReadFile(RegistryFileName(root), nullptr, &missing);
    TStore store;
    if (!raw)
        return missing ? std::optional<TStore>(store) : std::nullopt;
    const std::string text = AnyToUtf8(*raw);
    const std::string prefix = NormalKey(RootName(root));
    TKey* current = nullptr;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t lf = text.find('\n', start);
        std::string line = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        start = lf == std::string::npos ? text.size() + 1 : lf + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line == kHeader)
            continue;
        if (line.front() == '[' && line.back() == ']') {
            std::string path = line.substr(1, line.size() - 2);
            current = nullptr;
            if (NormalKey(path).rfind(prefix, 0) != 0)
                continue; // another root: not ours
            path = path.substr(prefix.size());
            if (!path.empty() && path.front() == '\\')
                path.erase(0, 1);
            store.keys.push_back({path, {}});
            current = &store.keys.back();
            continue;
        }
        if (!current || line.front() != '"')
            continue;
        std::size_t i = 1;
        TValue value;
        value.name = Unescape(line, i);
        if (i >= line.size() || line[i] != '=')
            continue;
        ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            value.text = Unescape(line, i);
        } else if (line.compare(i, 6, "dword:") == 0) {
            value.isDword = true;
            value.dword = static_cast<std::uint32_t>(std::strtoul(line.c_str() + i + 6, nullptr, 16));
        } else {
            continue; // a kind we do not keep
        }
        current->values.push_back(std::move(value));
    }
    return store;
}

bool Save(TRootKey root, const TStore& store, std::string* error) {
    std::string out = std::string(kHeader) + "\r\n";
    for (const TKey& key : store.keys) {
        out += "\r\n[" + std::string(RootName(root)) + (key.path.empty() ? "" : "\\" + key.path) + "]\r\n";
        for (const TValue& v : key.values) {
            out += "\"" + Escape(v.name) + "\"=";
            if (v.isDword) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "dword:%08x", v.dword);
                out += hex;
            } else {
                out += "\"" + Escape(v.text) + "\"";
            }
            out += "\r\n";
        }
    }
    const std::string file = RegistryFileName(root);
    const std::size_t slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0)
        kwForceDirectories(file.substr(0, slash));
    return WriteFileAtomic(file, out, error);
}

TKey* FindKey(TStore& store, const std::string& path) {
    const std::string wanted = NormalKey(path);
    for (TKey& key : store.keys)
        if (NormalKey(key.path) == wanted)
            return &key;
    return nullptr;
}

const TValue* FindValue(const TKey& key, const std::string& name) {
    const std::string wanted = NormalKey(name);
    for (const TValue& v : key.values)
        if (NormalKey(v.name) == wanted)
            return &v;
    return nullptr;
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

} // namespace

std::string RegistryFileName(TRootKey root) {
    if (root == TRootKey::HKEY_LOCAL_MACHINE)
        return EnvOr("ZELWAN_REGISTRY_MACHINE", "/etc/zelwan/machine.reg");
    std::string config = EnvOr("XDG_CONFIG_HOME", "");
    if (config.empty())
        config = EnvOr("HOME", "") + "/.config";
    return EnvOr("ZELWAN_REGISTRY_USER", config + "/zelwan/user.reg");
}

std::string TRegistry::Resolve(const std::string& key) const {
    std::string path = key;
    if (!path.empty() && path.front() == '\\')
        path.erase(0, 1);
    else if (FOpen && !FCurrentPath.empty())
        path = path.empty() ? FCurrentPath : FCurrentPath + "\\" + path;
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

bool TRegistry::KeyExists(const std::string& key) const {
    std::optional<TStore> store = Load(FRoot);
    const std::string path = Resolve(key);
    return store && (path.empty() || FindKey(*store, path));
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::optional<TStore> store = Load(FRoot);
    if (!store)
        return false;
    const std::string path = Resolve(key);
    if (!path.empty() && !FindKey(*store, path)) {
        if (!canCreate)
            return false;
        store->keys.push_back({path, {}});
        if (!Save(FRoot, *store, nullptr))
            return false;
    }
    FCurrentPath = path;
    FOpen = true;
    return true;
}

bool TRegistry::ValueExists(const std::string& name) const {
    std::optional<TStore> store = Load(FRoot);
    const TKey* key = store && FOpen ? FindKey(*store, FCurrentPath) : nullptr;
    return key && FindValue(*key, name);
}

std::string TRegistry::ReadString(const std::string& name) const {
    std::optional<TStore> store = Load(FRoot);
    const TKey* key = store && FOpen ? FindKey(*store, FCurrentPath) : nullptr;
    const TValue* v = key ? FindValue(*key, name) : nullptr;
    if (!v || v->isDword)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return v->text;
}

std::uint32_t TRegistry::ReadInteger(const std::string& name) const {
    std::optional<TStore> store = Load(FRoot);
    const TKey* key = store && FOpen ? FindKey(*store, FCurrentPath) : nullptr;
    const TValue* v = key ? FindValue(*key, name) : nullptr;
    if (!v || !v->isDword)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return v->dword;
}

namespace {
void WriteValue(TRootKey root, bool open, const std::string& path, TValue value) {
    const std::string name = value.name;
    if (value.text.find_first_of("\r\n") != std::string::npos)
        throw ERegistryException("Failed to set data for '" + name + "'");
    std::optional<TStore> store = Load(root);
    TKey* key = store && open ? FindKey(*store, path) : nullptr;
    if (!key && store && open && path.empty()) {
        store->keys.push_back({"", {}});
        key = &store->keys.back();
    }
    if (!key)
        throw ERegistryException("Failed to set data for '" + name + "'");
    bool replaced = false;
    for (TValue& v : key->values)
        if (NormalKey(v.name) == NormalKey(value.name)) {
            v = value;
            replaced = true;
            break;
        }
    if (!replaced)
        key->values.push_back(std::move(value));
    std::string error;
    if (!Save(root, *store, &error))
        throw ERegistryException("Failed to set data for '" + name + "': " + error);
}
} // namespace

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    WriteValue(FRoot, FOpen, FCurrentPath, TValue{name, false, value, 0});
}

void TRegistry::WriteInteger(const std::string& name, std::uint32_t value) {
    WriteValue(FRoot, FOpen, FCurrentPath, TValue{name, true, {}, value});
}

} // namespace platform
