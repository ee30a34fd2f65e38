// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"
#include "workstation/GrowthAnalysis.h"

#include <string>
#include <vector>

// The options that tune the growth analysis, alike in every command that reports growth.
namespace GrowthOptions {

extern const std::vector<std::string> names; // --window --minimum-od
// How the analysis finds the rate, as a paragraph of the help text.
extern const char* const method;
// The options as help text lines.
extern const char* const help;

// The analysis's settings with the options given applied; throws std::invalid_argument for a
// value out of range.
GrowthAnalysis::Settings settings(const CommandLine& line);

} // namespace GrowthOptions
