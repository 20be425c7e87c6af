// The client layer in the cases of the benchmark, used as the program uses it.

#include "BenchRunners.h"

#include "StatusCopy.h"

#include "core/FormatSettings.h"
#include "fbclient/FbDataSet.h"
#include "dberrors/ErrorTranslation.h"
#include "dberrors/MessageTables.h"
#include "dblayer/KwDatabase.h"
#include "fbclient/FbApi.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"
#include "fbclient/FbQuery.h"
#include "fbclient/FbTransaction.h"
#include "platform/Credentials.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

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

// The database work of the connection test: a database component of its own without owner, the six
// settings as the dialog's test copies them, the database name and connection lines (the system
// account, its password from the credential source), the attach (dialect, clock, version) and the
// release, which detaches.
class TZelwanConnectTest final : public TBenchRunner {
public:
    explicit TZelwanConnectTest(const TBenchConnection& connection) : FConnection(connection) {
        // "127.0.0.1/port:/dir/bench.fdb": the server, then the directory and the file without its
        // extension, which the component adds as the suite's files get it.
        const std::size_t colon = connection.Database.find(':');
        const std::filesystem::path path = connection.Database.substr(colon + 1);
        FSerwer = connection.Database.substr(0, colon);
        FDir = path.parent_path().string();
        FFile = path.stem().string();
        FExt = path.extension().string();
        // The credential source the program reads; the process's own environment, nothing written.
        ::setenv(platform::kSystemAccountPasswordVariable, connection.Password.c_str(), 1);
    }
    void Prepare() override {
        auto db = Make();
        if (db->DBName() != FConnection.Database)
            throw std::runtime_error("the component composes " + db->DBName() + ", not " + FConnection.Database);
    }
    void Repeat() override {
        auto db = Make();
        db->SetConnected(true);
        FAttached += db->Connected() ? 1 : 0;
        ++FTests;
    }
    std::string Check() const override {
        return std::to_string(FAttached) + " of " + std::to_string(FTests) + " attached";
    }

private:
    std::unique_ptr<TkwDatabase> Make() const {
        auto db = std::make_unique<TkwDatabase>();
        db->SetRemoteSerwer(true);
        db->SetSerwerName(FSerwer);
        db->SetProtocolName(npTCP);
        db->SetDatabaseDir(FDir);
        db->SetDatabaseFileName(FFile);
        db->SetDatabaseFileExt(FExt);
        db->PrepareParams();
        return db;
    }

    TBenchConnection FConnection;
    std::string FSerwer, FDir, FFile, FExt;
    int FAttached = 0, FTests = 0;
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

// ---- the error translation

// The server error a statement raises on the benchmark's database, as the client layer reports it,
// and the status vector it was made from.
struct TRaisedError {
    std::unique_ptr<EFbError> Error;
    TBenchStatusCopy Status;
};

TRaisedError Raise(TFbDatabase& db, TFbTransaction& tr, const char* sql) {
    TFbQuery query;
    query.SetDatabase(&db);
    query.SetTransaction(&tr);
    query.SetSQLText(sql);
    try {
        query.ExecQuery();
    } catch (const EFbLibraryError& e) {
        return {std::make_unique<EFbLibraryError>(e), TBenchStatusCopy(StatusVector())};
    }
    throw std::runtime_error(std::string("the server took ") + sql);
}

// The translation of one real server error, per call. The error is raised once, on an attachment
// kept through the run (the translation is handed the database, as the program hands it its own).
// kind: "fk", IbErrorToStr of the foreign-key violation the message tables name; "check", IbErrorToStr
// of a CHECK violation, whose row is a template pair that Tlumacz's filling lines up with the message;
// "whole", the foreign-key error made from its status vector (isc_sqlcode, isc_sql_interprete,
// isc_interprete) and translated, the path from a failed call to the Polish text.
template <char Kind> class TZelwanTranslate final : public TBenchRunner {
public:
    explicit TZelwanTranslate(const TBenchConnection& connection) { SetUp(FDb, connection); }
    void Prepare() override {
        FDb.SetDefaultTransaction(&FTr);
        FDb.Open();
        FTr.StartTransaction();
        FRaised = Raise(FDb, FTr, Kind == 'c' ? kBenchCheckSql : kBenchForeignKeySql);
        FTr.Rollback();
        if (FRaised.Status.Code() != FRaised.Error->IBErrorCode())
            throw std::runtime_error("the status vector was overwritten before it was kept");
        // The numbers are worth something only when the path is the one meant.
        const std::string text = Translate();
        const std::string expected =
            Kind == 'c' ? "Operacja naruszyła warunek" : KomunikatDla_ViolationOfForeignKey(kBenchForeignKeyName);
        if (expected.empty() || text.rfind(expected, 0) != 0)
            throw std::runtime_error("the translation gives \"" + text + "\" for " + FRaised.Error->Message());
    }
    void Repeat() override {
        for (int i = 0; i < kBenchTranslationCalls; ++i)
            FDigest.Add(Translate());
    }
    void Finish() override { FDb.Close(); }
    std::string Check() const override { return FDigest.Text(); }

private:
    std::string Translate() {
        if constexpr (Kind != 'w') {
            return IbErrorToStr(*FRaised.Error, &FDb);
        } else {
            FRaised.Status.CopyTo(StatusVector());
            try {
                IBError(FDb.ClientLibrary(), nullptr);
            } catch (const EFbLibraryError& e) {
                return IbErrorToStr(e, &FDb);
            }
        }
    }

    TFbDatabase FDb;
    TFbTransaction FTr;
    TRaisedError FRaised;
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
        {"translate", "zelwan", Make<TZelwanTranslate<'f'>>},
        {"translate", "zelwan-check", Make<TZelwanTranslate<'c'>>},
        {"translate", "zelwan-whole", Make<TZelwanTranslate<'w'>>},
    };
    return runners;
}
