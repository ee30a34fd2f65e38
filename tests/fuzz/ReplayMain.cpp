// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target over the inputs kept in its corpus, so that every input it was once fed
// on purpose (the seeds, and each input that found a fault) runs in the ordinary test suite.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument = argv[i];
        if (fs::is_directory(argument)) {
            for (const auto& entry : fs::directory_iterator(argument))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(argument)) {
            inputs.push_back(argument);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY|INPUT... (found no input)\n", argv[0]);
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        // A buffer of exactly the input's size, so a read past its end is seen by the sanitizers.
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                      std::istreambuf_iterator<char>());
        auto* copy = new std::uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)];
        std::copy(bytes.begin(), bytes.end(), copy);
        std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(copy, bytes.size());
        delete[] copy;
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
