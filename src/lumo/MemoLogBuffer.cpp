// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoLogBuffer.h"

#include <algorithm>
#include <climits>
#include <string>

namespace Talvessa {

namespace {

bool isBreak(char c) {
    return c == '\n' || c == '\r';
}

// Releases the lock on every way out, so that a display failing half-way through a transfer
// does not leave every later transfer waiting for the full timeout.
class Unlocker {
public:
    explicit Unlocker(__lumo::MutexBase& mutex) : mutex_(mutex) {}
    ~Unlocker() { mutex_.unlock(); }
    Unlocker(const Unlocker&) = delete;
    Unlocker& operator=(const Unlocker&) = delete;

private:
    __lumo::MutexBase& mutex_;
};

} // namespace

MemoLogBuffer::MemoLogBuffer(LineDisplay& lineDisplay, __lumo::Sleeper& sleeper)
    : display(lineDisplay), lock(sleeper) {
    display.addLine(std::string());
}

MemoLogBuffer::~MemoLogBuffer() = default;

std::streambuf* MemoLogBuffer::setbuf(char_type* array, std::streamsize n) {
    // Text still in the old array would otherwise be lost with it.
    if (pptr() > pbase())
        sync();
    if (array == nullptr) {
        setp(nullptr, nullptr);
    } else {
        // pbump takes an int, so the room of one put area must fit one.
        const std::streamsize room =
            std::min<std::streamsize>(std::max<std::streamsize>(n - 1, 0), INT_MAX);
        setp(array, array + room);
    }
    return this;
}

int MemoLogBuffer::sync() {
    overflow(traits_type::to_int_type('\0'));
    return 0;
}

std::streamsize MemoLogBuffer::xsputn(const char_type* chars, std::streamsize count) {
    if (count <= 0)
        return 0;
    if (pbase() == nullptr) {
        for (std::streamsize i = 0; i < count; ++i)
            overflow(traits_type::to_int_type(chars[i]));
        return count;
    }
    // A loop rather than recursion: one long text must not need one stack frame per array.
    std::streamsize done = 0;
    for (;;) {
        const std::streamsize room = epptr() - pptr();
        const std::streamsize rest = count - done;
        if (rest <= room) {
            traits_type::copy(pptr(), chars + done, static_cast<std::size_t>(rest));
            pbump(static_cast<int>(rest));
            return count;
        }
        if (room > 0) {
            traits_type::copy(pptr(), chars + done, static_cast<std::size_t>(room));
            pbump(static_cast<int>(room));
            done += room;
        }
        overflow(traits_type::to_int_type(chars[done]));
        ++done;
        if (done == count)
            return count;
    }
}

MemoLogBuffer::int_type MemoLogBuffer::overflow(int_type ch) {
    unsigned long step = 10;
    unsigned long timeout = 5000;
    lock.lock(step, timeout, __lumo::unknownOwner);
    Unlocker unlocker(lock);

    // End of file is how the standard asks for a transfer without a character; like NUL, it
    // adds no text.
    const bool noCharacter =
        traits_type::eq_int_type(ch, traits_type::eof()) || traits_type::to_char_type(ch) == '\0';
    if (pbase() != nullptr && pptr() > pbase()) {
        std::string text(pbase(), pptr());
        if (!noCharacter)
            text += traits_type::to_char_type(ch);
        // Emptied before the display is touched, so that text written meanwhile is kept.
        setp(pbase(), epptr());
        transfer(text);
    } else {
        if (!noCharacter) {
            const char c = traits_type::to_char_type(ch);
            if (c == '\n')
                display.addLine(std::string());
            else
                display.appendToCurrentLine(std::string(1, c));
        }
        setp(pbase(), epptr());
    }
    return noCharacter ? traits_type::not_eof(ch) : ch;
}

void MemoLogBuffer::transfer(const std::string& buffered) {
    std::string text = buffered;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();

    // A break is LF, CR or CR LF; one at the very end makes no extra line of its own.
    std::string::size_type start = 0;
    bool first = true;
    while (start < text.size() || first) {
        std::string::size_type end = start;
        while (end < text.size() && !isBreak(text[end]))
            ++end;
        const std::string line = text.substr(start, end - start);
        if (first)
            display.appendToCurrentLine(line);
        else
            display.addLine(line);
        first = false;
        if (end == text.size())
            break;
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    if (!text.empty() && isBreak(text.back()))
        display.addLine(std::string());
}

} // namespace Talvessa
