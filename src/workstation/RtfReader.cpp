// SPDX-License-Identifier: GPL-3.0-or-later
#include "RtfText.h"

#include <vector>

namespace RtfText {

namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QChar fromCodePage1252(unsigned char byte) {
    // 0x80..0x9F are printable characters in this code page, not control codes.
    static const ushort high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return byte >= 0x80 && byte < 0xA0 ? QChar(high[byte - 0x80]) : QChar(byte);
}

// Control words that stand for one character.
const QChar* symbolOf(const QByteArray& word) {
    static const std::pair<const char*, QChar> symbols[] = {
        {"par", QLatin1Char('\n')},  {"line", QLatin1Char('\n')}, {"tab", QLatin1Char('\t')},
        {"emdash", QChar(0x2014)},   {"endash", QChar(0x2013)},   {"bullet", QChar(0x2022)},
        {"lquote", QChar(0x2018)},   {"rquote", QChar(0x2019)},   {"ldblquote", QChar(0x201C)},
        {"rdblquote", QChar(0x201D)}};
    for (const auto& [name, symbol] : symbols)
        if (word == name)
            return &symbol;
    return nullptr;
}

// After \u, the next characters are the stand-ins for readers without Unicode: skipped.
bool consumedAsFallback(int& pendingFallback) {
    if (pendingFallback <= 0)
        return false;
    --pendingFallback;
    return true;
}

// Groups whose content is not document text.
bool isSkippedDestination(const QByteArray& word) {
    static const char* const names[] = {
        "fonttbl", "colortbl",  "stylesheet", "info",         "pict",      "header",
        "footer",  "footnote",  "object",     "themedata",    "listtable", "listoverridetable",
        "rsidtbl", "generator", "xmlnstbl",   "latentstyles", "datastore", "filetbl"};
    for (const char* name : names)
        if (word == name)
            return true;
    return false;
}

struct GroupState {
    bool skip = false;
    int unicodeSkip = 1; // characters that stand in for each \u character
};

class Reader {
public:
    explicit Reader(const QByteArray& rtf) : in_(rtf) {}

    QString run() {
        std::vector<GroupState> groups{GroupState{}};
        int pendingFallback = 0;
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                groups.push_back(groups.back());
                continue;
            }
            if (c == '}') {
                ++pos_;
                if (groups.size() > 1)
                    groups.pop_back();
                pendingFallback = 0;
                continue;
            }
            if (c == '\r' || c == '\n') {
                ++pos_;
                continue;
            }
            if (c != '\\') {
                ++pos_;
                if (!consumedAsFallback(pendingFallback) && !groups.back().skip)
                    appendByte(static_cast<unsigned char>(c));
                continue;
            }
            controlWord(groups, pendingFallback);
        }
        flushBytes();
        return text_;
    }

private:
    void controlWord(std::vector<GroupState>& groups, int& pendingFallback) {
        ++pos_; // the backslash
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        GroupState& group = groups.back();
        if (!isLetter(c)) {
            ++pos_;
            if (c == '\'') {
                const int high = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
                const int low = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
                if (high >= 0 && low >= 0) {
                    pos_ += 2;
                    if (!consumedAsFallback(pendingFallback) && !group.skip)
                        appendByte(static_cast<unsigned char>(high * 16 + low));
                }
                return;
            }
            if (c == '*') {
                group.skip = true; // an optional destination this reader does not know
                return;
            }
            if (consumedAsFallback(pendingFallback) || group.skip)
                return;
            if (c == '\\' || c == '{' || c == '}')
                appendByte(static_cast<unsigned char>(c));
            else if (c == '~')
                appendChar(QChar(0x00A0));
            else if (c == '-' || c == '_')
                appendChar(c == '_' ? QChar(0x2011) : QChar(0x00AD));
            else if (c == '\n' || c == '\r')
                appendChar(QLatin1Char('\n'));
            return;
        }
        const int start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]))
            ++pos_;
        const QByteArray word = in_.mid(start, pos_ - start);
        bool hasParameter = false;
        long parameter = 0;
        const int parameterStart = pos_;
        if (pos_ < in_.size() && (in_[pos_] == '-' || isDigit(in_[pos_]))) {
            ++pos_;
            while (pos_ < in_.size() && isDigit(in_[pos_]) && pos_ - parameterStart < 11)
                ++pos_;
            parameter = in_.mid(parameterStart, pos_ - parameterStart).toLong();
            hasParameter = true;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_; // the delimiter belongs to the control word

        if (isSkippedDestination(word)) {
            group.skip = true;
            return;
        }
        if (word == "uc" && hasParameter) {
            group.unicodeSkip = static_cast<int>(std::max(0L, std::min(parameter, 10L)));
            return;
        }
        if (word == "u" && hasParameter) {
            if (!group.skip)
                appendChar(QChar(static_cast<ushort>(static_cast<short>(parameter))));
            pendingFallback = group.unicodeSkip;
            return;
        }
        if (consumedAsFallback(pendingFallback) || group.skip)
            return;
        if (const QChar* symbol = symbolOf(word))
            appendChar(*symbol);
    }

    // Plain bytes and \'hh are in the document's code page (1252 for what we write).
    void appendByte(unsigned char byte) { bytes_.append(static_cast<char>(byte)); }
    void appendChar(QChar c) {
        flushBytes();
        text_.append(c);
    }
    void flushBytes() {
        for (const char b : bytes_)
            text_.append(fromCodePage1252(static_cast<unsigned char>(b)));
        bytes_.clear();
    }

    const QByteArray& in_;
    int pos_ = 0;
    QString text_;
    QByteArray bytes_;
};

} // namespace

QString read(const QByteArray& rtf) {
    if (!rtf.startsWith("{\\rtf"))
        return QString::fromUtf8(rtf);
    return Reader(rtf).run();
}

} // namespace RtfText
