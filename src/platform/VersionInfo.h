#pragma once
// The program's own version information. On Windows it is a resource of the executable; here it is
// fixed when the program is built (the CMake cache variable ZELWAN_PGID).

#include <string>

namespace platform {

// The program group identifier, the entry "PGID": the build setting as an integer, 0 when the
// setting is empty or not an integer. Read once, the first time it is asked for.
int ProgramGroupId();

// How the entry's text becomes the identifier: an optional sign and decimal digits in the range
// of int, blanks around them allowed; anything else gives 0.
int ProgramGroupIdFromText(const std::string& text);

} // namespace platform
