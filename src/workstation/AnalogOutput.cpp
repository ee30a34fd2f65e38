// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnalogOutput.h"

#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <cmath>

AnalogOutput::Code AnalogOutput::compute(double analogCalcOd, const QString& fullScaleText) {
    using namespace IniFile::keys;
    int resolution = 12;
    int liveMinimum = 200;
    float fullScale = lastFullScale_;
    try {
        const auto& profile = IniFile::getIniFile();
        resolution = profile.readInteger(DACresolution.section, DACresolution.key, 12);
        liveMinimum = profile.readInteger(LIVEmin.section, LIVEmin.key, 200);
        bool ok = false;
        const double parsed = fullScaleText.trimmed().toDouble(&ok);
        if (ok && std::isfinite(parsed)) {
            fullScale = static_cast<float>(parsed);
            lastFullScale_ = fullScale;
        }
    } catch (const std::exception&) {
        // No profile: the defaults and the last valid full scale stand.
    }
    const auto x = static_cast<float>(std::max(0.0, analogCalcOd));
    Code result;
    if (x >= fullScale)
        result.code = resolution;
    else if (live)
        result.code = static_cast<int>(std::trunc(
            static_cast<double>(x) * (resolution - liveMinimum) / fullScale + 0.5 + liveMinimum));
    else
        result.code =
            static_cast<int>(std::trunc(static_cast<double>(x) * resolution / fullScale + 0.5));
    result.highByte = (result.code >> 8) % 256;
    result.lowByte = result.code % 256;
    return result;
}
