// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniFile.h"

#include "SettingsKeys.h"
#include "lumo/PathType.h"
#include "lumo/ProgramDirectory.h"
#include "lumo/SystemUtilities.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <memory>
#include <pwd.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace IniFile {

namespace {

using __lumo::PathType;
using Talvessa::getLastErrorText;

std::unique_ptr<ProfileFile>& openFile() {
    static std::unique_ptr<ProfileFile> file;
    return file;
}

std::string applicationOfStore = "Nephodar";

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A profile is a file and a directory directly in the store; its name must not lead out of it.
void checkProfileName(const std::string& name) {
    if (name == "." || name == ".." ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        throw std::runtime_error("The profile name '" + name +
                                 "' can't contain '/' or be '.' or '..'!");
}

std::string profileFilePath(const std::string& name) {
    return PathType::joined(storeDirectory, name + ".ini");
}

std::string contentDirectoryPath(const std::string& name) {
    return PathType::joined(storeDirectory, name);
}

// Copies a file, replacing the target whole; errno tells why when it returns false.
bool copyFile(const std::string& source, const std::string& target) {
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat info {};
    fstat(in, &info);
    const std::string temporary = target + ".tmp";
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                         info.st_mode & 0777 ? info.st_mode & 0777 : 0644);
    if (out < 0) {
        const int saved = errno;
        close(in);
        errno = saved;
        return false;
    }
    char buffer[65536];
    bool ok = true;
    while (ok) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            if (w == 0)
                errno = ENOSPC;
            done += w > 0 ? w : 0;
        }
    }
    int saved = errno;
    close(in);
    if (ok && fsync(out) != 0)
        ok = false, saved = errno;
    if (close(out) != 0 && ok)
        ok = false, saved = errno;
    if (ok && rename(temporary.c_str(), target.c_str()) != 0)
        ok = false, saved = errno;
    if (!ok)
        unlink(temporary.c_str());
    errno = saved;
    return ok;
}

// Renames like the profile manager expects: an existing target is never replaced. Some
// network and FUSE file systems do not know the no-replace rename (EINVAL). There a file gets
// its new name as a link, which refuses an existing name, and loses the old one; what cannot
// be linked (a directory, a file system without links) is renamed once the target was found
// missing.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat source {};
    if (lstat(from.c_str(), &source) != 0)
        return false;
    if (!S_ISDIR(source.st_mode)) {
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0)
                return true;
            const int saved = errno;
            unlink(to.c_str());
            errno = saved;
            return false;
        }
        if (errno == EEXIST)
            return false;
    }
    struct stat target {};
    if (lstat(to.c_str(), &target) == 0) {
        errno = EEXIST;
        return false;
    }
    return errno == ENOENT && rename(from.c_str(), to.c_str()) == 0;
}

// The entries of a directory that match a pattern, without "." and ".."; false when the
// directory cannot be listed.
bool listDirectory(const std::string& directory, const char* pattern,
                   std::vector<std::string>& names) {
    DIR* handle = opendir(directory.c_str());
    if (handle == nullptr)
        return false;
    while (const dirent* entry = readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (fnmatch(pattern, name.c_str(), FNM_CASEFOLD) == 0)
            names.push_back(name);
    }
    closedir(handle);
    return true;
}

void copyDirectory(const std::string& source, const std::string& target) {
    std::vector<std::string> names;
    if (!listDirectory(source, "*", names))
        return;
    createDirectories(target);
    for (const auto& name : names) {
        const std::string from = PathType::joined(source, name);
        const std::string to = PathType::joined(target, name);
        if (directoryExists(from))
            copyDirectory(from, to);
        else
            copyFile(from, to); // a single file that fails to copy does not stop the rest
    }
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "/tmp";
}

} // namespace

std::string computeStoreDirectory(const std::string& applicationName,
                                  const std::string& makerName) {
    PathType store;
    const char* shared = std::getenv("ALLUSERSPROFILE");
    if (shared && *shared) {
        store = shared;
        const char* appData = std::getenv("APPDATA");
        store.appendComponent(appData ? PathType(appData).getLastComponent()
                                      : PathType("Application Data"));
    } else {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        store = config && *config ? std::string(config) : homeDirectory() + "/.config";
    }
    store.appendComponent(makerName);
    store.appendComponent(applicationName);
    return store;
}

std::string oldSettingsFilePath() {
    return PathType::joined(Talvessa::getProgramDirectory(), applicationOfStore + ".ini");
}

void openProfile(const std::string& profileName, const std::string& applicationName,
                 const std::string& makerName) {
    if (profileName.empty())
        throw std::runtime_error("Name of profile is empty!");
    if (applicationName.empty())
        throw std::runtime_error("Name of application is empty!");
    if (makerName.empty())
        throw std::runtime_error("Name of manufacturer is empty!");
    checkProfileName(profileName);

    applicationOfStore = applicationName;
    storeDirectory = computeStoreDirectory(applicationName, makerName);
    const std::string path = profileFilePath(profileName);
    if (!fileExists(path)) {
        if (profileName == "Default" && fileExists(oldSettingsFilePath()))
            importOldSettingsFile();
        else
            createProfileFile(path);
    }
    profileDirectory = contentDirectoryPath(profileName);
    createDirectories(profileDirectory);

    auto file = std::make_unique<ProfileFile>(path);
    quality = file->readInteger(keys::Quality.section, keys::Quality.key, 8);
    odChannel = file->readInteger(keys::ODChannel.section, keys::ODChannel.key, 6);
    interval = file->readInteger(keys::Interval.section, keys::Interval.key, 30);
    refChannel = file->readInteger(keys::RefChannel.section, keys::RefChannel.key, 1);
    usePreByte = file->readInteger(keys::UsePreByte.section, keys::UsePreByte.key, 0);
    openFile() = std::move(file);
}

ProfileFile& getIniFile() {
    if (!openFile())
        throw std::runtime_error("Ini- file aren't initiated!");
    return *openFile();
}

bool hasIniFile() {
    return openFile() != nullptr;
}

void createProfileFile(const std::string& path) {
    createDirectories(PathType(path).getParent());
    std::unique_ptr<ProfileFile> file;
    try {
        file = std::make_unique<ProfileFile>(path);
        // Locked until the last step, so that a creation cut short is never offered for use.
        std::vector<ProfileFile::Entry> values;
        for (const SettingKey* key : allSettingKeys())
            if (key->newProfileValue)
                values.push_back({key->section, key->key, key->newProfileValue});
        file->writeTogether(values);
        file->writeBool(keys::Locked.section, keys::Locked.key, false);
    } catch (const ProfileFileError& e) {
        openFile().reset();
        throw std::runtime_error("Can't create ini- file '" + path + "'! " + e.systemText);
    }
    openFile().reset();
}

void importOldSettingsFile() {
    createDirectories(contentDirectoryPath("Default"));
    const std::string source = oldSettingsFilePath();
    const std::string target = profileFilePath("Default");
    if (!copyFile(source, target))
        throw std::runtime_error("Copying ini- file '" + source + "' to '" + target + "' failed! " +
                                 getLastErrorText());
}

void createDirectories(const std::string& path) {
    if (path.empty() || directoryExists(path))
        return;
    createDirectories(PathType(path).getParent());
    if (mkdir(path.c_str(), 0755) != 0 && !(errno == EEXIST && directoryExists(path)))
        throw std::runtime_error("Creation of directory '" + path + "' failed! " +
                                 getLastErrorText());
}

std::list<Profile> listProfiles() {
    std::list<Profile> profiles;
    std::vector<std::string> names;
    listDirectory(storeDirectory, "*.ini", names);
    for (const auto& entry : names) {
        const std::string path = PathType::joined(storeDirectory, entry);
        if (directoryExists(path))
            continue;
        Profile profile;
        profile.name = entry.substr(0, entry.rfind('.'));
        try {
            ProfileFile file(path);
            profile.locked = file.readBool(keys::Locked.section, keys::Locked.key, true);
        } catch (const std::exception&) {
            profile.locked = true; // unreadable: never offered for use or deletion
        }
        profiles.push_back(profile);
    }
    return profiles;
}

void copyProfile(const std::string& sourceName, const std::string& targetName) {
    checkProfileName(sourceName);
    checkProfileName(targetName);
    const std::string source = profileFilePath(sourceName);
    const std::string target = profileFilePath(targetName);
    if (fileExists(source) && !copyFile(source, target))
        throw std::runtime_error("Copying ini- file '" + source + "' to '" + target + "' failed! " +
                                 getLastErrorText());
    const std::string sourceDirectory = contentDirectoryPath(sourceName);
    if (directoryExists(sourceDirectory))
        copyDirectory(sourceDirectory, contentDirectoryPath(targetName));
}

void renameProfile(const std::string& oldName, const std::string& newName) {
    checkProfileName(oldName);
    checkProfileName(newName);
    const std::string oldFile = profileFilePath(oldName);
    const std::string newFile = profileFilePath(newName);
    if (fileExists(oldFile) && !renameWithoutReplacing(oldFile, newFile))
        throw std::runtime_error("Can't rename file '" + oldFile + "' to '" + newFile + "'! " +
                                 getLastErrorText());
    const std::string oldDirectory = contentDirectoryPath(oldName);
    const std::string newDirectory = contentDirectoryPath(newName);
    if (directoryExists(oldDirectory) && !renameWithoutReplacing(oldDirectory, newDirectory))
        throw std::runtime_error("Can't rename directory '" + oldDirectory + "' to '" +
                                 newDirectory + "'! " + getLastErrorText());
}

void deleteProfile(const std::string& name) {
    checkProfileName(name);
    const std::string file = profileFilePath(name);
    if (fileExists(file) && !renameWithoutReplacing(file, file + ".x"))
        throw std::runtime_error("Can't rename file '" + file + "'! " + getLastErrorText());
    const std::string directory = contentDirectoryPath(name);
    if (directoryExists(directory) && !renameWithoutReplacing(directory, directory + ".x"))
        throw std::runtime_error("Can't rename directory '" + directory + "'! " +
                                 getLastErrorText());
}

void deleteProfileWithContent(const std::string& name) {
    checkProfileName(name);
    const std::string file = profileFilePath(name);
    if (fileExists(file) && unlink(file.c_str()) != 0)
        throw std::runtime_error("Can't delete file '" + file + "'! " + getLastErrorText());
    const std::string directory = contentDirectoryPath(name);
    std::vector<std::string> names;
    if (!listDirectory(directory, "*", names))
        return;
    for (const auto& entry : names) {
        const std::string path = PathType::joined(directory, entry);
        if (directoryExists(path)) {
            if (rmdir(path.c_str()) != 0)
                throw std::runtime_error("Can't delete directory '" + path + "'! " +
                                         getLastErrorText());
        } else if (access(path.c_str(), F_OK) == 0 && unlink(path.c_str()) != 0) {
            throw std::runtime_error("Can't delete file '" + path + "'! " + getLastErrorText());
        }
    }
}

} // namespace IniFile
