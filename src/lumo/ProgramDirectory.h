// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace Talvessa {

// The directory of the program's files (working table, Temp.log, AutoSave, templates,
// pictures): setProgramDirectory (--program-dir) first, then the environment variable
// NEPHODAR_PROGRAM_DIR, then, for an installed program, the user's data directory (see
// userDataDirectory), else the executable's own directory (a build directory, a copy the user
// owns).
std::string getProgramDirectory();
void setProgramDirectory(const std::string& directory);

// The shared files of a program installed under a prefix: PREFIX/share/nephodar beside the
// executable's PREFIX/bin. Empty for a program that is not installed that way.
std::string installedSharedDirectory(const std::string& executableDirectory);

// $XDG_DATA_HOME/nephodar, or ~/.local/share/nephodar where XDG_DATA_HOME is unset or relative.
std::string userDataDirectory();

// Copies every file of shared that target lacks, creating target and its folders; a file
// already there (a template the lab edited, the working table) is never replaced. The copies
// are the user's to change even where the shared files are read-only. Throws
// std::runtime_error naming the file that could not be copied.
void seedDirectory(const std::string& shared, const std::string& target);

} // namespace Talvessa
