// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <functional>
#include <utility>

// Calls back each time the watched widget loses the focus, whatever happened to its content;
// with alsoOnEnter also when Enter is pressed in it (a masked field that is not filled up
// gives no returnPressed of its own). Owned by the widget it watches.
class FocusLeaveWatcher : public QObject {
public:
    FocusLeaveWatcher(QObject* watched, std::function<void()> left, bool alsoOnEnter = false)
        : QObject(watched), left_(std::move(left)), alsoOnEnter_(alsoOnEnter) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut)
            left_();
        if (alsoOnEnter_ && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                left_();
        }
        return false;
    }

private:
    std::function<void()> left_;
    bool alsoOnEnter_;
};
