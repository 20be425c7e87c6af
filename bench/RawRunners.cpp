// The reference of every database case: the Firebird C API called directly, each call once, with
// the parameter blocks the client layer builds, and a fetch loop that formats the values as the layer
// shows them (the suite's formats: "yyyy-mm-dd hh:nn:ss", a decimal comma, UTF-8 text).

#include "BenchRunners.h"
#include "StatusCopy.h"

#include <ibase.h>
#include <iconv.h>

#include <array>
#include <charconv>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <vector>

namespace {

void CheckStatus(const ISC_STATUS* status, const char* what) {
    if (status[0] != 1 || status[1] == 0)
        return;
    std::string message = std::string(what) + ":";
    const ISC_STATUS* cursor = status;
    char line[1024];
    while (fb_interpret(line, sizeof line, &cursor) > 0)
        message += std::string(" ") + line;
    throw std::runtime_error(message);
}

// The connection lines of the client layer, in its order: user, password, character set.
std::string Dpb(const TBenchConnection& connection) {
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    auto add = [&dpb](int code, const std::string& value) {
        dpb += static_cast<char>(code);
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, connection.User);
    add(isc_dpb_password, connection.Password);
    add(isc_dpb_lc_ctype, "WIN1250");
    return dpb;
}

// The parameters of the layer's transactions: write, nowait, read_committed, rec_version.
constexpr char kTpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_nowait, isc_tpb_read_committed,
                         isc_tpb_rec_version};

struct TRawAttachment {
    isc_db_handle Db = 0;

    void Attach(const TBenchConnection& connection, const std::string& dpb) {
        ISC_STATUS_ARRAY status{};
        isc_attach_database(status, static_cast<short>(connection.Database.size()),
                            connection.Database.c_str(), &Db, static_cast<short>(dpb.size()), dpb.data());
        CheckStatus(status, "attach");
    }
    void Detach() {
        ISC_STATUS_ARRAY status{};
        isc_detach_database(status, &Db);
        CheckStatus(status, "detach");
    }
    void Info(char item) {
        ISC_STATUS_ARRAY status{};
        char answer[1024];
        isc_database_info(status, &Db, 1, &item, sizeof answer, answer);
        CheckStatus(status, "database info");
    }
    isc_tr_handle Start() {
        ISC_STATUS_ARRAY status{};
        isc_tr_handle tr = 0;
        isc_start_transaction(status, &tr, 1, &Db, static_cast<unsigned short>(sizeof kTpb), kTpb);
        CheckStatus(status, "start transaction");
        return tr;
    }
};

void Commit(isc_tr_handle& tr) {
    ISC_STATUS_ARRAY status{};
    isc_commit_transaction(status, &tr);
    CheckStatus(status, "commit");
}

// The server clock in one call inside its transaction: the fewest round trips the API allows.
void ServerClock(TRawAttachment& attachment) {
    isc_tr_handle tr = attachment.Start();
    XSQLDA out{};
    out.version = SQLDA_VERSION1;
    out.sqln = out.sqld = 1;
    ISC_TIMESTAMP now{};
    short nullFlag = -1;
    out.sqlvar[0].sqltype = SQL_TIMESTAMP + 1;
    out.sqlvar[0].sqllen = sizeof now;
    out.sqlvar[0].sqldata = reinterpret_cast<char*>(&now);
    out.sqlvar[0].sqlind = &nullFlag;
    ISC_STATUS_ARRAY status{};
    isc_dsql_exec_immed2(status, &attachment.Db, &tr, 0, kBenchClockSql, 3, nullptr, &out);
    CheckStatus(status, "server clock");
    Commit(tr);
}

// What one attach and detach of the layer calls (TFbDatabase Open and Close): attach, the dialect,
// the clock, the version, the connection check before a close, detach. `closeCheck` is false for a
// detach by destruction, which skips the check.
class TRawLayerCalls final : public TBenchRunner {
public:
    TRawLayerCalls(const TBenchConnection& connection, bool closeCheck)
        : FConnection(connection), FDpb(Dpb(connection)), FCloseCheck(closeCheck) {}

    void Repeat() override {
        TRawAttachment attachment;
        attachment.Attach(FConnection, FDpb);
        attachment.Info(isc_info_db_sql_dialect);
        ServerClock(attachment);
        attachment.Info(isc_info_firebird_version);
        if (FCloseCheck)
            attachment.Info(isc_info_base_level);
        attachment.Detach();
    }

private:
    TBenchConnection FConnection;
    std::string FDpb;
    bool FCloseCheck;
};

// Attach and detach alone: the least any client can do.
class TRawAttachDetach final : public TBenchRunner {
public:
    explicit TRawAttachDetach(const TBenchConnection& connection)
        : FConnection(connection), FDpb(Dpb(connection)) {}

    void Repeat() override {
        TRawAttachment attachment;
        attachment.Attach(FConnection, FDpb);
        attachment.Detach();
    }

private:
    TBenchConnection FConnection;
    std::string FDpb;
};

// ---- the fetch loop

// UTF-8 of each Windows-1250 byte from 0x80 up, read from glibc's converter; the bytes the code page
// leaves undefined stand for the C1 code points, as in the client layer.
struct TUtf8Forms {
    std::array<std::array<char, 4>, 128> Bytes{};
    std::array<unsigned char, 128> Length{};

    TUtf8Forms() {
        iconv_t cd = iconv_open("UTF-8", "CP1250");
        if (cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv knows no CP1250");
        for (int b = 0x80; b < 0x100; ++b) {
            char in = static_cast<char>(b);
            char* src = &in;
            std::size_t srcLeft = 1;
            char* dst = Bytes[b - 0x80].data();
            std::size_t dstLeft = 4;
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
                Bytes[b - 0x80] = {static_cast<char>(0xC0 | (b >> 6)), static_cast<char>(0x80 | (b & 0x3F))};
                dstLeft = 2;
            }
            Length[b - 0x80] = static_cast<unsigned char>(4 - dstLeft);
        }
        iconv_close(cd);
    }
};

// The formatting of each kind stays a function of its own, so that callgrind shows its cost beside
// the client layer's conversion of the same kind.
[[gnu::noinline]] std::string Integer(long long value) {
    char text[24];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A scaled integer with a decimal comma, trailing zeros of the fraction dropped.
[[gnu::noinline]] std::string Scaled(ISC_INT64 value, int decimals) {
    const bool negative = value < 0;
    const unsigned long long magnitude =
        negative ? 0 - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    int count = static_cast<int>(end - digits);
    char text[48];
    char* p = text;
    if (negative)
        *p++ = '-';
    if (count <= decimals) {
        *p++ = '0';
    } else {
        std::memcpy(p, digits, static_cast<std::size_t>(count - decimals));
        p += count - decimals;
    }
    int fraction = decimals;
    while (fraction > 0 &&
           (count - decimals + fraction - 1 < 0 || digits[count - decimals + fraction - 1] == '0'))
        --fraction;
    if (fraction > 0) {
        *p++ = ',';
        for (int i = 0; i < fraction; ++i) {
            const int at = count - decimals + i;
            *p++ = at < 0 ? '0' : digits[at];
        }
    }
    return std::string(text, p);
}

char* Digits(char* p, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        p[i] = static_cast<char>('0' + value % 10);
    return p + width;
}

// The client's own decoding, then the digits written straight (a C programmer's loop without printf).
[[gnu::noinline]] std::string Timestamp(const ISC_TIMESTAMP& value) {
    std::tm t{};
    isc_decode_timestamp(const_cast<ISC_TIMESTAMP*>(&value), &t);
    char text[20];
    char* p = Digits(text, t.tm_year + 1900, 4);
    *p++ = '-';
    p = Digits(p, t.tm_mon + 1, 2);
    *p++ = '-';
    p = Digits(p, t.tm_mday, 2);
    if (value.timestamp_time != 0) {
        *p++ = ' ';
        p = Digits(p, t.tm_hour, 2);
        *p++ = ':';
        p = Digits(p, t.tm_min, 2);
        *p++ = ':';
        p = Digits(p, t.tm_sec, 2);
    }
    return std::string(text, p);
}

class TRawFetch final : public TBenchRunner {
public:
    explicit TRawFetch(const TBenchConnection& connection) : FConnection(connection) {}

    void Prepare() override {
        FAttachment.Attach(FConnection, Dpb(FConnection));
        FTr = FAttachment.Start();
    }
    void WarmUp() override {
        Repeat();
        FDigest = {};
    }
    void Repeat() override {
        ISC_STATUS_ARRAY status{};
        isc_stmt_handle stmt = 0;
        isc_dsql_allocate_statement(status, &FAttachment.Db, &stmt);
        CheckStatus(status, "allocate");
        std::vector<char> storage(XSQLDA_LENGTH(5));
        auto* out = reinterpret_cast<XSQLDA*>(storage.data());
        out->version = SQLDA_VERSION1;
        out->sqln = 5;
        isc_dsql_prepare(status, &FTr, &stmt, 0, kBenchFetchSql, 3, out);
        CheckStatus(status, "prepare");
        std::vector<std::vector<char>> buffers(5);
        short nulls[5] = {};
        for (int i = 0; i < 5; ++i) {
            XSQLVAR& var = out->sqlvar[i];
            const int type = var.sqltype & ~1;
            buffers[i].resize(type == SQL_VARYING ? var.sqllen + 2 : var.sqllen);
            var.sqldata = buffers[i].data();
            var.sqlind = &nulls[i];
        }
        isc_dsql_execute(status, &FTr, &stmt, 3, nullptr);
        CheckStatus(status, "execute");
        for (;;) {
            const ISC_STATUS fetched = isc_dsql_fetch(status, &stmt, 3, out);
            if (fetched == 100)
                break;
            CheckStatus(status, "fetch");
            for (int i = 0; i < 5; ++i) {
                const XSQLVAR& var = out->sqlvar[i];
                if (nulls[i] == -1) {
                    FDigest.Add(std::string());
                    continue;
                }
                switch (var.sqltype & ~1) {
                case SQL_LONG:
                    FDigest.Add(Integer(*reinterpret_cast<ISC_LONG*>(var.sqldata)));
                    break;
                case SQL_INT64:
                    FDigest.Add(var.sqlscale == 0
                                    ? Integer(*reinterpret_cast<ISC_INT64*>(var.sqldata))
                                    : Scaled(*reinterpret_cast<ISC_INT64*>(var.sqldata), -var.sqlscale));
                    break;
                case SQL_VARYING: {
                    unsigned short length = 0;
                    std::memcpy(&length, var.sqldata, 2);
                    FDigest.Add(Text(var.sqldata + 2, length));
                    break;
                }
                case SQL_TIMESTAMP:
                    FDigest.Add(Timestamp(*reinterpret_cast<ISC_TIMESTAMP*>(var.sqldata)));
                    break;
                default:
                    throw std::runtime_error("a column type the loop does not know");
                }
            }
        }
        isc_dsql_free_statement(status, &stmt, DSQL_drop);
        CheckStatus(status, "free");
    }
    void Finish() override {
        Commit(FTr);
        FAttachment.Detach();
    }
    std::string Check() const override { return FDigest.Text(); }

private:
    [[gnu::noinline]] std::string Text(const char* bytes, std::size_t size) const {
        std::string text;
        text.reserve(size * 2);
        for (std::size_t i = 0; i < size; ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            if (b < 0x80)
                text += bytes[i];
            else
                text.append(FForms.Bytes[b - 0x80].data(), FForms.Length[b - 0x80]);
        }
        return text;
    }

    TBenchConnection FConnection;
    TRawAttachment FAttachment;
    isc_tr_handle FTr = 0;
    TUtf8Forms FForms;
    TBenchDigest FDigest;
};

// ---- the error translation's reference

// What the client library itself makes of the status vector of the same server error: the English
// lines through fb_interpret, gathered into one text; with `whole`, also the SQL code and its text
// (isc_sqlcode, isc_sql_interprete), as the client layer asks for them when it builds the error.
class TRawInterpret final : public TBenchRunner {
public:
    TRawInterpret(const TBenchConnection& connection, bool whole) : FConnection(connection), FWhole(whole) {}
    void Prepare() override {
        TRawAttachment attachment;
        attachment.Attach(FConnection, Dpb(FConnection));
        isc_tr_handle tr = attachment.Start();
        ISC_STATUS_ARRAY status{};
        isc_dsql_execute_immediate(status, &attachment.Db, &tr, 0, kBenchForeignKeySql, 3, nullptr);
        if (status[0] != 1 || status[1] != isc_foreign_key)
            throw std::runtime_error("the delete did not stop at the foreign key");
        FStatus = TBenchStatusCopy(status);
        isc_rollback_transaction(status, &tr);
        CheckStatus(status, "rollback");
        attachment.Detach();
    }
    void Repeat() override {
        for (int i = 0; i < kBenchTranslationCalls; ++i)
            FDigest.Add(Interpret());
    }
    std::string Check() const override { return FDigest.Text(); }

private:
    std::string Interpret() const {
        std::string text;
        char line[1024];
        if (FWhole) {
            const ISC_LONG sqlCode = isc_sqlcode(FStatus.Data());
            isc_sql_interprete(static_cast<short>(sqlCode), line, sizeof line);
            text += line;
            text += "\r\n";
        }
        const ISC_STATUS* cursor = FStatus.Data();
        while (fb_interpret(line, sizeof line, &cursor) > 0) {
            text += line;
            text += "\r\n";
        }
        return text;
    }

    TBenchConnection FConnection;
    bool FWhole;
    TBenchStatusCopy FStatus;
    TBenchDigest FDigest;
};

template <class TRunner, auto... Args>
std::unique_ptr<TBenchRunner> Make(const TBenchConnection& connection) {
    return std::make_unique<TRunner>(connection, Args...);
}

} // namespace

const std::vector<TBenchRunnerEntry>& RawRunners() {
    static const std::vector<TBenchRunnerEntry> runners = {
        {"attach", "raw", Make<TRawLayerCalls, true>},
        {"attach", "raw-bare", Make<TRawAttachDetach>},
        {"connect-test", "raw", Make<TRawLayerCalls, false>},
        {"fetch", "raw", Make<TRawFetch>},
        // The reference of the dataset's fetch is the same loop.
        {"dataset-fetch", "raw", Make<TRawFetch>},
        {"translate", "raw", Make<TRawInterpret, false>},
        {"translate", "raw-whole", Make<TRawInterpret, true>},
    };
    return runners;
}
