#pragma once
// A shared library loaded at run time by file name (dlopen(3)); unloaded when destroyed. Callers get
// the loader's own words when a load or a lookup fails, so their messages can name the cause.

#include <string>

namespace platform {

class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    ~TDynamicLibrary() { Unload(); }
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    // Loads fileName with every symbol resolved now and none exported to later loads; an already
    // loaded module is unloaded first. False when the loader refuses; LastError() says why.
    bool Load(const std::string& fileName);
    // A second call does nothing.
    void Unload() noexcept;
    bool Loaded() const noexcept { return FHandle != nullptr; }

    // The address of name, or nullptr when the module has no such symbol (LastError() says so).
    void* Symbol(const char* name);

    const std::string& LastError() const noexcept { return FLastError; }

private:
    void* FHandle = nullptr;
    std::string FLastError;
};

// The full path of the file the loader took for fileName, when that module is loaded already; empty
// otherwise. Loads nothing.
std::string LoadedModulePath(const std::string& fileName);

} // namespace platform
