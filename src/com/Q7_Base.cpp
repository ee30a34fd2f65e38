// SPDX-License-Identifier: GPL-3.0-or-later
#include "Q7_Base.h"

#include "LoggedFailure.h"
#include "lumo/Logger.h"

#include <cmath>
#include <sstream>

namespace Talvessa {

namespace {
constexpr unsigned char readValueCode = 0x32;
constexpr unsigned char ledBrightnessCode = 0x30;
constexpr int seriesLength = 8;
} // namespace

Q7_Base::Q7_Base(ConnectionInterface& port, std::int32_t channelNumber, std::int32_t statusBytes,
                 __lumo::Sleeper& sleeper)
    : connection(port), channel(channelNumber), readCommand(2), ledCommand(3),
      statusLength(statusBytes), sleeper_(sleeper) {
    readCommand.at(0) = readValueCode;
    readCommand.at(1) = static_cast<unsigned char>(channel & 0xFF);
    ledCommand.at(0) = ledBrightnessCode;
}

double Q7_Base::value() {
    readData();
    return calculateODValue();
}

bool Q7_Base::inputWaiting() {
    try {
        return connection.bytesInBuffer(true) > 0;
    } catch (const std::exception&) {
        return false; // the reading that follows meets the line's trouble and reports it
    }
}

bool Q7_Base::hasPendingStatus() {
    return lineInStep_ && inputWaiting();
}

void Q7_Base::setLedBrightness(std::int32_t brightness) {
    UCharContainer level;
    level.fromUnsigned(static_cast<std::uint32_t>(brightness)).resize(2).swapBytes(0, 1);
    ledCommand.resize(1).append(level);
    lineInStep_ = false;
    connection << ledCommand;
    checkErrorState();
    lineInStep_ = !inputWaiting();
}

void Q7_Base::readData() {
    UCharContainer answer(2);
    lineInStep_ = false;
    connection << readCommand;
    checkErrorState();
    connection >> answer;
    lineInStep_ = !inputWaiting();
    rawValue = answer.swapBytes(0, 1).toUnsigned();
    getLogStream() << "Q7_Base::readData\t" << rawValue << " " << answer << "\t";
}

double Q7_Base::calculateODValue() {
    if (reference == dark) {
        std::ostringstream text;
        text << "The calibration cannot be used: its reference reading equals its dark reading ("
             << dark << "), so no OD can be computed.\nPlease calibrate the photometer again.";
        getLogStream() << "Q7_Base::calculateODValue\t" << text.str() << std::endl;
        throw CalibrationUnusableError(text.str());
    }
    const double ratio = (static_cast<double>(rawValue) - dark) / (reference - dark);
    const double od = ratio > 0 ? -std::log10(ratio) : -1.0;
    getLogStream() << "Q7_Base::calculateODValue\t" << od << std::endl;
    return od;
}

CalibrationResult Q7_Base::calibrate() {
    __lumo::ProgressInfoType progress;
    progress.current = 0;
    progress.total = 2 * seriesLength;

    UCharContainer previous(ledCommand, 1, 2);
    const auto savedBrightness = static_cast<std::int32_t>(previous.swapBytes(0, 1).toUnsigned());

    // A calibration that fails keeps the one before it and gives the LED its brightness back,
    // so that measuring can go on as before instead of with half a series or a dark LED.
    const auto seriesMean = [&] {
        double sum = 0.0;
        for (int i = 0; i < seriesLength; ++i) {
            readData();
            sum += rawValue;
            ++progress.current;
            progressCaller.fireEvent(progress);
        }
        return sum * 0.125;
    };
    double newDark = 0.0;
    double newReference = 0.0;
    try {
        setLedBrightness(0);
        newDark = seriesMean();
        newReference = seriesMean();
        setLedBrightness(savedBrightness);
    } catch (...) {
        try {
            setLedBrightness(savedBrightness);
        } catch (const std::exception&) {
            // The first failure is the one to report.
        }
        throw;
    }
    dark = newDark;
    reference = newReference;

    getLogStream() << "Q7_Base::calibrate\t" << dark << " / " << reference << std::endl;
    CalibrationResult result;
    result.dark = dark;
    result.reference = reference;
    return result;
}

} // namespace Talvessa
