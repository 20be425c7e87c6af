// The helper of the settings fault tests, a process of its own so that it can be killed at any moment
// or shown a full disk:
//   settings_fault_helper save <file>
//       waits for the variant's name (A or B) on its input, loads the settings, takes those of the
//       variant, writes "R" when it starts saving, saves, and writes how long the save took in
//       microseconds.
//   settings_fault_helper full <free bytes> <write|fsync> <save|backup|restore> <file>
//       the same save (after a backup for "backup"), or a restore from the backup, on a disk with only
//       so many bytes free: write(2) runs short and then fails with ENOSPC ("write"), or every write
//       goes through and fsync(2) fails with ENOSPC ("fsync", as with delayed allocation). Writes the
//       error's message; exit code 1 after an error.

#include "FakeUi.h"
#include "FaultSettings.h"
#include "core/Exception.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
enum class TDisk { Ok, WriteFails, FsyncFails };
TDisk gDisk = TDisk::Ok;
long long gFree = 0;    // bytes the disk still takes
long long gWritten = 0; // bytes written since start, for the fsync case

void Say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
} // namespace

// Every write(2) and fsync(2) of this program comes here first; standard streams are left alone.
extern "C" ssize_t write(int fd, const void* buf, size_t n) {
    if (fd > 2 && gDisk == TDisk::WriteFails) {
        if (gFree <= 0) {
            errno = ENOSPC;
            return -1;
        }
        n = static_cast<size_t>(std::min<long long>(gFree, static_cast<long long>(n)));
    }
    const ssize_t done = syscall(SYS_write, fd, buf, n);
    if (fd > 2 && done > 0) {
        gFree -= done;
        gWritten += done;
    }
    return done;
}

extern "C" int fsync(int fd) {
    if (fd > 2 && gDisk == TDisk::FsyncFails && gWritten > gFree) {
        errno = ENOSPC;
        return -1;
    }
    return static_cast<int>(syscall(SYS_fsync, fd));
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    TFakeUi ui; // a failed load shows its window here, where nobody reads it
    try {
        if (mode == "save" && argc == 3) {
            char variant = 0;
            if (::read(0, &variant, 1) != 1) // started ahead, it waits to be let go
                return 3;
            TLokalizacjaBazyFile s(argv[2]);
            s.Load();
            Variant(std::string(1, variant)).ApplyTo(s);
            Say("R");
            const auto start = std::chrono::steady_clock::now();
            s.Save();
            const auto took = std::chrono::steady_clock::now() - start;
            Say(std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(took).count()) + "\n");
            return 0;
        }
        if (mode == "full" && argc == 6) {
            TLokalizacjaBazyFile s(argv[5]);
            s.Load();
            kVariantB.ApplyTo(s);
            gFree = std::atoll(argv[2]);
            gDisk = std::strcmp(argv[3], "write") == 0 ? TDisk::WriteFails : TDisk::FsyncFails;
            const std::string op = argv[4];
            if (op == "restore") {
                s.RestoreFromBackup();
                return 0;
            }
            if (op == "backup")
                s.MakeBackup();
            s.Save();
            return 0;
        }
    } catch (const std::exception& e) {
        Say(e.what());
        return 1;
    }
    Say("usage: settings_fault_helper save <file> | full <bytes> <write|fsync> <save|backup|restore> "
        "<file>");
    return 2;
}
