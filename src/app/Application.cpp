#include "app/Application.h"

#include "ui/Fonts.h"
#include "ui/QtUserInterface.h"

#include <QEvent>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

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

namespace {

// Watches its parent window for its first paint, then asks the loop to quit once that event is done.
class TQuitOnFirstPaint : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

void QuitOnceShown(QWidget& window) {
    window.installEventFilter(new TQuitOnFirstPaint(&window));
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
