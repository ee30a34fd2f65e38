// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/ChartWindow.h"

#include <QObject>
#include <QPoint>

class QCustomPlot;
class QRubberBand;

// Zooming a chart by dragging a rectangle: to the right it zooms into the rectangle, to the
// left it undoes the zoom. Double clicks are passed on.
class DragZoom : public QObject {
    Q_OBJECT
public:
    explicit DragZoom(QCustomPlot* plot);
    void setEnabled(bool on) { enabled_ = on; }

signals:
    void zoomRequested(const AxisRange& time, const AxisRange& value);
    void undoRequested();
    void doubleClicked(const QPoint& pixel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCustomPlot* plot_;
    QRubberBand* band_ = nullptr;
    QPoint start_;
    bool dragging_ = false;
    bool enabled_ = true;
};
