// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace q7sim {

enum class Variant { Q82, Old };

// What goes wrong on one chosen reading.
struct Fault {
    enum class Kind { Status, Silence, Short, Hangup, Slow, Garbage, Oversized };
    Kind kind = Kind::Status;
    int argument = 0; // the status code, or the delay in ms for Slow
};

struct DeviceSettings {
    Variant variant = Variant::Q82;
    std::optional<int> fixedValue; // raw value for every reading; else the growth curve
    double dark = 1;
    double reference = 4095;
    double odStart = 0.05;
    double odMax = 2.0;
    int curvePoints = 1000;
    double odNoise = 0; // standard deviation of the noise added to the curve's OD
    std::optional<std::pair<int, int>> calibrationLevels;     // dark, reference
    std::optional<std::vector<unsigned char>> identification; // else the variant's own answer
    std::map<int, Fault> faults;                              // by reading number, from 1
};

// One answer the device gives: bytes to send after an optional delay, or a hang-up.
struct Reply {
    std::vector<unsigned char> bytes;
    int delayMilliseconds = 0;
    bool hangup = false;
    std::string event; // the command and what the device made of it, for the trace
};

// The photometer's side of the protocol, without any I/O: bytes in, replies out.
class DeviceModel {
public:
    explicit DeviceModel(DeviceSettings settings);

    // Consumes received bytes; returns the replies to the commands they completed.
    std::vector<Reply> receive(const unsigned char* data, std::size_t size);

    int readingCount() const { return readings_; }
    int brightness() const { return ledBrightness_; }

private:
    Reply identify() const;
    Reply setBrightness(int high, int low);
    Reply readValue();
    std::vector<unsigned char> status(int code) const;
    int rawValue();

    DeviceSettings settings_;
    std::vector<unsigned char> pending_;
    int readings_ = 0;
    int ledBrightness_ = 0;
    std::mt19937 noiseSource_{1};       // a fixed seed: every run of the simulator looks alike
    int readingsSinceDarkCommand_ = -1; // counts calibration readings since the LED went off
};

} // namespace q7sim
