#include "dblayer/KwTransaction.h"

#include "core/Exception.h"
#include "dberrors/DbErrorHandler.h"
#include "dblayer/KwSQL.h"
#include "fbclient/FbDataSet.h"
#include "fbclient/FbDatabase.h"

#include <vector>

namespace {

std::vector<std::string> IsolationLines(TkwTransIsolation level) {
    switch (level) {
    case tiNone:
        return {};
    case tiSnapshot:
        return {"concurrency", "nowait"};
    case tiReadCommitted:
        return {"read_committed", "rec_version", "nowait"};
    case tiTableStabilityReadOnly:
        return {"read", "consistency"};
    case tiTableStabilityReadWrite:
        return {"write", "consistency"};
    case tiReadCommittedReadOnly:
        return {"read_committed", "rec_version", "nowait", "read"};
    }
    return {};
}

bool HasOption(const std::string& options, const char* option) {
    return options.find(option) != std::string::npos;
}

constexpr const char* kKontrolaText = "Błąd kontroli transakcji";

} // namespace

TkwTransaction::TkwTransaction(TComponent* owner) : TFbTransaction(owner) {
    SetTransIsolation(tiReadCommitted);
    SetTimeoutAction(TARollback);
    FQPodajzQuery = new TFbDataSet(this);
    FQPodajzQuery->SetBufferChunks(1);
    FQPodajzQuery->SetTransaction(this);
    FQPodajzQuery->SetDatabase(DefaultDatabase());
    FQTimeFromSerwer = new TkwSQL(this);
    FQTimeFromSerwer->SetDatabase(DefaultDatabase());
    FQTimeFromSerwer->SetTransaction(this);
    FQTimeFromSerwer->SQL().Assign({"SELECT CURRENT_TIMESTAMP", "FROM RDB$DATABASE"});
    // The lines of the isolation level are the parameter block, not the base's fixed sets.
    SetTPBMode(tpbDefault);
}

TkwTransaction::~TkwTransaction() {
    // Released before the transaction itself goes, while their links to it still hold.
    delete FQTimeFromSerwer;
    delete FQPodajzQuery;
    Destroy();
}

void TkwTransaction::SetTransIsolation(TkwTransIsolation value) {
    if (value == FTransIsolation)
        return;
    // The level is taken only once its lines are: a refused change (while active) must not leave
    // the new level stored over the old lines, or setting it again would do nothing.
    SetTRParams(IsolationLines(value));
    FTransIsolation = value;
}

void TkwTransaction::SetAsReadOnly(bool value) {
    SetTransIsolation(value ? tiReadCommittedReadOnly : tiReadCommitted);
}

bool TkwTransaction::KontrolaCommitOK() const {
    if (FKontrolaCommit)
        throw EDatabaseError(kKontrolaText);
    return true;
}

bool TkwTransaction::KontrolaTransOK() const {
    if (FKontrolaTrans)
        throw EDatabaseError(kKontrolaText);
    return true;
}

bool TkwTransaction::kwBeginTrans(const std::string& options) {
    bool result = KontrolaTransOK();
    try {
        if (!InTransaction()) {
            FDateTimeStart = NowDateTime();
            FDateTimeStop = 0;
        }
        if (HasOption(options, "-c")) {
            if (!InTransaction())
                SetActive(true);
        } else if (!InTransaction()) {
            SetActive(true);
            FCallCount = 1;
        } else {
            ++FCallCount;
        }
    } catch (...) {
        result = false;
        FDateTimeStart = 0;
        HandleException(std::current_exception(), options);
    }
    return result;
}

bool TkwTransaction::kwCommit(const std::string& options) {
    bool result = KontrolaCommitOK() && KontrolaTransOK();
    if (FCallCount > 0 || InTransaction()) {
        try {
            --FCallCount;
            if (FCallCount <= 0)
                Commit();
            else
                CommitRetaining();
            FDateTimeStop = NowDateTime();
        } catch (...) {
            result = false;
            HandleException(std::current_exception(), options);
        }
    }
    return result;
}

void TkwTransaction::HandleException(std::exception_ptr error, const std::string& options) {
    std::string scratch;
    ::HandleException(DefaultDatabase(), ClassName(), std::move(error), std::string(), options, FLastError,
                      FLastIbError, scratch, nullptr);
}
