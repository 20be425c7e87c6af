#pragma once
// Local server control: the Firebird server installed on this machine, whether a local database
// server runs, and starting the Firebird server. The connection test uses them before it attaches
// to a local database, to offer a start when no server runs.
//
// The installation comes from the machine root of the registry store, which presents the server
// installed here when its file names none (platform/FirebirdInstance.h). A server that runs is a
// process of that executable name (the InterBase server first, then the Firebird server); the
// start runs the installation's server executable from an argument vector, never through a shell.

#include <functional>
#include <string>

// The executable names the running servers are known by: InterBase's and Firebird's server.
inline constexpr const char* kInterBaseServerProcess = "ibserver";
inline constexpr const char* kFirebirdServerProcess = "firebird";

// Finds the installation directory: the value "DefaultInstance" of the machine root's instance key
// (empty when the key has no such value; the directory is not examined, so an empty one or one
// without the server still counts as found). When the key does not open and askDirectory is set,
// asks for the directory in the directory chooser, found when it holds the server executable. When
// nothing is found and showMessage is set, says "Server FireBird nie jest zainstalowany na tym
// komputerze.". A "DefaultInstance" that is not text raises platform::ERegistryException.
bool GetFBServerDir(std::string& dir, bool showMessage, bool askDirectory);

// True when a local database server runs.
bool IsIBRunning();

// Starts the installed Firebird server: the installation directory glued to the executable name
// without a separator, with the switch "-a", not waited for. True when the process was created;
// otherwise the reason has been shown. The wait cursor is shown meanwhile and put back as it was on
// every path.
bool StartServer();

// The running-process lookup IsIBRunning asks, by executable name; platform::ProcessRunning by default.
using TProcessLookup = std::function<bool(const std::string& exeName)>;
// Installs a lookup (tests; an empty one puts the default back); returns the one installed before.
TProcessLookup SetProcessLookup(TProcessLookup lookup);
