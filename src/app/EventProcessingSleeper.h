// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lumo/Sleeper.h"

#include <QEventLoop>
#include <QTimer>

// The start-up's pauses on the window thread: the windows keep painting (the splash with its
// picture and progress, the main window behind it), while the user's input waits until the
// start-up is over.
class EventProcessingSleeper : public __lumo::Sleeper {
public:
    void sleepMilliseconds(unsigned long milliseconds) override {
        QEventLoop pause;
        QTimer::singleShot(static_cast<int>(milliseconds), Qt::PreciseTimer, &pause,
                           &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
};
