#pragma once
// The transaction of the framework's database layer: named isolation levels that fill the
// parameter lines, a nesting count so that nested begins and commits of one piece of code share
// one server transaction, and every failure of a begin or commit handed to the database exception
// handler instead of propagating.

#include "fbclient/FbTransaction.h"
#include "fbclient/FbXSQLDA.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

class EFbError;
class TFbDataSet;
class TkwSQL;

enum TkwTransIsolation : std::uint8_t {
    tiNone,
    tiSnapshot,
    tiReadCommitted,
    tiTableStabilityReadOnly,
    tiTableStabilityReadWrite,
    tiReadCommittedReadOnly
};
// Not the client layer's TTransactionAction: the order differs, so the two never mix.
enum class TIBTransactionAction : std::uint8_t {
    TARollback,
    TACommit,
    TARollbackRetaining,
    TACommitRetaining
};
enum TkwStopAction : std::uint8_t { saNone, saRollback, saCommit };

class TkwTransaction : public TFbTransaction {
public:
    explicit TkwTransaction(TComponent* owner = nullptr);
    ~TkwTransaction() override;

    // Replaces the parameter lines by those of the level; the current level leaves them alone.
    // While active the lines cannot change (client error 16) and the level stays as it was.
    TkwTransIsolation TransIsolation() const noexcept { return FTransIsolation; }
    void SetTransIsolation(TkwTransIsolation value);
    // tiReadCommittedReadOnly for true, tiReadCommitted for false.
    void SetAsReadOnly(bool value);

    // Begins a server transaction, or joins the active one one level deeper. "-c" starts one when
    // none is active without counting. A failed control check raises; any other failure goes to
    // the handler and gives false.
    bool kwBeginTrans(const std::string& options);
    // Ends one level: the outermost commits, an inner one commits retaining. Nothing to end gives
    // true without a server call. Control checks raise; other failures go to the handler.
    bool kwCommit(const std::string& options);

    // "Błąd kontroli transakcji" (EDatabaseError) when the check is switched on; true otherwise.
    bool KontrolaCommitOK() const;
    bool KontrolaTransOK() const;
    bool KontrolaCommit() const noexcept { return FKontrolaCommit; }
    void SetKontrolaCommit(bool value) noexcept { FKontrolaCommit = value; }
    bool KontrolaTrans() const noexcept { return FKontrolaTrans; }
    void SetKontrolaTrans(bool value) noexcept { FKontrolaTrans = value; }

    // Passes a caught failure to the database exception handler (call it from a catch block).
    void HandleException(std::exception_ptr error, const std::string& options);
    const std::exception_ptr& LastError() const noexcept { return FLastError; }
    const std::shared_ptr<const EFbError>& LastIbError() const noexcept { return FLastIbError; }

    // Levels of kwBeginTrans not yet matched by kwCommit.
    int CallCount() const noexcept { return FCallCount; }
    // When the current server transaction was begun (0 after a failed begin), and the last commit.
    TDateTime DateTimeStart() const noexcept { return FDateTimeStart; }
    TDateTime DateTimeStop() const noexcept { return FDateTimeStop; }

    // Stored for the application; nothing here consults them.
    TIBTransactionAction DefaultAction() const noexcept { return FDefaultAction; }
    void SetDefaultAction(TIBTransactionAction value) noexcept { FDefaultAction = value; }
    TkwStopAction AutoStopAction() const noexcept { return FAutoStopAction; }
    void SetAutoStopAction(TkwStopAction value) noexcept { FAutoStopAction = value; }

    // The application's single-value lookup dataset and server-time statement, bound to this
    // transaction and owned by it; nothing in the layer runs them.
    TFbDataSet& QPodajzQuery() const noexcept { return *FQPodajzQuery; }
    TkwSQL& QTimeFromSerwer() const noexcept { return *FQTimeFromSerwer; }

protected:
    // The object name the handler reports; a descendant names itself.
    virtual std::string ClassName() const { return "TkwTransaction"; }

private:
    bool FKontrolaCommit = false;
    bool FKontrolaTrans = false;
    std::exception_ptr FLastError;
    std::shared_ptr<const EFbError> FLastIbError;
    int FCallCount = 0;
    // tiNone until the constructor selects read committed, so that the selection fills the lines.
    TkwTransIsolation FTransIsolation = tiNone;
    TFbDataSet* FQPodajzQuery = nullptr;
    TkwSQL* FQTimeFromSerwer = nullptr;
    TIBTransactionAction FDefaultAction = TIBTransactionAction::TARollback;
    TkwStopAction FAutoStopAction = saNone;
    TDateTime FDateTimeStart = 0;
    TDateTime FDateTimeStop = 0;
};
