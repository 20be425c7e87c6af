#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>

namespace platform {

namespace {

std::string TakeLoaderError(const std::string& fallback) {
    const char* text = ::dlerror();
    return text ? std::string(text) : fallback;
}

} // namespace

bool TDynamicLibrary::Load(const std::string& fileName) {
    Unload();
    ::dlerror();
    FHandle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    FLastError = FHandle ? std::string() : TakeLoaderError("cannot load " + fileName);
    return FHandle != nullptr;
}

void TDynamicLibrary::Unload() noexcept {
    if (FHandle) {
        ::dlclose(FHandle);
        FHandle = nullptr;
    }
}

void* TDynamicLibrary::Symbol(const char* name) {
    if (!FHandle) {
        FLastError = std::string("no library loaded for ") + name;
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(FHandle, name);
    FLastError = address ? std::string() : TakeLoaderError(std::string("undefined symbol: ") + name);
    return address;
}

std::string LoadedModulePath(const std::string& fileName) {
    void* handle = ::dlopen(fileName.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return {};
    std::string path;
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name)
        path = map->l_name;
    ::dlclose(handle);
    return path;
}

} // namespace platform
