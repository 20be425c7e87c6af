#include "platform/Registry.h"

#include "core/KwUtils.h"
#include "platform/FileEncoding.h"
#include "platform/Files.h"
#include "platform/FirebirdInstance.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

const char* RootName(TRootKey root) {
    return root == TRootKey::HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

struct TValue {
    std::string name;
    bool named = false;    // false for comments and other lines that name no value
    bool modelled = false; // a string or a dword; anything else (hex:, hex(2):, ...) is only carried
    bool isDword = false;
    std::string text;
    std::uint32_t dword = 0;
    // The lines as read (a carried value with its continuation lines); empty for a value written here.
    std::vector<std::string> lines;
};

struct TKey {
    std::string header; // the "[...]" line as read; empty for a key created here
    std::string path;   // without the root; meaningless for a block of another root
    bool ours = true;
    bool presented = false; // shown from PresentedMachineKeys(), not in the file until written to
    std::vector<TValue> values;
};

} // namespace

struct TRegistryStore {
    TFileEncoding encoding;            // as the file was read, kept when it is written
    std::vector<std::string> preamble; // lines before the first key, after the header line
    std::vector<TKey> keys;
};
using TStore = TRegistryStore;

namespace {

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

// A line the store only carries: written back as it was read.
TValue Carried(const std::string& line) {
    TValue value;
    value.lines.push_back(line);
    return value;
}

// One value line: its name and, for a string or a dword, its data. "@" names the key's default value,
// whose name is empty. A line that names no value is carried as it is.
TValue ParseValue(const std::string& line) {
    TValue value = Carried(line);
    std::size_t i = 1;
    if (line.front() == '"')
        value.name = Unescape(line, i);
    if (i >= line.size() || line[i] != '=')
        return value;
    value.named = true;
    ++i;
    if (i < line.size() && line[i] == '"') {
        ++i;
        value.text = Unescape(line, i);
        value.modelled = true;
    } else if (line.compare(i, 6, "dword:") == 0) {
        value.isDword = true;
        value.dword = static_cast<std::uint32_t>(std::strtoul(line.c_str() + i + 6, nullptr, 16));
        value.modelled = true;
    }
    return value;
}

// The store in any bytes. Whatever it does not model (values of other types, comments, keys of the
// other root) is kept to be written back.
TStore ParseStore(std::string_view raw, TRootKey root) {
    TStore store;
    // The byte-order mark goes before the text is decoded: read as Windows-1250 it would be text.
    const std::string text = TFileEncoding::Decode(raw, store.encoding);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t lf = text.find('\n', start);
        std::string line = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        start = lf == std::string::npos ? text.size() + 1 : lf + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    const std::string rootName = RootName(root);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.empty() || (line == kHeader && store.keys.empty() && store.preamble.empty()))
            continue;
        if (line.front() == '[' && line.back() == ']') {
            TKey key;
            key.header = line;
            const std::string path = line.substr(1, line.size() - 2);
            key.ours = RowneUp(path.substr(0, rootName.size()), rootName) &&
                       (path.size() == rootName.size() || path[rootName.size()] == '\\');
            if (key.ours)
                key.path = path.substr(std::min(path.size(), rootName.size() + 1));
            store.keys.push_back(std::move(key));
            continue;
        }
        if (store.keys.empty()) {
            store.preamble.push_back(line);
            continue;
        }
        TKey& key = store.keys.back();
        if (!key.ours || (line.front() != '"' && line.front() != '@')) {
            key.values.push_back(Carried(line));
            continue;
        }
        TValue value = ParseValue(line);
        // A hex value runs on over the lines that follow a trailing backslash.
        if (!value.modelled)
            while (value.lines.back().ends_with('\\') && n + 1 < lines.size())
                value.lines.push_back(lines[++n]);
        key.values.push_back(std::move(value));
    }
    return store;
}

// Reads the store's file; nullopt when the file exists but cannot be read.
std::optional<TStore> LoadFile(TRootKey root) {
    bool missing = false;
    const std::optional<std::string> raw = ReadFile(RegistryFileName(root), nullptr, &missing);
    if (!raw)
        return missing ? std::optional<TStore>(TStore{}) : std::nullopt;
    return ParseStore(*raw, root);
}

std::string RenderStore(const TStore& store, TRootKey root) {
    std::string out;
    for (const std::string& line : store.preamble)
        out += line + "\r\n";
    for (const TKey& key : store.keys) {
        if (key.presented)
            continue;
        out += "\r\n";
        out += key.header.empty()
                   ? "[" + std::string(RootName(root)) + (key.path.empty() ? "" : "\\" + key.path) + "]"
                   : key.header;
        out += "\r\n";
        for (const TValue& v : key.values) {
            if (!v.lines.empty()) {
                for (const std::string& line : v.lines)
                    out += line + "\r\n";
                // A continuation that ran into the end of the file ends on an empty line, or it would
                // take in the line written after it.
                if (v.lines.back().ends_with('\\'))
                    out += "\r\n";
                continue;
            }
            out += (v.name.empty() ? std::string("@") : "\"" + Escape(v.name) + "\"") + "=";
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
    // Bytes that pass for UTF-8 would be reread as UTF-8: a Windows-1250 store then gets a comment
    // after its header line, to stay Windows-1250.
    const std::string header = std::string(kHeader) + "\r\n";
    if (store.encoding.NeedsMarker(out))
        out = std::string(TFileEncoding::MarkerComment()) + "\r\n" + out;
    return store.encoding.Encode(header + out);
}

bool Save(TRootKey root, const TStore& store, std::string* error) {
    const std::string file = RegistryFileName(root);
    const std::size_t slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0)
        kwForceDirectories(file.substr(0, slash));
    return WriteFileAtomic(file, RenderStore(store, root), error);
}

// Whether a name or a text can be written into the store's file and read back: no line break or NUL,
// which would end its line, and nothing the file's encoding cannot say; false with the reason.
bool Storable(const TStore& store, const std::string& text, std::string* error) {
    std::string refusal = store.encoding.Refusal(text);
    if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        refusal = "a line break or NUL cannot be stored in the registry store";
    if (error && !refusal.empty())
        *error = refusal;
    return refusal.empty();
}

TKey* FindKey(TStore& store, const std::string& path) {
    for (TKey& key : store.keys)
        if (key.ours && RowneUp(key.path, path))
            return &key;
    return nullptr;
}

// Any value of the name, also one of a type the store only carries.
TValue* FindValue(TKey& key, const std::string& name) {
    for (TValue& v : key.values)
        if (v.named && RowneUp(v.name, name))
            return &v;
    return nullptr;
}

// The store as its file holds it; the machine root also shows the keys of what is installed here
// when its file does not hold them (an unreadable file shows nothing).
std::optional<TStore> Load(TRootKey root) {
    std::optional<TStore> store = LoadFile(root);
    if (!store || root != TRootKey::HKEY_LOCAL_MACHINE)
        return store;
    for (const TPresentedKey& presented : PresentedMachineKeys()) {
        if (FindKey(*store, presented.Path))
            continue;
        TKey key;
        key.path = presented.Path;
        key.presented = true;
        for (const TPresentedValue& v : presented.Values)
            key.values.push_back(TValue{v.Name, true, true, false, v.Text, 0, {}});
        store->keys.push_back(std::move(key));
    }
    return store;
}

// The store read afresh and the open key in it; key is null when no key is open, the store cannot be
// read or the key has gone. Not copied, so key keeps pointing into this store.
struct TOpenKey {
    TOpenKey(TRootKey root, bool open, const std::string& path) : store(Load(root)) {
        key = store && open ? FindKey(*store, path) : nullptr;
    }
    TOpenKey(const TOpenKey&) = delete;
    TOpenKey& operator=(const TOpenKey&) = delete;

    TValue* Value(const std::string& name) const { return key ? FindValue(*key, name) : nullptr; }

    std::optional<TStore> store;
    TKey* key = nullptr;
};

// Adds a key of the path (without the root, no leading backslash) when there is none.
bool AddKey(TStore& store, const std::string& path, std::string* error) {
    if (!Storable(store, path, error))
        return false;
    if (!path.empty() && !FindKey(store, path)) {
        TKey created;
        created.path = path;
        store.keys.push_back(std::move(created));
    }
    return true;
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
        if (!canCreate || !AddKey(*store, path, nullptr) || !Save(FRoot, *store, nullptr))
            return false;
    }
    FCurrentPath = path;
    FOpen = true;
    return true;
}

bool TRegistry::ValueExists(const std::string& name) const {
    return TOpenKey(FRoot, FOpen, FCurrentPath).Value(name) != nullptr;
}

std::string TRegistry::ReadString(const std::string& name) const {
    const TOpenKey open(FRoot, FOpen, FCurrentPath);
    const TValue* v = open.Value(name);
    if (!v || !v->modelled || v->isDword)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return v->text;
}

std::uint32_t TRegistry::ReadInteger(const std::string& name) const {
    const TOpenKey open(FRoot, FOpen, FCurrentPath);
    const TValue* v = open.Value(name);
    if (!v || !v->isDword)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return v->dword;
}

namespace {
// Sets the value in the key of the store (the root's own key is made when missing); false with the
// reason when the key is missing or the value cannot be stored.
bool SetValue(TStore& store, const std::string& path, TValue value, std::string* error) {
    if (!Storable(store, value.name, error) || !Storable(store, value.text, error))
        return false;
    TKey* key = FindKey(store, path);
    if (!key && path.empty()) {
        store.keys.push_back(TKey{});
        key = &store.keys.back();
    }
    if (!key) {
        if (error)
            *error = "the key does not exist";
        return false;
    }
    key->presented = false; // written to: from now on a key of the file
    if (TValue* existing = FindValue(*key, value.name))
        *existing = std::move(value);
    else
        key->values.push_back(std::move(value));
    return true;
}

void WriteValue(TRootKey root, bool isOpen, const std::string& path, TValue value) {
    const std::string name = value.name;
    std::optional<TStore> store = Load(root);
    if (!store || !isOpen || !SetValue(*store, path, std::move(value), nullptr))
        throw ERegistryException("Failed to set data for '" + name + "'");
    std::string error;
    if (!Save(root, *store, &error))
        throw ERegistryException("Failed to set data for '" + name + "': " + error);
}
} // namespace

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    WriteValue(FRoot, FOpen, FCurrentPath, TValue{name, true, true, false, value, 0, {}});
}

void TRegistry::WriteInteger(const std::string& name, std::uint32_t value) {
    WriteValue(FRoot, FOpen, FCurrentPath, TValue{name, true, true, true, {}, value, {}});
}

TRegistryText::TRegistryText(TRootKey root) : FRoot(root), FStore(std::make_unique<TRegistryStore>()) {}
TRegistryText::TRegistryText(const TRegistryText& other)
    : FRoot(other.FRoot), FStore(std::make_unique<TRegistryStore>(*other.FStore)) {}
TRegistryText& TRegistryText::operator=(const TRegistryText& other) {
    FRoot = other.FRoot;
    *FStore = *other.FStore;
    return *this;
}
TRegistryText::~TRegistryText() = default;

TRegistryText TRegistryText::Parse(std::string_view bytes, TRootKey root) {
    TRegistryText text(root);
    *text.FStore = ParseStore(bytes, root);
    return text;
}

std::vector<std::string> TRegistryText::Keys() const {
    std::vector<std::string> keys;
    for (const TKey& key : FStore->keys)
        if (key.ours && FindKey(*FStore, key.path) == &key)
            keys.push_back(key.path);
    return keys;
}

std::vector<std::string> TRegistryText::ValueNames(const std::string& key) const {
    std::vector<std::string> names;
    if (TKey* k = FindKey(*FStore, key))
        for (TValue& v : k->values)
            if (v.named && FindValue(*k, v.name) == &v)
                names.push_back(v.name);
    return names;
}

std::optional<std::string> TRegistryText::ReadString(const std::string& key, const std::string& name) const {
    TKey* k = FindKey(*FStore, key);
    const TValue* v = k ? FindValue(*k, name) : nullptr;
    if (!v || !v->modelled || v->isDword)
        return std::nullopt;
    return v->text;
}

std::optional<std::uint32_t> TRegistryText::ReadInteger(const std::string& key,
                                                        const std::string& name) const {
    TKey* k = FindKey(*FStore, key);
    const TValue* v = k ? FindValue(*k, name) : nullptr;
    if (!v || !v->isDword)
        return std::nullopt;
    return v->dword;
}

bool TRegistryText::CreateKey(const std::string& key, std::string* error) {
    return AddKey(*FStore, key, error);
}

bool TRegistryText::WriteString(const std::string& key, const std::string& name, const std::string& value,
                                std::string* error) {
    return SetValue(*FStore, key, TValue{name, true, true, false, value, 0, {}}, error);
}

std::string TRegistryText::Render() const {
    return RenderStore(*FStore, FRoot);
}

} // namespace platform
