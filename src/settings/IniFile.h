// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProfileFile.h"

#include <cstdint>
#include <list>
#include <string>

// The settings profiles of the program: a store directory per maker and application, each
// profile an INI file plus a content directory of the same name. One profile is open for
// the whole run; every settings reader and writer goes through getIniFile().
namespace IniFile {

struct Profile {
    std::string name;
    bool locked = true; // in use, or its creation never finished
};

inline std::string storeDirectory;
inline std::string profileDirectory;
inline std::int32_t quality = 8;
inline std::int32_t interval = 30;
inline std::int32_t odChannel = 6;
inline std::int32_t refChannel = 1;
inline std::int32_t usePreByte = 0;
inline const std::string versionText = "v2.0";
inline const std::string programVersionText = "Nephodar v2.0";

void openProfile(const std::string& profileName, const std::string& applicationName,
                 const std::string& makerName);
ProfileFile& getIniFile();
bool hasIniFile();

void createProfileFile(const std::string& path);
void importOldSettingsFile();
void createDirectories(const std::string& path);
std::list<Profile> listProfiles();
void copyProfile(const std::string& sourceName, const std::string& targetName);
void renameProfile(const std::string& oldName, const std::string& newName);
void deleteProfile(const std::string& name);
void deleteProfileWithContent(const std::string& name);

// The store directory for an application of a maker, from the environment.
std::string computeStoreDirectory(const std::string& applicationName, const std::string& makerName);
// The settings file an older installation kept next to the program.
std::string oldSettingsFilePath();

} // namespace IniFile
