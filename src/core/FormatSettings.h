#pragma once
// The user's number, date and time formats, as the framework's conversions use them. Patterns use
// the framework's letters: yyyy/yy year, mm/m month, dd/d day, hh/h hour, nn/n minute, ss/s second.

#include <cstddef>
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
// The same, written into [out, out + room); returns the end, or nullptr (and writes nothing) when the
// text might not fit.
char* WriteDateParts(char* out, std::size_t room, std::string_view pattern, int year, int month, int day,
                     int hour = 0, int minute = 0, int second = 0);
// The same, appended to `out`.
void AppendDateParts(std::string& out, std::string_view pattern, int year, int month, int day, int hour = 0,
                     int minute = 0, int second = 0);
// The text of a date (ShortDateFormat, its time of day zero), a time of day (LongTimeFormat, its date
// zero) or both with a blank between, in the given settings' patterns.
std::string FormatDateTimeText(const TFormatSettings& settings, bool date, bool time, int year, int month,
                               int day, int hour, int minute, int second);
