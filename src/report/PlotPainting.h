// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QSize>

class QCustomPlot;
class QCPPainter;

// Draws a chart onto a printer, a PDF or a preview page: laid out as a widget of layoutSize
// pixels, then scaled into target (device coordinates of the painter). Lines and texts stay
// vectors. The chart's point-sized fonts are drawn at the size they have on screen relative to
// the chart, whatever the resolution of the device; the chart is left as it was.
void paintPlot(QCustomPlot& plot, QCPPainter& painter, const QRectF& target,
               const QSize& layoutSize);
