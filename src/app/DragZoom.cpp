// SPDX-License-Identifier: GPL-3.0-or-later
#include "DragZoom.h"

#include <QMouseEvent>
#include <QRubberBand>
#include <qcustomplot.h>

DragZoom::DragZoom(QCustomPlot* plot) : QObject(plot), plot_(plot) {
    plot->installEventFilter(this);
}

bool DragZoom::eventFilter(QObject* watched, QEvent* event) {
    // The plot gets every kind of event; only mouse events may be read as such.
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (watched != plot_ || !mouse)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        emit doubleClicked(mouse->pos());
        return true;
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton && enabled_) {
            start_ = mouse->pos();
            dragging_ = true;
            if (!band_)
                band_ = new QRubberBand(QRubberBand::Rectangle, plot_);
            band_->setGeometry(QRect(start_, QSize()));
            band_->show();
        }
        return false;
    case QEvent::MouseMove:
        if (dragging_)
            band_->setGeometry(QRect(start_, mouse->pos()).normalized());
        return false;
    case QEvent::MouseButtonRelease: {
        if (!dragging_ || mouse->button() != Qt::LeftButton)
            return false;
        dragging_ = false;
        band_->hide();
        const QPoint end = mouse->pos();
        if ((end - start_).manhattanLength() < 6)
            return false;
        if (end.x() < start_.x()) {
            emit undoRequested();
        } else {
            const double x1 = plot_->xAxis->pixelToCoord(start_.x());
            const double x2 = plot_->xAxis->pixelToCoord(end.x());
            const double y1 = plot_->yAxis->pixelToCoord(start_.y());
            const double y2 = plot_->yAxis->pixelToCoord(end.y());
            emit zoomRequested({std::min(x1, x2), std::max(x1, x2)},
                               {std::min(y1, y2), std::max(y1, y2)});
        }
        plot_->replot();
        return true;
    }
    default:
        return false;
    }
}
