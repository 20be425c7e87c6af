#include "platform/Probes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

struct TAddrInfo {
    addrinfo* List = nullptr;
    ~TAddrInfo() {
        if (List)
            freeaddrinfo(List);
    }
};

bool Resolve(const std::string& host, int port, TAddrInfo& out) {
    if (host.empty())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    const std::string service = port > 0 ? std::to_string(port) : std::string();
    return getaddrinfo(host.c_str(), service.empty() ? nullptr : service.c_str(), &hints, &out.List) == 0 &&
           out.List;
}

// One address: open, refused or silent.
TPortState ProbeAddress(const addrinfo& a, int timeoutMs) {
    const int fd = socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0)
        return TPortState::psNoAnswer;
    TPortState state = TPortState::psNoAnswer;
    if (connect(fd, a.ai_addr, a.ai_addrlen) == 0) {
        state = TPortState::psOpen;
    } else if (errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int ready;
        do
            ready = poll(&p, 1, timeoutMs);
        while (ready < 0 && errno == EINTR);
        if (ready > 0) {
            int err = 0;
            socklen_t len = sizeof err;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
            state = err == 0 ? TPortState::psOpen
                             : (err == ECONNREFUSED ? TPortState::psRefused : TPortState::psNoAnswer);
        }
    } else if (errno == ECONNREFUSED) {
        state = TPortState::psRefused;
    }
    close(fd);
    return state;
}

} // namespace

bool HostResolves(const std::string& host) {
    TAddrInfo info;
    return Resolve(host, 0, info);
}

TPortState ProbeTcpPort(const std::string& host, int port, int timeoutMs) {
    TAddrInfo info;
    if (!Resolve(host, port, info))
        return TPortState::psUnresolved;
    // A name may give an address that does not answer before one that does (IPv6 first); any
    // open one wins, and a refusal says more than silence.
    TPortState best = TPortState::psNoAnswer;
    for (const addrinfo* a = info.List; a; a = a->ai_next) {
        const TPortState s = ProbeAddress(*a, timeoutMs);
        if (s == TPortState::psOpen)
            return s;
        if (s == TPortState::psRefused)
            best = s;
    }
    return best;
}

bool DirectoryWritable(const std::string& dir) {
    if (dir.empty())
        return false;
    if (access(dir.c_str(), W_OK | X_OK) == 0)
        return true;
    if (errno != ENOENT)
        return false;
    // The engine makes a missing directory itself, so what counts then is its parent.
    std::string parent = dir;
    while (parent.size() > 1 && parent.back() == '/')
        parent.pop_back();
    const auto slash = parent.rfind('/');
    if (slash == std::string::npos)
        return DirectoryWritable(".");
    parent.resize(slash == 0 ? 1 : slash);
    return parent != dir && DirectoryWritable(parent);
}

std::string FirebirdLockDir() {
    const char* v = std::getenv("FIREBIRD_LOCK");
    return v && *v ? std::string(v) : std::string("/tmp/firebird");
}

std::string CurrentUserName() {
    passwd pw{};
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return std::to_string(getuid());
}

} // namespace platform
