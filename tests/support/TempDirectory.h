// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// A fresh directory under /tmp, removed with everything in it at the end of the test.
class TempDirectory {
public:
    TempDirectory() : TempDirectory("/tmp") {}
    // Under another directory: /dev/shm for many files whose flushes to disk only cost time.
    explicit TempDirectory(const std::string& base) {
        std::string name = base + "/nephodar-test-XXXXXX";
        if (mkdtemp(name.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed under " + base);
        root_ = name;
    }

    // /dev/shm where the machine has it, else /tmp.
    static std::string inMemoryBase() {
        std::error_code ignored;
        return std::filesystem::is_directory("/dev/shm", ignored) ? "/dev/shm" : "/tmp";
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    std::string path(const std::string& relative = "") const {
        return relative.empty() ? root_ : root_ + "/" + relative;
    }

    static void writeFile(const std::string& path, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string readFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    std::string root_;
};
