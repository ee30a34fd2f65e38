// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConnectionInterface.h"
#include "ODSourceInterface.h"
#include "lumo/Sleeper.h"

#include <memory>
#include <string>

namespace Talvessa {

// Turns a connection type into an OD source: "Sim0..." is the simulated source; any other
// type is opened, identified by the length of its answer to 0x00 (2 bytes: the old
// photometer, 7: the 82) and the matching variant created.
std::unique_ptr<ODSourceInterface> createODSource(const std::string& type, std::int32_t channel);

// The photometer part of createODSource, on a connection already open.
std::unique_ptr<ODSourceInterface>
identifyPhotometer(ConnectionInterface& connection, std::int32_t channel,
                   __lumo::Sleeper& sleeper = __lumo::systemSleeper());

} // namespace Talvessa
