// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/EngineEnvironment.h"

#include <QObject>
#include <memory>

class QAudioSink;
class QBuffer;

// Beeps of a given frequency and length through the desktop's sound output. Where there is no
// output device it stays silent: an alarm must never stop the program.
class QtTonePlayer : public QObject, public TonePlayer {
    Q_OBJECT
public:
    explicit QtTonePlayer(QObject* parent = nullptr);
    ~QtTonePlayer() override;

    void playTone(int frequencyHz, int durationMilliseconds) override;
    bool hasOutput() const { return available_; }

    // The samples of a sine tone, 16-bit mono at the given rate, faded in and out.
    static QByteArray sineSamples(int frequencyHz, int durationMilliseconds, int sampleRate);

private:
    bool available_ = false;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QBuffer> buffer_;
    QByteArray queued_;
};
