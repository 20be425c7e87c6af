// The Windows-1250 conversion: every byte string is Windows-1250 text and comes back whole through
// UTF-8; valid UTF-8 comes back whole when every character is in the code page.
#include "FuzzCheck.h"
#include "core/Encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view bytes = FuzzBytes(data, size);

    const std::string utf8 = Cp1250ToUtf8(bytes);
    FuzzCheck(IsValidUtf8(utf8), "Windows-1250 text converted is not valid UTF-8");
    FuzzCheck(Utf8Length(utf8) == bytes.size(), "a Windows-1250 byte is not one character");
    FuzzCheck(Utf8ToCp1250(utf8) == bytes, "Windows-1250 text does not come back from UTF-8");

    FuzzCheck(IsValidUtf8(AnyToUtf8(bytes)), "AnyToUtf8 gives invalid UTF-8");
    if (IsValidUtf8(bytes)) {
        FuzzCheck(AnyToUtf8(bytes) == bytes, "valid UTF-8 changed by AnyToUtf8");
        FuzzCheck(U32ToUtf8(Utf8ToU32(bytes)) == bytes, "valid UTF-8 does not come back from code points");
        FuzzCheck(IsValidUtf8(UpperCase(bytes)) && IsValidUtf8(LowerCase(bytes)), "case change breaks UTF-8");
        const std::string cp = Utf8ToCp1250(bytes);
        FuzzCheck(cp.size() == Utf8Length(bytes), "a character is not one Windows-1250 byte");
        const std::string back = Cp1250ToUtf8(cp);
        if (cp.find('?') == std::string::npos)
            FuzzCheck(back == bytes, "valid text of the code page does not come back");
    }
    return 0;
}
