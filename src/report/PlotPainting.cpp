// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlotPainting.h"

#include <functional>
#include <qcustomplot.h>
#include <vector>

namespace {

// The chart measures its texts against the screen but the painter draws them against its
// device; fonts in pixels are the same on both. They are set for the drawing and put back.
class FontsInPixels {
public:
    explicit FontsInPixels(QCustomPlot& plot) : pixelsPerPoint_(plot.logicalDpiY() / 72.0) {
        for (QCPAxisRect* rect : plot.axisRects()) {
            for (QCPAxis* axis : rect->axes()) {
                convert([axis] { return axis->labelFont(); },
                        [axis](const QFont& f) { axis->setLabelFont(f); });
                convert([axis] { return axis->tickLabelFont(); },
                        [axis](const QFont& f) { axis->setTickLabelFont(f); });
            }
        }
        for (QCPLayoutElement* element : plot.plotLayout()->elements(true)) {
            if (auto* text = qobject_cast<QCPTextElement*>(element)) {
                convert([text] { return text->font(); },
                        [text](const QFont& f) { text->setFont(f); });
            } else if (auto* legend = qobject_cast<QCPLegend*>(element)) {
                convert([legend] { return legend->font(); },
                        [legend](const QFont& f) { legend->setFont(f); });
                for (int i = 0; i < legend->itemCount(); ++i) {
                    QCPAbstractLegendItem* item = legend->item(i);
                    convert([item] { return item->font(); },
                            [item](const QFont& f) { item->setFont(f); });
                }
            }
        }
        for (int i = 0; i < plot.itemCount(); ++i) {
            if (auto* text = qobject_cast<QCPItemText*>(plot.item(i)))
                convert([text] { return text->font(); },
                        [text](const QFont& f) { text->setFont(f); });
        }
    }
    ~FontsInPixels() {
        for (auto it = restore_.rbegin(); it != restore_.rend(); ++it)
            (*it)();
    }
    FontsInPixels(const FontsInPixels&) = delete;
    FontsInPixels& operator=(const FontsInPixels&) = delete;

private:
    void convert(const std::function<QFont()>& get, const std::function<void(const QFont&)>& set) {
        const QFont old = get();
        if (old.pixelSize() > 0)
            return;
        QFont inPixels = old;
        inPixels.setPixelSize(std::max(1, qRound(old.pointSizeF() * pixelsPerPoint_)));
        set(inPixels);
        restore_.push_back([set, old] { set(old); });
    }

    double pixelsPerPoint_;
    std::vector<std::function<void()>> restore_;
};

} // namespace

void paintPlot(QCustomPlot& plot, QCPPainter& painter, const QRectF& target,
               const QSize& layoutSize) {
    if (layoutSize.isEmpty() || target.isEmpty())
        return;
    {
        FontsInPixels fonts(plot);
        const auto modes = painter.modes();
        painter.save();
        painter.translate(target.topLeft());
        painter.scale(target.width() / layoutSize.width(), target.height() / layoutSize.height());
        painter.setClipRect(QRect(QPoint(0, 0), layoutSize));
        // Hairlines would be one device dot wide: a thread on a printer.
        painter.setModes(QCPPainter::pmVectorized | QCPPainter::pmNoCaching |
                         QCPPainter::pmNonCosmetic);
        plot.toPainter(&painter, layoutSize.width(), layoutSize.height());
        painter.restore();
        painter.setModes(modes);
    }
    // The drawing laid the chart out for the page; the screen gets its own layout back.
    plot.replot(QCustomPlot::rpQueuedReplot);
}
