// SPDX-License-Identifier: GPL-3.0-or-later
#include "DragZoom.h"

#include <QMouseEvent>
#include <QRubberBand>
#include <qcustomplot.h>

DragZoom::DragZoom(QCustomPlot* plot) : QObject(plot), plot(plot) {
    plot->installEventFilter(this);
}

bool DragZoom::eventFilter(QObject* watched, QEvent* event) {
    // The plot gets every kind of event; only mouse events may be read as such.
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (watched != plot || !mouse)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        emit doubleClicked(mouse->pos());
        return true;
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton && enabled) {
            start = mouse->pos();
            dragging = true;
            if (!band)
                band = new QRubberBand(QRubberBand::Rectangle, plot);
            band->setGeometry(QRect(start, QSize()));
            band->show();
        }
        return false;
    case QEvent::MouseMove:
        if (dragging)
            band->setGeometry(QRect(start, mouse->pos()).normalized());
        return false;
    case QEvent::MouseButtonRelease: {
        if (!dragging || mouse->button() != Qt::LeftButton)
            return false;
        dragging = false;
        band->hide();
        const QPoint end = mouse->pos();
        if ((end - start).manhattanLength() < 6)
            return false;
        if (end.x() < start.x()) {
            emit undoRequested();
        } else {
            const double x1 = plot->xAxis->pixelToCoord(start.x());
            const double x2 = plot->xAxis->pixelToCoord(end.x());
            const double y1 = plot->yAxis->pixelToCoord(start.y());
            const double y2 = plot->yAxis->pixelToCoord(end.y());
            emit zoomRequested({std::min(x1, x2), std::max(x1, x2)},
                               {std::min(y1, y2), std::max(y1, y2)});
        }
        plot->replot();
        return true;
    }
    default:
        return false;
    }
}
