// SPDX-License-Identifier: GPL-3.0-or-later
// A photometer, a cable or a simulator can send anything: identification, status checks,
// readings and calibration must end in a value or a runtime error, never in a crash, a hang
// or a calibration that silently went wrong.
#include "FuzzSupport.h"
#include "com/LoggedFailure.h"
#include "com/ODSourceFactory.h"
#include "com/Q7Variants.h"
#include "settings/IniFile.h"

#include <cmath>
#include <memory>
#include <sstream>

namespace {

using Talvessa::UCharContainer;

struct NoWait : __lumo::Sleeper {
    void sleepMilliseconds(unsigned long) override {}
};

// The device's side of the line, played from the input: one answer per command sent, each a
// header byte (bits 0-4: its length; bit 5: the line check fails once before the exchange
// and the reconnect mends it; bit 6: the line drops once the command is out; bit 7: the line
// is down for the whole exchange) and its bytes.
// A read takes bytes of the current answer; when the answer ends first, the read comes back
// short, with what came and an error, as the serial and socket connections do after their
// time-outs. A new command drops what is left of the last answer, as they do too.
class AnswerLine : public Talvessa::ConnectionInterface {
public:
    AnswerLine(Fuzz::InputReader& input, __lumo::Sleeper& sleeper)
        : ConnectionInterface("Answers", 0, sleeper), input_(input) {}

    void connect(bool) override {}
    void disconnect() override {}
    void checkConnection() override {
        if (lineDown_ || (dropsAfterCommand_ && commandSent_))
            throw std::runtime_error("line down");
        if (checkFailures_ > 0) {
            --checkFailures_;
            throw std::runtime_error("line check failed");
        }
    }
    void send(UCharContainer& command) override {
        const std::uint8_t header = input_.byte();
        answer_ = input_.bytes(header & 0x1F);
        position_ = 0;
        ++exchanges_;
        checkFailures_ = header & 0x20 ? 1 : 0;
        dropsAfterCommand_ = (header & 0x40) != 0;
        lineDown_ = (header & 0x80) != 0;
        commandSent_ = false;
        sendRefused = true;
        checkBeforeTransfer("Answers send\n");
        sendRefused = false;
        commandSent_ = true;
        if (command.getSize() == 3 && command.at(0) == 0x30)
            deviceBrightness = command.at(1) << 8 | command.at(2);
    }
    void receive(UCharContainer& container) override {
        checkBeforeTransfer("Answers receive\n");
        container.zeroFill();
        std::int32_t got = 0;
        while (got < container.getSize() && position_ < answer_.size())
            container.at(got++) = static_cast<unsigned char>(answer_[position_++]);
        if (exchanges_ == 1)
            firstAnswer += got;
        if (got < container.getSize()) {
            container.resize(got);
            Talvessa::logAndThrow("Answers receive\nshort answer");
        }
    }
    std::uint32_t bytesInBuffer(bool) override {
        checkBeforeTransfer("Answers bytesInBuffer\n");
        return static_cast<std::uint32_t>(answer_.size() - position_);
    }

    int deviceBrightness = -1;    // as the last brightness command that reached the device set it
    bool sendRefused = false;     // the last command did not reach the device
    std::int32_t firstAnswer = 0; // bytes of the first answer that reached the program

private:
    Fuzz::InputReader& input_;
    std::string answer_;
    std::size_t position_ = 0;
    int exchanges_ = 0;
    int checkFailures_ = 0;
    bool dropsAfterCommand_ = false;
    bool commandSent_ = false;
    bool lineDown_ = false;
};

std::string calibrationText(const Talvessa::Q7_Base& source) {
    std::ostringstream text;
    text << source.getDark() << " / " << source.getReference();
    return text.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static NoWait noWait;
    static const bool prepared = [] {
        Fuzz::silenceLog();
        unsetenv("ALLUSERSPROFILE");
        setenv("XDG_CONFIG_HOME", Fuzz::scratchPath("config").c_str(), 1);
        IniFile::openProfile("Default", "Nephodar", "Talvessa"); // brightness 0
        return true;
    }();
    (void)prepared;

    Fuzz::InputReader input(data, size);
    // Two bytes of plan: eight operations of two bits each; then the variant to build when
    // the identification fails.
    unsigned plan = input.byte();
    plan |= static_cast<unsigned>(input.byte()) << 8;
    const bool old = input.byte() & 1;
    AnswerLine line(input, noWait);

    std::unique_ptr<Talvessa::ODSourceInterface> identified;
    try {
        identified = Talvessa::identifyPhotometer(line, 6, noWait);
    } catch (const std::runtime_error&) {
    }
    std::unique_ptr<Talvessa::Q7_Base> source(dynamic_cast<Talvessa::Q7_Base*>(identified.get()));
    if (identified) {
        FUZZ_CHECK(source, "identification made no photometer variant");
        identified.release();
        const bool isOld = dynamic_cast<Talvessa::Q7_Old*>(source.get()) != nullptr;
        FUZZ_CHECK(line.firstAnswer == (isOld ? 2 : 7),
                   "identified as " + std::string(isOld ? "the old variant" : "the 82") +
                       " by an answer of " + std::to_string(line.firstAnswer) + " bytes");
    } else {
        try {
            if (old)
                source = std::make_unique<Talvessa::Q7_Old>(line, 6, noWait);
            else
                source = std::make_unique<Talvessa::Q7_82>(line, 6, noWait);
        } catch (const std::runtime_error&) {
            return 0;
        }
    }

    std::int32_t brightness = 0; // the profile's
    for (int step = 0; step < 8 && !input.empty(); ++step, plan >>= 2) {
        try {
            switch (plan & 3) {
            case 0: {
                const double od = source->value();
                FUZZ_CHECK(std::isfinite(od), "a reading gave OD " + std::to_string(od));
                break;
            }
            case 1:
                if (source->hasPendingStatus())
                    source->checkErrorState();
                break;
            case 2: {
                const std::string before = calibrationText(*source);
                try {
                    const auto result = source->calibrate();
                    FUZZ_CHECK(result.dark == source->getDark() &&
                                   result.reference == source->getReference(),
                               "the calibration reported other values than it keeps");
                    FUZZ_CHECK(result.dark >= 0 && result.dark <= 65535 && result.reference >= 0 &&
                                   result.reference <= 65535,
                               "a calibration value beyond the readings");
                } catch (const std::runtime_error&) {
                    FUZZ_CHECK(calibrationText(*source) == before,
                               "a failed calibration changed the calibration from " + before +
                                   " to " + calibrationText(*source));
                    throw;
                }
                break;
            }
            default:
                brightness = step * 1000 - 1;
                source->setLedBrightness(brightness);
                break;
            }
        } catch (const std::runtime_error&) {
            // The clean way to fail; what matters is what the source is left with.
        }
        if ((plan & 3) == 2 && !line.sendRefused)
            FUZZ_CHECK(line.deviceBrightness == (brightness & 0xFFFF),
                       "after a calibration the device shines at " +
                           std::to_string(line.deviceBrightness) + " instead of " +
                           std::to_string(brightness & 0xFFFF));
    }
    return 0;
}
