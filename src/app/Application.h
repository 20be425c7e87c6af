#pragma once
// The application object: its event dispatch is the program's top level, so that an exception
// that a handler let through still never crosses Qt's event loop.

#include <QApplication>

class QWidget;

class TZelwanApplication : public QApplication {
public:
    TZelwanApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The application title, also the caption of the default error box.
extern const char* const kApplicationTitle;

// Ends the message loop once `window` has been drawn for the first time. The program does this when
// ZELWAN_QUIT_WHEN_SHOWN is set, so that its start-up can be measured up to the dialog on the screen
// (scripts/bench.sh).
void QuitOnceShown(QWidget& window);

// What the program sets up once its application object exists and before any window is built:
// the title, the desktop entry's name, the window icon and the designs' fonts.
void InitApplication();
