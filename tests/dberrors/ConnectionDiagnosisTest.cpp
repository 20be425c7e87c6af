#include "dberrors/ConnectionDiagnosis.h"

#include <gtest/gtest.h>

TEST(ConnectionDiagnosis, DatabaseNameForms) {
    struct Row {
        const char* Name;
        const char* Host;
        int Port;
        bool Tcp;
        const char* Path;
    } rows[] = {
        {"/srv/baza/systemkw.gdb", "", 0, false, "/srv/baza/systemkw.gdb"},
        {"srv:/data/systemkw.gdb", "srv", 3050, true, "/data/systemkw.gdb"},
        {"127.0.0.1/3051:/data/a.fdb", "127.0.0.1", 3051, true, "/data/a.fdb"},
        {"srv/gds_db:/data/a.fdb", "srv", 3050, true, "/data/a.fdb"},  // a service name: the default port
        {"srv:D:\\DANE\\a.gdb", "srv", 3050, true, "D:\\DANE\\a.gdb"}, // only the first colon splits
        {"\\\\srv\\D:\\DANE\\a.gdb", "srv", 0, false, "D:\\DANE\\a.gdb"},
        {"srv@/data/a.gdb", "srv", 0, false, "/data/a.gdb"},
        {"a.gdb", "", 0, false, "a.gdb"},
        {"", "", 0, false, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Name);
        const TDatabaseAddress a = ParseDatabaseName(r.Name);
        EXPECT_EQ(a.Host, r.Host);
        EXPECT_EQ(a.Port, r.Port);
        EXPECT_EQ(a.Tcp, r.Tcp);
        EXPECT_EQ(a.Path, r.Path);
    }
}

namespace {
TConnectFacts Remote(int code) {
    TConnectFacts f;
    f.IBErrorCode = code;
    f.Address = ParseDatabaseName("srv/3051:/data/systemkw.gdb");
    f.LibraryFile = "libfbclient.so.2";
    return f;
}
TConnectFacts Local(int code) {
    TConnectFacts f;
    f.IBErrorCode = code;
    f.Address = ParseDatabaseName("/data/systemkw.gdb");
    f.LibraryFile = "libfbclient.so.2";
    f.LockDir = "/tmp/firebird";
    f.UserName = "jan";
    return f;
}
} // namespace

// Which fault wins when several facts point somewhere; the probes outrank the status code because a
// network failure's code says only that the request failed.
TEST(ConnectionDiagnosis, DecisionFromFacts) {
    constexpr int network = 335544721, login = 335544472, io = 335544344, lockDir = 335544992;
    struct Row {
        const char* Name;
        TConnectFacts Facts;
        TConnectFault Fault;
        const char* Fragment;
    };
    std::vector<Row> rows;
    {
        TConnectFacts f = Remote(0);
        f.LibraryLoads = false;
        f.HostResolves = false;
        rows.push_back({"library before anything", f, cfLibraryMissing, "„libfbclient.so.2”"});
    }
    {
        TConnectFacts f = Remote(network);
        f.HostResolves = false;
        rows.push_back({"unresolved host", f, cfHostUnknown, "Nazwa serwera „srv”"});
    }
    {
        TConnectFacts f = Remote(network);
        f.Port = platform::TPortState::psRefused;
        rows.push_back({"port refused", f, cfNoListener, "na porcie 3051 serwera „srv”"});
    }
    {
        TConnectFacts f = Remote(network);
        f.Port = platform::TPortState::psNoAnswer;
        f.PortTimeoutMs = 1500;
        rows.push_back({"port silent", f, cfNoListener, "w ciągu 1500 ms"});
    }
    rows.push_back({"login", Remote(login), cfLogin, "odrzucił użytkownika lub hasło"});
    {
        TConnectFacts f = Remote(io);
        f.Message = "I/O error during \"open\" operation for file \"/data/systemkw.gdb\"\r\n"
                    "-Error while trying to open file\r\n-No such file or directory\r\n";
        rows.push_back({"remote file missing", f, cfFileMissing, "na serwerze „srv”"});
    }
    {
        TConnectFacts f = Remote(io);
        f.Message = "I/O error during \"open\" operation\r\n-Permission denied\r\n";
        rows.push_back({"remote file unreadable is no missing file", f, cfUnknown, ""});
    }
    {
        TConnectFacts f = Local(io);
        f.LocalFileExists = false;
        rows.push_back({"local file missing", f, cfFileMissing, "na tym komputerze"});
    }
    {
        TConnectFacts f = Local(io);
        f.LocalFileExists = false;
        f.LockDirWritable = false;
        rows.push_back({"lock directory before the file", f, cfLockDir, "sudo adduser jan firebird"});
    }
    rows.push_back({"the server's own lock code", Local(lockDir), cfLockDir, "„/tmp/firebird”"});
    {
        TConnectFacts f = Local(login);
        f.LockDirWritable = false;
        rows.push_back({"a login failure is not the lock directory", f, cfLogin, "hasło"});
    }
    rows.push_back({"a local file that is there", Local(io), cfUnknown, ""});
    {
        TConnectFacts f = Remote(network);
        f.Address = ParseDatabaseName("\\\\srv\\D:\\a.gdb");
        f.Port = platform::TPortState::psNoAnswer; // not probed: named pipes have no TCP port
        rows.push_back({"named pipes: no port verdict", f, cfUnknown, ""});
    }
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Name);
        const TConnectDiagnosis d = DiagnoseConnectFailure(r.Facts);
        EXPECT_EQ(d.Fault, r.Fault);
        EXPECT_NE(d.Text.find(r.Fragment), std::string::npos) << d.Text;
        EXPECT_EQ(d.Text.empty(), r.Fault == cfUnknown);
    }
}

TEST(ConnectionDiagnosis, ProbesOnlyForAttachmentFailures) {
    // A statement's error (a unique key violation) gets no sentence and runs no probe, even with a
    // library that would not load.
    EXPECT_FALSE(IsConnectFailureCode(335544665));
    EXPECT_EQ(ConnectionDiagnosis("nosuchhost.invalid:/x.gdb", 335544665, "", "no-such-library.so"), "");
    EXPECT_TRUE(IsConnectFailureCode(0));
    EXPECT_NE(ConnectionDiagnosis("nosuchhost.invalid:/x.gdb", 0, "", "no-such-library.so")
                  .find("no-such-library.so"),
              std::string::npos);
}
