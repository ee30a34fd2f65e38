// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceModel.h"

#include <algorithm>
#include <cmath>

namespace q7sim {

namespace {
constexpr unsigned char identifyCode = 0x00;
constexpr unsigned char ledCode = 0x30;
constexpr unsigned char readCode = 0x32;
constexpr int calibrationSeries = 8;

constexpr std::size_t noiseLength = 64;

// Bytes with the top bit set, as a disturbed line delivers them; different for every reading
// so that no two bursts look alike. Not one of them is a status meaning "no error".
std::vector<unsigned char> noise(int reading) {
    std::vector<unsigned char> bytes(noiseLength);
    unsigned int state = 2654435761u * static_cast<unsigned int>(reading);
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(0x80 | ((state >> 16) & 0x7F));
    }
    return bytes;
}

std::string hexText(const unsigned char* bytes, std::size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}
} // namespace

DeviceModel::DeviceModel(DeviceSettings settings) : settings_(std::move(settings)) {}

std::vector<Reply> DeviceModel::receive(const unsigned char* data, std::size_t size) {
    pending_.insert(pending_.end(), data, data + size);
    std::vector<Reply> replies;
    while (!pending_.empty()) {
        const unsigned char code = pending_.front();
        std::size_t length = 1;
        if (code == ledCode)
            length = 3;
        else if (code == readCode)
            length = 2;
        if (pending_.size() < length)
            break; // the rest of the command is still on its way
        const std::string command = hexText(pending_.data(), length);
        if (code == identifyCode)
            replies.push_back(identify());
        else if (code == ledCode)
            replies.push_back(setBrightness(pending_[1], pending_[2]));
        else if (code == readCode)
            replies.push_back(readValue());
        else
            replies.push_back(Reply{{}, 0, false, "ignored"}); // unknown byte: no answer
        replies.back().event = command + " -> " + replies.back().event;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(length));
    }
    return replies;
}

Reply DeviceModel::identify() const {
    Reply reply;
    reply.event = "identification";
    if (settings_.identification)
        reply.bytes = *settings_.identification;
    else if (settings_.variant == Variant::Q82)
        reply.bytes = {'Q', '7', '-', '8', '2', 0x01, 0x00};
    else
        reply.bytes = {'Q', '7'};
    return reply;
}

std::vector<unsigned char> DeviceModel::status(int code) const {
    std::vector<unsigned char> bytes(settings_.variant == Variant::Q82 ? 6 : 1, 0);
    bytes[0] = static_cast<unsigned char>(code);
    return bytes;
}

Reply DeviceModel::setBrightness(int high, int low) {
    const int previous = ledBrightness_;
    ledBrightness_ = high * 256 + low;
    // Only a calibration switches a lit LED off: connecting and starting a measurement send the
    // measuring brightness, which the device cannot tell from a calibration when it is 0 too.
    readingsSinceDarkCommand_ = ledBrightness_ == 0 && previous != 0 ? 0 : -1;
    Reply reply;
    reply.event = "brightness " + std::to_string(ledBrightness_);
    reply.bytes = status(0);
    return reply;
}

int DeviceModel::rawValue() {
    if (settings_.calibrationLevels && readingsSinceDarkCommand_ >= 0 &&
        readingsSinceDarkCommand_ < 2 * calibrationSeries) {
        const bool darkSeries = readingsSinceDarkCommand_++ < calibrationSeries;
        return darkSeries ? settings_.calibrationLevels->first
                          : settings_.calibrationLevels->second;
    }
    if (settings_.fixedValue)
        return *settings_.fixedValue;
    // Logistic growth in OD over curvePoints readings, turned back into raw counts.
    const double t = static_cast<double>((readings_ - 1) % std::max(1, settings_.curvePoints)) /
                     std::max(1, settings_.curvePoints);
    double od = settings_.odStart +
                (settings_.odMax - settings_.odStart) / (1.0 + std::exp(-12.0 * (t - 0.5)));
    if (settings_.odNoise > 0)
        od += std::normal_distribution<double>(0.0, settings_.odNoise)(noiseSource_);
    const double raw =
        settings_.dark + (settings_.reference - settings_.dark) * std::pow(10.0, -od);
    return std::clamp(static_cast<int>(std::lround(raw)), 0, 65535);
}

Reply DeviceModel::readValue() {
    ++readings_;
    Reply reply;
    const std::string name = "reading " + std::to_string(readings_);
    const auto fault = settings_.faults.find(readings_);
    if (fault != settings_.faults.end()) {
        switch (fault->second.kind) {
        case Fault::Kind::Status: {
            const int code = fault->second.argument;
            // The 82 variant's codes 4 and 5 report no error: its value follows as usual.
            if (settings_.variant == Variant::Q82 && (code == 4 || code == 5)) {
                const int raw = rawValue();
                reply.event =
                    name + ": status " + std::to_string(code) + ", raw " + std::to_string(raw);
                reply.bytes = status(code);
                reply.bytes.push_back(static_cast<unsigned char>(raw >> 8));
                reply.bytes.push_back(static_cast<unsigned char>(raw & 0xFF));
                return reply;
            }
            reply.event = name + ": status error " + std::to_string(code);
            reply.bytes = status(code);
            return reply; // a device reporting an error sends no value
        }
        case Fault::Kind::Garbage:
            reply.event = name + ": garbage";
            reply.bytes = noise(readings_);
            return reply;
        case Fault::Kind::Oversized: {
            const int raw = rawValue();
            reply.event = name + ": oversized answer, raw " + std::to_string(raw);
            reply.bytes = status(0);
            reply.bytes.push_back(static_cast<unsigned char>(raw >> 8));
            reply.bytes.push_back(static_cast<unsigned char>(raw & 0xFF));
            const auto tail = noise(readings_);
            reply.bytes.insert(reply.bytes.end(), tail.begin(), tail.end());
            return reply;
        }
        case Fault::Kind::Silence:
            reply.event = name + ": silence";
            return reply;
        case Fault::Kind::Short:
            reply.event = name + ": short answer";
            reply.bytes = status(0);
            reply.bytes.push_back(static_cast<unsigned char>(rawValue() >> 8)); // low byte lost
            return reply;
        case Fault::Kind::Hangup:
            reply.event = name + ": hang-up";
            reply.hangup = true;
            return reply;
        case Fault::Kind::Slow:
            reply.event = name + ": slow answer";
            reply.delayMilliseconds = fault->second.argument;
            break;
        }
    }
    const int raw = rawValue();
    reply.bytes = status(0);
    reply.bytes.push_back(static_cast<unsigned char>(raw >> 8));
    reply.bytes.push_back(static_cast<unsigned char>(raw & 0xFF));
    if (reply.event.empty())
        reply.event = name + ": raw " + std::to_string(raw);
    return reply;
}

} // namespace q7sim
