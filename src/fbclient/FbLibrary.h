#pragma once
// Binding to the Firebird client library. The library is never linked at build time: it
// is loaded at run time by file name, and one library object serves every database component that
// names the same file. The client functions themselves are reached through fbclient's internal
// header only.

#include "core/Exception.h"

#include <cstdint>
#include <memory>
#include <string>

class IIBClientLibrary;
using TIBClientLibraryRef = std::shared_ptr<IIBClientLibrary>;

// Handles and status values of the client interface (FB_API_HANDLE and ISC_STATUS of ibase.h).
using TFbHandle = unsigned int;
using TFbStatus = std::intptr_t;

// The default library name of the database components. It stands for the platform's client
// library file (FbLibraryFileName); messages name the file actually given to the loader.
inline constexpr const char* kDefaultLibraryName = "gds32.dll";
inline constexpr const char* kPlatformClientLibrary = "libfbclient.so.2";
std::string FbLibraryFileName(const std::string& libraryName);
// Puts another file in the place of kPlatformClientLibrary for the rest of the process (the command
// line's --client-library; tests: a client library missing at run time); an empty name puts the
// platform's back. Returns the file in force before. Only libraries loaded afterwards see it: a
// loaded one stays registered under the default name.
std::string SetPlatformClientLibrary(std::string fileName);

// The operating system's error, in the system's standard form "System Error.  Code: %d.\r\n%s".
class EOSError : public Exception {
public:
    EOSError(int errorCode, const std::string& systemText);
    int ErrorCode() const noexcept { return FErrorCode; }

private:
    int FErrorCode;
};

// The dynamic loader sets no error number for a symbol it cannot find; the code reported is the one
// Windows gives for the same case (ERROR_PROC_NOT_FOUND), the text is the loader's own.
inline constexpr int kSymbolNotFoundCode = 127;

// The registered library whose name equals `name` exactly (letter case counts), in registration
// order; otherwise a new one is loaded and registered. A load failure propagates; nothing is
// registered then. The registry only grows and holds its libraries until the program ends.
TIBClientLibraryRef GetClientLibrary(const std::string& name);
// Number of registered libraries (for tests and diagnostics).
std::size_t ClientLibraryCount();
