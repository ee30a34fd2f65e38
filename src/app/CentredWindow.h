// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

// Puts a window in the middle of the screen it is on (or the primary one).
inline void centreOnScreen(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

// Gives a window the size it wants, but no more than the free area of its screen leaves for
// it and its frame, and puts it in the middle: on a small screen a larger window would have
// its buttons and close box off the screen.
inline void fitOnScreen(QWidget& window, QSize wanted) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Before the first showing nothing is known of the window manager's frame; a title bar
    // and borders take about this much.
    QSize frame = window.frameGeometry().size() - window.size();
    if (frame.width() <= 0 && frame.height() <= 0)
        frame = QSize(8, 32);
    const QRect free = screen->availableGeometry();
    window.resize(wanted.boundedTo(free.size() - frame).expandedTo(window.minimumSizeHint()));
    // The window manager puts the frame's corner where the window is moved to.
    const QSize whole = window.size() + frame;
    window.move(free.left() + std::max(0, (free.width() - whole.width()) / 2),
                free.top() + std::max(0, (free.height() - whole.height()) / 2));
}
