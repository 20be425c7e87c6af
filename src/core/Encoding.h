#pragma once
// Text encoding at the program's boundaries. Inside, text is UTF-8; peers of the suite speak
// Windows-1250 (the database connection, settings files carried over from Windows).

#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view text);
// Every byte maps; the five bytes Windows-1250 leaves undefined become the C1 code points, as on Windows.
std::string Cp1250ToUtf8(std::string_view text);
// Characters outside Windows-1250, and bytes that are not valid UTF-8, become "?".
std::string Utf8ToCp1250(std::string_view text);
// Text that is valid UTF-8 as it is, else read as Windows-1250.
std::string AnyToUtf8(std::string_view text);

// Code points of UTF-8 text; an invalid byte decodes as U+FFFD and counts as one character.
std::u32string Utf8ToU32(std::string_view text);
std::string U32ToUtf8(std::u32string_view text);
void AppendUtf8(std::string& out, char32_t c);
// Number of characters (code points) of UTF-8 text.
std::size_t Utf8Length(std::string_view text);

// Upper and lower case of one character for the letters of the Latin scripts (Polish included).
char32_t UpperChar(char32_t c);
char32_t LowerChar(char32_t c);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
