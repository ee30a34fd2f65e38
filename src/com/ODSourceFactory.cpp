// SPDX-License-Identifier: GPL-3.0-or-later
#include "ODSourceFactory.h"

#include "ConnectionFactory.h"
#include "ODSourceSimulated.h"
#include "Q7Variants.h"
#include "RS232Connection.h"

#include <sstream>
#include <stdexcept>

namespace Talvessa {

namespace {

// Where nothing answered and what to look at: the line, or the device file it should be.
std::string noAnswerAdvice(ConnectionInterface& connection) {
    if (const auto* serial = dynamic_cast<const RS232Connection*>(&connection))
        return "\nNo answer from " + serial->devicePath() + " (" + connection.getName() +
               "). Check that the photometer is switched on and its cable is plugged in, or "
               "name its device file in the profile's section [Ports], as " +
               connection.getName() + "=/dev/ttyUSB0.";
    return "\nNo answer from " + connection.getName() + ".";
}

} // namespace

std::unique_ptr<ODSourceInterface> createODSource(const std::string& type, std::int32_t channel) {
    if (type.compare(0, 4, "Sim0") == 0)
        return std::make_unique<ODSourceSimulated>();

    return identifyPhotometer(getConnection(type), channel);
}

std::unique_ptr<ODSourceInterface> identifyPhotometer(ConnectionInterface& connection,
                                                      std::int32_t channel,
                                                      __lumo::Sleeper& sleeper) {
    connection.sendByte(0);
    UCharContainer answer(7);
    try {
        connection >> answer;
    } catch (...) {
        // Only the number of bytes that came back counts. A short read leaves what came; a
        // read that failed before reading (the line check, a read error) leaves the full
        // length, and no byte came back then.
        if (answer.getSize() == 7)
            answer.resize(0);
    }
    switch (answer.getSize()) {
    case 2:
        return std::make_unique<Q7_Old>(connection, channel, sleeper);
    case 7:
        return std::make_unique<Q7_82>(connection, channel, sleeper);
    default: {
        std::ostringstream text;
        text << "Can't identify type of source!\n" << answer;
        if (answer.getSize() == 0)
            text << noAnswerAdvice(connection);
        throw std::runtime_error(text.str());
    }
    }
}

} // namespace Talvessa
