#pragma once
// Helpers for driving modal windows from a test.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs act on the modal window as soon as one is up (polling the event loop, at most ~5 s).
inline void WhenModal(std::function<void(QWidget*)> act, int triesLeft = 500) {
    QTimer::singleShot(triesLeft == 500 ? 0 : 10, [act, triesLeft] {
        if (QWidget* w = QApplication::activeModalWidget())
            act(w);
        else if (triesLeft > 0)
            WhenModal(act, triesLeft - 1);
    });
}
