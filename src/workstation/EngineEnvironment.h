#pragma once

#include <QDateTime>
#include <QString>

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
// command-line tool.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    virtual void showMessage(const QString& text) = 0;
    virtual bool askYesNo(const QString& question) = 0;
    // The chosen file, or an empty text when the user cancels.
    virtual QString askSaveFileName(const QString& title, const QString& directory,
                                    const QString& proposedName, const QString& filter) = 0;
};
