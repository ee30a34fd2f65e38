// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConnectionFactory.h"

#include "LoggedFailure.h"
#include "PipeConnection.h"
#include "RS232Connection.h"

#include <map>
#include <memory>

namespace Talvessa {

ConnectionInterface& getConnection(const std::string& type) {
    // Connections live until the program ends; the map only grows.
    static std::map<std::string, std::unique_ptr<ConnectionInterface>> connections;
    const auto found = connections.find(type);
    if (found != connections.end())
        return *found->second;

    std::unique_ptr<ConnectionInterface> connection;
    if (type.compare(0, 3, "Com") == 0)
        connection = std::make_unique<RS232Connection>(type);
    else if (type.compare(0, 3, "Sim") == 0)
        connection = std::make_unique<PipeConnection>(type);
    else
        logAndThrow("Can't identify connection type. " + type);
    return *connections.emplace(type, std::move(connection)).first->second;
}

} // namespace Talvessa
