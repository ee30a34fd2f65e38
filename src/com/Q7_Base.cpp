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

Q7_Base::Q7_Base(ConnectionInterface& connection, std::int32_t channel, std::int32_t statusLength,
                 __lumo::Sleeper& sleeper)
    : connection(connection), channel(channel), readCommand(2), ledCommand(3),
      statusLength(statusLength), sleeper(sleeper) {
    readCommand.at(0) = readValueCode;
    readCommand.at(1) = static_cast<unsigned char>(channel & 0xFF);
    ledCommand.at(0) = ledBrightnessCode;
}

double Q7_Base::value() {
    readData();
    return calculateODValue();
}

bool Q7_Base::hasPendingStatus() {
    try {
        return connection.bytesInBuffer(true) > 0;
    } catch (const std::exception&) {
        return false; // the reading that follows meets the line's trouble and reports it
    }
}

void Q7_Base::setLedBrightness(std::int32_t brightness) {
    UCharContainer level;
    level.fromUnsigned(static_cast<std::uint32_t>(brightness)).resize(2).swapBytes(0, 1);
    ledCommand.resize(1).append(level);
    connection << ledCommand;
    checkErrorState();
}

void Q7_Base::readData() {
    UCharContainer answer(2);
    connection << readCommand;
    checkErrorState();
    connection >> answer;
    rawValue = answer.swapBytes(0, 1).toUnsigned();
    getLogStream() << "Q7_Base::readData\t" << rawValue << " " << answer << "\t";
}

double Q7_Base::calculateODValue() {
    if (reference == dark) {
        std::ostringstream text;
        text << "Q7_Base::calculateODValue\tcalibration unusable: reference reading equals dark "
                "reading ("
             << dark << "); calibrate the photometer again";
        logAndThrow(text.str());
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
    dark = 0.0;
    reference = 0.0;

    UCharContainer previous(ledCommand, 1, 2);
    const auto savedBrightness =
        static_cast<std::int32_t>(previous.swapBytes(0, 1).toUnsigned());

    setLedBrightness(0);
    for (int i = 0; i < seriesLength; ++i) {
        readData();
        dark += rawValue;
        ++progress.current;
        progressCaller.fireEvent(progress);
    }
    dark *= 0.125;
    for (int i = 0; i < seriesLength; ++i) {
        readData();
        reference += rawValue;
        ++progress.current;
        progressCaller.fireEvent(progress);
    }
    reference *= 0.125;
    setLedBrightness(savedBrightness);

    getLogStream() << "Q7_Base::calibrate\t" << dark << " / " << reference << std::endl;
    CalibrationResult result;
    result.dark = dark;
    result.reference = reference;
    return result;
}

} // namespace Talvessa
