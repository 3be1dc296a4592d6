#pragma once

// The whole screen of a test that runs on a real X server, once it has settled.
// Header-only: the test support library itself needs no Qt Gui.

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

namespace quvtest {

inline QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// Waits until two grabs in a row agree, so that every window has been drawn.
inline QImage stableScreenGrab()
{
    QImage previous = grabScreen();
    for (int attempt = 0; attempt < 50; ++attempt) {
        QTest::qWait(50);
        const QImage current = grabScreen();
        if (current == previous)
            return current;
        previous = current;
    }
    return previous;
}

} // namespace quvtest
