// Faults a save of baza.set must survive: the process killed at any moment, and a full disk. Both run
// the helper program beside this one (settings_fault_helper), a process of its own.

#include "FakeUi.h"
#include "FaultSettings.h"
#include "TestUtil.h"
#include "VrlKey.h"
#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A run of the helper with its output on a pipe.
class THelper {
public:
    explicit THelper(const std::vector<std::string>& args) {
        const std::string program = platform::ExeDir() + "/settings_fault_helper";
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int out[2], in[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        const int rc = ::posix_spawn(&FPid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        FOut = out[0];
        FIn = in[1];
        if (rc != 0)
            throw std::runtime_error("cannot start " + program);
    }
    ~THelper() {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            Wait();
        }
        ::close(FOut);
        ::close(FIn);
    }
    // Lets a started "save" go on with the variant: it waits for this before it reads the file.
    void Go(const TSettingsVariant& v) {
        const char go = v.Name[0];
        if (::write(FIn, &go, 1) != 1)
            throw std::runtime_error("the helper is gone");
    }
    // The next byte of its output; -1 at the end.
    int ReadByte() {
        char c;
        return ::read(FOut, &c, 1) == 1 ? static_cast<unsigned char>(c) : -1;
    }
    std::string ReadAll() {
        std::string all;
        for (int c; (c = ReadByte()) >= 0;)
            all += static_cast<char>(c);
        return all;
    }
    void Kill() { ::kill(FPid, SIGKILL); }
    // The wait status.
    int Wait() {
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FPid = -1;
        return status;
    }

private:
    pid_t FPid = -1;
    int FOut = -1;
    int FIn = -1;
};

// Entries beside the settings file that a write left (its name, a dot, anything).
int Temporaries(const fs::path& dir) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("baza.set.", 0) == 0 ||
            e.path().filename().string().rfind("user.reg.", 0) == 0)
            ++n;
    return n;
}

class SettingsFaults : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(tmp.Path() / "reg");
        ::setenv("ZELWAN_REGISTRY_USER", (tmp.Path() / "reg" / "user.reg").c_str(), 1);
        CreateVrlKey();
    }
    void SaveVariant(const TSettingsVariant& v) {
        TLokalizacjaBazyFile s(file);
        v.ApplyTo(s);
        s.Save();
    }
    // The variant the file holds whole, or null.
    const TSettingsVariant* Held() {
        TLokalizacjaBazyFile s(file);
        s.Load();
        for (const TSettingsVariant* v : {&kVariantA, &kVariantB})
            if (v->HeldBy(s))
                return v;
        return nullptr;
    }
    static std::string Location(const TSettingsVariant& v) {
        TLokalizacjaBazyFile s("/nowhere/baza.set");
        v.ApplyTo(s);
        return s.LocationString();
    }

    TTempDir tmp;
    std::string file = tmp / "baza.set";
    TFakeUi ui;
};

} // namespace

// SIGKILL at random moments of a save, 1000 times: every time the file parses and holds the complete
// old or the complete new settings, the registry value changes only to what the file holds, and no
// temporary is left beside the file after the next start.
TEST_F(SettingsFaults, SavesKilledAtRandomMomentsLeaveTheOldOrTheNewSettingsWhole) {
    SaveVariant(kVariantA);
    // How long a save takes here (the median of a few): the kills fall anywhere within that time.
    std::vector<long long> took;
    for (const TSettingsVariant* v :
         {&kVariantB, &kVariantA, &kVariantB, &kVariantA, &kVariantB, &kVariantA}) {
        THelper helper({"save", file});
        helper.Go(*v);
        const std::string out = helper.ReadAll();
        ASSERT_EQ(helper.Wait(), 0) << out;
        ASSERT_FALSE(out.empty());
        took.push_back(std::atoll(out.c_str() + 1));
    }
    std::sort(took.begin(), took.end());
    const long long saveMicros = took[took.size() / 2];
    std::mt19937 random(20261210);
    std::uniform_int_distribution<long long> delay(0, saveMicros);
    const TSettingsVariant* current = &kVariantA;
    std::string registry = VrlRegistryValue();
    int killed = 0, completed = 0, leftTemporaries = 0, endedNew = 0;
    const auto start = std::chrono::steady_clock::now();
    // The next helper starts while the last one is checked; it waits to be let go.
    auto next = std::make_unique<THelper>(std::vector<std::string>{"save", file});
    for (int i = 0; i < 1000; ++i) {
        const TSettingsVariant& target = current == &kVariantA ? kVariantB : kVariantA;
        std::unique_ptr<THelper> helper = std::move(next);
        helper->Go(target);
        ASSERT_EQ(helper->ReadByte(), 'R') << i; // the save begins
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        helper->Kill();
        const int status = helper->Wait();
        next = std::make_unique<THelper>(std::vector<std::string>{"save", file});
        if (WIFSIGNALED(status))
            ++killed;
        else
            ++completed;
        leftTemporaries += Temporaries(tmp.Path()) > 0;

        const TSettingsVariant* held = Held(); // the next start
        ASSERT_NE(held, nullptr) << "kill " << i << ": a mix of settings or no file:\n"
                                 << ReadWholeFile(file);
        ASSERT_TRUE(ui.Windows.empty()) << "kill " << i << ": " << ui.Windows[0].Tresc;
        EXPECT_EQ(Temporaries(tmp.Path()), 0) << "kill " << i;
        endedNew += held == &target;
        current = held;
        const std::string now = VrlRegistryValue();
        if (now != registry) {
            ASSERT_EQ(now, Location(*held)) << "kill " << i << ": the registry ran ahead of the file";
        }
        registry = now;
    }
    next.reset();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A later complete save clears what the kills left of the registry's writes too.
    SaveVariant(kVariantB);
    EXPECT_EQ(Temporaries(tmp.Path() / "reg"), 0);
    RecordProperty("save_micros", std::to_string(saveMicros));
    RecordProperty("killed_during_save", killed);
    RecordProperty("ended_new", endedNew);
    RecordProperty("left_a_temporary", leftTemporaries);
    std::printf(
        "save %lld us; 1000 kills in %.1f s: %d during the save, %d after it; the new settings in %d, "
        "the old in %d; %d left a temporary, cleared by the next start\n",
        saveMicros, seconds, killed, completed, endedNew, 1000 - endedNew, leftTemporaries);
    EXPECT_GT(killed, 0); // the kills did fall within saves
}

// A full disk during Save, MakeBackup and RestoreFromBackup loses nothing, leaves no temporary, and a
// failed save says "Unable to write to".
TEST_F(SettingsFaults, AFullDiskLosesNothingAndSaysUnableToWrite) {
    SaveVariant(kVariantA);
    const std::string old = ReadWholeFile(file);
    const std::string half = std::to_string(old.size() / 2);
    const struct {
        const char* op;
        const char* disk;
        std::string free;
    } cases[] = {
        {"save", "write", "0"},    {"save", "write", "10"},   {"save", "write", half},
        {"save", "fsync", "0"},    {"save", "fsync", half},   {"backup", "write", "0"},
        {"backup", "write", half}, {"backup", "fsync", half}, {"restore", "write", "0"},
        {"restore", "fsync", "0"},
    };
    for (const auto& c : cases) {
        const std::string name = std::string(c.op) + ", " + c.disk + " fails, " + c.free + " bytes free";
        WriteWholeFile(file, old);
        fs::remove(file + "~");
        std::string backup;
        if (std::string(c.op) == "restore") {
            SaveVariant(kVariantB);
            backup = ReadWholeFile(file);
            fs::rename(file, file + "~");
            WriteWholeFile(file, old);
        }
        const std::string registry = VrlRegistryValue();
        THelper helper({"full", c.free, c.disk, c.op, file});
        const std::string said = helper.ReadAll();
        const int status = helper.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << name;
        if (std::string(c.op) == "restore") {
            // A rename needs no room: the backup is back, whole.
            EXPECT_EQ(WEXITSTATUS(status), 0) << name << ": " << said;
            EXPECT_EQ(ReadWholeFile(file), backup) << name;
            EXPECT_FALSE(fs::exists(file + "~")) << name;
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 1) << name;
            EXPECT_EQ(said, "Unable to write to " + file) << name;
            EXPECT_EQ(ReadWholeFile(file), old) << name;
            // A backup that could not be written whole is no backup.
            if (fs::exists(file + "~")) {
                EXPECT_EQ(ReadWholeFile(file + "~"), old) << name;
            }
        }
        EXPECT_EQ(VrlRegistryValue(), registry) << name;
        EXPECT_EQ(Temporaries(tmp.Path()), 0) << name;
        EXPECT_EQ(Held(), std::string(c.op) == "restore" ? &kVariantB : &kVariantA) << name;
    }
}
