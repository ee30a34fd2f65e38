// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtTonePlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QtMath>
#include <cstdint>

namespace {
constexpr int sampleRate = 22050;
}

QtTonePlayer::QtTonePlayer(QObject* parent) : QObject(parent) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return;
    sink_ = std::make_unique<QAudioSink>(device, format);
    available_ = true;
}

QtTonePlayer::~QtTonePlayer() {
    if (sink_)
        sink_->stop();
}

QByteArray QtTonePlayer::sineSamples(int frequencyHz, int durationMilliseconds, int rate) {
    const int count = std::max(0, rate * durationMilliseconds / 1000);
    const int fade = std::min(count / 4, rate / 200); // 5 ms: no click at either end
    QByteArray samples(qsizetype{count} * 2, '\0');
    auto* out = reinterpret_cast<std::int16_t*>(samples.data());
    for (int i = 0; i < count; ++i) {
        double level = 0.4;
        if (fade > 0 && i < fade)
            level *= static_cast<double>(i) / fade;
        else if (fade > 0 && i >= count - fade)
            level *= static_cast<double>(count - 1 - i) / fade;
        out[i] = static_cast<std::int16_t>(
            32767 * level * qSin(2 * M_PI * frequencyHz * static_cast<double>(i) / rate));
    }
    return samples;
}

void QtTonePlayer::playTone(int frequencyHz, int durationMilliseconds) {
    if (!available_)
        return;
    // Tones asked for in one go play one after the other.
    const bool idle = !buffer_ || sink_->state() != QAudio::ActiveState;
    if (idle)
        queued_.clear();
    queued_ += sineSamples(frequencyHz, durationMilliseconds, sampleRate);
    if (!idle)
        return;
    sink_->stop();
    buffer_ = std::make_unique<QBuffer>(&queued_);
    buffer_->open(QIODevice::ReadOnly);
    sink_->start(buffer_.get());
}
