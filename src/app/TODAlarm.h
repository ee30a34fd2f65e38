// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TODAlarm;
}
class MeasurementEngine;

// The OD alarm: comes up when the engine's alarm check fires, records the alert in the
// protocol and lets the user acknowledge it, which switches the alarm off.
class TODAlarm : public QWidget {
    Q_OBJECT
public:
    explicit TODAlarm(MeasurementEngine& engine, QWidget* parent = nullptr);
    ~TODAlarm() override;

public slots:
    // The check fired: shown unless it already is.
    void raiseAlarm();
    // "OK": an alarm still set is acknowledged (switch off), then the window hides.
    void acknowledge();

signals:
    // The engine's alarm switch went off here; the main window unticks its "on" box.
    void alarmSwitchedOff();

protected:
    void showEvent(QShowEvent* event) override;

private:
    MeasurementEngine& engine_;
    std::unique_ptr<Ui::TODAlarm> ui_;
    bool placed_ = false;
};
