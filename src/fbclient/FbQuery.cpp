#include "fbclient/FbQuery.h"

#include "core/Encoding.h"
#include "core/Exception.h"
#include "fbclient/FbApi.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbTransaction.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <random>

namespace {

// Whether the calling thread's status vector names the error code anywhere.
bool StatusHolds(ISC_LONG code) {
    const ISC_STATUS* sv = StatusVector();
    for (int i = 0; i < ISC_STATUS_LENGTH - 1 && sv[i] != isc_arg_end;) {
        const ISC_STATUS arg = sv[i];
        if (arg == isc_arg_gds && sv[i + 1] == code)
            return true;
        i += arg == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

bool IsBlankText(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

bool KnownType(int type) {
    switch (type) {
    case kSqlVarying: case kSqlText: case kSqlDouble: case kSqlFloat: case kSqlLong: case kSqlShort:
    case kSqlTimestamp: case kSqlBlob: case kSqlDFloat: case kSqlArray: case kSqlQuad: case kSqlTypeTime:
    case kSqlTypeDate: case kSqlInt64: case kSqlBooleanIB: case kSqlBoolean: case kSqlNull:
        return true;
    default:
        return false;
    }
}

constexpr std::size_t kNameField = 31; // the descriptor's alias name field

} // namespace

TFbCustomQuery::TFbCustomQuery(TComponent* owner)
    : TComponent(owner), FBase(this), FSQLParams(this, true), FSQLRecord(this, false) {
    FSQL.OnChanging = [this] {
        if (FOpen)
            FbError(feDatasetOpen, {"change sql text", CmpFullName(this)});
    };
    FSQL.OnChange = [this] { SQLChanged(); };
    FBase.OnTransactionEnding = [this] {
        TFbCustomTransaction* tr = Transaction();
        if (!FOpen || !AutoCloseOnTransactionEnd || !tr)
            return;
        // Retaining ends keep the cursor; a full end takes it with the transaction.
        if (tr->State() == tsDoCommit || tr->State() == tsDoRollback)
            Close();
    };
    FBase.OnDatabaseDisconnecting = [this] {
        if (FHandle) {
            Close();
            FreeHandle();
        }
    };
    FBase.OnDatabaseLost = [this] { ForgetHandle(); };
    FBase.OnDatabaseFree = [this] { ForgetHandle(); };
}

TFbCustomQuery::~TFbCustomQuery() {
    try {
        if (FOpen)
            Close();
        FreeHandle();
    } catch (...) {
        // The server statement goes with the attachment at the latest.
    }
}

void TFbCustomQuery::ForgetHandle() noexcept {
    FHandle = 0;
    FPrepared = false;
    FOpen = FEof = FBOF = FProcExecuted = false;
}

IIBClientLibrary& TFbCustomQuery::Library() const {
    CheckDatabase();
    return Database()->ClientLibrary();
}

void TFbCustomQuery::CallChecked(TFbStatus status) {
    if (status != 0)
        IBError(Database()->ClientLibrary(), this);
}

void TFbCustomQuery::SQLChanged() {
    FreeHandle();
    FSQLKind = SqlKind(FSQL.Text());
    FDoParamCheck = false;
    FProcessedSQL.clear();
}

void TFbCustomQuery::SetParamCheck(bool value) {
    if (value == FParamCheck)
        return;
    FParamCheck = value;
    FreeHandle();
    FDoParamCheck = false;
}

void TFbCustomQuery::ScanParams() {
    if (FDoParamCheck)
        return;
    const std::string text = FSQL.Text();
    if (!FParamCheck || FSQLKind == skDDL) {
        FProcessedSQL = text;
        FSQLParams.SetNames({});
    } else {
        const TScannedSql scanned = ScanSql(text, true, CmpFullName(this));
        std::vector<std::string> perPlace;
        perPlace.reserve(scanned.Places.size());
        for (std::size_t place : scanned.Places)
            perPlace.push_back(scanned.Names[place]);
        FProcessedSQL = scanned.ProcessedSQL;
        FSQLParams.SetNames(perPlace);
    }
    FDoParamCheck = true;
}

const std::string& TFbCustomQuery::ProcessedSQL() {
    ScanParams();
    return FProcessedSQL;
}

std::string TFbCustomQuery::ServerText(const std::string& text) const {
    return Database() && Database()->IsUnicodeConnect() ? text : Utf8ToCp1250(text);
}

void TFbCustomQuery::SetDatabase(TFbCustomDatabase* database) {
    if (database == Database())
        return;
    if (FPrepared || FHandle)
        FreeHandle();
    FBase.SetDatabase(database);
    if (database && !Transaction() && database->DefaultTransaction())
        SetTransaction(database->DefaultTransaction());
}

void TFbCustomQuery::SetTransaction(TFbCustomTransaction* transaction) {
    FBase.SetTransaction(transaction);
    if (transaction && transaction->DatabaseCount() > 0 &&
        (!Database() || transaction->FindDatabase(Database()) < 0))
        SetDatabase(transaction->MainDatabase());
}

void TFbCustomQuery::CheckDatabase() const {
    if (!Database())
        FbError(feDatabaseNotAssigned, {CmpFullName(this)});
    Database()->CheckActive();
}

void TFbCustomQuery::CheckTransaction() const {
    if (!Transaction())
        FbError(feTransactionNotAssigned, {CmpFullName(this)});
}

TFbXSQLDA& TFbCustomQuery::Params() {
    ScanParams();
    return FSQLParams;
}

TFbXSQLVAR& TFbCustomQuery::ParamByName(const std::string& name) { return Params().ParamByName(name); }

TFbXSQLVAR* TFbCustomQuery::FindParam(const std::string& name) { return Params().ByName(name); }

TFbXSQLVAR& TFbCustomQuery::Fields(int index) {
    if (index < 0 || index >= FSQLRecord.Count())
        FbError(feFieldNotFound, {"Field No: " + std::to_string(index)});
    return FSQLRecord.Vars(index);
}

TFbXSQLVAR& TFbCustomQuery::FieldByName(const std::string& name) {
    TFbXSQLVAR* var = FSQLRecord.ByName(name);
    if (!var)
        FbError(feFieldNotFound, {name});
    return *var;
}

void* TFbCustomQuery::ParamsDescriptor() { return FSQLParams.Count() > 0 ? FSQLParams.Descriptor() : nullptr; }

void TFbCustomQuery::Prepare() {
    if (FOpen)
        Close();
    CheckDatabase();
    CheckTransaction();
    Transaction()->CheckInTransaction();
    ScanParams();
    if (FPrepared)
        return;
    if (IsBlankText(FProcessedSQL))
        FbError(feEmptyQuery, {"Prepare"});
    TFbCustomDatabase* db = Database();
    IIBClientLibrary& lib = db->ClientLibrary();
    CallChecked(lib.isc_dsql_alloc_statement2(StatusVector(), db->HandleAddress(), &FHandle));
    try {
        FSQLRecord.Resize(1);
        const std::string text = ServerText(FProcessedSQL);
        CallChecked(lib.isc_dsql_prepare(StatusVector(), Transaction()->HandleAddress(), &FHandle, 0, text.c_str(),
                                         static_cast<unsigned short>(db->SQLDialect()),
                                         static_cast<::XSQLDA*>(FSQLRecord.Descriptor())));
        char item = isc_info_sql_stmt_type;
        std::string answer(8, '\0');
        CallChecked(lib.isc_dsql_sql_info(StatusVector(), &FHandle, 1, &item,
                                          static_cast<short>(answer.size()), answer.data()));
        std::string type;
        if (!FindInfoItem(answer, isc_info_sql_stmt_type, type))
            FbError(feUnknownError);
        FSQLType = static_cast<TFbSQLTypes>(VaxInteger(type, 0, type.size()));
        switch (FSQLType) {
        case SQLGetSegment:
        case SQLPutSegment:
        case SQLStartTransaction:
            FbError(feNotPermitted);
        case SQLSelectForUpdate:
            if (CursorName.empty()) {
                std::random_device rd;
                std::uniform_int_distribution<int> digit(0, 9);
                for (int i = 0; i < 10; ++i)
                    CursorName += static_cast<char>('0' + digit(rd));
            }
            CallChecked(lib.isc_dsql_set_cursor_name(StatusVector(), &FHandle, CursorName.c_str(), 0));
            [[fallthrough]];
        case SQLSelect:
        case SQLExecProcedure:
            DescribeBind();
            DescribeOutput();
            break;
        case SQLInsert:
        case SQLUpdate:
        case SQLDelete:
            DescribeBind();
            FSQLRecord.Clear();
            break;
        default:
            FSQLRecord.Clear();
            break;
        }
        FPrepared = true;
        MonitorHook().Report(this, "[Prepare]", FProcessedSQL);
    } catch (const std::exception& e) {
        MonitorHook().Report(this, "[Prepare]", e.what());
        // A failed prepare leaves no server statement behind.
        if (FHandle) {
            lib.isc_dsql_free_statement(StatusVector(), &FHandle, DSQL_drop);
            FHandle = 0;
        }
        FSQLRecord.Clear();
        FPrepared = false;
        throw;
    }
}

void TFbCustomQuery::DescribeBind() {
    if (FSQLParams.Count() == 0)
        return;
    TFbCustomDatabase* db = Database();
    IIBClientLibrary& lib = db->ClientLibrary();
    struct TOurs {
        short type, len, scale, subtype;
    };
    auto* da = static_cast<::XSQLDA*>(FSQLParams.Descriptor());
    std::vector<TOurs> ours;
    for (int i = 0; i < FSQLParams.Count(); ++i)
        ours.push_back({da->sqlvar[i].sqltype, da->sqlvar[i].sqllen, da->sqlvar[i].sqlscale, da->sqlvar[i].sqlsubtype});
    CallChecked(lib.isc_dsql_describe_bind(StatusVector(), &FHandle, static_cast<unsigned short>(db->SQLDialect()), da));
    if (da->sqld > da->sqln) {
        // More places than the text showed (cannot happen with our own scan, but the server decides).
        FSQLParams.Resize(da->sqld);
        da = static_cast<::XSQLDA*>(FSQLParams.Descriptor());
        CallChecked(lib.isc_dsql_describe_bind(StatusVector(), &FHandle, static_cast<unsigned short>(db->SQLDialect()), da));
        ours.resize(static_cast<std::size_t>(da->sqld), TOurs{kSqlNull | 1, 0, 0, 0});
    }
    for (int i = 0; i < FSQLParams.Count(); ++i) {
        TFbXSQLVAR& var = FSQLParams.Vars(i);
        XSQLVAR& raw = da->sqlvar[i];
        var.FSrvSQLType = raw.sqltype;
        var.FSrvSQLSubType = raw.sqlsubtype;
        var.FSrvSQLLen = raw.sqllen;
        var.FSrvSQLScale = raw.sqlscale;
        const int serverType = raw.sqltype & ~1;
        if (!KnownType(serverType))
            FbError(feUnknownSQLDataType, {serverType});
        const bool isNull = var.FNullInd == -1 || (ours[static_cast<std::size_t>(i)].type & ~1) == kSqlNull;
        if (isNull) {
            // A null value takes the type the server describes.
            var.SetType(serverType, raw.sqllen, raw.sqlscale, raw.sqlsubtype);
            var.FNullInd = -1;
            continue;
        }
        raw.sqltype = ours[static_cast<std::size_t>(i)].type;
        raw.sqllen = ours[static_cast<std::size_t>(i)].len;
        raw.sqlscale = ours[static_cast<std::size_t>(i)].scale;
        raw.sqlsubtype = ours[static_cast<std::size_t>(i)].subtype;
        if ((serverType == kSqlBlob || serverType == kSqlArray) && var.SQLType() != serverType && !var.FHasBlobText) {
            // Text set as such keeps its own bytes; anything else goes as its text form.
            const std::string text = var.SQLType() == kSqlText && !var.FBlobText.empty() ? var.FBlobText : var.AsString();
            var.SetType(serverType, 8, 0, raw.sqlsubtype);
            var.FSrvSQLSubType = raw.sqlsubtype;
            var.FBlobText = text;
            var.FHasBlobText = true;
            var.FNullInd = 0;
        }
        var.Bind();
    }
}

void TFbCustomQuery::DescribeOutput() {
    TFbCustomDatabase* db = Database();
    IIBClientLibrary& lib = db->ClientLibrary();
    auto* da = static_cast<::XSQLDA*>(FSQLRecord.Descriptor());
    const int columns = da->sqld;
    if (columns == 0) {
        FSQLRecord.Clear();
        return;
    }
    if (columns > da->sqln) {
        FSQLRecord.Resize(columns);
        da = static_cast<::XSQLDA*>(FSQLRecord.Descriptor());
        CallChecked(lib.isc_dsql_describe(StatusVector(), &FHandle, static_cast<unsigned short>(db->SQLDialect()), da));
    }
    for (int i = 0; i < columns; ++i) {
        TFbXSQLVAR& var = FSQLRecord.Vars(i);
        XSQLVAR& raw = da->sqlvar[i];
        const int type = raw.sqltype & ~1;
        if (!KnownType(type))
            FbError(feUnknownSQLDataType, {type});
        var.FSrvSQLType = raw.sqltype;
        var.FSrvSQLSubType = raw.sqlsubtype;
        var.FSrvSQLLen = raw.sqllen;
        var.FSrvSQLScale = raw.sqlscale;
        var.SetType(type, raw.sqllen, raw.sqlscale, raw.sqlsubtype);
        var.FNullInd = -1;
    }
    NameColumns();
}

void TFbCustomQuery::NameColumns() {
    auto* da = static_cast<::XSQLDA*>(FSQLRecord.Descriptor());
    std::vector<std::string> names;
    int unnamed = 0;
    for (int i = 0; i < FSQLRecord.Count(); ++i) {
        const XSQLVAR& raw = da->sqlvar[i];
        const auto length = std::min<std::size_t>(static_cast<std::size_t>(std::max<short>(raw.aliasname_length, 0)), kNameField);
        std::string name(raw.aliasname, length);
        if (name.empty())
            name = "F_" + std::to_string(++unnamed);
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            for (int n = 1;; ++n) {
                const std::string suffix = std::to_string(n);
                std::string base = name;
                if (base.size() + suffix.size() > 30)
                    base.resize(kNameField - suffix.size());
                if (std::find(names.begin(), names.end(), base + suffix) == names.end()) {
                    name = base + suffix;
                    break;
                }
            }
        }
        names.push_back(name);
    }
    // Alias names come in the connection's character set.
    const bool unicode = Database()->IsUnicodeConnect();
    for (int i = 0; i < FSQLRecord.Count(); ++i) {
        const std::string& name = names[static_cast<std::size_t>(i)];
        FSQLRecord.Vars(i).FName = unicode ? name : Cp1250ToUtf8(name);
    }
    FSQLRecord.RebuildNames();
}

void TFbCustomQuery::WriteBlobParams() {
    TFbCustomDatabase* db = Database();
    for (int i = 0; i < FSQLParams.Count(); ++i) {
        TFbXSQLVAR& var = FSQLParams.Vars(i);
        if (!var.FHasBlobText || var.FNullInd == -1)
            continue;
        IIBClientLibrary& lib = db->ClientLibrary();
        const bool binary = var.FSrvSQLSubType != 1;
        const std::string bytes = binary ? var.FBlobText : ServerText(var.FBlobText);
        isc_blob_handle blob = 0;
        ISC_QUAD id{};
        CallChecked(lib.isc_create_blob2(StatusVector(), db->HandleAddress(), Transaction()->HandleAddress(), &blob,
                                         &id, 0, nullptr));
        for (std::size_t done = 0; done < bytes.size();) {
            const auto chunk = static_cast<unsigned short>(std::min<std::size_t>(bytes.size() - done, 32768));
            const ISC_STATUS status = lib.isc_put_segment(StatusVector(), &blob, chunk, bytes.data() + done);
            if (status) {
                try {
                    IBError(lib, this);
                } catch (...) {
                    ISC_STATUS scratch[ISC_STATUS_LENGTH] = {}; // keeps the error's status vector intact
                    lib.isc_close_blob(scratch, &blob);
                    throw;
                }
            }
            done += chunk;
        }
        CallChecked(lib.isc_close_blob(StatusVector(), &blob));
        std::memcpy(var.FData.data(), &id, sizeof id);
    }
}

void TFbCustomQuery::DoBeforeExecute() {
    if (BeforeExecute)
        BeforeExecute(this);
    CheckTransaction();
    Transaction()->DoOnSQLExec(this, true);
}

void TFbCustomQuery::DoAfterExecute() {
    if (AfterExecute)
        AfterExecute(this);
    if (Transaction())
        Transaction()->DoOnSQLExec(this, false);
    for (int i = 0; i < FSQLParams.Count(); ++i)
        FSQLParams.Vars(i).FModified = false;
}

void TFbCustomQuery::ExecQuery() {
    if (FSQLKind == skDDL) {
        DoBeforeExecute();
        FreeHandle();
        CheckDatabase();
        ScanParams();
        TFbCustomDatabase* db = Database();
        const std::string text = ServerText(FProcessedSQL);
        try {
            CallChecked(db->ClientLibrary().isc_dsql_execute_immediate(
                StatusVector(), db->HandleAddress(), Transaction()->HandleAddress(), 0, text.c_str(),
                static_cast<unsigned short>(db->SQLDialect()), static_cast<::XSQLDA*>(ParamsDescriptor())));
        } catch (const std::exception& e) {
            MonitorHook().Report(this, "[Execute]", e.what());
            throw;
        }
        DoAfterExecute();
        return;
    }
    DoBeforeExecute();
    if (!FPrepared)
        Prepare();
    TFbCustomDatabase* db = Database();
    IIBClientLibrary& lib = db->ClientLibrary();
    const auto dialect = static_cast<unsigned short>(db->SQLDialect());
    try {
        WriteBlobParams();
        switch (FSQLType) {
        case SQLSelect:
        case SQLSelectForUpdate: {
            if (FOpen)
                Close();
            CallChecked(lib.isc_dsql_execute(StatusVector(), Transaction()->HandleAddress(), &FHandle, dialect,
                                             static_cast<::XSQLDA*>(ParamsDescriptor())));
            FOpen = true;
            FBOF = true;
            FEof = false;
            FRecordCount = 0;
            FProcExecuted = false;
            for (int i = 0; i < FSQLRecord.Count(); ++i)
                FSQLRecord.Vars(i).FNullInd = -1;
            if (GoToFirstRecordOnExecute)
                Next();
            break;
        }
        case SQLExecProcedure:
            CallChecked(lib.isc_dsql_execute2(StatusVector(), Transaction()->HandleAddress(), &FHandle, dialect,
                                              static_cast<::XSQLDA*>(ParamsDescriptor()),
                                              FSQLRecord.Count() ? static_cast<::XSQLDA*>(FSQLRecord.Descriptor())
                                                                 : nullptr));
            FProcExecuted = true;
            break;
        case SQLCommit:
            Transaction()->Commit();
            break;
        case SQLRollback:
            Transaction()->Rollback();
            break;
        default:
            CallChecked(lib.isc_dsql_execute(StatusVector(), Transaction()->HandleAddress(), &FHandle, dialect,
                                             static_cast<::XSQLDA*>(ParamsDescriptor())));
            break;
        }
    } catch (const std::exception& e) {
        MonitorHook().Report(this, "[Execute]", e.what());
        throw;
    }
    MonitorHook().Report(this, "[Execute]", FProcessedSQL);
    DoAfterExecute();
}

void TFbCustomQuery::ExecImmediate(const std::vector<TFbColumnType>& columns) {
    DoBeforeExecute();
    FreeHandle();
    CheckDatabase();
    Transaction()->CheckInTransaction();
    ScanParams();
    TFbCustomDatabase* db = Database();
    IIBClientLibrary& lib = db->ClientLibrary();
    // Nothing was described: the descriptors say themselves how many values they hold.
    if (FSQLParams.Count() > 0)
        static_cast<::XSQLDA*>(FSQLParams.Descriptor())->sqld = static_cast<ISC_SHORT>(FSQLParams.Count());
    FSQLRecord.Resize(static_cast<int>(columns.size()));
    static_cast<::XSQLDA*>(FSQLRecord.Descriptor())->sqld = static_cast<ISC_SHORT>(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        TFbXSQLVAR& var = FSQLRecord.Vars(static_cast<int>(i));
        const TFbColumnType& column = columns[i];
        var.FSrvSQLType = column.SQLType | 1;
        var.FSrvSQLSubType = 0;
        var.FSrvSQLLen = column.Length;
        var.FSrvSQLScale = column.Scale;
        var.SetType(column.SQLType, column.Length, column.Scale, 0);
        var.FNullInd = -1;
    }
    const std::string text = ServerText(FProcessedSQL);
    try {
        WriteBlobParams();
        CallChecked(lib.isc_dsql_exec_immed2(
            StatusVector(), db->HandleAddress(), Transaction()->HandleAddress(), 0, text.c_str(),
            static_cast<unsigned short>(db->SQLDialect()), static_cast<::XSQLDA*>(ParamsDescriptor()),
            static_cast<::XSQLDA*>(FSQLRecord.Descriptor())));
    } catch (const std::exception& e) {
        MonitorHook().Report(this, "[Execute]", e.what());
        FSQLRecord.Clear();
        throw;
    }
    FProcExecuted = true;
    MonitorHook().Report(this, "[Execute]", FProcessedSQL);
    DoAfterExecute();
}

void TFbCustomQuery::Next() {
    if (FEof)
        return;
    if (!FOpen)
        FbError(feDatasetClosed, {"fetch next record", CmpFullName(this)});
    TFbCustomDatabase* db = Database();
    IIBClientLibrary& lib = db->ClientLibrary();
    const ISC_STATUS status = lib.isc_dsql_fetch(StatusVector(), &FHandle, static_cast<unsigned short>(db->SQLDialect()),
                                                 static_cast<::XSQLDA*>(FSQLRecord.Descriptor()));
    if (status == 0) {
        ++FRecordCount;
        FBOF = false;
        MonitorHook().Report(this, "[Fetch]", FProcessedSQL);
    } else if (status == 100 || StatusHolds(isc_dsql_cursor_err)) {
        FEof = true;
    } else {
        try {
            IBError(lib, this);
        } catch (...) {
            // The error was built from the status vector first; now the cursor goes.
            try {
                Close();
            } catch (...) {
                FOpen = FEof = FBOF = FProcExecuted = false;
            }
            throw;
        }
    }
}

void TFbCustomQuery::Close() {
    const bool cursor = FHandle && FOpen && (FSQLType == SQLSelect || FSQLType == SQLSelectForUpdate);
    bool failed = false;
    if (cursor) {
        IIBClientLibrary& lib = Database()->ClientLibrary();
        failed = lib.isc_dsql_free_statement(StatusVector(), &FHandle, DSQL_close) != 0 &&
                 !StatusHolds(isc_bad_stmt_handle) && !StatusHolds(isc_dsql_cursor_close_err);
    }
    FEof = FBOF = FOpen = FProcExecuted = false;
    if (failed)
        IBError(Database()->ClientLibrary(), this);
}

void TFbCustomQuery::FreeHandle() {
    FSQLRecord.Clear();
    const TFbHandle handle = FHandle;
    FPrepared = false;
    FOpen = FEof = FBOF = FProcExecuted = false;
    if (!handle)
        return;
    TFbCustomDatabase* db = Database();
    if (!db) {
        FHandle = 0;
        return;
    }
    IIBClientLibrary& lib = db->ClientLibrary();
    const ISC_STATUS status = lib.isc_dsql_free_statement(StatusVector(), &FHandle, DSQL_drop);
    FHandle = 0;
    if (status != 0 && !StatusHolds(isc_bad_stmt_handle))
        IBError(lib, this);
}

// ---------------------------------------------------------------------------------------------

void TFbQuery::ExecQuery() {
    for (;;) {
        try {
            TFbCustomQuery::ExecQuery();
            return;
        } catch (EFbError& error) {
            if (!OnExecuteError)
                throw;
            TFbExecuteErrorAction action = eaFail;
            OnExecuteError(*this, error, action);
            if (action == eaRetry)
                continue;
            if (action == eaAbort)
                Abort();
            throw;
        }
    }
}

// ---------------------------------------------------------------------------------------------

namespace {

std::map<std::string, std::string>& ParamCache() {
    static std::map<std::string, std::string> cache;
    return cache;
}

// Reserved words of Firebird 3 that can name nothing unquoted.
constexpr const char* kReserved[] = {
    "ADD", "ADMIN", "ALL", "ALTER", "AND", "ANY", "AS", "AT", "AVG", "BEGIN", "BETWEEN", "BIGINT", "BIT_LENGTH",
    "BLOB", "BOOLEAN", "BOTH", "BY", "CASE", "CAST", "CHAR", "CHARACTER", "CHECK", "CLOSE", "COLLATE", "COLUMN",
    "COMMIT", "CONNECT", "CONSTRAINT", "COUNT", "CREATE", "CROSS", "CURRENT", "CURSOR", "DATE", "DAY", "DEC",
    "DECIMAL", "DECLARE", "DEFAULT", "DELETE", "DISCONNECT", "DISTINCT", "DOUBLE", "DROP", "ELSE", "END",
    "ESCAPE", "EXECUTE", "EXISTS", "EXTERNAL", "EXTRACT", "FALSE", "FETCH", "FILTER", "FLOAT", "FOR", "FOREIGN",
    "FROM", "FULL", "FUNCTION", "GLOBAL", "GRANT", "GROUP", "HAVING", "HOUR", "IN", "INDEX", "INNER", "INSERT",
    "INT", "INTEGER", "INTO", "IS", "JOIN", "LEADING", "LEFT", "LIKE", "LONG", "LOWER", "MAX", "MERGE", "MIN",
    "MINUTE", "MONTH", "NATIONAL", "NATURAL", "NCHAR", "NO", "NOT", "NULL", "NUMERIC", "OF", "ON", "ONLY",
    "OPEN", "OR", "ORDER", "OUTER", "PARAMETER", "PLAN", "POSITION", "POST_EVENT", "PRECISION", "PRIMARY",
    "PROCEDURE", "RDB$DB_KEY", "REAL", "RECORD_VERSION", "RECREATE", "REFERENCES", "RELEASE", "RETURNS",
    "REVOKE", "RIGHT", "ROLLBACK", "ROW_COUNT", "ROWS", "SAVEPOINT", "SECOND", "SELECT", "SENSITIVE", "SET",
    "SIMILAR", "SMALLINT", "SOME", "START", "SUM", "TABLE", "THEN", "TIME", "TIMESTAMP", "TO", "TRAILING",
    "TRIGGER", "TRIM", "TRUE", "UNION", "UNIQUE", "UNKNOWN", "UPDATE", "UPPER", "USER", "USING", "VALUE",
    "VALUES", "VARCHAR", "VARIABLE", "VARYING", "VIEW", "WHEN", "WHERE", "WHILE", "WITH", "YEAR",
};

bool IsPlainIdentifier(const std::string& name) {
    if (name.empty() || name.front() < 'A' || name.front() > 'Z')
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#' || c == '$' || c == '%' || c == '_'))
            return false;
    return std::none_of(std::begin(kReserved), std::end(kReserved), [&](const char* w) { return name == w; });
}

std::string Quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string Unquoted(const std::string& name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return name.substr(1, name.size() - 2);
    return name;
}

} // namespace

std::string TFbStoredProc::NormalizeName(const std::string& name, int dialect) {
    const std::string trimmed = FbTrim(name);
    if (dialect < 3)
        return UpperCase(trimmed);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"')
        return trimmed;
    return IsPlainIdentifier(trimmed) ? trimmed : Quoted(trimmed);
}

void TFbStoredProc::ClearParamCache() { ParamCache().clear(); }

void TFbStoredProc::SetStoredProcName(const std::string& name) {
    if (name == FStoredProcName)
        return;
    FStoredProcName = name;
    if (Database())
        BuildText();
}

void TFbStoredProc::SetDatabase(TFbCustomDatabase* database) {
    TFbQuery::SetDatabase(database);
    if (database && IsBlankText(SQLText()) && !IsBlankText(FStoredProcName))
        BuildText();
}

void TFbStoredProc::BuildText() {
    if (IsBlankText(FStoredProcName)) {
        SQL().Clear();
        return;
    }
    TFbCustomDatabase* db = Database();
    const int dialect = db->SQLDialect();
    const std::string name = NormalizeName(FStoredProcName, dialect);
    const std::string bare = Unquoted(name);
    const std::string key = db->DBName() + "||" + bare;
    auto& cache = ParamCache();
    auto it = cache.find(key);
    if (it == cache.end()) {
        TFbTransaction transaction;
        transaction.SetDefaultDatabase(db);
        TFbQuery query;
        query.SetDatabase(db);
        query.SetTransaction(&transaction);
        std::string literal;
        for (char c : bare) {
            if (c == '\'')
                literal += '\'';
            literal += c;
        }
        query.SetSQLText("SELECT RDB$PARAMETER_NAME, RDB$PARAMETER_TYPE FROM\r\nRDB$PROCEDURE_PARAMETERS WHERE "
                         "RDB$PROCEDURE_NAME=\r\n'" +
                         literal + "'\r\nORDER BY RDB$PARAMETER_NUMBER");
        transaction.StartTransaction();
        std::string part;
        try {
            for (query.ExecQuery(); !query.Eof(); query.Next()) {
                if (query.Fields(1).AsInteger() != 0)
                    continue;
                std::string param = FbTrim(query.Fields(0).AsString());
                if (dialect >= 3 && !IsPlainIdentifier(param))
                    param = Quoted(param);
                part += (part.empty() ? "" : ", ") + ("?" + param);
            }
            query.Close();
            transaction.Commit();
        } catch (...) {
            if (transaction.Active())
                transaction.Rollback();
            throw;
        }
        if (!part.empty())
            part = "(" + part + ")";
        it = cache.emplace(key, part).first;
    }
    SetSQLText("EXECUTE PROCEDURE " + name + " " + it->second);
}

// ---------------------------------------------------------------------------------------------

void TFbSQLMonitorHook::Report(const TObject*, const char*, std::string_view) {
    // The line for a monitor would be "<name>: <tag> <text>"; it is built only once one listens.
    if (!FEnabled || !MonitorAttached())
        return;
}

TFbSQLMonitorHook& MonitorHook() {
    static TFbSQLMonitorHook hook; // thread-safe first use
    return hook;
}
