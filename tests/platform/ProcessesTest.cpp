#include "platform/Processes.h"
#include "TestUtil.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// A tree laid out like /proc: a directory per process holding its stat line (none: a process that
// has just ended).
void AddProcess(const TTempDir& root, const std::string& pid, const char* stat) {
    fs::create_directories(root / pid);
    if (stat)
        WriteWholeFile(root / (pid + "/stat"), stat);
}

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
} // namespace

TEST(Processes, FindsALiveProcessByTheNameTheKernelKeeps) {
    const struct {
        const char* name;
        const char* entry;
        const char* stat;
        const char* sought;
        bool found;
    } cases[] = {
        {"running", "17", "17 (firebird) S 1 17 17 0 -1", "firebird", true},
        {"diskSleepIsAlive", "17", "17 (ibserver) D 1", "ibserver", true},
        {"anotherProgram", "17", "17 (fbguard) S 1", "firebird", false},
        {"aLongerNameIsAnother", "17", "17 (firebird2) S 1", "firebird", false},
        {"zombie", "17", "17 (firebird) Z 1", "firebird", false},
        {"dead", "17", "17 (firebird) X 1", "firebird", false},
        {"blanksAndParenthesesInTheName", "17", "17 (a) b (c) R 1", "a) b (c", true},
        {"nameCutAt15Bytes", "17", "17 (fb_smp_server_l) S 1", "fb_smp_server_longer", true},
        {"notAProcessEntry", "self", "1 (firebird) S 1", "firebird", false},
        {"endedMeanwhile", "17", nullptr, "firebird", false},
        {"tornStatLine", "17", "17 (firebird", "firebird", false},
        {"emptyNameNeverMatches", "17", "17 () S 1", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir proc;
        AddProcess(proc, "1", "1 (init) S 0");
        AddProcess(proc, c.entry, c.stat);
        AddProcess(proc, "99", "99 (bash) S 1");
        EXPECT_EQ(platform::FindProcessByName(c.sought, proc.Path().string()), c.found);
    }
    EXPECT_FALSE(platform::FindProcessByName("firebird", "/nonexistent-proc-root"));
}

TEST(Processes, ProcRootComesFromTheEnvironment) {
    TTempDir proc;
    AddProcess(proc, "5", "5 (ibserver) S 1");
    ::setenv("ZELWAN_PROC_ROOT", proc.Path().c_str(), 1);
    EXPECT_TRUE(platform::ProcessRunning("ibserver"));
    EXPECT_FALSE(platform::ProcessRunning("platform_tests"));
    ::unsetenv("ZELWAN_PROC_ROOT");
    EXPECT_TRUE(platform::ProcessRunning("platform_tests")); // this very process, in /proc
}

TEST(Processes, ASpawnedProcessIsSeenUntilItEndsAndNoZombieStays) {
    TTempDir tmp;
    const std::string name = "zwsrv" + std::to_string(::getpid());
    const std::string exe = tmp / name;
    fs::copy_file("/bin/sleep", exe);
    EXPECT_FALSE(platform::ProcessRunning(name));
    std::string error;
    const pid_t pid = platform::SpawnProcess(exe, {"30"}, &error);
    ASSERT_GT(pid, 0) << error;
    EXPECT_TRUE(WaitFor([&] { return platform::ProcessRunning(name); }));
    ::kill(pid, SIGKILL);
    // Nobody here waits for it: the spawner's own reaper takes the ended process out of /proc.
    EXPECT_TRUE(WaitFor([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));
    EXPECT_FALSE(platform::ProcessRunning(name));
}

TEST(Processes, ASpawnThatCannotRunSaysWhy) {
    TTempDir tmp;
    WriteWholeFile(tmp / "noexec", "#!/bin/sh\nexit 0\n");
    ::chmod((tmp / "noexec").c_str(), 0644);
    const struct {
        const char* name;
        std::string path;
        const char* reason;
    } cases[] = {
        {"missing", tmp / "missing", "No such file or directory"},
        {"notExecutable", tmp / "noexec", "Permission denied"},
        {"aDirectory", tmp.Path().string(), "Permission denied"},
        {"bareNameNotLookedUpInPath", "sleep", "No such file or directory"}, // the current directory has none
        {"emptyPath", "", "No such file or directory"},
    };
    const fs::path cwd = fs::current_path();
    fs::current_path(tmp.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(platform::SpawnProcess(c.path, {"1"}, &error), -1);
        EXPECT_EQ(error, c.path + ": " + c.reason);
    }
    fs::current_path(cwd);
}
