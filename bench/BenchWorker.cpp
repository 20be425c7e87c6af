#include "BenchWorker.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <stdexcept>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_TOGGLE_COLLECT
#endif

namespace {

std::int64_t Nanoseconds(clockid_t clock) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::string Required(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        throw std::runtime_error(std::string(name) + " is not set (the benchmark driver sets it)");
    return value;
}

} // namespace

TBenchConnection BenchConnectionFromEnvironment() {
    TBenchConnection connection;
    connection.Database = Required("ZELWAN_BENCH_DATABASE");
    connection.User = "SYSKWR";
    std::ifstream in(Required("ZELWAN_FB_INSTANCE") + "/password");
    std::getline(in, connection.Password);
    if (connection.Password.empty())
        throw std::runtime_error("no password file in ZELWAN_FB_INSTANCE");
    return connection;
}

std::string TBenchDigest::Text() const {
    char text[64];
    std::snprintf(text, sizeof text, "%llu values, digest %016llx", static_cast<unsigned long long>(FCount),
                  static_cast<unsigned long long>(FHash));
    return text;
}

int RunBenchWorker(int argc, char** argv, std::span<const TBenchRunnerEntry> runners) {
    if (argc != 5 || std::strcmp(argv[1], "--worker") != 0)
        return -1;
    const std::string benchCase = argv[2];
    const std::string implementation = argv[3];
    const int repetitions = std::atoi(argv[4]);
    try {
        for (const TBenchRunnerEntry& entry : runners) {
            if (benchCase != entry.Case || implementation != entry.Implementation)
                continue;
            const std::unique_ptr<TBenchRunner> runner = entry.Make(BenchConnectionFromEnvironment());
            runner->Prepare();
            runner->WarmUp();
            for (int i = 0; i < repetitions; ++i) {
                CALLGRIND_START_INSTRUMENTATION;
                CALLGRIND_TOGGLE_COLLECT;
                const std::int64_t start = Nanoseconds(CLOCK_REALTIME);
                const std::int64_t wall = Nanoseconds(CLOCK_MONOTONIC);
                const std::int64_t cpu = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
                runner->Repeat();
                const std::int64_t cpuEnd = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
                const std::int64_t wallEnd = Nanoseconds(CLOCK_MONOTONIC);
                const std::int64_t end = Nanoseconds(CLOCK_REALTIME);
                CALLGRIND_TOGGLE_COLLECT;
                CALLGRIND_STOP_INSTRUMENTATION;
                std::printf("sample %lld %lld %lld %lld\n", static_cast<long long>(wallEnd - wall),
                            static_cast<long long>(cpuEnd - cpu), static_cast<long long>(start),
                            static_cast<long long>(end));
            }
            runner->Finish();
            std::printf("check %s\n", runner->Check().c_str());
            std::fflush(stdout);
            return 0;
        }
        std::fprintf(stderr, "%s: no runner for case %s, implementation %s\n", argv[0], benchCase.c_str(),
                     implementation.c_str());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s %s: %s\n", benchCase.c_str(), implementation.c_str(), e.what());
        return 1;
    }
}
