#include "datasets/KwDataSetTool.h"

#include "core/Exception.h"
#include "core/KwUtils.h"
#include "core/UiPort.h"
#include "datasets/KwQuery.h"
#include "dberrors/DbErrorHandler.h"
#include "dblayer/KwDatabase.h"
#include "dblayer/KwGenerator.h"
#include "fbclient/FbErrors.h"

#include <charconv>
#include <typeinfo>

namespace {

bool HasOption(const std::string& options, const char* option) {
    return options.find(option) != std::string::npos;
}

constexpr int kLockPauseMs = 500;

// The framework's StrToFloat and StrToInt64: a number with "." (blanks around it and a leading "+"
// allowed); anything else raises "'%s' is not a valid <kind> value".
template <class T> T FbStrToNumber(const std::string& text, const char* kind) {
    const std::string trimmed = FbTrim(text);
    T value = 0;
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (trimmed.empty() || ec != std::errc() || end != last)
        throw Exception("'" + text + "' is not a valid " + kind + " value");
    return value;
}

double FbStrToFloat(const std::string& text) { return FbStrToNumber<double>(text, "floating point"); }

std::int64_t FbStrToInt64(const std::string& text) { return FbStrToNumber<std::int64_t>(text, "integer"); }

} // namespace

bool IsRowLockConflictCode(std::int32_t ibErrorCode) noexcept {
    return ibErrorCode == 335544345 || ibErrorCode == 335544336;
}

template <class TFn> bool TkwDataSetTool::Guarded(TFn operation, const std::string& options) {
    try {
        operation();
    } catch (...) {
        HandleException(std::current_exception(), options);
        return false;
    }
    return true;
}

void TkwDataSetTool::HandleException(std::exception_ptr error, const std::string& options) {
    const auto* query = dynamic_cast<const TkwQuery*>(FIBCustomDataSet);
    const std::string objectName = query ? query->PrimaryTableName() : "TFbDataSet";
    ::HandleException(FIBCustomDataSet->Database(), objectName, std::move(error),
                      FIBCustomDataSet->SelectSQL().Text(), options, FLastError, FLastIbError, FLastErrorStr,
                      fParams);
}

bool TkwDataSetTool::kwAppend(const std::string& options) {
    return Guarded([this] { FIBCustomDataSet->Append(); }, options);
}

bool TkwDataSetTool::kwAppendNextRow(const std::string& options) {
    return kwAppend(options) && Guarded([this] { AutoGenerateValue(); }, options);
}

bool TkwDataSetTool::kwCancel(const std::string& options) {
    return Guarded(
        [this] {
            TFbDataSet& ds = *FIBCustomDataSet;
            ds.Cancel();
            unLockRow();
            if (ds.RecordCount() == 0 && !ds.IsEmpty())
                ds.Last();
        },
        options);
}

bool TkwDataSetTool::kwClose(const std::string& options) {
    return Guarded(
        [this] {
            FIBCustomDataSet->Close();
            unLockRow();
        },
        options);
}

bool TkwDataSetTool::kwFirst(const std::string&) {
    if (FIBCustomDataSet->IsEmpty())
        return false;
    FIBCustomDataSet->First();
    return true;
}

bool TkwDataSetTool::kwLast(const std::string&) {
    if (FIBCustomDataSet->IsEmpty())
        return false;
    FIBCustomDataSet->Last();
    return true;
}

bool TkwDataSetTool::kwLocate(const std::string& keyFields, const std::vector<TFbVariant>& keyValues,
                              TLocateOptions locateOptions, const std::string& options) {
    bool found = false;
    Guarded([&] { found = FIBCustomDataSet->Locate(keyFields, keyValues, locateOptions); }, options);
    return found;
}

bool TkwDataSetTool::kwOpen(const std::string& options) {
    TFbDataSet& ds = *FIBCustomDataSet;
    if (ds.Active())
        return true;
    auto open = [&] {
        ds.Open();
        if (HasOption(options, "+t")) {
            ds.Last();
            ds.First();
        }
    };
    try {
        open();
        return true;
    } catch (const EAbort&) {
        HandleException(std::current_exception(), options);
        return false;
    } catch (...) {
        auto* query = dynamic_cast<TkwQuery*>(&ds);
        if (!query || !query->CheckSortOnOpen() || query->SqlOrderBy().empty()) {
            HandleException(std::current_exception(), options);
            return false;
        }
    }
    // The order may name what the server does not take (a column since removed): the rows unsorted
    // are better than none.
    return Guarded(
        [&] {
            auto& query = static_cast<TkwQuery&>(ds);
            query.SetSqlOrderBy({});
            query.SetSqlOrderType({});
            open();
        },
        options);
}

bool TkwDataSetTool::kwPost(const std::string& options) {
    const int max = GetLock_Sleep_Count(options);
    int count = 0;
    for (;;) {
        try {
            FIBCustomDataSet->Post();
            unLockRow();
            return true;
        } catch (const EFbLibraryError& e) {
            if (!IsRowLockConflictCode(e.IBErrorCode())) {
                HandleException(std::current_exception(), options);
                return false;
            }
            if (++count > max) {
                if (!AskToWaitAgain(options)) {
                    HandleException(std::current_exception(), options);
                    return false;
                }
                count = 0;
            }
        } catch (...) {
            HandleException(std::current_exception(), options);
            return false;
        }
        Pause();
    }
}

bool TkwDataSetTool::AskToWaitAgain(const std::string& options) const {
    if (HasOption(options, "-e") || SposobObsBledowDB() != htOknoIAbort)
        return false;
    const auto* query = dynamic_cast<const TkwQuery*>(FIBCustomDataSet);
    const std::string table = query ? query->PrimaryTableName() : std::string();
    return PytTN(FbFormat(kLockQuestionTemplate, {table, " Powtórzyć?"}), 100);
}

void TkwDataSetTool::Pause() {
    ShowKlepsydra(false, rklZwykla);
    try {
        if (FLockPause)
            FLockPause(kLockPauseMs);
        else
            QSleep(kLockPauseMs);
    } catch (...) {
        HideKlepsydra(false);
        throw;
    }
    HideKlepsydra(false);
}

bool TkwDataSetTool::kwPrepare(const std::string& options) {
    return Guarded([this] { FIBCustomDataSet->Prepare(); }, options);
}

bool TkwDataSetTool::kwUnPrepare(const std::string&) {
    return true;
}

void TkwDataSetTool::SetLockedRow(std::int64_t id, std::string dbName, std::string tableName) {
    fIDLockedRow = id;
    fDBName = std::move(dbName);
    fTableName = std::move(tableName);
}

void TkwDataSetTool::unLockRow() {
    if (fIDLockedRow == 0 || !FUnLockRowService)
        return;
    FUnLockRowService(fDBName, fTableName, fIDLockedRow);
    fIDLockedRow = 0;
}

int TkwDataSetTool::GetLock_Sleep_Count(const std::string& options) {
    return HasOption(options, "+c") ? 30 : 10;
}

void TkwDataSetTool::DoOnNewRecord() {
    TFbDataSet& ds = *FIBCustomDataSet;
    for (int i = 0; i < ds.FieldCount(); ++i) {
        TFbField& field = ds.Fields(i);
        const TFieldType kind = field.DataType();
        const std::string& expression = field.DefaultExpression();
        const bool text = kind == ftString || kind == ftMemo;
        if ((expression.empty() && !(text && field.Required())) || !field.IsNull())
            continue;
        switch (kind) {
        case ftString:
        case ftMemo:
            field.SetAsString(expression);
            break;
        case ftSmallint:
        case ftInteger:
            field.SetAsInteger(FbStrToInt(expression));
            break;
        // A BIGINT column with a default needs it as much: the insert names every column, so the
        // server's own default never applies.
        case ftLargeint:
            field.SetAsInt64(FbStrToInt64(expression));
            break;
        case ftFloat:
        case ftBCD:
            field.SetAsDouble(FbStrToFloat(expression));
            break;
        default:
            break;
        }
    }
}

void TkwDataSetTool::AutoGenerateValue() {
    auto* query = dynamic_cast<TkwQuery*>(FIBCustomDataSet);
    if (!query)
        throw EDatabaseError("A record id comes from a generator only for a TkwQuery.");
    auto* database = dynamic_cast<TkwDatabase*>(query->Database());
    TkwGetGenerator* generator = database ? database->GetGenerator() : nullptr;
    if (!generator)
        throw EDatabaseError("No generator provider: the query's database is not a connected TkwDatabase.");
    TFbField& id = query->FieldByName(query->IdColumns());
    // The value whole: an INTEGER column refuses one beyond its range rather than taking a wrong id.
    id.SetAsInt64(generator->GetIdValue64(query->PrimaryTableName()));
}
