#include "app/Application.h"

#include "ui/Fonts.h"
#include "ui/QtUserInterface.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

const char* const kApplicationTitle = "Konfiguracja połączenia z bazą danych";

TZelwanApplication::TZelwanApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TZelwanApplication::notify(QObject* receiver, QEvent* event) {
    // The guard is entered only when a handler threw: every event pays for no more than the try.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        RunGuarded([] { throw; });
        return false;
    }
}

void InitApplication() {
    Q_INIT_RESOURCE(zelwan); // the pictures live in a static library
    // The application name is the title: the default error box takes it as its caption, and unlike
    // a display name it is not appended to every window's caption.
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("zelwan"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/zelwan/zelwan-32.png"));
    icon.addFile(QStringLiteral(":/zelwan/zelwan-48.png"));
    QApplication::setWindowIcon(icon);
    InstallFontSubstitutions();
    // The program speaks Polish whatever the desktop's language, so do the platform's own dialogs
    // (directory selection, message box buttons) where Qt's Polish texts are installed.
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
