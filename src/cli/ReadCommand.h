// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// nephodar-cli read: readings straight from a device, to check that it answers.
int runReadCommand(int argc, char** argv);
