#include "fbclient/FbXSQLDA.h"

#include "core/Encoding.h"
#include "core/FormatSettings.h"
#include "fbclient/FbApi.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbQuery.h"
#include "fbclient/FbTransaction.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

struct TFbXSQLVAR::TRaw : XSQLVAR {};

namespace {

constexpr std::int64_t kPow10[] = {1,
                                   10,
                                   100,
                                   1000,
                                   10000,
                                   100000,
                                   1000000,
                                   10000000,
                                   100000000,
                                   1000000000,
                                   10000000000LL,
                                   100000000000LL,
                                   1000000000000LL,
                                   10000000000000LL,
                                   100000000000000LL,
                                   1000000000000000LL,
                                   10000000000000000LL,
                                   100000000000000000LL,
                                   1000000000000000000LL};

// Days of the client interface's dates count from 1858-11-17; the framework's from 1899-12-30.
constexpr int kIscDateToDateTime = 15018;

// Civil date from a day count since 1970-01-01 (and back), valid for the whole proleptic calendar.
void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr long long kMjdEpochTo1970 = 40587; // MJD of 1970-01-01

// A date, a time of day or both (a blank between), in the user's patterns.
std::string FormatIscDateTime(const ISC_DATE* date, const ISC_TIME* time) {
    int y = 0, m = 0, d = 0;
    if (date)
        CivilFromDays(static_cast<long long>(*date) - kMjdEpochTo1970, y, m, d);
    const unsigned seconds = time ? *time / ISC_TIME_SECONDS_PRECISION : 0;
    return FormatDateTimeText(FormatSettings(), date != nullptr, time != nullptr, y, m, d,
                              static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                              static_cast<int>(seconds % 60));
}

// The shortest general form with up to 15 significant digits, in the framework's notation
// (decimal separator of the locale, "E" exponent without a plus sign or leading zeros).
std::string FormatFloat(double value) {
    // to_chars, not printf: the program runs under the user's C locale, whose decimal point may
    // be a comma already.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    const char* const begin = buffer;
    const char* const end = written.ptr;
    const char* const e = std::find(begin, end, 'e');
    std::string s(begin, e);
    if (const std::size_t dot = s.find('.'); dot != std::string::npos)
        s[dot] = FormatSettings().DecimalSeparator;
    if (e != end) {
        int exponent = 0;
        const char* digits = e + 1;
        if (*digits == '+')
            ++digits;
        std::from_chars(digits, end, exponent);
        char exponentText[16];
        const auto exponentEnd =
            std::to_chars(exponentText, exponentText + sizeof exponentText, exponent).ptr;
        s += 'E';
        s.append(exponentText, exponentEnd);
    }
    return s;
}

// The integer's digits with the decimal separator before the last `decimals` digits, trailing zeros
// of the fraction dropped, and the separator with them when nothing remains.
std::string FormatScaled(std::int64_t value, int decimals) {
    const bool negative = value < 0;
    // Work on the magnitude as unsigned so that the smallest value has one too.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char digits[24];
    const int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
    const int fractionDigits = decimals > 0 ? decimals : 0;
    // The integer's digits stand at the end of the fraction; places of the fraction before them are
    // zeros. Trailing zeros of the fraction go.
    const int firstOwn = fractionDigits - count; // the fraction place of the integer's first digit
    int shown = fractionDigits;
    while (shown > 0 && (shown - 1 < firstOwn || digits[shown - 1 - firstOwn] == '0'))
        --shown;
    const int wholeDigits = count > fractionDigits ? count - fractionDigits : 1;
    // Only zero itself shows as "0", and zero is never negative.
    std::string text(static_cast<std::size_t>(negative + wholeDigits + (shown > 0 ? 1 + shown : 0)), '0');
    char* p = text.data();
    if (negative)
        *p++ = '-';
    if (count > fractionDigits)
        std::memcpy(p, digits, static_cast<std::size_t>(wholeDigits));
    p += wholeDigits;
    if (shown > 0) {
        *p++ = FormatSettings().DecimalSeparator;
        // The places before the integer's digits hold the zeros the string was made of.
        const int from = firstOwn > 0 ? firstOwn : 0;
        if (shown > from)
            std::memcpy(p + from, digits + (from - firstOwn), static_cast<std::size_t>(shown - from));
    }
    return text;
}

bool ParseInt64(std::string text, std::int64_t& out) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    text.erase(0, start);
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end)
        return false;
    out = v;
    return true;
}

[[noreturn]] void InvalidConversion() { FbError(feInvalidDataConversion); }

bool IsBooleanType(int type) { return type == kSqlBoolean || type == kSqlBooleanIB; }

// Bytes of the value's buffer for a type and described length.
std::size_t BufferSize(int type, int length) {
    switch (type) {
    case kSqlVarying: return static_cast<std::size_t>(length) + 2;
    case kSqlText: return static_cast<std::size_t>(length);
    case kSqlShort: return 2;
    case kSqlLong:
    case kSqlFloat:
    case kSqlTypeDate:
    case kSqlTypeTime: return 4;
    case kSqlBoolean:
    case kSqlBooleanIB: return static_cast<std::size_t>(length > 0 ? length : 1);
    case kSqlNull: return 0;
    default: return 8; // double, int64, timestamp, blob and array ids, quad
    }
}

template <class T> T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TFbXSQLVAR::TFbXSQLVAR(TFbXSQLDA* parent, int index) : FParent(parent), FIndex(index) {}

TFbXSQLVAR::TRaw* TFbXSQLVAR::Raw() const {
    auto* da = static_cast<::XSQLDA*>(FParent->Descriptor());
    return static_cast<TRaw*>(&da->sqlvar[FIndex]);
}

int TFbXSQLVAR::SQLType() const { return Raw()->sqltype & ~1; }
int TFbXSQLVAR::SQLScale() const { return Raw()->sqlscale; }
int TFbXSQLVAR::SQLSubtype() const { return Raw()->sqlsubtype; }
int TFbXSQLVAR::SQLLen() const { return Raw()->sqllen; }

void TFbXSQLVAR::Bind() {
    TRaw* raw = Raw();
    raw->sqldata = FData.empty() ? nullptr : FData.data();
    raw->sqlind = &FNullInd;
}

void TFbXSQLVAR::SetType(int sqlType, int length, int scale, int subtype) {
    TRaw* raw = Raw();
    raw->sqltype = static_cast<short>(sqlType | 1); // always with a null indicator
    raw->sqllen = static_cast<short>(length);
    raw->sqlscale = static_cast<short>(scale);
    raw->sqlsubtype = static_cast<short>(subtype);
    FData.assign(BufferSize(sqlType, length), 0);
    FHasBlobText = false;
    FBlobText.clear();
    Bind();
}

template <class T> void TFbXSQLVAR::SetFixed(int sqlType, T value) {
    SetType(sqlType, sizeof value, 0, 0);
    std::memcpy(FData.data(), &value, sizeof value);
    FNullInd = 0;
    Changed();
}

bool TFbXSQLVAR::IsNull() const {
    if (!FParent->IsParams() && !FParent->Query()->ValuesAvailable())
        return true;
    return (Raw()->sqltype & 1) && FNullInd == -1;
}

void TFbXSQLVAR::SetIsNull(bool value) {
    if (value) {
        FNullInd = -1;
        FHasBlobText = false;
    } else {
        FNullInd = 0;
    }
    Changed();
}

std::string_view TFbXSQLVAR::RawText() const {
    const TRaw* raw = Raw();
    if (SQLType() == kSqlVarying) {
        const auto length = static_cast<std::size_t>(Load<unsigned short>(FData.data()));
        return std::string_view(FData.data() + 2, std::min(length, FData.size() - 2));
    }
    return std::string_view(FData.data(), std::min(FData.size(), static_cast<std::size_t>(raw->sqllen)));
}

std::string TFbXSQLVAR::DecodeText(std::string_view bytes, bool binary) const {
    if (binary)
        return std::string(bytes);
    TFbCustomDatabase* db = FParent->Query()->Database();
    // A UTF-8 connection already speaks our encoding; WIN1250 (and NONE) bytes are Windows-1250.
    if (db && db->IsUnicodeConnect())
        return std::string(bytes);
    return Cp1250ToUtf8(bytes);
}

std::string TFbXSQLVAR::EncodeText(const std::string& text) const {
    TFbCustomDatabase* db = FParent->Query()->Database();
    if (db && db->IsUnicodeConnect())
        return text;
    return Utf8ToCp1250(text);
}

std::string TFbXSQLVAR::ReadBlob() const {
    TFbCustomQuery* query = FParent->Query();
    TFbCustomDatabase* db = query->Database();
    TFbCustomTransaction* tr = query->Transaction();
    if (!db || !tr || !db->Connected() || !tr->Active())
        return "(BLOB)";
    IIBClientLibrary& lib = db->ClientLibrary();
    ISC_QUAD id = Load<ISC_QUAD>(FData.data());
    isc_blob_handle blob = 0;
    ISC_STATUS* status = StatusVector();
    if (lib.isc_open_blob2(status, db->HandleAddress(), tr->HandleAddress(), &blob, &id, 0, nullptr))
        return "(BLOB)";
    std::string content;
    std::vector<char> segment(32768);
    for (;;) {
        unsigned short got = 0;
        const ISC_STATUS rc = lib.isc_get_segment(status, &blob, &got, static_cast<unsigned short>(segment.size()),
                                                  segment.data());
        if (rc != 0 && status[1] != isc_segment) {
            const bool eof = status[1] == isc_segstr_eof;
            lib.isc_close_blob(status, &blob);
            if (!eof)
                return "(BLOB)";
            break;
        }
        content.append(segment.data(), got);
    }
    // Sub-type 1 is text in the column's character set; anything else is bytes.
    return DecodeText(content, SQLSubtype() != 1);
}

std::string TFbXSQLVAR::AsString() const {
    if (IsNull())
        return {};
    if (FHasBlobText)
        return FBlobText;
    const int type = SQLType();
    const int scale = SQLScale();
    switch (type) {
    case kSqlText:
    case kSqlVarying:
        return DecodeText(RawText(), (SQLSubtype() & 0xFF) == 1 /* OCTETS */);
    case kSqlShort:
        return scale == 0 ? std::to_string(Load<short>(FData.data()))
                          : FormatFloat(Load<short>(FData.data()) / std::pow(10.0, -scale));
    case kSqlLong:
        return scale == 0 ? std::to_string(Load<ISC_LONG>(FData.data()))
                          : FormatFloat(Load<ISC_LONG>(FData.data()) / std::pow(10.0, -scale));
    case kSqlInt64:
        return FormatScaled(Load<ISC_INT64>(FData.data()), -scale);
    case kSqlFloat:
        return FormatFloat(Load<float>(FData.data()));
    case kSqlDouble:
    case kSqlDFloat:
        return FormatFloat(Load<double>(FData.data()));
    case kSqlTimestamp: {
        // Midnight shows the date alone.
        const auto ts = Load<ISC_TIMESTAMP>(FData.data());
        return FormatIscDateTime(&ts.timestamp_date, ts.timestamp_time != 0 ? &ts.timestamp_time : nullptr);
    }
    case kSqlTypeDate: {
        const auto date = Load<ISC_DATE>(FData.data());
        return FormatIscDateTime(&date, nullptr);
    }
    case kSqlTypeTime: {
        const auto time = Load<ISC_TIME>(FData.data());
        return FormatIscDateTime(nullptr, &time);
    }
    case kSqlBlob:
        return ReadBlob();
    case kSqlArray:
        return "(ARRAY)";
    case kSqlBoolean:
    case kSqlBooleanIB:
        return FData[0] ? "True" : "False";
    default:
        InvalidConversion();
    }
}

std::int64_t TFbXSQLVAR::AsInt64() const {
    if (IsNull())
        return 0;
    const int type = SQLType();
    const int scale = SQLScale();
    auto scaled = [scale](std::int64_t v) {
        return scale < 0 ? (-scale < 19 ? v / kPow10[-scale] : 0) : v;
    };
    switch (type) {
    case kSqlText:
    case kSqlVarying: {
        std::int64_t v = 0;
        if (!ParseInt64(AsString(), v))
            InvalidConversion();
        return v;
    }
    case kSqlShort: return scaled(Load<short>(FData.data()));
    case kSqlLong: return scaled(Load<ISC_LONG>(FData.data()));
    case kSqlInt64: return scaled(Load<ISC_INT64>(FData.data()));
    case kSqlFloat: return static_cast<std::int64_t>(std::trunc(Load<float>(FData.data())));
    case kSqlDouble:
    case kSqlDFloat: return static_cast<std::int64_t>(std::trunc(Load<double>(FData.data())));
    default: InvalidConversion();
    }
}

std::int32_t TFbXSQLVAR::AsInteger() const { return static_cast<std::int32_t>(AsInt64()); }

double TFbXSQLVAR::AsDouble() const {
    if (IsNull())
        return 0;
    const int scale = SQLScale();
    switch (SQLType()) {
    case kSqlShort: return Load<short>(FData.data()) / std::pow(10.0, -scale);
    case kSqlLong: return Load<ISC_LONG>(FData.data()) / std::pow(10.0, -scale);
    case kSqlInt64: return static_cast<double>(Load<ISC_INT64>(FData.data())) / std::pow(10.0, -scale);
    case kSqlFloat: return Load<float>(FData.data());
    case kSqlDouble:
    case kSqlDFloat: return Load<double>(FData.data());
    case kSqlTimestamp:
    case kSqlTypeDate:
    case kSqlTypeTime: return AsDateTime();
    case kSqlText:
    case kSqlVarying: {
        // from_chars, not strtod: the user's C locale must not decide which separator counts.
        std::string text = AsString();
        const char separator = FormatSettings().DecimalSeparator;
        for (char& c : text)
            if (c == separator)
                c = '.';
        const char* begin = text.c_str();
        const char* end = begin + text.size();
        while (begin != end && std::isspace(static_cast<unsigned char>(*begin)))
            ++begin;
        if (begin != end && *begin == '+' && begin + 1 != end && begin[1] != '-')
            ++begin;
        double v = 0;
        if (std::from_chars(begin, end, v).ec != std::errc())
            InvalidConversion();
        return v;
    }
    default: InvalidConversion();
    }
}

TDateTime TFbXSQLVAR::AsDateTime() const {
    if (IsNull())
        return 0;
    switch (SQLType()) {
    case kSqlTimestamp: {
        const auto ts = Load<ISC_TIMESTAMP>(FData.data());
        return static_cast<double>(ts.timestamp_date) - kIscDateToDateTime +
               static_cast<double>(ts.timestamp_time) / (86400.0 * ISC_TIME_SECONDS_PRECISION);
    }
    case kSqlTypeDate: return static_cast<double>(Load<ISC_DATE>(FData.data())) - kIscDateToDateTime;
    case kSqlTypeTime:
        return static_cast<double>(Load<ISC_TIME>(FData.data())) / (86400.0 * ISC_TIME_SECONDS_PRECISION);
    default: InvalidConversion();
    }
}

bool TFbXSQLVAR::AsBoolean() const {
    if (IsNull())
        return false;
    if (IsBooleanType(SQLType()))
        return FData[0] != 0;
    return AsInt64() != 0;
}

void TFbXSQLVAR::SetAsString(const std::string& value) {
    const int serverType = FSrvSQLType & ~1;
    const std::string bytes = EncodeText(value);
    // Longer than a text value can be: it can only go to the server as a blob.
    if (serverType == kSqlBlob || bytes.size() > 32767) {
        // Written as the blob's content when the statement runs.
        SetType(kSqlBlob, 8, 0, serverType == kSqlBlob ? FSrvSQLSubType : 1);
        FBlobText = value;
        FHasBlobText = true;
        FNullInd = 0;
        Changed();
        return;
    }
    SetType(kSqlText, static_cast<int>(bytes.size()), 0, 0);
    std::memcpy(FData.data(), bytes.data(), bytes.size());
    FBlobText = value; // the text as given, should the server want a binary blob here
    FNullInd = 0;
    Changed();
}

void TFbXSQLVAR::SetAsInt64(std::int64_t value) { SetFixed<ISC_INT64>(kSqlInt64, value); }

void TFbXSQLVAR::SetAsInteger(std::int32_t value) { SetFixed<ISC_LONG>(kSqlLong, value); }

void TFbXSQLVAR::SetAsDouble(double value) { SetFixed<double>(kSqlDouble, value); }

void TFbXSQLVAR::SetAsDateTime(TDateTime value) {
    const double days = std::floor(value);
    ISC_TIMESTAMP ts;
    ts.timestamp_date = static_cast<ISC_DATE>(static_cast<long long>(days) + kIscDateToDateTime);
    ts.timestamp_time =
        static_cast<ISC_TIME>(std::llround((value - days) * 86400.0 * ISC_TIME_SECONDS_PRECISION) %
                              (86400LL * ISC_TIME_SECONDS_PRECISION));
    SetFixed<ISC_TIMESTAMP>(kSqlTimestamp, ts);
}

void TFbXSQLVAR::SetAsBoolean(bool value) {
    SetType(kSqlBoolean, 1, 0, 0);
    FData[0] = value ? 1 : 0;
    FNullInd = 0;
    Changed();
}

void TFbXSQLVAR::CopyValueFrom(const TFbXSQLVAR& other) {
    TRaw* raw = Raw();
    const TRaw* src = other.Raw();
    raw->sqltype = src->sqltype;
    raw->sqllen = src->sqllen;
    raw->sqlscale = src->sqlscale;
    raw->sqlsubtype = src->sqlsubtype;
    FData = other.FData;
    FNullInd = other.FNullInd;
    FHasBlobText = other.FHasBlobText;
    FBlobText = other.FBlobText;
    FModified = true;
    Bind();
}

void TFbXSQLVAR::Changed() {
    FModified = true;
    if (!FParent->IsParams() || FName.empty() || !FParent->HasEquelNames())
        return;
    for (const auto& other : FParent->FXSQLVARs)
        if (other.get() != this && other->FName == FName)
            other->CopyValueFrom(*this);
}

// ---------------------------------------------------------------------------------------------

TFbXSQLDA::TFbXSQLDA(TFbCustomQuery* query, bool isParams) : FQuery(query), FIsParams(isParams) { Resize(0); }

TFbXSQLDA::~TFbXSQLDA() = default;

void* TFbXSQLDA::Descriptor() { return FStorage.data(); }


void TFbXSQLDA::Resize(int count) {
    const int keep = std::min<int>(count, Count());
    std::vector<std::byte> storage(XSQLDA_LENGTH(count > 0 ? count : 1));
    auto* da = reinterpret_cast<::XSQLDA*>(storage.data());
    if (!FStorage.empty()) {
        auto* old = reinterpret_cast<::XSQLDA*>(FStorage.data());
        for (int i = 0; i < keep; ++i)
            da->sqlvar[i] = old->sqlvar[i];
        da->sqld = old->sqld;
    }
    da->version = SQLDA_VERSION1;
    da->sqln = static_cast<ISC_SHORT>(count > 0 ? count : 1);
    if (count == 0)
        da->sqld = 0;
    FStorage = std::move(storage);
    FXSQLVARs.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!FXSQLVARs[static_cast<std::size_t>(i)]) {
            FXSQLVARs[static_cast<std::size_t>(i)] = std::make_unique<TFbXSQLVAR>(this, i);
            auto& raw = da->sqlvar[i];
            raw.sqltype = kSqlNull | 1; // no value yet
        }
        FXSQLVARs[static_cast<std::size_t>(i)]->Bind();
    }
    RebuildNames();
}

void TFbXSQLDA::SetNames(const std::vector<std::string>& names) {
    Resize(static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i)
        FXSQLVARs[i]->FName = names[i];
    RebuildNames();
}

void TFbXSQLDA::RebuildNames() {
    FNames.clear();
    FEquelNames.clear();
    for (const auto& var : FXSQLVARs) {
        if (var->FName.empty())
            continue;
        const auto [it, inserted] = FNames.emplace(UpperCase(var->FName), var->FIndex);
        if (!inserted && std::find(FEquelNames.begin(), FEquelNames.end(), var->FName) == FEquelNames.end())
            FEquelNames.push_back(var->FName);
    }
}

TFbXSQLVAR& TFbXSQLDA::Vars(int index) const {
    if (index < 0 || index >= Count())
        FbError(feXSQLDAIndexOutOfRange);
    return *FXSQLVARs[static_cast<std::size_t>(index)];
}

TFbXSQLVAR* TFbXSQLDA::ByName(const std::string& name) const {
    const auto it = FNames.find(UpperCase(name));
    return it == FNames.end() ? nullptr : FXSQLVARs[static_cast<std::size_t>(it->second)].get();
}

TFbXSQLVAR& TFbXSQLDA::ParamByName(const std::string& name) const {
    if (TFbXSQLVAR* var = ByName(name))
        return *var;
    throw Exception("Parameter \"" + name + "\" does not exist in " + CmpFullName(FQuery));
}
