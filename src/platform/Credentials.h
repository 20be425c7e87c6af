#pragma once
// The credential source of the suite's system account SYSKWR. The password is given by the
// environment variable ZELWAN_SYSKWR_PASSWORD or, when that is not set, by the first line of the
// file $XDG_CONFIG_HOME/zelwan/syskwr.password (default ~/.config/zelwan/syskwr.password), which
// only its owner may read. The program never writes the password anywhere, and no message it
// produces contains it.
//
// An empty value is no password: an empty variable counts as not set, and a file whose first line
// is empty is refused (no Firebird server accepts an empty password).

#include "core/Exception.h"

#include <string>

namespace platform {

class ECredentialError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* kSystemAccountPasswordVariable = "ZELWAN_SYSKWR_PASSWORD";

// The file the password is read from when the variable is not set.
std::string SystemAccountPasswordFile();

// The password: the variable's value, else the file's content up to its first line break ("\n" or
// "\r\n"). Throws ECredentialError when neither gives one (the message names both sources), and
// when the file cannot be read, is not a regular file, may be read by its group or by others (the
// message names the file and the rule, and the file is not used), or its first line is empty.
std::string SystemAccountPassword();

} // namespace platform
