#include "platform/Credentials.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
// More than any password; a first line longer than this is not one.
constexpr std::size_t kMaxFileRead = 65536;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string FileText(const std::string& file) {
    return "Plik z hasłem konta systemowego SYSKWR " + file;
}

// The failure of the last call on the file, with the system's reason.
ECredentialError Unreadable(const std::string& file) {
    const int error = errno;
    return ECredentialError("Nie można odczytać pliku z hasłem konta systemowego SYSKWR " + file + ": " +
                            std::strerror(error));
}

// Closes the descriptor on every path.
struct TFd {
    explicit TFd(int value) : fd(value) {}
    ~TFd() {
        if (fd >= 0)
            ::close(fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int fd;
};

// The first line of the open file; an error text when it has none.
std::string ReadFirstLine(int fd, const std::string& file) {
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Unreadable(file);
        content.append(buffer, static_cast<std::size_t>(n));
        ::explicit_bzero(buffer, sizeof buffer);
        if (n == 0 || content.find_first_of("\r\n") != std::string::npos)
            break;
        if (content.size() > kMaxFileRead)
            throw ECredentialError(FileText(file) +
                                   " nie zawiera hasła: jego pierwszy wiersz jest za długi.");
    }
    content.erase(std::min(content.find_first_of("\r\n"), content.size()));
    if (content.empty())
        throw ECredentialError(FileText(file) + " nie zawiera hasła: jego pierwszy wiersz jest pusty.");
    return content;
}
} // namespace

std::string SystemAccountPasswordFile() {
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty())
        config = Env("HOME") + "/.config";
    return config + "/zelwan/syskwr.password";
}

std::string SystemAccountPassword() {
    const std::string fromEnv = Env(kSystemAccountPasswordVariable);
    if (!fromEnv.empty())
        return fromEnv;
    const std::string file = SystemAccountPasswordFile();
    // Not blocking on a FIFO or a terminal put there: only a regular file is read.
    const TFd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (in.fd < 0 && (errno == ENOENT || errno == ENOTDIR))
        throw ECredentialError(
            std::string("Nie podano hasła konta systemowego SYSKWR: ustaw zmienną środowiskową ") +
            kSystemAccountPasswordVariable + " albo zapisz hasło w pierwszym wierszu pliku " + file +
            " (czytelnego tylko dla właściciela: chmod 600).");
    if (in.fd < 0)
        throw Unreadable(file);
    struct stat st {};
    if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw ECredentialError(FileText(file) + " nie jest zwykłym plikiem.");
    if (st.st_mode & (S_IRGRP | S_IROTH)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        throw ECredentialError("Uprawnienia " + std::string(mode) + " pliku " + file +
                               " są zbyt szerokie: plik z hasłem konta systemowego może czytać tylko jego "
                               "właściciel (chmod 600 " +
                               file + "). Hasła z tego pliku nie użyto.");
    }
    return ReadFirstLine(in.fd, file);
}

} // namespace platform
