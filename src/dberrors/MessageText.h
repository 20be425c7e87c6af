#pragma once
// Text operations of the error translation, on characters (code points) and with the 1-based
// positions in which the translation rules are written: a position 0 means "not found".

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dberrors {

using TText = std::u32string;
using TTextView = std::u32string_view;

// The first occurrence of sub in text at or after position from; 0 when none (or sub is empty).
std::size_t Pos(TTextView sub, TTextView text, std::size_t from = 1);
// count characters from position index (a position below 1 counts as 1); empty when count <= 0 or
// index lies past the end.
TText Copy(TTextView text, long long index, long long count);
// The lines of a message, split at CR LF, CR or LF; a final line break starts no further line.
std::vector<TText> SplitLines(TTextView text);
// Whether text begins with lead, the first letter compared without regard to case (the client
// layer capitalises the first letter of every server line).
bool OpensWith(TTextView text, TTextView lead);

} // namespace dberrors
