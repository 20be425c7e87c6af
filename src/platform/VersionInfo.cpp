#include "platform/VersionInfo.h"

#include <charconv>

#ifndef ZELWAN_PGID
#define ZELWAN_PGID ""
#endif

namespace platform {

int ProgramGroupIdFromText(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return 0;
    const std::size_t last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin; // from_chars takes "-" only
    int value = 0;
    const std::from_chars_result r = std::from_chars(begin, end, value);
    return r.ec == std::errc() && r.ptr == end ? value : 0;
}

int ProgramGroupId() {
    static const int id = ProgramGroupIdFromText(ZELWAN_PGID);
    return id;
}

} // namespace platform
