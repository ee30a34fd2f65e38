// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// What the engine needs of the world outside it; tests stand in their own.

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class TonePlayer {
public:
    virtual ~TonePlayer() = default;
    virtual void playTone(int frequencyHz, int durationMilliseconds) = 0;
};

class SilentTonePlayer final : public TonePlayer {
public:
    void playTone(int, int) override {}
};

// Questions and messages for the user: message boxes in the windows, the terminal in the
// command-line tool, a script in the tests.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // A plain message box with an OK button (errors and notices).
    virtual void showMessage(const QString& text) = 0;
    // The same with the error icon: something the user asked for failed.
    virtual void showError(const QString& text) { showMessage(text); }
    // An information box with its own title.
    virtual void showInformation(const QString& title, const QString& text) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& question) = 0;
    // A warning with Yes and No; true for Yes.
    virtual bool askWarningYesNo(const QString& text) = 0;
    // The same two for a question whose Yes loses something: No is the answer Enter gives.
    virtual bool askYesNoDefaultNo(const QString& question) { return askYesNo(question); }
    virtual bool askWarningYesNoDefaultNo(const QString& text) { return askWarningYesNo(text); }
    // The chosen file, or an empty text when the user cancels. filter is "Name|*.ext".
    virtual QString askSaveFileName(const QString& title, const QString& directory,
                                    const QString& proposedName, const QString& filter) = 0;
    virtual QString askOpenFileName(const QString& title, const QString& directory,
                                    const QString& filter) = 0;
    // The photometer stopped answering mid-run, or answers again: said without holding up the
    // sampling cycle, which goes on meanwhile.
    virtual void showDeviceTrouble(const QString& text) { showMessage(text); }
    virtual void showDeviceBack(const QString& text) { (void)text; }
    // An input box: the text entered, or nothing when cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& prompt,
                                           const QString& initial) = 0;
};
