// SPDX-License-Identifier: GPL-3.0-or-later
// Profiles are text files people edit by hand: whatever bytes one holds, opening it and
// reading every kind of value must give a value or the caller's default, and the first write
// the program makes must keep every other value as it was read.
#include "FuzzSupport.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workstation/Calibration.h"
#include "workstation/ODFormula.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <utility>

namespace {

using IniFile::ProfileFile;

// The sections the program reads, and every name the bytes spell as a section head (a guess
// is enough: the names are only asked for).
std::set<std::string> sectionsOf(const std::uint8_t* data, std::size_t size) {
    std::set<std::string> sections{"", IniFile::portsSection};
    for (const IniFile::SettingKey* key : IniFile::allSettingKeys())
        sections.insert(key->section);
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t line = 0;
    while (line < text.size() && sections.size() < 64) {
        std::size_t end = text.find_first_of("\r\n", line);
        if (end == std::string::npos)
            end = text.size();
        const std::size_t open = text.find_first_not_of(" \t", line);
        if (open < end && text[open] == '[') {
            const std::size_t close = text.find(']', open);
            const std::string name = text.substr(open + 1, (close < end ? close : end) - open - 1);
            const std::size_t first = name.find_first_not_of(" \t");
            if (first != std::string::npos)
                sections.insert(name.substr(first, name.find_last_not_of(" \t") - first + 1));
        }
        line = end + 1;
    }
    return sections;
}

using Values = std::map<std::pair<std::string, std::string>, std::string>;

// Every key of the sections with its text, after checking the typed reads of each.
Values readAll(const ProfileFile& profile, const std::set<std::string>& sections) {
    Values values;
    for (const std::string& section : sections) {
        for (const std::string& key : profile.keysOf(section)) {
            FUZZ_CHECK(profile.valueExists(section, key), "a listed key does not exist: " + key);
            const std::string text = profile.readString(section, key, "");
            FUZZ_CHECK(text.size() <= ProfileFile::maximumStringLength, "an overlong text");
            profile.readInteger(section, key, 0);
            profile.readBool(section, key, false);
            const double number = profile.readFloat(section, key, 0.5);
            FUZZ_CHECK(std::isfinite(number), "a number read that is not finite: " + text);
            values[{section, key}] = text;
        }
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool prepared = [] {
        Fuzz::silenceLog();
        unsetenv("ALLUSERSPROFILE");
        setenv("XDG_CONFIG_HOME", Fuzz::scratchPath("config").c_str(), 1);
        IniFile::createDirectories(IniFile::computeStoreDirectory("Nephodar", "Talvessa"));
        return true;
    }();
    (void)prepared;
    const std::string path = IniFile::computeStoreDirectory("Nephodar", "Talvessa") + "/Fuzz.ini";
    Fuzz::writeFile(path, data, size);

    try {
        IniFile::openProfile("Fuzz", "Nephodar", "Talvessa");
    } catch (const std::runtime_error&) {
        return 0; // a file that cannot be read at all is refused with a message
    }
    ProfileFile& profile = IniFile::getIniFile();

    // The readers of the program, with their own defaults.
    for (const IniFile::SettingKey* key : IniFile::allSettingKeys()) {
        profile.readString(key->section, key->key, "default");
        profile.readInteger(key->section, key->key, 7);
        const double number = profile.readFloat(key->section, key->key, 0.5);
        FUZZ_CHECK(std::isfinite(number),
                   std::string("a number read that is not finite: ") + key->key);
    }
    Calibration::lastReferenceText();
    Calibration::lastDarkText();
    ODFormula::loadFromProfile();

    const std::set<std::string> sections = sectionsOf(data, size);
    const Values before = readAll(profile, sections);

    // The program's first write changes its own key in the file and keeps every other value;
    // a file that is no text is refused and left exactly as it was.
    const IniFile::SettingKey& locked = IniFile::keys::Locked;
    try {
        profile.writeBool(locked.section, locked.key, true);
    } catch (const std::runtime_error&) {
        FUZZ_CHECK(std::memchr(data, 0, size) != nullptr, "a text profile was refused a write");
        std::ifstream file(path, std::ios::binary);
        const std::string now{std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>()};
        FUZZ_CHECK(now == std::string(reinterpret_cast<const char*>(data), size),
                   "a refused write changed the file");
        return 0;
    }
    const ProfileFile reloaded(path);
    FUZZ_CHECK(reloaded.readString(locked.section, locked.key, "") == "1",
               "the value written does not read back");
    Values after = readAll(reloaded, sections);
    for (const auto& [name, text] : before) {
        if (strcasecmp(name.first.c_str(), locked.section) == 0 &&
            strcasecmp(name.second.c_str(), locked.key) == 0)
            continue;
        const auto found = after.find(name);
        FUZZ_CHECK(found != after.end(), "saving lost [" + name.first + "] " + name.second);
        FUZZ_CHECK(found->second == text, "saving changed [" + name.first + "] " + name.second +
                                              ": '" + text + "' became '" + found->second + "'");
    }

    bool listed = false;
    for (const auto& p : IniFile::listProfiles())
        listed = listed || p.name == "Fuzz";
    FUZZ_CHECK(listed, "the profile is not listed");
    return 0;
}
