// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/ODSourceInterface.h"

#include <QString>

// What the calibration page shows and stores around the source's own calibration.
namespace Calibration {

// "Last: 4095 units for OD=0" and "Last: 1 units for OD=maximum", from the open profile.
QString lastReferenceText();
QString lastDarkText();

struct Outcome {
    Talvessa::CalibrationResult result;
    QString newReferenceText; // "4095 units"
    QString newDarkText;      // "0 units"
};

// Calibrates the source with the listener attached (removed again whatever happens) and
// stores the new values, cut to whole numbers, in the profile. Nothing is stored when the
// calibration fails.
Outcome run(Talvessa::ODSourceInterface& source,
            __lumo::EventListenerInterface<__lumo::ProgressInfoType>* progress);

} // namespace Calibration
