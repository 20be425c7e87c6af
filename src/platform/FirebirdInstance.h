#pragma once
// The Firebird server installed on this machine. On Windows its installer records the installation
// directory in the machine root under the instance key; here the machine root of the registry store
// presents that key from the server it finds when the store's file names none, so a machine with
// Firebird installed by its package needs no file written by hand.
//
// The installation directory is the directory of the server executable, ending with "/":
// "/opt/firebird/bin/" in Firebird's own Linux layout, "/usr/sbin/" for Debian's
// firebird3.0-server. The executable itself is "firebird" (Firebird 3 merged the Windows
// "bin\fbserver.exe" into it); directory and name are glued without a separator, as on Windows.

#include <string>
#include <vector>

namespace platform {

// The instance key of the machine root, and its value naming the installation directory.
inline constexpr const char* kFirebirdInstancesKey =
    "\\Software\\Firebird Project\\Firebird Server\\Instances\\";
inline constexpr const char* kFirebirdDefaultInstance = "DefaultInstance";
// The server executable, relative to the installation directory.
inline constexpr const char* kFirebirdServerExe = "firebird";

// The installation directories looked at, in this order: Firebird's own layout, then Debian's.
std::vector<std::string> FirebirdServerDirs();
// Replaces that list (tests: an empty list finds nothing); returns the list in force before.
std::vector<std::string> SetFirebirdServerDirs(std::vector<std::string> dirs);
// The first of them that holds kFirebirdServerExe as an executable file; empty when none does.
std::string InstalledFirebirdDir();

// A key the machine root shows when its file does not hold it; the path is relative to the root,
// without a leading or trailing backslash.
struct TPresentedValue {
    std::string Name;
    std::string Text;
};
struct TPresentedKey {
    std::string Path;
    std::vector<TPresentedValue> Values;
};
// The instance key with "DefaultInstance" of the installed server; nothing when none is installed.
std::vector<TPresentedKey> PresentedMachineKeys();

} // namespace platform
