#include "core/FormatSettings.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <vector>

namespace {

// A strftime pattern of the locale in the framework's letters; empty when it holds anything else.
std::string FromStrftime(const char* format) {
    std::string out;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        switch (*++p) {
        case 'Y': out += "yyyy"; break;
        case 'y': out += "yy"; break;
        case 'm': out += "mm"; break;
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'H': out += "hh"; break;
        case 'M': out += "nn"; break;
        case 'S': out += "ss"; break;
        case 'T': out += "hh:nn:ss"; break;
        case 'F': out += "yyyy-mm-dd"; break;
        case 'D': out += "mm/dd/yy"; break;
        default: return {};
        }
    }
    return out;
}

TFormatSettings FromEnvironment() {
    TFormatSettings settings;
    const char* numericName = std::getenv("LC_ALL");
    if (!numericName || !*numericName)
        numericName = std::getenv("LC_NUMERIC");
    if (!numericName || !*numericName)
        numericName = std::getenv("LANG");
    if (!numericName || !*numericName || std::strcmp(numericName, "C") == 0 || std::strcmp(numericName, "POSIX") == 0 ||
        std::strncmp(numericName, "C.", 2) == 0)
        return settings;
    locale_t loc = ::newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (!loc)
        return settings;
    if (const char* radix = ::nl_langinfo_l(RADIXCHAR, loc); radix && radix[0] && !radix[1])
        settings.DecimalSeparator = radix[0];
    if (std::string date = FromStrftime(::nl_langinfo_l(D_FMT, loc)); !date.empty())
        settings.ShortDateFormat = date;
    if (std::string time = FromStrftime(::nl_langinfo_l(T_FMT, loc)); !time.empty())
        settings.LongTimeFormat = time;
    ::freelocale(loc);
    return settings;
}

} // namespace

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = FromEnvironment();
    return settings;
}

namespace {

// Letters of the patterns count in either case. Only ASCII letters are pattern letters, so the C
// library's tolower, which depends on the locale, would find no others.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The values a pattern's parts show. A run names one by its index: the year, the year of two
// digits, month, day, hour, minute, second; a date-time text keeps two sets, the date's (its time of
// day zero) and the time's (its date zero), the second from kTimeValues on.
enum : int { kYear, kYear2, kMonth, kDay, kHour, kMinute, kSecond, kPartCount };
constexpr int kTimeValues = kPartCount;

// A run of equal letters of a pattern: a part of the date or time, or text kept as written.
struct TPatternRun {
    int Value;                 // index of the value it shows; -1 for text
    int Width;                 // the fewest digits
    std::size_t Start, Length; // in the compiled text
};

// One or two patterns read once into their runs, and the most they can write (a part writes at most
// ten digits, or its letters when its value is negative).
struct TCompiledPattern {
    std::string Date, Time; // the patterns compiled; a side that is not there is empty
    bool HasDate = false, HasTime = false;
    std::string Text; // the patterns as written, joined by the blank between date and time
    std::vector<TPatternRun> Runs;
    std::size_t MaxLength = 0;
    // When every part has a fixed width (two or four digits, as in the suite's own patterns): the text
    // with the parts' places held by zeros, and the places, so that a date whose parts fit is the
    // template with digits put in.
    bool Fixed = false;
    std::string Template;
    struct TSlot {
        int Value, Width;
        std::size_t At;
    };
    std::vector<TSlot> Slots;
};

void CompileRuns(TCompiledPattern& compiled, std::size_t from, int valueBase) {
    const std::string_view pattern = std::string_view(compiled.Text).substr(from);
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = AsciiLower(pattern[i]);
        std::size_t run = 1;
        while (i + run < pattern.size() && AsciiLower(pattern[i + run]) == c)
            ++run;
        TPatternRun part{-1, 0, from + i, run};
        switch (c) {
        case 'y':
            part = {run <= 2 ? kYear2 : kYear, run <= 2 ? 2 : 4, from + i, run};
            break;
        case 'm':
            part.Value = kMonth;
            break;
        case 'd':
            part.Value = kDay;
            break;
        case 'h':
            part.Value = kHour;
            break;
        case 'n':
            part.Value = kMinute;
            break;
        case 's':
            part.Value = kSecond;
            break;
        default: break;
        }
        if (part.Value >= 0) {
            if (c != 'y')
                part.Width = run >= 2 ? 2 : 1;
            part.Value += valueBase;
        }
        // Neighbouring text runs are one run.
        if (part.Value < 0 && !compiled.Runs.empty() && compiled.Runs.back().Value < 0)
            compiled.Runs.back().Length += run;
        else
            compiled.Runs.push_back(part);
        compiled.MaxLength += part.Value >= 0 ? std::max<std::size_t>(run, 10) : run;
        i += run;
    }
}

void Compile(TCompiledPattern& compiled, const std::string_view* date, const std::string_view* time) {
    compiled.HasDate = date != nullptr;
    compiled.HasTime = time != nullptr;
    compiled.Date.assign(date ? *date : std::string_view());
    compiled.Time.assign(time ? *time : std::string_view());
    compiled.Text.clear();
    compiled.Runs.clear();
    compiled.MaxLength = 0;
    if (date) {
        compiled.Text.assign(*date);
        CompileRuns(compiled, 0, 0);
    }
    if (date && time) {
        compiled.Text += ' ';
        compiled.Runs.push_back({-1, 0, compiled.Text.size() - 1, 1});
        ++compiled.MaxLength;
    }
    if (time) {
        const std::size_t from = compiled.Text.size();
        compiled.Text.append(*time);
        CompileRuns(compiled, from, date ? kTimeValues : 0);
    }
    compiled.Fixed = true;
    compiled.Template.clear();
    compiled.Slots.clear();
    for (const TPatternRun& run : compiled.Runs) {
        if (run.Value < 0) {
            compiled.Template.append(compiled.Text, run.Start, run.Length);
            continue;
        }
        if (run.Width < 2)
            compiled.Fixed = false;
        compiled.Slots.push_back({run.Value, run.Width, compiled.Template.size()});
        compiled.Template.append(static_cast<std::size_t>(run.Width), '0');
    }
}

// The compiled form of a date pattern, a time pattern or both. The suite formats dates, times and
// date-times in turn, so the last few forms of the thread are kept; the patterns themselves may
// change at any time, so each use compares them.
bool CompiledFrom(const TCompiledPattern& compiled, const std::string_view* date,
                  const std::string_view* time) {
    return compiled.HasDate == (date != nullptr) && compiled.HasTime == (time != nullptr) &&
           (!date || (compiled.Date.size() == date->size() &&
                      std::memcmp(compiled.Date.data(), date->data(), date->size()) == 0)) &&
           (!time || (compiled.Time.size() == time->size() &&
                      std::memcmp(compiled.Time.data(), time->data(), time->size()) == 0));
}

const TCompiledPattern& Compiled(const std::string_view* date, const std::string_view* time) {
    thread_local std::array<TCompiledPattern, 4> cache;
    thread_local std::size_t last = 0;
    if (CompiledFrom(cache[last], date, time))
        return cache[last];
    for (std::size_t i = 0; i < cache.size(); ++i)
        if (CompiledFrom(cache[i], date, time)) {
            last = i;
            return cache[i];
        }
    // The oldest form makes room: they are used in turn.
    thread_local std::size_t next = 0;
    last = next;
    next = (next + 1) % cache.size();
    Compile(cache[last], date, time);
    return cache[last];
}

constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                          "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                          "8081828384858687888990919293949596979899";

// Writes a value that is not negative with at least `width` digits, zeros in front.
char* WriteDigits(char* p, int value, int width) {
    const auto v = static_cast<unsigned>(value);
    if (v < 100 && width <= 2) {
        if (v >= 10 || width == 2) {
            std::memcpy(p, kPairs + 2 * v, 2);
            return p + 2;
        }
        *p = static_cast<char>('0' + v);
        return p + 1;
    }
    if (v < 10000 && width == 4) {
        std::memcpy(p, kPairs + 2 * (v / 100), 2);
        std::memcpy(p + 2, kPairs + 2 * (v % 100), 2);
        return p + 4;
    }
    char digits[10];
    int count = 0;
    for (unsigned rest = v; count == 0 || rest != 0; rest /= 10)
        digits[count++] = static_cast<char>('0' + rest % 10);
    for (int i = count; i < width; ++i)
        *p++ = '0';
    while (count > 0)
        *p++ = digits[--count];
    return p;
}

// The template with the digits put in; nullptr when a part does not fit its fixed width.
char* WriteFixed(char* p, const TCompiledPattern& compiled, const int* values) {
    std::memcpy(p, compiled.Template.data(), compiled.Template.size());
    for (const TCompiledPattern::TSlot& slot : compiled.Slots) {
        const auto v = static_cast<unsigned>(values[slot.Value]);
        char* at = p + slot.At;
        if (slot.Width == 2 && v < 100) {
            std::memcpy(at, kPairs + 2 * v, 2);
        } else if (slot.Width == 4 && v < 10000) {
            std::memcpy(at, kPairs + 2 * (v / 100), 2);
            std::memcpy(at + 2, kPairs + 2 * (v % 100), 2);
        } else {
            return nullptr; // negative, or wider than its place
        }
    }
    return p + compiled.Template.size();
}

// Writes the compiled patterns' text; the room is the compiled MaxLength.
char* WriteCompiled(char* p, const TCompiledPattern& compiled, const int* values) {
    if (compiled.Fixed)
        if (char* end = WriteFixed(p, compiled, values))
            return end;
    for (const TPatternRun& run : compiled.Runs) {
        const int value = run.Value >= 0 ? values[run.Value] : -1;
        if (value >= 0) {
            p = WriteDigits(p, value, run.Width);
            continue;
        }
        // A part whose value is negative is no part: its letters stay as written, as text does. The
        // runs are short (a separator, mostly): copied in place.
        const char* text = compiled.Text.data() + run.Start;
        for (std::size_t i = 0; i < run.Length; ++i)
            *p++ = text[i];
    }
    return p;
}

void SetValues(int* values, int year, int month, int day, int hour, int minute, int second) {
    values[kYear] = year;
    values[kYear2] = year % 100;
    values[kMonth] = month;
    values[kDay] = day;
    values[kHour] = hour;
    values[kMinute] = minute;
    values[kSecond] = second;
}

} // namespace

char* WriteDateParts(char* out, std::size_t room, std::string_view pattern, int year, int month, int day,
                     int hour, int minute, int second) {
    const TCompiledPattern& compiled = Compiled(&pattern, nullptr);
    if (compiled.MaxLength > room)
        return nullptr;
    int values[kPartCount];
    SetValues(values, year, month, day, hour, minute, second);
    return WriteCompiled(out, compiled, values);
}

void AppendDateParts(std::string& out, std::string_view pattern, int year, int month, int day, int hour,
                     int minute, int second) {
    const TCompiledPattern& compiled = Compiled(&pattern, nullptr);
    int values[kPartCount];
    SetValues(values, year, month, day, hour, minute, second);
    const std::size_t at = out.size();
    out.resize(at + compiled.MaxLength);
    char* end = WriteCompiled(out.data() + at, compiled, values);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string FormatDateTimeText(const TFormatSettings& settings, bool date, bool time, int year, int month,
                               int day, int hour, int minute, int second) {
    const std::string_view datePattern = settings.ShortDateFormat, timePattern = settings.LongTimeFormat;
    const TCompiledPattern& compiled = Compiled(date ? &datePattern : nullptr, time ? &timePattern : nullptr);
    // The date shows with its time of day zero, the time with its date zero.
    int values[2 * kPartCount];
    if (date)
        SetValues(values, year, month, day, 0, 0, 0);
    else
        SetValues(values, 0, 0, 0, hour, minute, second);
    SetValues(values + kTimeValues, 0, 0, 0, hour, minute, second);
    char buffer[128];
    if (compiled.MaxLength <= sizeof buffer)
        return std::string(buffer, WriteCompiled(buffer, compiled, values));
    std::string text(compiled.MaxLength, '\0');
    text.resize(static_cast<std::size_t>(WriteCompiled(text.data(), compiled, values) - text.data()));
    return text;
}

std::string FormatDateParts(const std::string& pattern, int year, int month, int day, int hour, int minute,
                            int second) {
    std::string out;
    AppendDateParts(out, pattern, year, month, day, hour, minute, second);
    return out;
}
