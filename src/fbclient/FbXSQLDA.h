#pragma once
// Columns and parameters of a statement: a descriptor list (TFbXSQLDA) of values (TFbXSQLVAR), each
// with its own buffer, converted between the server's types and the program's. Text is UTF-8 here
// and in the connection's character set on the server side.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TFbCustomQuery;
class TFbXSQLDA;

// Type codes of the client interface (the nullable bit cleared).
enum : int {
    kSqlVarying = 448, kSqlText = 452, kSqlDouble = 480, kSqlFloat = 482, kSqlLong = 496, kSqlShort = 500,
    kSqlTimestamp = 510, kSqlBlob = 520, kSqlDFloat = 530, kSqlArray = 540, kSqlQuad = 550, kSqlTypeTime = 560,
    kSqlTypeDate = 570, kSqlInt64 = 580,
    kSqlBooleanIB = 590,     // InterBase's boolean code
    kSqlBoolean = 32764,     // Firebird 3's boolean code, what the server really sends
    kSqlNull = 32766,        // Firebird's type of a parameter that can only be null ("? IS NULL")
};

// A date-time as the framework keeps it: days since 1899-12-30, the time of day as the fraction.
using TDateTime = double;

class TFbXSQLVAR {
public:
    TFbXSQLVAR(TFbXSQLDA* parent, int index);

    int Index() const noexcept { return FIndex; }
    const std::string& Name() const noexcept { return FName; }
    int SQLType() const;      // without the nullable bit
    int SQLScale() const;
    int SQLSubtype() const;
    int SQLLen() const;
    bool Modified() const noexcept { return FModified; }

    bool IsNull() const;
    void SetIsNull(bool value);

    std::string AsString() const;
    std::int64_t AsInt64() const;
    std::int32_t AsInteger() const;
    std::int32_t AsLong() const { return AsInteger(); }
    double AsDouble() const;
    TDateTime AsDateTime() const;
    bool AsBoolean() const;

    void SetAsString(const std::string& value);
    void SetAsInt64(std::int64_t value);
    void SetAsInteger(std::int32_t value);
    void SetAsLong(std::int32_t value) { SetAsInteger(value); }
    void SetAsDouble(double value);
    void SetAsDateTime(TDateTime value);
    void SetAsBoolean(bool value);

private:
    friend class TFbXSQLDA;
    friend class TFbCustomQuery;
    friend class TFbDataSet; // keeps rows as the raw bytes of its statement's values

    struct TRaw; // the XSQLVAR of the parent's descriptor
    TRaw* Raw() const;
    // Gives the value a type and a buffer of that size; clears the null mark.
    void SetType(int sqlType, int length, int scale, int subtype);
    // A value of fixed size, not null, with no scale.
    template <class T> void SetFixed(int sqlType, T value);
    // Points the descriptor entry at this value's buffer (after the descriptor moved).
    void Bind();
    std::string_view RawText() const; // text bytes as stored, in the value's buffer
    std::string DecodeText(std::string_view bytes, bool binary) const;
    std::string EncodeText(const std::string& text) const;
    std::string ReadBlob() const;
    void Changed();                    // marks it and copies the value into every place of its name
    void CopyValueFrom(const TFbXSQLVAR& other);

    TFbXSQLDA* FParent;
    int FIndex;
    std::string FName;
    bool FModified = false;
    std::vector<char> FData;
    short FNullInd = -1;
    // A text to be written as a blob's content before the statement runs.
    bool FHasBlobText = false;
    std::string FBlobText;
    int FSrvSQLType = 0, FSrvSQLSubType = 0, FSrvSQLLen = 0, FSrvSQLScale = 0;
};

class TFbXSQLDA {
public:
    TFbXSQLDA(TFbCustomQuery* query, bool isParams);
    ~TFbXSQLDA();
    TFbXSQLDA(const TFbXSQLDA&) = delete;
    TFbXSQLDA& operator=(const TFbXSQLDA&) = delete;

    int Count() const noexcept { return static_cast<int>(FXSQLVARs.size()); }
    // Client error 23 outside the list.
    TFbXSQLVAR& Vars(int index) const;
    TFbXSQLVAR* ByName(const std::string& name) const;
    // A plain exception "Parameter \"%s\" does not exist in %s" when there is none.
    TFbXSQLVAR& ParamByName(const std::string& name) const;
    TFbCustomQuery* Query() const noexcept { return FQuery; }
    bool IsParams() const noexcept { return FIsParams; }
    // Whether any of the values has a name that stands in several places.
    bool HasEquelNames() const noexcept { return !FEquelNames.empty(); }

    // For the statement: the descriptor of the client interface, its size and the values' names.
    void* Descriptor();
    void Resize(int count);
    void SetNames(const std::vector<std::string>& names);
    void Clear() { Resize(0); }
    void RebuildNames();

private:
    friend class TFbXSQLVAR;

    TFbCustomQuery* FQuery;
    bool FIsParams;
    std::vector<std::byte> FStorage; // the XSQLDA with room for its entries
    std::vector<std::unique_ptr<TFbXSQLVAR>> FXSQLVARs;
    std::unordered_map<std::string, int> FNames; // upper-cased name -> first index
    std::vector<std::string> FEquelNames;
};
