// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProfileFile.h"

#include "IniText.h"
#include "lumo/SystemUtilities.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <stdexcept>
#include <strings.h>
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

const std::string byteOrderMark = "\xEF\xBB\xBF";

// Values that let someone in: a profile that holds one is readable by its owner alone.
bool isSecret(const std::string& key, const std::string& value) {
    return !value.empty() &&
           (strcasecmp(key.c_str(), "Token") == 0 || strcasecmp(key.c_str(), "Password") == 0);
}

// Text in two bytes per character without its mark: every other byte is zero.
bool looksLikeUtf16(const std::string& content) {
    const std::size_t length = std::min<std::size_t>(content.size(), 512) & ~std::size_t{1};
    if (length < 4)
        return false;
    std::size_t evenZeros = 0, oddZeros = 0;
    for (std::size_t i = 0; i < length; ++i)
        (i % 2 ? oddZeros : evenZeros) += content[i] == '\0' ? 1 : 0;
    return (oddZeros == length / 2 && evenZeros == 0) || (evenZeros == length / 2 && oddZeros == 0);
}

// Why these bytes are no profile the rules can read; empty when they are one.
std::string unreadable(const std::string& content) {
    if (content.compare(0, 2, "\xFF\xFE") == 0 || content.compare(0, 2, "\xFE\xFF") == 0 ||
        looksLikeUtf16(content))
        return "It is stored as UTF-16; save it as UTF-8 text to use it.";
    return "";
}

// Reads the whole file; false, with errno, when it cannot be read.
bool readWhole(const std::string& path, std::string& content, struct stat& info) {
    // Not blocking: a named pipe in the profile's place must not hang the program.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    bool ok = fstat(fd, &info) == 0;
    if (ok && !S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ok = false;
    }
    content.clear();
    char buffer[16384];
    while (ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    const int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}

// The file a symbolic link leads to: the profile is replaced there, so the link stays.
std::string linkTarget(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::string target(4096, '\0');
        const ssize_t n = readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
            return current;
        target.resize(static_cast<std::size_t>(n));
        // A relative link leads from the directory the link lies in.
        const std::size_t slash = current.rfind('/');
        if (target[0] != '/' && slash != std::string::npos)
            target.insert(0, current, 0, slash + 1);
        current = target;
    }
    return current;
}

// Writes the whole text to a new file beside the target and renames it over the target;
// a crash or a full disk leaves either the old file or the new one, never half of one. The
// new file gets the old one's owner and mode (without the group's and others' rights when it
// holds a secret); a new profile is made as the umask says, or for its owner alone.
void replaceFile(const std::string& path, const std::string& target, const std::string& content,
                 const struct stat* existing, bool secret) {
    const auto failed = [&path](const std::string& reason) {
        return ProfileFileError("Can't write ini- file '" + path + "'! ", reason);
    };
    const std::string temporary = target + ".tmp";
    unlink(temporary.c_str()); // a leftover of a crash would keep its own mode
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, secret ? 0600 : 0644);
    if (fd < 0)
        throw failed(Talvessa::getLastErrorText());
    const auto fail = [&]() {
        const std::string reason = Talvessa::getLastErrorText();
        close(fd);
        unlink(temporary.c_str());
        throw failed(reason);
    };
    if (existing) {
        mode_t mode = existing->st_mode & 07777;
        if (secret)
            mode &= ~static_cast<mode_t>(077);
        // Only the owner may give a file away; anyone else keeps the file theirs.
        if (existing->st_uid != geteuid() || existing->st_gid != getegid())
            (void)!fchown(fd, existing->st_uid, existing->st_gid);
        if (fchmod(fd, mode) != 0)
            fail();
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            fail();
        }
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0)
        fail();
    if (close(fd) != 0 || rename(temporary.c_str(), target.c_str()) != 0) {
        const std::string reason = Talvessa::getLastErrorText();
        unlink(temporary.c_str());
        throw failed(reason);
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
    std::string content;
    if (!readWhole(path, content, info))
        throw ProfileFileError("Can't read ini- file '" + path + "'! ",
                               Talvessa::getLastErrorText());
    if (const std::string reason = unreadable(content); !reason.empty())
        throw ProfileFileError("Can't read ini- file '" + path + "'! ", reason);
    load(content);
}

void ProfileFile::load(const std::string& content) const {
    ini_.Reset();
    ini_.LoadData(content.data(), content.size());
}

void ProfileFile::refresh() const {
    std::string content;
    struct stat info {};
    if (readWhole(path_, content, info) && unreadable(content).empty())
        load(content);
}

std::string ProfileFile::readString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
    const std::lock_guard<std::mutex> hold(mutex_);
    refresh();
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
    const std::lock_guard<std::mutex> hold(mutex_);
    // Only these keys change, in the file as it is now: whatever was edited by hand or written
    // by another program since it was read stays.
    const std::string target = linkTarget(path_);
    std::string before;
    struct stat info {};
    const bool exists = readWhole(target, before, info);
    if (!exists && errno != ENOENT)
        throw ProfileFileError("Can't write ini- file '" + path_ + "'! ",
                               Talvessa::getLastErrorText());
    if (exists) {
        std::string reason = unreadable(before);
        if (reason.empty() && before.find('\0') != std::string::npos)
            reason = "It holds zero bytes, so it is no text; it was left as it is.";
        if (!reason.empty())
            throw ProfileFileError("Can't write ini- file '" + path_ + "'! ", reason);
    } else if (ini_.Save(before) < 0) {
        // The file went away meanwhile: it is made again with the values last read.
        throw ProfileFileError("Can't write ini- file '" + path_ + "'! ", "out of memory");
    }
    std::string after = before;
    bool secret = false;
    for (const Entry& entry : entries) {
        after = withValue(after, entry.section, entry.key, entry.value);
        secret = secret || isSecret(entry.key, entry.value);
    }
    // Reading takes a byte order mark at the start of the file as no part of the text, so a
    // first name that begins with those bytes keeps them only behind a mark of its own.
    if (after.compare(0, byteOrderMark.size(), byteOrderMark) == 0 &&
        before.compare(0, byteOrderMark.size(), byteOrderMark) != 0)
        after.insert(0, byteOrderMark);
    replaceFile(path_, target, after, exists ? &info : nullptr, secret);
    load(after);
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
    const std::lock_guard<std::mutex> hold(mutex_);
    refresh();
    return ini_.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

std::vector<std::string> ProfileFile::keysOf(const std::string& section) const {
    const std::lock_guard<std::mutex> hold(mutex_);
    refresh();
    CSimpleIniA::TNamesDepend names;
    ini_.GetAllKeys(section.c_str(), names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> keys;
    for (const auto& entry : names)
        keys.emplace_back(entry.pItem);
    return keys;
}

} // namespace IniFile
