#include "fbclient/FbTransaction.h"

#include "fbclient/FbApi.h"
#include "fbclient/FbDatabase.h"

namespace {

// One entry of the transaction existence block of isc_start_multiple (the client's TEB).
struct TTransactionExistenceBlock {
    isc_db_handle* Database;
    int TpbLength;
    const char* Tpb;
};

} // namespace

TFbCustomTransaction::TFbCustomTransaction(TComponent* owner) : TComponent(owner) {
    FTRParams.OnChanging = [this] { CheckNotInTransaction(); };
    FTRParams.OnChange = [this] { FTRParamsChanged = true; };
}

TFbCustomTransaction::~TFbCustomTransaction() {
    Destroy();
}

void TFbCustomTransaction::Destroy() noexcept {
    if (FDestroyed)
        return;
    FDestroyed = true;
    if (Active()) {
        try {
            EndTransaction(ImplicitEndAction(FTimeoutAction), true);
        } catch (...) {
        }
        FHandle = 0;
    }
    try {
        vOnDestroy.CallLastToFirst(this);
    } catch (...) {
    }
    for (std::size_t i = FFbBases.size(); i-- > 0;) {
        TFbBase* link = i < FFbBases.size() ? FFbBases[i] : nullptr;
        if (link && link->OnTransactionFree) {
            try {
                link->OnTransactionFree();
            } catch (...) {
            }
        }
    }
    for (TFbBase* link : FFbBases)
        if (link) {
            link->FTransaction = nullptr;
            link->FIndexInTransaction = -1;
        }
    FFbBases.clear();
    while (!FDatabases.empty())
        RemoveDatabase(static_cast<int>(FDatabases.size()) - 1);
}

void TFbCustomTransaction::CheckInTransaction() const {
    if (!Active())
        FbError(feNotInTransaction, {CmpFullName(this)});
}

void TFbCustomTransaction::CheckNotInTransaction() const {
    if (Active())
        FbError(feInTransaction, {CmpFullName(this)});
}

void TFbCustomTransaction::SetActive(bool value) {
    if (value && !Active())
        StartTransaction();
    else if (!value && Active())
        Rollback();
}

void TFbCustomTransaction::SetHandle(TFbHandle handle) {
    CheckNotInTransaction();
    FHandle = handle;
    FHandleIsShared = handle != 0;
    FState = handle ? tsActive : tsClosed;
}

void TFbCustomTransaction::SetTimeout(int milliseconds) {
    if (milliseconds < 0)
        FbError(feTimeoutNegative);
    FTimeout = milliseconds;
}

void TFbCustomTransaction::DoOnSQLExec(TObject*, bool) {}

void TFbCustomTransaction::ClearIdleFlags() noexcept {
    FCanTimeout = false;
    for (TFbCustomDatabase* database : FDatabases)
        if (database)
            database->FCanTimeout = false;
}

TFbStatus TFbCustomTransaction::Call(TFbStatus status, bool raise) {
    ClearIdleFlags();
    if (status > 0 && raise)
        IBError(MainDatabaseLibrary(), this);
    return status;
}

IIBClientLibrary& TFbCustomTransaction::MainDatabaseLibrary() const {
    TFbCustomDatabase* main = MainDatabase();
    if (!main)
        FbError(feNoDatabasesInTransaction, {CmpFullName(this)});
    return main->ClientLibrary();
}

int TFbCustomTransaction::FindDatabase(const TFbCustomDatabase* database) const {
    if (!database)
        return -1;
    for (std::size_t i = 0; i < FDatabases.size(); ++i)
        if (FDatabases[i] == database)
            return static_cast<int>(i);
    return -1;
}

int TFbCustomTransaction::AddDatabase(TFbCustomDatabase* database) {
    if (!database)
        return -1;
    const int found = FindDatabase(database);
    if (found >= 0)
        return found;
    CheckSameLibrary(database, nullptr);
    database->AddTransaction(this);
    FDatabases.push_back(database);
    vTRParams.emplace_back();
    vTPBArray.emplace_back();
    return static_cast<int>(FDatabases.size()) - 1;
}

void TFbCustomTransaction::CheckSameLibrary(const TFbCustomDatabase* database,
                                            const TFbCustomDatabase* leaving) const {
    for (const TFbCustomDatabase* listed : FDatabases) {
        if (listed == leaving)
            continue;
        if (listed->LibraryName() != database->LibraryName())
            throw Exception(FbFormat("%s.\r\nTransaction can't work with different client library.",
                                     {CmpFullName(this)}));
        return;
    }
}

void TFbCustomTransaction::RemoveDatabase(int index) {
    if (index < 0 || index >= static_cast<int>(FDatabases.size()))
        return;
    TFbCustomDatabase* database = FDatabases[static_cast<std::size_t>(index)];
    FDatabases.erase(FDatabases.begin() + index);
    vTRParams.erase(vTRParams.begin() + index);
    vTPBArray.erase(vTPBArray.begin() + index);
    database->RemoveTransaction(database->FindTransaction(this));
    if (database->FDefaultTransaction == this)
        database->FDefaultTransaction = nullptr;
    if (database->FDefaultUpdateTransaction == this)
        database->FDefaultUpdateTransaction = nullptr;
    if (FDefaultDatabase == database)
        FDefaultDatabase = nullptr;
}

void TFbCustomTransaction::SetDefaultDatabase(TFbCustomDatabase* database) {
    CheckNotInTransaction();
    if (database != FDefaultDatabase) {
        // Refused before anything changes: a link made on one side only would leave the database
        // holding this transaction after it is gone, or lose the old default.
        if (database && FindDatabase(database) < 0)
            CheckSameLibrary(database, FDefaultDatabase);
        if (FDefaultDatabase)
            RemoveDatabase(FindDatabase(FDefaultDatabase));
        AddDatabase(database); // registers this transaction in the database as well
    }
    FDefaultDatabase = database;
}

TFbCustomDatabase* TFbCustomTransaction::MainDatabase() const noexcept {
    if (FDefaultDatabase)
        return FDefaultDatabase;
    return FDatabases.empty() ? nullptr : FDatabases.front();
}

void TFbCustomTransaction::SetDatabaseTRParams(int index, std::vector<std::string> lines) {
    CheckNotInTransaction();
    vTRParams.at(static_cast<std::size_t>(index)) = std::move(lines);
}

int TFbCustomTransaction::TransactionID() {
    if (!Active())
        return 0;
    if (FTransactionID == 0) {
        const char items[] = {isc_info_tra_id};
        std::string answer(32, '\0');
        IIBClientLibrary& library = MainDatabaseLibrary();
        Call(library.isc_transaction_info(StatusVector(), &FHandle, sizeof items, items,
                                          static_cast<short>(answer.size()), answer.data()),
             true);
        std::string id;
        if (FindInfoItem(answer, isc_info_tra_id, id))
            FTransactionID = static_cast<int>(VaxInteger(id, 0, id.size()));
    }
    return FTransactionID;
}

int TFbCustomTransaction::AddFbBase(TFbBase* link) {
    return PutInFreeSlot(FFbBases, link);
}

void TFbCustomTransaction::RemoveFbBase(int index) {
    EmptySlot(FFbBases, index);
}

template <class TFn> void TFbCustomTransaction::LinksFirstToLast(TFn fn) {
    ForEachInSlots(FFbBases, fn);
}

template <class TFn> void TFbCustomTransaction::LinksLastToFirst(TFn fn) {
    for (std::size_t i = FFbBases.size(); i-- > 0;)
        if (i < FFbBases.size())
            if (TFbBase* link = FFbBases[i])
                fn(*link);
}

void TFbCustomTransaction::StartTransaction() {
    CheckNotInTransaction();
    if (FDatabases.empty())
        FbError(feNoDatabasesInTransaction, {CmpFullName(this)});
    // As for the DPB: a refused block stays marked for building.
    if (FTRParamsChanged) {
        FTPB = GenerateTPB(FTRParams.RawLines());
        FTRParamsChanged = false;
    }
    std::vector<TTransactionExistenceBlock> block;
    block.reserve(FDatabases.size());
    for (std::size_t i = 0; i < FDatabases.size(); ++i) {
        TFbCustomDatabase* database = FDatabases[i];
        database->CheckActive();
        const std::string* tpb = &FTPB;
        if (!vTRParams[i].empty()) {
            vTPBArray[i] = GenerateTPB(vTRParams[i]);
            if (!vTPBArray[i].empty())
                tpb = &vTPBArray[i];
        }
        block.push_back(
            {database->HandleAddress(), static_cast<int>(tpb->size()), tpb->empty() ? nullptr : tpb->data()});
    }
    LinksFirstToLast([](TFbBase& link) {
        if (link.OnTransactionStarting)
            link.OnTransactionStarting();
    });
    if (!Active()) {
        vBeforeStartTransaction.CallLastToFirst(this);
        IIBClientLibrary& library = MainDatabaseLibrary();
        const TFbStatus status = library.isc_start_multiple(StatusVector(), &FHandle,
                                                            static_cast<short>(block.size()), block.data());
        if (Call(status, false) > 0) {
            FHandle = 0;
            IBError(library, this);
        }
        FHandleIsShared = false;
        vAfterStartTransaction.CallLastToFirst(this);
    }
    LinksFirstToLast([](TFbBase& link) {
        if (link.OnTransactionStarted)
            link.OnTransactionStarted();
    });
    FState = tsActive;
}

void TFbCustomTransaction::Announce(TTransactionAction action, bool force) {
    LinksLastToFirst([](TFbBase& link) {
        if (link.OnTransactionEnding)
            link.OnTransactionEnding();
    });
    vBeforeEndTransaction.CallFirstToLast(this, action, force);
}

void TFbCustomTransaction::Report(TTransactionAction action, bool force) {
    LinksLastToFirst([](TFbBase& link) {
        if (link.OnTransactionEnded)
            link.OnTransactionEnded();
    });
    vAfterEndTransaction.CallFirstToLast(this, action, force);
}

TFbStatus TFbCustomTransaction::EndOnServer(IIBClientLibrary& library, TTransactionAction action,
                                            bool force) {
    const TFbStatus status = action == TACommit
                                 ? Call(library.isc_commit_transaction(StatusVector(), &FHandle), false)
                                 : Call(library.isc_rollback_transaction(StatusVector(), &FHandle), false);
    if (force && status > 0)
        Call(library.isc_rollback_transaction(StatusVector(), &FHandle), false);
    return status;
}

void TFbCustomTransaction::EndDespiteHandlers(TTransactionAction action) noexcept {
    if (!Active())
        return;
    action = ImplicitEndAction(action);
    FState = action == TACommit ? tsDoCommit : tsDoRollback;
    // The statements still hear of it, each on its own: their cursors go with the transaction.
    const auto tell = [this](std::function<void()> TFbBase::*notice) {
        LinksLastToFirst([notice](TFbBase& link) {
            if (!(link.*notice))
                return;
            try {
                (link.*notice)();
            } catch (...) {
            }
        });
    };
    tell(&TFbBase::OnTransactionEnding);
    TFbCustomDatabase* main = MainDatabase();
    if (!FHandleIsShared && main) {
        try {
            EndOnServer(main->ClientLibrary(), action, true);
        } catch (...) {
        }
    }
    FHandle = 0;
    FHandleIsShared = false;
    tell(&TFbBase::OnTransactionEnded);
    FState = tsClosed;
    FTransactionID = 0;
}

void TFbCustomTransaction::EndTransaction(TTransactionAction action, bool force) {
    CheckInTransaction();
    // Without a database there is no client to call: refused before anything is announced, except
    // for a forced full end, which closes without a call.
    TFbCustomDatabase* main = MainDatabase();
    const bool retaining = action == TARollbackRetaining || action == TACommitRetaining;
    if (!main && (retaining || (!force && !FHandleIsShared)))
        FbError(feNoDatabasesInTransaction, {CmpFullName(this)});
    switch (action) {
    case TARollbackRetaining:
    case TACommitRetaining: {
        FState = action == TARollbackRetaining ? tsDoRollbackRetaining : tsDoCommitRetaining;
        Announce(action, force);
        IIBClientLibrary& library = main->ClientLibrary();
        if (action == TARollbackRetaining)
            Call(library.isc_rollback_retaining(StatusVector(), &FHandle), true);
        else
            Call(library.isc_commit_retaining(StatusVector(), &FHandle), true);
        Report(action, force);
        break;
    }
    case TARollback:
    case TACommit: {
        if (FHandleIsShared && action != FTimeoutAction && !force)
            FbError(feCantEndSharedTransaction);
        FState = action == TACommit ? tsDoCommit : tsDoRollback;
        Announce(action, force);
        if (FHandleIsShared || !main) {
            // Not ours: forget it, the owner ends it. Without a database (forced): forget it too.
            FHandle = 0;
            FHandleIsShared = false;
        } else {
            IIBClientLibrary& library = main->ClientLibrary();
            const TFbStatus status = EndOnServer(library, action, force);
            if (force)
                FHandle = 0;
            else if (status > 0)
                IBError(library, this);
        }
        Report(action, force);
        break;
    }
    }
    FState = Active() ? tsActive : tsClosed;
    FTransactionID = 0;
}

// ---- TFbTransaction

TFbTransaction::TFbTransaction(TComponent* owner) : TFbCustomTransaction(owner) {}

TFbTransaction::~TFbTransaction() {
    Destroy();
}

void TFbTransaction::StartTransaction() {
    if (Active())
        return;
    if (FTPBMode == tpbReadCommitted)
        SetTRParams({"write", "isc_tpb_nowait", "read_committed", "rec_version"});
    else if (FTPBMode == tpbRepeatableRead)
        SetTRParams({"write", "isc_tpb_nowait", "concurrency"});
    auto* database = dynamic_cast<TFbDatabase*>(DefaultDatabase());
    if (database && database->BeforeStartTransaction)
        database->BeforeStartTransaction(this);
    if (BeforeStart)
        BeforeStart(this);
    TFbCustomTransaction::StartTransaction();
    if (AfterStart)
        AfterStart(this);
    if (database && database->AfterStartTransaction)
        database->AfterStartTransaction(this);
}

void TFbTransaction::EndTransaction(TTransactionAction action, bool force) {
    auto* database = dynamic_cast<TFbDatabase*>(DefaultDatabase());
    if (database && database->BeforeEndTransaction)
        database->BeforeEndTransaction(this, action, force);
    if (BeforeEnd)
        BeforeEnd(this, action, force);
    TFbCustomTransaction::EndTransaction(action, force);
    if (AfterEnd)
        AfterEnd(this, action, force);
    // The database may have let go of this transaction meanwhile; ask again.
    database = dynamic_cast<TFbDatabase*>(DefaultDatabase());
    if (database && database->AfterEndTransaction)
        database->AfterEndTransaction(this, action, force);
}

void TFbTransaction::DoOnSQLExec(TObject* query, bool before) {
    if (before && BeforeSQLExecute)
        BeforeSQLExecute(this, query);
    else if (!before && AfterSQLExecute)
        AfterSQLExecute(this, query);
}
