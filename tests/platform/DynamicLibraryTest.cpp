#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

using platform::TDynamicLibrary;

namespace {

TEST(DynamicLibrary, LoadsByFileNameAndFindsSymbols) {
    TDynamicLibrary lib;
    ASSERT_TRUE(lib.Load("libc.so.6")) << lib.LastError();
    using TStrlen = std::size_t (*)(const char*);
    auto strlenFn = reinterpret_cast<TStrlen>(lib.Symbol("strlen"));
    ASSERT_NE(strlenFn, nullptr);
    EXPECT_EQ(strlenFn("zelwan"), 6u);
    EXPECT_EQ(lib.Symbol("no_such_symbol_here"), nullptr);
    EXPECT_NE(lib.LastError().find("no_such_symbol_here"), std::string::npos) << lib.LastError();
    lib.Unload();
    EXPECT_FALSE(lib.Loaded());
    lib.Unload(); // nothing left to do
    EXPECT_EQ(lib.Symbol("strlen"), nullptr) << "nothing is loaded";
}

TEST(DynamicLibrary, MissingFileIsRefusedWithTheLoadersWords) {
    TDynamicLibrary lib;
    EXPECT_FALSE(lib.Load("/nonexistent/libnothing.so"));
    EXPECT_FALSE(lib.Loaded());
    EXPECT_NE(lib.LastError().find("libnothing.so"), std::string::npos) << lib.LastError();
}

} // namespace
