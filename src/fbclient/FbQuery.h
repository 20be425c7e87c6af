#pragma once
// Client statements: one SQL statement at a time through the client's dynamic SQL. The statement
// keeps its text, finds its ":name" parameters, prepares on the server, executes inside a
// transaction, fetches the rows of a query one by one and converts values (TFbXSQLDA).

#include "fbclient/FbBase.h"
#include "fbclient/FbLibrary.h"
#include "fbclient/FbParams.h"
#include "fbclient/FbSqlParser.h"
#include "fbclient/FbXSQLDA.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TFbCustomDatabase;
class TFbCustomTransaction;
class EFbError;

// The statement type the server reports (isc_info_sql_stmt_type).
enum TFbSQLTypes : std::uint8_t {
    SQLUnknown, SQLSelect, SQLInsert, SQLUpdate, SQLDelete, SQLDDL, SQLGetSegment, SQLPutSegment,
    SQLExecProcedure, SQLStartTransaction, SQLCommit, SQLRollback, SQLSelectForUpdate, SQLSetGenerator,
    SQLSavePointOperation
};

// The type an output column of a statement run at once is given; the server converts its value to it.
struct TFbColumnType {
    int SQLType; // a type code without the nullable bit
    int Length;  // bytes of the value (of the text for CHAR)
    int Scale = 0;
};

class TFbCustomQuery : public TComponent {
public:
    explicit TFbCustomQuery(TComponent* owner = nullptr);
    ~TFbCustomQuery() override;

    // The statement text. Changing it on an open statement fails with client error 28; any change
    // frees the server statement and classifies the text anew.
    TFbStrings& SQL() noexcept { return FSQL; }
    void SetSQLText(const std::string& text) { FSQL.SetText(text); }
    std::string SQLText() const { return FSQL.Text(); }
    TSQLKind SQLKind() const noexcept { return FSQLKind; }
    // The text as sent to the server (parameters as "?"), after the parameters were looked for.
    const std::string& ProcessedSQL();

    TFbCustomDatabase* Database() const noexcept { return FBase.Database(); }
    virtual void SetDatabase(TFbCustomDatabase* database);
    TFbCustomTransaction* Transaction() const noexcept { return FBase.Transaction(); }
    void SetTransaction(TFbCustomTransaction* transaction);

    void Prepare();
    virtual void ExecQuery();
    // Runs a statement of exactly one row in one client call (isc_dsql_exec_immed2): nothing is
    // prepared or kept on the server, so a single value costs one round trip. The output columns get
    // the given types, which the server converts to; their values are read through Fields. A prepared
    // statement of this query is freed first; no row or more than one fails on the server.
    void ExecImmediate(const std::vector<TFbColumnType>& columns);
    void Next();
    void Close();
    void FreeHandle();

    bool Eof() const noexcept { return FEof || !FOpen; }
    bool Bof() const noexcept { return FBOF; }
    bool Open() const noexcept { return FOpen; }
    bool Prepared() const noexcept { return FPrepared; }
    int RecordCount() const noexcept { return FRecordCount; }
    TFbSQLTypes SQLType() const noexcept { return FSQLType; }
    TFbHandle Handle() const noexcept { return FHandle; }
    // Whether output values hold a row: one was fetched, or a procedure returned its row.
    bool ValuesAvailable() const noexcept { return FRecordCount > 0 || FProcExecuted; }

    // Output columns: client error 41 for an index or name that is not there.
    TFbXSQLVAR& Fields(int index);
    TFbXSQLVAR& FieldByName(const std::string& name);
    int FieldCount() const { return FSQLRecord.Count(); }
    TFbXSQLDA& Current() noexcept { return FSQLRecord; }
    // Parameters, as found in the text (one value per place; places of one name share the value).
    TFbXSQLDA& Params();
    TFbXSQLVAR& ParamByName(const std::string& name);
    TFbXSQLVAR* FindParam(const std::string& name);

    bool ParamCheck() const noexcept { return FParamCheck; }
    void SetParamCheck(bool value);
    bool GoToFirstRecordOnExecute = true;
    bool AutoCloseOnTransactionEnd = true;
    std::string CursorName;
    char MacroChar = '@';

    TNotifyEvent BeforeExecute;
    TNotifyEvent AfterExecute;

protected:
    void CheckDatabase() const;
    void CheckTransaction() const;
    void DoBeforeExecute();
    void DoAfterExecute();
    // Runs a client call that returns a status; raises the client-library error when it failed.
    void CallChecked(TFbStatus status);
    IIBClientLibrary& Library() const;

private:
    void SQLChanged();
    void ScanParams();
    void DescribeBind();
    void DescribeOutput();
    void NameColumns();
    void WriteBlobParams();
    void* ParamsDescriptor();
    std::string ServerText(const std::string& text) const;
    void ForgetHandle() noexcept;

    TFbBase FBase;
    TFbStrings FSQL;
    TSQLKind FSQLKind = skUnknown;
    bool FDoParamCheck = false;
    bool FParamCheck = true;
    bool FBOF = false;
    bool FEof = false;
    bool FOpen = false;
    bool FPrepared = false;
    bool FProcExecuted = false;
    int FRecordCount = 0;
    TFbHandle FHandle = 0;
    std::string FProcessedSQL;
    TFbXSQLDA FSQLParams;
    TFbXSQLDA FSQLRecord;
    TFbSQLTypes FSQLType = SQLUnknown;
};

enum TFbExecuteErrorAction : std::uint8_t { eaFail, eaAbort, eaRetry };

class TFbQuery : public TFbCustomQuery {
public:
    explicit TFbQuery(TComponent* owner = nullptr) : TFbCustomQuery(owner) {}

    // Runs the statement; a failure goes to OnExecuteError when assigned, which may fail it, end it
    // silently or run it again.
    void ExecQuery() override;

    std::string Description;
    std::function<void(TFbQuery& sender, EFbError& error, TFbExecuteErrorAction& action)> OnExecuteError;
};

// Runs one stored procedure by name: the text is built from the name and its input parameters.
class TFbStoredProc : public TFbQuery {
public:
    explicit TFbStoredProc(TComponent* owner = nullptr) : TFbQuery(owner) {}

    const std::string& StoredProcName() const noexcept { return FStoredProcName; }
    void SetStoredProcName(const std::string& name);
    void SetDatabase(TFbCustomDatabase* database) override;

    // The name as the statement text writes it in the dialect.
    static std::string NormalizeName(const std::string& name, int dialect);
    // Forgets the cached parameter parts of every procedure.
    static void ClearParamCache();

private:
    void BuildText();

    std::string FStoredProcName;
};

// The process-wide SQL trace hook. It reports to an external SQL monitor program only; there is none
// on this platform, so the hook stays inert and costs a flag test per report: callers pass the
// parts of the line, never a joined copy.
class TFbSQLMonitorHook {
public:
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool value) noexcept { FEnabled = value; }
    bool MonitorAttached() const noexcept { return false; }

    void Report(const TObject* sender, const char* tag, std::string_view text);

private:
    bool FEnabled = true;
};
TFbSQLMonitorHook& MonitorHook();
