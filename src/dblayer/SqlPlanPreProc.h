#pragma once
// The plan preprocessor. The suite's hand-written PLAN clauses name indexes by the constraints they
// back ("PK_" primary keys, "FK_" foreign keys); in a given database the index behind a constraint
// may carry another name (a system one, RDB$PRIMARYnn), and the server takes only index names.
// The preprocessor replaces every constraint name in a plan by its index's name, from the
// database's list of relation constraints, read once per opening.

#include <exception>
#include <functional>
#include <memory>
#include <string>

class EFbError;
class TFbCustomTransaction;
class TFbDataSet;

// A constraint name's index name, as TSqlPlanPreProc::InternalConstraintToKey gives it.
using TConstraintToKey = std::function<std::string(const std::string& name)>;

// The rewrite of ProcessPlan and InternalProcesPlan on text alone, the constraint list behind
// constraintToKey: no server needed, so that any plan text can be tried against it.
std::string RewritePlan(const std::string& plan, const TConstraintToKey& constraintToKey);
std::string RewritePlanPass(const std::string& plan, const std::string& prefix,
                            const TConstraintToKey& constraintToKey);

class TSqlPlanPreProc {
public:
    // The constraint list on the transaction (the database's default one); not opened yet.
    explicit TSqlPlanPreProc(TFbCustomTransaction* transaction);
    ~TSqlPlanPreProc();
    TSqlPlanPreProc(const TSqlPlanPreProc&) = delete;
    TSqlPlanPreProc& operator=(const TSqlPlanPreProc&) = delete;

    // Reads the whole constraint list, beginning the framework's transaction (uncounted) when it is
    // not active. A failure goes to the database exception handler.
    void Open();
    void Close();
    bool Active() const noexcept;

    // The plan with the blanks after "(" and ",", and before ")" and ",", removed, and each name
    // that follows "(" or "," and begins with "PK_", then "FK_" (letter case significant), up to
    // the next ")" or ",", replaced by its constraint's index name; a name that matches no
    // constraint is removed. The list must be open.
    std::string ProcessPlan(const std::string& plan);
    // One pass for one prefix.
    std::string InternalProcesPlan(const std::string& plan, const std::string& prefix);
    // The trimmed index name of the first constraint, in name order, whose name begins with the
    // given one; empty when none does. An index that carries its constraint's own name comes back
    // marked ("P$$$K_", "F$$$K_"), so that the pass does not take it for a constraint again.
    std::string InternalConstraintToKey(const std::string& name);
    // The marks turned back into their prefixes.
    static std::string ClearMarks(const std::string& text);

    const std::exception_ptr& LastError() const noexcept { return FLastError; }

private:
    void HandleException(std::exception_ptr error);

    std::unique_ptr<TFbDataSet> FQuery;
    std::exception_ptr FLastError;
    std::shared_ptr<const EFbError> FLastIbError;
    std::string FLastErrorS;
};
