// nephodar-cli: the workstation's engine from a terminal.
#include "MeasureCommand.h"
#include "ReadCommand.h"

#include <cstring>
#include <iostream>
#include <stdexcept>

namespace {

const char* const usage = R"(Usage: nephodar-cli COMMAND [OPTION]...
Commands:
  measure     run a measurement and print every sample
  calibrate   calibrate the OD source and store the values in the profile
  read        connect to an OD source and print readings
Run 'nephodar-cli COMMAND --help' for the options of a command.
)";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::cout << usage;
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    try {
        if (command == "measure")
            return runMeasureCommand(argc, argv);
        if (command == "calibrate")
            return runCalibrateCommand(argc, argv);
        if (command == "read")
            return runReadCommand(argc, argv);
        std::cerr << "nephodar-cli: unknown command '" << command << "'\n" << usage;
        return 2;
    } catch (const std::invalid_argument& e) {
        std::cerr << "nephodar-cli " << command << ": " << e.what() << "\nTry 'nephodar-cli "
                  << command << " --help'." << std::endl;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
}
