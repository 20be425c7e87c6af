#pragma once
// The client dataset: the scrollable, editable result of one select statement. Rows are fetched in
// chunks and kept as the server sent them (the raw bytes of the statement's values, no conversion);
// the current row is read and edited through fields; a change is written back through insert,
// update and delete statements, given as texts or generated from an update table and its key fields.

#include "fbclient/FbBase.h"
#include "fbclient/FbParams.h"
#include "fbclient/FbXSQLDA.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class TFbCustomDatabase;
class TFbCustomTransaction;
class TFbDataSet;
class TFbQuery;

enum TDataSetState : std::uint8_t { dsInactive, dsBrowse, dsEdit, dsInsert };

// The kind of a field, from the column's type: scaled integers (NUMERIC, DECIMAL) are ftBCD, text
// blobs ftMemo, other blobs ftBlob; arrays are ftUnknown.
enum TFieldType : std::uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftLargeint,
    ftFloat,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBoolean,
    ftMemo,
    ftBlob
};

// Locate options, combined with |.
enum TLocateOption : std::uint8_t { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = std::uint8_t;

// A key value of Locate: null, an integer, a number (a TDateTime for date and time fields) or a text.
using TFbVariant = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

// When the automatic update takes the generator's value for the first key field.
enum TGeneratorApply : std::uint8_t { gaNever, gaOnNewRecord, gaBeforePost };

// The automatic-update options: with an update table (and key fields for update, delete and
// refresh) the dataset writes through statements it generates for the write statements left empty.
struct TFbAutoUpdateOptions {
    std::string UpdateTableName;
    std::string KeyFields; // field names separated by ";"
    std::string GeneratorName;
    TGeneratorApply WhenGetGenID = gaNever;
    int GeneratorStep = 1;
};

// One column of the dataset's select, with the value of the current row. A field object lives as long
// as its dataset, across opening, closing and new select texts: a column of the same name takes the
// same object again; a field whose name left the columns fails every value access with client error
// 41. Setters convert to the column's own type at once, so a value that does not fit fails there.
class TFbField {
public:
    TFbField(const TFbField&) = delete;
    TFbField& operator=(const TFbField&) = delete;

    TFbDataSet& DataSet() const noexcept { return *FDataSet; }
    const std::string& FieldName() const noexcept { return FFieldName; }
    // Position among the columns; -1 when the name is no longer among them.
    int Index() const noexcept { return FIndex; }
    TFieldType DataType() const noexcept { return FDataType; }
    // The column's table and the column's name in it, as the server describes them; empty for an
    // expression.
    const std::string& RelationName() const noexcept { return FRelationName; }
    const std::string& OriginName() const noexcept { return FOriginName; }
    const std::string& DisplayLabel() const noexcept {
        return FDisplayLabel.empty() ? FFieldName : FDisplayLabel;
    }
    void SetDisplayLabel(std::string label) { FDisplayLabel = std::move(label); }

    // Read from the database's metadata on first use (one query per table, in the dataset's
    // transaction, which must be active then).
    // The default of the column, else of its domain: the text after DEFAULT, a string literal
    // without its quotes; empty for none and for DEFAULT NULL.
    const std::string& DefaultExpression() const;
    // NOT NULL on the column or on its domain.
    bool Required() const;
    // Computed by the server: an expression of the select, a COMPUTED BY column, or a column the
    // metadata does not know (RDB$DB_KEY).
    bool Calculated() const;
    // Not written by the generated statements: set by the program, calculated, or of a table other
    // than the update table (when one is set). Setting the value is still allowed.
    bool ReadOnly() const;
    void SetReadOnly(bool value) noexcept { FReadOnly = value; }

    // The value of the current row (of the row being edited or inserted); null without a row.
    bool IsNull() const;
    // The display text: the client layer's AsString of the value (empty for null).
    std::string AsString() const;
    std::string DisplayText() const { return AsString(); }
    std::int32_t AsInteger() const;
    std::int64_t AsInt64() const;
    double AsDouble() const;
    TDateTime AsDateTime() const;
    bool AsBoolean() const;
    // Whether the value differs from the one the row had before the edit (in insert: is not null).
    bool ValueChanged() const;

    // Only in edit and insert state (client error 42 otherwise). A value that does not convert to
    // the column's type raises client error 33, a text longer than the column client error 74, an
    // integer out of the column's range client error 33. An empty text sets a non-text field null.
    void Clear();
    void SetAsString(const std::string& value);
    void SetAsInteger(std::int32_t value);
    void SetAsInt64(std::int64_t value);
    void SetAsDouble(double value);
    void SetAsDateTime(TDateTime value);
    void SetAsBoolean(bool value);
    void SetValue(const TFbVariant& value);

private:
    friend class TFbDataSet;
    TFbField(TFbDataSet* dataSet, std::string name) : FDataSet(dataSet), FFieldName(std::move(name)) {}
    const TFbXSQLVAR& Value() const;

    TFbDataSet* FDataSet;
    std::string FFieldName;
    int FIndex = -1;
    TFieldType FDataType = ftUnknown;
    std::string FRelationName;
    std::string FOriginName;
    std::string FDisplayLabel;
    bool FReadOnly = false;
    // Metadata, valid while the dataset's FMetadataRead holds.
    std::string FDefaultExpression;
    bool FRequired = false;
    bool FComputed = false;
    bool FInTable = false; // the metadata knows the column
};

class TFbDataSet : public TComponent {
public:
    explicit TFbDataSet(TComponent* owner = nullptr);
    ~TFbDataSet() override;

    // A dataset that gets a database while it has no transaction takes the database's default
    // transaction, as statements do. Changing either closes an active dataset first.
    TFbCustomDatabase* Database() const noexcept;
    void SetDatabase(TFbCustomDatabase* database);
    TFbCustomTransaction* Transaction() const noexcept;
    void SetTransaction(TFbCustomTransaction* transaction);

    // The select text; changing it while active fails with client error 28. OnSelectSQLChange is
    // told after every change.
    TFbStrings& SelectSQL() noexcept { return FSelectSQL; }
    // The write statements: :NAME is the field's value as the row holds it now, :OLD_NAME its value
    // before the edit (null for an inserted row). The refresh statement selects the current row; its
    // columns are copied into the fields of the same names. A blank text is generated from the
    // automatic-update options when they allow it.
    TFbStrings& InsertSQL() noexcept { return FInsertSQL; }
    TFbStrings& ModifySQL() noexcept { return FModifySQL; }
    TFbStrings& DeleteSQL() noexcept { return FDeleteSQL; }
    TFbStrings& RefreshSQL() noexcept { return FRefreshSQL; }
    TFbAutoUpdateOptions AutoUpdateOptions;

    // Rows fetched at a time when the dataset needs more, and the growth step of the row store.
    int BufferChunks() const noexcept { return FBufferChunks; }
    void SetBufferChunks(int rows) noexcept { FBufferChunks = rows > 0 ? rows : 1; }

    // Prepares the select on the server and describes its columns into the fields; the
    // transaction must be active. UnPrepare closes the dataset and frees every server statement.
    void Prepare();
    void UnPrepare();
    bool Prepared() const noexcept;
    // The select's parameters, by name as they stand in the text.
    TFbXSQLDA& Params();
    TFbXSQLVAR& ParamByName(const std::string& name);

    // Open prepares when needed, runs the select and fetches the first chunk; it fails with client
    // error 38 for a statement that is no select. Close drops a pending change and every row kept,
    // giving their memory back.
    void Open();
    void Close();
    bool Active() const noexcept { return FState != dsInactive; }
    void SetActive(bool value);
    TDataSetState State() const noexcept { return FState; }

    // Moving posts a modified pending change first and cancels an unmodified one (so a moving call
    // may raise the post's error). Last fetches every row; Next fetches the next chunk at the end of
    // the rows kept.
    void First();
    void Last();
    void Next();
    void Prior();
    bool Bof() const noexcept { return FBof; }
    bool Eof() const noexcept { return FEof; }
    // The current row's number from 1; 0 without rows. SetRecNo moves there, fetching as needed.
    int RecNo() const noexcept;
    void SetRecNo(int value);
    // Rows kept: fetched so far, with posted inserts and without deletes.
    int RecordCount() const noexcept { return static_cast<int>(FRows.size()); }
    bool IsEmpty();
    bool AllFetched() const noexcept { return FAllFetched; }
    void FetchAll();
    // Fetch calls made on the select since it was opened (the one that found the end included).
    long long FetchCount() const noexcept { return FFetchCount; }

    // Finds the first row, from the first row on (fetching as needed), whose fields (names separated
    // by ";") hold the values. loCaseInsensitive and loPartialKey (a prefix of the text) apply to
    // text fields, CHAR fields compare without their trailing blanks, other fields compare as their
    // column stores the value. Found: moves there and returns true; not found: stays and returns false.
    bool Locate(const std::string& keyFields, const std::vector<TFbVariant>& keyValues,
                TLocateOptions options);

    // Append adds a row after the last (fetching every row); Insert before the current row. Edit on an
    // empty dataset appends. The hooks of a new row run with every value null.
    void Append();
    void Insert();
    void Edit();
    // Writes the pending change; on any failure the error propagates and the row stays in edit or
    // insert state with the values set, for a retry or Cancel. An update or delete that the server
    // applies to no row fails too (the row was changed or deleted meanwhile).
    void Post();
    void Cancel();
    // Deletes the current row on the server and from the rows kept; in insert state it cancels.
    void Delete();
    // Reads the current row again through the refresh statement; fails when the row is gone.
    void Refresh();
    // A field was set since Edit, Append or Insert (the new-row hooks' values do not count).
    bool Modified() const noexcept { return FModified; }

    int FieldCount() const noexcept { return static_cast<int>(FFields.size()); }
    // Client error 41 for an index or name that is not among the columns.
    TFbField& Fields(int index) const;
    TFbField& FieldByName(const std::string& name) const;
    TFbField* FindField(const std::string& name) const;

    TNotifyEvent OnSelectSQLChange;
    TNotifyEvent OnNewRecord;
    TNotifyEvent BeforePost;
    TNotifyEvent AfterPost;
    TNotifyEvent BeforeCancel;
    TNotifyEvent AfterCancel;
    TNotifyEvent OnTransactionEnded;

protected:
    // Hooks for derived datasets; each runs its event. DoOnNewRecord runs in insert state, after an
    // automatic generator value; raising there returns to browse state and leaves Append. Raising in
    // DoBeforePost refuses the post; DoBeforeCancel refuses the cancel.
    virtual void DoOnNewRecord() { Fire(OnNewRecord); }
    virtual void DoBeforePost() { Fire(BeforePost); }
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoBeforeCancel() { Fire(BeforeCancel); }
    virtual void DoAfterCancel() { Fire(AfterCancel); }
    // After the transaction ended by a full commit or rollback, which closed the dataset.
    virtual void DoTransactionEnded() { Fire(OnTransactionEnded); }

private:
    friend class TFbField;
    struct TColumn;
    struct TInValue;
    struct TKey;
    enum TWriteKind : std::uint8_t { wkInsert, wkModify, wkDelete, wkRefresh, wkCount };

    void Fire(const TNotifyEvent& event);
    void CheckActive() const;
    void CheckEditing() const;
    void CheckBrowseMode();
    TFbQuery& NewStatement(std::unique_ptr<TFbQuery>& slot);
    void SyncConnection();
    void SelectChanged();

    void BindFields();
    void ReadMetadata();
    void EnsureMetadata();
    bool FieldReadOnly(const TFbField& field) const;
    TFbField* FindBoundField(const std::string& name) const;
    std::vector<TFbField*> KeyFields() const;

    // Rows.
    std::byte* NewRow();
    void KeepRow();
    int FetchRows(int limit);
    void FreeRows() noexcept;
    void LoadRecord(const std::byte* row);
    void LoadCurrent();
    void ClearRecord();
    void StoreRecord(std::byte* row);
    void LoadRaw(TFbXSQLVAR& var, int index, const std::byte* row) const;
    bool SameAsRow(int index, const std::byte* row) const;
    void MoveTo(std::size_t index);
    void BeginInsert(std::size_t position);
    void CloseRows() noexcept;

    // Values.
    void WriteValue(TFbXSQLVAR& var, int index, const TInValue& value);
    void WriteFromVar(int index, const TFbXSQLVAR& source);
    void SetFieldValue(const TFbField& field, const TInValue& value);
    std::string TextOf(const TInValue& value);
    bool RowMatches(const std::byte* row, const std::vector<TKey>& keys, TLocateOptions options) const;

    // Write statements.
    std::vector<std::string> WriteLines(TWriteKind kind) const;
    TFbQuery& WriteStatement(TWriteKind kind);
    void BindParams(TFbQuery& statement);
    void CheckRowsAffected(TFbQuery& statement);
    void ApplyGenerator();

    TFbBase FBase;
    std::unique_ptr<TFbQuery> FSelect;
    std::unique_ptr<TFbQuery> FWrite[wkCount];
    std::unique_ptr<TFbQuery> FGenerator;
    std::unique_ptr<TFbQuery> FMetadata;
    TFbStrings FSelectSQL, FInsertSQL, FModifySQL, FDeleteSQL, FRefreshSQL;
    int FBufferChunks = 1000;

    // Columns, fields and the current row's values (in the columns' own types).
    std::vector<TColumn> FColumns;
    std::size_t FNullOffset = 0;
    std::size_t FRowSize = 0;
    std::vector<std::unique_ptr<TFbField>> FFields;
    std::vector<std::unique_ptr<TFbField>> FUnbound;
    std::unique_ptr<TFbXSQLDA> FRecord;
    std::unique_ptr<TFbXSQLDA> FScratch;
    bool FFieldsBound = false;
    bool FMetadataRead = false;

    // The rows kept: each a block of FRowSize bytes in a chunk of the store, in dataset order.
    std::vector<std::vector<std::byte>> FChunks;
    std::size_t FChunkUsed = 0;
    std::vector<std::byte*> FRows;
    // Blob values posted as text, which the row's blob id does not show: (row, column) -> text.
    std::map<std::pair<const std::byte*, int>, std::string> FBlobTexts;
    std::size_t FCurrent = 0;
    std::size_t FInsertPos = 0;
    bool FBof = true;
    bool FEof = true;
    bool FAllFetched = true;
    long long FFetchCount = 0;
    TDataSetState FState = dsInactive;
    bool FModified = false;
};
