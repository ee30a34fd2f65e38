// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowSet.h"
#include "CentredWindow.h"

#include "ui_TWorkForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

WindowSet::WindowSet(MeasurementEngine& engine, UserPrompts& prompts, TonePlayer& tones,
                     const QString& programDirectory, const QStringList& extraDevices)
    : countdown_(std::make_unique<TimerAlarmCountdown>(tones)) {
    workForm_ = std::make_unique<TWorkForm>(engine, prompts, programDirectory, extraDevices);
    start_ = std::make_unique<TStart>(programDirectory);
    infoForm_ = std::make_unique<TInfoForm>(engine, programDirectory, prompts);
    infoForm2_ = std::make_unique<TInfoForm2>(engine, programDirectory, prompts);
    odAlarm_ = std::make_unique<TODAlarm>(engine);
    portError_ = std::make_unique<TPortErrorForm>();
    timerForm_ = std::make_unique<TTimerForm>(*countdown_);
    optionsForm_ = std::make_unique<TOptionsForm>(prompts);
    // From here on every log line lands in the log window.
    logWindow_ = std::make_unique<TFormLogWindow>(prompts);
    profileManager_ = std::make_unique<TformProfileManager>(prompts);
    help_ = std::make_unique<HelpWindow>(programDirectory);
    webStatus_ = std::make_unique<WebStatusWindow>(engine, *countdown_);
    wire();
}

WindowSet::~WindowSet() {
    // The main window writes the formula into the profile as it goes; the log window, which
    // every log line needs, goes last.
    // The status server stops before the windows it reads from go.
    webStatus_.reset();
    workForm_.reset();
    help_.reset();
    profileManager_.reset();
    optionsForm_.reset();
    timerForm_.reset();
    portError_.reset();
    odAlarm_.reset();
    infoForm2_.reset();
    infoForm_.reset();
    start_.reset();
    logWindow_.reset();
}

void WindowSet::showDeviceNotice(const QString& text, bool trouble) {
    // The status line takes the first sentence; the port-error window the whole notice.
    const qsizetype end = text.indexOf(QStringLiteral(". "));
    deviceStatus_->setText(end < 0 ? text : text.left(end + 1));
    deviceStatus_->setToolTip(text);
    if (trouble) {
        portError_->setNotice(text);
        portError_->show();
        portError_->raise();
    } else if (portError_->isVisible()) {
        portError_->setNotice(portError_->notice() + QStringLiteral("\n\n") + text);
    }
}

void WindowSet::wire() {
    // The photometer's trouble is said at the left of the status line; it must not widen the
    // window.
    deviceStatus_ = new QLabel(workForm_->statusBar());
    deviceStatus_->setObjectName(QStringLiteral("DeviceStatus"));
    deviceStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    workForm_->statusBar()->addWidget(deviceStatus_, 1);

    // View -> "Web Status": where the status page is served, and its switch.
    QAction* webStatus = workForm_->form().View1->addAction(QStringLiteral("Web Status"));
    webStatus->setObjectName(QStringLiteral("WebStatus1"));
    QComboBox* device = workForm_->form().ComboBox6;
    webStatus_->setDevice(device->currentText());
    QObject::connect(device, &QComboBox::currentTextChanged,
                     [this](const QString& text) { webStatus_->setDevice(text); });
    QObject::connect(webStatus, &QAction::triggered, [this] {
        if (!webStatus_->isVisible()) {
            webStatus_->adjustSize();
            centreOnScreen(*webStatus_); // the window manager would put it in a corner
        }
        webStatus_->show();
        webStatus_->raise();
        webStatus_->activateWindow();
    });
    TWorkForm::Collaborators others;
    others.splash = start_.get();
    others.chooseProfile = [this] { return profileManager_->chooseProfile(); };
    others.profileOpened = [this] { optionsForm_->FormShow(); };
    others.showProtocol = [this] { infoForm_->showProtocol(); };
    others.showLog = [this] {
        logWindow_->show();
        logWindow_->raise();
    };
    others.showSettings = [this] {
        optionsForm_->show();
        optionsForm_->raise();
    };
    // The OD alarm window answers the engine's alarm itself.
    others.showTimerAlarm = [this] { timerForm_->openSettings(); };
    others.showHelp = [this] { help_->showContents(); };
    others.userName = [this] { return optionsForm_->user(); };
    others.companyName = [this] { return optionsForm_->company(); };
    others.ownAutoSaveDirectory = [this] { return optionsForm_->ownAutoSaveDirectory(); };
    workForm_->setCollaborators(others);

    auto& ui = workForm_->form();
    QObject::connect(odAlarm_.get(), &TODAlarm::alarmSwitchedOff, ui.CheckBox19, [&ui] {
        const QSignalBlocker block(ui.CheckBox19);
        ui.CheckBox19->setChecked(false);
    });
    QObject::connect(ui.CheckBox_AutoS, &QCheckBox::clicked, optionsForm_.get(),
                     &TOptionsForm::setAutoSave);
    QObject::connect(countdown_.get(), &TimerAlarmCountdown::countdownTextChanged, ui.Label22,
                     &QLabel::setText);
    QObject::connect(countdown_.get(), &TimerAlarmCountdown::timerButtonVisibleChanged,
                     ui.SpeedButton3, &QWidget::setVisible);
    QObject::connect(countdown_.get(), &TimerAlarmCountdown::stopButtonVisibleChanged,
                     ui.SpeedButton4, &QWidget::setVisible);
    QObject::connect(ui.SpeedButton4, &QToolButton::clicked, countdown_.get(),
                     &TimerAlarmCountdown::stop);
    QObject::connect(countdown_.get(), &TimerAlarmCountdown::ringing, timerForm_.get(),
                     &TTimerForm::ring);
}
