#pragma once
// The program's command line. Without arguments (or with Qt's own) it opens the dialog; --show and
// --test are its twins for a terminal, an installer or a monitor: no window, answers on stdout,
// the outcome in the exit code.

#include <string>
#include <vector>

enum TCommandMode : unsigned char { cmDialog, cmHelp, cmVersion, cmShow, cmTest };

// Exit codes of --show and --test.
inline constexpr int kExitOk = 0;
inline constexpr int kExitConnectFailed = 1;
inline constexpr int kExitBadUsage = 2; // also bad settings
inline constexpr int kExitTimeout = 3;

struct TCommandLine {
    TCommandMode Mode = cmDialog;
    bool StartServer = false; // the answer "Tak" to the question about a local server
    bool Json = false;
    int TimeoutSeconds = 0;    // 0: wait as long as the client library does
    std::string SettingsFile;  // empty: baza.set beside the program
    std::string ClientLibrary; // empty: the suite's default client library
    std::string Error;         // a usage error, in Polish; Mode is then cmHelp
};

// args without the program name. An argument the program does not know is left to Qt in dialog mode
// only; next to --show or --test it is a usage error.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// --help, in Polish.
std::string HelpText();
