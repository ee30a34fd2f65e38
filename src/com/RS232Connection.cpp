// SPDX-License-Identifier: GPL-3.0-or-later
#include "RS232Connection.h"

#include "LoggedFailure.h"
#include "SerialPortResolver.h"
#include "lumo/Logger.h"
#include "lumo/SystemUtilities.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace Talvessa {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Line-error bits, as the status word of the port reports them.
constexpr unsigned int rxOverflow = 0x0001;
constexpr unsigned int overrun = 0x0002;
constexpr unsigned int parityError = 0x0004;
constexpr unsigned int framingError = 0x0008;
constexpr unsigned int breakCondition = 0x0010;

// Writes never time out on the line itself, but a device that stops taking bytes must not
// freeze the program: a write that makes no progress for this long is reported as short.
constexpr int writeStallMilliseconds = 2000;

bool hungUp(int fd) {
    pollfd entry{fd, 0, 0};
    return poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// 9600 baud, 8 data bits, no parity, 1 stop bit, raw bytes, no flow control of any kind.
bool applyLineSettings(int fd, termios& line) {
    if (tcgetattr(fd, &line) != 0)
        return false;
    cfmakeraw(&line);
    if (cfsetispeed(&line, B9600) != 0 || cfsetospeed(&line, B9600) != 0)
        return false;
    line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    return tcsetattr(fd, TCSANOW, &line) == 0;
}

int remainingMilliseconds(Clock::time_point until) {
    const auto left = std::chrono::ceil<milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

int readWithTimeouts(int fd, unsigned char* buffer, int size, const SerialReadTimeouts& timeouts) {
    const auto deadline =
        Clock::now() + milliseconds(timeouts.totalConstant + timeouts.totalPerByte * size);
    Clock::time_point lastByte;
    int got = 0;
    while (got < size) {
        int wait = remainingMilliseconds(deadline);
        if (got > 0)
            wait =
                std::min(wait, remainingMilliseconds(lastByte + milliseconds(timeouts.interval)));
        if (wait == 0)
            break;
        pollfd entry{fd, POLLIN, 0};
        const int ready = poll(&entry, 1, wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (ready == 0)
            continue;
        if (entry.revents & POLLIN) {
            const ssize_t n = read(fd, buffer + got, static_cast<std::size_t>(size - got));
            if (n > 0) {
                got += static_cast<int>(n);
                lastByte = Clock::now();
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return -1;
            if (n == 0)
                entry.revents |= POLLHUP; // readable but empty: the other end has gone
        }
        if (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The line is gone: report what came before the hang-up, or the failure itself.
            if (got > 0)
                break;
            errno = EIO;
            return -1;
        }
    }
    return got;
}

RS232Connection::RS232Connection(const std::string& type, __lumo::Sleeper& sleeper)
    : ConnectionInterface(type, 50, sleeper) {
    RS232Connection::connect(false); // this class's own: a connection is made whole here
}

RS232Connection::~RS232Connection() {
    RS232Connection::disconnect();
}

void RS232Connection::connect(bool reconnecting) {
    RS232Connection::disconnect();
    devicePath_ = resolveSerialDevice(name);
    const std::string& path = devicePath_;
    handle = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle >= 0 && flock(handle, LOCK_EX | LOCK_NB) != 0) {
        close(handle);
        handle = -1;
        errno = EBUSY; // another program holds the port
    }
    if (handle < 0) {
        const int reason = errno;
        std::ostringstream text;
        text << "Error " << (reconnecting ? "reconnecting" : "connecting") << " port.\n"
             << "'" << getLastErrorText() << "'" << openAdvice(name, path, reason);
        logAndThrow(text.str());
    }
    ioctl(handle, TIOCEXCL); // keeps other programs from opening the port while we hold it

    termios line{};
    if (!applyLineSettings(handle, line))
        logAndThrow("Error SetCommState\n" + getLastErrorText());
    // Time-outs are kept by poll; the driver itself must never hold a read back.
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    if (tcsetattr(handle, TCSANOW, &line) != 0 || tcflush(handle, TCIOFLUSH) != 0)
        logAndThrow("Error SetCommTimeouts\n" + getLastErrorText());

    bool countersAvailable = false;
    readLineErrors(countersAvailable); // start counting from now
}

std::string RS232Connection::openAdvice(const std::string& type, const std::string& path,
                                        int reason) {
    const std::string choosePath = "Name the photometer's device file in the profile's section "
                                   "[Ports], as " +
                                   type + "=/dev/ttyUSB0.";
    switch (reason) {
    case EACCES:
    case EPERM: {
        // Serial lines belong to a group (dialout on Debian) whose members may open them.
        std::string groupName = "dialout";
        struct stat status {};
        if (stat(path.c_str(), &status) == 0)
            if (const ::group* owner = getgrgid(status.st_gid); owner && status.st_gid != 0)
                groupName = owner->gr_name;
        const passwd* user = getpwuid(getuid());
        const std::string userName = user ? user->pw_name : "$USER";
        return "\nYou may not open " + path + ": it is for the members of the group " + groupName +
               ". Join the group with the command below, then log out and in " +
               "again:\n  sudo adduser " + userName + " " + groupName;
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "\nThere is no serial port " + path + " (" + type + "). " + choosePath;
    case EBUSY:
        return "\n" + path + " is in use by another program; end it, or choose another port.";
    default:
        return {};
    }
}

void RS232Connection::disconnect() {
    if (handle < 0)
        return;
    // The exclusive mode belongs to the line, not to our descriptor: left set, it outlives us
    // wherever another program (a device server, the simulator) keeps the line open, and every
    // later open without root fails with "Device or resource busy".
    ioctl(handle, TIOCNXCL);
    close(handle);
    handle = -1;
}

const char* RS232Connection::lineErrorText(unsigned int errorWord) {
    switch (errorWord) {
    case 0x0001:
        return "An input buffer overflow has occurred. There is either no room in the input "
               "buffer, or a character was received after the end-of-file (EOF) character.";
    case 0x0002:
        return "A character-buffer overrun has occurred. The next character is lost.";
    case 0x0004:
        return "The hardware detected a parity error.";
    case 0x0008:
        return "The hardware detected a framing error.";
    case 0x0010:
        return "The hardware detected a break condition.";
    case 0x0100:
        return "The application tried to transmit a character, but the output buffer was full.";
    case 0x0200:
        return "Windows 95 only: A time-out occurred on a parallel device.";
    case 0x0400:
        return "An I/O error occurred during communications with the device.";
    case 0x0800:
        return "Windows 95 only: A parallel device is not selected.";
    case 0x1000:
        return "Windows 95 only: A parallel device signaled that it is out of paper.";
    case 0x8000:
        return "The requested mode is not supported, or the hFile parameter is invalid. If this "
               "value is specified, it is the only valid error.";
    default:
        return "Unknown error code from ClearCommError";
    }
}

// Error bits for the line errors counted since the last call. Lines without counters
// (pseudo-terminals, some USB adapters) report none.
unsigned int RS232Connection::readLineErrors(bool& countersAvailable) {
    serial_icounter_struct counts{};
    countersAvailable = ioctl(handle, TIOCGICOUNT, &counts) == 0;
    if (!countersAvailable)
        return 0;
    const std::array<int, 5> now{counts.buf_overrun, counts.overrun, counts.parity, counts.frame,
                                 counts.brk};
    const std::array<unsigned int, 5> bits{rxOverflow, overrun, parityError, framingError,
                                           breakCondition};
    unsigned int word = 0;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now[i] != lastLineCounts_[i])
            word |= bits[i];
    lastLineCounts_ = now;
    return word;
}

void RS232Connection::checkConnection() {
    const std::string prefix = "Error RS232Connection '" + name + "' checkConnection\n";
    if (handle < 0) {
        errno = EBADF;
        logAndThrow(prefix + getLastErrorText());
    }
    if (hungUp(handle)) {
        errno = EIO;
        logAndThrow(prefix + getLastErrorText());
    }
    bool countersAvailable = false;
    const unsigned int word = readLineErrors(countersAvailable);
    if (!countersAvailable) {
        termios line{};
        if (tcgetattr(handle, &line) != 0)
            logAndThrow(prefix + getLastErrorText());
        return;
    }
    if (word != 0)
        logAndThrow("RS232Connection '" + name + "' checkConnection: the line reported an error\n" +
                    lineErrorText(word));
}

// Every write starts a new exchange with the device. Bytes it sent unasked before, such as
// an answer that came after its read had given up, would otherwise be taken for the answer
// to this command and shift every later exchange.
void RS232Connection::discardLateInput() {
    int waiting = 0;
    if (ioctl(handle, FIONREAD, &waiting) == 0 && waiting > 0) {
        tcflush(handle, TCIFLUSH);
        getLogStream() << "RS232Connection '" << name << "' send\tdropped " << waiting
                       << " late bytes" << std::endl;
    }
}

void RS232Connection::send(UCharContainer& container) {
    const std::string message = "RS232Connection '" + name + "' send\n";
    checkBeforeTransfer(message);
    discardLateInput();
    const int size = container.getSize();
    int written = 0;
    while (written < size) {
        const ssize_t n =
            write(handle, container.getData() + written, static_cast<std::size_t>(size - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            logAndThrow(message + "'" + getLastErrorText() + "'");
        pollfd entry{handle, POLLOUT, 0};
        if (poll(&entry, 1, writeStallMilliseconds) <= 0 || !(entry.revents & POLLOUT))
            break;
    }
    if (written < size) {
        std::ostringstream text;
        text << message
             << "Number of bytes written are unequal\nto the number of bytes should be "
                "written!"
             << "\nshould: " << size << "\nwritten: " << written;
        logAndThrow(text.str());
    }
}

void RS232Connection::receive(UCharContainer& container) {
    const std::string message = "RS232Connection '" + name + "' receive\n";
    checkBeforeTransfer(message);
    container.zeroFill();
    const int size = container.getSize();
    const int got = readWithTimeouts(handle, container.getData(), size, timeouts);
    if (got < 0)
        logAndThrow(message + getLastErrorText());
    if (got < size) {
        std::ostringstream text;
        text << message
             << "Number of bytes read are unequal\nto the number of bytes should be read!"
             << "\nshould: " << size << "\nread: " << got;
        container.resize(got);
        logAndThrow(text.str());
    }
}

std::uint32_t RS232Connection::bytesInBuffer(bool input) {
    const std::string message = "RS232Connection '" + name + "' bytesInBuffer\n";
    checkBeforeTransfer(message);
    bool countersAvailable = false;
    readLineErrors(countersAvailable); // fetching the status clears pending line errors
    int count = 0;
    if (ioctl(handle, input ? FIONREAD : TIOCOUTQ, &count) != 0) {
        const std::string text = message + getLastErrorText();
        getLogStream() << text;
        throw std::runtime_error(text);
    }
    return static_cast<std::uint32_t>(count);
}

} // namespace Talvessa
