// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QtPrinters.h"
#include "com/ODSourceInterface.h"
#include "workstation/EngineEnvironment.h"
#include "workstation/MeasurementEngine.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <vector>

// A clock that only moves when the test moves it.
class FakeClock : public Clock {
public:
    QDateTime now() const override { return current; }
    void advance(qint64 milliseconds) { current = current.addMSecs(milliseconds); }
    QDateTime current{QDate(2007, 12, 8), QTime(9, 5, 3)};
};

class RecordingTones : public TonePlayer {
public:
    void playTone(int frequencyHz, int durationMilliseconds) override {
        tones.push_back({frequencyHz, durationMilliseconds});
    }
    std::vector<std::pair<int, int>> tones;
};

// Answers questions as the test says and keeps every message.
class ScriptedPrompts : public UserPrompts {
public:
    void showMessage(const QString& text) override { messages << text; }
    // Kept with the messages, and counted apart, so a test can tell the error icon.
    void showError(const QString& text) override {
        messages << text;
        errors << text;
    }
    void showInformation(const QString& title, const QString& text) override {
        informations << title + "|" + text;
    }
    bool askYesNo(const QString& question) override {
        questions << question;
        return answerYes;
    }
    bool askWarningYesNo(const QString& text) override {
        warnings << text;
        return answerYes;
    }
    void showDeviceBack(const QString& text) override { devicesBack << text; }
    // Kept with the others, and listed apart: the questions whose default answer is No.
    bool askYesNoDefaultNo(const QString& question) override {
        defaultNo << question;
        return askYesNo(question);
    }
    bool askWarningYesNoDefaultNo(const QString& text) override {
        defaultNo << text;
        return askWarningYesNo(text);
    }
    QString askSaveFileName(const QString& title, const QString& directory,
                            const QString& proposedName, const QString& filter) override {
        saveDialogs << title + "|" + directory + "|" + proposedName;
        saveFilters << filter;
        return chosenFile;
    }
    QString askOpenFileName(const QString& title, const QString& directory,
                            const QString& filter) override {
        openDialogs << title + "|" + directory + "|" + filter;
        return chosenOpenFile;
    }
    std::optional<QString> askText(const QString& title, const QString& prompt,
                                   const QString& initial) override {
        textQuestions << title + "|" + prompt + "|" + initial;
        return textAnswer;
    }
    QStringList errors, defaultNo, devicesBack;
    QStringList messages, informations, questions, warnings, saveDialogs, saveFilters, openDialogs,
        textQuestions;
    bool answerYes = false;
    QString chosenFile, chosenOpenFile;
    std::optional<QString> textAnswer;
};

// An OD source whose readings the test lists: a value, or a failure by reading number.
class ScriptedSource : public Talvessa::ODSourceInterface {
public:
    enum class Fault { None, Status, Line, Calibration };

    double value() override {
        ++reads;
        const auto fault = faults.count(reads) ? faults.at(reads) : Fault::None;
        if (fault == Fault::Status)
            throw Talvessa::DeviceStatusError("device returned an error");
        if (fault == Fault::Line)
            throw std::runtime_error("line gone");
        if (fault == Fault::Calibration)
            throw Talvessa::CalibrationUnusableError("calibrate again");
        return next ? next(reads) : 0.5;
    }
    void checkErrorState() override {
        if (pendingStatusError) {
            pendingStatusError = false;
            throw Talvessa::DeviceStatusError("unasked status error");
        }
    }
    bool hasPendingStatus() override { return pendingStatusError; }
    Talvessa::CalibrationResult calibrate() override { return {12.0, 3456.0}; }
    void setLedBrightness(std::int32_t brightness) override { brightnesses.push_back(brightness); }

    int reads = 0;
    std::map<int, Fault> faults;
    std::function<double(int)> next; // by reading number, from 1
    std::vector<std::int32_t> brightnesses;
    bool pendingStatusError = false; // the device sent an error status nobody asked for
};

// Runs the engine's ticks the way its timers would, moving the fake clock with them.
class TickDriver {
public:
    TickDriver(MeasurementEngine& engine, FakeClock& clock) : engine_(engine), clock_(clock) {}

    // One tick of whichever timer is on; false when neither is.
    bool tick() {
        if (engine_.samplingTimer().isActive()) {
            clock_.advance(1);
            ++samplingTicks;
            engine_.samplingTick();
            return true;
        }
        if (engine_.countdownTimer().isActive()) {
            clock_.advance(100);
            ++countdownTicks;
            engine_.countdownTick();
            return true;
        }
        return false;
    }

    // Runs the countdown until the sampling tick is due, without taking it: for a caller
    // that times the sampling tick alone. False when it never came due.
    bool untilSamplingDue() {
        // The countdown runs even between its timer's starts, as a due timer event would.
        for (int i = 0; i < 100000 && !engine_.samplingTimer().isActive(); ++i) {
            clock_.advance(100);
            ++countdownTicks;
            engine_.countdownTick();
        }
        return engine_.samplingTimer().isActive();
    }

    // Ticks until the sample count grows (or the run stops); bounded.
    bool untilNextSample() {
        const int before = engine_.sampleNumber();
        for (int i = 0; i < 100000; ++i) {
            if (!tick())
                return false;
            if (engine_.sampleNumber() != before)
                return true;
        }
        return false;
    }

    int samplingTicks = 0;
    int countdownTicks = 0;

private:
    MeasurementEngine& engine_;
    FakeClock& clock_;
};
