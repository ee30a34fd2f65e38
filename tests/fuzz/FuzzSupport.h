// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lumo/Logger.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <system_error>

// What the fuzz targets share: a scratch directory for the process, a log that goes nowhere,
// and a check that turns a broken promise into a crash, so the fuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::Fuzz::fail(what);                                                                    \
    } while (false)

namespace Fuzz {

[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// Created on first use under $TMPDIR and removed when the process ends normally.
inline const std::string& scratchDirectory() {
    struct Scratch {
        std::string path;
        Scratch() {
            const char* base = std::getenv("TMPDIR");
            std::string pattern =
                std::string(base && *base ? base : "/tmp") + "/nephodar-fuzz-XXXXXX";
            if (mkdtemp(pattern.data()) == nullptr)
                fail("cannot create a scratch directory under " + pattern);
            path = pattern;
        }
        ~Scratch() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Scratch scratch;
    return scratch.path;
}

inline std::string scratchPath(const std::string& name) {
    return scratchDirectory() + "/" + name;
}

inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        fail("cannot write " + path);
}

// The diagnostic lines of a run are of no interest here, and writing them costs time.
inline void silenceLog() {
    struct Discard : std::streambuf {
        int overflow(int c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };
    static Discard discard;
    Talvessa::setLogStream(&discard);
}

// Reads the input from the front: a byte, or a text given by a length byte and its bytes.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return position_ >= size_; }
    std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }
    std::string text() { return bytes(byte()); }
    // Fewer when the input ends first.
    std::string bytes(std::size_t length) {
        if (length > size_ - position_)
            length = size_ - position_;
        std::string result(reinterpret_cast<const char*>(data_ + position_), length);
        position_ += length;
        return result;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

} // namespace Fuzz
