#include "platform/FileEncoding.h"

#include "core/Encoding.h"

namespace platform {

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";
} // namespace

std::string TFileEncoding::Decode(std::string_view bytes, TFileEncoding& encoding) {
    encoding = {};
    if (bytes.substr(0, kBom.size()) == kBom) {
        encoding.Bom = true;
        bytes.remove_prefix(kBom.size());
    }
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    encoding.Cp1250 = true;
    return Cp1250ToUtf8(bytes);
}

std::string TFileEncoding::Refusal(std::string_view text) const {
    if (!IsValidUtf8(text))
        return "the text is not valid UTF-8";
    if (Cp1250 && Cp1250ToUtf8(Utf8ToCp1250(text)) != text)
        return "the text holds characters that Windows-1250, the file's encoding, does not have";
    return {};
}

std::string TFileEncoding::Encode(std::string_view text) const {
    return (Bom ? std::string(kBom) : std::string()) + (Cp1250 ? Utf8ToCp1250(text) : std::string(text));
}

bool TFileEncoding::NeedsMarker(std::string_view text) const {
    return Cp1250 && IsValidUtf8(Utf8ToCp1250(text));
}

std::string_view TFileEncoding::MarkerComment() {
    return "; Windows-1250: zażółć gęślą jaźń";
}

} // namespace platform
