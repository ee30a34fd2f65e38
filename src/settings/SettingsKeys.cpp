// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsKeys.h"

namespace IniFile {

namespace keys {
using T = SettingType;
const SettingKey Locked{"Generell", "locked", T::Bool, "1"};
const SettingKey Run{"Generell", "Run", T::Int, "0"};
const SettingKey FirstTime{"Generell", "FirstTime", T::Int, "1"};
const SettingKey Country{"Generell", "Country", T::Text, "GB"};
const SettingKey LED{"Generell", "LED", T::Text, "OD []"};
const SettingKey ODChannel{"CommandCheck", "ODChannel", T::Int, "6"};
const SettingKey Interval{"CommandCheck", "Interval", T::Int, "30"};
const SettingKey RefChannel{"CommandCheck", "RefChannel", T::Int, "1"};
const SettingKey LedBright{"CommandCheck", "LedBright", T::IntText, "0"};
const SettingKey Quality{"Options", "Quality", T::Int, nullptr};
const SettingKey UsePreByte{"Options", "UsePreByte", T::Int, "0"};
const SettingKey Plotit{"Options", "Plotit", T::Int, "0"};
const SettingKey OwnAutoDir{"Options", "OwnAutoDir", T::Int, "0"};
const SettingKey AutoSave{"Options", "AutoSave", T::Int, "0"};
const SettingKey AutoConnect{"Options", "AutoConnect", T::Int, "0"};
const SettingKey Beep{"Options", "Beep", T::Int, "0"};
const SettingKey NewOD{"Options", "NewOD", T::Int, "0"};
const SettingKey User{"Options", "User", T::Text, "User"};
const SettingKey Company{"Options", "Company", T::Text, "Company"};
const SettingKey Dir{"Options", "Dir", T::Text, "Nothing"};
const SettingKey ComPort{"Options", "ComPort", T::Text, "Com1"};
const SettingKey SaveAsDir{"Options", "SaveAsDir", T::Text, "C:Test"};
// How many times as fast a run of the simulated source Sim0 goes: its countdown and its times,
// so that a first try shows a growing culture within a minute. 1 is real time.
const SettingKey Sim0Clock{"Options", "Sim0Clock", T::Int, nullptr};
const SettingKey OD1{"CalibrECH", "OD1", T::Int, "4095"};
const SettingKey ODDark{"CalibrECH", "ODDark", T::Int, "1"};
const SettingKey CalcName{"Calculation", "Name", T::Text, "CalcOD"};
const SettingKey A1{"Calculation", "a1", T::Float, "0"};
const SettingKey A2{"Calculation", "a2", T::Float, "0"};
const SettingKey A3{"Calculation", "a3", T::Text, "1"};
const SettingKey A4{"Calculation", "a4", T::Text, "0"};
const SettingKey DACresolution{"AnalogOut", "DACresolution", T::Int, "12"};
const SettingKey LIVEmin{"AnalogOut", "LIVEmin", T::Int, "200"};
} // namespace keys

const std::vector<const SettingKey*>& allSettingKeys() {
    using namespace keys;
    static const std::vector<const SettingKey*> all{
        &Locked,      &Run,       &FirstTime,     &Country,    &LED,      &ODChannel,  &Interval,
        &RefChannel,  &LedBright, &Quality,       &UsePreByte, &Plotit,   &OwnAutoDir, &AutoSave,
        &AutoConnect, &Beep,      &NewOD,         &User,       &Company,  &Dir,        &ComPort,
        &SaveAsDir,   &Sim0Clock, &OD1,           &ODDark,     &CalcName, &A1,         &A2,
        &A3,          &A4,        &DACresolution, &LIVEmin};
    return all;
}

} // namespace IniFile
