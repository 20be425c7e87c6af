#pragma once
// The framework's exception family. Every failure the program reports is an Exception with a
// human-readable Message; EAbort is the silent abort that ends an operation after the user was told.

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    ~Exception() override = default;

    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

// Ends the current operation without any message; the top-level guard drops it.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// Raises the silent abort.
[[noreturn]] void Abort();
