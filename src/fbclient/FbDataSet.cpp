#include "fbclient/FbDataSet.h"

#include "core/Encoding.h"
#include "core/FormatSettings.h"
#include "fbclient/FbApi.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbQuery.h"
#include "fbclient/FbTransaction.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

// A column as the server describes it, and where its value lies in a kept row.
struct TFbDataSet::TColumn {
    int Type = 0; // without the nullable bit
    int Len = 0;
    int Scale = 0;
    int Subtype = 0;
    std::size_t Offset = 0;
    std::size_t Size = 0;

    bool IsText() const noexcept { return Type == kSqlText || Type == kSqlVarying; }
    bool IsOctets() const noexcept { return (Subtype & 0xFF) == 1; }
    bool IsTextLike() const noexcept { return IsText() || (Type == kSqlBlob && Subtype == 1); }
    // Bytes that carry the value: a VARCHAR's length word and its characters, else the whole buffer.
    std::size_t Used(const void* value) const noexcept {
        if (Type != kSqlVarying)
            return Size;
        unsigned short length = 0;
        std::memcpy(&length, value, sizeof length);
        return std::min<std::size_t>(Size, 2u + length);
    }
};

// A value handed to a field, before it is converted to the column's type.
struct TFbDataSet::TInValue {
    enum TKind : std::uint8_t { ivNull, ivText, ivInt, ivReal, ivDateTime, ivBool };
    TKind Kind = ivNull;
    std::string Text;
    std::int64_t Int = 0;
    double Real = 0;

    static TInValue Of(TKind kind) {
        TInValue v;
        v.Kind = kind;
        return v;
    }
    static TInValue OfReal(TKind kind, double real) {
        TInValue v = Of(kind);
        v.Real = real;
        return v;
    }
    static TInValue From(const TFbVariant& value) {
        TInValue v;
        if (const auto* i = std::get_if<std::int64_t>(&value)) {
            v.Kind = ivInt;
            v.Int = *i;
        } else if (const auto* d = std::get_if<double>(&value)) {
            v.Kind = ivReal;
            v.Real = *d;
        } else if (const auto* s = std::get_if<std::string>(&value)) {
            v.Kind = ivText;
            v.Text = *s;
        }
        return v;
    }
};

// One key of Locate, prepared once for the whole search.
struct TFbDataSet::TKey {
    int Index = 0;
    bool Null = false;
    bool AsText = false;
    std::string Text;
    std::vector<char> Bytes;
};

namespace {

// 10 to the power n, for n from 0 to 18.
constexpr std::int64_t Pow10(int n) {
    std::int64_t value = 1;
    while (n-- > 0)
        value *= 10;
    return value;
}

[[noreturn]] void InvalidConversion() {
    FbError(feInvalidDataConversion);
}

template <class T> void Store(char* data, T value) {
    std::memcpy(data, &value, sizeof value);
}

// Stores an integer as T, refusing one outside T's range.
template <class T> void StoreInteger(char* data, std::int64_t value) {
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        InvalidConversion();
    Store(data, static_cast<T>(value));
}

TFieldType KindOf(int type, int scale, int subtype) {
    switch (type) {
    case kSqlText:
    case kSqlVarying:
        return ftString;
    case kSqlShort:
        return scale < 0 ? ftBCD : ftSmallint;
    case kSqlLong:
        return scale < 0 ? ftBCD : ftInteger;
    case kSqlInt64:
        return scale < 0 ? ftBCD : ftLargeint;
    case kSqlFloat:
    case kSqlDouble:
    case kSqlDFloat:
        return ftFloat;
    case kSqlTimestamp:
        return ftDateTime;
    case kSqlTypeDate:
        return ftDate;
    case kSqlTypeTime:
        return ftTime;
    case kSqlBoolean:
    case kSqlBooleanIB:
        return ftBoolean;
    case kSqlBlob:
        return subtype == 1 ? ftMemo : ftBlob;
    default:
        return ftUnknown;
    }
}

bool IsBlank(const std::vector<std::string>& lines) {
    return std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
        return std::all_of(line.begin(), line.end(),
                           [](char c) { return static_cast<unsigned char>(c) <= ' '; });
    });
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// Names separated by ";", each trimmed; empty pieces dropped.
std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        std::string name = FbTrim(std::string_view(text).substr(start, end - start));
        if (!name.empty())
            names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

// Whether the text is enclosed in the quote character; then `inner` gets what stands between, each
// doubled quote as one.
bool Unquoted(const std::string& text, char quote, std::string& inner) {
    if (text.size() < 2 || text.front() != quote || text.back() != quote)
        return false;
    inner.clear();
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        inner += text[i];
        if (text[i] == quote && text[i + 1] == quote)
            ++i;
    }
    return true;
}

// A table or generator name as the program writes it, as the metadata stores it: a quoted name as
// it is inside the quotes, an unquoted one in upper case.
std::string StoredName(const std::string& given) {
    const std::string name = FbTrim(given);
    std::string inner;
    return Unquoted(name, '"', inner) ? inner : UpperCase(name);
}

// A parameter reference to a field: quoted when the name is more than letters, digits and "_$".
std::string ParamRef(const std::string& prefix, const std::string& name) {
    const bool plain = !name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) &&
                       std::all_of(name.begin(), name.end(), [](char c) {
                           return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
                       });
    if (plain)
        return ":" + prefix + name;
    std::string quoted = ":\"" + prefix;
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

// The expression of a column's RDB$DEFAULT_SOURCE: the text after DEFAULT; a string literal gives
// its characters, DEFAULT NULL nothing.
std::string DefaultFromSource(const std::string& source) {
    std::string text = FbTrim(source);
    if (text.size() >= 7 && UpperCase(text.substr(0, 7)) == "DEFAULT" &&
        (text.size() == 7 || static_cast<unsigned char>(text[7]) <= ' '))
        text = FbTrim(std::string_view(text).substr(7));
    if (UpperCase(text) == "NULL")
        return {};
    std::string literal;
    return Unquoted(text, '\'', literal) ? literal : text;
}

// A decimal text into an integer scaled by 10^decimals, rounded half away from zero, without floating
// point. Accepts blanks around, a sign and the locale's or the point separator.
bool ParseScaled(std::string_view text, int decimals, std::int64_t& out) {
    const std::string trimmed = FbTrim(text);
    std::size_t at = 0;
    bool negative = false;
    if (at < trimmed.size() && (trimmed[at] == '-' || trimmed[at] == '+'))
        negative = trimmed[at++] == '-';
    std::uint64_t value = 0;
    const auto limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    bool digits = false, separator = false, roundUp = false;
    int fraction = 0;
    for (; at < trimmed.size(); ++at) {
        const char c = trimmed[at];
        if (!separator && (c == FormatSettings().DecimalSeparator || c == '.')) {
            separator = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        digits = true;
        if (separator && fraction == decimals) {
            // The first digit beyond the column's scale decides the rounding; the rest only count.
            if (fraction++ == decimals)
                roundUp = c >= '5';
            continue;
        }
        if (separator && fraction > decimals)
            continue;
        if (separator)
            ++fraction;
        if (value > (limit - static_cast<std::uint64_t>(c - '0')) / 10)
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!digits)
        return false;
    for (; fraction < decimals; ++fraction) {
        if (value > limit / 10)
            return false;
        value *= 10;
    }
    if (roundUp && ++value > limit)
        return false;
    out = negative ? static_cast<std::int64_t>(0 - value) : static_cast<std::int64_t>(value);
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------

const TFbXSQLVAR& TFbField::Value() const {
    if (FIndex < 0)
        FbError(feFieldNotFound, {FFieldName});
    return FDataSet->FRecord->Vars(FIndex);
}

const std::string& TFbField::DefaultExpression() const {
    FDataSet->EnsureMetadata();
    return FDefaultExpression;
}

bool TFbField::Required() const {
    FDataSet->EnsureMetadata();
    return FRequired;
}

bool TFbField::Calculated() const {
    if (FRelationName.empty())
        return true;
    FDataSet->EnsureMetadata();
    return !FInTable || FComputed;
}

bool TFbField::ReadOnly() const {
    return FDataSet->FieldReadOnly(*this);
}

bool TFbField::IsNull() const {
    return Value().IsNull();
}
std::string TFbField::AsString() const {
    return Value().AsString();
}
std::int32_t TFbField::AsInteger() const {
    return Value().AsInteger();
}
std::int64_t TFbField::AsInt64() const {
    return Value().AsInt64();
}
double TFbField::AsDouble() const {
    return Value().AsDouble();
}
TDateTime TFbField::AsDateTime() const {
    return Value().AsDateTime();
}
bool TFbField::AsBoolean() const {
    return Value().AsBoolean();
}

bool TFbField::ValueChanged() const {
    const bool null = Value().IsNull();
    const TFbDataSet& ds = *FDataSet;
    if (ds.FState == dsInsert || ds.FRows.empty())
        return !null;
    return !ds.SameAsRow(FIndex, ds.FRows[ds.FCurrent]);
}

void TFbField::Clear() {
    FDataSet->SetFieldValue(*this, TFbDataSet::TInValue{});
}

void TFbField::SetAsString(const std::string& value) {
    auto in = TFbDataSet::TInValue::Of(TFbDataSet::TInValue::ivText);
    in.Text = value;
    FDataSet->SetFieldValue(*this, in);
}

void TFbField::SetAsInteger(std::int32_t value) {
    SetAsInt64(value);
}

void TFbField::SetAsInt64(std::int64_t value) {
    auto in = TFbDataSet::TInValue::Of(TFbDataSet::TInValue::ivInt);
    in.Int = value;
    FDataSet->SetFieldValue(*this, in);
}

void TFbField::SetAsDouble(double value) {
    FDataSet->SetFieldValue(*this, TFbDataSet::TInValue::OfReal(TFbDataSet::TInValue::ivReal, value));
}

void TFbField::SetAsDateTime(TDateTime value) {
    FDataSet->SetFieldValue(*this, TFbDataSet::TInValue::OfReal(TFbDataSet::TInValue::ivDateTime, value));
}

void TFbField::SetAsBoolean(bool value) {
    auto in = TFbDataSet::TInValue::Of(TFbDataSet::TInValue::ivBool);
    in.Int = value ? 1 : 0;
    FDataSet->SetFieldValue(*this, in);
}

void TFbField::SetValue(const TFbVariant& value) {
    FDataSet->SetFieldValue(*this, TFbDataSet::TInValue::From(value));
}

// ---------------------------------------------------------------------------------------------

TFbDataSet::TFbDataSet(TComponent* owner) : TComponent(owner), FBase(this) {
    FSelect = std::make_unique<TFbQuery>(this);
    // The dataset fetches by itself, in chunks.
    FSelect->GoToFirstRecordOnExecute = false;
    FRecord = std::make_unique<TFbXSQLDA>(FSelect.get(), true);
    FScratch = std::make_unique<TFbXSQLDA>(FSelect.get(), true);
    FScratch->Resize(2);
    FSelectSQL.OnChanging = [this] {
        if (Active())
            FbError(feDatasetOpen, {"change sql text", CmpFullName(this)});
    };
    FSelectSQL.OnChange = [this] { SelectChanged(); };
    FBase.OnTransactionEnded = [this] {
        const TFbCustomTransaction* tr = FBase.Transaction();
        // A retaining end keeps the cursor and the rows; a full end took the cursor with it.
        if (!tr || (tr->State() != tsDoCommit && tr->State() != tsDoRollback))
            return;
        CloseRows();
        DoTransactionEnded();
    };
    // The statements free their server handles through links of their own.
    FBase.OnDatabaseDisconnecting = [this] { CloseRows(); };
    FBase.OnDatabaseLost = [this] { CloseRows(); };
    FBase.OnDatabaseFree = [this] { CloseRows(); };
}

TFbDataSet::~TFbDataSet() {
    CloseRows();
}

TFbCustomDatabase* TFbDataSet::Database() const noexcept {
    return FSelect->Database();
}

TFbCustomTransaction* TFbDataSet::Transaction() const noexcept {
    return FSelect->Transaction();
}

void TFbDataSet::SetDatabase(TFbCustomDatabase* database) {
    if (database == Database())
        return;
    Close();
    FSelect->SetDatabase(database);
    SyncConnection();
}

void TFbDataSet::SetTransaction(TFbCustomTransaction* transaction) {
    if (transaction == Transaction())
        return;
    Close();
    FSelect->SetTransaction(transaction);
    SyncConnection();
}

// Every statement of the dataset follows the select's database and transaction.
void TFbDataSet::SyncConnection() {
    FBase.SetDatabase(Database());
    FBase.SetTransaction(Transaction());
    auto follow = [this](std::unique_ptr<TFbQuery>& statement) {
        if (statement) {
            statement->SetDatabase(Database());
            statement->SetTransaction(Transaction());
        }
    };
    for (auto& statement : FWrite)
        follow(statement);
    follow(FGenerator);
    follow(FMetadata);
}

TFbQuery& TFbDataSet::NewStatement(std::unique_ptr<TFbQuery>& slot) {
    if (!slot) {
        slot = std::make_unique<TFbQuery>(this);
        slot->SetDatabase(Database());
        slot->SetTransaction(Transaction());
    }
    return *slot;
}

void TFbDataSet::SelectChanged() {
    FSelect->SetSQLText(FSelectSQL.Text());
    FFieldsBound = false;
    if (OnSelectSQLChange)
        OnSelectSQLChange(this);
}

void TFbDataSet::CheckActive() const {
    if (!Active())
        FbError(feDatasetClosed, {"perform this operation", CmpFullName(this)});
}

void TFbDataSet::CheckEditing() const {
    if (FState != dsEdit && FState != dsInsert)
        FbError(feNotInEditState);
}

void TFbDataSet::CheckBrowseMode() {
    if (FState != dsEdit && FState != dsInsert)
        return;
    if (FModified)
        Post();
    else
        Cancel();
}

// ---------------------------------------------------------------------------------------------
// Preparing and the fields.

bool TFbDataSet::Prepared() const noexcept {
    return FFieldsBound && FSelect->Prepared();
}

void TFbDataSet::Prepare() {
    if (Prepared())
        return;
    FSelect->Prepare();
    if (FSelect->SQLType() != SQLSelect && FSelect->SQLType() != SQLSelectForUpdate) {
        FSelect->FreeHandle();
        FbError(feCannotOpenNonSQLSelect);
    }
    BindFields();
}

void TFbDataSet::UnPrepare() {
    Close();
    FFieldsBound = false;
    FSelect->FreeHandle();
    for (auto& statement : FWrite)
        if (statement)
            statement->FreeHandle();
    if (FGenerator)
        FGenerator->FreeHandle();
    if (FMetadata)
        FMetadata->FreeHandle();
}

TFbXSQLDA& TFbDataSet::Params() {
    return FSelect->Params();
}

TFbXSQLVAR& TFbDataSet::ParamByName(const std::string& name) {
    return FSelect->ParamByName(name);
}

void TFbDataSet::BindFields() {
    TFbXSQLDA& columns = FSelect->Current();
    const int count = columns.Count();
    const bool unicode = Database()->IsUnicodeConnect();
    auto described = [unicode](const char* text, short length) {
        const std::string bytes(text, static_cast<std::size_t>(std::clamp<short>(length, 0, 31)));
        return unicode ? bytes : Cp1250ToUtf8(bytes);
    };
    // A field of a name seen before is the same object again, so that references to it stay good.
    auto take = [this](const std::string& name) -> std::unique_ptr<TFbField> {
        const std::string key = UpperCase(name);
        for (auto* list : {&FFields, &FUnbound})
            for (auto& field : *list)
                if (field && UpperCase(field->FFieldName) == key)
                    return std::move(field);
        return std::unique_ptr<TFbField>(new TFbField(this, name));
    };
    std::vector<std::unique_ptr<TFbField>> fields;
    std::vector<std::string> names;
    FColumns.assign(static_cast<std::size_t>(count), TColumn{});
    std::size_t offset = 0;
    for (int i = 0; i < count; ++i) {
        const TFbXSQLVAR& var = columns.Vars(i);
        const XSQLVAR& raw = static_cast<const XSQLDA*>(columns.Descriptor())->sqlvar[i];
        TColumn& column = FColumns[static_cast<std::size_t>(i)];
        column.Type = var.SQLType();
        column.Len = var.SQLLen();
        column.Scale = var.SQLScale();
        column.Subtype = var.SQLSubtype();
        column.Offset = offset;
        column.Size = var.FData.size();
        offset += column.Size;
        std::unique_ptr<TFbField> field = take(var.Name());
        field->FFieldName = var.Name();
        field->FIndex = i;
        field->FDataType = KindOf(column.Type, column.Scale, column.Subtype);
        field->FRelationName = described(raw.relname, raw.relname_length);
        field->FOriginName = described(raw.sqlname, raw.sqlname_length);
        fields.push_back(std::move(field));
        names.push_back(var.Name());
    }
    for (auto& field : FFields)
        if (field) {
            field->FIndex = -1;
            FUnbound.push_back(std::move(field));
        }
    std::erase(FUnbound, nullptr);
    FFields = std::move(fields);
    FNullOffset = offset;
    FRowSize = std::max<std::size_t>(offset + static_cast<std::size_t>(count), 1);
    // The current row: one value per column in the column's own type.
    FRecord->SetNames(names);
    for (int i = 0; i < count; ++i) {
        const TFbXSQLVAR& source = columns.Vars(i);
        TFbXSQLVAR& var = FRecord->Vars(i);
        const TColumn& column = FColumns[static_cast<std::size_t>(i)];
        var.SetType(column.Type, column.Len, column.Scale, column.Subtype);
        var.FSrvSQLType = source.FSrvSQLType;
        var.FSrvSQLSubType = source.FSrvSQLSubType;
        var.FSrvSQLLen = source.FSrvSQLLen;
        var.FSrvSQLScale = source.FSrvSQLScale;
        var.FNullInd = -1;
    }
    FFieldsBound = true;
    FMetadataRead = false;
}

TFbField& TFbDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        FbError(feFieldNotFound, {"Field No: " + std::to_string(index)});
    return *FFields[static_cast<std::size_t>(index)];
}

TFbField* TFbDataSet::FindField(const std::string& name) const {
    const TFbXSQLVAR* var = FRecord->ByName(name);
    return var ? FFields[static_cast<std::size_t>(var->Index())].get() : nullptr;
}

TFbField& TFbDataSet::FieldByName(const std::string& name) const {
    TFbField* field = FindField(name);
    if (!field)
        FbError(feFieldNotFound, {name});
    return *field;
}

std::vector<TFbField*> TFbDataSet::KeyFields() const {
    std::vector<TFbField*> keys;
    for (const std::string& name : SplitNames(AutoUpdateOptions.KeyFields))
        keys.push_back(&FieldByName(name));
    return keys;
}

void TFbDataSet::EnsureMetadata() {
    if (!FMetadataRead && FFieldsBound)
        ReadMetadata();
}

// One query per table of the columns, in the dataset's transaction.
void TFbDataSet::ReadMetadata() {
    std::vector<std::string> relations;
    for (auto& field : FFields) {
        field->FDefaultExpression.clear();
        field->FRequired = field->FComputed = field->FInTable = false;
        if (!field->FRelationName.empty() &&
            std::find(relations.begin(), relations.end(), field->FRelationName) == relations.end())
            relations.push_back(field->FRelationName);
    }
    if (!relations.empty()) {
        TFbQuery& query = NewStatement(FMetadata);
        const std::vector<std::string> text = {
            "SELECT RF.RDB$FIELD_NAME, COALESCE(RF.RDB$DEFAULT_SOURCE, F.RDB$DEFAULT_SOURCE),",
            " COALESCE(RF.RDB$NULL_FLAG, 0) + COALESCE(F.RDB$NULL_FLAG, 0),",
            " CASE WHEN F.RDB$COMPUTED_BLR IS NULL THEN 0 ELSE 1 END",
            "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE",
            "WHERE RF.RDB$RELATION_NAME = :RELATION_NAME"};
        if (query.SQL().Lines() != text)
            query.SQL().Assign(text);
        for (const std::string& relation : relations) {
            query.ParamByName("RELATION_NAME").SetAsString(relation);
            for (query.ExecQuery(); !query.Eof(); query.Next()) {
                const std::string column = FbTrim(query.Fields(0).AsString());
                for (auto& field : FFields) {
                    if (field->FRelationName != relation || field->FOriginName != column)
                        continue;
                    field->FInTable = true;
                    field->FDefaultExpression = DefaultFromSource(query.Fields(1).AsString());
                    field->FRequired = query.Fields(2).AsInteger() > 0;
                    field->FComputed = query.Fields(3).AsInteger() != 0;
                }
            }
            query.Close();
        }
    }
    FMetadataRead = true;
}

bool TFbDataSet::FieldReadOnly(const TFbField& field) const {
    if (field.FReadOnly || field.Calculated())
        return true;
    const std::string& table = AutoUpdateOptions.UpdateTableName;
    return !FbTrim(table).empty() && field.FRelationName != StoredName(table);
}

// ---------------------------------------------------------------------------------------------
// Opening, closing and the rows kept.

void TFbDataSet::Open() {
    if (Active())
        return;
    Prepare();
    FSelect->ExecQuery();
    FState = dsBrowse;
    FAllFetched = false;
    FFetchCount = 0;
    FModified = false;
    try {
        FetchRows(FBufferChunks);
    } catch (...) {
        CloseRows();
        throw;
    }
    FCurrent = 0;
    LoadCurrent();
    FBof = true;
    FEof = FRows.empty();
}

void TFbDataSet::Close() {
    if (!Active())
        return;
    CloseRows();
    FSelect->Close();
}

void TFbDataSet::SetActive(bool value) {
    if (value)
        Open();
    else
        Close();
}

// Closes without any client call (the cursor is gone already or goes with its statement).
void TFbDataSet::CloseRows() noexcept {
    FreeRows();
    FState = dsInactive;
    FModified = false;
    FBof = FEof = FAllFetched = true;
    for (int i = 0; i < FRecord->Count(); ++i) {
        TFbXSQLVAR& var = FRecord->Vars(i);
        var.FHasBlobText = false;
        var.FBlobText.clear();
        var.FNullInd = -1;
    }
}

void TFbDataSet::FreeRows() noexcept {
    // Swapped with empty ones, so the memory goes back now, not when the dataset dies.
    std::vector<std::byte*>().swap(FRows);
    std::vector<std::vector<std::byte>>().swap(FChunks);
    FBlobTexts.clear();
    FChunkUsed = 0;
    FCurrent = FInsertPos = 0;
}

std::byte* TFbDataSet::NewRow() {
    if (FChunks.empty() || FChunkUsed + FRowSize > FChunks.back().size()) {
        FChunks.emplace_back(FRowSize * static_cast<std::size_t>(FBufferChunks));
        FChunkUsed = 0;
    }
    std::byte* row = FChunks.back().data() + FChunkUsed;
    FChunkUsed += FRowSize;
    return row;
}

// Keeps the row the select has just fetched: its values' bytes as the client wrote them.
void TFbDataSet::KeepRow() {
    std::byte* row = NewRow();
    const TFbXSQLDA& values = FSelect->Current();
    for (std::size_t i = 0; i < FColumns.size(); ++i) {
        const TColumn& column = FColumns[i];
        const TFbXSQLVAR& var = values.Vars(static_cast<int>(i));
        if (column.Size)
            std::memcpy(row + column.Offset, var.FData.data(), column.Used(var.FData.data()));
        row[FNullOffset + i] = std::byte{var.FNullInd == -1};
    }
    FRows.push_back(row);
}

// Fetches up to `limit` rows (every row for a negative limit); returns how many came.
int TFbDataSet::FetchRows(int limit) {
    int fetched = 0;
    while (!FAllFetched && (limit < 0 || fetched < limit)) {
        ++FFetchCount;
        FSelect->Next();
        if (FSelect->Eof()) {
            FAllFetched = true;
            FSelect->Close();
            break;
        }
        KeepRow();
        ++fetched;
    }
    return fetched;
}

void TFbDataSet::FetchAll() {
    CheckActive();
    FetchRows(-1);
}

void TFbDataSet::LoadRecord(const std::byte* row) {
    for (std::size_t i = 0; i < FColumns.size(); ++i) {
        const TColumn& column = FColumns[i];
        TFbXSQLVAR& var = FRecord->Vars(static_cast<int>(i));
        if (var.FHasBlobText)
            var.SetType(column.Type, column.Len, column.Scale, column.Subtype);
        if (column.Size)
            std::memcpy(var.FData.data(), row + column.Offset, column.Size);
        var.FNullInd = row[FNullOffset + i] != std::byte{0} ? -1 : 0;
    }
    for (auto it = FBlobTexts.lower_bound({row, 0}); it != FBlobTexts.end() && it->first.first == row; ++it) {
        TFbXSQLVAR& var = FRecord->Vars(it->first.second);
        var.FBlobText = it->second;
        var.FHasBlobText = true;
        var.FNullInd = 0;
    }
}

void TFbDataSet::ClearRecord() {
    for (std::size_t i = 0; i < FColumns.size(); ++i) {
        TFbXSQLVAR& var = FRecord->Vars(static_cast<int>(i));
        if (var.FHasBlobText) {
            const TColumn& column = FColumns[i];
            var.SetType(column.Type, column.Len, column.Scale, column.Subtype);
        }
        var.FNullInd = -1;
    }
}

void TFbDataSet::LoadCurrent() {
    if (FRows.empty())
        ClearRecord();
    else
        LoadRecord(FRows[FCurrent]);
}

void TFbDataSet::StoreRecord(std::byte* row) {
    for (std::size_t i = 0; i < FColumns.size(); ++i) {
        const TColumn& column = FColumns[i];
        const TFbXSQLVAR& var = FRecord->Vars(static_cast<int>(i));
        if (column.Size)
            std::memcpy(row + column.Offset, var.FData.data(), std::min(column.Size, var.FData.size()));
        row[FNullOffset + i] = std::byte{var.FNullInd == -1};
        const auto key = std::make_pair(static_cast<const std::byte*>(row), static_cast<int>(i));
        if (var.FHasBlobText && var.FNullInd != -1)
            FBlobTexts[key] = var.FBlobText;
        else if (!FBlobTexts.empty())
            FBlobTexts.erase(key);
    }
}

// Gives `var` the column's type and the value the row holds (null without a row).
void TFbDataSet::LoadRaw(TFbXSQLVAR& var, int index, const std::byte* row) const {
    const TColumn& column = FColumns[static_cast<std::size_t>(index)];
    var.SetType(column.Type, column.Len, column.Scale, column.Subtype);
    var.FModified = true;
    if (!row) {
        var.FNullInd = -1;
        return;
    }
    if (column.Size)
        std::memcpy(var.FData.data(), row + column.Offset, column.Size);
    var.FNullInd = row[FNullOffset + static_cast<std::size_t>(index)] != std::byte{0} ? -1 : 0;
    const auto it = FBlobTexts.find({row, index});
    if (it != FBlobTexts.end()) {
        var.FBlobText = it->second;
        var.FHasBlobText = true;
    }
}

bool TFbDataSet::SameAsRow(int index, const std::byte* row) const {
    const TColumn& column = FColumns[static_cast<std::size_t>(index)];
    const TFbXSQLVAR& var = FRecord->Vars(index);
    const bool rowNull = row[FNullOffset + static_cast<std::size_t>(index)] != std::byte{0};
    const bool varNull = var.FNullInd == -1;
    if (rowNull || varNull)
        return rowNull == varNull;
    const auto text = FBlobTexts.find({row, index});
    if (var.FHasBlobText || text != FBlobTexts.end())
        return var.FHasBlobText && text != FBlobTexts.end() && text->second == var.FBlobText;
    const std::size_t used = column.Used(var.FData.data());
    return used == column.Used(row + column.Offset) &&
           std::memcmp(var.FData.data(), row + column.Offset, used) == 0;
}

// ---------------------------------------------------------------------------------------------
// Moving.

void TFbDataSet::MoveTo(std::size_t index) {
    FCurrent = index;
    LoadCurrent();
    FBof = FEof = false;
}

bool TFbDataSet::IsEmpty() {
    if (!Active())
        return true;
    if (FRows.empty() && !FAllFetched)
        FetchRows(FBufferChunks);
    return FRows.empty() && FState != dsInsert;
}

void TFbDataSet::First() {
    CheckActive();
    CheckBrowseMode();
    const bool empty = IsEmpty();
    FCurrent = 0;
    LoadCurrent();
    FBof = true;
    FEof = empty;
}

void TFbDataSet::Last() {
    CheckActive();
    CheckBrowseMode();
    FetchRows(-1);
    FCurrent = FRows.empty() ? 0 : FRows.size() - 1;
    LoadCurrent();
    FEof = true;
    FBof = FRows.empty();
}

void TFbDataSet::Next() {
    CheckActive();
    CheckBrowseMode();
    if (FCurrent + 1 >= FRows.size() && !FAllFetched)
        FetchRows(FBufferChunks);
    if (FCurrent + 1 < FRows.size())
        MoveTo(FCurrent + 1);
    else
        FEof = true;
}

void TFbDataSet::Prior() {
    CheckActive();
    CheckBrowseMode();
    if (FCurrent > 0 && !FRows.empty())
        MoveTo(FCurrent - 1);
    else
        FBof = true;
}

int TFbDataSet::RecNo() const noexcept {
    if (FState == dsInsert)
        return static_cast<int>(FInsertPos) + 1;
    return FRows.empty() ? 0 : static_cast<int>(FCurrent) + 1;
}

void TFbDataSet::SetRecNo(int value) {
    CheckActive();
    CheckBrowseMode();
    const auto wanted = static_cast<std::size_t>(std::max(value, 1));
    while (FRows.size() < wanted && !FAllFetched)
        FetchRows(FBufferChunks);
    if (!FRows.empty())
        MoveTo(std::min(wanted, FRows.size()) - 1);
}

bool TFbDataSet::Locate(const std::string& keyFields, const std::vector<TFbVariant>& keyValues,
                        TLocateOptions options) {
    CheckActive();
    CheckBrowseMode();
    const std::vector<std::string> names = SplitNames(keyFields);
    if (names.empty())
        FbError(feFieldListEmpty);
    if (names.size() != keyValues.size())
        FbError(feColumnListsDontMatch);
    const bool caseInsensitive = options & loCaseInsensitive;
    std::vector<TKey> keys;
    for (std::size_t k = 0; k < names.size(); ++k) {
        TKey key;
        key.Index = FieldByName(names[k]).Index();
        const TColumn& column = FColumns[static_cast<std::size_t>(key.Index)];
        const TInValue value = TInValue::From(keyValues[k]);
        key.Null = value.Kind == TInValue::ivNull;
        key.AsText = column.IsTextLike();
        if (!key.Null && key.AsText) {
            key.Text = TextOf(value);
            if (column.Type == kSqlText)
                key.Text = TrimRight(key.Text);
            if (caseInsensitive)
                key.Text = UpperCase(key.Text);
        } else if (!key.Null) {
            // The key in the column's own type, compared with the rows' bytes.
            TFbXSQLVAR& scratch = FScratch->Vars(1);
            scratch.SetType(column.Type, column.Len, column.Scale, column.Subtype);
            WriteValue(scratch, key.Index, value);
            key.Null = scratch.FNullInd == -1;
            key.Bytes.assign(scratch.FData.begin(), scratch.FData.end());
        }
        keys.push_back(std::move(key));
    }
    for (std::size_t i = 0;; ++i) {
        if (i >= FRows.size() && FetchRows(FBufferChunks) == 0)
            return false;
        if (RowMatches(FRows[i], keys, options)) {
            MoveTo(i);
            return true;
        }
    }
}

bool TFbDataSet::RowMatches(const std::byte* row, const std::vector<TKey>& keys,
                            TLocateOptions options) const {
    for (const TKey& key : keys) {
        const TColumn& column = FColumns[static_cast<std::size_t>(key.Index)];
        const bool null = row[FNullOffset + static_cast<std::size_t>(key.Index)] != std::byte{0};
        if (null || key.Null) {
            if (null != key.Null)
                return false;
            continue;
        }
        const std::byte* value = row + column.Offset;
        if (!key.AsText) {
            if (std::memcmp(value, key.Bytes.data(), column.Used(key.Bytes.data())) != 0)
                return false;
            continue;
        }
        std::string text;
        const TFbXSQLVAR& var = FRecord->Vars(key.Index);
        if (column.Type == kSqlBlob) {
            TFbXSQLVAR& scratch = FScratch->Vars(1);
            LoadRaw(scratch, key.Index, row);
            text = scratch.AsString();
        } else {
            const std::size_t used = column.Used(value);
            const std::size_t skip = column.Type == kSqlVarying ? 2 : 0;
            const std::string bytes(reinterpret_cast<const char*>(value) + skip, used - skip);
            text = var.DecodeText(bytes, column.IsOctets());
            if (column.Type == kSqlText)
                text = TrimRight(std::move(text));
        }
        if (options & loCaseInsensitive)
            text = UpperCase(text);
        if (options & loPartialKey ? !text.starts_with(key.Text) : text != key.Text)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Values in the columns' own types.

// The text of a value, as the client layer writes the value's kind.
std::string TFbDataSet::TextOf(const TInValue& value) {
    TFbXSQLVAR& scratch = FScratch->Vars(0);
    switch (value.Kind) {
    case TInValue::ivText:
        return value.Text;
    case TInValue::ivInt:
        return std::to_string(value.Int);
    case TInValue::ivBool:
        return value.Int ? "True" : "False";
    case TInValue::ivReal:
        scratch.SetAsDouble(value.Real);
        return scratch.AsString();
    case TInValue::ivDateTime:
        scratch.SetAsDateTime(value.Real);
        return scratch.AsString();
    default:
        return {};
    }
}

// Writes the value into `var`, which has the type of column `index`, converting it to that type.
void TFbDataSet::WriteValue(TFbXSQLVAR& var, int index, const TInValue& value) {
    const TColumn& column = FColumns[static_cast<std::size_t>(index)];
    if (var.FHasBlobText)
        var.SetType(column.Type, column.Len, column.Scale, column.Subtype);
    const bool emptyText = value.Kind == TInValue::ivText && value.Text.empty();
    if (value.Kind == TInValue::ivNull || (emptyText && !column.IsTextLike())) {
        var.FNullInd = -1;
        return;
    }
    char* data = var.FData.data();
    switch (column.Type) {
    case kSqlText:
    case kSqlVarying: {
        std::string bytes = column.IsOctets() ? TextOf(value) : var.EncodeText(TextOf(value));
        const auto room = static_cast<std::size_t>(column.Len);
        if (bytes.size() > room)
            bytes = TrimRight(std::move(bytes)); // blanks beyond the length are no loss
        if (bytes.size() > room)
            FbError(feFieldSizeMismatch, {FFields[static_cast<std::size_t>(index)]->FieldName()});
        if (column.Type == kSqlText) {
            std::memcpy(data, bytes.data(), bytes.size());
            std::memset(data + bytes.size(), column.IsOctets() ? 0 : ' ', room - bytes.size());
        } else {
            const auto length = static_cast<unsigned short>(bytes.size());
            std::memcpy(data, &length, sizeof length);
            std::memcpy(data + 2, bytes.data(), bytes.size());
        }
        break;
    }
    case kSqlShort:
    case kSqlLong:
    case kSqlInt64: {
        const int decimals = std::clamp(-column.Scale, 0, 18);
        std::int64_t scaled = 0;
        switch (value.Kind) {
        case TInValue::ivText:
            if (!ParseScaled(value.Text, decimals, scaled))
                InvalidConversion();
            break;
        case TInValue::ivReal:
        case TInValue::ivDateTime: {
            const double v = std::round(value.Real * static_cast<double>(Pow10(decimals)));
            // 2^63 is the first double beyond the range.
            if (!std::isfinite(v) || v >= 9223372036854775808.0 || v < -9223372036854775808.0)
                InvalidConversion();
            scaled = static_cast<std::int64_t>(v);
            break;
        }
        default:
            if (__builtin_mul_overflow(value.Int, Pow10(decimals), &scaled))
                InvalidConversion();
            break;
        }
        if (column.Type == kSqlShort)
            StoreInteger<short>(data, scaled);
        else if (column.Type == kSqlLong)
            StoreInteger<ISC_LONG>(data, scaled);
        else
            StoreInteger<std::int64_t>(data, scaled);
        break;
    }
    case kSqlFloat:
    case kSqlDouble:
    case kSqlDFloat: {
        double v = value.Real;
        if (value.Kind == TInValue::ivText) {
            TFbXSQLVAR& scratch = FScratch->Vars(0);
            scratch.SetAsString(value.Text);
            v = scratch.AsDouble();
        } else if (value.Kind == TInValue::ivInt || value.Kind == TInValue::ivBool) {
            v = static_cast<double>(value.Int);
        }
        if (column.Type == kSqlFloat)
            Store(data, static_cast<float>(v));
        else
            Store(data, v);
        break;
    }
    case kSqlTimestamp:
    case kSqlTypeDate:
    case kSqlTypeTime: {
        // The layer has no reading of date texts; dates come as TDateTime (or its day number).
        if (value.Kind == TInValue::ivText || value.Kind == TInValue::ivBool)
            InvalidConversion();
        TFbXSQLVAR& scratch = FScratch->Vars(0);
        scratch.SetAsDateTime(value.Kind == TInValue::ivInt ? static_cast<double>(value.Int) : value.Real);
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, scratch.FData.data(), sizeof ts);
        if (column.Type == kSqlTimestamp)
            std::memcpy(data, &ts, sizeof ts);
        else if (column.Type == kSqlTypeDate)
            std::memcpy(data, &ts.timestamp_date, sizeof ts.timestamp_date);
        else
            std::memcpy(data, &ts.timestamp_time, sizeof ts.timestamp_time);
        break;
    }
    case kSqlBoolean:
    case kSqlBooleanIB: {
        bool v = value.Int != 0;
        if (value.Kind == TInValue::ivReal)
            v = value.Real != 0;
        else if (value.Kind == TInValue::ivText) {
            const std::string text = UpperCase(FbTrim(value.Text));
            if (text != "TRUE" && text != "FALSE" && text != "1" && text != "0")
                InvalidConversion();
            v = text == "TRUE" || text == "1";
        }
        data[0] = v ? 1 : 0;
        break;
    }
    case kSqlBlob:
        // Written as the blob's content when the row is saved.
        var.FBlobText = TextOf(value);
        var.FHasBlobText = true;
        break;
    default:
        InvalidConversion();
    }
    var.FNullInd = 0;
}

// Copies a value of another statement (the refresh statement) into column `index` of the current row.
void TFbDataSet::WriteFromVar(int index, const TFbXSQLVAR& source) {
    const TColumn& column = FColumns[static_cast<std::size_t>(index)];
    TFbXSQLVAR& var = FRecord->Vars(index);
    if (source.SQLType() == column.Type && source.SQLLen() == column.Len &&
        source.SQLScale() == column.Scale && source.SQLSubtype() == column.Subtype &&
        source.FData.size() == column.Size) {
        if (var.FHasBlobText)
            var.SetType(column.Type, column.Len, column.Scale, column.Subtype);
        var.FData = source.FData;
        var.FNullInd = source.IsNull() ? -1 : 0;
        return;
    }
    TInValue value;
    if (!source.IsNull()) {
        switch (source.SQLType()) {
        case kSqlFloat:
        case kSqlDouble:
        case kSqlDFloat:
            value = TInValue::OfReal(TInValue::ivReal, source.AsDouble());
            break;
        case kSqlTimestamp:
        case kSqlTypeDate:
        case kSqlTypeTime:
            value = TInValue::OfReal(TInValue::ivDateTime, source.AsDateTime());
            break;
        case kSqlBoolean:
        case kSqlBooleanIB:
            value = TInValue::Of(TInValue::ivBool);
            value.Int = source.AsBoolean();
            break;
        default:
            value = TInValue::Of(TInValue::ivText);
            value.Text = source.AsString();
            break;
        }
    }
    WriteValue(var, index, value);
}

void TFbDataSet::SetFieldValue(const TFbField& field, const TInValue& value) {
    CheckEditing();
    if (field.FIndex < 0)
        FbError(feFieldNotFound, {field.FFieldName});
    WriteValue(FRecord->Vars(field.FIndex), field.FIndex, value);
    FModified = true;
}

// ---------------------------------------------------------------------------------------------
// Editing.

void TFbDataSet::BeginInsert(std::size_t position) {
    FInsertPos = position;
    FState = dsInsert;
    ClearRecord();
    try {
        if (AutoUpdateOptions.WhenGetGenID == gaOnNewRecord)
            ApplyGenerator();
        DoOnNewRecord();
    } catch (...) {
        FState = dsBrowse;
        LoadCurrent();
        FModified = false;
        throw;
    }
    FModified = false;
}

void TFbDataSet::Append() {
    CheckActive();
    CheckBrowseMode();
    FetchRows(-1);
    BeginInsert(FRows.size());
}

void TFbDataSet::Insert() {
    CheckActive();
    CheckBrowseMode();
    BeginInsert(FRows.empty() ? 0 : FCurrent);
}

void TFbDataSet::Edit() {
    CheckActive();
    if (FState == dsEdit || FState == dsInsert)
        return;
    if (IsEmpty()) {
        Append();
        return;
    }
    FState = dsEdit;
    FModified = false;
}

void TFbDataSet::Post() {
    CheckActive();
    CheckEditing();
    DoBeforePost();
    CheckEditing();
    const bool inserting = FState == dsInsert;
    if (inserting && AutoUpdateOptions.WhenGetGenID == gaBeforePost)
        ApplyGenerator();
    TFbQuery& statement = WriteStatement(inserting ? wkInsert : wkModify);
    BindParams(statement);
    statement.ExecQuery();
    CheckRowsAffected(statement);
    // Saved: only now does the row take the values.
    if (inserting) {
        std::byte* row = NewRow();
        StoreRecord(row);
        FRows.insert(FRows.begin() + static_cast<std::ptrdiff_t>(FInsertPos), row);
        FCurrent = FInsertPos;
    } else {
        StoreRecord(FRows[FCurrent]);
    }
    FState = dsBrowse;
    FModified = false;
    FBof = FEof = false;
    DoAfterPost();
}

void TFbDataSet::Cancel() {
    if (FState != dsEdit && FState != dsInsert)
        return;
    DoBeforeCancel();
    if (FState == dsInsert && !FRows.empty())
        FCurrent = std::min(FInsertPos, FRows.size() - 1);
    FState = dsBrowse;
    FModified = false;
    LoadCurrent();
    DoAfterCancel();
}

void TFbDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    if (IsEmpty())
        FbErrorEx("Cannot perform this operation on an empty dataset.");
    TFbQuery& statement = WriteStatement(wkDelete);
    BindParams(statement);
    statement.ExecQuery();
    CheckRowsAffected(statement);
    const std::byte* row = FRows[FCurrent];
    std::erase_if(FBlobTexts, [row](const auto& item) { return item.first.first == row; });
    FRows.erase(FRows.begin() + static_cast<std::ptrdiff_t>(FCurrent));
    if (FCurrent >= FRows.size())
        FetchRows(FBufferChunks);
    if (FCurrent >= FRows.size())
        FCurrent = FRows.empty() ? 0 : FRows.size() - 1;
    LoadCurrent();
    FBof = FEof = FRows.empty();
}

void TFbDataSet::Refresh() {
    CheckActive();
    CheckBrowseMode();
    if (IsEmpty())
        return;
    TFbQuery& statement = WriteStatement(wkRefresh);
    BindParams(statement);
    statement.ExecQuery();
    if (statement.Eof()) {
        statement.Close();
        FbErrorEx("The row to be refreshed was not found; another user may have deleted it.");
    }
    try {
        for (int i = 0; i < statement.FieldCount(); ++i)
            if (const TFbXSQLVAR* var = FRecord->ByName(statement.Fields(i).Name()))
                WriteFromVar(var->Index(), statement.Fields(i));
    } catch (...) {
        LoadCurrent();
        throw;
    }
    statement.Close();
    StoreRecord(FRows[FCurrent]);
}

// ---------------------------------------------------------------------------------------------
// The write statements.

// The statement's lines: the text given, else one generated from the automatic-update options, else
// none.
std::vector<std::string> TFbDataSet::WriteLines(TWriteKind kind) const {
    const TFbStrings* given[wkCount] = {&FInsertSQL, &FModifySQL, &FDeleteSQL, &FRefreshSQL};
    if (!IsBlank(given[kind]->Lines()))
        return given[kind]->Lines();
    if (FbTrim(AutoUpdateOptions.UpdateTableName).empty())
        return {};
    const std::vector<TFbField*> keys = KeyFields();
    if (kind != wkInsert && keys.empty())
        return {};
    const int dialect = Database() ? Database()->SQLDialect() : 3;
    const std::string stored = StoredName(AutoUpdateOptions.UpdateTableName);
    const std::string table = TFbStoredProc::NormalizeName(stored, dialect);
    auto column = [&](const TFbField& field) {
        const bool own = field.FRelationName == stored && !field.FOriginName.empty();
        return TFbStoredProc::NormalizeName(own ? field.FOriginName : field.FFieldName, dialect);
    };
    auto where = [&](const std::string& prefix) {
        std::vector<std::string> terms;
        for (const TFbField* key : keys)
            terms.push_back("(" + column(*key) + " = " + ParamRef(prefix, key->FFieldName) + ")");
        return "WHERE " + Joined(terms, " AND ");
    };
    std::vector<std::string> names, values, assignments, selected;
    for (const auto& field : FFields) {
        if (field->FRelationName == stored && field->FInTable) {
            const std::string name = column(*field);
            selected.push_back(name == TFbStoredProc::NormalizeName(field->FFieldName, dialect)
                                   ? name
                                   : name + " AS " +
                                         TFbStoredProc::NormalizeName(field->FFieldName, dialect));
        }
        if (FieldReadOnly(*field))
            continue;
        names.push_back(column(*field));
        values.push_back(ParamRef("", field->FFieldName));
        assignments.push_back(names.back() + " = " + values.back());
    }
    const std::vector<std::string>& list = kind == wkRefresh ? selected : names;
    if (list.empty() && kind != wkDelete)
        FbError(feFieldListEmpty);
    switch (kind) {
    case wkInsert:
        return {"INSERT INTO " + table, "(" + Joined(names, ", ") + ")",
                "VALUES (" + Joined(values, ", ") + ")"};
    case wkModify:
        return {"UPDATE " + table, "SET " + Joined(assignments, ", "), where("OLD_")};
    case wkDelete:
        return {"DELETE FROM " + table, where("OLD_")};
    default:
        return {"SELECT " + Joined(selected, ", "), "FROM " + table, where("")};
    }
}

TFbQuery& TFbDataSet::WriteStatement(TWriteKind kind) {
    EnsureMetadata();
    std::vector<std::string> lines = WriteLines(kind);
    if (lines.empty()) {
        constexpr TFbClientError missing[wkCount] = {feCannotInsert, feCannotUpdate, feCannotDelete,
                                                     feCannotRefresh};
        FbError(missing[kind]);
    }
    TFbQuery& statement = NewStatement(FWrite[kind]);
    // The same text keeps the statement prepared from the last row.
    if (statement.SQL().Lines() != lines)
        statement.SQL().Assign(std::move(lines));
    return statement;
}

// :NAME takes the field's value as the row holds it now, :OLD_NAME the value before the edit.
void TFbDataSet::BindParams(TFbQuery& statement) {
    const std::byte* old = FState == dsInsert || FRows.empty() ? nullptr : FRows[FCurrent];
    TFbXSQLDA& params = statement.Params();
    for (int i = 0; i < params.Count(); ++i) {
        TFbXSQLVAR& param = params.Vars(i);
        const std::string& name = param.Name();
        if (const TFbXSQLVAR* value = FRecord->ByName(name)) {
            param.CopyValueFrom(*value);
            continue;
        }
        const TFbXSQLVAR* field = name.size() > 4 && UpperCase(name.substr(0, 4)) == "OLD_"
                                      ? FRecord->ByName(name.substr(4))
                                      : nullptr;
        if (!field)
            FbError(feFieldNotFound, {name});
        LoadRaw(param, field->Index(), old);
    }
}

// An update or delete that found no row saved nothing: the row was changed (its key) or deleted
// by someone else since it was read.
void TFbDataSet::CheckRowsAffected(TFbQuery& statement) {
    const TFbSQLTypes type = statement.SQLType();
    if (type != SQLUpdate && type != SQLDelete)
        return;
    TFbCustomDatabase* db = Database();
    TFbHandle handle = statement.Handle();
    const char item = isc_info_sql_records;
    std::string answer(64, '\0');
    db->Call(db->ClientLibrary().isc_dsql_sql_info(StatusVector(), &handle, 1, &item,
                                                   static_cast<short>(answer.size()), answer.data()),
             true);
    std::string records, count;
    if (!FindInfoItem(answer, isc_info_sql_records, records) ||
        !FindInfoItem(records, type == SQLUpdate ? isc_info_req_update_count : isc_info_req_delete_count,
                      count))
        return;
    if (VaxInteger(count, 0, count.size()) != 0)
        return;
    if (type == SQLUpdate)
        FbErrorEx("The row to be updated was not found; another user may have changed or deleted it.");
    FbErrorEx("The row to be deleted was not found; another user may have deleted it.");
}

// Gives the first key field of a new row the generator's next value, unless it has a value.
void TFbDataSet::ApplyGenerator() {
    const std::string generator = FbTrim(AutoUpdateOptions.GeneratorName);
    const std::vector<TFbField*> keys = KeyFields();
    if (generator.empty() || keys.empty() || !keys.front()->IsNull())
        return;
    TFbQuery& query = NewStatement(FGenerator);
    const int dialect = Database() ? Database()->SQLDialect() : 3;
    const std::vector<std::string> text = {
        "SELECT GEN_ID(" + TFbStoredProc::NormalizeName(StoredName(generator), dialect) + ", " +
        std::to_string(AutoUpdateOptions.GeneratorStep) + ") FROM RDB$DATABASE"};
    if (query.SQL().Lines() != text)
        query.SQL().Assign(text);
    query.ExecQuery();
    auto value = TInValue::Of(TInValue::ivInt);
    value.Int = query.Fields(0).AsInt64();
    query.Close();
    WriteValue(FRecord->Vars(keys.front()->FIndex), keys.front()->FIndex, value);
}

// ---------------------------------------------------------------------------------------------
// Hooks.

void TFbDataSet::Fire(const TNotifyEvent& event) {
    if (event)
        event(this);
}
