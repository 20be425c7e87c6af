#pragma once
// The database exception handler. Every guarded operation of the database layer hands the exception
// it caught to HandleException, which records it, and by the error-handling mode in force and the
// caller's options shows the error window and ends the operation with the silent abort, raises
// EKwDbError for the caller, or lets the caller go on. A lost connection to the server ends the
// program here.

#include "core/Exception.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class EFbError;
class TFbCustomDatabase;
class TFbXSQLDA;

enum TkwDbErrorHandlingType : std::uint8_t {
    htOknoIAbort, // show the error, then end the operation with the silent abort
    htBezOkna,    // show nothing; raise EKwDbError (client errors) or a plain Exception
};

// The modes pushed by code that wants errors handled its own way for a while.
class TkwDbErrorHandlingTypeStack {
public:
    void AddTop(TkwDbErrorHandlingType type) { FItems.push_back(type); }
    // Removes the top entry; nothing on an empty stack.
    void DeleteTop() {
        if (!FItems.empty())
            FItems.pop_back();
    }
    // The top entry; htOknoIAbort on an empty stack.
    TkwDbErrorHandlingType GetTop() const { return FItems.empty() ? htOknoIAbort : FItems.back(); }
    std::size_t Count() const noexcept { return FItems.size(); }

private:
    std::vector<TkwDbErrorHandlingType> FItems;
};

// The process's stack, empty at start.
TkwDbErrorHandlingTypeStack& DbErrorHandlingTypeStack();
// The mode in force: the top of the process's stack.
TkwDbErrorHandlingType SposobObsBledowDB();

// The layer's own exception for a client error, raised in mode htBezOkna. Message is the client
// error's English message unchanged; PolMessage its Polish translation.
class EKwDbError : public Exception {
public:
    // Translates the error (IbErrorToStr with the database, whose lookup failure leaves here).
    static EKwDbError MCreateIB(const std::string& databaseName, TFbCustomDatabase* database,
                                const EFbError& error, const std::string& objectName);

    const std::string& DatabaseName() const noexcept { return FDatabaseName; }
    const std::string& ObjectClassName() const noexcept { return FObjectClassName; }
    std::int32_t IBErrorCode() const noexcept { return FIBErrorCode; }
    std::int32_t SQLCode() const noexcept { return FSQLCode; }
    const std::string& PolMessage() const noexcept { return FPolMessage; }

private:
    EKwDbError(std::string message, std::int32_t sqlCode, std::int32_t ibErrorCode, std::string polMessage,
               std::string databaseName, std::string objectClassName);

    std::int32_t FSQLCode;
    std::int32_t FIBErrorCode;
    std::string FPolMessage;
    std::string FDatabaseName;
    std::string FObjectClassName;
};

// The status code of a broken connection to the server: the handler ends the program on it.
inline constexpr std::int32_t kConnectionLostCode = 335544721;
// Whether a status code means the connection to the server is gone. Besides kConnectionLostCode,
// Firebird 3 reports a server that died under a live attachment as a failed read or write on the
// connection, or as the connection lost to the database; those end the program the same way.
bool IsConnectionLostCode(std::int32_t code) noexcept;

// The process's last-error record, written by HandleException: the last exception's message; the
// last client error's status code (0 when the last exception was none); the Polish message of the
// last client error handled in mode htOknoIAbort.
const std::string& LastDbErrorMessage();
std::int32_t LastDbErrorCode();
const std::string& LastDbErrorPolMessage();
// Set once the connection to the server broke; from then on the handler ignores every call.
bool ConnectionLost();

// Database components the application may name for the whole process; a lost connection force-closes
// both. A component that is destroyed while named is forgotten.
TFbCustomDatabase* GlobalDatabase();
void SetGlobalDatabase(TFbCustomDatabase* database);
TFbCustomDatabase* GlobalDatabase2();
void SetGlobalDatabase2(TFbCustomDatabase* database);

// Handles the exception a guarded operation caught (pass std::current_exception() in its catch).
//   database    the database of the operation, or null; its component name is the database name
//   objectName  the reporting object: its class name ("TkwSQL"), or a dataset's primary table
//   error       the caught exception; null, or anything that is no std::exception, changes nothing
//   sql         the statement text, or empty; options: "-e" no window or message, "-a" no abort
//               (htOknoIAbort) and no EKwDbError (htBezOkna), each found anywhere in the string
//   lastError   out: the exception (shared, so it outlives the caller's catch)
//   lastIbError out: the exception when it is a client error, else null (shares lastError's object)
//   lastErrorText out: the exception's message
//   params      the statement's parameters, or null
// Raises EAbort (htOknoIAbort without "-a"), EKwDbError (htBezOkna, client error, without "-a") or
// Exception with the same message (htBezOkna, other exceptions, whatever the options); returns
// otherwise. Status code 335544721 in mode htOknoIAbort shows the window and ends the process with
// exit code 0, whatever the options. Nothing changes once ConnectionLost() is set.
void HandleException(TFbCustomDatabase* database, const std::string& objectName, std::exception_ptr error,
                     const std::string& sql, const std::string& options, std::exception_ptr& lastError,
                     std::shared_ptr<const EFbError>& lastIbError, std::string& lastErrorText,
                     const TFbXSQLDA* params);
