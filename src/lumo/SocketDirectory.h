// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace Talvessa {

// Where the photometer simulator serves its sockets and the programs look for them:
// $NEPHODAR_PIPE_DIR when set, else $XDG_RUNTIME_DIR/nephodar, else /tmp/nephodar-<uid>.
// Each user has a directory of their own, so one user's simulator never stands in another's way.
std::string simulatorSocketDirectory();

// Makes the directory (mode 0700) where it is missing. The per-user places must be a
// directory of this user's that nobody else may enter; anything else is refused with a
// runtime_error saying what is wrong, so that no other user can plant or read a socket there.
void prepareSimulatorSocketDirectory(const std::string& directory);

} // namespace Talvessa
