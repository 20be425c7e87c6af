#pragma once
// Client transactions: one Firebird transaction spanning one or more attached databases,
// started from its parameter lines encoded into the TPB and ended by commit or rollback, each also
// in the retaining form that keeps it open.

#include "fbclient/FbBase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbLibrary.h"
#include "fbclient/FbParams.h"

#include <string>
#include <vector>

class TFbCustomDatabase;

enum TTPBMode : std::uint8_t { tpbDefault, tpbReadCommitted, tpbRepeatableRead };

class TFbCustomTransaction : public TComponent {
public:
    explicit TFbCustomTransaction(TComponent* owner = nullptr);
    ~TFbCustomTransaction() override;

    virtual void EndTransaction(TTransactionAction action, bool force);
    // Told by a statement before and after it executes; nothing here.
    virtual void DoOnSQLExec(TObject* query, bool before);
    virtual void StartTransaction();
    virtual void Commit() { EndTransaction(TACommit, false); }
    virtual void CommitRetaining() { EndTransaction(TACommitRetaining, false); }
    virtual void Rollback() { EndTransaction(TARollback, false); }
    virtual void RollbackRetaining() { EndTransaction(TARollbackRetaining, false); }

    bool Active() const noexcept { return FHandle != 0; }
    bool InTransaction() const noexcept { return FHandle != 0; }
    // True starts the transaction when it is not active; false rolls it back when it is.
    void SetActive(bool value);

    TFbHandle Handle() const noexcept { return FHandle; }
    TFbHandle* HandleAddress() noexcept { return &FHandle; }
    bool HandleIsShared() const noexcept { return FHandleIsShared; }
    // Takes a transaction handle that is not this component's own; ending it makes no client call.
    void SetHandle(TFbHandle handle);
    // Marks the current handle as not this component's own (closing as lost).
    void MarkHandleShared() noexcept { FHandleIsShared = true; }

    // The parameter lines; changing them while active fails with client error 16.
    TFbStrings& TRParams() noexcept { return FTRParams; }
    void SetTRParams(std::vector<std::string> lines) { FTRParams.Assign(std::move(lines)); }
    // The last built TPB.
    const std::string& TPB() const noexcept { return FTPB; }

    TFbCustomDatabase* DefaultDatabase() const noexcept { return FDefaultDatabase; }
    void SetDefaultDatabase(TFbCustomDatabase* database);
    int AddDatabase(TFbCustomDatabase* database);
    void RemoveDatabase(int index);
    int FindDatabase(const TFbCustomDatabase* database) const;
    int DatabaseCount() const noexcept { return static_cast<int>(FDatabases.size()); }
    TFbCustomDatabase* Databases(int index) const { return FDatabases.at(static_cast<std::size_t>(index)); }
    // DefaultDatabase, else the first listed database, else none; its library serves every call.
    TFbCustomDatabase* MainDatabase() const noexcept;
    // Optional parameter lines of one listed database (vTRParams); empty lines use the common TPB.
    void SetDatabaseTRParams(int index, std::vector<std::string> lines);

    TTransactionAction TimeoutAction() const noexcept { return FTimeoutAction; }
    void SetTimeoutAction(TTransactionAction action) { FTimeoutAction = action; }
    // The idle period in milliseconds; 0 (no idle end) on creation. This layer has no timer of its
    // own: a value is stored and checked, and nothing ends the transaction by itself.
    int Timeout() const noexcept { return FTimeout; }
    void SetTimeout(int milliseconds);
    TTransactionState State() const noexcept { return FState; }
    // The server's transaction number (cached; read with isc_transaction_info; 0 when not active;
    // client error 18 when active without a database).
    int TransactionID();

    // Checks a client call's status as the database's Call does, with this transaction as raiser.
    TFbStatus Call(TFbStatus status, bool raise);
    void CheckInTransaction() const;
    void CheckNotInTransaction() const;

    // Statement links.
    int AddFbBase(TFbBase* link);
    void RemoveFbBase(int index);
    std::size_t FbBaseSlots() const noexcept { return FFbBases.size(); }

    TNotifyEvent OnTimeout;
    TFbListeners<TObject*> vOnDestroy;
    TFbListeners<TObject*> vBeforeStartTransaction;
    TFbListeners<TObject*> vAfterStartTransaction;
    TFbListeners<TObject*, TTransactionAction, bool> vBeforeEndTransaction;
    TFbListeners<TObject*, TTransactionAction, bool> vAfterEndTransaction;

protected:
    void Destroy() noexcept;

private:
    friend class TFbBase;
    friend class TFbCustomDatabase;

    // The main database's client library; client error 18 without a database.
    IIBClientLibrary& MainDatabaseLibrary() const;
    // The refusal of AddDatabase: `database` must use the client library of the first listed
    // database, `leaving` (about to be removed) not counted.
    void CheckSameLibrary(const TFbCustomDatabase* database, const TFbCustomDatabase* leaving) const;
    // The commit or rollback call of a full end, without raising; when forced, a failed call is
    // followed by a rollback. Returns the status of the first call.
    TFbStatus EndOnServer(IIBClientLibrary& library, TTransactionAction action, bool force);
    // For a forced close of the database after a handler refused to let the transaction end: the
    // forced end (retaining forms taken in full) without the handlers and listeners, the links each
    // told with their failures ignored. Closed afterwards whatever the server said.
    void EndDespiteHandlers(TTransactionAction action) noexcept;
    void Announce(TTransactionAction action, bool force);
    void Report(TTransactionAction action, bool force);
    template <class TFn> void LinksFirstToLast(TFn fn);
    template <class TFn> void LinksLastToFirst(TFn fn);
    void ClearIdleFlags() noexcept;

    bool FCanTimeout = false;
    std::vector<TFbCustomDatabase*> FDatabases;
    std::vector<TFbBase*> FFbBases;
    TFbCustomDatabase* FDefaultDatabase = nullptr;
    TFbHandle FHandle = 0;
    bool FHandleIsShared = false;
    std::string FTPB;
    int FTimeout = 0;
    TTransactionAction FTimeoutAction = TARollback;
    TFbStrings FTRParams;
    bool FTRParamsChanged = true;
    TTransactionState FState = tsClosed;
    int FTransactionID = 0;
    std::vector<std::vector<std::string>> vTRParams;
    std::vector<std::string> vTPBArray;
    bool FDestroyed = false;
};

class TFbTransaction : public TFbCustomTransaction {
public:
    explicit TFbTransaction(TComponent* owner = nullptr);
    ~TFbTransaction() override;

    void EndTransaction(TTransactionAction action, bool force) override;
    // A silent no-op when active; the TPB mode may replace the parameter lines first.
    void StartTransaction() override;
    void DoOnSQLExec(TObject* query, bool before) override;

    TTPBMode TPBMode() const noexcept { return FTPBMode; }
    void SetTPBMode(TTPBMode mode) { FTPBMode = mode; }
    const std::string& UserKindTransaction() const noexcept { return FUserKindTransaction; }
    void SetUserKindTransaction(std::string kind) { FUserKindTransaction = std::move(kind); }

    TNotifyEvent BeforeStart;
    TNotifyEvent AfterStart;
    TEndTransactionEvent BeforeEnd;
    TEndTransactionEvent AfterEnd;
    std::function<void(TObject* sender, TObject* query)> BeforeSQLExecute;
    std::function<void(TObject* sender, TObject* query)> AfterSQLExecute;

private:
    TTPBMode FTPBMode = tpbReadCommitted;
    std::string FUserKindTransaction = "NoUserKind";
};
