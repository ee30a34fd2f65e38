// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <streambuf>

namespace Talvessa {

// The one process-wide diagnostic stream. Whoever installs it decides where lines end up.
std::ostream& getLogStream();

// Replaces the current stream by one writing into buffer; the buffer must outlive it.
void setLogStream(std::streambuf* buffer);

} // namespace Talvessa
