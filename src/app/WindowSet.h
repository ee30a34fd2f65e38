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
#include "WebStatusWindow.h"
#include "workstation/TimerAlarmCountdown.h"

#include <memory>

class QLabel;

// The program's windows, created in their fixed order and wired to each other.
class WindowSet {
public:
    WindowSet(MeasurementEngine& engine, UserPrompts& prompts, TonePlayer& tones,
              const QString& programDirectory, const QStringList& extraDevices);
    ~WindowSet();

    TWorkForm& mainWindow() { return *workForm_; }
    TimerAlarmCountdown& timerCountdown() { return *countdown_; }
    WebStatusWindow& webStatus() { return *webStatus_; }
    TPortErrorForm& portError() { return *portError_; }

    // The photometer stopped answering (trouble) or answers again: said in the port-error
    // window and the status line, neither of which waits for the user.
    void showDeviceNotice(const QString& text, bool trouble);

private:
    void wire();

    std::unique_ptr<TimerAlarmCountdown> countdown_;
    std::unique_ptr<TWorkForm> workForm_;
    std::unique_ptr<TStart> start_;
    std::unique_ptr<TInfoForm> infoForm_;
    std::unique_ptr<TInfoForm2> infoForm2_;
    std::unique_ptr<TODAlarm> odAlarm_;
    std::unique_ptr<TPortErrorForm> portError_;
    std::unique_ptr<TTimerForm> timerForm_;
    std::unique_ptr<TOptionsForm> optionsForm_;
    std::unique_ptr<TFormLogWindow> logWindow_;
    std::unique_ptr<TformProfileManager> profileManager_;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<WebStatusWindow> webStatus_;
    QLabel* deviceStatus_ = nullptr; // in the main window's status line
};
