#include "platform/Processes.h"

#include "platform/Files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>

extern char** environ;

namespace platform {

namespace {
// The kernel keeps this many bytes of a process's executable name.
constexpr std::size_t kCommLength = 15;

bool AllDigits(const char* s) {
    if (!*s)
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

// The name and state of one /proc/<pid>/stat line, "pid (name) state ...". The name may itself hold
// blanks and parentheses, so it runs to the last ")".
bool LiveProcessNamed(const std::string& stat, const std::string& name) {
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open || close + 2 >= stat.size())
        return false;
    const char state = stat[close + 2];
    return state != 'Z' && state != 'X' && stat.compare(open + 1, close - open - 1, name) == 0;
}

// Closes a directory stream on every path.
struct TDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
} // namespace

bool FindProcessByName(const std::string& exeName, const std::string& procRoot) {
    if (exeName.empty())
        return false;
    const std::string name = exeName.substr(0, kCommLength);
    const std::unique_ptr<DIR, TDirCloser> dir(::opendir(procRoot.c_str()));
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!AllDigits(entry->d_name))
            continue;
        // A process that ends meanwhile has no stat any more; it is simply not there.
        const std::optional<std::string> stat = ReadFile(procRoot + "/" + entry->d_name + "/stat");
        if (stat && LiveProcessNamed(*stat, name))
            return true;
    }
    return false;
}

bool ProcessRunning(const std::string& exeName) {
    const char* root = std::getenv("ZELWAN_PROC_ROOT");
    return FindProcessByName(exeName, root && *root ? root : "/proc");
}

namespace {
// Everything posix_spawn needs, released on every path.
struct TSpawnSetup {
    TSpawnSetup() {
        attrOk = ::posix_spawnattr_init(&attr) == 0;
        actionsOk = ::posix_spawn_file_actions_init(&actions) == 0;
    }
    ~TSpawnSetup() {
        if (attrOk)
            ::posix_spawnattr_destroy(&attr);
        if (actionsOk)
            ::posix_spawn_file_actions_destroy(&actions);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;

    // A session of its own (the server outlives this program and its terminal), no blocked
    // signals and default dispositions (nothing this program ignores is ignored there), and no
    // descriptor beyond the standard three.
    int Prepare() {
        if (!attrOk || !actionsOk)
            return ENOMEM;
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        int rc = ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                       POSIX_SPAWN_SETSIGDEF);
        if (rc == 0)
            rc = ::posix_spawnattr_setsigmask(&attr, &none);
        if (rc == 0)
            rc = ::posix_spawnattr_setsigdefault(&attr, &all);
        if (rc == 0)
            rc = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        return rc;
    }

    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    bool attrOk = false;
    bool actionsOk = false;
};

void Reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}
} // namespace

pid_t SpawnProcess(const std::string& path, const std::vector<std::string>& args, std::string* error) {
    std::vector<std::string> strings;
    strings.reserve(args.size() + 1);
    strings.push_back(path);
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    TSpawnSetup setup;
    pid_t pid = -1;
    int rc = setup.Prepare();
    if (rc == 0)
        rc = path.empty()
                 ? ENOENT
                 : ::posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
    if (rc != 0) {
        if (error)
            *error = path + ": " + std::strerror(rc);
        return -1;
    }
    try {
        std::thread(Reap, pid).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the ended process stays a zombie until this program ends. The start
        // itself has succeeded.
    }
    return pid;
}

} // namespace platform
