// The Firebird test server itself (tests/fixtures/firebird): a private instance with its own
// configuration, security database and port, started and stopped by the tests.

#include "FbTestHelpers.h"

namespace {

TEST(FbTestServer, PrivateInstanceOnALoopbackPort) {
    TFbTestServer& server = FbTestServer();
    ASSERT_TRUE(server.Running());
    RecordProperty("StartSeconds", std::to_string(server.LastStartSeconds()));
    std::printf("private Firebird test server started in %.3f s (port %d)\n", server.LastStartSeconds(),
                server.Port());
    EXPECT_LT(server.LastStartSeconds(), 20.0);
    EXPECT_NE(server.Port(), 3050);
    const std::string conf = ReadWholeFile(server.Dir() / "firebird.conf");
    EXPECT_NE(conf.find("RemoteServicePort = " + std::to_string(server.Port())), std::string::npos);
    EXPECT_NE(conf.find("RemoteBindAddress = 127.0.0.1"), std::string::npos);
    EXPECT_NE(conf.find("SecurityDatabase = " + (server.Dir() / "security3.fdb").string()),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(server.Dir() / "security3.fdb"));
    EXPECT_TRUE(std::filesystem::is_regular_file(server.Dir() / "intl" / "libfbintl.so"));
    // This process's embedded engine reads the same configuration and lock directory.
    EXPECT_EQ(std::string(std::getenv("FIREBIRD")), server.Dir().string());
    EXPECT_EQ(std::string(std::getenv("FIREBIRD_LOCK")), (server.Dir() / "lock").string());
    const auto perms = std::filesystem::status(server.Dir() / "password").permissions();
    EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none)
        << "the password file is its owner's only";
}

TEST(FbTestServer, BothAccountsWithTheGeneratedPassword) {
    TTestDatabase file;
    EXPECT_EQ(FbTestPassword().size(), 20u);
    for (const char* user : {kSyskwrUser, kSysdbaUser}) {
        TFbDatabase db;
        db.SetDBName(file.TcpName());
        db.SetDBParams(FbTestParams(user));
        EXPECT_NO_THROW(db.Open()) << user;
    }
    EXPECT_EQ(
        file.Query("select trim(rdb$owner_name) from rdb$relations where rdb$relation_name = 'RDB$DATABASE'"),
        "SYSKWR")
        << "the fixture's databases belong to the suite's account";
    EXPECT_EQ(file.Query("select trim(rdb$character_set_name) from rdb$database"), "WIN1250");
}

TEST(FbTestServer, OwnInstanceCanBeKilledAndStopped) {
    TTempDir dir;
    TFbTestServer own(dir / "own");
    EXPECT_FALSE(own.Running());
    own.Start();
    EXPECT_TRUE(own.Running());
    EXPECT_NE(own.Port(), FbTestServer().Port());
    const pid_t pid = own.Pid();
    own.Kill();
    EXPECT_FALSE(own.Running());
    EXPECT_NE(::kill(pid, 0), 0) << "the process is gone";
    TFbDatabase db;
    SetUpDatabase(db, own.TcpName("/x.fdb"));
    EXPECT_EQ(Raised<EFbLibraryError>([&] { db.Open(); }).IBErrorCode(), 335544721);
    own.Start(); // the security database is made once; a restart only starts the server
    EXPECT_TRUE(own.Running());
    own.Stop();
    EXPECT_FALSE(own.Running());
}

TEST(FbTestServer, FailedSetUpFailsLoudly) {
    TTempDir dir;
    const std::string garbage = dir / "not-a-database.fdb";
    WriteWholeFile(garbage, "this is not a Firebird database");
    ::setenv("ZELWAN_FB_SECURITY_DB", garbage.c_str(), 1);
    TFbTestServer broken(dir / "broken");
    try {
        broken.Start();
        ADD_FAILURE() << "started on a broken security database";
    } catch (const EFbTestServerError& e) {
        EXPECT_NE(std::string(e.what()).find("setting up the security database"), std::string::npos)
            << e.what();
    }
    ::unsetenv("ZELWAN_FB_SECURITY_DB");
    EXPECT_FALSE(broken.Running());
}

TEST(FbTestServer, FreshSecurityDatabaseWhenTheInstallationsCopyIsUnreadable) {
    TTempDir dir;
    ::setenv("ZELWAN_FB_SECURITY_DB", (dir / "missing.fdb").c_str(), 1);
    TFbTestServer fresh(dir / "fresh");
    fresh.Start();
    ::unsetenv("ZELWAN_FB_SECURITY_DB");
    TTestDatabase file(3, fresh);
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    EXPECT_NO_THROW(db.Open());
}

} // namespace
