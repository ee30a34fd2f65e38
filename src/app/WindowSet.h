// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HelpWindow.h"
#include "TFormLogWindow.h"
#include "TInfoForm.h"
#include "TInfoForm2.h"
#include "TODAlarm.h"
#include "TOptionsForm.h"
#include "TPortErrorForm.h"
#include "TStart.h"
#include "TTimerForm.h"
#include "TWorkForm.h"
#include "TformProfileManager.h"
#include "workstation/TimerAlarmCountdown.h"

#include <memory>

// The program's windows, created in their fixed order and wired to each other.
class WindowSet {
public:
    WindowSet(MeasurementEngine& engine, UserPrompts& prompts, TonePlayer& tones,
              const QString& programDirectory, const QStringList& extraDevices);
    ~WindowSet();

    TWorkForm& mainWindow() { return *workForm; }
    TimerAlarmCountdown& timerCountdown() { return *countdown; }

private:
    void wire();

    std::unique_ptr<TimerAlarmCountdown> countdown;
    std::unique_ptr<TWorkForm> workForm;
    std::unique_ptr<TStart> start;
    std::unique_ptr<TInfoForm> infoForm;
    std::unique_ptr<TInfoForm2> infoForm2;
    std::unique_ptr<TODAlarm> odAlarm;
    std::unique_ptr<TPortErrorForm> portError;
    std::unique_ptr<TTimerForm> timerForm;
    std::unique_ptr<TOptionsForm> optionsForm;
    std::unique_ptr<TFormLogWindow> logWindow;
    std::unique_ptr<TformProfileManager> profileManager;
    std::unique_ptr<HelpWindow> help;
};
