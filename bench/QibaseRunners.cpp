// zelwan_bench_qibase: the peer Qt SQL with its Firebird driver QIBASE in the cases of the benchmark,
// used the way its documentation shows: a forward-only query (no row cache) reading every value as
// text with QVariant::toString, the nearest to AsString.

#include "BenchWorker.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <memory>
#include <stdexcept>

namespace {

const QString kConnection = QStringLiteral("bench");

void Fail(const char* what, const QSqlError& error) {
    throw std::runtime_error(std::string(what) + ": " + error.text().toStdString());
}

QSqlDatabase Database(const TBenchConnection& connection) {
    QSqlDatabase db = QSqlDatabase::contains(kConnection) ? QSqlDatabase::database(kConnection, false)
                                                          : QSqlDatabase::addDatabase("QIBASE", kConnection);
    if (!db.isValid())
        throw std::runtime_error("the QIBASE driver is not available (libqt6sql6-ibase)");
    db.setDatabaseName(QString::fromStdString(connection.Database));
    db.setUserName(QString::fromStdString(connection.User));
    db.setPassword(QString::fromStdString(connection.Password));
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=WIN1250"));
    return db;
}

class TQibaseAttach final : public TBenchRunner {
public:
    explicit TQibaseAttach(const TBenchConnection& connection) : FDb(Database(connection)) {}
    void Repeat() override {
        if (!FDb.open())
            Fail("open", FDb.lastError());
        FDb.close();
    }

private:
    QSqlDatabase FDb;
};

// The connection test's work in Qt's terms: attach, the server's version and clock by query, detach.
class TQibaseConnectTest final : public TBenchRunner {
public:
    explicit TQibaseConnectTest(const TBenchConnection& connection) : FDb(Database(connection)) {}
    void Repeat() override {
        if (!FDb.open())
            Fail("open", FDb.lastError());
        {
            QSqlQuery query(FDb);
            if (!query.exec(
                    QStringLiteral("select rdb$get_context('SYSTEM', 'ENGINE_VERSION') from rdb$database")) ||
                !query.next())
                Fail("version", query.lastError());
            FVersion = query.value(0).toString().toStdString();
            if (!query.exec(QString::fromLatin1(kBenchClockSql)) || !query.next())
                Fail("clock", query.lastError());
            query.value(0).toDateTime();
        }
        FDb.close();
    }
    std::string Check() const override { return "server version " + FVersion; }

private:
    QSqlDatabase FDb;
    std::string FVersion;
};

class TQibaseFetch final : public TBenchRunner {
public:
    explicit TQibaseFetch(const TBenchConnection& connection) : FDb(Database(connection)) {}
    void Prepare() override {
        if (!FDb.open())
            Fail("open", FDb.lastError());
    }
    void WarmUp() override {
        Repeat();
        FDigest = {};
    }
    void Repeat() override {
        QSqlQuery query(FDb);
        query.setForwardOnly(true);
        if (!query.exec(QString::fromLatin1(kBenchFetchSql)))
            Fail("fetch", query.lastError());
        while (query.next())
            for (int i = 0; i < 5; ++i)
                FDigest.Add(query.value(i).toString().toStdString());
    }
    void Finish() override { FDb.close(); }
    std::string Check() const override { return FDigest.Text(); }

private:
    QSqlDatabase FDb;
    TBenchDigest FDigest;
};

template <class TRunner> std::unique_ptr<TBenchRunner> Make(const TBenchConnection& connection) {
    return std::make_unique<TRunner>(connection);
}

const TBenchRunnerEntry kRunners[] = {
    {"attach", "qibase", Make<TQibaseAttach>},
    {"connect-test", "qibase", Make<TQibaseConnectTest>},
    {"fetch", "qibase", Make<TQibaseFetch>},
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int code = RunBenchWorker(argc, argv, kRunners);
    return code < 0 ? 2 : code;
}
