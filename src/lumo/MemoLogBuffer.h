// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineDisplay.h"
#include "Mutex.h"
#include "Sleeper.h"

#include <streambuf>

namespace Talvessa {

// Stream buffer that collects log text in an array given by setbuf and moves it into a line
// display as whole lines, only when the array is full or the stream is flushed: the display is
// slow to update, the writers are many.
class MemoLogBuffer : public std::streambuf {
public:
    explicit MemoLogBuffer(LineDisplay& lineDisplay,
                           __lumo::Sleeper& sleeper = __lumo::systemSleeper());
    ~MemoLogBuffer() override;

    MemoLogBuffer(const MemoLogBuffer&) = delete;
    MemoLogBuffer& operator=(const MemoLogBuffer&) = delete;

protected:
    // The array stays the caller's; n - 1 characters fit before a transfer.
    std::streambuf* setbuf(char_type* array, std::streamsize n) override;
    int sync() override;
    std::streamsize xsputn(const char_type* chars, std::streamsize count) override;
    // Moves the buffered text plus ch into the display; throws ObjectLockedException when a
    // transfer is still under way after 5000 ms, leaving the buffered text where it is.
    int_type overflow(int_type ch) override;

private:
    void transfer(const std::string& text);

    LineDisplay& display;
    __lumo::MutexTemplate<unsigned long> lock;
};

} // namespace Talvessa
