#pragma once
// The user's number, date and time formats, as the framework's conversions use them. Patterns use
// the framework's letters: yyyy/yy year, mm/m month, dd/d day, hh/h hour, nn/n minute, ss/s second.

#include <string>
#include <string_view>

struct TFormatSettings {
    char DecimalSeparator = ',';
    std::string ShortDateFormat = "yyyy-mm-dd";
    std::string LongTimeFormat = "hh:nn:ss";
};

// The process-wide settings: read once from the environment's locale (LC_NUMERIC, LC_TIME); the
// C and POSIX locales give the suite's Polish defaults above. Tests may assign them.
TFormatSettings& FormatSettings();

// Calendar date and time of day from their parts, formatted by a pattern.
std::string FormatDateParts(const std::string& pattern, int year, int month, int day, int hour = 0,
                            int minute = 0, int second = 0);
// The same, appended to `out`.
void AppendDateParts(std::string& out, std::string_view pattern, int year, int month, int day, int hour = 0,
                     int minute = 0, int second = 0);
