#pragma once
// What every fuzz target shares: a broken property stops the run with the input's story, so that
// libFuzzer keeps the input as a crash.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

[[noreturn]] inline void FuzzFail(const std::string& what) {
    std::fprintf(stderr, "property broken: %s\n", what.c_str());
    std::abort();
}

inline void FuzzCheck(bool holds, const std::string& what) {
    if (!holds)
        FuzzFail(what);
}

inline std::string_view FuzzBytes(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}
