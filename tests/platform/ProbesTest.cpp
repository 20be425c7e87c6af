#include "platform/Probes.h"
#include "TestUtil.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(Probes, HostNames) {
    EXPECT_TRUE(platform::HostResolves("localhost"));
    EXPECT_TRUE(platform::HostResolves("127.0.0.1"));
    EXPECT_FALSE(platform::HostResolves("nosuchhost.invalid"));
    EXPECT_FALSE(platform::HostResolves(""));
}

TEST(Probes, TcpPort) {
    // A socket that listens but never accepts still completes the handshake: that is "open".
    TLoopbackSocket listening(true);
    EXPECT_EQ(platform::ProbeTcpPort("127.0.0.1", listening.Port(), 500), platform::TPortState::psOpen);
    // Bound but not listening: the port is held, so nothing else can listen there meanwhile.
    TLoopbackSocket closed(false);
    EXPECT_EQ(platform::ProbeTcpPort("127.0.0.1", closed.Port(), 500), platform::TPortState::psRefused);
    EXPECT_EQ(platform::ProbeTcpPort("nosuchhost.invalid", 3050, 500), platform::TPortState::psUnresolved);
}

TEST(Probes, DirectoryWritable) {
    TTempDir tmp;
    std::filesystem::create_directory(tmp / "ro");
    std::filesystem::permissions(tmp / "ro",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::filesystem::permissions(tmp.Path(), std::filesystem::perms::all);
    const std::string ro = tmp / "ro";
    const std::string rw = tmp.Path().string();
    // Root writes anywhere, so the refusals are checked without its privileges.
    const int rc = RunUnprivileged([&] {
        int failures = 0;
        failures += platform::DirectoryWritable(ro) ? 1 : 0;
        failures += platform::DirectoryWritable(ro + "/missing") ? 2 : 0; // its parent decides
        failures += platform::DirectoryWritable(rw + "/missing/deeper") ? 0 : 4;
        failures += platform::DirectoryWritable("") ? 8 : 0;
        return failures;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(platform::DirectoryWritable(rw));
    std::filesystem::permissions(tmp / "ro", std::filesystem::perms::owner_all);
}

TEST(Probes, LockDirAndUser) {
    const char* saved = std::getenv("FIREBIRD_LOCK");
    const std::string before = saved ? saved : "";
    setenv("FIREBIRD_LOCK", "/x/lock", 1);
    EXPECT_EQ(platform::FirebirdLockDir(), "/x/lock");
    unsetenv("FIREBIRD_LOCK");
    EXPECT_EQ(platform::FirebirdLockDir(), "/tmp/firebird");
    if (saved)
        setenv("FIREBIRD_LOCK", before.c_str(), 1);
    EXPECT_FALSE(platform::CurrentUserName().empty());
}
