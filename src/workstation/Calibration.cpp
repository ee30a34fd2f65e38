// SPDX-License-Identifier: GPL-3.0-or-later
#include "Calibration.h"

#include "DisplayTexts.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <cmath>
#include <limits>

namespace Calibration {

namespace {

double profileValue(const IniFile::SettingKey& key) {
    return IniFile::getIniFile().readFloat(key.section, key.key, 1234.0);
}

std::int32_t wholeValue(double value) {
    const double cut = std::trunc(value);
    if (!(cut >= std::numeric_limits<std::int32_t>::min() &&
          cut <= std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(cut);
}

// Takes the listener off the source's progress events when the calibration ends in any way.
struct ListenerScope {
    Talvessa::ODSourceInterface& source;
    __lumo::EventListenerInterface<__lumo::ProgressInfoType>* listener;
    ListenerScope(Talvessa::ODSourceInterface& s,
                  __lumo::EventListenerInterface<__lumo::ProgressInfoType>* l)
        : source(s), listener(l) {
        if (listener)
            source.progressCaller.addListener(listener);
    }
    ~ListenerScope() {
        if (listener)
            source.progressCaller.removeListener(listener);
    }
};

} // namespace

QString lastReferenceText() {
    return QStringLiteral("Last: ") +
           DisplayTexts::wholeNumberText(profileValue(IniFile::keys::OD1), 5) +
           QStringLiteral(" units for OD=0");
}

QString lastDarkText() {
    return QStringLiteral("Last: ") +
           DisplayTexts::wholeNumberText(profileValue(IniFile::keys::ODDark), 5) +
           QStringLiteral(" units for OD=maximum");
}

Outcome run(Talvessa::ODSourceInterface& source,
            __lumo::EventListenerInterface<__lumo::ProgressInfoType>* progress) {
    Outcome outcome;
    {
        ListenerScope scope(source, progress);
        outcome.result = source.calibrate();
    }
    outcome.newReferenceText =
        DisplayTexts::wholeNumberText(outcome.result.reference, 4) + QStringLiteral(" units");
    outcome.newDarkText =
        DisplayTexts::wholeNumberText(outcome.result.dark, 4) + QStringLiteral(" units");
    auto& profile = IniFile::getIniFile();
    profile.writeInteger(IniFile::keys::ODDark.section, IniFile::keys::ODDark.key,
                         wholeValue(outcome.result.dark));
    profile.writeInteger(IniFile::keys::OD1.section, IniFile::keys::OD1.key,
                         wholeValue(outcome.result.reference));
    return outcome;
}

} // namespace Calibration
