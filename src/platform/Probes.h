#pragma once
// Cheap probes of what a failed attachment may have run into: whether a host name resolves,
// whether anything answers on a TCP port, whether a directory may be written, and where the
// embedded engine keeps its locks. Each gives its answer within a bounded time and never throws.

#include <string>

namespace platform {

// True when getaddrinfo(3) finds at least one address for host.
bool HostResolves(const std::string& host);

enum class TPortState : unsigned char {
    psOpen,       // a connection was accepted
    psRefused,    // the host answered that nothing listens there
    psNoAnswer,   // no answer within the time given (a filter, or a host that is down)
    psUnresolved, // the host name does not resolve
};

// A non-blocking connect to every address of host in turn, each given timeoutMs; the connection is
// closed at once, nothing is sent.
TPortState ProbeTcpPort(const std::string& host, int port, int timeoutMs);

// True when this process may create files in dir (access(2) for writing and searching); for a
// directory that does not exist yet, whether it could be made (the same of its nearest parent).
bool DirectoryWritable(const std::string& dir);

// The embedded engine's lock directory: FIREBIRD_LOCK when set, otherwise /tmp/firebird.
std::string FirebirdLockDir();

// The login name of this process's user (from the password database, else its number).
std::string CurrentUserName();

} // namespace platform
