// zelwan_bench: the benchmark of the client layer against the raw C API and the peer libraries, and
// of the program's start-up against a bare Qt dialog (scripts/bench.sh builds and runs it).
//
// It starts a private Firebird server (the tests' fixture), makes the database with the table of the
// fetch cases, and measures every case and implementation in processes of their own, in interleaved
// rounds (the order of the implementations turns from round to round), so that a change of the
// machine's load falls on all of them alike. Three passes:
//   - time: wall time and client CPU of every repetition, the median over all rounds;
//   - instructions: the same repetitions under callgrind, which counts the same on a busy machine;
//   - round trips: one repetition each while tcpdump captures the loopback (needs root).
// The table goes to standard output as Markdown.

#include "BenchRunners.h"
#include "FbTestServer.h"
#include "RoundTrips.h"

#include "core/Encoding.h"
#include "fbclient/FbDatabase.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// ---- the cases

enum class TCaseKind { Worker, ProgramStart };

struct TImplementation {
    const char* Key;     // the runner's implementation key, or the program for a start case
    const char* Label;   // as the table shows it
    const char* Program; // the program that runs it, beside this one; empty: this program
    bool Reference;      // the ratios of the case are to this one
};

struct TBenchCase {
    const char* Number;
    const char* Key;
    const char* Title;
    TCaseKind Kind;
    int Repetitions;          // per process and round
    int CallgrindRepetitions; // per process under callgrind
    std::vector<TImplementation> Implementations;
    // The calls one repetition makes, for a case measured per call: times and instructions are
    // shown divided by it.
    int CallsPerRepetition = 1;
};

constexpr const char* kSoci = "zelwan_bench_soci";
constexpr const char* kQibase = "zelwan_bench_qibase";

// The rows of the table. A new case gets a row here and its runners in BenchRunners.h's lists.
const std::vector<TBenchCase> kCases = {
    {"1",
     "attach",
     "attach + detach (Open and Close; the server clock on every attach)",
     TCaseKind::Worker,
     10,
     3,
     {{"zelwan", "Zelwan", "", false},
      {"raw", "raw C API, the same calls", "", true},
      {"raw-bare", "raw C API, attach and detach alone", "", false},
      {"soci", "SOCI (Firebird backend)", kSoci, false},
      {"qibase", "Qt QIBASE", kQibase, false}}},
    {"2",
     "connect-test",
     "the connection test's database work: a TkwDatabase of its own, its six settings, PrepareParams, "
     "Connected (attach, dialect, server clock, version), release",
     TCaseKind::Worker,
     10,
     3,
     {{"zelwan", "Zelwan", "", false},
      {"raw", "raw C API, the same calls", "", true},
      {"soci", "SOCI (Firebird backend)", kSoci, false},
      {"qibase", "Qt QIBASE", kQibase, false}}},
    {"3",
     "fetch",
     "fetch of 100 000 rows, every value as text (TFbQuery, AsString)",
     TCaseKind::Worker,
     2,
     1,
     {{"zelwan", "Zelwan", "", false},
      {"raw", "raw C API loop", "", true},
      {"soci", "SOCI (Firebird backend)", kSoci, false},
      {"qibase", "Qt QIBASE", kQibase, false}}},
    {"4",
     "dataset-fetch",
     "fetch of 100 000 rows through the client dataset (Open, every row and value as text, Close)",
     TCaseKind::Worker,
     2,
     1,
     {{"zelwan", "Zelwan", "", false}, {"raw", "raw C API loop", "", true}}},
    {"5",
     "start",
     "program start to the dialog shown (offscreen platform)",
     TCaseKind::ProgramStart,
     2,
     1,
     {{"zelwan", "zelwan", "zelwan", false}, {"bare", "bare Qt dialog", "zelwan_bench_dialog", true}}},
    // No peer: neither SOCI nor QIBASE translates a server error; both hand over the client
    // library's English text.
    {"6",
     "translate",
     "the error translation of a real foreign-key violation (FK_ADRES_KRAJADR_KRAJ), per call",
     TCaseKind::Worker,
     10,
     2,
     {{"zelwan", "Zelwan: IbErrorToStr (the key's sentence from the message tables)", "", false},
      {"zelwan-check", "Zelwan: IbErrorToStr of a CHECK violation (the status row's template pair filled)", "",
       false},
      {"zelwan-whole", "Zelwan: the error made from the status vector, then IbErrorToStr", "", false},
      {"raw", "raw C API: fb_interpret of the same status vector", "", true},
      {"raw-whole", "raw C API: isc_sqlcode, isc_sql_interprete and fb_interpret of it", "", false}},
     kBenchTranslationCalls},
};

// ---- processes

struct TProcessResult {
    int Code = -1;
    std::string Output;
    std::string Errors;
    double WallSeconds = 0;
    double CpuSeconds = 0; // user and system time of the process
};

using TEnvironment = std::vector<std::pair<std::string, std::string>>;

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a program (no shell) with the environment changed as given; collects its standard output, its
// errors (through a file), its exit code, wall time and CPU.
TProcessResult RunProcess(const std::vector<std::string>& argv, const TEnvironment& changes,
                          const fs::path& errorsFile) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        const std::string name(*e, eq ? static_cast<std::size_t>(eq - *e) : std::strlen(*e));
        if (std::none_of(changes.begin(), changes.end(), [&](const auto& c) { return c.first == name; }))
            envStrings.emplace_back(*e);
    }
    for (const auto& [name, value] : changes)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp, args;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (auto& s : argCopy)
        args.push_back(s.data());
    args.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    const int errFd = ::open(errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        if (errFd >= 0)
            ::dup2(errFd, 2);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (errFd >= 0)
        ::close(errFd);
    TProcessResult result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        result.Output.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.WallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.Errors = ReadWholeFile(errorsFile);
    return result;
}

fs::path OwnDirectory() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

std::optional<fs::path> FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/sbin:/usr/bin:/sbin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((fs::path(dir) / name).c_str(), X_OK) == 0)
            return fs::path(dir) / name;
    return std::nullopt;
}

// ---- what is measured

struct TSample {
    double Wall = 0, Cpu = 0;        // seconds
    std::int64_t Start = 0, End = 0; // realtime ns, for the capture
};

struct TMeasurement {
    std::vector<double> Wall, Cpu;
    std::optional<double> Instructions; // per repetition
    std::optional<int> RoundTrips;
    std::string Check;
    std::string Failure; // why there are no numbers
};

struct TWorkerRun {
    std::vector<TSample> Samples;
    std::string Check;
};

TWorkerRun ParseWorkerOutput(const std::string& output) {
    TWorkerRun run;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("sample ", 0) == 0) {
            long long wall = 0, cpu = 0, start = 0, end = 0;
            std::sscanf(line.c_str() + 7, "%lld %lld %lld %lld", &wall, &cpu, &start, &end);
            run.Samples.push_back({wall / 1e9, cpu / 1e9, start, end});
        } else if (line.rfind("check ", 0) == 0) {
            run.Check = line.substr(6);
        }
    }
    return run;
}

// The "totals:" line of a callgrind output file: the instructions collected. (Its "summary:" line
// stays 0 when collection was switched on by the program.)
std::optional<double> CallgrindTotal(const fs::path& file) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("totals:", 0) == 0)
            return std::strtod(line.c_str() + 7, nullptr);
    return std::nullopt;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The spread of the samples: the interquartile range over the median, in percent.
double Spread(std::vector<double> values) {
    if (values.size() < 4)
        return NAN;
    std::sort(values.begin(), values.end());
    const double q1 = values[values.size() / 4];
    const double q3 = values[values.size() * 3 / 4];
    return 100 * (q3 - q1) / Median(values);
}

// ---- the benchmark

struct TOptions {
    int Rounds = 5;
    bool Callgrind = true;
    bool RoundTrips = true;
    std::vector<std::string> Cases; // empty: all
    bool Keep = false;
};

class TBench {
public:
    explicit TBench(TOptions options) : FOptions(std::move(options)) {}
    int Run();

private:
    bool Selected(const TBenchCase& c) const {
        return FOptions.Cases.empty() ||
               std::find(FOptions.Cases.begin(), FOptions.Cases.end(), c.Key) != FOptions.Cases.end() ||
               std::find(FOptions.Cases.begin(), FOptions.Cases.end(), c.Number) != FOptions.Cases.end();
    }
    void SetUpServer();
    void SetUpProgramCopies();
    std::optional<fs::path> ProgramOf(const TBenchCase& c, const TImplementation& impl) const;
    std::vector<std::string> Command(const TBenchCase& c, const TImplementation& impl, int repetitions) const;
    TEnvironment Environment(const TBenchCase& c) const;
    void TimeRound(int round);
    void CountInstructions();
    void CountRoundTrips();
    void Report() const;
    TMeasurement& At(const TBenchCase& c, const TImplementation& impl) { return FResults[{c.Key, impl.Key}]; }
    const TMeasurement* Find(const char* caseKey, const char* implKey) const {
        const auto it = FResults.find({caseKey, implKey});
        return it == FResults.end() ? nullptr : &it->second;
    }

    TOptions FOptions;
    fs::path FDir;
    std::unique_ptr<TFbTestServer> FServer;
    std::string FDatabase;
    std::unique_ptr<TFbDatabase> FHolder;
    std::string FServerVersion;
    std::map<std::pair<std::string, std::string>, TMeasurement> FResults;
    int FErrorNumber = 0;
};

void TBench::SetUpServer() {
    FServer = std::make_unique<TFbTestServer>(FDir / "instance");
    for (const auto& [name, value] : FServer->Environment())
        ::setenv(name.c_str(), value.c_str(), 1);
    FServer->Start();
    const std::string path = (FDir / "bench.fdb").string();
    CreateFbTestDatabase(*FServer, path);
    // 100 000 rows made by the server itself. The texts are Polish in Windows-1250, the connection's
    // character set; their lengths vary, some timestamps fall at midnight, amounts of both signs end
    // in zeros now and then.
    const std::string fill =
        Utf8ToCp1250("execute block as\n"
                     "  declare k integer = 0;\n"
                     "begin\n"
                     "  while (k < 100000) do begin\n"
                     "    insert into BENCH_ROWS values (:k, :k * 1000000007 - 50000000000000,\n"
                     "      substring('Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ źdźbło żółw' from mod(:k, 11) + 1 for 12 "
                     "+ mod(:k, 13)) || :k,\n"
                     "      (:k * 7919 - 400000000) * 0.01,\n"
                     "      dateadd(:k * 7919 second to timestamp '2024-01-01 00:00:00'));\n"
                     "    k = k + 1;\n"
                     "  end\n"
                     "end");
    ExecuteFbTestSql(*FServer, path,
                     {"create table BENCH_ROWS (i integer not null primary key, bi bigint, v varchar(30),"
                      " n numeric(15,2), ts timestamp)",
                      fill,
                      // The server errors of the translation case: a country still used by an
                      // address, and a table whose CHECK refuses a negative amount.
                      "create table KRAJ (KRAJ_ID integer not null primary key)",
                      "create table ADRES (ID integer not null primary key, KRAJ_ID integer,"
                      " constraint " + std::string(kBenchForeignKeyName) +
                          " foreign key (KRAJ_ID) references KRAJ (KRAJ_ID))",
                      "create table BENCH_CHECKED (AMOUNT integer constraint CHK_BENCH_AMOUNT check (AMOUNT >= 0))",
                      "insert into KRAJ values (1)", "insert into ADRES values (1, 1)"});
    FDatabase = FServer->TcpName(path);
    // One attachment held through the whole run keeps the database open in the server, so that no
    // case pays for opening the file and the page cache stays warm.
    FHolder = std::make_unique<TFbDatabase>();
    FHolder->SetDBName(FDatabase);
    FHolder->SetDBParams(FbTestParams());
    FHolder->Open();
    FServerVersion = FHolder->FirebirdVersionText();
}

void TBench::SetUpProgramCopies() {
    // The program keeps baza.set beside itself: a copy alone in a directory of its own starts as on a
    // fresh workstation.
    fs::create_directories(FDir / "app" / "alone");
    fs::create_directories(FDir / "app" / "config");
    const fs::path program = OwnDirectory() / "zelwan";
    if (fs::exists(program))
        fs::copy_file(program, FDir / "app" / "alone" / "zelwan", fs::copy_options::overwrite_existing);
}

std::optional<fs::path> TBench::ProgramOf(const TBenchCase& c, const TImplementation& impl) const {
    fs::path program;
    if (c.Kind == TCaseKind::ProgramStart && std::strcmp(impl.Program, "zelwan") == 0)
        program = FDir / "app" / "alone" / "zelwan";
    else
        program = *impl.Program ? OwnDirectory() / impl.Program : fs::read_symlink("/proc/self/exe");
    if (!fs::exists(program))
        return std::nullopt;
    return program;
}

std::vector<std::string> TBench::Command(const TBenchCase& c, const TImplementation& impl,
                                         int repetitions) const {
    std::vector<std::string> command = {ProgramOf(c, impl)->string()};
    if (c.Kind == TCaseKind::Worker) {
        command.push_back("--worker");
        command.push_back(c.Key);
        command.push_back(impl.Key);
        command.push_back(std::to_string(repetitions));
    }
    return command;
}

TEnvironment TBench::Environment(const TBenchCase& c) const {
    if (c.Kind == TCaseKind::ProgramStart) {
        const fs::path app = FDir / "app";
        return {{"QT_QPA_PLATFORM", "offscreen"},
                {"ZELWAN_QUIT_WHEN_SHOWN", "1"},
                {"XDG_CONFIG_HOME", (app / "config").string()},
                {"ZELWAN_REGISTRY_USER", (app / "user.reg").string()},
                {"ZELWAN_REGISTRY_MACHINE", (app / "machine.reg").string()}};
    }
    TEnvironment env = FServer->Environment();
    env.emplace_back("ZELWAN_FB_INSTANCE", FServer->Dir().string());
    env.emplace_back("ZELWAN_BENCH_DATABASE", FDatabase);
    return env;
}

void TBench::TimeRound(int round) {
    for (const TBenchCase& c : kCases) {
        if (!Selected(c))
            continue;
        const std::size_t count = c.Implementations.size();
        for (std::size_t k = 0; k < count; ++k) {
            const TImplementation& impl = c.Implementations[(k + static_cast<std::size_t>(round)) % count];
            TMeasurement& m = At(c, impl);
            if (!m.Failure.empty())
                continue;
            if (!ProgramOf(c, impl)) {
                m.Failure = "not built";
                continue;
            }
            const fs::path errors = FDir / ("errors-" + std::to_string(++FErrorNumber));
            if (c.Kind == TCaseKind::ProgramStart) {
                for (int i = 0; i < c.Repetitions; ++i) {
                    const TProcessResult r = RunProcess(Command(c, impl, 1), Environment(c), errors);
                    if (r.Code != 0) {
                        m.Failure = "exit " + std::to_string(r.Code) + ": " + r.Errors;
                        break;
                    }
                    m.Wall.push_back(r.WallSeconds);
                    m.Cpu.push_back(r.CpuSeconds);
                }
                continue;
            }
            const TProcessResult r = RunProcess(Command(c, impl, c.Repetitions), Environment(c), errors);
            const TWorkerRun run = ParseWorkerOutput(r.Output);
            if (r.Code != 0 || run.Samples.empty()) {
                m.Failure = "exit " + std::to_string(r.Code) + ": " + r.Errors;
                continue;
            }
            for (const TSample& s : run.Samples) {
                m.Wall.push_back(s.Wall / c.CallsPerRepetition);
                m.Cpu.push_back(s.Cpu / c.CallsPerRepetition);
            }
            m.Check = run.Check;
        }
    }
}

void TBench::CountInstructions() {
    const auto valgrind = FindOnPath("valgrind");
    if (!valgrind) {
        std::fprintf(stderr, "valgrind is not installed: no instruction counts\n");
        return;
    }
    for (const TBenchCase& c : kCases) {
        if (!Selected(c))
            continue;
        for (const TImplementation& impl : c.Implementations) {
            TMeasurement& m = At(c, impl);
            if (!m.Failure.empty())
                continue;
            const fs::path out = FDir / ("callgrind-" + std::string(c.Key) + "-" + impl.Key);
            std::vector<std::string> command = {valgrind->string(), "--tool=callgrind",
                                                "--callgrind-out-file=" + out.string()};
            // Only the repetitions count; the set-up and the warm-up run uninstrumented. A program's start
            // counts from its first instruction to its end.
            if (c.Kind == TCaseKind::Worker) {
                command.push_back("--instr-atstart=no");
                command.push_back("--collect-atstart=no");
            }
            for (const std::string& part : Command(c, impl, c.CallgrindRepetitions))
                command.push_back(part);
            std::fprintf(stderr, "  callgrind: case %s, %s\n", c.Number, impl.Label);
            const TProcessResult r =
                RunProcess(command, Environment(c), FDir / ("errors-" + std::to_string(++FErrorNumber)));
            const auto total = CallgrindTotal(out);
            if (r.Code != 0 || !total) {
                std::fprintf(stderr, "callgrind of case %s, %s failed (exit %d):\n%s\n", c.Number, impl.Label,
                             r.Code, r.Errors.c_str());
                continue;
            }
            m.Instructions = *total / (c.Kind == TCaseKind::Worker ? c.CallgrindRepetitions : 1) /
                             c.CallsPerRepetition;
        }
    }
}

void TBench::CountRoundTrips() {
    const auto tcpdump = FindOnPath("tcpdump");
    if (!tcpdump || ::geteuid() != 0) {
        std::fprintf(stderr, "tcpdump %s: no round trips counted\n",
                     tcpdump ? "needs root" : "is not installed");
        return;
    }
    const fs::path capture = FDir / "loopback.pcap";
    const fs::path log = FDir / "tcpdump.log";
    const std::string filter = "tcp port " + std::to_string(FServer->Port());
    std::vector<std::string> argv = {
        tcpdump->string(), "-i", "lo", "-n", "-U", "-s", "128", "-Z", "root", "-w", capture.string(), filter};
    std::vector<char*> args;
    for (auto& s : argv)
        args.push_back(s.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // tcpdump says when it listens.
    for (int i = 0; i < 100 && ReadWholeFile(log).find("listening on") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    struct TWindow {
        const TBenchCase* Case;
        const TImplementation* Impl;
        std::int64_t Start, End;
    };
    std::vector<TWindow> windows;
    for (const TBenchCase& c : kCases) {
        if (!Selected(c) || c.Kind != TCaseKind::Worker)
            continue;
        for (const TImplementation& impl : c.Implementations) {
            if (!At(c, impl).Failure.empty())
                continue;
            const TProcessResult r = RunProcess(Command(c, impl, 1), Environment(c),
                                                FDir / ("errors-" + std::to_string(++FErrorNumber)));
            const TWorkerRun run = ParseWorkerOutput(r.Output);
            if (r.Code == 0 && !run.Samples.empty())
                windows.push_back({&c, &impl, run.Samples.front().Start, run.Samples.front().End});
        }
    }
    // tcpdump stops reading at once when told to: first let it write what the kernel holds, until
    // the capture has not grown for a second.
    std::uintmax_t size = 0;
    for (int quiet = 0, i = 0; quiet < 10 && i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::error_code ec;
        const std::uintmax_t now = fs::file_size(capture, ec);
        quiet = now == size ? quiet + 1 : 0;
        size = now;
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    try {
        const std::vector<TCapturedSegment> segments = ReadCapture(capture.string(), FServer->Port());
        for (const TWindow& w : windows)
            At(*w.Case, *w.Impl).RoundTrips = ::CountRoundTrips(segments, w.Start, w.End);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "the capture could not be read: %s\n%s\n", e.what(), ReadWholeFile(log).c_str());
    }
}

std::string Ratio(double value, double reference) {
    if (!std::isfinite(value) || !std::isfinite(reference) || reference <= 0)
        return "";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f×", value / reference);
    return text;
}

std::string Milliseconds(double seconds) {
    if (!std::isfinite(seconds))
        return "n/a";
    char text[32];
    const double ms = seconds * 1000;
    if (ms < 1)
        std::snprintf(text, sizeof text, "%.3g", ms); // a case measured per call
    else
        std::snprintf(text, sizeof text, ms >= 100 ? "%.0f" : ms >= 10 ? "%.1f" : "%.2f", ms);
    return text;
}

std::string Instructions(const std::optional<double>& count) {
    if (!count)
        return "n/a";
    char text[32];
    if (*count >= 1e9)
        std::snprintf(text, sizeof text, "%.3f G", *count / 1e9);
    else if (*count >= 1e6)
        std::snprintf(text, sizeof text, "%.2f M", *count / 1e6);
    else
        std::snprintf(text, sizeof text, "%.0f", *count);
    return text;
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

void TBench::Report() const {
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&now));
    std::printf("\nMeasured %s on %ld cores (%s), Firebird %s on the loopback, %d rounds.\n\n", date,
                ::sysconf(_SC_NPROCESSORS_ONLN), CpuModel().c_str(), FServerVersion.c_str(), FOptions.Rounds);
    std::printf(
        "| case | implementation | wall ms | × ref | spread | client CPU ms | × ref | instructions | × ref | "
        "round trips |\n");
    std::printf("|---|---|--:|--:|--:|--:|--:|--:|--:|--:|\n");
    for (const TBenchCase& c : kCases) {
        if (!Selected(c))
            continue;
        const TMeasurement* reference = nullptr;
        for (const TImplementation& impl : c.Implementations)
            if (impl.Reference)
                reference = Find(c.Key, impl.Key);
        const double refWall = reference ? Median(reference->Wall) : NAN;
        const double refCpu = reference ? Median(reference->Cpu) : NAN;
        const double refIr = reference && reference->Instructions ? *reference->Instructions : NAN;
        bool first = true;
        for (const TImplementation& impl : c.Implementations) {
            const TMeasurement* m = Find(c.Key, impl.Key);
            const std::string title = first ? std::string(c.Number) + ". " + c.Title : "";
            first = false;
            if (!m || !m->Failure.empty()) {
                std::printf("| %s | %s | %s | | | | | | | |\n", title.c_str(), impl.Label,
                            m ? (m->Failure.substr(0, m->Failure.find('\n'))).c_str() : "not run");
                continue;
            }
            const double wall = Median(m->Wall);
            const double cpu = Median(m->Cpu);
            const double spread = Spread(m->Wall);
            char spreadText[16] = "";
            if (std::isfinite(spread))
                std::snprintf(spreadText, sizeof spreadText, "%.0f %%", spread);
            std::printf("| %s | %s%s | %s | %s | %s | %s | %s | %s | %s | %s |\n", title.c_str(), impl.Label,
                        impl.Reference ? " (ref)" : "", Milliseconds(wall).c_str(),
                        Ratio(wall, refWall).c_str(), spreadText, Milliseconds(cpu).c_str(),
                        Ratio(cpu, refCpu).c_str(), Instructions(m->Instructions).c_str(),
                        m->Instructions ? Ratio(*m->Instructions, refIr).c_str() : "",
                        m->RoundTrips ? std::to_string(*m->RoundTrips).c_str()
                                      : (c.Kind == TCaseKind::Worker ? "n/a" : "—"));
        }
    }
    std::printf("\nWall time and client CPU: medians of every repetition of every round; spread: the "
                "interquartile range of the wall times over their median. Instructions: callgrind, per "
                "repetition, client process only (the client library included). Round trips: turns of "
                "the conversation on the loopback in one repetition.\n");

    // The targets.
    std::printf("\nTargets:\n");
    auto line = [](const char* what, double value, double limit, const char* unit) {
        const bool met = std::isfinite(value) && value <= limit;
        std::printf("- %s: %.3f%s (at most %.2f): %s\n", what, value, unit, limit,
                    std::isfinite(value) ? (met ? "met" : "MISSED") : "not measured");
    };
    const TMeasurement* zf = Find("fetch", "zelwan");
    const TMeasurement* rf = Find("fetch", "raw");
    if (zf && rf && zf->Instructions && rf->Instructions)
        line("fetch, Zelwan's instructions over the raw loop's", *zf->Instructions / *rf->Instructions, 1.05,
             "×");
    if (zf && !zf->Wall.empty()) {
        for (const char* peer : {"soci", "qibase"}) {
            const TMeasurement* p = Find("fetch", peer);
            if (!p || p->Wall.empty()) {
                std::printf("- fetch, Zelwan ahead of %s in wall time: not measured\n", peer);
                continue;
            }
            const double ratio = Median(zf->Wall) / Median(p->Wall);
            std::printf("- fetch, Zelwan ahead of %s in wall time: %.3f× its time: %s\n", peer, ratio,
                        ratio < 1 ? "met" : "MISSED");
        }
    }
    if (zf && rf)
        std::printf("- fetch, the texts Zelwan and the raw loop read: %s\n",
                    zf->Check == rf->Check && !zf->Check.empty()
                        ? ("the same (" + zf->Check + ")").c_str()
                        : ("DIFFERENT: " + zf->Check + " / " + rf->Check).c_str());
    const TMeasurement* za = Find("attach", "zelwan");
    const TMeasurement* ra = Find("attach", "raw");
    if (za && ra && !za->Wall.empty() && !ra->Wall.empty())
        line("attach + detach with the server clock, Zelwan's wall time over the raw same calls'",
             Median(za->Wall) / Median(ra->Wall), 1.05, "×");
    const TMeasurement* zs = Find("start", "zelwan");
    const TMeasurement* bs = Find("start", "bare");
    if (zs && bs && !zs->Wall.empty() && !bs->Wall.empty())
        line("start to the dialog shown, zelwan's wall time over the bare Qt dialog's",
             Median(zs->Wall) / Median(bs->Wall), 1.5, "×");
}

int TBench::Run() {
    std::string pattern = (fs::temp_directory_path() / "zelwan-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    FDir = pattern;
    std::fprintf(stderr, "zelwan_bench: working in %s\n", FDir.c_str());
    SetUpServer();
    SetUpProgramCopies();
    std::fprintf(stderr, "server on port %d, %d rows in %s\n", FServer->Port(), kBenchRows,
                 FDatabase.c_str());
    // One unmeasured run of every process first: the file system cache, fontconfig's cache.
    for (const TBenchCase& c : kCases)
        if (Selected(c) && c.Kind == TCaseKind::ProgramStart)
            for (const TImplementation& impl : c.Implementations)
                if (ProgramOf(c, impl))
                    RunProcess(Command(c, impl, 1), Environment(c), FDir / "errors-warm-up");
    for (int round = 0; round < FOptions.Rounds; ++round) {
        std::fprintf(stderr, "round %d of %d\n", round + 1, FOptions.Rounds);
        TimeRound(round);
    }
    if (FOptions.RoundTrips) {
        std::fprintf(stderr, "round trips\n");
        CountRoundTrips();
    }
    if (FOptions.Callgrind) {
        std::fprintf(stderr, "instructions\n");
        CountInstructions();
    }
    for (const auto& [key, m] : FResults)
        if (!m.Failure.empty())
            std::fprintf(stderr, "case %s, %s: %s\n", key.first.c_str(), key.second.c_str(),
                         m.Failure.c_str());
    Report();
    FHolder.reset();
    FServer.reset();
    if (!FOptions.Keep)
        fs::remove_all(FDir);
    // A broken reference or a difference of what is read makes the numbers worthless.
    const TMeasurement* zf = Find("fetch", "zelwan");
    const TMeasurement* rf = Find("fetch", "raw");
    if (zf && rf && zf->Failure.empty() && rf->Failure.empty() && zf->Check != rf->Check)
        return 1;
    for (const auto& [key, m] : FResults)
        if ((key.second.rfind("zelwan", 0) == 0 || key.second.rfind("raw", 0) == 0) && !m.Failure.empty())
            return 1;
    return 0;
}

std::vector<TBenchRunnerEntry> OwnRunners() {
    std::vector<TBenchRunnerEntry> runners = ZelwanRunners();
    const auto& raw = RawRunners();
    runners.insert(runners.end(), raw.begin(), raw.end());
    return runners;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: zelwan_bench [--rounds N] [--cases KEY,...] [--no-callgrind] [--no-round-trips] "
                 "[--keep]\n  cases:");
    for (const TBenchCase& c : kCases)
        std::fprintf(stderr, " %s (%s)", c.Key, c.Number);
    std::fprintf(stderr, "\n");
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<TBenchRunnerEntry> runners = OwnRunners();
    if (const int code = RunBenchWorker(argc, argv, runners); code >= 0)
        return code;
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            options.Rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--cases" && i + 1 < argc) {
            std::stringstream list(argv[++i]);
            for (std::string key; std::getline(list, key, ',');)
                options.Cases.push_back(key);
        } else if (arg == "--no-callgrind") {
            options.Callgrind = false;
        } else if (arg == "--no-round-trips") {
            options.RoundTrips = false;
        } else if (arg == "--keep") {
            options.Keep = true;
        } else {
            Usage();
            return 2;
        }
    }
    try {
        return TBench(options).Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelwan_bench: %s\n", e.what());
        return 1;
    }
}
