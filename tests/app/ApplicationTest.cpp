// The program's start-up hook: the message loop ends once the window has been drawn.

#include "app/Application.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Runs the message loop until it quits by itself or `limitMs` passes; true when it quit by itself.
bool LoopQuitsByItself(int limitMs) {
    bool timedOut = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    limit.start(limitMs);
    QCoreApplication::exec();
    return !timedOut;
}

TEST(QuitOnceShown, TheLoopEndsOnceTheWindowIsDrawn) {
    QDialog window;
    QuitOnceShown(window);
    window.show();
    EXPECT_TRUE(LoopQuitsByItself(20000));
}

TEST(QuitOnceShown, AWindowNeverShownLeavesTheLoopRunning) {
    QDialog window;
    QuitOnceShown(window);
    EXPECT_FALSE(LoopQuitsByItself(300));
}

TEST(QuitOnceShown, OnlyTheFirstPaintQuits) {
    QDialog window;
    QuitOnceShown(window);
    window.show();
    ASSERT_TRUE(LoopQuitsByItself(20000));
    // Quitting closed the window; shown again, it is drawn again.
    window.show();
    EXPECT_FALSE(LoopQuitsByItself(300)) << "a later paint leaves the loop running";
}

} // namespace
