// SPDX-License-Identifier: GPL-3.0-or-later
#include "Q7Variants.h"

#include "LoggedFailure.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <charconv>
#include <sstream>
#include <stdexcept>

namespace Talvessa {

namespace {

std::int32_t configuredBrightness() {
    const auto& key = IniFile::keys::LedBright;
    const std::string text = IniFile::getIniFile().readString(key.section, key.key, "0");
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    std::int32_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end)
        throw std::runtime_error("The setting \"" + std::string(key.key) + "\" of section \"" +
                                 key.section + "\" is not a whole number: '" + text + "'");
    return value;
}

// Completes a variant's construction: brightness to the device, then the last calibration.
void loadSettings(Q7_Base& source, std::int32_t referenceDefault, std::int32_t darkDefault,
                  double& reference, double& dark) {
    source.setLedBrightness(configuredBrightness());
    const auto& profile = IniFile::getIniFile();
    reference =
        profile.readInteger(IniFile::keys::OD1.section, IniFile::keys::OD1.key, referenceDefault);
    dark =
        profile.readInteger(IniFile::keys::ODDark.section, IniFile::keys::ODDark.key, darkDefault);
    if (reference == 0.0)
        reference = 1.0;
}

} // namespace

Q7_82::Q7_82(ConnectionInterface& port, std::int32_t channelNumber, __lumo::Sleeper& sleeper)
    : Q7_Base(port, channelNumber, 6, sleeper) {
    loadSettings(*this, 4095, 1, reference, dark);
}

void Q7_82::checkErrorState() {
    UCharContainer status(statusLength);
    sleeper_.sleepMilliseconds(statusDelayMilliseconds);
    connection >> status;
    const std::string prefix = "Q7_82::checkErrorState\t";
    switch (status.at(0)) {
    case 0:
    case 4:
    case 5:
        return;
    case 1:
        logAndThrowStatus(prefix + "device returned:\n\"interrupt error\"");
    case 2:
        logAndThrowStatus(prefix + "device returned:\n\"unknown code\"");
    case 3:
        logAndThrowStatus(prefix + "device returned:\n\"Q7 error\"");
    case 6:
        logAndThrowStatus(prefix + "device returned:\n\"wrong code\"");
    default: {
        std::ostringstream text;
        text << prefix << "device returned an unknown errorcode\n" << status << "\n";
        logAndThrowStatus(text.str());
    }
    }
}

Q7_Old::Q7_Old(ConnectionInterface& port, std::int32_t channelNumber, __lumo::Sleeper& sleeper)
    : Q7_Base(port, channelNumber, 1, sleeper) {
    loadSettings(*this, 1234, 16, reference, dark);
}

void Q7_Old::checkErrorState() {
    UCharContainer status(1);
    sleeper_.sleepMilliseconds(statusDelayMilliseconds);
    connection >> status;
    if (status.at(0) != 0) {
        std::ostringstream text;
        text << "device returned an old errorcode " << status;
        logAndThrowStatus(text.str());
    }
}

} // namespace Talvessa
