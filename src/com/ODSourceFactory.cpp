#include "ODSourceFactory.h"

#include "ConnectionFactory.h"
#include "ODSourceSimulated.h"
#include "Q7Variants.h"

#include <sstream>
#include <stdexcept>

namespace Talvessa {

std::unique_ptr<ODSourceInterface> createODSource(const std::string& type, std::int32_t channel) {
    if (type.compare(0, 4, "Sim0") == 0)
        return std::make_unique<ODSourceSimulated>();

    ConnectionInterface& connection = getConnection(type);
    connection.sendByte(0);
    UCharContainer answer(7);
    try {
        connection >> answer;
    } catch (...) {
        // Only the number of bytes that came back counts.
    }
    switch (answer.getSize()) {
    case 2:
        return std::make_unique<Q7_Old>(connection, channel);
    case 7:
        return std::make_unique<Q7_82>(connection, channel);
    default: {
        std::ostringstream text;
        text << "Can't identify type of source!\n" << answer;
        throw std::runtime_error(text.str());
    }
    }
}

} // namespace Talvessa
