// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QObject>
#include <functional>
#include <utility>

// Calls back each time the watched widget loses the focus, whatever happened to its content.
// Owned by the widget it watches.
class FocusLeaveWatcher : public QObject {
public:
    FocusLeaveWatcher(QObject* watched, std::function<void()> left)
        : QObject(watched), left_(std::move(left)) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut)
            left_();
        return false;
    }

private:
    std::function<void()> left_;
};
