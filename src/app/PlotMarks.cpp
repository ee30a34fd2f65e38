// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlotMarks.h"

#include <QFontMetrics>
#include <qcustomplot.h>

void placeMarkInside(QCPItemText* text, QCPItemLine* arrow, double x, double y, int arrowPixels) {
    QCustomPlot* plot = text->parentPlot();
    QCPAxisRect* area = plot->axisRect();
    const QRect inside = area->rect();
    const QPointF point(area->axis(QCPAxis::atBottom)->coordToPixel(x),
                        area->axis(QCPAxis::atLeft)->coordToPixel(y));
    const QMargins padding = text->padding();
    const QSize label = QFontMetrics(text->font()).size(Qt::TextSingleLine, text->text()) +
                        QSize(padding.left() + padding.right(), padding.top() + padding.bottom());

    // Upward by default; downward when the label would reach above the plot.
    const bool below = point.y() - arrowPixels - label.height() < inside.top();
    // Centred over the point unless that reaches past a side; then wholly beside it.
    int side = 0;
    if (point.x() + label.width() / 2.0 > inside.right())
        side = -1;
    else if (point.x() - label.width() / 2.0 < inside.left())
        side = 1;
    // A sideways arrow leans by half its length so the label clears the point.
    const double dx = side * arrowPixels * 0.7;
    const double dy = (below ? 1 : -1) * arrowPixels * (side == 0 ? 1.0 : 0.7);

    arrow->end->setType(QCPItemPosition::ptPlotCoords);
    arrow->end->setCoords(x, y);
    arrow->start->setType(QCPItemPosition::ptAbsolute);
    arrow->start->setParentAnchor(arrow->end);
    arrow->start->setCoords(dx, dy);
    Qt::Alignment alignment = below ? Qt::AlignTop : Qt::AlignBottom;
    alignment |= side < 0 ? Qt::AlignRight : side > 0 ? Qt::AlignLeft : Qt::AlignHCenter;
    text->setPositionAlignment(alignment);
    text->position->setType(QCPItemPosition::ptAbsolute);
    text->position->setParentAnchor(arrow->start);
    text->position->setCoords(0, 0);
}
