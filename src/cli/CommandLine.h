// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// The options of one nephodar-cli command: --name VALUE pairs and bare --flags, and for a
// command that takes several files, those files.
class CommandLine {
public:
    // Whether arguments that are no option are taken as operands (files) or refused.
    enum class Operands { Refused, Taken };

    // Throws std::invalid_argument for an option that is not listed or lacks its value, and
    // for an operand where none are taken. Where they are, "--" ends the options, so that a
    // file whose name begins with "-" can still be given.
    CommandLine(int argc, char** argv, int first, const std::vector<std::string>& valueOptions,
                const std::vector<std::string>& flagOptions, Operands operands = Operands::Refused);

    bool has(const std::string& name) const { return values_.count(name) > 0; }
    // The last value given for the option.
    std::string text(const std::string& name, const std::string& fallback = "") const;
    // Every value given for an option that may be repeated, in order.
    std::vector<std::string> all(const std::string& name) const;
    long number(const std::string& name, long fallback, long low, long high) const;
    // A decimal with a point, whatever the locale.
    double decimal(const std::string& name, double fallback, double low, double high) const;
    // The operands in the order given.
    const std::vector<std::string>& operands() const { return givenOperands_; }

private:
    std::map<std::string, std::string> values_;
    std::multimap<std::string, std::string> repeated_;
    std::vector<std::string> givenOperands_;
};
