#include "fbclient/FbErrors.h"

#include "core/Encoding.h"
#include "fbclient/FbApi.h"

#include <array>
#include <vector>

namespace {

// The client-error texts. The rows are exact, typos included
// ("functonality", the two blanks of feEmptyQuery); the others are our own short English texts.
constexpr std::array<TFbClientErrorRow, kFbClientErrorCount> kClientErrors = {{
    {feUnknownError, "feUnknownError", "Unknown error."},
    {feNotSupported, "feNotSupported", "Feature not supported."},
    {feNotPermitted, "feNotPermitted", "Not permitted."},
    {feFileAccessError, "feFileAccessError", "Temporary file access error."},
    {feConnectionTimeout, "feConnectionTimeout", "Database connection timed out."},
    {feCannotSetDatabase, "feCannotSetDatabase", "Cannot set database."},
    {feCannotSetTransaction, "feCannotSetTransaction", "Cannot set transaction."},
    {feOperationCancelled, "feOperationCancelled", "Operation cancelled at user's request."},
    {feDPBConstantNotSupported, "feDPBConstantNotSupported", "DPB Constant (isc_dpb_%s) is unsupported."},
    {feDPBConstantUnknown, "feDPBConstantUnknown", "DPB Constant (%s) is unknown."},
    {feTPBConstantNotSupported, "feTPBConstantNotSupported", "TPB Constant (isc_tpb_%s) is unsupported."},
    {feTPBConstantUnknown, "feTPBConstantUnknown", "TPB Constant (%s) is unknown."},
    {feDatabaseClosed, "feDatabaseClosed", "%s: Cannot perform operation -- DB is not open."},
    {feDatabaseOpen, "feDatabaseOpen", "Cannot perform operation -- DB is currently open."},
    {feDatabaseNameMissing, "feDatabaseNameMissing", "Database name is missing."},
    {feNotInTransaction, "feNotInTransaction", "%s :Transaction is not active."},
    {feInTransaction, "feInTransaction", "%s :Transaction is active."},
    {feTimeoutNegative, "feTimeoutNegative", "Timeout values cannot be negative."},
    {feNoDatabasesInTransaction, "feNoDatabasesInTransaction",
     "%s :No databases are listed in transaction component."},
    {feUpdateWrongDB, "feUpdateWrongDB", "Updating wrong database."},
    {feUpdateWrongTR, "feUpdateWrongTR", "Updating wrong transaction. Unique transaction expected in set."},
    {feDatabaseNotAssigned, "feDatabaseNotAssigned", "Database not assigned for %s."},
    {feTransactionNotAssigned, "feTransactionNotAssigned", "Transaction not assigned for %s."},
    {feXSQLDAIndexOutOfRange, "feXSQLDAIndexOutOfRange", "XSQLDA index out of range."},
    {feXSQLDANameDoesNotExist, "feXSQLDANameDoesNotExist", "XSQLDA name does not exist (%s)."},
    {feEOF, "feEOF", "Attempt to fetch past the last record."},
    {feBOF, "feBOF", "Attempt to fetch before the first record."},
    {feInvalidStatementHandle, "feInvalidStatementHandle", "Invalid statement handle."},
    {feDatasetOpen, "feDatasetOpen", "Can't %s because %s dataset open."},
    {feDatasetClosed, "feDatasetClosed", "Can't %s because %s dataset closed."},
    {feUnknownSQLDataType, "feUnknownSQLDataType", "Unknown SQL Data type (%d)."},
    {feInvalidColumnIndex, "feInvalidColumnIndex", "Invalid column index (index exceeds permitted range)."},
    {feInvalidParamColumnIndex, "feInvalidParamColumnIndex",
     "Invalid parameter index (index exceeds permitted range)."},
    {feInvalidDataConversion, "feInvalidDataConversion", "Invalid data conversion."},
    {feColumnIsNotNullable, "feColumnIsNotNullable", "Column cannot be set to null (%s)."},
    {feBlobCannotBeRead, "feBlobCannotBeRead", "Blob stream cannot be read."},
    {feBlobCannotBeWritten, "feBlobCannotBeWritten", "Blob stream cannot be written."},
    {feEmptyQuery, "feEmptyQuery", "Can't %s , because  query is empty"},
    {feCannotOpenNonSQLSelect, "feCannotOpenNonSQLSelect", "Cannot open a statement that is not a select."},
    {feNoFieldAccess, "feNoFieldAccess", "No access to field \"%s\"."},
    {feFieldReadOnly, "feFieldReadOnly", "Field \"%s\" is read only."},
    {feFieldNotFound, "feFieldNotFound", "Field \"%s\" not found."},
    {feNotInEditState, "feNotInEditState", "Dataset is not in edit or insert mode."},
    {feNotEditing, "feNotEditing", "Dataset is not being edited."},
    {feCannotInsert, "feCannotInsert", "Cannot insert into dataset (no insert statement)."},
    {feCannotPost, "feCannotPost", "Cannot post the record."},
    {feCannotUpdate, "feCannotUpdate", "Cannot update the record (no update statement)."},
    {feCannotDelete, "feCannotDelete", "Cannot delete from dataset (no delete statement)."},
    {feCannotRefresh, "feCannotRefresh", "Cannot refresh the record (no refresh statement)."},
    {feBufferNotSet, "feBufferNotSet", "Buffer not set."},
    {feCircularReference, "feCircularReference", "Circular references are not permitted."},
    {feSQLParseError, "feSQLParseError", "SQL Parse Error in :%s \r\n\r\n%s"},
    {feUserAbort, "feUserAbort", "User abort."},
    {feDataSetUniDirectional, "feDataSetUniDirectional", "Dataset is unidirectional."},
    {feCannotCreateSharedResource, "feCannotCreateSharedResource",
     "Cannot create a shared resource (system error %d)."},
    {feWindowsAPIError, "feWindowsAPIError", "System API error %d [$%.8x]."},
    {feColumnListsDontMatch, "feColumnListsDontMatch", "Column lists do not match."},
    {feColumnTypesDontMatch, "feColumnTypesDontMatch",
     "Column types do not match (from index: %d; to index: %d)."},
    {feCantEndSharedTransaction, "feCantEndSharedTransaction",
     "Can't end a shared transaction unless it is forced and equal to the transaction's TimeoutAction."},
    {feNotIsArrayField, "feNotIsArrayField", "%s is not an array field."},
    {feWrongDimension, "feWrongDimension", "Wrong array dimension for field %s."},
    {feSQLDialectInvalid, "feSQLDialectInvalid", "SQL Dialect invalid"},
    {feIBMissing, "feIBMissing",
     "InterBase library gds32.dll not found in the path. Please install InterBase to use this functionality"},
    {feIB60feature, "feIB60feature",
     "%s is an InterBase6 function. Please upgrade to InterBase6 to use this functonality"},
    {feInterBaseInstallMissing, "feInterBaseInstallMissing",
     "The server installation library was not found."},
    {feServiceActive, "feServiceActive", "Cannot perform operation -- service is not attached."},
    {feServiceInActive, "feServiceInActive", "Cannot perform operation -- service is attached."},
    {feServerNameMissing, "feServerNameMissing", "Server name is missing."},
    {feQueryParamsError, "feQueryParamsError", "Query parameters are missing or incorrect."},
    {feStartParamsError, "feStartParamsError", "Start parameters are missing or incorrect."},
    {feOutputParsingError, "feOutputParsingError", "Unexpected output buffer value (%d)."},
    {feUseSpecificProcedures, "feUseSpecificProcedures",
     "Generic service start is not applicable: use the specific procedures."},
    {feSPBConstantNotSupported, "feSPBConstantNotSupported", "SPB Constant (isc_spb_%s) is unsupported."},
    {feSPBConstantUnknown, "feSPBConstantUnknown", "SPB Constant (%s) is unknown."},
    {feFieldSizeMismatch, "feFieldSizeMismatch", "Size mismatch: field %s is too small for the data."},
    {feCantUseLimitedCache, "feCantUseLimitedCache", "Can't use a limited cache for dataset %s."},
    {feFieldListEmpty, "feFieldListEmpty", "The field list is empty."},
    {feCantUseField, "feCantUseField", "Can't use field %s."},
    {feFB2feature, "feFB2feature",
     "%s is an Firebird 2 function. Please upgrade to Firebird 2 to use this functonality"},
}};

constexpr bool RowsInOrdinalOrder() {
    for (int i = 0; i < kFbClientErrorCount; ++i)
        if (kClientErrors[i].Code != i)
            return false;
    return true;
}
static_assert(RowsInOrdinalOrder(), "the client-error table must be in ordinal order");

bool IsAsciiLower(char c) {
    return c >= 'a' && c <= 'z';
}

void UpperFirst(std::string& text) {
    if (!text.empty() && IsAsciiLower(text[0]))
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
}

std::string Hex(long long value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    auto u = static_cast<unsigned long long>(value);
    if (value < 0 && value >= INT32_MIN)
        u &= 0xFFFFFFFFull; // a negative 32-bit value shows its own bits, as Format does
    std::string out;
    do {
        out.insert(out.begin(), kDigits[u & 0xF]);
        u >>= 4;
    } while (u);
    while (static_cast<int>(out.size()) < digits)
        out.insert(out.begin(), '0');
    return out;
}

} // namespace

std::string FbFormat(std::string_view format, std::initializer_list<TFbArg> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        std::size_t j = i + 1;
        if (format[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        int precision = 0;
        if (format[j] == '.') {
            ++j;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9')
                precision = precision * 10 + (format[j++] - '0');
        }
        if (j >= format.size()) {
            out.append(format.substr(i));
            break;
        }
        const char kind = format[j];
        if (kind != 's' && kind != 'd' && kind != 'x') {
            out.append(format.substr(i, j - i + 1));
            i = j;
            continue;
        }
        i = j;
        if (next == args.end())
            continue;
        const TFbArg& arg = *next++;
        if (arg.IsText())
            out += arg.Text();
        else if (kind == 'x')
            out += Hex(arg.Value(), precision);
        else
            out += std::to_string(arg.Value());
    }
    return out;
}

const TFbClientErrorRow* FbClientErrorTable() {
    return kClientErrors.data();
}

const char* FbClientErrorMessage(TFbClientError code) {
    return code < kFbClientErrorCount ? kClientErrors[code].Message : "";
}

EFbError::EFbError(int code, const TObject* sender, const std::string& msg) : EDatabaseError(std::string()) {
    Init(code, sender, msg);
}

EFbError::EFbError(int code, const TObject* sender, std::string sqlMessage, std::string ibMessage,
                   std::string customMessage)
    : EDatabaseError(std::string()), FSQLMessage(std::move(sqlMessage)), FIBMessage(std::move(ibMessage)),
      FCustomMessage(std::move(customMessage)) {
    Init(code, sender, std::string());
}

void EFbError::Init(int code, const TObject* sender, const std::string& msg) {
    const auto* component = dynamic_cast<const TComponent*>(sender);
    FRaiserName = component ? CmpFullName(component) : std::string();
    FSQLCode = code;
    FIBErrorCode = static_cast<int>(StatusVector()[1]);
    SenderObj = sender;
    SetMsg(msg);
}

void EFbError::SetMsg(const std::string& text) {
    FMsg = text;
    RebuildMessage();
}

void EFbError::RebuildMessage() {
    std::string message;
    if (Utf8Length(FRaiserName) > 1)
        message += FRaiserName + ":\r\n";
    message += FSQLMessage;
    message += FIBMessage;
    if (!FCustomMessage.empty())
        message += FCustomMessage;
    message += FMsg;
    SetMessage(std::move(message));
}

void IBError(const IIBClientLibrary& library, const TObject* sender) {
    ISC_STATUS* status = StatusVector();
    const ISC_LONG sqlCode = library.isc_sqlcode(status);

    std::vector<char> buffer(1024, '\0');
    library.isc_sql_interprete(static_cast<short>(sqlCode), buffer.data(), static_cast<short>(buffer.size()));
    std::string sqlMessage(buffer.data());
    for (std::size_t at; (at = sqlMessage.find("\\n")) != std::string::npos;)
        sqlMessage.erase(at, 2);
    sqlMessage = AnyToUtf8(sqlMessage);
    if (!sqlMessage.empty()) {
        UpperFirst(sqlMessage);
        if (sqlMessage.back() != '.')
            sqlMessage += ".\r\n";
    }

    // isc_interprete moves its cursor past one message per call; the vector itself stays as it is.
    std::string serverMessage;
    buffer.assign(20480, '\0');
    ISC_STATUS* cursor = status;
    while (library.isc_interprete(buffer.data(), &cursor) > 0) {
        std::string line = AnyToUtf8(buffer.data());
        if (line.empty())
            continue;
        UpperFirst(line);
        serverMessage += line;
        if (line.back() != '.')
            serverMessage += '.';
        serverMessage += "\r\n";
    }

    throw EFbLibraryError(static_cast<int>(sqlCode), sender, std::move(sqlMessage), std::move(serverMessage),
                          std::string());
}

void FbError(TFbClientError code, std::initializer_list<TFbArg> args) {
    throw EFbClientError(static_cast<int>(code), nullptr, FbFormat(FbClientErrorMessage(code), args));
}

void FbErrorEx(std::string_view format, std::initializer_list<TFbArg> args) {
    throw EFbClientError(-1, nullptr, FbFormat(format, args));
}

TIBErrorMessages GetIBErrorMessages() {
    // Nothing in the program changes which parts a message carries, so no lock guards it.
    return (1u << ShowIBMessage) | (1u << ShowSQLMessage) | (1u << ShowRaiserName);
}
