#pragma once
// Processes of this machine: whether one of a given executable name runs, and starting a program
// without waiting for it. A program is always started from its path and an argument vector, never
// through a shell, so nothing in a setting can be taken for a command.

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// True when procRoot (a /proc file system, or a tree laid out like one) shows a live process whose
// executable name is exeName. The name is the one the kernel keeps for the process (from the file
// started, at most its first 15 bytes), so a server run by another user is seen as well; zombies
// do not count.
bool FindProcessByName(const std::string& exeName, const std::string& procRoot);
// The same in /proc, or in the tree ZELWAN_PROC_ROOT names (tests of the whole program use it).
bool ProcessRunning(const std::string& exeName);

// Starts the executable at path (taken as it stands: a name without "/" is looked for in the current
// directory, never along PATH) with argv[0] = path followed by args, in the caller's environment and
// current directory, in a session of its own, with only the standard input, output and error
// inherited. Not waited for: a thread of this process reaps it when it ends, so no zombie stays.
// Returns its process id, or -1 with the reason in *error.
pid_t SpawnProcess(const std::string& path, const std::vector<std::string>& args,
                   std::string* error = nullptr);

} // namespace platform
