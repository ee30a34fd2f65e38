// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

class Protocol;
class TonePlayer;

// The OD alarm: a switch, a direction ("  <" below, "  >" above) and a threshold text, checked
// on every countdown tick of a running measurement.
class ODAlarm {
public:
    enum Direction { Below = 0, Above = 1 };

    // Blanks of the threshold field are read as zeros ("1. 5 " is 1.050).
    static QString filledThresholdText(const QString& text);

    // Switching adds "Turn On OD Alarm at " or "Turn Off OD Alarm at " to the protocol.
    void setSwitch(bool on, Protocol& protocol, std::int64_t elapsedMilliseconds);
    bool isOn() const { return switchOn_; }

    // One countdown tick's check; true when it fired (the alarm window is to be shown).
    // A threshold that cannot be read skips the check.
    bool check(double od, bool deviceError, TonePlayer& tones);

    // The arrow buttons: each click moves by a growing step; releasing resets the step.
    void stepUp();
    void stepDown();
    void releaseArrows() { step_ = 1; }

    // Acknowledged in the alarm window: flag cleared, switch off.
    void acknowledge(Protocol& protocol, std::int64_t elapsedMilliseconds);

    Direction direction = Above;
    QString thresholdText = QStringLiteral("0.000");
    bool fired = false; // odAlarm: set when the check fires, cleared by the alarm window
    int position = 2;   // of the arrow buttons, 0 .. 9000

private:
    void moveBy(int delta);

    bool switchOn_ = false;
    int step_ = 1;
};
