#include "fbclient/FbApi.h"
#include "fbclient/FbErrors.h"

#include <array>
#include <mutex>
#include <vector>

namespace {
std::string& PlatformClientLibrary() {
    static std::string file = kPlatformClientLibrary;
    return file;
}
} // namespace

std::string FbLibraryFileName(const std::string& libraryName) {
    // The suite names the Windows client; on Linux the same client is libfbclient.
    return libraryName == kDefaultLibraryName ? PlatformClientLibrary() : libraryName;
}

std::string SetPlatformClientLibrary(std::string fileName) {
    std::string before = std::move(PlatformClientLibrary());
    PlatformClientLibrary() = fileName.empty() ? std::string(kPlatformClientLibrary) : std::move(fileName);
    return before;
}

EOSError::EOSError(int errorCode, const std::string& systemText)
    : Exception(FbFormat("System Error.  Code: %d.\r\n%s", {errorCode, systemText})), FErrorCode(errorCode) {}

void IIBClientLibrary::NotBound(const char* function) const {
    throw Exception(FbFormat("Can't find procedure %s in %s", {function, FileName()}));
}

TIBClientLibrary::TIBClientLibrary(std::string name) : FLibraryName(std::move(name)) {
    FFileName = FbLibraryFileName(FLibraryName);
    try {
        LoadIBLibrary();
    } catch (...) {
        FreeIBLibrary();
        throw;
    }
}

TIBClientLibrary::~TIBClientLibrary() {
    FreeIBLibrary();
}

void TIBClientLibrary::FreeIBLibrary() noexcept {
    FModule.Unload();
    FEntries = {};
}

void* TIBClientLibrary::Bind(const char* symbol, bool required) {
    void* address = FModule.Symbol(symbol);
    if (!address && required)
        throw EOSError(kSymbolNotFoundCode, FModule.LastError());
    return address;
}

void TIBClientLibrary::LoadIBLibrary() {
    if (!FModule.Load(FFileName))
        throw Exception(FbFormat("Can't load library %s ", {FFileName}));

#define ZELWAN_FB_BIND_REQUIRED(name) FEntries.F##name = reinterpret_cast<FbFn_##name>(Bind(#name, true));
#define ZELWAN_FB_BIND_OPTIONAL(name) FEntries.F##name = reinterpret_cast<FbFn_##name>(Bind(#name, false));
    ZELWAN_FB_REQUIRED(ZELWAN_FB_BIND_REQUIRED)

    ZELWAN_FB_BIND_OPTIONAL(isc_rollback_retaining)
    if (FEntries.Fisc_rollback_retaining) {
        FIBClientVersion = 6;
        FIBClientMinorVersion = 0;
        ZELWAN_FB_GENERATION6(ZELWAN_FB_BIND_REQUIRED)
    } else {
        FIBClientVersion = 5;
        FIBClientMinorVersion = 0;
    }

    ZELWAN_FB_BIND_OPTIONAL(isc_get_client_version)
    if (FEntries.Fisc_get_client_version) {
        ZELWAN_FB_CLIENT_VERSION(ZELWAN_FB_BIND_REQUIRED)
        FIBClientVersion = FEntries.Fisc_get_client_major_version();
        FIBClientMinorVersion = FEntries.Fisc_get_client_minor_version();
        ZELWAN_FB_BATCH(ZELWAN_FB_BIND_OPTIONAL)
    } else {
        FIBClientMinorVersion = 0;
    }
#undef ZELWAN_FB_BIND_REQUIRED
#undef ZELWAN_FB_BIND_OPTIONAL
}

ISC_STATUS* StatusVector() {
    thread_local std::array<ISC_STATUS, ISC_STATUS_LENGTH> vector{};
    return vector.data();
}

namespace {

// The process-wide library registry. The program touches it from one thread; the lock only keeps
// tests that bind from several threads honest.
struct TLibraryRegistry {
    std::mutex Lock;
    std::vector<TIBClientLibraryRef> Libraries;
};

// Created on first use, released when the program ends: each library is unloaded when its last
// reference goes.
TLibraryRegistry& Registry() {
    static TLibraryRegistry registry;
    return registry;
}

} // namespace

TIBClientLibraryRef GetClientLibrary(const std::string& name) {
    TLibraryRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    for (const auto& library : registry.Libraries)
        if (library->GetLibName() == name)
            return library;
    auto library = std::make_shared<TIBClientLibrary>(name);
    registry.Libraries.push_back(library);
    return library;
}

std::size_t ClientLibraryCount() {
    TLibraryRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    return registry.Libraries.size();
}
