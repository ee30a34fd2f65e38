// SPDX-License-Identifier: GPL-3.0-or-later
#include "Options.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <stdexcept>

namespace q7sim {

const char* const usageText =
    R"(Usage: q7sim [OPTION]...
Imitates a Q7 photometer on a pseudo-terminal, so that the workstation can be used and tested
without hardware. The first line written to standard output is the terminal's path; give it
to the workstation as the device of a serial port (profile section "Ports", e.g. Com3=PATH).
With --socket it serves a local socket instead, reached through the connection type of the
same name (Sim1, Sim2, ...). The simulator answers at once; only the protocol's own pauses
cost time.

Device:
  --variant 82|old      protocol variant: 82 answers the identification with 7 bytes and
                        every command with 6 status bytes; old with 2 and 1 (default 82)
  --value N             answer every reading with the raw value N (0..65535)
  --dark N              raw value of a dark reading for the growth curve (default 1)
  --reference N         raw value at OD 0 for the growth curve (default 4095)
  --od-max X            OD the growth curve rises to (default 2.0)
  --points N            readings from the start to the end of the curve (default 1000)
  --noise SD            add Gaussian noise of standard deviation SD (in OD) to the growth
                        curve, the same sequence on every run (default 0)
  --identify HEX        answer the identification with these bytes (e.g. 010203), or
                        with nothing at all (none), instead of the variant's own answer
  --calibration D,R     when a brightness-0 command switches the lit LED off, as a
                        calibration does, answer the next 8 readings with D (dark series)
                        and the 8 after them with R (reference series). The LED is lit by a
                        brightness above 0, so set "LedBright" (section "CommandCheck") of
                        the profile above 0: at 0, a calibration looks on the line just like
                        connecting or Start, which send the measuring brightness, and no
                        series is served
Faults, on the Nth reading (counted from 1; repeat the option for more):
  --fault N:status=C    status answer with error code C (1..255), no value bytes; for the
                        82 variant the codes 4 and 5 are no errors, so its value follows
  --fault N:silence     no answer at all
  --fault N:short       status, then only one of the two value bytes
  --fault N:slow=MS     the whole answer MS milliseconds late
  --fault N:garbage     line noise instead of the answer: 64 bytes from 80 to FF (hex),
                        none of them a status that means "no error"
  --fault N:oversized   the right answer, then 64 bytes of line noise after it
  --fault N:hangup      the line goes away: the terminal is closed, and a new one is
                        offered after the hang-up time (its path printed on a new line)
  --hangup-ms MS        how long the line stays away after a hang-up (default 1000)
Line:
  --socket TYPE         serve the local socket TYPE in $NEPHODAR_PIPE_DIR, else in
                        $XDG_RUNTIME_DIR/nephodar, else in /tmp/nephodar-UID (made with
                        mode 0700, where the workstation and nephodar-cli look for it too),
                        one client at a time, offered again when the client hangs up; its
                        path is the first line written
  --link PATH           keep a symbolic link PATH to the current terminal, so that the
                        path stays the same across a hang-up
  --verbose             describe every command and answer on standard error
  -h, --help            show this text
  --version             show the version
Stop it with Ctrl+C or SIGTERM.
)";

namespace {

int toInt(const std::string& text, const std::string& what, int low, int high) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high)
        throw std::invalid_argument(what + " must be a whole number from " + std::to_string(low) +
                                    " to " + std::to_string(high) + ", not '" + text + "'");
    return static_cast<int>(value);
}

double toDouble(const std::string& text, const std::string& what) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0')
        throw std::invalid_argument(what + " must be a number, not '" + text + "'");
    return value;
}

// "none" or pairs of hex digits: 010203.
std::vector<unsigned char> hexBytes(const std::string& text) {
    std::vector<unsigned char> bytes;
    if (text == "none")
        return bytes;
    if (text.empty() || text.size() % 2 != 0 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw std::invalid_argument("--identify takes hex bytes such as 010203, or none");
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

void addFault(const std::string& text, DeviceSettings& device) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        throw std::invalid_argument("--fault takes N:KIND, not '" + text + "'");
    const int reading = toInt(text.substr(0, colon), "the reading of --fault", 1, 1000000000);
    const std::string kind = text.substr(colon + 1);
    Fault fault;
    if (kind.rfind("status=", 0) == 0) {
        fault.kind = Fault::Kind::Status;
        fault.argument = toInt(kind.substr(7), "the status code", 1, 255);
    } else if (kind.rfind("slow=", 0) == 0) {
        fault.kind = Fault::Kind::Slow;
        fault.argument = toInt(kind.substr(5), "the delay", 0, 600000);
    } else if (kind == "silence") {
        fault.kind = Fault::Kind::Silence;
    } else if (kind == "short") {
        fault.kind = Fault::Kind::Short;
    } else if (kind == "hangup") {
        fault.kind = Fault::Kind::Hangup;
    } else if (kind == "garbage") {
        fault.kind = Fault::Kind::Garbage;
    } else if (kind == "oversized") {
        fault.kind = Fault::Kind::Oversized;
    } else {
        throw std::invalid_argument("unknown fault '" + kind + "'");
    }
    device.faults[reading] = fault;
}

} // namespace

bool parseOptions(int argc, char** argv, Options& options) {
    auto& device = options.device;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h")
            return false;
        if (option == "--version") {
            options.showVersion = true;
            return false;
        }
        if (option == "--verbose") {
            options.verbose = true;
            continue;
        }
        static const char* const valueOptions[] = {
            "--variant",   "--value",  "--dark",        "--reference", "--od-max",
            "--points",    "--noise",  "--calibration", "--identify",  "--fault",
            "--hangup-ms", "--socket", "--link"};
        if (std::find(std::begin(valueOptions), std::end(valueOptions), option) ==
            std::end(valueOptions))
            throw std::invalid_argument(option.rfind("--", 0) == 0
                                            ? "unknown option '" + option + "'"
                                            : "unknown argument '" + option + "'");
        if (i + 1 >= argc)
            throw std::invalid_argument(option + " needs a value");
        const std::string value = argv[++i];
        if (option == "--variant") {
            if (value == "82")
                device.variant = Variant::Q82;
            else if (value == "old")
                device.variant = Variant::Old;
            else
                throw std::invalid_argument("--variant is 82 or old, not '" + value + "'");
        } else if (option == "--value") {
            device.fixedValue = toInt(value, "--value", 0, 65535);
        } else if (option == "--dark") {
            device.dark = toInt(value, "--dark", 0, 65535);
        } else if (option == "--reference") {
            device.reference = toInt(value, "--reference", 0, 65535);
        } else if (option == "--od-max") {
            device.odMax = toDouble(value, "--od-max");
        } else if (option == "--points") {
            device.curvePoints = toInt(value, "--points", 1, 100000000);
        } else if (option == "--noise") {
            device.odNoise = toDouble(value, "--noise");
            if (!(device.odNoise >= 0 && device.odNoise <= 1))
                throw std::invalid_argument("--noise must be from 0 to 1, not '" + value + "'");
        } else if (option == "--calibration") {
            const auto comma = value.find(',');
            if (comma == std::string::npos)
                throw std::invalid_argument("--calibration takes DARK,REFERENCE");
            device.calibrationLevels =
                std::make_pair(toInt(value.substr(0, comma), "the dark level", 0, 65535),
                               toInt(value.substr(comma + 1), "the reference level", 0, 65535));
        } else if (option == "--identify") {
            device.identification = hexBytes(value);
        } else if (option == "--fault") {
            addFault(value, device);
        } else if (option == "--hangup-ms") {
            options.hangupMilliseconds = toInt(value, "--hangup-ms", 0, 600000);
        } else if (option == "--socket") {
            if (value.empty() || value.find('/') != std::string::npos)
                throw std::invalid_argument("--socket takes a connection type such as Sim1");
            options.socketName = value;
        } else if (option == "--link") {
            options.linkPath = value;
        }
    }
    return true;
}

} // namespace q7sim
