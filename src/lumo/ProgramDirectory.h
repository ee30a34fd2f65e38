// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace Talvessa {

// The directory of the program's files: the executable's directory unless overridden by
// setProgramDirectory (--program-dir) or the environment variable NEPHODAR_PROGRAM_DIR.
std::string getProgramDirectory();
void setProgramDirectory(const std::string& directory);

} // namespace Talvessa
