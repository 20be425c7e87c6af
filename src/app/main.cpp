// The connection configuration program: one dialog, the application's main window.

#include "app/Application.h"
#include "app/LokalizacjaBazy.h"
#include "ui/QtUserInterface.h"
#include "ui/SelDir.h"
#include "ui/XpTheme.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zelwan %s\n", ZELWAN_VERSION);
        return 0;
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
