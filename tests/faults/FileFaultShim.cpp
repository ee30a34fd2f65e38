// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into nephodar-cli by the fault tests. It counts every call that changes a file
// under one directory and, at a chosen call, either kills the process (SIGKILL, just before
// the call) or lets the disk run full (that call and every later one that needs space fails
// with ENOSPC). Choosing each call in turn reaches every state a death or a full disk can
// leave the files in, while the tool itself runs unchanged.
//
//   NEPHODAR_FAULT_WATCH    absolute directory whose files count (the directory itself too),
//                           or one file
//   NEPHODAR_FAULT_KILL_AT  the call to die before, from 1
//   NEPHODAR_FAULT_FULL_AT  the first call that finds the disk full, from 1
//   NEPHODAR_FAULT_ROOM_AT  the first call that finds room again (0 or unset: never)
//   NEPHODAR_FAULT_TALLY    file that receives the number of calls counted, at a normal exit
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr int trackedFds = 4096;
std::atomic<bool> watchedFd[trackedFds];
std::atomic<long> calls{0};

struct Settings {
    std::string directory;
    long killAt = 0;
    long fullAt = 0;
    long roomAt = 0;
    std::string tally;
    Settings() {
        if (const char* d = std::getenv("NEPHODAR_FAULT_WATCH"))
            directory = d;
        while (directory.size() > 1 && directory.back() == '/')
            directory.pop_back();
        if (const char* k = std::getenv("NEPHODAR_FAULT_KILL_AT"))
            killAt = std::strtol(k, nullptr, 10);
        if (const char* f = std::getenv("NEPHODAR_FAULT_FULL_AT"))
            fullAt = std::strtol(f, nullptr, 10);
        if (const char* r = std::getenv("NEPHODAR_FAULT_ROOM_AT"))
            roomAt = std::strtol(r, nullptr, 10);
        if (const char* t = std::getenv("NEPHODAR_FAULT_TALLY"))
            tally = t;
    }
};

// Never destroyed: the tally is written after the library's own statics are gone.
const Settings& settings() {
    static const Settings* const s = new Settings;
    return *s;
}

template <typename F> F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The absolute form of a path given relative to a directory descriptor or the working
// directory; ".." is left as it is, the tool does not use it.
std::string absolute(int directoryFd, const char* path) {
    if (path == nullptr)
        return {};
    if (path[0] == '/')
        return path;
    char base[PATH_MAX];
    if (directoryFd == AT_FDCWD) {
        if (getcwd(base, sizeof base) == nullptr)
            return path;
    } else {
        const std::string link = "/proc/self/fd/" + std::to_string(directoryFd);
        const ssize_t n = readlink(link.c_str(), base, sizeof base - 1);
        if (n <= 0)
            return path;
        base[n] = '\0';
    }
    return std::string(base) + "/" + path;
}

bool watched(const std::string& path) {
    const std::string& d = settings().directory;
    if (d.empty() || path.compare(0, d.size(), d) != 0)
        return false;
    return path.size() == d.size() || path[d.size()] == '/';
}

bool watchedDescriptor(int fd) {
    return fd >= 0 && fd < trackedFds && watchedFd[fd].load();
}

enum class Needs { Nothing, Space };

// Counts one change; false when it has to fail for want of space.
bool allowed(Needs needs) {
    const long n = ++calls;
    if (n == settings().killAt)
        kill(getpid(), SIGKILL);
    if (needs == Needs::Space && settings().fullAt > 0 && n >= settings().fullAt &&
        (settings().roomAt <= 0 || n < settings().roomAt)) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

bool allowedOnPath(Needs needs, int fd1, const char* a, int fd2 = AT_FDCWD,
                   const char* b = nullptr) {
    if (!watched(absolute(fd1, a)) && (b == nullptr || !watched(absolute(fd2, b))))
        return true;
    return allowed(needs);
}

bool allowedOnDescriptor(Needs needs, int fd) {
    return !watchedDescriptor(fd) || allowed(needs);
}

bool isTemporaryFile(int flags) {
    return (flags & O_TMPFILE) == O_TMPFILE;
}

bool changesFile(int flags) {
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0 || isTemporaryFile(flags);
}

mode_t modeArgument(int flags, va_list arguments) {
    return (flags & O_CREAT) != 0 || isTemporaryFile(flags) ? va_arg(arguments, mode_t) : 0;
}

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

// A full disk has no free blocks: new names still fit in their directory, new data does not.
int openAt(const char* name, int directoryFd, const char* path, int flags, mode_t mode) {
    const bool counted = changesFile(flags) && watched(absolute(directoryFd, path));
    if (counted)
        allowed(Needs::Nothing);
    using OpenAt = int (*)(int, const char*, int, ...);
    const int fd = real<OpenAt>(name)(directoryFd, path, flags, mode);
    if (fd >= 0 && fd < trackedFds)
        watchedFd[fd] = counted;
    return fd;
}

__attribute__((destructor)) void writeTally() {
    if (settings().tally.empty())
        return;
    using Open = int (*)(const char*, int, ...);
    using Write = ssize_t (*)(int, const void*, size_t);
    const int fd = real<Open>("open")(settings().tally.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    const std::string text = std::to_string(calls.load()) + "\n";
    real<Write>("write")(fd, text.data(), text.size());
    real<int (*)(int)>("close")(fd);
}

} // namespace

#define WITH_MODE(flags, call)                                                                     \
    va_list arguments;                                                                             \
    va_start(arguments, flags);                                                                    \
    const mode_t mode = modeArgument(flags, arguments);                                            \
    va_end(arguments);                                                                             \
    return call

extern "C" {

int open(const char* path, int flags, ...) {
    WITH_MODE(flags, openAt("openat", AT_FDCWD, path, flags, mode));
}

int open64(const char* path, int flags, ...) {
    WITH_MODE(flags, openAt("openat64", AT_FDCWD, path, flags, mode));
}

int openat(int directoryFd, const char* path, int flags, ...) {
    WITH_MODE(flags, openAt("openat", directoryFd, path, flags, mode));
}

int openat64(int directoryFd, const char* path, int flags, ...) {
    WITH_MODE(flags, openAt("openat64", directoryFd, path, flags, mode));
}

int creat(const char* path, mode_t mode) {
    return openAt("openat", AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode);
}

int creat64(const char* path, mode_t mode) {
    return openAt("openat64", AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode);
}

int close(int fd) {
    if (fd >= 0 && fd < trackedFds)
        watchedFd[fd] = false;
    return real<int (*)(int)>("close")(fd);
}

ssize_t write(int fd, const void* data, size_t size) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<ssize_t (*)(int, const struct iovec*, int)>("writev")(fd, parts, count);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(fd, data, size, offset);
}

int ftruncate(int fd, off_t length) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<int (*)(int, off_t)>("ftruncate")(fd, length);
}

int ftruncate64(int fd, off64_t length) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<int (*)(int, off64_t)>("ftruncate64")(fd, length);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<int (*)(int, int, off_t, off_t)>("fallocate")(fd, mode, offset, length);
}

int fallocate64(int fd, int mode, off64_t offset, off64_t length) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<int (*)(int, int, off64_t, off64_t)>("fallocate64")(fd, mode, offset, length);
}

int posix_fallocate(int fd, off_t offset, off_t length) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return ENOSPC; // reports its error as the result
    return real<int (*)(int, off_t, off_t)>("posix_fallocate")(fd, offset, length);
}

int fsync(int fd) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd) {
    if (!allowedOnDescriptor(Needs::Space, fd))
        return -1;
    return real<int (*)(int)>("fdatasync")(fd);
}

// Names come and go without new blocks.
int rename(const char* from, const char* to) {
    allowedOnPath(Needs::Nothing, AT_FDCWD, from, AT_FDCWD, to);
    return real<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat(int fromFd, const char* from, int toFd, const char* to) {
    allowedOnPath(Needs::Nothing, fromFd, from, toFd, to);
    return real<int (*)(int, const char*, int, const char*)>("renameat")(fromFd, from, toFd, to);
}

int renameat2(int fromFd, const char* from, int toFd, const char* to, unsigned flags) {
    allowedOnPath(Needs::Nothing, fromFd, from, toFd, to);
    return real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(
        fromFd, from, toFd, to, flags);
}

int unlink(const char* path) {
    allowedOnPath(Needs::Nothing, AT_FDCWD, path);
    return real<int (*)(const char*)>("unlink")(path);
}

int unlinkat(int directoryFd, const char* path, int flags) {
    allowedOnPath(Needs::Nothing, directoryFd, path);
    return real<int (*)(int, const char*, int)>("unlinkat")(directoryFd, path, flags);
}

int link(const char* from, const char* to) {
    allowedOnPath(Needs::Nothing, AT_FDCWD, from, AT_FDCWD, to);
    return real<int (*)(const char*, const char*)>("link")(from, to);
}

int linkat(int fromFd, const char* from, int toFd, const char* to, int flags) {
    // A file linked in from a descriptor (an unnamed temporary file) has only its new name.
    const char* fromName = from[0] != '\0' ? from : nullptr;
    allowedOnPath(Needs::Nothing, toFd, to, fromFd, fromName);
    return real<int (*)(int, const char*, int, const char*, int)>("linkat")(fromFd, from, toFd, to,
                                                                            flags);
}

// A new directory needs a block of its own.
int mkdir(const char* path, mode_t mode) {
    const Needs needs = exists(absolute(AT_FDCWD, path)) ? Needs::Nothing : Needs::Space;
    if (!allowedOnPath(needs, AT_FDCWD, path))
        return -1;
    return real<int (*)(const char*, mode_t)>("mkdir")(path, mode);
}

} // extern "C"
