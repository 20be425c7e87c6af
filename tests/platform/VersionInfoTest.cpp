#include "platform/VersionInfo.h"

#include <climits>
#include <gtest/gtest.h>

TEST(VersionInfo, ProgramGroupIdIsTheBuildSetting) {
    EXPECT_EQ(platform::ProgramGroupId(), platform::ProgramGroupIdFromText(ZELWAN_PGID_SETTING));
}

TEST(VersionInfo, TextOfTheEntryAsAnInteger) {
    // From "2147483648" on, not an integer: the value stays 0.
    const struct {
        const char* text;
        int id;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"-2", -2},
        {"+7", 7},
        {" 12\t", 12},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", 0},
        {"12abc", 0},
        {"abc", 0},
        {"1.5", 0},
        {"+-1", 0},
        {"-", 0},
        {"1 2", 0},
        {"0x10", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ProgramGroupIdFromText(c.text), c.id) << '"' << c.text << '"';
}
