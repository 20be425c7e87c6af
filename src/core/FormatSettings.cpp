#include "core/FormatSettings.h"

#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

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

// Appends a value that is not negative with at least `width` digits, zeros in front.
void AppendDigits(std::string& out, int value, int width) {
    char digits[10];
    int count = 0;
    auto rest = static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (count < width)
        out.append(static_cast<std::size_t>(width - count), '0');
    while (count > 0)
        out += digits[--count];
}

} // namespace

void AppendDateParts(std::string& out, std::string_view pattern, int year, int month, int day, int hour,
                     int minute, int second) {
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = AsciiLower(pattern[i]);
        std::size_t run = 1;
        while (i + run < pattern.size() && AsciiLower(pattern[i + run]) == c)
            ++run;
        int value = -1;
        switch (c) {
        case 'y':
            value = run <= 2 ? year % 100 : year;
            break;
        case 'm': value = month; break;
        case 'd': value = day; break;
        case 'h': value = hour; break;
        case 'n': value = minute; break;
        case 's': value = second; break;
        default: break;
        }
        // A part whose value is negative is no part: its letters stay as written.
        if (value < 0)
            out.append(pattern.substr(i, run));
        else
            AppendDigits(out, value, c == 'y' ? (run <= 2 ? 2 : 4) : (run >= 2 ? 2 : 1));
        i += run;
    }
}

std::string FormatDateParts(const std::string& pattern, int year, int month, int day, int hour, int minute,
                            int second) {
    std::string out;
    out.reserve(pattern.size() + 4);
    AppendDateParts(out, pattern, year, month, day, hour, minute, second);
    return out;
}
