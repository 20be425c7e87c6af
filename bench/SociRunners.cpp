// zelwan_bench_soci: the peer SOCI (its Firebird backend) in the cases of the benchmark, used the
// way its documentation shows, the fetch with values bound to variables of their own types (no text
// conversion: SOCI hands text over in the connection's character set).

#include "BenchWorker.h"

#include <soci/firebird/soci-firebird.h>
#include <soci/soci.h>

#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace {

std::string ConnectString(const TBenchConnection& connection) {
    return "service=" + connection.Database + " user=" + connection.User +
           " password=" + connection.Password + " charset=WIN1250";
}

class TSociAttach final : public TBenchRunner {
public:
    explicit TSociAttach(const TBenchConnection& connection) : FConnect(ConnectString(connection)) {}
    void Repeat() override {
        soci::session session(soci::firebird, FConnect);
        session.close();
    }

private:
    std::string FConnect;
};

// The connection test's work in SOCI's terms: attach, the server's version and clock by query, detach.
class TSociConnectTest final : public TBenchRunner {
public:
    explicit TSociConnectTest(const TBenchConnection& connection) : FConnect(ConnectString(connection)) {}
    void Repeat() override {
        soci::session session(soci::firebird, FConnect);
        session << "select rdb$get_context('SYSTEM', 'ENGINE_VERSION') from rdb$database",
            soci::into(FVersion);
        std::tm now{};
        session << kBenchClockSql, soci::into(now);
        session.close();
    }
    std::string Check() const override { return "server version " + FVersion; }

private:
    std::string FConnect;
    std::string FVersion;
};

class TSociFetch final : public TBenchRunner {
public:
    explicit TSociFetch(const TBenchConnection& connection) : FConnect(ConnectString(connection)) {}
    void Prepare() override { FSession = std::make_unique<soci::session>(soci::firebird, FConnect); }
    void WarmUp() override {
        Repeat();
        FRows = 0;
    }
    void Repeat() override {
        int i = 0;
        long long bi = 0;
        std::string v;
        double n = 0;
        std::tm ts{};
        soci::statement st = (FSession->prepare << kBenchFetchSql, soci::into(i), soci::into(bi),
                              soci::into(v), soci::into(n), soci::into(ts));
        st.execute();
        while (st.fetch())
            ++FRows;
    }
    void Finish() override { FSession->close(); }
    std::string Check() const override { return std::to_string(FRows) + " rows"; }

private:
    std::string FConnect;
    std::unique_ptr<soci::session> FSession;
    long long FRows = 0;
};

template <class TRunner> std::unique_ptr<TBenchRunner> Make(const TBenchConnection& connection) {
    return std::make_unique<TRunner>(connection);
}

const TBenchRunnerEntry kRunners[] = {
    {"attach", "soci", Make<TSociAttach>},
    {"connect-test", "soci", Make<TSociConnectTest>},
    {"fetch", "soci", Make<TSociFetch>},
};

} // namespace

int main(int argc, char** argv) {
    const int code = RunBenchWorker(argc, argv, kRunners);
    return code < 0 ? 2 : code;
}
