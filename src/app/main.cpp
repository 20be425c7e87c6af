// The connection configuration program: one dialog, the application's main window.

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/ConsoleCommands.h"
#include "app/LokalizacjaBazy.h"
#include "ui/QtUserInterface.h"
#include "ui/SelDir.h"
#include "ui/XpTheme.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The terminal's commands come first: they need no display, so no QApplication is made for them.
    const TCommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.Mode) {
    case cmVersion:
        std::printf("zelwan %s\n", ZELWAN_VERSION);
        return kExitOk;
    case cmHelp:
        if (!command.Error.empty()) {
            std::fprintf(stderr, "zelwan: %s\nOpis opcji: zelwan --help\n", command.Error.c_str());
            return kExitBadUsage;
        }
        std::fputs(HelpText().c_str(), stdout);
        return kExitOk;
    case cmShow:
    case cmTest:
        return RunConsoleCommand(command);
    case cmDialog:
        break;
    }
    TZelwanApplication app(argc, argv);
    InitApplication();
    TQtUserInterface userInterface;
    InstallSelDirHook();

    int exitCode = 0;
    RunGuarded([&] {
        Txptheme::CreateMgr<TxpthemePCB>();
        // Declared before the form, so the manager goes after it however the block ends.
        struct TFreeThemeManager {
            ~TFreeThemeManager() { Txptheme::FreeMgr(); }
        } freeThemeManager;
        TfLokalizacjaBazy form;
        QObject::connect(&form, &QDialog::finished, &app, &QApplication::quit);
        if (qEnvironmentVariableIsSet("ZELWAN_QUIT_WHEN_SHOWN"))
            QuitOnceShown(form);
        form.show();
        exitCode = app.exec();
    });
    return exitCode;
}
