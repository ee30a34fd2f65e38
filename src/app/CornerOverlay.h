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
    CornerOverlay(QWidget* box, QWidget* host) : QObject(host), box_(box), host_(host) {
        box->setParent(host);
        box->setAutoFillBackground(true);
        host->installEventFilter(this);
        box->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((watched == host_ && event->type() == QEvent::Resize) ||
            (watched == box_ && event->type() == QEvent::Show))
            place();
        return false;
    }

private:
    void place() {
        box_->adjustSize();
        box_->move(std::max(0, host_->width() - box_->width() - margin), margin);
        box_->raise();
    }

    static constexpr int margin = 4;
    QWidget* box_;
    QWidget* host_;
};
