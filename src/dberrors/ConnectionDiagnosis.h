#pragma once
// What a failed attachment most likely ran into, and what to do about it, in one Polish sentence.
// The status code and the database name say where to look; a few cheap probes (the client library,
// the host name, the server's port, the embedded engine's lock directory, the file itself when it is
// local) decide. The server's own message stays with the caller: this only adds the sentence.

#include "platform/Probes.h"

#include <cstdint>
#include <string>

class EFbError;
class TFbCustomDatabase;

// The parts of a database name that the probes need: "host:path", "host/port:path" (TCP),
// "\\host\path" (named pipes), "host@path" (SPX), else a local path.
struct TDatabaseAddress {
    std::string Host; // empty for a local path
    int Port = 0;     // TCP only: the port in the name, else 3050
    bool Tcp = false;
    std::string Path;
};
TDatabaseAddress ParseDatabaseName(const std::string& databaseName);

// The default port of a Firebird server.
inline constexpr int kFirebirdPort = 3050;

enum TConnectFault : std::uint8_t {
    cfUnknown,        // nothing the probes tell apart
    cfLibraryMissing, // the client library does not load
    cfHostUnknown,    // the server's host name does not resolve
    cfNoListener,     // nothing accepts connections on the server's port
    cfLogin,          // the server refused the user or the password
    cfFileMissing,    // no database file at that path
    cfLockDir,        // the embedded engine may not write its lock directory
};

// Everything the diagnosis is made from; ProbeConnectFailure fills it, tests fill it by hand.
struct TConnectFacts {
    int IBErrorCode = 0; // the server's first status code; 0 when the failure is not the server's
    std::string Message; // the failure's own message
    TDatabaseAddress Address;
    std::string LibraryFile;
    bool LibraryLoads = true;
    bool HostResolves = true;
    platform::TPortState Port = platform::TPortState::psOpen;
    int PortTimeoutMs = 0;
    std::string LockDir;
    bool LockDirWritable = true;
    bool LocalFileExists = true; // a local path only
    std::string UserName;        // who runs this program (for the group advice)
};

struct TConnectDiagnosis {
    TConnectFault Fault = cfUnknown;
    std::string Text; // empty for cfUnknown
};

// True for the status codes of a failed attachment (network, login, file, lock manager), and for 0,
// a failure that did not come from the server.
bool IsConnectFailureCode(int ibErrorCode);

// The decision, from facts alone.
TConnectDiagnosis DiagnoseConnectFailure(const TConnectFacts& facts);

// Runs the probes for a failed attachment to databaseName through libraryFile. The port probe waits
// at most portTimeoutMs.
TConnectFacts ProbeConnectFailure(const std::string& databaseName, int ibErrorCode,
                                  const std::string& message, const std::string& libraryFile,
                                  int portTimeoutMs = 1500);

// Probes and decides: the sentence, or empty when there is nothing to add (also for a status code
// that is not one of a failed attachment, so an error window of a statement runs no probes).
std::string ConnectionDiagnosis(const std::string& databaseName, int ibErrorCode, const std::string& message,
                                const std::string& libraryFile);

// The same for the database error window: the error's code and message, the client library of the
// database (the default one when there is none).
std::string ConnectionDiagnosis(const EFbError& error, const std::string& databaseName,
                                const TFbCustomDatabase* database);
