#pragma once
// The framework's query dataset: the client dataset with its select text assembled from named parts
// (select list, table, independent conditions, grouping, plan, sort), so that each part of an
// application changes its own condition without touching the others; write statements generated from
// the table, its id columns and its fields; the tracking of chosen fields for a readable description
// of a row's last change; and guarded operations (kwOpen, kwPost, ...) that report failures through
// the dataset tool and return whether they worked.

#include "datasets/KwDataSetTool.h"
#include "fbclient/FbDataSet.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class TkwQuery;

enum TqueryType : std::uint8_t { qtBrowse, qtEdit };

// The suite's function keys, naming the action of a change description.
enum Tklawisz : std::uint8_t { F1 = 1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12 };

// Holds a copy of a query's four write statements.
class TkwUpdateSQL : public TComponent {
public:
    explicit TkwUpdateSQL(TkwQuery* query, TComponent* owner = nullptr) : TComponent(owner), FQuery(query) {}
    TkwQuery* Query() const noexcept { return FQuery; }
    TFbStrings& InsertSQL() noexcept { return FInsertSQL; }
    TFbStrings& ModifySQL() noexcept { return FModifySQL; }
    TFbStrings& DeleteSQL() noexcept { return FDeleteSQL; }
    TFbStrings& RefreshSQL() noexcept { return FRefreshSQL; }

private:
    TkwQuery* FQuery;
    TFbStrings FInsertSQL, FModifySQL, FDeleteSQL, FRefreshSQL;
};

class TkwQuery : public TFbDataSet {
public:
    // A browsing query on GlobalDatabase (none when the application named none), 1000 rows a chunk.
    explicit TkwQuery(TComponent* owner = nullptr);
    // An editing query, 10 rows a chunk, on the transaction (when given) and its default database;
    // then the write statements, the select-row statement and the refresh statement, each when asked.
    TkwQuery(TComponent* owner, TFbCustomTransaction* transaction, bool withUpdateSql, bool withSelectRowSql,
             bool withRefreshSql);
    ~TkwQuery() override;

    TqueryType queryType() const noexcept { return FqueryType; }
    TkwDataSetTool& DataSetTool() noexcept { return *FstDataSetTool; }

    // The parts of the select text. Each setter rebuilds the text at once.
    const std::string& SqlSelect() const noexcept { return FSqlSelect; }
    void SetSqlSelect(std::string value) { SetPart(FSqlSelect, std::move(value)); }
    const std::string& SqlFrom() const noexcept { return FSqlFrom; }
    void SetSqlFrom(std::string value) { SetPart(FSqlFrom, std::move(value)); }
    const std::string& SqlWhereProg() const noexcept { return FSqlWhereProg; }
    void SetSqlWhereProg(std::string value) { SetPart(FSqlWhereProg, std::move(value)); }
    const std::string& SqlWhereProg2() const noexcept { return FSqlWhereProg2; }
    void SetSqlWhereProg2(std::string value) { SetPart(FSqlWhereProg2, std::move(value)); }
    const std::string& SqlWhereProg3() const noexcept { return FSqlWhereProg3; }
    void SetSqlWhereProg3(std::string value) { SetPart(FSqlWhereProg3, std::move(value)); }
    const std::string& SqlWhereJoinMaker() const noexcept { return FSqlWhereJoinMaker; }
    void SetSqlWhereJoinMaker(std::string value) { SetPart(FSqlWhereJoinMaker, std::move(value)); }
    const std::string& SqlWhereProgColActive() const noexcept { return FSqlWhereProgColActive; }
    void SetSqlWhereProgColActive(std::string value) { SetPart(FSqlWhereProgColActive, std::move(value)); }
    const std::string& SqlWhereUser() const noexcept { return FSqlWhereUser; }
    void SetSqlWhereUser(std::string value) { SetPart(FSqlWhereUser, std::move(value)); }
    const std::string& SqlWhereFilter() const noexcept { return FSqlWhereFilter; }
    void SetSqlWhereFilter(std::string value) { SetPart(FSqlWhereFilter, std::move(value)); }
    const std::string& SqlGroupBy() const noexcept { return FSqlGroupBy; }
    void SetSqlGroupBy(std::string value) { SetPart(FSqlGroupBy, std::move(value)); }
    // Set as given: only SqlSet passes a plan through the plan preprocessor.
    const std::string& SqlPlan() const noexcept { return FSqlPlan; }
    void SetSqlPlan(std::string value) { SetPart(FSqlPlan, std::move(value)); }
    bool SqlDistinct() const noexcept { return FSqlDistinct; }
    void SetSqlDistinct(bool value);
    // Sort columns separated by ","; each piece keeps its blanks and gets a blank and the direction.
    const std::string& SqlOrderBy() const noexcept { return FSqlOrderBy; }
    void SetSqlOrderBy(std::string columns);
    const std::string& SqlOrderType() const noexcept { return FSqlOrderType; }
    void SetSqlOrderType(std::string direction);

    // Stores the parts (the plan with its constraint names turned into index names by the
    // database's plan preprocessor, whose failures leave here) and rebuilds the select text.
    void SqlSet(const std::string& select, const std::string& from, const std::string& whereProg,
                const std::string& whereUser, const std::string& whereFilter, const std::string& orderBy,
                const std::string& orderType, const std::string& groupBy, const std::string& plan);
    // The text was set through the parts; the text was changed directly since.
    bool UsedSqlSet() const noexcept { return fUsedSqlSet; }
    bool UsedSqlAdd() const noexcept { return fUsedSqlAdd; }
    // The select text on one line, line breaks turned into blanks.
    std::string TextSQL();

    // Opening fails with an order set: open again without it.
    bool CheckSortOnOpen() const noexcept { return FCheckSortOnOpen; }
    void SetCheckSortOnOpen(bool value) noexcept { FCheckSortOnOpen = value; }
    // Id column names separated by ";".
    const std::string& IdColumns() const noexcept { return FIdColumns; }
    void SetIdColumns(std::string value) { FIdColumns = std::move(value); }
    // The table the query edits; the name under which its errors are reported.
    const std::string& PrimaryTableName() const noexcept { return FPrimaryTableName; }
    void SetPrimaryTableName(std::string value) { FPrimaryTableName = std::move(value); }

    // The write statements from the table, its id columns and its fields (";"-separated): insert,
    // update and delete, and the automatic-update options with the generator "GEN_" + table. With
    // no fields the insert and update statements stay empty: the dataset generates them from its
    // columns when it writes. Without arguments: the primary table, the id columns, GetDataFields(true).
    void CreateUpdateSql();
    void CreateUpdateSql(const std::string& table, const std::string& idColumns, const std::string& fields);
    // The refresh statement "SELECT <list> FROM <table> WHERE <id condition>", also into the holder.
    void CreateRefreshSql();
    void CreateRefreshSql(const std::string& table, const std::string& idColumns, const std::string& selectList);
    // The select text becomes the statement that reads one row by its id (all other parts empty).
    void SetSelectRowSql();
    // The fields neither calculated nor read-only, separated by ";"; memo fields only when asked.
    std::string GetDataFields(bool withMemo);

    // The write statements' holder. Reading refreshes its copy from the query; setting it adds its
    // statements to the query's.
    TkwUpdateSQL* UpdateObject();
    void SetUpdateObject(TkwUpdateSQL* holder);

    // Change tracking.
    bool SledzenieZmian() const noexcept { return FSledzenieZmian; }
    void SetSledzenieZmian(bool value) noexcept { FSledzenieZmian = value; }
    std::int32_t IdZmian() const noexcept { return FIdZmian; }
    void SetIdZmian(std::int32_t value) noexcept { FIdZmian = value; }
    int IdentyfyFieldCount() const noexcept { return FIdentyfyFieldCount; }
    void SetIdentyfyFieldCount(int value) noexcept { FIdentyfyFieldCount = value; }
    // The tracked fields, in order; the first IdentyfyFieldCount identify the row.
    std::vector<TFbField*>& FieldToSledz() noexcept { return FFieldToSledz; }
    std::vector<std::string>& SledzBeforeValues() noexcept { return FSledzBeforeValues; }
    std::vector<std::string>& SledzAfterValues() noexcept { return FSledzAfterValues; }
    const std::string& CiagPrzedCiagLastZmian() const noexcept { return FCiagPrzedCiagLastZmian; }
    void SetCiagPrzedCiagLastZmian(std::string value) { FCiagPrzedCiagLastZmian = std::move(value); }
    const std::string& CiagPoCiagLastZmian() const noexcept { return FCiagPoCiagLastZmian; }
    void SetCiagPoCiagLastZmian(std::string value) { FCiagPoCiagLastZmian = std::move(value); }
    bool ZawszeJestZmianaPoF5() const noexcept { return FZawszeJestZmianaPoF5; }
    void SetZawszeJestZmianaPoF5(bool value) noexcept { FZawszeJestZmianaPoF5 = value; }
    // While tracking: the tracked fields' display texts (empty for null, ":" turned into ".") into
    // values, one per tracked field.
    void StoreSledzFieldValues(std::vector<std::string>& values);
    // The description of the last change: F3 adding, F5 changing, F8 deleting; with refresh the
    // current values become the after-values first.
    std::string GetCiagLastZmian(Tklawisz key, bool refresh);
    // Whether the last save changed something.
    bool JestZmiana() const noexcept { return FZawszeJestZmianaPoF5 || FJestZmiana; }
    TDataSetState BeforePostState() const noexcept { return FBeforePostState; }

    // Row marks of the application's grids; closing clears them when NullUpdatableQuery.
    bool NullUpdatableQuery() const noexcept { return FNullUpdatableQuery; }
    void SetNullUpdatableQuery(bool value) noexcept { FNullUpdatableQuery = value; }
    std::set<std::int64_t>& MarkedRows() noexcept { return FMarkedRows; }

    // Marks the query as a transaction's single-value lookup query.
    void ToJestPodajZQuery() noexcept { fToJestPodajZQuery = true; }
    bool IsPodajZQuery() const noexcept { return fToJestPodajZQuery; }
    bool EditAble() const noexcept { return fEditAble; }
    const std::string& LastErrorStr() const noexcept { return FstDataSetTool->LastErrorStr(); }

    // Guarded operations: true on success, false after the exception handler reported a failure.
    // kwOpen begins an inactive framework transaction (uncounted); "+b" takes 10 rows a chunk, "+r"
    // prepares first, "+t" fetches every row.
    bool kwOpen(const std::string& options);
    bool kwClose(const std::string& options);
    bool kwFirst(const std::string& options);
    // With the wait cursor, which fetching every row may need.
    bool kwLast(const std::string& options);
    bool kwLocate(const std::string& keyFields, const std::vector<TFbVariant>& keyValues,
                  TLocateOptions locateOptions, const std::string& options);
    // "+z" saves only an inserted row or one whose values changed; otherwise the edit is cancelled.
    bool kwPost(const std::string& options);
    bool kwCancel(const std::string& options);
    bool kwAppendNextRow(const std::string& options);
    bool kwUnPrepare(const std::string& options);

protected:
    void Notification(TComponent* component, bool removing) override;
    void DoOnNewRecord() override;
    void DoTransactionEnded() override;

private:
    void SetPart(std::string& part, std::string value);
    void SqlChange();
    void HandParams();
    bool ChangeTest();
    // Sets fInternalSqlChange for the duration of one rewrite.
    class TInternalChange;

    TqueryType FqueryType = qtBrowse;
    std::unique_ptr<TkwDataSetTool> FstDataSetTool;
    TkwUpdateSQL* FupdateSql = nullptr;
    std::unique_ptr<TkwUpdateSQL> FOwnUpdateSql; // the holder the query made for itself
    std::string FSqlWhereFilter, FSqlWhereUser, FSqlOrderType, FSqlWhereProg, FSqlWhereProgColActive, FSqlSelect,
        FSqlOrderBy, FIdColumns, FSqlFrom;
    TDataSetState FBeforePostState = dsInactive;
    std::string FPrimaryTableName;
    bool FSledzenieZmian = false;
    std::int32_t FIdZmian = 0;
    int FIdentyfyFieldCount = 0;
    std::vector<TFbField*> FFieldToSledz;
    std::vector<std::string> FSledzBeforeValues, FSledzAfterValues;
    bool FNullUpdatableQuery = false;
    std::set<std::int64_t> FMarkedRows;
    std::string FSqlGroupBy, FSqlPlan;
    bool FCheckSortOnOpen = false;
    std::string FCiagPrzedCiagLastZmian, FCiagPoCiagLastZmian;
    std::string FSqlWhereProg2, FSqlWhereProg3;
    bool FJestZmiana = false;
    bool FZawszeJestZmianaPoF5 = false;
    bool FSqlDistinct = false;
    std::string FSqlWhereJoinMaker;
    bool fEditAble = false;
    bool fToJestPodajZQuery = false;
    bool fInternalSqlChange = false;
    bool fUsedSqlSet = false;
    bool fUsedSqlAdd = false;
};
