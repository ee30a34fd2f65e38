// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowSet.h"

#include "ui_TWorkForm.h"

#include <QCheckBox>
#include <QLabel>
#include <QToolButton>

WindowSet::WindowSet(MeasurementEngine& engine, UserPrompts& prompts, TonePlayer& tones,
                     const QString& programDirectory, const QStringList& extraDevices)
    : countdown(std::make_unique<TimerAlarmCountdown>(tones)) {
    workForm = std::make_unique<TWorkForm>(engine, prompts, programDirectory, extraDevices);
    start = std::make_unique<TStart>(programDirectory);
    infoForm = std::make_unique<TInfoForm>(engine, programDirectory, prompts);
    infoForm2 = std::make_unique<TInfoForm2>(engine, programDirectory, prompts);
    odAlarm = std::make_unique<TODAlarm>(engine);
    portError = std::make_unique<TPortErrorForm>();
    timerForm = std::make_unique<TTimerForm>(*countdown);
    optionsForm = std::make_unique<TOptionsForm>(prompts);
    // From here on every log line lands in the log window.
    logWindow = std::make_unique<TFormLogWindow>(prompts);
    profileManager = std::make_unique<TformProfileManager>(prompts);
    help = std::make_unique<HelpWindow>(programDirectory);
    wire();
}

WindowSet::~WindowSet() {
    // The main window writes the formula into the profile as it goes; the log window, which
    // every log line needs, goes last.
    workForm.reset();
    help.reset();
    profileManager.reset();
    optionsForm.reset();
    timerForm.reset();
    portError.reset();
    odAlarm.reset();
    infoForm2.reset();
    infoForm.reset();
    start.reset();
    logWindow.reset();
}

void WindowSet::wire() {
    TWorkForm::Collaborators others;
    others.splash = start.get();
    others.chooseProfile = [this] { return profileManager->chooseProfile(); };
    others.profileOpened = [this] { optionsForm->FormShow(); };
    others.showProtocol = [this] { infoForm->showProtocol(); };
    others.showLog = [this] {
        logWindow->show();
        logWindow->raise();
    };
    others.showSettings = [this] {
        optionsForm->show();
        optionsForm->raise();
    };
    // The OD alarm window answers the engine's alarm itself.
    others.showTimerAlarm = [this] { timerForm->openSettings(); };
    others.showHelp = [this] { help->showContents(); };
    others.userName = [this] { return optionsForm->user(); };
    others.companyName = [this] { return optionsForm->company(); };
    others.ownAutoSaveDirectory = [this] { return optionsForm->ownAutoSaveDirectory(); };
    workForm->setCollaborators(others);

    auto& ui = workForm->form();
    QObject::connect(odAlarm.get(), &TODAlarm::alarmSwitchedOff, ui.CheckBox19, [&ui] {
        const QSignalBlocker block(ui.CheckBox19);
        ui.CheckBox19->setChecked(false);
    });
    QObject::connect(countdown.get(), &TimerAlarmCountdown::countdownTextChanged, ui.Label22,
                     &QLabel::setText);
    QObject::connect(countdown.get(), &TimerAlarmCountdown::timerButtonVisibleChanged,
                     ui.SpeedButton3, &QWidget::setVisible);
    QObject::connect(countdown.get(), &TimerAlarmCountdown::stopButtonVisibleChanged,
                     ui.SpeedButton4, &QWidget::setVisible);
    QObject::connect(ui.SpeedButton4, &QToolButton::clicked, countdown.get(),
                     &TimerAlarmCountdown::stop);
    QObject::connect(countdown.get(), &TimerAlarmCountdown::ringing, timerForm.get(),
                     &TTimerForm::ring);
}
