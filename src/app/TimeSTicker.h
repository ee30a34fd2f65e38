// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <qcustomplot.h>

// Time axes are labelled with the elapsed hours and minutes of their positions, as the TimeS
// column of the rows reads ("26:05").
class TimeSTicker : public QCPAxisTicker {
protected:
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        if (tick < 0)
            return QString();
        const long minutes = static_cast<long>(std::floor(tick + 1e-9));
        return QString::number(minutes / 60) + QLatin1Char(':') +
               QString::number(minutes % 60).rightJustified(2, QLatin1Char('0'));
    }
};
