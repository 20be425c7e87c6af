#include "datasets/KwQuery.h"

#include "core/KwUtils.h"
#include "dberrors/DbErrorHandler.h"
#include "dblayer/KwDatabase.h"
#include "dblayer/KwTransaction.h"
#include "fbclient/FbTransaction.h"

namespace {

bool HasOption(const std::string& options, const char* option) {
    return options.find(option) != std::string::npos;
}

// The pieces of a list separated by sep, as they stand (blanks kept).
std::vector<std::string> Pieces(const std::string& list, char sep) {
    std::vector<std::string> pieces;
    const int count = GetIloscPol(list, sep);
    for (int i = 1; i <= count; ++i)
        pieces.push_back(GetNazwaPola(list, i, sep));
    return pieces;
}

std::string Join(const std::vector<std::string>& items, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += separator;
        text += items[i];
    }
    return text;
}

// One term per id column, "(" column " = :" prefix column ")", joined by " and ".
std::string IdCondition(const std::string& idColumns, const std::string& prefix) {
    std::vector<std::string> terms;
    for (const std::string& column : Pieces(idColumns, ';'))
        terms.push_back("(" + column + " = :" + prefix + column + ")");
    return Join(terms, " and ");
}

void CopyLines(TFbStrings& to, const TFbStrings& from) {
    to.Assign(from.Lines());
}

void AppendLines(TFbStrings& to, const TFbStrings& from) {
    for (const std::string& line : from.Lines())
        to.Add(line);
}

} // namespace

class TkwQuery::TInternalChange {
public:
    explicit TInternalChange(TkwQuery& query) : FQuery(query), FWas(query.fInternalSqlChange) {
        query.fInternalSqlChange = true;
    }
    ~TInternalChange() { FQuery.fInternalSqlChange = FWas; }
    TInternalChange(const TInternalChange&) = delete;
    TInternalChange& operator=(const TInternalChange&) = delete;

private:
    TkwQuery& FQuery;
    bool FWas;
};

TkwQuery::TkwQuery(TComponent* owner) : TFbDataSet(owner) {
    FqueryType = qtBrowse;
    FstDataSetTool = std::make_unique<TkwDataSetTool>(*this);
    // There is no process-wide default transaction: the dataset takes its database's default one.
    SetDatabase(GlobalDatabase());
    SetBufferChunks(1000);
    OnSelectSQLChange = [this](TObject*) {
        if (!fInternalSqlChange)
            fUsedSqlAdd = true;
    };
}

TkwQuery::TkwQuery(TComponent* owner, TFbCustomTransaction* transaction, bool withUpdateSql,
                   bool withSelectRowSql, bool withRefreshSql)
    : TkwQuery(owner) {
    fEditAble = true;
    FqueryType = qtEdit;
    SetBufferChunks(10);
    if (transaction) {
        SetDatabase(transaction->DefaultDatabase());
        SetTransaction(transaction);
    }
    if (withUpdateSql)
        CreateUpdateSql();
    if (withSelectRowSql)
        SetSelectRowSql();
    if (withRefreshSql)
        CreateRefreshSql();
}

TkwQuery::~TkwQuery() {
    if (Prepared())
        UnPrepare();
    if (FupdateSql && FupdateSql != FOwnUpdateSql.get())
        RemoveFreeNotification(FupdateSql);
}

void TkwQuery::Notification(TComponent* component, bool removing) {
    TFbDataSet::Notification(component, removing);
    if (removing && component == FupdateSql)
        FupdateSql = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The select text from its parts.

void TkwQuery::SetPart(std::string& part, std::string value) {
    part = std::move(value);
    fUsedSqlSet = true;
    SqlChange();
}

void TkwQuery::SetSqlDistinct(bool value) {
    FSqlDistinct = value;
    fUsedSqlSet = true;
    SqlChange();
}

void TkwQuery::SetSqlOrderBy(std::string columns) {
    SetPart(FSqlOrderBy, std::move(columns));
}

void TkwQuery::SetSqlOrderType(std::string direction) {
    SetPart(FSqlOrderType, std::move(direction));
}

void TkwQuery::SqlSet(const std::string& select, const std::string& from, const std::string& whereProg,
                      const std::string& whereUser, const std::string& whereFilter, const std::string& orderBy,
                      const std::string& orderType, const std::string& groupBy, const std::string& plan) {
    // The plan first: its failure leaves every part as it was.
    std::string processedPlan = plan;
    if (auto* database = dynamic_cast<TkwDatabase*>(Database()))
        processedPlan = database->PreProcPlan(plan);
    FSqlSelect = select;
    FSqlFrom = from;
    FSqlWhereProg = whereProg;
    FSqlWhereUser = whereUser;
    FSqlWhereFilter = whereFilter;
    FSqlOrderBy = orderBy;
    FSqlOrderType = orderType;
    FSqlGroupBy = groupBy;
    FSqlPlan = std::move(processedPlan);
    fUsedSqlSet = true;
    SqlChange();
}

void TkwQuery::SqlChange() {
    TInternalChange internal(*this);
    std::vector<std::string> lines;
    lines.push_back((FSqlDistinct ? "SELECT DISTINCT " : "SELECT ") + FSqlSelect);
    lines.push_back("FROM " + FSqlFrom);
    bool first = true;
    for (const std::string* condition : {&FSqlWhereProg, &FSqlWhereProg2, &FSqlWhereProg3, &FSqlWhereJoinMaker,
                                         &FSqlWhereProgColActive, &FSqlWhereFilter, &FSqlWhereUser}) {
        if (condition->empty())
            continue;
        if (first)
            lines.push_back("WHERE");
        lines.push_back((first ? "(" : " and (") + *condition + ")");
        first = false;
    }
    if (!FSqlGroupBy.empty())
        lines.push_back("GROUP BY " + FSqlGroupBy);
    if (!FSqlPlan.empty())
        lines.push_back("PLAN " + FSqlPlan);
    if (!FSqlOrderBy.empty()) {
        std::vector<std::string> pieces = Pieces(FSqlOrderBy, ',');
        for (std::string& piece : pieces)
            piece += " " + FSqlOrderType;
        lines.push_back("ORDER BY " + Join(pieces, ", "));
    }
    SelectSQL().Assign(std::move(lines));
}

std::string TkwQuery::TextSQL() {
    std::string text = SelectSQL().Text();
    Zastap("\r\n", " ", text);
    Zastap("\r", " ", text);
    Zastap("\n", " ", text);
    return text;
}

// ---------------------------------------------------------------------------------------------
// The write statements.

void TkwQuery::CreateUpdateSql() {
    CreateUpdateSql(FPrimaryTableName, FIdColumns, GetDataFields(true));
}

void TkwQuery::CreateUpdateSql(const std::string& table, const std::string& idColumns, const std::string& fields) {
    TInternalChange internal(*this);
    if (!FupdateSql) {
        FOwnUpdateSql = std::make_unique<TkwUpdateSQL>(this);
        FupdateSql = FOwnUpdateSql.get();
    }
    const std::vector<std::string> names = Pieces(fields, ';');
    if (names.empty()) {
        InsertSQL().Clear();
        ModifySQL().Clear();
    } else {
        std::vector<std::string> values, sets;
        for (const std::string& name : names) {
            values.push_back(":" + name);
            sets.push_back(name + " = :" + name);
        }
        InsertSQL().Assign({"INSERT INTO " + table, "(" + Join(names, ", ") + ")", "VALUES (" + Join(values, ", ") + ")"});
        ModifySQL().Assign({"UPDATE " + table, "SET " + Join(sets, ", "), "WHERE " + IdCondition(idColumns, "OLD_")});
    }
    DeleteSQL().Assign({"DELETE FROM " + table, "WHERE " + IdCondition(idColumns, "OLD_")});
    AutoUpdateOptions.UpdateTableName = table;
    AutoUpdateOptions.KeyFields = FIdColumns;
    AutoUpdateOptions.GeneratorName = "GEN_" + table;
    AutoUpdateOptions.WhenGetGenID = gaBeforePost;
}

void TkwQuery::CreateRefreshSql() {
    CreateRefreshSql(FPrimaryTableName, FIdColumns, "*");
}

void TkwQuery::CreateRefreshSql(const std::string& table, const std::string& idColumns,
                                const std::string& selectList) {
    TInternalChange internal(*this);
    RefreshSQL().Assign({"SELECT " + selectList + " FROM " + table + " WHERE " + IdCondition(idColumns, "")});
    if (!FupdateSql) {
        FOwnUpdateSql = std::make_unique<TkwUpdateSQL>(this);
        FupdateSql = FOwnUpdateSql.get();
    }
    CopyLines(FupdateSql->RefreshSQL(), RefreshSQL());
}

void TkwQuery::SetSelectRowSql() {
    std::vector<std::string> names;
    for (int i = 0; i < FieldCount(); ++i)
        names.push_back(Fields(i).FieldName());
    SqlSet(names.empty() ? "*" : Join(names, ","), FPrimaryTableName, IdCondition(FIdColumns, ""), {}, {}, {}, {},
           {}, {});
}

std::string TkwQuery::GetDataFields(bool withMemo) {
    std::vector<std::string> names;
    for (int i = 0; i < FieldCount(); ++i) {
        const TFbField& field = Fields(i);
        if (field.Calculated() || field.ReadOnly() || (!withMemo && field.DataType() == ftMemo))
            continue;
        names.push_back(field.FieldName());
    }
    return Join(names, ";");
}

TkwUpdateSQL* TkwQuery::UpdateObject() {
    if (FupdateSql) {
        CopyLines(FupdateSql->InsertSQL(), InsertSQL());
        CopyLines(FupdateSql->ModifySQL(), ModifySQL());
        CopyLines(FupdateSql->DeleteSQL(), DeleteSQL());
        CopyLines(FupdateSql->RefreshSQL(), RefreshSQL());
    }
    return FupdateSql;
}

void TkwQuery::SetUpdateObject(TkwUpdateSQL* holder) {
    if (FupdateSql && FupdateSql != FOwnUpdateSql.get())
        RemoveFreeNotification(FupdateSql);
    FupdateSql = holder;
    if (!holder)
        return;
    if (holder != FOwnUpdateSql.get())
        FreeNotification(holder);
    TInternalChange internal(*this);
    AppendLines(InsertSQL(), holder->InsertSQL());
    AppendLines(ModifySQL(), holder->ModifySQL());
    AppendLines(DeleteSQL(), holder->DeleteSQL());
    AppendLines(RefreshSQL(), holder->RefreshSQL());
}

// ---------------------------------------------------------------------------------------------
// Change tracking.

void TkwQuery::StoreSledzFieldValues(std::vector<std::string>& values) {
    if (!FSledzenieZmian)
        return;
    values.resize(FFieldToSledz.size());
    for (std::size_t i = 0; i < FFieldToSledz.size(); ++i) {
        const TFbField& field = *FFieldToSledz[i];
        values[i] = field.IsNull() ? std::string() : ZastapF(":", ".", field.DisplayText());
    }
}

std::string TkwQuery::GetCiagLastZmian(Tklawisz key, bool refresh) {
    if (refresh)
        StoreSledzFieldValues(FSledzAfterValues);
    auto value = [](const std::vector<std::string>& values, std::size_t i) {
        return i < values.size() ? values[i] : std::string();
    };
    std::vector<std::string> items;
    for (std::size_t i = 0; i < FFieldToSledz.size(); ++i) {
        const std::string& label = FFieldToSledz[i]->DisplayLabel();
        const std::string before = value(FSledzBeforeValues, i);
        const std::string after = value(FSledzAfterValues, i);
        switch (key) {
        case F3:
            items.push_back(label + ":" + after);
            break;
        case F5:
            if (before != after)
                items.push_back(label + ":" + before + ":" + after);
            else if (static_cast<int>(i) < FIdentyfyFieldCount)
                items.push_back(label + ":" + before);
            break;
        case F8:
            items.push_back(label + ":" + before);
            break;
        default:
            break;
        }
    }
    return FCiagPrzedCiagLastZmian + Join(items, ";  ") + FCiagPoCiagLastZmian;
}

bool TkwQuery::ChangeTest() {
    if (!FSledzenieZmian)
        return JestZmiana();
    if (State() == dsInsert)
        return true;
    if (State() != dsEdit)
        return false;
    for (const TFbField* field : FFieldToSledz)
        if (field->ValueChanged())
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Guarded operations.

void TkwQuery::HandParams() {
    // A text that cannot be scanned has no parameters to report; its own failure is reported.
    const TFbXSQLDA* params = nullptr;
    try {
        params = &Params();
    } catch (...) {
    }
    FstDataSetTool->SetParams(params);
}

bool TkwQuery::kwOpen(const std::string& options) {
    if (auto* transaction = dynamic_cast<TkwTransaction*>(Transaction()); transaction && !transaction->Active())
        transaction->kwBeginTrans("-c");
    if (HasOption(options, "+b"))
        SetBufferChunks(10);
    if (HasOption(options, "+r") && !FstDataSetTool->kwPrepare(options))
        return false;
    HandParams();
    return FstDataSetTool->kwOpen(options);
}

bool TkwQuery::kwClose(const std::string& options) {
    if (FNullUpdatableQuery)
        FMarkedRows.clear();
    return FstDataSetTool->kwClose(options);
}

bool TkwQuery::kwFirst(const std::string& options) {
    return FstDataSetTool->kwFirst(options);
}

bool TkwQuery::kwLast(const std::string& options) {
    ShowKlepsydra(false, rklZwykla);
    try {
        const bool result = FstDataSetTool->kwLast(options);
        HideKlepsydra(false);
        return result;
    } catch (...) {
        HideKlepsydra(false);
        throw;
    }
}

bool TkwQuery::kwLocate(const std::string& keyFields, const std::vector<TFbVariant>& keyValues,
                        TLocateOptions locateOptions, const std::string& options) {
    return FstDataSetTool->kwLocate(keyFields, keyValues, locateOptions, options);
}

bool TkwQuery::kwPost(const std::string& options) {
    FJestZmiana = ChangeTest();
    FBeforePostState = State();
    bool needed = true;
    if (HasOption(options, "+z")) {
        needed = State() == dsInsert;
        for (int i = 0; !needed && i < FieldCount(); ++i)
            needed = Fields(i).ValueChanged();
    }
    if (!needed)
        return FstDataSetTool->kwCancel(options);
    HandParams();
    const bool saved = FstDataSetTool->kwPost(options);
    if (FBeforePostState == dsEdit || FBeforePostState == dsInsert)
        StoreSledzFieldValues(FSledzAfterValues);
    return saved;
}

bool TkwQuery::kwCancel(const std::string& options) {
    return FstDataSetTool->kwCancel(options);
}

bool TkwQuery::kwAppendNextRow(const std::string& options) {
    HandParams();
    return FstDataSetTool->kwAppendNextRow(options);
}

bool TkwQuery::kwUnPrepare(const std::string& options) {
    return FstDataSetTool->kwUnPrepare(options);
}

void TkwQuery::DoOnNewRecord() {
    FstDataSetTool->DoOnNewRecord();
    TFbDataSet::DoOnNewRecord();
}

void TkwQuery::DoTransactionEnded() {
    TFbDataSet::DoTransactionEnded();
    FstDataSetTool->kwUnLockRow();
}
