// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace IniFile {

// The text of a profile with one value set, as a reader of the profile will find it: the line
// that holds the key (its last one, which a reader takes) gets the new value, a missing key is
// added after the last key of its section and a missing section at the end. Every other byte
// stays as it was: comments, blank lines, spacing, the line ends and keys nobody here knows.
// The names and the value must be writable (one line, no surrounding blanks).
std::string withValue(const std::string& text, const std::string& section, const std::string& key,
                      const std::string& value);

} // namespace IniFile
