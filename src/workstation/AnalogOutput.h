// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The converter code for the photometer's analog output that matches a CalcOD, in the plain
// range (0..20 mA) or the LIVE range (4..20 mA). It is computed and shown, not sent.
class AnalogOutput {
public:
    struct Code {
        int code = 0;
        int highByte = 0;
        int lowByte = 0;
    };

    // analogCalcOd is CalcOD with negative values taken as 0; fullScaleText is the OD that
    // gives the highest code. An unreadable full scale falls back to the last valid one.
    Code compute(double analogCalcOd, const QString& fullScaleText);

    bool live = true;

private:
    float lastFullScale_ = 10.0f;
};
