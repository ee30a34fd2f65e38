// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProfileFile.h"

#include "lumo/SystemUtilities.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace IniFile {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Why the file could not give a name or value back exactly as written; empty when it can.
// A line break would let the text start a section or key of its own; the reader trims blanks
// and tabs around names and values and returns at most maximumStringLength bytes of a value;
// a key beginning like a comment or a section would not be read as a key.
std::string unwritable(const std::string& section, const std::string& key, const std::string& value,
                       std::size_t maximumLength) {
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) ||
        section.find(']') != std::string::npos || key.find('=') != std::string::npos ||
        trimmed(key).empty())
        return "names and values must be on one line.";
    if (value.size() > maximumLength)
        return "a value can't be longer than " + std::to_string(maximumLength) + " characters.";
    if (trimmed(section) != section || trimmed(key) != key || trimmed(value) != value)
        return "names and values can't begin or end with a blank or a tab.";
    if (key.find_first_of(";#[") == 0)
        return "a name can't begin with ';', '#' or '['.";
    return "";
}

// Writes the whole text to a new file beside the target and renames it over the target;
// a crash or a full disk leaves either the old file or the new one, never half of one.
void replaceFile(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw ProfileFileError("Can't write ini- file '" + path + "'! ",
                               Talvessa::getLastErrorText());
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            const std::string reason = Talvessa::getLastErrorText();
            close(fd);
            unlink(temporary.c_str());
            throw ProfileFileError("Can't write ini- file '" + path + "'! ", reason);
        }
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = Talvessa::getLastErrorText();
        unlink(temporary.c_str());
        throw ProfileFileError("Can't write ini- file '" + path + "'! ", reason);
    }
}

} // namespace

bool parseIniInteger(const std::string& raw, std::int32_t& value) {
    std::string text = trimmed(raw);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.erase(0, 1);
    }
    int base = 10;
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
        base = 16;
        text.erase(0, 2);
    } else if (text.rfind('$', 0) == 0) {
        base = 16;
        text.erase(0, 1);
    }
    if (text.empty())
        return false;
    std::int64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    // Hexadecimal texts may spell a negative number by its 32-bit pattern (0xFFFFFFFF = -1).
    if (base == 16 && !negative && signedValue <= 0xFFFFFFFFLL) {
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(signedValue));
        return true;
    }
    if (signedValue < INT32_MIN || signedValue > INT32_MAX)
        return false;
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

bool parseIniFloat(const std::string& raw, double& value) {
    std::string text = trimmed(raw);
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    if (text.empty())
        return false;
    double parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    // "inf" and "nan" parse too, but no setting can use them: they read as unreadable.
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

std::string formatIniFloat(double value) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

ProfileFile::ProfileFile(const std::string& path) : path_(path) {
    ini_.SetSpaces(false);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return;
    // The reader sizes its buffer by the offset at the file's end, which a directory gives as
    // huge: only a regular file is read.
    const bool regular = S_ISREG(info.st_mode);
    if (!regular)
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    if (!regular || ini_.LoadFile(path.c_str()) < 0)
        throw ProfileFileError("Can't read ini- file '" + path + "'! ",
                               Talvessa::getLastErrorText());
}

std::string ProfileFile::readString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
    const char* value = ini_.GetValue(section.c_str(), key.c_str(), nullptr);
    if (value == nullptr)
        return defaultValue;
    std::string text(value);
    if (text.size() > maximumStringLength) {
        // Never half a character: the cut backs off over UTF-8 continuation bytes.
        std::size_t cut = maximumStringLength;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return text;
}

std::int32_t ProfileFile::readInteger(const std::string& section, const std::string& key,
                                      std::int32_t defaultValue) const {
    std::int32_t value = 0;
    return parseIniInteger(readString(section, key, ""), value) ? value : defaultValue;
}

bool ProfileFile::readBool(const std::string& section, const std::string& key,
                           bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

double ProfileFile::readFloat(const std::string& section, const std::string& key,
                              double defaultValue) const {
    double value = 0;
    return parseIniFloat(readString(section, key, ""), value) ? value : defaultValue;
}

void ProfileFile::checkWritable(const std::string& section, const std::string& key,
                                const std::string& value) const {
    const std::string reason = unwritable(section, key, value, maximumStringLength);
    if (!reason.empty())
        throw std::runtime_error("Can't write '" + key + "' in section '" + section + "' of '" +
                                 path_ + "': " + reason);
}

void ProfileFile::writeString(const std::string& section, const std::string& key,
                              const std::string& value) {
    writeTogether({{section, key, value}});
}

void ProfileFile::writeTogether(const std::vector<Entry>& entries) {
    for (const Entry& entry : entries)
        checkWritable(entry.section, entry.key, entry.value);
    // What each value replaced, to put back in reverse order if the file cannot be written.
    struct Undo {
        const Entry* entry;
        bool hadValue, hadSection;
        std::string oldValue;
    };
    std::vector<Undo> undo;
    for (const Entry& entry : entries) {
        const char* previous = ini_.GetValue(entry.section.c_str(), entry.key.c_str(), nullptr);
        undo.push_back({&entry, previous != nullptr,
                        ini_.GetSection(entry.section.c_str()) != nullptr,
                        previous ? previous : ""});
        ini_.SetValue(entry.section.c_str(), entry.key.c_str(), entry.value.c_str());
    }
    try {
        save();
    } catch (...) {
        // Keep the object in step with the file that is still on disk.
        for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
            const char* section = it->entry->section.c_str();
            if (it->hadValue)
                ini_.SetValue(section, it->entry->key.c_str(), it->oldValue.c_str());
            else if (it->hadSection)
                ini_.Delete(section, it->entry->key.c_str());
            else
                ini_.Delete(section, nullptr);
        }
        throw;
    }
}

std::string ProfileFile::trimmedText(const std::string& text) {
    return trimmed(text);
}

void ProfileFile::writeInteger(const std::string& section, const std::string& key,
                               std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void ProfileFile::writeBool(const std::string& section, const std::string& key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void ProfileFile::writeFloat(const std::string& section, const std::string& key, double value) {
    writeString(section, key, formatIniFloat(value));
}

bool ProfileFile::valueExists(const std::string& section, const std::string& key) const {
    return ini_.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

std::vector<std::string> ProfileFile::keysOf(const std::string& section) const {
    CSimpleIniA::TNamesDepend names;
    ini_.GetAllKeys(section.c_str(), names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> keys;
    for (const auto& entry : names)
        keys.emplace_back(entry.pItem);
    return keys;
}

void ProfileFile::save() const {
    std::string content;
    if (ini_.Save(content) < 0)
        throw ProfileFileError("Can't write ini- file '" + path_ + "'! ", "out of memory");
    // Reading takes a byte order mark at the start of the file as no part of the text, so a
    // first name that begins with those bytes keeps them only behind a mark of its own.
    static const std::string byteOrderMark = "\xEF\xBB\xBF";
    if (content.compare(0, byteOrderMark.size(), byteOrderMark) == 0)
        content.insert(0, byteOrderMark);
    replaceFile(path_, content);
}

} // namespace IniFile
