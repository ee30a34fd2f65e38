// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// nephodar-cli report: the printed report of a saved measurement as a PDF file.
int runReportCommand(int argc, char** argv);
