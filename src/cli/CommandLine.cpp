// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <algorithm>
#include <cstdlib>
#include <locale>
#include <sstream>

CommandLine::CommandLine(int argc, char** argv, int first,
                         const std::vector<std::string>& valueOptions,
                         const std::vector<std::string>& flagOptions, Operands operands) {
    const auto listed = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        const std::string option = argv[i];
        const bool isOperand =
            optionsEnded || option.size() < 2 || option[0] != '-' || option == "--";
        if (operands == Operands::Taken && isOperand) {
            if (option == "--" && !optionsEnded)
                optionsEnded = true;
            else
                givenOperands_.push_back(option);
        } else if (option == "-h" && listed(flagOptions, "--help")) {
            values_["--help"] = "";
        } else if (listed(flagOptions, option)) {
            values_[option] = "";
        } else if (listed(valueOptions, option)) {
            if (i + 1 >= argc)
                throw std::invalid_argument(option + " needs a value");
            values_[option] = argv[++i];
            repeated_.emplace(option, values_[option]);
        } else {
            throw std::invalid_argument("unknown option '" + option + "'");
        }
    }
}

std::string CommandLine::text(const std::string& name, const std::string& fallback) const {
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second;
}

std::vector<std::string> CommandLine::all(const std::string& name) const {
    std::vector<std::string> given;
    const auto range = repeated_.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        given.push_back(it->second);
    return given;
}

long CommandLine::number(const std::string& name, long fallback, long low, long high) const {
    const auto found = values_.find(name);
    if (found == values_.end())
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(found->second.c_str(), &end, 10);
    if (found->second.empty() || *end != '\0' || value < low || value > high)
        throw std::invalid_argument(name + " takes a whole number from " + std::to_string(low) +
                                    " to " + std::to_string(high) + ", not '" + found->second +
                                    "'");
    return value;
}

double CommandLine::decimal(const std::string& name, double fallback, double low,
                            double high) const {
    const auto found = values_.find(name);
    if (found == values_.end())
        return fallback;
    std::istringstream in(found->second);
    in.imbue(std::locale::classic());
    double value = 0;
    in >> value;
    if (found->second.empty() || in.fail() || !in.eof() || !(value >= low && value <= high)) {
        std::ostringstream range;
        range.imbue(std::locale::classic());
        range << low << " to " << high;
        throw std::invalid_argument(name + " takes a number from " + range.str() + ", not '" +
                                    found->second + "'");
    }
    return value;
}
