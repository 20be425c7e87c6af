#include "platform/Files.h"
#include "TestUtil.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(Files, ExeDirIsTheDirectoryOfTheRunningProgram) {
    const std::string exe = platform::ExeFileName();
    EXPECT_EQ(std::filesystem::path(exe).filename(), "platform_tests");
    EXPECT_EQ(platform::ExeDir(), std::filesystem::path(exe).parent_path().string());
}

TEST(Files, CopyRenameDelete) {
    TTempDir tmp;
    WriteWholeFile(tmp / "a", "one");
    WriteWholeFile(tmp / "b", "two");
    EXPECT_TRUE(platform::CopyFileAtomic(tmp / "a", tmp / "b"));
    EXPECT_EQ(ReadWholeFile(tmp / "b"), "one");
    EXPECT_FALSE(platform::CopyFileAtomic(tmp / "missing", tmp / "b"));
    EXPECT_EQ(ReadWholeFile(tmp / "b"), "one");
    WriteWholeFile(tmp / "c", "three");
    EXPECT_TRUE(platform::RenameFile(tmp / "c", tmp / "a"));
    EXPECT_EQ(ReadWholeFile(tmp / "a"), "three");
    EXPECT_TRUE(platform::DeleteFile(tmp / "a"));
    EXPECT_FALSE(platform::DeleteFile(tmp / "a"));
    EXPECT_FALSE(platform::WriteFileAtomic("C:\\x.txt", "x")); // names nothing here
}
