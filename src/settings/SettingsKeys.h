// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace IniFile {

enum class SettingType { Int, Bool, Text, Float, IntText };

// One value kept in a settings profile. newProfileValue is what a newly created profile
// gets (nullptr: not written there). Readers pass their own defaults.
struct SettingKey {
    const char* section;
    const char* key;
    SettingType type;
    const char* newProfileValue;
};

namespace keys {
extern const SettingKey Locked, Run, FirstTime, Country, LED;
extern const SettingKey ODChannel, Interval, RefChannel, LedBright;
extern const SettingKey Quality, UsePreByte, Plotit, OwnAutoDir, AutoSave, AutoConnect, Beep, NewOD,
    User, Company, Dir, ComPort, SaveAsDir, Sim0Clock;
extern const SettingKey OD1, ODDark;
extern const SettingKey CalcName, A1, A2, A3, A4;
extern const SettingKey DACresolution, LIVEmin;
} // namespace keys

// Every key, in the order a new profile is written.
const std::vector<const SettingKey*>& allSettingKeys();

// Section of the serial device paths: key = connection type ("Com3"), value = device path.
constexpr const char* portsSection = "Ports";

} // namespace IniFile
