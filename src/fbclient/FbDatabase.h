#pragma once
// Database attachment: the component that owns one attachment to one Firebird database.
// It encodes its connection lines into the DPB, attaches, adapts the SQL dialect, tells its
// transactions and statement links about connecting and disconnecting, and detaches.

#include "fbclient/FbBase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbLibrary.h"
#include "fbclient/FbParams.h"
#include "fbclient/FbXSQLDA.h"

#include <cstdint>
#include <string>
#include <vector>

class TFbCustomTransaction;
class TFbTransaction;

// The value of one column of a single-value query (QueryValue): its text as AsString gives it and,
// for numeric and date-time columns, the value itself.
struct TFbFieldValue {
    bool IsNull = true;
    int SQLType = 0; // without the nullable bit
    std::string Text;
    TDateTime DateTime = 0;
    double Number = 0;
};

// The local clock in the framework's day count (days since 1899-12-30, local time).
TDateTime NowDateTime();

enum TOnLostConnectActions : std::uint8_t { laTerminateApp, laCloseConnect, laIgnore, laWaitRestore };

using TBeforeConnectEvent = std::function<void(TObject* sender, TFbStrings& params, bool& doConnect)>;
using TOnLostConnectEvent =
    std::function<void(TObject* sender, EFbError& error, TOnLostConnectActions& action)>;

class TFbCustomDatabase : public TComponent {
public:
    explicit TFbCustomDatabase(TComponent* owner = nullptr);
    ~TFbCustomDatabase() override;

    // Attaches. On an attached TFbCustomDatabase: client error 13.
    virtual void Open();
    // Detaches, ending the transactions first (client error 12 when detached). Forced, it ends
    // detached whatever a handler throws; unforced, it stays attached, with nothing detached, only
    // when a transaction refuses to end, and otherwise ends detached. The first failure propagates.
    virtual void InternalClose(bool force);
    // Detaches when attached (a lost connection is closed as lost on a TFbDatabase).
    void Close();
    void ForceClose();

    bool Connected() const noexcept { return FHandle != 0; }
    void SetConnected(bool value);

    TFbHandle Handle() const noexcept { return FHandle; }
    TFbHandle* HandleAddress() noexcept { return &FHandle; }
    bool HandleIsShared() const noexcept { return FHandleIsShared; }
    // Takes an attachment handle that belongs to someone else; it is never detached here.
    void SetHandle(TFbHandle handle);

    const std::string& DBName() const noexcept { return FDBName; }
    void SetDBName(const std::string& name);
    // The connection lines; changing them while attached fails with client error 13.
    TFbStrings& DBParams() noexcept { return FDBParams; }
    const TFbStrings& DBParams() const noexcept { return FDBParams; }
    void SetDBParams(std::vector<std::string> lines) { FDBParams.Assign(std::move(lines)); }
    // The last built DPB.
    const std::string& DPB() const noexcept { return FDPB; }

    int SQLDialect() const noexcept { return FSQLDialect; }
    void SetSQLDialect(int value);
    // The database's dialect (information item 62); 1 when the server gives no such item.
    int DBSQLDialect();

    // Client library.
    const std::string& LibraryName() const noexcept { return FLibraryName; }
    void SetLibraryName(const std::string& name);
    void LoadLibrary();
    IIBClientLibrary& ClientLibrary();
    bool ClientLibLoaded() const noexcept { return FClientLibLoaded; }

    TFbCustomTransaction* DefaultTransaction() const noexcept { return FDefaultTransaction; }
    void SetDefaultTransaction(TFbCustomTransaction* transaction);
    TFbCustomTransaction* DefaultUpdateTransaction() const noexcept { return FDefaultUpdateTransaction; }
    void SetDefaultUpdateTransaction(TFbCustomTransaction* transaction);

    // Transactions that use this database; a removed one leaves an empty (null) slot.
    std::size_t TransactionSlots() const noexcept { return FTransactions.size(); }
    TFbCustomTransaction* Transactions(std::size_t index) const { return FTransactions.at(index); }
    int TransactionCount() const;
    int FindTransaction(const TFbCustomTransaction* transaction) const;
    // Registers a transaction (the first empty slot is reused); returns its index.
    int AddTransaction(TFbCustomTransaction* transaction);
    void RemoveTransaction(int index);

    // Statement links.
    int AddFbBase(TFbBase* link);
    void RemoveFbBase(int index);
    std::size_t FbBaseSlots() const noexcept { return FFbBases.size(); }

    // Checks a client call's status: greater than 0 is a failure, raised as EFbLibraryError when
    // `raise` is set. Returns the status unchanged.
    TFbStatus Call(TFbStatus status, bool raise);
    // Client error 12 when detached / 13 when attached.
    void CheckActive() const;
    void CheckInactive() const;

    // Server kind and version, read on the first request after a connect (-1 until then).
    int ServerMajorVersion();
    int ServerMinorVersion();
    int ServerRelease();
    int ServerBuild();
    bool IsFirebirdConnect() const noexcept { return FIsFireBirdConnect; }
    bool IsIB2007Connect() const noexcept { return FIsIB2007Connect; }
    bool IsUnicodeConnect() const noexcept { return FIsUnicodeConnect; }
    bool NeedUnicodeFieldsTranslation() const noexcept { return FNeedUnicodeFieldsTranslation; }
    // The server's attachment number (information item 22), read on first request while
    // attached; -1 when detached (Close resets it).
    long long AttachmentID();

    bool UpperOldNames() const noexcept { return FUpperOldNames; }
    void SetUpperOldNames(bool value) { FUpperOldNames = value; }
    bool UseLoginPrompt() const noexcept { return FUseLoginPrompt; }

    // Internal transaction and server time.
    TFbTransaction* InternalTransaction() const noexcept { return vInternalTransaction; }
    bool SynchronizeTime() const noexcept { return FSynchronizeTime; }
    void SetSynchronizeTime(bool value) { FSynchronizeTime = value; }
    // Local clock minus server clock in days, measured on every attach while SynchronizeTime is on.
    double DifferenceTime() const noexcept { return FDifferenceTime; }
    // Runs `sql` on `transaction` (the internal one when null), starting it when not active, and
    // returns column `column` of the first row; commits the internal transaction afterwards. On a
    // failure the transaction is rolled back when active and the error re-raised.
    TFbFieldValue QueryValue(const std::string& sql, int column, TFbCustomTransaction* transaction = nullptr);
    // The server's current date-time, through the internal transaction: a TIMESTAMP above dialect 1,
    // a DATE in dialect 1.
    TDateTime GetServerTime();

    // Raw answer of isc_database_info for the given items (raising on failure).
    std::string DatabaseInfo(const std::string& items);
    // Version text from item 103 (Firebird) or item 12; empty when there is none.
    std::string FirebirdVersionText();

    TNotifyEvent OnConnect;
    TNotifyEvent BeforeDisconnect;
    TNotifyEvent AfterDisconnect;
    TFbListeners<TObject*> vOnConnected;
    TFbListeners<TObject*> vBeforeDisconnect;
    TFbListeners<TObject*> vOnDestroy;

protected:
    // Server kind, version and character-set flags, then OnConnect and the vOnConnected listeners.
    virtual void DoOnConnect();
    // Forgets the attachment (the server went away): one detach call, whose result is ignored, lets
    // the client library drop its side of it; statements and transactions forget their handles.
    void CloseLostConnect();
    // The destruction sequence; the most derived destructor runs it, once.
    void Destroy() noexcept;
    bool Destroying() const noexcept { return FDestroying; }

private:
    friend class TFbBase;
    friend class TFbCustomTransaction;

    // Calls BeforeDisconnect or AfterDisconnect; an exception from the handler is replaced by one
    // naming the database and the event.
    void CallDisconnectEvent(const TNotifyEvent& event, const char* eventName);
    void ReadServerVersion();
    // Fills the version numbers from a version text; numbers it lacks stay -1.
    void ParseServerVersion(const std::string& text);
    template <class TFn> void ForEachLink(TFn fn);

    std::string FLibraryName;
    bool FClientLibLoaded = false;
    TIBClientLibraryRef FClientLibrary;
    std::vector<TFbBase*> FFbBases;
    std::vector<TFbCustomTransaction*> FTransactions;
    std::string FDBName;
    TFbStrings FDBParams;
    bool FDBParamsChanged = true;
    std::string FDPB;
    TFbHandle FHandle = 0;
    bool FHandleIsShared = false;
    bool FUseLoginPrompt = false;
    bool FUpperOldNames = false;
    TFbCustomTransaction* FDefaultTransaction = nullptr;
    TFbCustomTransaction* FDefaultUpdateTransaction = nullptr;
    int FSQLDialect = 1;
    int FServerMajorVersion = -1;
    int FServerMinorVersion = -1;
    int FServerRelease = -1;
    int FServerBuild = -1;
    bool FIsFireBirdConnect = false;
    bool FIsIB2007Connect = false;
    bool FIsUnicodeConnect = false;
    bool FNeedUnicodeFieldsTranslation = false;
    bool FCanTimeout = false;
    long long FAttachmentID = -1;
    double FDifferenceTime = 0;
    bool FSynchronizeTime = true;
    TFbTransaction* vInternalTransaction = nullptr;
    bool FDestroying = false;
    bool FDestroyed = false;
};

class TFbDatabase : public TFbCustomDatabase {
public:
    explicit TFbDatabase(TComponent* owner = nullptr);
    ~TFbDatabase() override;

    // A silent no-op when attached; BeforeConnect may cancel the attach.
    void Open() override;
    // Detaches when attached and either forced or the connection test passes.
    void InternalClose(bool force) override;
    // The connection test before a normal close: information item 13 with raising. A failure is
    // handed to OnLostConnect, then handled by the action; returns whether the connection works.
    bool ExTestConnected(TOnLostConnectActions action);

    TBeforeConnectEvent BeforeConnect;
    TOnLostConnectEvent OnLostConnect;
    // AfterConnect is OnConnect under its published name.
    TNotifyEvent& AfterConnect() noexcept { return OnConnect; }
    TNotifyEvent BeforeStartTransaction;
    TNotifyEvent AfterStartTransaction;
    TEndTransactionEvent BeforeEndTransaction;
    TEndTransactionEvent AfterEndTransaction;
};

// The process-wide list of database components (locked; held only for insertion and removal).
std::vector<TFbCustomDatabase*> FbDatabaseList();
