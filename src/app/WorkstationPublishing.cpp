// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkstationPublishing.h"

#include "settings/IniFile.h"
#include "workstation/EngineEnvironment.h"

#include <QMainWindow>
#include <QStatusBar>

WorkstationPublishing::WorkstationPublishing(MeasurementEngine& engine,
                                             TimerAlarmCountdown& countdown, QMainWindow& window,
                                             UserPrompts& prompts, const QString& programDirectory,
                                             const QString& device) {
    if (!IniFile::hasIniFile())
        return;
    const BrokerSettings settings = BrokerSettings::fromProfile(IniFile::getIniFile());
    if (!settings.enabled)
        return;
    try {
        publisher_ = std::make_unique<BrokerPublisher>(programDirectory, settings);
    } catch (const std::exception& e) {
        prompts.showMessage(QStringLiteral("Publishing to the MQTT broker is off: %1")
                                .arg(QString::fromUtf8(e.what())));
        return;
    }
    publishing_ = std::make_unique<EnginePublishing>(engine, *publisher_, device);
    publishing_->watchTimer(countdown);
    statusLabel_ = new QLabel(window.statusBar());
    statusLabel_->setObjectName(QStringLiteral("MqttStatus"));
    window.statusBar()->addPermanentWidget(statusLabel_);
    const auto show = [this] {
        statusLabel_->setText(
            QStringLiteral("MQTT %1: %2").arg(publisher_->brokerName(), publisher_->statusText()));
    };
    show();
    QObject::connect(publisher_.get(), &BrokerPublisher::statusChanged, statusLabel_, show);
    QObject::connect(publisher_.get(), &BrokerPublisher::problem, statusLabel_,
                     [&prompts](const QString& message) { prompts.showMessage(message); });
}
