// SPDX-License-Identifier: GPL-3.0-or-later
#include "PipeConnection.h"

#include "LoggedFailure.h"
#include "lumo/Logger.h"
#include "lumo/SocketDirectory.h"
#include "lumo/SystemUtilities.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace Talvessa {

std::string PipeConnection::pipeDirectory() {
    return simulatorSocketDirectory();
}

namespace {

// A local socket's connect waits while the server's queue is full (a simulator busy with
// another client), without end unless the socket has a send time-out.
bool connectWithin(int handle, const sockaddr_un& address, int milliseconds) {
    const timeval bound{milliseconds / 1000, static_cast<suseconds_t>(milliseconds % 1000) * 1000};
    setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    int result;
    do
        result = ::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (errno == EAGAIN || errno == EINPROGRESS)
            errno = ETIMEDOUT;
        return false;
    }
    const timeval none{};
    setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none);
    return true;
}

} // namespace

PipeConnection::PipeConnection(const std::string& type, __lumo::Sleeper& sleeper)
    : ConnectionInterface(pipeDirectory() + "/" + type, 50, sleeper) {
    PipeConnection::connect(false); // this class's own: a connection is made whole here
}

PipeConnection::~PipeConnection() {
    if (handle >= 0)
        close(handle);
}

void PipeConnection::connect(bool reconnecting) {
    PipeConnection::disconnect();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
    } else {
        std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
        handle = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (handle >= 0 && !connectWithin(handle, address, connectBound())) {
            const int saved = errno;
            close(handle);
            handle = -1;
            errno = saved;
        }
    }
    if (handle < 0) {
        const int reason = errno;
        std::string text = std::string("Error ") + (reconnecting ? "reconnecting" : "connecting") +
                           " port.\n" + getLastErrorText();
        // Nothing listens there: the user has to start the simulator, and may not know how.
        if (reason == ENOENT || reason == ECONNREFUSED)
            text += "\nNo simulator serves " + name + "; start one with:\n  q7sim --socket " +
                    name.substr(name.rfind('/') + 1);
        logAndThrow(text);
    }
}

void PipeConnection::disconnect() {
    if (handle >= 0)
        close(handle);
    handle = -1;
}

void PipeConnection::checkConnection() {
    if (handle < 0) {
        errno = EBADF;
        logAndThrow("Error while checking connection.\n" + getLastErrorText());
    }
    char byte = 0;
    const ssize_t n = recv(handle, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
        return;
    if (n == 0)
        errno = ECONNRESET; // the simulator closed its end
    logAndThrow("Error while checking connection.\n" + getLastErrorText());
}

void PipeConnection::send(UCharContainer& container) {
    const std::string message = "PipeServerConnection '" + name + "' send\n";
    checkBeforeTransfer(message);
    // A new command starts a new exchange: an answer that came too late is not ours any more.
    int waiting = 0;
    if (ioctl(handle, FIONREAD, &waiting) == 0 && waiting > 0) {
        std::string stale(static_cast<std::size_t>(waiting), '\0');
        const ssize_t dropped = recv(handle, stale.data(), stale.size(), MSG_DONTWAIT);
        getLogStream() << "PipeServerConnection '" << name << "' send\tdropped "
                       << (dropped > 0 ? dropped : 0) << " late bytes" << std::endl;
    }
    const int size = container.getSize();
    int written = 0;
    while (written < size) {
        const ssize_t n = ::send(handle, container.getData() + written,
                                 static_cast<std::size_t>(size - written), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error(message + "'" + getLastErrorText() + "'");
        if (n == 0)
            break;
        written += static_cast<int>(n);
    }
    if (written < size) {
        std::ostringstream out;
        out << message
            << "Number of bytes written are unequal\nto the number of bytes should be written!"
            << "\nshould: " << size << "\nwritten: " << written;
        throw std::runtime_error(out.str());
    }
}

void PipeConnection::receive(UCharContainer& container) {
    const std::string message = "PipeServerConnection '" + name + "' receive\n";
    checkBeforeTransfer(message);
    container.zeroFill();
    const int got = readWithTimeouts(handle, container.getData(), container.getSize(), timeouts);
    if (got < 0)
        logAndThrow(message + getLastErrorText());
    if (got < container.getSize()) {
        std::ostringstream text;
        text << message
             << "Number of bytes read are unequal\nto the number of bytes should be read!"
             << "\nshould: " << container << "\nread: " << got;
        container.resize(got);
        logAndThrow(text.str());
    }
}

std::uint32_t PipeConnection::bytesInBuffer(bool) {
    const std::string message = "PipeServerConnection '" + name + "' bytesInBuffer\n";
    checkBeforeTransfer(message);
    int count = 0;
    if (ioctl(handle, FIONREAD, &count) != 0)
        logAndThrow(message + getLastErrorText());
    return static_cast<std::uint32_t>(count);
}

} // namespace Talvessa
