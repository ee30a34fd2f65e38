// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TTimerForm;
}
class TimerAlarmCountdown;

// The timer alarm: a settings panel that starts the main window's countdown, and the alarm
// view that comes up, beeping every second, when the countdown has run out.
class TTimerForm : public QDialog {
    Q_OBJECT
public:
    explicit TTimerForm(TimerAlarmCountdown& countdown, QWidget* parent = nullptr);
    ~TTimerForm() override;

public slots:
    // "Timer" button and "Timer Alarm" item: the settings panel, modal.
    void openSettings();
    // The countdown ran out: the alarm view, not modal.
    void ring();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void startCountdown();
    void chooseSource();

    TimerAlarmCountdown& countdown_;
    std::unique_ptr<Ui::TTimerForm> ui_;
    bool placed_ = false;
};
