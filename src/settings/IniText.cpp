// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniText.h"

#include <cstddef>
#include <optional>

namespace IniFile {

namespace {

const std::string byteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names compare as the profile's reader compares them: ASCII letters without regard to case.
bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowered(a[i]) != lowered(b[i]))
            return false;
    return true;
}

std::string trimmedEnd(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

// One line of the text: [start, end) is its content, next the start of the line after it.
struct Line {
    std::size_t start = 0, end = 0, next = 0;
};

// What a line is to the reader. A line the reader passes over (a comment, a blank line, a
// text without '=') is neither a section nor a key. A section head without its ']' is no
// head, yet the reader puts the keys after it into a section of no name anyone can write.
struct LineMeaning {
    std::optional<std::string> section;
    bool brokenHead = false;
    std::optional<std::string> key;
    std::size_t valueStart = 0; // just after the '=' of a key
};

LineMeaning meaningOf(const std::string& text, const Line& line) {
    LineMeaning meaning;
    std::size_t first = line.start;
    while (first < line.end && isBlank(text[first]))
        ++first;
    if (first == line.end || text[first] == ';' || text[first] == '#')
        return meaning;
    const std::string content = text.substr(first, line.end - first);
    if (content[0] == '[') {
        const std::size_t close = content.find(']');
        meaning.brokenHead = close == std::string::npos;
        if (meaning.brokenHead)
            return meaning;
        std::size_t nameStart = 1;
        while (nameStart < close && isBlank(content[nameStart]))
            ++nameStart;
        meaning.section = trimmedEnd(content.substr(nameStart, close - nameStart));
        return meaning;
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string::npos || equals == 0)
        return meaning;
    meaning.key = trimmedEnd(content.substr(0, equals));
    meaning.valueStart = first + equals + 1;
    return meaning;
}

} // namespace

std::string withValue(const std::string& text, const std::string& section, const std::string& key,
                      const std::string& value) {
    const std::size_t begin =
        text.compare(0, byteOrderMark.size(), byteOrderMark) == 0 ? byteOrderMark.size() : 0;
    std::string lineEnd; // new lines end as the text's first line does
    // Keys before the first section head belong to the unnamed one.
    std::optional<std::string> current = std::string();
    std::optional<Line> keyLine, lastOfSection, firstHead;
    std::size_t keyValueStart = 0;
    for (std::size_t at = begin; at < text.size();) {
        Line line;
        line.start = at;
        line.end = text.find_first_of("\r\n", at);
        if (line.end == std::string::npos) {
            line.end = line.next = text.size();
        } else {
            const bool crlf =
                text[line.end] == '\r' && line.end + 1 < text.size() && text[line.end + 1] == '\n';
            line.next = line.end + (crlf ? 2 : 1);
            if (lineEnd.empty())
                lineEnd = text.substr(line.end, line.next - line.end);
        }
        at = line.next;
        const LineMeaning meaning = meaningOf(text, line);
        if (meaning.brokenHead) {
            current.reset();
            if (!firstHead)
                firstHead = line;
        } else if (meaning.section) {
            current = *meaning.section;
            if (!firstHead)
                firstHead = line;
            if (sameName(*current, section) && !lastOfSection)
                lastOfSection = line;
        } else if (meaning.key && current && sameName(*current, section)) {
            lastOfSection = line;
            if (sameName(*meaning.key, key)) {
                keyLine = line;
                keyValueStart = meaning.valueStart;
            }
        }
    }

    if (lineEnd.empty())
        lineEnd = "\n";
    if (keyLine) {
        // What follows the '=' is the value, all of it: the reader knows no trailing comments.
        std::size_t valueStart = keyValueStart;
        while (valueStart < keyLine->end && isBlank(text[valueStart]))
            ++valueStart;
        if (valueStart == keyLine->end)
            valueStart = keyValueStart;
        return text.substr(0, valueStart) + value + text.substr(keyLine->end);
    }
    const std::string entry = key + "=" + value + lineEnd;
    if (section.empty() && !lastOfSection) {
        const std::size_t at = firstHead ? firstHead->start : text.size();
        const bool needsBreak =
            !firstHead && at > begin && text[at - 1] != '\n' && text[at - 1] != '\r';
        return text.substr(0, at) + (needsBreak ? lineEnd : "") + entry + text.substr(at);
    }
    if (lastOfSection) {
        const std::size_t at = lastOfSection->next;
        const bool needsBreak = lastOfSection->next == lastOfSection->end; // the text's last line
        return text.substr(0, at) + (needsBreak ? lineEnd : "") + entry + text.substr(at);
    }
    // A new section stands apart from the one before, as in the profiles this program makes.
    std::string result = text;
    if (result.size() > begin) {
        if (result.back() != '\n' && result.back() != '\r')
            result += lineEnd;
        result += lineEnd + lineEnd;
    }
    return result + "[" + section + "]" + lineEnd + entry;
}

} // namespace IniFile
