#include "core/FormatSettings.h"

#include <gtest/gtest.h>

namespace {

// One pattern with one date and time, and the text it gives. The odd rows: a part whose value is
// negative keeps its letters; a run of more than four year letters still gives four digits at
// least; a value wider than its part is not cut.
struct TDatePartsCase {
    const char* Name;
    const char* Pattern;
    int Year, Month, Day, Hour, Minute, Second;
    const char* Text;
};

constexpr TDatePartsCase kDatePartsCases[] = {
    {"SuiteDate", "yyyy-mm-dd", 2024, 2, 29, 0, 0, 0, "2024-02-29"},
    {"SuiteTime", "hh:nn:ss", 0, 0, 0, 7, 5, 9, "07:05:09"},
    {"YearBelow1000", "yyyy-mm-dd", 999, 1, 2, 0, 0, 0, "0999-01-02"},
    {"YearOne", "yyyy", 1, 0, 0, 0, 0, 0, "0001"},
    {"TwoLetterYear", "yy", 2005, 0, 0, 0, 0, 0, "05"},
    {"OneLetterYearIsTwoDigits", "y", 1999, 0, 0, 0, 0, 0, "99"},
    {"FiveLetterYear", "yyyyy", 2024, 0, 0, 0, 0, 0, "2024"},
    {"WideYear", "yyyy", 12345, 0, 0, 0, 0, 0, "12345"},
    {"OneLetterParts", "d.m h:n:s", 0, 3, 4, 5, 6, 7, "4.3 5:6:7"},
    {"LettersInEitherCase", "DD.Mm.YyyY Hh:NN:sS", 2024, 12, 31, 23, 59, 58, "31.12.2024 23:59:58"},
    {"Midnight", "hh:nn:ss", 0, 0, 0, 0, 0, 0, "00:00:00"},
    {"HourPastADay", "h", 0, 0, 0, 119, 0, 0, "119"},
    {"NegativePartKeepsLetters", "yy/yyyy", -5, 0, 0, 0, 0, 0, "yy/yyyy"},
    {"OtherLettersStay", "dd 'de' mm, ą", 0, 7, 1, 0, 0, 0, "01 '1e' 07, ą"},
    {"Empty", "", 2024, 1, 1, 0, 0, 0, ""},
};

class DateParts : public ::testing::TestWithParam<TDatePartsCase> {};

TEST_P(DateParts, FormatAndAppendAgree) {
    const TDatePartsCase& c = GetParam();
    EXPECT_EQ(FormatDateParts(c.Pattern, c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second), c.Text);
    std::string out = "<";
    AppendDateParts(out, c.Pattern, c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second);
    EXPECT_EQ(out, std::string("<") + c.Text);
    char buffer[256];
    char* end =
        WriteDateParts(buffer, sizeof buffer, c.Pattern, c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(std::string(buffer, end), c.Text);
}

INSTANTIATE_TEST_SUITE_P(Patterns, DateParts, ::testing::ValuesIn(kDatePartsCases),
                         [](const ::testing::TestParamInfo<TDatePartsCase>& info) {
                             return std::string(info.param.Name);
                         });

TEST(DateParts, WriteRefusesTooLittleRoomAndWritesNothing) {
    // Room for the text itself is not enough: a part may take ten digits.
    char buffer[16] = "untouched";
    EXPECT_EQ(WriteDateParts(buffer, 10, "yyyy-mm-dd", 2024, 1, 2), nullptr);
    EXPECT_STREQ(buffer, "untouched");
    char* end = WriteDateParts(buffer, sizeof buffer, "yyyy", 2024, 1, 2);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(std::string(buffer, end), "2024");
}

TEST(DateParts, PatternsChangingBetweenCallsAreEachReadAnew) {
    // More patterns in turn than are kept compiled.
    const char* patterns[] = {"yyyy", "mm", "dd", "hh", "nn", "ss", "yy"};
    const char* texts[] = {"2024", "03", "04", "05", "06", "07", "24"};
    for (int round = 0; round < 3; ++round)
        for (std::size_t i = 0; i < std::size(patterns); ++i)
            EXPECT_EQ(FormatDateParts(patterns[i], 2024, 3, 4, 5, 6, 7), texts[i]) << patterns[i];
}

// A date-time value's text: the date with its time of day zero, the time with its date zero, a
// blank between. Each row names the patterns; the parts are those of 0999-02-03 04:05:06. The odd
// rows: a date pattern with time letters shows zeros there, and the other way round.
struct TDateTimeTextCase {
    const char* Name;
    const char* Date;
    const char* Time;
    bool WithDate, WithTime;
    const char* Text;
};

constexpr TDateTimeTextCase kDateTimeTextCases[] = {
    {"Both", "yyyy-mm-dd", "hh:nn:ss", true, true, "0999-02-03 04:05:06"},
    {"DateAlone", "yyyy-mm-dd", "hh:nn:ss", true, false, "0999-02-03"},
    {"TimeAlone", "yyyy-mm-dd", "hh:nn:ss", false, true, "04:05:06"},
    {"OneLetterParts", "d.m.yy", "h:n:s", true, true, "3.2.99 4:5:6"},
    {"TimeLettersInTheDate", "dd hh", "ss", true, true, "03 00 06"},
    {"DateLettersInTheTime", "dd", "yyyy hh", true, true, "03 0000 04"},
    {"TimeAloneWithDateLetters", "dd", "dd|hh", false, true, "00|04"},
    {"EmptyPatterns", "", "", true, true, " "},
    {"LongerThanTheStack", "yyyy",
     "hh"
     "::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::"
     "::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::",
     true, true,
     "0999 04"
     "::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::"
     "::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::"},
};

class DateTimeText : public ::testing::TestWithParam<TDateTimeTextCase> {};

TEST_P(DateTimeText, AsTheDateAndTimePatternsGiveIt) {
    const TDateTimeTextCase& c = GetParam();
    TFormatSettings settings;
    settings.ShortDateFormat = c.Date;
    settings.LongTimeFormat = c.Time;
    EXPECT_EQ(FormatDateTimeText(settings, c.WithDate, c.WithTime, 999, 2, 3, 4, 5, 6), c.Text);
    // The same as the two patterns formatted one by one.
    std::string pieces;
    if (c.WithDate)
        pieces += FormatDateParts(c.Date, 999, 2, 3);
    if (c.WithDate && c.WithTime)
        pieces += ' ';
    if (c.WithTime)
        pieces += FormatDateParts(c.Time, 0, 0, 0, 4, 5, 6);
    EXPECT_EQ(pieces, c.Text);
}

INSTANTIATE_TEST_SUITE_P(Patterns, DateTimeText, ::testing::ValuesIn(kDateTimeTextCases),
                         [](const ::testing::TestParamInfo<TDateTimeTextCase>& info) {
                             return std::string(info.param.Name);
                         });

TEST(DateTimeText, PatternsChangedBetweenCallsAreReadAnew) {
    TFormatSettings settings;
    for (const char* date : {"yyyy-mm-dd", "dd.mm.yyyy", "yyyy-mm-dd", "d/m/yy", "mm", "yyyy-mm-dd"}) {
        settings.ShortDateFormat = date;
        EXPECT_EQ(FormatDateTimeText(settings, true, true, 2024, 3, 4, 5, 6, 7),
                  FormatDateParts(date, 2024, 3, 4) + " 05:06:07")
            << date;
    }
}

} // namespace
