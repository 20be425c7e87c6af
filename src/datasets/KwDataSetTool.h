#pragma once
// The dataset tool: every guarded operation of a dataset runs here. The dataset call runs under a
// handler that catches every failure and hands it, with the dataset's database, table, select text
// and parameters, to the database exception handler; the operation then returns false. The tool also
// gives a new row its default values and its record id, and saving waits for a row that another
// user holds.

#include "fbclient/FbDataSet.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class EFbError;
class TFbXSQLDA;

// The template of the question asked when a held row keeps the save waiting.
inline constexpr const char* kLockQuestionTemplate =
    "Podczas próby zapisu wiersza wystąpiła blokada jednego z powiązanych wierszy przez innego "
    "użytkownika.^Tabela: \"%s\".%s";

// Whether a status code says a save failed on a row that another transaction holds: 335544345 (lock
// conflict), and 335544336 (update conflict), which is what Firebird 3 reports to a no-wait
// transaction for a row changed by a transaction still active.
bool IsRowLockConflictCode(std::int32_t ibErrorCode) noexcept;

class TkwDataSetTool {
public:
    // The pause between two attempts of kwPost, in milliseconds.
    using TLockPause = std::function<void(int milliseconds)>;
    // Releases a row lock in the record lock service: database name, table, row id.
    using TUnLockRowService = std::function<void(const std::string&, const std::string&, std::int64_t)>;

    explicit TkwDataSetTool(TFbDataSet& dataSet) : FIBCustomDataSet(&dataSet) {}
    ~TkwDataSetTool() = default;
    TkwDataSetTool(const TkwDataSetTool&) = delete;
    TkwDataSetTool& operator=(const TkwDataSetTool&) = delete;

    TFbDataSet& DataSet() const noexcept { return *FIBCustomDataSet; }

    // Passes a caught failure to the database exception handler (call it from a catch block). The
    // object named is a query's primary table, for any other dataset its class.
    void HandleException(std::exception_ptr error, const std::string& options);

    // Each returns true on success and false after the handler dealt with a failure; what the
    // handler raises (the silent abort, EKwDbError) leaves the operation.
    bool kwAppend(const std::string& options);
    // kwAppend, then the record id from the generator.
    bool kwAppendNextRow(const std::string& options);
    bool kwCancel(const std::string& options);
    bool kwClose(const std::string& options);
    // True when the dataset has rows. Not guarded: a failure leaves the call.
    bool kwFirst(const std::string& options);
    bool kwLast(const std::string& options);
    // The dataset's Locate; its result is the result.
    bool kwLocate(const std::string& keyFields, const std::vector<TFbVariant>& keyValues,
                  TLocateOptions locateOptions, const std::string& options);
    // An open dataset gives true at once. "+t" fetches every row at opening. A query with the sort
    // check on that fails to open with an order set opens again without it.
    bool kwOpen(const std::string& options);
    // Saves the pending change; a row held by another transaction is tried again after pauses of
    // 500 ms, 10 of them ("+c": 30) before the user is asked whether to go on waiting.
    bool kwPost(const std::string& options);
    bool kwPrepare(const std::string& options);
    bool kwUnPrepare(const std::string& options);
    void kwUnLockRow() { unLockRow(); }
    void unLockRow();
    static int GetLock_Sleep_Count(const std::string& options);

    // Default values of a new row from its fields' default expressions; a required text field
    // without one gets the empty text. A field with a value keeps it. A default that does not convert
    // to the field's number raises the conversion error.
    void DoOnNewRecord();
    // The record id of a new row of a query: its id column from the generator of its primary table.
    void AutoGenerateValue();

    // The last failure the handler saw; LastIbError is empty when it was no client error.
    const std::exception_ptr& LastError() const noexcept { return FLastError; }
    const std::shared_ptr<const EFbError>& LastIbError() const noexcept { return FLastIbError; }
    const std::string& LastErrorStr() const noexcept { return FLastErrorStr; }

    const std::string& deleteStr() const noexcept { return FdeleteStr; }
    void SetdeleteStr(std::string value) { FdeleteStr = std::move(value); }
    // The parameters reported with an error; the dataset hands them over before it opens, appends
    // and saves. Null for none.
    const TFbXSQLDA* Params() const noexcept { return fParams; }
    void SetParams(const TFbXSQLDA* params) noexcept { fParams = params; }

    // The row this tool holds locked in the record lock service, and how the service releases it.
    // Nothing in this program takes a row lock, so the id stays 0.
    std::int64_t IDLockedRow() const noexcept { return fIDLockedRow; }
    void SetLockedRow(std::int64_t id, std::string dbName, std::string tableName);
    void SetUnLockRowService(TUnLockRowService service) { FUnLockRowService = std::move(service); }

    // For tests only: the pause of kwPost instead of the blocking wait.
    void SetLockPause(TLockPause pause) { FLockPause = std::move(pause); }

private:
    // Runs the operation; a failure goes to the handler and gives false.
    template <class TFn> bool Guarded(TFn operation, const std::string& options);
    bool AskToWaitAgain(const std::string& options) const;
    void Pause();

    TFbDataSet* FIBCustomDataSet;
    std::exception_ptr FLastError;
    std::shared_ptr<const EFbError> FLastIbError;
    std::string FLastErrorStr;
    std::string FdeleteStr;
    std::int64_t fIDLockedRow = 0;
    std::string fDBName;
    std::string fTableName;
    const TFbXSQLDA* fParams = nullptr;
    TUnLockRowService FUnLockRowService;
    TLockPause FLockPause;
};
