// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Profiles are byte strings; the wide-character half of the library is not needed.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace IniFile {

// A profile file that cannot be read or written; systemText says why.
struct ProfileFileError : std::runtime_error {
    ProfileFileError(const std::string& message, const std::string& reason)
        : std::runtime_error(message + reason), systemText(reason) {}
    std::string systemText;
};

// One profile file with typed reads and writes. Section and key names are compared without
// regard to case; an absent or unreadable value gives the caller's default. Nothing is kept
// apart from the file: a read sees the file as it is now (edited by hand or by another program
// meanwhile), and a write changes only its own keys in the file as it is now, through a
// temporary file, so the old content is never lost. A write keeps the file's mode, owner and
// the target of a symbolic link; a file that holds a token or a password is kept private.
class ProfileFile {
public:
    // Reads the file when it exists; a missing file is an empty profile. A file that is not
    // a text the profile rules can read (UTF-16, for one) is refused with the reason.
    explicit ProfileFile(const std::string& path);
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    const std::string& getFileName() const { return path_; }

    std::string readString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    std::int32_t readInteger(const std::string& section, const std::string& key,
                             std::int32_t defaultValue) const;
    bool readBool(const std::string& section, const std::string& key, bool defaultValue) const;
    double readFloat(const std::string& section, const std::string& key, double defaultValue) const;

    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, std::int32_t value);
    void writeBool(const std::string& section, const std::string& key, bool value);
    void writeFloat(const std::string& section, const std::string& key, double value);

    // Values that belong together: every one is written or none is. All are checked first,
    // then the file is replaced once; a refused value or a failed write leaves the profile,
    // on disk and here, exactly as it was.
    struct Entry {
        std::string section, key, value;
    };
    void writeTogether(const std::vector<Entry>& entries);

    // A free text as the profile can keep it: without blanks or tabs at either end, which
    // reading would drop anyway. Other texts are returned unchanged.
    static std::string trimmedText(const std::string& text);

    bool valueExists(const std::string& section, const std::string& key) const;
    // The keys of a section in the order of the file.
    std::vector<std::string> keysOf(const std::string& section) const;

    // The longest text a string read returns.
    static constexpr std::size_t maximumStringLength = 2047;

private:
    void checkWritable(const std::string& section, const std::string& key,
                       const std::string& value) const;
    // Takes the file's values in as they are now. A file that cannot be read now leaves the
    // values last read: a reader mid-run gets them rather than defaults.
    void refresh() const;
    void load(const std::string& content) const;

    std::string path_;
    mutable std::mutex mutex_;
    mutable CSimpleIniA ini_; // the "A" variant compares names without regard to case
};

// The value rules of the profile files, also used where a setting's text is taken apart.
bool parseIniInteger(const std::string& text, std::int32_t& value);
bool parseIniFloat(const std::string& text, double& value);
std::string formatIniFloat(double value);

} // namespace IniFile
