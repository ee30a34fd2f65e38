// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <limits.h>
#include <pwd.h>
#include <stdexcept>
#include <unistd.h>

namespace Talvessa {

namespace fs = std::filesystem;

namespace {
std::string& overridden() {
    static std::string directory;
    return directory;
}

std::string executableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    const std::string text(path, static_cast<std::size_t>(n));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash);
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

// The user's data directory of an installed program, seeded once per process.
std::string installedProgramDirectory(const std::string& shared) {
    static const std::string directory = [&shared] {
        std::string target = userDataDirectory();
        try {
            seedDirectory(shared, target);
        } catch (const std::runtime_error&) {
            // Left to the working table's own check, which names the directory and the reason
            // before anything is measured.
        }
        return target;
    }();
    return directory;
}
} // namespace

std::string getProgramDirectory() {
    if (!overridden().empty())
        return overridden();
    if (const char* fromEnvironment = std::getenv("NEPHODAR_PROGRAM_DIR");
        fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    std::string executable = executableDirectory();
    if (const std::string shared = installedSharedDirectory(executable); !shared.empty())
        return installedProgramDirectory(shared);
    return executable;
}

void setProgramDirectory(const std::string& directory) {
    overridden() = directory;
}

std::string installedSharedDirectory(const std::string& executableDirectory) {
    const fs::path bin(executableDirectory);
    if (bin.filename() != "bin")
        return {};
    const fs::path shared = bin.parent_path() / "share" / "nephodar";
    std::error_code error;
    return fs::is_directory(shared, error) ? shared.string() : std::string();
}

std::string userDataDirectory() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    // Relative paths are to be ignored, as the base directory convention says.
    if (dataHome && *dataHome == '/')
        return (fs::path(dataHome) / "nephodar").string();
    return (fs::path(homeDirectory()) / ".local/share/nephodar").string();
}

void seedDirectory(const std::string& shared, const std::string& target) {
    const auto fail = [](const fs::path& path, const std::error_code& error) {
        throw std::runtime_error("Can't set up '" + path.string() + "': " + error.message());
    };
    std::error_code error;
    fs::create_directories(target, error);
    if (error)
        fail(target, error);
    fs::recursive_directory_iterator walk(shared, error);
    if (error)
        fail(shared, error);
    for (const fs::directory_entry& entry : walk) {
        const fs::path copy = fs::path(target) / entry.path().lexically_relative(shared);
        if (entry.is_directory(error)) {
            fs::create_directory(copy, error);
        } else if (entry.is_regular_file(error) && !fs::exists(copy, error)) {
            fs::copy_file(entry.path(), copy, fs::copy_options::skip_existing, error);
            if (!error)
                fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add, error);
        }
        if (error)
            fail(copy, error);
    }
}

} // namespace Talvessa
