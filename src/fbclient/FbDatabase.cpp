#include "fbclient/FbDatabase.h"

#include "core/Encoding.h"
#include "fbclient/FbApi.h"
#include "fbclient/FbTransaction.h"

#include <algorithm>
#include <exception>
#include <mutex>

namespace {

struct TDatabaseList {
    std::mutex Lock;
    std::vector<TFbCustomDatabase*> Items;
};

TDatabaseList& DatabaseList() {
    static TDatabaseList list;
    return list;
}

// The first text of a version answer: a count, then texts each led by its length.
std::string FirstVersionText(const std::string& data) {
    if (data.size() < 2)
        return {};
    const auto length = static_cast<unsigned char>(data[1]);
    return data.substr(2, length);
}

} // namespace

std::vector<TFbCustomDatabase*> FbDatabaseList() {
    TDatabaseList& list = DatabaseList();
    std::lock_guard<std::mutex> guard(list.Lock);
    return list.Items;
}

// ---- TFbBase

TFbBase::TFbBase(TObject* owner) : FOwner(owner) {}

TFbBase::~TFbBase() {
    SetTransaction(nullptr);
    SetDatabase(nullptr);
}

void TFbBase::SetDatabase(TFbCustomDatabase* database) {
    if (database == FDatabase)
        return;
    if (FDatabase)
        FDatabase->RemoveFbBase(FIndexInDatabase);
    FDatabase = nullptr;
    FIndexInDatabase = -1;
    if (database) {
        FIndexInDatabase = database->AddFbBase(this);
        FDatabase = database;
    }
}

void TFbBase::SetTransaction(TFbCustomTransaction* transaction) {
    if (transaction == FTransaction)
        return;
    if (FTransaction)
        FTransaction->RemoveFbBase(FIndexInTransaction);
    FTransaction = nullptr;
    FIndexInTransaction = -1;
    if (transaction) {
        FIndexInTransaction = transaction->AddFbBase(this);
        FTransaction = transaction;
    }
}

// ---- TFbCustomDatabase

TFbCustomDatabase::TFbCustomDatabase(TComponent* owner)
    : TComponent(owner), FLibraryName(kDefaultLibraryName) {
    FDBParams.OnChanging = [this] { CheckInactive(); };
    FDBParams.OnChange = [this] { FDBParamsChanged = true; };
    // The internal transaction for short internal queries.
    vInternalTransaction = new TFbTransaction(nullptr);
    vInternalTransaction->SetTPBMode(tpbDefault);
    vInternalTransaction->SetTRParams({"write", "isc_tpb_nowait", "read_committed", "rec_version"});
    vInternalTransaction->SetDefaultDatabase(this);
    TDatabaseList& list = DatabaseList();
    std::lock_guard<std::mutex> guard(list.Lock);
    list.Items.push_back(this);
}

TFbCustomDatabase::~TFbCustomDatabase() {
    Destroy();
}

void TFbCustomDatabase::Destroy() noexcept {
    if (FDestroyed)
        return;
    FDestroyed = true;
    FDestroying = true;
    if (vInternalTransaction) {
        try {
            if (vInternalTransaction->Active())
                vInternalTransaction->Commit();
        } catch (...) {
        }
        delete vInternalTransaction;
        vInternalTransaction = nullptr;
    }
    FCanTimeout = false;
    if (Connected()) {
        try {
            ForceClose();
        } catch (...) {
        }
    }
    try {
        vOnDestroy.CallLastToFirst(this);
    } catch (...) {
    }
    for (std::size_t i = FFbBases.size(); i-- > 0;) {
        TFbBase* link = i < FFbBases.size() ? FFbBases[i] : nullptr;
        if (link && link->OnDatabaseFree) {
            try {
                link->OnDatabaseFree();
            } catch (...) {
            }
        }
    }
    for (TFbBase* link : FFbBases)
        if (link) {
            link->FDatabase = nullptr;
            link->FIndexInDatabase = -1;
        }
    FFbBases.clear();
    for (std::size_t i = 0; i < FTransactions.size(); ++i) {
        TFbCustomTransaction* transaction = FTransactions[i];
        if (!transaction)
            continue;
        const int index = transaction->FindDatabase(this);
        if (index >= 0)
            transaction->RemoveDatabase(index);
    }
    FTransactions.clear();
    FDPB.clear();
    FClientLibrary.reset();
    FClientLibLoaded = false;
    TDatabaseList& list = DatabaseList();
    std::lock_guard<std::mutex> guard(list.Lock);
    list.Items.erase(std::remove(list.Items.begin(), list.Items.end(), this), list.Items.end());
}

void TFbCustomDatabase::CheckActive() const {
    if (!Connected())
        FbError(feDatabaseClosed, {CmpFullName(this)});
}

void TFbCustomDatabase::CheckInactive() const {
    if (Connected())
        FbError(feDatabaseOpen);
}

void TFbCustomDatabase::SetConnected(bool value) {
    if (value)
        Open();
    else
        Close();
}

void TFbCustomDatabase::SetHandle(TFbHandle handle) {
    CheckInactive();
    FHandle = handle;
    FHandleIsShared = handle != 0;
}

void TFbCustomDatabase::SetDBName(const std::string& name) {
    if (name == FDBName)
        return;
    CheckInactive();
    FDBName = name;
}

void TFbCustomDatabase::SetSQLDialect(int value) {
    if (value < 1)
        FbError(feSQLDialectInvalid);
    if (Connected() && value > DBSQLDialect())
        FbError(feSQLDialectInvalid);
    FSQLDialect = value;
}

void TFbCustomDatabase::SetLibraryName(const std::string& name) {
    CheckInactive();
    if (name == FLibraryName)
        return;
    FLibraryName = name;
    FClientLibrary.reset();
    FClientLibLoaded = false;
}

void TFbCustomDatabase::LoadLibrary() {
    if (FClientLibLoaded)
        return;
    FClientLibrary = GetClientLibrary(FLibraryName);
    FClientLibLoaded = FClientLibrary != nullptr;
}

IIBClientLibrary& TFbCustomDatabase::ClientLibrary() {
    LoadLibrary();
    return *FClientLibrary;
}

void TFbCustomDatabase::SetDefaultTransaction(TFbCustomTransaction* transaction) {
    if (transaction != FDefaultTransaction && transaction) {
        transaction->AddDatabase(this);
        AddTransaction(transaction);
        if (!transaction->DefaultDatabase())
            transaction->SetDefaultDatabase(this);
    }
    FDefaultTransaction = transaction;
}

void TFbCustomDatabase::SetDefaultUpdateTransaction(TFbCustomTransaction* transaction) {
    if (transaction != FDefaultUpdateTransaction && transaction) {
        transaction->AddDatabase(this);
        AddTransaction(transaction);
    }
    FDefaultUpdateTransaction = transaction;
}

int TFbCustomDatabase::TransactionCount() const {
    return static_cast<int>(std::count_if(FTransactions.begin(), FTransactions.end(),
                                          [](const TFbCustomTransaction* t) { return t != nullptr; }));
}

int TFbCustomDatabase::FindTransaction(const TFbCustomTransaction* transaction) const {
    for (std::size_t i = 0; i < FTransactions.size(); ++i)
        if (FTransactions[i] == transaction && transaction)
            return static_cast<int>(i);
    return -1;
}

int TFbCustomDatabase::AddTransaction(TFbCustomTransaction* transaction) {
    if (!transaction)
        return -1;
    const int found = FindTransaction(transaction);
    if (found >= 0)
        return found;
    return PutInFreeSlot(FTransactions, transaction);
}

void TFbCustomDatabase::RemoveTransaction(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= FTransactions.size())
        return;
    TFbCustomTransaction* transaction = FTransactions[static_cast<std::size_t>(index)];
    FTransactions[static_cast<std::size_t>(index)] = nullptr;
    if (transaction) {
        if (FDefaultTransaction == transaction)
            FDefaultTransaction = nullptr;
        if (FDefaultUpdateTransaction == transaction)
            FDefaultUpdateTransaction = nullptr;
    }
}

int TFbCustomDatabase::AddFbBase(TFbBase* link) {
    return PutInFreeSlot(FFbBases, link);
}

void TFbCustomDatabase::RemoveFbBase(int index) {
    EmptySlot(FFbBases, index);
}

template <class TFn> void TFbCustomDatabase::ForEachLink(TFn fn) {
    ForEachInSlots(FFbBases, fn);
}

TFbStatus TFbCustomDatabase::Call(TFbStatus status, bool raise) {
    // The Windows original restores the FPU control word the client may have changed; the
    // Linux client leaves the floating-point environment alone.
    FCanTimeout = false;
    if (status > 0 && raise)
        IBError(ClientLibrary(), this);
    return status;
}

std::string TFbCustomDatabase::DatabaseInfo(const std::string& items) {
    CheckActive();
    IIBClientLibrary& library = ClientLibrary();
    std::string answer(1024, '\0');
    Call(library.isc_database_info(StatusVector(), &FHandle, static_cast<short>(items.size()), items.data(),
                                   static_cast<short>(answer.size()), answer.data()),
         true);
    return answer;
}

int TFbCustomDatabase::DBSQLDialect() {
    const std::string answer = DatabaseInfo(std::string(1, static_cast<char>(isc_info_db_sql_dialect)));
    std::string data;
    if (!FindInfoItem(answer, isc_info_db_sql_dialect, data) || data.empty())
        return 1;
    return static_cast<int>(VaxInteger(data, 0, data.size()));
}

std::string TFbCustomDatabase::FirebirdVersionText() {
    std::string data;
    const std::string answer = DatabaseInfo(std::string(1, static_cast<char>(isc_info_firebird_version)));
    if (FindInfoItem(answer, isc_info_firebird_version, data))
        return FirstVersionText(data);
    return {};
}

void TFbCustomDatabase::ReadServerVersion() {
    if (FServerMajorVersion != -1 || !Connected())
        return;
    std::string text;
    if (FIsFireBirdConnect) {
        text = FirebirdVersionText();
    } else {
        std::string data;
        if (FindInfoItem(DatabaseInfo(std::string(1, static_cast<char>(isc_info_version))), isc_info_version,
                         data))
            text = FirstVersionText(data);
    }
    ParseServerVersion(text);
}

void TFbCustomDatabase::ParseServerVersion(const std::string& text) {
    // "LI-V3.0.11.33703 Firebird 3.0": from the fifth character, each run of digits in turn.
    int* targets[] = {&FServerMajorVersion, &FServerMinorVersion, &FServerRelease, &FServerBuild};
    std::size_t next = 0;
    for (std::size_t i = 4; i < text.size() && next < 4;) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        long long value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = std::min<long long>(value * 10 + (text[i] - '0'), INT32_MAX);
            ++i;
        }
        *targets[next++] = static_cast<int>(value);
    }
}

long long TFbCustomDatabase::AttachmentID() {
    if (FAttachmentID == -1 && Connected()) {
        std::string data;
        if (FindInfoItem(DatabaseInfo(std::string(1, static_cast<char>(isc_info_attachment_id))),
                         isc_info_attachment_id, data))
            FAttachmentID = VaxInteger(data, 0, data.size());
    }
    return Connected() ? FAttachmentID : -1;
}

int TFbCustomDatabase::ServerMajorVersion() {
    ReadServerVersion();
    return FServerMajorVersion;
}

int TFbCustomDatabase::ServerMinorVersion() {
    ReadServerVersion();
    return FServerMinorVersion;
}

int TFbCustomDatabase::ServerRelease() {
    ReadServerVersion();
    return FServerRelease;
}

int TFbCustomDatabase::ServerBuild() {
    ReadServerVersion();
    return FServerBuild;
}

void TFbCustomDatabase::Open() {
    FServerMajorVersion = FServerMinorVersion = FServerRelease = FServerBuild = -1;
    CheckInactive();
    FAttachmentID = -1;
    if (FDBName.empty())
        FbError(feDatabaseNameMissing);
    LoadLibrary();
    ForEachLink([](TFbBase& link) {
        if (link.OnDatabaseConnecting)
            link.OnDatabaseConnecting();
    });
    // The flag goes only with a block that was built: a refused one is refused again next time,
    // never replaced by the previous block.
    if (FDBParamsChanged) {
        FDPB = GenerateDPB(FDBParams.RawLines());
        FDBParamsChanged = false;
    }
    IIBClientLibrary& library = ClientLibrary();
    const TFbStatus status =
        library.isc_attach_database(StatusVector(), static_cast<short>(FDBName.size()), FDBName.c_str(),
                                    &FHandle, static_cast<short>(FDPB.size()), FDPB.data());
    if (Call(status, false) > 0) {
        FHandle = 0;
        IBError(library, this);
    }
    FHandleIsShared = false;
    FDifferenceTime = 0;
    const int databaseDialect = DBSQLDialect();
    if (databaseDialect < FSQLDialect)
        FSQLDialect = databaseDialect;
    // The clock difference, through the internal transaction; a failure propagates while
    // the database stays attached.
    if (FSynchronizeTime)
        FDifferenceTime = NowDateTime() - GetServerTime();
    DoOnConnect();
    for (std::size_t i = 0; i < FFbBases.size() && Connected(); ++i)
        if (TFbBase* link = FFbBases[i]; link && link->OnDatabaseConnected)
            link->OnDatabaseConnected();
}

void TFbCustomDatabase::DoOnConnect() {
    LoadLibrary();
    // One version request serves both the server kind and the version numbers.
    const std::string version = FirebirdVersionText();
    FIsFireBirdConnect = !version.empty();
    if (FIsFireBirdConnect)
        ParseServerVersion(version);
    else
        FIsIB2007Connect = ServerMajorVersion() > 7;
    // The attachment's character set is the one the connection lines declare: the server takes
    // lc_ctype as it is (NONE without one). A WIN1250 connection is not Unicode.
    std::string charset;
    for (const auto& line : FDBParams.Lines()) {
        std::string name, value;
        SplitParamLine(FbTrim(line), "isc_dpb_", name, value);
        if (name == "lc_ctype")
            charset = UpperCase(FbTrim(value));
    }
    FIsUnicodeConnect = charset == "UNICODE_FSS" || charset == "UTF8";
    FNeedUnicodeFieldsTranslation = FIsUnicodeConnect;
    if (OnConnect)
        OnConnect(this);
    vOnConnected.CallFirstToLastWhile([this] { return Connected(); }, this);
}

void TFbCustomDatabase::Close() {
    if (Connected())
        InternalClose(false);
    FAttachmentID = -1;
}

void TFbCustomDatabase::ForceClose() {
    InternalClose(true);
}

void TFbCustomDatabase::CallDisconnectEvent(const TNotifyEvent& event, const char* eventName) {
    if (!event)
        return;
    try {
        event(this);
    } catch (const std::exception& e) {
        throw Exception(FbFormat(FDestroying ? "Error of %s.%s. Probably you are trying to get access to "
                                               "destroyed components. %s"
                                             : "Error of %s.%s. %s",
                                 {CmpFullName(this), eventName, e.what()}));
    }
}

void TFbCustomDatabase::InternalClose(bool force) {
    CheckActive();
    // A failing handler never leaves the attachment half closed (the server holding it, a
    // transaction still running, a statement holding a dead handle). A forced close ends the
    // transactions and detaches whatever a handler throws. An unforced one goes on past a failed
    // disconnect handler or statement, but stays attached when a transaction refused to end, before
    // anything is detached. The first failure propagates once the close is done.
    std::exception_ptr failure;
    const auto keep = [&failure] {
        if (!failure)
            failure = std::current_exception();
    };
    try {
        CallDisconnectEvent(BeforeDisconnect, "BeforeDisconnect");
    } catch (...) {
        keep();
    }
    try {
        vBeforeDisconnect.CallFirstToLast(this);
    } catch (...) {
        keep();
    }
    for (std::size_t i = 0; i < FTransactions.size(); ++i) {
        TFbCustomTransaction* transaction = FTransactions[i];
        if (!transaction || !transaction->Active())
            continue;
        const TTransactionAction action = ImplicitEndAction(transaction->TimeoutAction());
        std::exception_ptr refusal;
        try {
            transaction->EndTransaction(action, true);
        } catch (...) {
            refusal = std::current_exception();
        }
        // A handler may have freed the transaction meanwhile (its slot is empty then).
        const bool stillActive =
            i < FTransactions.size() && FTransactions[i] == transaction && transaction->Active();
        if (refusal && !force) {
            if (stillActive)
                std::rethrow_exception(refusal); // stays attached, nothing detached yet
            if (!failure)
                failure = refusal;
        }
        if (stillActive)
            transaction->EndDespiteHandlers(action);
    }
    // Each link on its own, by index: a handler may empty slots meanwhile.
    const auto tellLinks = [this](std::function<void()> TFbBase::*notice, const auto& failed) {
        for (std::size_t i = 0; i < FFbBases.size(); ++i) {
            TFbBase* link = FFbBases[i];
            if (!link || !(link->*notice))
                continue;
            try {
                (link->*notice)();
            } catch (...) {
                failed(i, *link);
            }
        }
    };
    tellLinks(&TFbBase::OnDatabaseDisconnecting, [&](std::size_t i, TFbBase& link) {
        if (!force)
            keep();
        // The statement could not let go of its server handle; the detach frees it on the server,
        // so it forgets the handle as after a lost connection.
        if (i < FFbBases.size() && FFbBases[i] == &link && link.OnDatabaseLost) {
            try {
                link.OnDatabaseLost();
            } catch (...) {
            }
        }
    });
    if (!FHandleIsShared && FHandle) {
        // A failed detach is swallowed: the attachment is gone for us either way.
        try {
            Call(ClientLibrary().isc_detach_database(StatusVector(), &FHandle), true);
        } catch (...) {
        }
    }
    FHandle = 0;
    FHandleIsShared = false;
    tellLinks(&TFbBase::OnDatabaseDisconnected, [&](std::size_t, TFbBase&) { keep(); });
    try {
        CallDisconnectEvent(AfterDisconnect, "AfterDisconnect");
    } catch (...) {
        keep();
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TFbCustomDatabase::CloseLostConnect() {
    // The client library still holds the attachment with its transactions and statements, and its
    // shutdown at program end crashes on statements of a dead attachment left there. A detach on a
    // broken connection fails at once with a network error and drops them all on the client side;
    // its result changes nothing here.
    if (FHandle && !FHandleIsShared)
        ClientLibrary().isc_detach_database(StatusVector(), &FHandle);
    FHandle = 0;
    FHandleIsShared = false;
    ForEachLink([](TFbBase& link) {
        if (!link.OnDatabaseLost)
            return;
        try {
            link.OnDatabaseLost();
        } catch (...) {
        }
    });
    for (std::size_t i = 0; i < FTransactions.size(); ++i) {
        TFbCustomTransaction* transaction = FTransactions[i];
        if (!transaction || !transaction->Active())
            continue;
        try {
            // A shared handle ends without a client call: the transaction only forgets it.
            transaction->MarkHandleShared();
            transaction->EndTransaction(TACommit, true);
        } catch (...) {
        }
    }
}

// ---- TFbDatabase

TFbDatabase::TFbDatabase(TComponent* owner) : TFbCustomDatabase(owner) {}

TFbDatabase::~TFbDatabase() {
    Destroy();
}

void TFbDatabase::Open() {
    if (Connected())
        return;
    if (BeforeConnect) {
        bool doConnect = true;
        BeforeConnect(this, DBParams(), doConnect);
        if (!doConnect)
            return;
    }
    TFbCustomDatabase::Open();
}

void TFbDatabase::InternalClose(bool force) {
    if (Connected() && (force || ExTestConnected(laCloseConnect)))
        TFbCustomDatabase::InternalClose(force);
}

bool TFbDatabase::ExTestConnected(TOnLostConnectActions action) {
    try {
        DatabaseInfo(std::string(1, static_cast<char>(isc_info_base_level)));
        return true;
    } catch (EFbError& e) {
        if (OnLostConnect)
            OnLostConnect(this, e, action);
        switch (action) {
        case laTerminateApp:
            // Asking the application to end is the caller's business (the system never selects it);
            // the connection is closed as lost either way.
        case laCloseConnect:
        case laWaitRestore:
            CloseLostConnect();
            break;
        case laIgnore:
            break;
        }
        return false;
    }
}
