#include "dblayer/SqlPlanPreProc.h"

#include "core/Encoding.h"
#include "core/KwUtils.h"
#include "dberrors/DbErrorHandler.h"
#include "dblayer/KwTransaction.h"
#include "fbclient/FbDataSet.h"
#include "fbclient/FbParams.h"

#include <utility>

namespace {

constexpr const char* kConstraintColumn = "RDB$CONSTRAINT_NAME";
// Below this length a second lookup is made with one blank appended.
constexpr std::size_t kShortName = 35;

struct TMark {
    const char* Prefix;
    const char* Mark;
};
constexpr TMark kMarks[] = {{"PK_", "P$$$K_"}, {"FK_", "F$$$K_"}};

// Replaces every occurrence until none is left.
void ReplaceAll(std::string& s, const char* pattern, const char* replacement) {
    while (s.find(pattern) != std::string::npos)
        s = ZastapF(pattern, replacement, s);
}

// Where the next constraint name starts: the first prefix right after "(" or "," at or after
// `from`; npos when there is none.
std::size_t PosWyrInX(const std::string& s, const std::string& prefix, std::size_t from) {
    const std::size_t a = s.find("(" + prefix, from);
    const std::size_t b = s.find("," + prefix, from);
    const std::size_t at = std::min(a, b);
    return at == std::string::npos ? at : at + 1;
}

// Where the name starting at `start` ends: the first ")" or "," after it; npos for a plan cut
// short.
std::size_t wGetNameEnd(const std::string& s, std::size_t start) {
    return s.find_first_of("),", start);
}

} // namespace

TSqlPlanPreProc::TSqlPlanPreProc(TFbCustomTransaction* transaction) : FQuery(std::make_unique<TFbDataSet>()) {
    FQuery->SetTransaction(transaction);
    if (transaction)
        FQuery->SetDatabase(transaction->DefaultDatabase());
    FQuery->SelectSQL().Assign({"SELECT RDB$CONSTRAINT_NAME, RDB$INDEX_NAME", "FROM RDB$RELATION_CONSTRAINTS",
                                "ORDER BY RDB$CONSTRAINT_NAME"});
}

TSqlPlanPreProc::~TSqlPlanPreProc() = default;

void TSqlPlanPreProc::Open() {
    // As the framework's datasets open: their own transaction is begun on demand, uncounted.
    if (auto* transaction = dynamic_cast<TkwTransaction*>(FQuery->Transaction()))
        if (!transaction->InTransaction() && !transaction->kwBeginTrans("-c"))
            return;
    try {
        FQuery->Open();
        FQuery->Last();
        FQuery->First();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void TSqlPlanPreProc::Close() {
    try {
        FQuery->Close();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

bool TSqlPlanPreProc::Active() const noexcept {
    return FQuery->Active();
}

void TSqlPlanPreProc::HandleException(std::exception_ptr error) {
    ::HandleException(FQuery->Database(), "TSqlPlanPreProc", std::move(error), FQuery->SelectSQL().Text(), "",
                      FLastError, FLastIbError, FLastErrorS, nullptr);
}

std::string RewritePlan(const std::string& plan, const TConstraintToKey& constraintToKey) {
    std::string result = plan;
    for (const TMark& mark : kMarks)
        result = RewritePlanPass(result, mark.Prefix, constraintToKey);
    return result;
}

std::string RewritePlanPass(const std::string& plan, const std::string& prefix,
                            const TConstraintToKey& constraintToKey) {
    std::string s = plan;
    ReplaceAll(s, "( ", "(");
    ReplaceAll(s, " )", ")");
    ReplaceAll(s, ", ", ",");
    ReplaceAll(s, " ,", ",");
    // Each search goes on after the last replacement: an index named like another constraint is
    // an index name already, and taking it for a constraint again could go round for ever.
    for (std::size_t start = PosWyrInX(s, prefix, 0); start != std::string::npos;) {
        const std::size_t end = wGetNameEnd(s, start);
        if (end == std::string::npos)
            break;
        const std::string key = constraintToKey(s.substr(start, end - start));
        s.replace(start, end - start, key);
        // From the "(" or "," before the name: after an empty key it stands before the next one.
        start = PosWyrInX(s, prefix, start - 1 + key.size());
    }
    return TSqlPlanPreProc::ClearMarks(s);
}

std::string TSqlPlanPreProc::ProcessPlan(const std::string& plan) {
    return RewritePlan(plan, [this](const std::string& name) { return InternalConstraintToKey(name); });
}

std::string TSqlPlanPreProc::InternalProcesPlan(const std::string& plan, const std::string& prefix) {
    return RewritePlanPass(plan, prefix, [this](const std::string& name) { return InternalConstraintToKey(name); });
}

std::string TSqlPlanPreProc::InternalConstraintToKey(const std::string& name) {
    std::string key;
    const auto lookUp = [this, &key](const std::string& text) {
        FQuery->First();
        const bool found = FQuery->Locate(kConstraintColumn, {text}, loPartialKey);
        if (found)
            key = FbTrim(FQuery->Fields(1).AsString());
        return found;
    };
    if (!lookUp(name) && Utf8Length(name) < kShortName)
        lookUp(name + " ");
    if (FbTrim(FQuery->Fields(0).AsString()) == FbTrim(FQuery->Fields(1).AsString()))
        for (const TMark& mark : kMarks)
            if (key.starts_with(mark.Prefix)) {
                key.replace(0, 3, mark.Mark);
                break;
            }
    return key;
}

std::string TSqlPlanPreProc::ClearMarks(const std::string& text) {
    return ZastapF("P$$$K_", "PK_", ZastapF("F$$$K_", "FK_", text));
}
