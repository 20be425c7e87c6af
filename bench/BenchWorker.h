#pragma once
// The measured side of the benchmark. The driver (BenchMain.cpp) runs every measurement in a process
// of its own, "<program> --worker <case> <implementation> <repetitions>", so that each client
// library starts cold and callgrind counts one implementation only. Each program registers the
// runners it has; this part runs one of them and prints what it measured, one line a repetition:
//
//   sample <wall ns> <client CPU ns> <start, realtime ns> <end, realtime ns>
//   check <what the repetitions read>
//
// Under callgrind (--instr-atstart=no --collect-atstart=no) only the repetitions are counted: the
// warm-up and the set-up run uninstrumented.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

// Where the worker's database lies and how to reach it, from the driver's environment.
struct TBenchConnection {
    std::string Database; // "127.0.0.1/port:/path"
    std::string User;
    std::string Password;
};

// Reads ZELWAN_BENCH_DATABASE and the password file of the instance in ZELWAN_FB_INSTANCE.
TBenchConnection BenchConnectionFromEnvironment();

class TBenchRunner {
public:
    virtual ~TBenchRunner() = default;
    // Unmeasured work before the first repetition (attaching for a fetch, say).
    virtual void Prepare() {}
    // One unmeasured run that loads what the first use loads (plug-ins, code pages). By default
    // one repetition.
    virtual void WarmUp() { Repeat(); }
    // One measured repetition.
    virtual void Repeat() = 0;
    // Unmeasured work after the last repetition.
    virtual void Finish() {}
    // What the repetitions read, for the driver to compare between implementations; empty when
    // there is nothing to compare.
    virtual std::string Check() const { return {}; }
};

using TBenchRunnerFactory = std::unique_ptr<TBenchRunner> (*)(const TBenchConnection& connection);

struct TBenchRunnerEntry {
    const char* Case;           // the case key of the driver's table ("attach", "fetch", ...)
    const char* Implementation; // "zelwan", "raw", "soci", "qibase", ...
    TBenchRunnerFactory Make;
};

// Handles "--worker <case> <implementation> <repetitions>": runs the registered runner and
// returns the exit code. Returns -1 when the arguments are not a worker call.
int RunBenchWorker(int argc, char** argv, std::span<const TBenchRunnerEntry> runners);

// A text digest (FNV-1a, 64 bits) for the check line: every value fed in order, each closed by a
// separator so that "ab","c" and "a","bc" differ.
class TBenchDigest {
public:
    void Add(const char* data, std::size_t size) noexcept {
        for (std::size_t i = 0; i < size; ++i)
            FHash = (FHash ^ static_cast<unsigned char>(data[i])) * 1099511628211ULL;
        FHash = (FHash ^ 0x1F) * 1099511628211ULL;
        ++FCount;
    }
    void Add(const std::string& value) noexcept { Add(value.data(), value.size()); }
    // "<values> values, digest <hex>".
    std::string Text() const;

private:
    std::uint64_t FHash = 14695981039346656037ULL;
    std::uint64_t FCount = 0;
};

// The table of the fetch cases: its name and the statement every implementation runs.
inline constexpr const char* kBenchTable = "BENCH_ROWS";
inline constexpr const char* kBenchFetchSql = "select i, bi, v, n, ts from BENCH_ROWS order by i";
inline constexpr int kBenchRows = 100000;
// The server clock as the client layer asks for it on every attach (dialect 3).
inline constexpr const char* kBenchClockSql = "SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE";

// The server errors of the translation case, raised on the benchmark's database: a delete stopped by
// a foreign key the suite's message tables name, and an insert stopped by a CHECK constraint, whose
// status-code row is a template pair.
inline constexpr const char* kBenchForeignKeyName = "FK_ADRES_KRAJADR_KRAJ";
inline constexpr const char* kBenchForeignKeySql = "delete from KRAJ where KRAJ_ID = 1";
inline constexpr const char* kBenchCheckSql = "insert into BENCH_CHECKED values (-1)";
// Translations per repetition: one call is a few microseconds, below what a clock sample tells apart.
inline constexpr int kBenchTranslationCalls = 1000;
