// The client layer in the cases of the benchmark, used as the program uses it.

#include "BenchRunners.h"

#include "core/FormatSettings.h"
#include "fbclient/FbDataSet.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbQuery.h"
#include "fbclient/FbTransaction.h"

#include <memory>

namespace {

std::vector<std::string> ConnectionLines(const TBenchConnection& connection) {
    return {"user_name=" + connection.User, "password=" + connection.Password, "lc_ctype=WIN1250"};
}

void SetUp(TFbDatabase& db, const TBenchConnection& connection) {
    db.SetSQLDialect(3);
    db.SetDBName(connection.Database);
    db.SetDBParams(ConnectionLines(connection));
}

// Open and Close of one database component: the server clock on every attach, the connection check
// before the close.
class TZelwanAttach final : public TBenchRunner {
public:
    explicit TZelwanAttach(const TBenchConnection& connection) { SetUp(FDb, connection); }
    void Repeat() override {
        FDb.Open();
        FDb.Close();
    }

private:
    TFbDatabase FDb;
};

// The database work of the connection test before the framework's database component exists: a
// component of its own, its name and connection lines, the attach (dialect, clock, version), the
// version read, and the release, which detaches.
class TZelwanConnectTest final : public TBenchRunner {
public:
    explicit TZelwanConnectTest(const TBenchConnection& connection) : FConnection(connection) {}
    void Repeat() override {
        auto db = std::make_unique<TFbDatabase>();
        SetUp(*db, FConnection);
        db->SetConnected(true);
        FMajor = db->ServerMajorVersion();
    }
    std::string Check() const override { return "server major version " + std::to_string(FMajor); }

private:
    TBenchConnection FConnection;
    int FMajor = -1;
};

// Every value of every row through TFbQuery and AsString, a fresh statement each time.
class TZelwanFetch final : public TBenchRunner {
public:
    explicit TZelwanFetch(const TBenchConnection& connection) { SetUp(FDb, connection); }
    void Prepare() override {
        // The suite's own formats, as the raw loop writes them, whatever the machine's locale.
        FormatSettings() = TFormatSettings{};
        FDb.SetDefaultTransaction(&FTr);
        FDb.Open();
        FTr.StartTransaction();
    }
    void WarmUp() override {
        Repeat();
        FDigest = {};
    }
    void Repeat() override {
        TFbQuery query;
        query.SetDatabase(&FDb);
        query.SetTransaction(&FTr);
        query.SetSQLText(kBenchFetchSql);
        for (query.ExecQuery(); !query.Eof(); query.Next())
            for (int i = 0; i < 5; ++i)
                FDigest.Add(query.Fields(i).AsString());
        query.Close();
    }
    void Finish() override {
        FTr.Commit();
        FDb.Close();
    }
    std::string Check() const override { return FDigest.Text(); }

private:
    TFbDatabase FDb;
    TFbTransaction FTr;
    TBenchDigest FDigest;
};

// The same rows through the client dataset: prepared once, as a dataset is; each repetition opens,
// walks every row reading every value as text (the dataset fetches in its chunks as it goes), and
// closes, which gives the rows back.
class TZelwanDataSetFetch final : public TBenchRunner {
public:
    explicit TZelwanDataSetFetch(const TBenchConnection& connection) { SetUp(FDb, connection); }
    void Prepare() override {
        FormatSettings() = TFormatSettings{};
        FDb.SetDefaultTransaction(&FTr);
        FDb.Open();
        FTr.StartTransaction();
        FDataSet.SetDatabase(&FDb);
        FDataSet.SetTransaction(&FTr);
        FDataSet.SelectSQL().SetText(kBenchFetchSql);
        FDataSet.Prepare();
    }
    void WarmUp() override {
        Repeat();
        FDigest = {};
    }
    void Repeat() override {
        FDataSet.Open();
        for (; !FDataSet.Eof(); FDataSet.Next())
            for (int i = 0; i < 5; ++i)
                FDigest.Add(FDataSet.Fields(i).AsString());
        FDataSet.Close();
    }
    void Finish() override {
        FDataSet.UnPrepare();
        FTr.Commit();
        FDb.Close();
    }
    std::string Check() const override { return FDigest.Text(); }

private:
    TFbDatabase FDb;
    TFbTransaction FTr;
    TFbDataSet FDataSet;
    TBenchDigest FDigest;
};

template <class TRunner> std::unique_ptr<TBenchRunner> Make(const TBenchConnection& connection) {
    return std::make_unique<TRunner>(connection);
}

} // namespace

const std::vector<TBenchRunnerEntry>& ZelwanRunners() {
    static const std::vector<TBenchRunnerEntry> runners = {
        {"attach", "zelwan", Make<TZelwanAttach>},
        {"connect-test", "zelwan", Make<TZelwanConnectTest>},
        {"fetch", "zelwan", Make<TZelwanFetch>},
        {"dataset-fetch", "zelwan", Make<TZelwanDataSetFetch>},
    };
    return runners;
}
