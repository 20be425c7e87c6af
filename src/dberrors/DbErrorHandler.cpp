#include "dberrors/DbErrorHandler.h"

#include "core/Component.h"
#include "core/UiPort.h"
#include "dberrors/ErrorTranslation.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbQuery.h"
#include "platform/Exit.h"

#include <cstdio>

namespace {

std::string gLastDbErrorMessage;
std::int32_t gLastDbErrorCode = 0;
std::string gLastDbErrorPolMessage;
bool gConnectionLost = false;

// A named database, dropped when the component goes away, so that a lost connection never
// force-closes a component that no longer exists.
class TGlobalDatabaseSlot : public TComponent {
public:
    TFbCustomDatabase* Get() const noexcept { return FDatabase; }
    void Set(TFbCustomDatabase* database) {
        if (FComponent)
            RemoveFreeNotification(FComponent);
        FDatabase = database;
        FComponent = database;
        if (FComponent)
            FreeNotification(FComponent);
    }

protected:
    void Notification(TComponent* component, bool removing) override {
        // Compared as the component it was stored as: its database part is gone by now.
        if (removing && component == FComponent) {
            FDatabase = nullptr;
            FComponent = nullptr;
        }
    }

private:
    TFbCustomDatabase* FDatabase = nullptr;
    TComponent* FComponent = nullptr;
};

TGlobalDatabaseSlot& Slot(int which) {
    static TGlobalDatabaseSlot slots[2];
    return slots[which];
}

bool HasOption(const std::string& options, const char* option) {
    return options.find(option) != std::string::npos;
}

// The exception object held by error as T, or null. The object lives as long as error does.
template <class T> const T* HeldAs(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const T& e) {
        return &e;
    } catch (...) {
        return nullptr;
    }
}

std::string MessageOf(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Exception*>(&e))
        return own->Message();
    return e.what();
}

} // namespace

bool IsConnectionLostCode(std::int32_t code) noexcept {
    // isc_net_read_err, isc_net_write_err, isc_lost_db_connection
    return code == kConnectionLostCode || code == 335544726 || code == 335544727 || code == 335544741;
}

namespace {

// The end of the program on a lost connection: the user reads the window, then nothing else may
// run, not even the shutdown code, since every step of it would talk to a server that is gone.
[[noreturn]] void EndOnLostConnection(const EFbError& error, const std::string& databaseName,
                                      const std::string& objectName, TFbCustomDatabase* database,
                                      const std::string& sql) {
    gConnectionLost = true;
    try {
        ShowIbErrorWnd(error, databaseName, objectName, database, sql, nullptr);
    } catch (const std::exception& e) {
        // The program ends all the same; at least the terminal learns why.
        std::fprintf(stderr, "%s\n%s\n", error.Message().c_str(), e.what());
    }
    MonitorHook().SetEnabled(false);
    for (TFbCustomDatabase* global : {GlobalDatabase(), GlobalDatabase2()}) {
        if (!global)
            continue;
        try {
            global->ForceClose();
        } catch (...) {
            // Forced: a failure to let go of a dead attachment must not keep the program alive.
        }
    }
    platform::ExitProcessNow(0);
}

} // namespace

TkwDbErrorHandlingTypeStack& DbErrorHandlingTypeStack() {
    static TkwDbErrorHandlingTypeStack stack;
    return stack;
}

TkwDbErrorHandlingType SposobObsBledowDB() {
    return DbErrorHandlingTypeStack().GetTop();
}

EKwDbError::EKwDbError(std::string message, std::int32_t sqlCode, std::int32_t ibErrorCode,
                       std::string polMessage, std::string databaseName, std::string objectClassName)
    : Exception(std::move(message)), FSQLCode(sqlCode), FIBErrorCode(ibErrorCode),
      FPolMessage(std::move(polMessage)), FDatabaseName(std::move(databaseName)),
      FObjectClassName(std::move(objectClassName)) {}

EKwDbError EKwDbError::MCreateIB(const std::string& databaseName, TFbCustomDatabase* database,
                                 const EFbError& error, const std::string& objectName) {
    return EKwDbError(error.Message(), error.SQLCode(), error.IBErrorCode(), IbErrorToStr(error, database),
                      databaseName, objectName);
}

const std::string& LastDbErrorMessage() {
    return gLastDbErrorMessage;
}
std::int32_t LastDbErrorCode() {
    return gLastDbErrorCode;
}
const std::string& LastDbErrorPolMessage() {
    return gLastDbErrorPolMessage;
}
bool ConnectionLost() {
    return gConnectionLost;
}

TFbCustomDatabase* GlobalDatabase() {
    return Slot(0).Get();
}
void SetGlobalDatabase(TFbCustomDatabase* database) {
    Slot(0).Set(database);
}
TFbCustomDatabase* GlobalDatabase2() {
    return Slot(1).Get();
}
void SetGlobalDatabase2(TFbCustomDatabase* database) {
    Slot(1).Set(database);
}

void HandleException(TFbCustomDatabase* database, const std::string& objectName, std::exception_ptr error,
                     const std::string& sql, const std::string& options, std::exception_ptr& lastError,
                     std::shared_ptr<const EFbError>& lastIbError, std::string& lastErrorText,
                     const TFbXSQLDA* params) {
    if (!error || gConnectionLost)
        return;
    const std::exception* caught = HeldAs<std::exception>(error);
    if (!caught)
        return;
    const EFbError* clientError = HeldAs<EFbError>(error);
    const std::string message = MessageOf(*caught);

    lastError = error;
    lastErrorText = message;
    gLastDbErrorMessage = message;
    gLastDbErrorCode = 0;
    if (clientError) {
        // Shares the ownership of the exception that error holds.
        lastIbError =
            std::shared_ptr<const EFbError>(std::make_shared<std::exception_ptr>(error), clientError);
        gLastDbErrorCode = clientError->IBErrorCode();
    } else {
        lastIbError.reset();
    }

    const std::string databaseName = database ? database->Name() : std::string();
    const bool noWindow = HasOption(options, "-e");
    const bool noAbort = HasOption(options, "-a");

    if (SposobObsBledowDB() == htBezOkna) {
        if (!clientError)
            throw Exception(message);
        if (!noAbort)
            throw EKwDbError::MCreateIB(databaseName, database, *clientError, objectName);
        return;
    }

    if (clientError) {
        gLastDbErrorPolMessage = IbErrorToStr(*clientError, database);
        if (IsConnectionLostCode(clientError->IBErrorCode()))
            EndOnLostConnection(*clientError, databaseName, objectName, database, sql);
        if (!noWindow)
            ShowIbErrorWnd(*clientError, databaseName, objectName, database, sql, params);
    } else if (!noWindow && !HeldAs<EAbort>(error)) {
        BladOk("błąd: \r" + message, 100);
    }
    if (!noAbort)
        Abort();
}
