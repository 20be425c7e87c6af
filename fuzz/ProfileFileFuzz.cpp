// The profile-file reader and writer on any bytes: one write (section, key and value up to the first
// three NULs, then the file) changes only the value it names.
#include "FuzzCheck.h"
#include "WriteProperty.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::string section, key, value, file;
    if (!SplitWriteInput(FuzzBytes(data, size), section, key, value, file)) {
        // No write: the text alone must render to what reads the same.
        const auto text = platform::TProfileText::Parse(FuzzBytes(data, size));
        const auto again = platform::TProfileText::Parse(text.Render());
        for (const auto& [s, k] : text.Keys())
            FuzzCheck(again.ReadString(s, k, "<missing>") == text.ReadString(s, k, "<missing>"),
                      "[" + s + "] " + k + " reads otherwise after rendering");
        return 0;
    }
    const std::string fault = ProfileWriteFault(section, key, value, file);
    FuzzCheck(fault.empty(), fault);
    return 0;
}
