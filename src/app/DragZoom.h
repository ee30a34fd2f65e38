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
    void setEnabled(bool on) { enabled = on; }

signals:
    void zoomRequested(const AxisRange& time, const AxisRange& value);
    void undoRequested();
    void doubleClicked(const QPoint& pixel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCustomPlot* plot;
    QRubberBand* band = nullptr;
    QPoint start;
    bool dragging = false;
    bool enabled = true;
};
