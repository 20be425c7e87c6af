#pragma once
// The property every write of the profile file and of the registry store must keep, on any bytes:
// a write that goes through changes the one value it names, and every other key of every section
// reads as before; a refused write gives a reason and changes nothing. Header-only, so a fuzz target
// can check the same property. The minimized inputs hold one write as its section (or key path), key
// (or value name) and value up to the first three NULs, and then the file before it.

#include "core/KwUtils.h"
#include "platform/ProfileFile.h"
#include "platform/Registry.h"

#include <string>
#include <string_view>

// Splits one minimized input; false when it holds fewer than three NULs.
inline bool SplitWriteInput(std::string_view bytes, std::string& section, std::string& key,
                            std::string& value, std::string& file) {
    std::string* parts[] = {&section, &key, &value};
    for (std::string* part : parts) {
        const std::size_t nul = bytes.find('\0');
        if (nul == std::string_view::npos)
            return false;
        part->assign(bytes.substr(0, nul));
        bytes.remove_prefix(nul + 1);
    }
    file.assign(bytes);
    return true;
}

inline std::string FromHex(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

// What is wrong with writing value under section and key into a profile file holding file; empty
// when the property holds.
inline std::string ProfileWriteFault(const std::string& section, const std::string& key,
                                     const std::string& value, const std::string& file) {
    using platform::TProfileText;
    const TProfileText before = TProfileText::Parse(file);
    const TProfileText untouched = TProfileText::Parse(before.Render());
    TProfileText after = before;
    std::string error;
    const bool written = after.WriteString(section, key, value, &error);
    if (!written && error.empty())
        return "refused without a reason";
    if (!written && after.Render() != before.Render())
        return "a refused write changed the text";
    const TProfileText reread = TProfileText::Parse(after.Render());
    // The reader's own view of the written names, as a line of them reads in a file of its own.
    std::pair<std::string, std::string> names;
    if (written)
        names = TProfileText::Parse("[" + section + "]\n" + key + "=\n").Keys().at(0);
    const auto isWritten = [&](const std::string& s, const std::string& k) {
        return written && RowneUp(s, names.first) && RowneUp(k, names.second);
    };
    for (const auto& [s, k] : before.Keys()) {
        const std::string was = before.ReadString(s, k, "<missing>");
        if (untouched.ReadString(s, k, "<missing>") != was)
            return "[" + s + "] " + k + " reads otherwise after rendering the text unchanged";
        if (!isWritten(s, k) && reread.ReadString(s, k, "<missing>") != was)
            return "[" + s + "] " + k + " was \"" + was + "\", reads \"" +
                   reread.ReadString(s, k, "<missing>") + "\" after the write";
    }
    if (written) {
        // As a line holding the value reads in a file of its own.
        const std::string expected = TProfileText::Parse("[S]\nK=" + value + "\n").ReadString("S", "K", "");
        if (reread.ReadString(section, key, "<missing>") != expected)
            return "the written value reads back as \"" + reread.ReadString(section, key, "<missing>") + "\"";
    }
    return {};
}

// The same for the per-user registry store: value name under the key path (without the root).
inline std::string RegistryWriteFault(const std::string& key, const std::string& name,
                                      const std::string& value, const std::string& file) {
    using platform::TRegistryText;
    const auto root = platform::TRootKey::HKEY_CURRENT_USER;
    const TRegistryText before = TRegistryText::Parse(file, root);
    const TRegistryText untouched = TRegistryText::Parse(before.Render(), root);
    TRegistryText after = before;
    std::string error;
    const bool written = after.CreateKey(key, &error) && after.WriteString(key, name, value, &error);
    if (!written && error.empty())
        return "refused without a reason";
    const TRegistryText reread = TRegistryText::Parse((written ? after : before).Render(), root);
    for (const std::string& k : before.Keys()) {
        for (const std::string& n : before.ValueNames(k)) {
            const auto was = std::pair(before.ReadString(k, n), before.ReadInteger(k, n));
            if (std::pair(untouched.ReadString(k, n), untouched.ReadInteger(k, n)) != was)
                return "[" + k + "] \"" + n + "\" reads otherwise after rendering the store unchanged";
            if (written && RowneUp(k, key) && RowneUp(n, name))
                continue;
            if (std::pair(reread.ReadString(k, n), reread.ReadInteger(k, n)) != was)
                return "[" + k + "] \"" + n + "\" was \"" + was.first.value_or("<no string>") +
                       "\", reads \"" + reread.ReadString(k, n).value_or("<no string>") +
                       "\" after the write";
        }
    }
    if (written && reread.ReadString(key, name) != value)
        return "the written value reads back as \"" + reread.ReadString(key, name).value_or("<no string>") +
               "\"";
    return {};
}
