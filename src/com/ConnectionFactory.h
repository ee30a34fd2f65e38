// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConnectionInterface.h"

#include <string>

namespace Talvessa {

// The connection for a type ("Com1", "Sim1"), opened on first request and shared from then on.
ConnectionInterface& getConnection(const std::string& type);

} // namespace Talvessa
