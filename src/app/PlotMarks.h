// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCPItemLine;
class QCPItemText;

// A labelled mark on a chart: an arrow of a fixed length in pixels that ends at a data point,
// and its label at the arrow's other end. The label is turned inward so that all of it lies
// inside the plot: above the point, below it near the top, to the left of it near the right
// edge (to the right near the left edge). Call it again whenever the axes or the size change;
// the chart does so after each layout (see keepMarksInside).
void placeMarkInside(QCPItemText* text, QCPItemLine* arrow, double x, double y, int arrowPixels);
