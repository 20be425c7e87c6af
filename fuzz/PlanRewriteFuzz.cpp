// The plan preprocessor's rewrite on any plan and any constraint list (lines "constraint=index"
// before the first NUL, the plan after it), looked up as the database's list is: the first
// constraint in name order that begins with the name, once more with a blank appended, an index
// carrying its constraint's own name marked. The rewrite ends, leaves no mark behind, and with an
// empty list leaves no constraint reference whole (unless the plan itself holds a mark).
#include "FuzzCheck.h"
#include "dblayer/SqlPlanPreProc.h"
#include "fbclient/FbParams.h"

#include <algorithm>
#include <map>
#include <string>

namespace {

using TConstraints = std::map<std::string, std::string>;

std::string LookUp(const TConstraints& list, const std::string& name) {
    for (const std::string& text : {name, name + " "}) {
        const auto it = list.lower_bound(text);
        if (it == list.end() || !it->first.starts_with(text))
            continue;
        std::string key = FbTrim(it->second);
        if (FbTrim(it->first) == key)
            for (const auto& [prefix, mark] : {std::pair("PK_", "P$$$K_"), std::pair("FK_", "F$$$K_")})
                if (key.starts_with(prefix)) {
                    key.replace(0, 3, mark);
                    break;
                }
        return key;
    }
    return {};
}

// A reference still whole: a prefix after "(" or "," with a ")" or "," after it.
bool HasWholeReference(const std::string& plan, const std::string& prefix) {
    for (const char* lead : {"(", ","})
        for (std::size_t at = plan.find(lead + prefix); at != std::string::npos; at = plan.find(lead + prefix, at + 1))
            if (plan.find_first_of("),", at + 1) != std::string::npos)
                return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view bytes = FuzzBytes(data, size);
    const std::size_t nul = bytes.find('\0');
    const std::string plan(nul == std::string_view::npos ? bytes : bytes.substr(nul + 1));
    TConstraints list;
    if (nul != std::string_view::npos) {
        TFbStrings lines;
        lines.SetText(bytes.substr(0, nul));
        for (const std::string& line : lines.Lines()) {
            const std::size_t eq = line.find('=');
            list.emplace(line.substr(0, eq), eq == std::string::npos ? std::string() : line.substr(eq + 1));
        }
    }
    const std::string rewritten = RewritePlan(plan, [&](const std::string& name) { return LookUp(list, name); });
    FuzzCheck(rewritten.find("P$$$K_") == std::string::npos || plan.find("P$$$K_") != std::string::npos ||
                  std::any_of(list.begin(), list.end(),
                              [](const auto& c) { return c.second.find("$$$") != std::string::npos; }),
              "a mark left in the plan");
    // A mark written in the plan itself turns into its prefix at the end, as the rewrite's own do.
    if (list.empty() && plan.find("$$$K_") == std::string::npos)
        for (const char* prefix : {"PK_", "FK_"})
            FuzzCheck(!HasWholeReference(rewritten, prefix),
                      std::string("a ") + prefix + " reference survived an empty constraint list");
    return 0;
}
