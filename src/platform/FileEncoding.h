#pragma once
// The encoding of a text file of the suite, decided once when the file is read and kept by every
// write: UTF-8, or Windows-1250 for a file that is not valid UTF-8 (carried over from Windows),
// either with or without a UTF-8 byte-order mark.

#include <string>
#include <string_view>

namespace platform {

struct TFileEncoding {
    bool Bom = false;
    bool Cp1250 = false;

    // The bytes as UTF-8 text, without the byte-order mark, and the encoding they were read in.
    static std::string Decode(std::string_view bytes, TFileEncoding& encoding);
    // Whether text can be written in this encoding and read back unchanged: valid UTF-8, and for
    // Windows-1250 only characters Windows-1250 has. Empty when it can, else the reason.
    std::string Refusal(std::string_view text) const;
    // The bytes of text (which Refusal accepts), with the byte-order mark when the file had one.
    std::string Encode(std::string_view text) const;
    // Whether Encode(text) would be read as UTF-8 although the encoding is Windows-1250: then the
    // writer adds MarkerComment() somewhere its reader skips, and the file stays Windows-1250.
    bool NeedsMarker(std::string_view text) const;
    // A comment of Polish letters, which in Windows-1250 no UTF-8 reader accepts.
    static std::string_view MarkerComment();
};

} // namespace platform
