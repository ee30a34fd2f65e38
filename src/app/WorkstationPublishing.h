// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/BrokerPublisher.h"
#include "publish/EnginePublishing.h"

#include <QLabel>
#include <memory>

class QMainWindow;
class TimerAlarmCountdown;
class UserPrompts;

// The workstation's publishing, when the profile's section "MQTT" switches it on: the
// publisher on the engine, its state in the main window's status line ("connected",
// "queued N", "broker unreachable") and each problem said once. Settings that cannot work
// are said at start-up; the workstation then runs without publishing.
class WorkstationPublishing {
public:
    WorkstationPublishing(MeasurementEngine& engine, TimerAlarmCountdown& countdown,
                          QMainWindow& window, UserPrompts& prompts,
                          const QString& programDirectory, const QString& device);
    bool active() const { return publisher_ != nullptr; }
    void setDevice(const QString& device) {
        if (publishing_)
            publishing_->setDevice(device);
    }

private:
    std::unique_ptr<BrokerPublisher> publisher_;
    std::unique_ptr<EnginePublishing> publishing_;
    QLabel* statusLabel_ = nullptr; // owned by the status bar
};
