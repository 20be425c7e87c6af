#pragma once
// The dialog's twins for a terminal: --show prints the effective settings, --test runs the Test
// command's connection test without a window. Both write their answer to out (one JSON object with
// --json) and return the exit code; messages of the layers below go to the error stream.

#include "app/CommandLine.h"

#include <cstdio>
#include <string>

class QJsonObject;
class QString;
class TLokalizacjaBazyFile;

int RunShow(const TCommandLine& command, std::FILE* out);
int RunTest(const TCommandLine& command, std::FILE* out);

// The --show/--test run: the console user interface installed, the answer written, the exit code.
int RunConsoleCommand(const TCommandLine& command);

// Shared by the two commands.
inline constexpr const char* kSystemDatabase = "systemkw";
QString Q(const std::string& s);
void WriteJson(std::FILE* out, const QJsonObject& object);
void WriteText(std::FILE* out, const std::string& text);
// Loads the settings; false when the file could not be read (the reason has gone to the error stream).
bool LoadSettings(TLokalizacjaBazyFile& settings);
// The database name the connection test composes for the suite's system database.
std::string SystemDatabaseName(const TLokalizacjaBazyFile& settings);
