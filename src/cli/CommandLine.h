#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// The options of one nephodar-cli command: --name VALUE pairs and bare --flags.
class CommandLine {
public:
    // Throws std::invalid_argument for an option that is not listed or lacks its value.
    CommandLine(int argc, char** argv, int first, const std::vector<std::string>& valueOptions,
                const std::vector<std::string>& flagOptions);

    bool has(const std::string& name) const { return values.count(name) > 0; }
    // The last value given for the option.
    std::string text(const std::string& name, const std::string& fallback = "") const;
    // Every value given for an option that may be repeated, in order.
    std::vector<std::string> all(const std::string& name) const;
    long number(const std::string& name, long fallback, long low, long high) const;
    // A decimal with a point, whatever the locale.
    double decimal(const std::string& name, double fallback, double low, double high) const;

private:
    std::map<std::string, std::string> values;
    std::multimap<std::string, std::string> repeated;
};
