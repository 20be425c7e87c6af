// The registry store's reader and writer on any bytes: one write (key path, value name and value up to
// the first three NULs, then the file) changes only the value it names.
#include "FuzzCheck.h"
#include "WriteProperty.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::string key, name, value, file;
    if (!SplitWriteInput(FuzzBytes(data, size), key, name, value, file)) {
        const auto root = platform::TRootKey::HKEY_CURRENT_USER;
        const auto text = platform::TRegistryText::Parse(FuzzBytes(data, size), root);
        const auto again = platform::TRegistryText::Parse(text.Render(), root);
        for (const std::string& k : text.Keys())
            for (const std::string& n : text.ValueNames(k))
                FuzzCheck(again.ReadString(k, n) == text.ReadString(k, n) &&
                              again.ReadInteger(k, n) == text.ReadInteger(k, n),
                          "[" + k + "] \"" + n + "\" reads otherwise after rendering");
        return 0;
    }
    const std::string fault = RegistryWriteFault(key, name, value, file);
    FuzzCheck(fault.empty(), fault);
    return 0;
}
