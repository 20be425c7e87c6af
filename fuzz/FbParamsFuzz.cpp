// DPB and TPB generation from any parameter lines: a block that is built is well formed (every DPB
// item a code, a length and that many bytes; every TPB item a known code, the table locks with a
// length and a name), and what is refused is refused with the layer's own exception.
#include "FuzzCheck.h"
#include "core/Exception.h"
#include "fbclient/FbParams.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(std::string_view text) {
    TFbStrings strings;
    strings.SetText(text);
    return strings.Lines();
}

void CheckDpb(const std::string& dpb) {
    FuzzCheck(!dpb.empty() && dpb[0] == 1, "the DPB does not begin with isc_dpb_version1");
    std::size_t at = 1;
    while (at < dpb.size()) {
        const auto code = static_cast<unsigned char>(dpb[at]);
        FuzzCheck(code >= 1 && code <= kDpbNameCount, "a DPB item of no known code");
        FuzzCheck(at + 1 < dpb.size(), "a DPB item without its length");
        at += 2 + static_cast<unsigned char>(dpb[at + 1]);
    }
    FuzzCheck(at == dpb.size(), "the last DPB item runs past the block");
}

void CheckTpb(const std::string& tpb, bool anyLine) {
    if (!anyLine) {
        FuzzCheck(tpb.empty(), "a TPB from no lines");
        return;
    }
    FuzzCheck(!tpb.empty() && tpb[0] == 3, "the TPB does not begin with isc_tpb_version3");
    std::size_t at = 1;
    while (at < tpb.size()) {
        const auto code = static_cast<unsigned char>(tpb[at]);
        FuzzCheck(code >= 1 && code < kTpbNameCount, "a TPB item of no code Firebird reads alone");
        if (code == 10 || code == 11) {
            FuzzCheck(at + 1 < tpb.size(), "a table lock without its length");
            at += 2 + static_cast<unsigned char>(tpb[at + 1]);
        } else {
            ++at;
        }
    }
    FuzzCheck(at == tpb.size(), "the last TPB item runs past the block");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text = FuzzBytes(data, size);
    std::vector<std::string> lines = Lines(text);
    try {
        CheckDpb(GenerateDPB(lines));
        // The lines are written back trimmed, and trimmed lines make the same block.
        std::vector<std::string> again = lines;
        FuzzCheck(GenerateDPB(again) == GenerateDPB(lines), "trimmed lines make another DPB");
    } catch (const Exception&) {
    }
    lines = Lines(text);
    try {
        CheckTpb(GenerateTPB(lines), !lines.empty());
    } catch (const Exception&) {
    }
    return 0;
}
