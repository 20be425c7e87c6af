#pragma once
// Client errors. A failed client call becomes EFbLibraryError with the SQL code, the
// server's first error code and the interpreted message lines; a broken rule of the layer itself
// becomes EFbClientError with its fixed English text. The error translation picks lines out of
// Message by position, so the line layout (every line ends with CR LF) is binding.

#include "core/Component.h"
#include "core/Exception.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class IIBClientLibrary;

// One argument of FbFormat: a text or an integer.
class TFbArg {
public:
    TFbArg(const char* text) : FText(text ? text : ""), FIsText(true) {}
    TFbArg(std::string text) : FText(std::move(text)), FIsText(true) {}
    TFbArg(std::string_view text) : FText(text), FIsText(true) {}
    TFbArg(int value) : FValue(value) {}
    TFbArg(long value) : FValue(value) {}
    TFbArg(long long value) : FValue(value) {}
    TFbArg(unsigned value) : FValue(value) {}

    bool IsText() const noexcept { return FIsText; }
    const std::string& Text() const noexcept { return FText; }
    long long Value() const noexcept { return FValue; }

private:
    std::string FText;
    long long FValue = 0;
    bool FIsText = false;
};

// The framework's Format for the texts of this layer: "%s" (a text, or an integer in decimal),
// "%d" (an integer, or a text as it is), "%x" with an optional ".n" precision ("%.8x": at least n
// hexadecimal digits, lower case) and "%%". A missing argument formats as nothing.
std::string FbFormat(std::string_view format, std::initializer_list<TFbArg> args = {});

// The client errors, ordinals 0 to 78.
enum TFbClientError : std::uint8_t {
    feUnknownError,
    feNotSupported,
    feNotPermitted,
    feFileAccessError,
    feConnectionTimeout,
    feCannotSetDatabase,
    feCannotSetTransaction,
    feOperationCancelled,
    feDPBConstantNotSupported,
    feDPBConstantUnknown,
    feTPBConstantNotSupported,
    feTPBConstantUnknown,
    feDatabaseClosed,
    feDatabaseOpen,
    feDatabaseNameMissing,
    feNotInTransaction,
    feInTransaction,
    feTimeoutNegative,
    feNoDatabasesInTransaction,
    feUpdateWrongDB,
    feUpdateWrongTR,
    feDatabaseNotAssigned,
    feTransactionNotAssigned,
    feXSQLDAIndexOutOfRange,
    feXSQLDANameDoesNotExist,
    feEOF,
    feBOF,
    feInvalidStatementHandle,
    feDatasetOpen,
    feDatasetClosed,
    feUnknownSQLDataType,
    feInvalidColumnIndex,
    feInvalidParamColumnIndex,
    feInvalidDataConversion,
    feColumnIsNotNullable,
    feBlobCannotBeRead,
    feBlobCannotBeWritten,
    feEmptyQuery,
    feCannotOpenNonSQLSelect,
    feNoFieldAccess,
    feFieldReadOnly,
    feFieldNotFound,
    feNotInEditState,
    feNotEditing,
    feCannotInsert,
    feCannotPost,
    feCannotUpdate,
    feCannotDelete,
    feCannotRefresh,
    feBufferNotSet,
    feCircularReference,
    feSQLParseError,
    feUserAbort,
    feDataSetUniDirectional,
    feCannotCreateSharedResource,
    feWindowsAPIError,
    feColumnListsDontMatch,
    feColumnTypesDontMatch,
    feCantEndSharedTransaction,
    feNotIsArrayField,
    feWrongDimension,
    feSQLDialectInvalid,
    feIBMissing,
    feIB60feature,
    feInterBaseInstallMissing,
    feServiceActive,
    feServiceInActive,
    feServerNameMissing,
    feQueryParamsError,
    feStartParamsError,
    feOutputParsingError,
    feUseSpecificProcedures,
    feSPBConstantNotSupported,
    feSPBConstantUnknown,
    feFieldSizeMismatch,
    feCantUseLimitedCache,
    feFieldListEmpty,
    feCantUseField,
    feFB2feature,
};
inline constexpr int kFbClientErrorCount = 79;

struct TFbClientErrorRow {
    TFbClientError Code;
    const char* Name;    // the enumeration value's name
    const char* Message; // English, with the Format placeholders of FbFormat
};
// The message table, one row per ordinal, in ordinal order.
const TFbClientErrorRow* FbClientErrorTable();
const char* FbClientErrorMessage(TFbClientError code);

class EFbError : public EDatabaseError {
public:
    // Create: the raiser's full name when it is a component, the message text, the code; the
    // server error code is read from the calling thread's status vector now.
    EFbError(int code, const TObject* sender, const std::string& msg);
    // CreateEx: the three texts as given, then as Create with an empty text.
    EFbError(int code, const TObject* sender, std::string sqlMessage, std::string ibMessage,
             std::string customMessage);

    int SQLCode() const noexcept { return FSQLCode; }
    int IBErrorCode() const noexcept { return FIBErrorCode; }
    const std::string& RaiserName() const noexcept { return FRaiserName; }
    const std::string& SQLMessage() const noexcept { return FSQLMessage; }
    const std::string& IBMessage() const noexcept { return FIBMessage; }
    const std::string& CustomMessage() const noexcept { return FCustomMessage; }
    const TObject* Raiser() const noexcept { return SenderObj; }

    void SetMsg(const std::string& text);
    // Message := raiser line (only for a raiser name longer than one character), SQL message,
    // server message, custom message, the client error's text.
    void RebuildMessage();

private:
    void Init(int code, const TObject* sender, const std::string& msg);

    int FSQLCode = 0;
    int FIBErrorCode = 0;
    std::string FRaiserName;
    std::string FSQLMessage;
    std::string FIBMessage;
    std::string FCustomMessage;
    std::string FMsg;
    const TObject* SenderObj = nullptr;
};

// A failed client call: the SQL code from isc_sqlcode and the interpreted status vector.
class EFbLibraryError : public EFbError {
public:
    using EFbError::EFbError;
};

// A rule of the access layer: SQLCode is the client error's ordinal (-1 for a free text).
class EFbClientError : public EFbError {
public:
    using EFbError::EFbError;
};

// Builds EFbLibraryError from the calling thread's status vector through isc_sqlcode,
// isc_sql_interprete and isc_interprete of `library`, and raises it. Server texts that are not
// valid UTF-8 are read as Windows-1250 (the connection's character set).
[[noreturn]] void IBError(const IIBClientLibrary& library, const TObject* sender);
// Raises EFbClientError with the ordinal of `code` and its table text formatted with `args`.
[[noreturn]] void FbError(TFbClientError code, std::initializer_list<TFbArg> args = {});
// Raises EFbClientError with SQLCode -1 and the formatted free text.
[[noreturn]] void FbErrorEx(std::string_view format, std::initializer_list<TFbArg> args = {});

// The parts of an error message shown (always raiser name, SQL message and server message).
enum TIBErrorMessage : std::uint8_t { ShowSQLCode, ShowIBMessage, ShowSQLMessage, ShowRaiserName };
using TIBErrorMessages = std::uint8_t; // a set: bit n for the value n
TIBErrorMessages GetIBErrorMessages();
