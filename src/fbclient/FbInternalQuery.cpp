// The database's internal transaction at work: single-value queries and the server clock.

#include "fbclient/FbDatabase.h"
#include "fbclient/FbQuery.h"
#include "fbclient/FbTransaction.h"

#include <chrono>
#include <ctime>

namespace {

// Runs `work` on `tr`, started first when it is not active, and commits afterwards when `commit` is
// set. On any failure `tr` is rolled back when active and the failure re-raised.
template <class TWork> auto InTransaction(TFbCustomTransaction* tr, bool commit, TWork work) {
    try {
        if (!tr->Active())
            tr->StartTransaction();
        auto result = work();
        if (commit)
            tr->Commit();
        return result;
    } catch (...) {
        try {
            if (tr->Active())
                tr->Rollback();
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
}

} // namespace

TFbFieldValue TFbCustomDatabase::QueryValue(const std::string& sql, int column,
                                            TFbCustomTransaction* transaction) {
    TFbCustomTransaction* tr = transaction ? transaction : vInternalTransaction;
    TFbQuery query;
    return InTransaction(tr, tr == vInternalTransaction, [&] {
        query.SetDatabase(this);
        query.SetTransaction(tr);
        query.SetSQLText(sql);
        query.ExecQuery();
        TFbFieldValue value;
        TFbXSQLVAR& field = query.Fields(column);
        value.IsNull = field.IsNull();
        value.SQLType = field.SQLType();
        if (!value.IsNull) {
            value.Text = field.AsString();
            switch (value.SQLType) {
            case kSqlTimestamp:
            case kSqlTypeDate:
            case kSqlTypeTime:
                value.DateTime = field.AsDateTime();
                break;
            case kSqlShort:
            case kSqlLong:
            case kSqlInt64:
            case kSqlFloat:
            case kSqlDouble:
            case kSqlDFloat:
                value.Number = field.AsDouble();
                break;
            default:
                break;
            }
        }
        query.Close();
        return value;
    });
}

TDateTime TFbCustomDatabase::GetServerTime() {
    const char* sql = SQLDialect() > 1 ? "SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE"
                                       : "SELECT CAST('NOW' AS DATE) from RDB$DATABASE";
    // The clock is one row of one value, run at once: one round trip inside the transaction instead
    // of a statement's prepare, execute, fetch and free. A dialect-1 DATE is a TIMESTAMP.
    TFbQuery query;
    return InTransaction(vInternalTransaction, true, [&] {
        query.SetDatabase(this);
        query.SetTransaction(vInternalTransaction);
        query.SetSQLText(sql);
        query.ExecImmediate({{kSqlTimestamp, 8}});
        return query.Fields(0).AsDateTime();
    });
}

TDateTime NowDateTime() {
    // Local wall-clock time in the framework's day count (days since 1899-12-30).
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const double fraction =
        std::chrono::duration<double>(now - std::chrono::system_clock::from_time_t(seconds)).count();
    return (static_cast<double>(seconds) + static_cast<double>(local.tm_gmtoff) + fraction) / 86400.0 +
           25569.0;
}
