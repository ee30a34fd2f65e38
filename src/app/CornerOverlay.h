// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <algorithm>

// Keeps a small box floating in the top right corner of a host widget (a chart), where it
// takes no room from the host's layout; it follows the host's size and is placed again each
// time it is shown. Owned by the host.
class CornerOverlay : public QObject {
public:
    CornerOverlay(QWidget* box, QWidget* host) : QObject(host), box(box), host(host) {
        box->setParent(host);
        box->setAutoFillBackground(true);
        host->installEventFilter(this);
        box->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((watched == host && event->type() == QEvent::Resize) ||
            (watched == box && event->type() == QEvent::Show))
            place();
        return false;
    }

private:
    void place() {
        box->adjustSize();
        box->move(std::max(0, host->width() - box->width() - margin), margin);
        box->raise();
    }

    static constexpr int margin = 4;
    QWidget* box;
    QWidget* host;
};
