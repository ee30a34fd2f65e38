// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// nephodar-cli measure: a whole measurement from a terminal.
int runMeasureCommand(int argc, char** argv);
// nephodar-cli calibrate: calibrates the source and stores the values in the profile.
int runCalibrateCommand(int argc, char** argv);
