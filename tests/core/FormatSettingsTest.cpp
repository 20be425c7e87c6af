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
}

INSTANTIATE_TEST_SUITE_P(Patterns, DateParts, ::testing::ValuesIn(kDatePartsCases),
                         [](const ::testing::TestParamInfo<TDatePartsCase>& info) {
                             return std::string(info.param.Name);
                         });

} // namespace
