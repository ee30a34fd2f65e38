// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasureCommand.h"

#include "CliSetup.h"
#include "CommandLine.h"
#include "CommandRegistry.h"
#include "TerminalPrompts.h"
#include "publish/BrokerPublisher.h"
#include "publish/EnginePublishing.h"
#include "settings/IniFile.h"
#include "web/WebEngineFeed.h"
#include "web/WebEventHub.h"
#include "web/WebRequestRules.h"
#include "web/WebServer.h"
#include "workstation/DisplayFormats.h"
#include "workstation/MeasurementEngine.h"
#include "workstation/TimeLapseClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

namespace {

const char* const measureHelp =
    R"(Usage: nephodar-cli measure --device TYPE [OPTION]...
Runs a measurement: Start, the sampling cycle with its real timers until the given number of
samples was taken (or the 1000th OD reading ends it), then End. Each sample is printed as it
is stored: its number, its time (h:mm), OD and CalcOD, tab-separated; a sample the device
reported an error for prints its number, its time and "n. c.", and one whose row could not
be written (a full disk) ends in "not stored". The rows go into the working table Record1.db
of the program directory, which no other program may use meanwhile; Ctrl+C ends the
measurement as End does. With "AutoSave" on in the profile the set is auto-saved; an auto-save
that fails is said on standard error once per failing period. The exit status is 1 when the
measurement could not start, the save asked for with --save failed, an auto-save failed or
a note could not be attached.

  --device TYPE       connection type: Com1, Com2, ... (serial port), Sim1, Sim2, ...
                      (device simulator on a local socket) or Sim0 (built-in simulation)
  --samples N         samples to take (default 10)
  --interval SECONDS  time between samples in seconds, to a tenth of a second (0.5 for a
                      quick run; default: the profile's "Interval", 30)
  --title TEXT        measurement title stored in every row
  --formula A1,A2,A3,A4
                      use this OD formula for this run: CalcOD = A1 OD³ + A2 OD² + A3 OD + A4
                      (default: the profile's formula, as the workstation uses it)
  --no-formula        no OD formula for this run: CalcOD = OD
  --save FILE.nph     save the measurement set (FILE.nph, .log, .txt) at the end
  --note N:TEXT       attach the note TEXT to sample N once it is stored, as the window's
                      note command does; may be given more than once. A note whose sample
                      is not stored or never taken is said, and the exit status is 1
  --mqtt HOST[:PORT]  publish every sample to this MQTT broker (default port 1883), also
                      when the profile's section "MQTT" has "Enabled=0"; the rows wait in
                      the outbox beside Record1.db until the broker has them. Each change of
                      the connection is said in one line on standard error
  --topic PREFIX      the topics' prefix (default: the profile's "Topic", else
                      nephodar/<host name>/<profile>)
  --serve [ADDRESS:]PORT
                      serve the read-only status page of the run at http://ADDRESS:PORT/
                      (address 127.0.0.1 unless given); its URL is the first line on
                      standard error. The command does not start when the port cannot be had
  --token-file FILE   the token every request to the status page must carry (?token=T or
                      "Authorization: Bearer T"): the first line of FILE. Required to serve
                      on any address but loopback. Without it the token is taken from the
                      environment variable NEPHODAR_WEB_TOKEN
  --token T           the token itself; every user of this computer can read it in the
                      process list, so prefer --token-file or NEPHODAR_WEB_TOKEN
  --time-lapse K      for demonstrations with a simulated device (Sim0, Sim1, ...) only:
                      the run's clock goes K times as fast as the real one (1 to 10000), so
                      the stored times of a run of seconds span hours
)";

const char* const calibrateHelp =
    R"(Usage: nephodar-cli calibrate --device TYPE [OPTION]...
Calibrates the OD source (a dark and a reference series) and stores the new values in the
settings profile (section "CalibrECH"), from which every later connection starts.

  --device TYPE       connection type, as for measure
)";

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) {
    interrupted = 1;
}

QString sampleLine(const SampleReport& report) {
    QString line = QString::number(report.number) + QLatin1Char('\t') + report.timeS;
    if (report.deviceError)
        return line + QStringLiteral("\tn. c.");
    line += QLatin1Char('\t') + DisplayFormats::numberText(report.od) + QLatin1Char('\t') +
            DisplayFormats::numberText(report.calcOd);
    return report.stored ? line : line + QStringLiteral("\tnot stored");
}

void applyFormula(const std::string& text, ODFormula& formula) {
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
    if (parts.size() != 4)
        throw std::invalid_argument("--formula takes four coefficients: A1,A2,A3,A4");
    formula.enabled = true;
    formula.name = QStringLiteral("CalcOD");
    formula.a1 = parts[0].trimmed();
    formula.a2 = parts[1].trimmed();
    formula.a3 = parts[2].trimmed();
    formula.a4 = parts[3].trimmed();
}

// The status page's token from a file: its first line, without the line end.
std::string tokenFromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("Can't read the token file '" + path +
                                 "': " + std::strerror(errno));
    std::string token;
    std::getline(file, token);
    if (!token.empty() && token.back() == '\r')
        token.pop_back();
    if (token.empty())
        throw std::runtime_error("The token file '" + path + "' holds no token on its first line.");
    return token;
}

// The status page's token. A file or the environment keeps it off the command line, which
// every user of the computer can read in the process list.
std::string pageToken(const CommandLine& options) {
    if (options.has("--token") && options.has("--token-file"))
        throw std::invalid_argument("--token and --token-file exclude each other");
    if (options.has("--token"))
        return options.text("--token");
    if (options.has("--token-file"))
        return tokenFromFile(options.text("--token-file"));
    const char* given = std::getenv("NEPHODAR_WEB_TOKEN");
    return given ? given : "";
}

std::vector<std::string> withSetup(std::initializer_list<std::string> own) {
    std::vector<std::string> all = CliSetup::options;
    all.insert(all.end(), own);
    return all;
}

// --note N:TEXT, by sample number.
std::multimap<int, QString> parseNotes(const std::vector<std::string>& given) {
    std::multimap<int, QString> notes;
    for (const auto& entry : given) {
        const auto colon = entry.find(':');
        const std::string sample = entry.substr(0, colon);
        char* end = nullptr;
        const long number = std::strtol(sample.c_str(), &end, 10);
        if (colon == std::string::npos || sample.empty() || *end != '\0' || number < 0 ||
            number > 100000000 || colon + 1 == entry.size())
            throw std::invalid_argument("--note takes SAMPLE:TEXT, not '" + entry + "'");
        notes.emplace(static_cast<int>(number), QString::fromStdString(entry.substr(colon + 1)));
    }
    return notes;
}

bool isSimulatedDevice(const std::string& device) {
    return device.size() > 3 && device.compare(0, 3, "Sim") == 0 &&
           device.find_first_not_of("0123456789", 3) == std::string::npos;
}

// Connects, or says why not.
bool connectEngine(MeasurementEngine& engine, const std::string& device) {
    try {
        engine.connectSource(QString::fromStdString(device));
        return true;
    } catch (const std::exception& e) {
        std::cerr << "Can't connect to " << device << ":\n"
                  << withPortOption(e.what()) << std::endl;
        return false;
    }
}

// The profile's broker, with the command line's over it; nothing when publishing is off.
std::optional<BrokerSettings> brokerSettings(const CommandLine& options) {
    BrokerSettings settings = BrokerSettings::fromProfile(IniFile::getIniFile());
    if (options.has("--mqtt")) {
        settings.setAddress(QString::fromStdString(options.text("--mqtt")));
        settings.enabled = true;
    }
    if (options.has("--topic"))
        settings.topicPrefix = QString::fromStdString(options.text("--topic"));
    if (!settings.enabled)
        return std::nullopt;
    settings.check();
    return settings;
}

// One line on standard error when the connection's state changes, and each problem once.
void reportBrokerStatus(BrokerPublisher& publisher) {
    auto said = std::make_shared<std::optional<BrokerPublisher::Status>>();
    QObject::connect(&publisher, &BrokerPublisher::statusChanged, &publisher, [&publisher, said] {
        if (*said == publisher.status())
            return;
        *said = publisher.status();
        std::cerr << "MQTT " << publisher.brokerName().toStdString() << ": "
                  << publisher.statusText().toStdString() << std::endl;
    });
    QObject::connect(&publisher, &BrokerPublisher::problem, &publisher, [](const QString& message) {
        std::cerr << message.toStdString() << std::endl;
    });
}

} // namespace

int runMeasureCommand(int argc, char** argv) {
    const CommandLine options(argc, argv, 2,
                              withSetup({"--device", "--samples", "--interval", "--title",
                                         "--formula", "--save", "--time-lapse", "--note", "--mqtt",
                                         "--topic", "--serve", "--token", "--token-file"}),
                              {"--help", "--no-formula"});
    if (options.has("--help")) {
        std::cout << measureHelp << cliSetupHelp << "  --help              show this text\n";
        return 0;
    }
    if (!options.has("--device"))
        throw std::invalid_argument("--device is required");
    if (options.has("--formula") && options.has("--no-formula"))
        throw std::invalid_argument("--formula and --no-formula exclude each other");
    const std::string device = options.text("--device");
    const long samples = options.number("--samples", 10, 1, 100000000);
    const long timeLapse = options.number("--time-lapse", 1, 1, 10000);
    const auto notes = parseNotes(options.all("--note"));
    // Made-up times are for a simulated culture only, never for a real sample's record.
    if (options.has("--time-lapse") && !isSimulatedDevice(device))
        throw std::invalid_argument("--time-lapse is for simulated devices (Sim0, Sim1, ...) only");
    std::optional<WebServerOptions> serve;
    if (options.has("--serve")) {
        const auto address = WebRequestRules::parseServeAddress(options.text("--serve"));
        if (!address)
            throw std::invalid_argument("--serve takes [ADDRESS:]PORT, not '" +
                                        options.text("--serve") + "'");
        serve.emplace();
        serve->address = address->address;
        serve->port = address->port;
        serve->token = pageToken(options);
        if (const auto refusal = WebRequestRules::bindingRefusal(serve->address, serve->token))
            throw std::invalid_argument(*refusal);
    } else if (options.has("--token") || options.has("--token-file")) {
        throw std::invalid_argument(options.has("--token") ? "--token is for --serve"
                                                           : "--token-file is for --serve");
    }
    int argcCopy = 1;
    QCoreApplication application(argcCopy, argv);
    CliSetup setup(options, device, CliSetup::TableUse::Hold);

    QString saveFile = QString::fromStdString(options.text("--save"));
    if (!saveFile.isEmpty())
        saveFile = QDir::current().absoluteFilePath(saveFile);
    TerminalPrompts prompts(saveFile);
    TimeLapseClock clock(static_cast<double>(timeLapse));
    SilentTonePlayer tones;
    MeasurementEngine engine(setup.programDirectory(), clock, tones, prompts);
    if (options.has("--interval"))
        engine.setInterval(options.decimal("--interval", 30, 0, 86400));
    engine.setTitle(QString::fromStdString(options.text("--title")));
    // The profile's formula, as the workstation takes it; the options override it for this run.
    ODFormula formula = ODFormula::loadFromProfile();
    if (options.has("--formula"))
        applyFormula(options.text("--formula"), formula);
    if (options.has("--no-formula"))
        formula.enabled = false;
    engine.setFormula(formula);
    // The status page comes first: a command asked to serve does not run without it.
    WebEventHub hub;
    WebServer server(hub);
    if (serve) {
        if (const auto failure = server.start(*serve)) {
            std::cerr << *failure << std::endl;
            return 1;
        }
        std::cerr << "Status page: " << server.url() << std::endl;
    }
    if (!connectEngine(engine, device))
        return 1;
    std::unique_ptr<BrokerPublisher> publisher;
    std::unique_ptr<EnginePublishing> publishing;
    if (const auto broker = brokerSettings(options)) {
        publisher = std::make_unique<BrokerPublisher>(setup.programDirectory(), *broker);
        reportBrokerStatus(*publisher);
        publishing =
            std::make_unique<EnginePublishing>(engine, *publisher, QString::fromStdString(device));
    }
    // The hub follows the run only for a page that is served: it holds every row.
    std::unique_ptr<WebEngineFeed> feed;
    if (serve) {
        feed = std::make_unique<WebEngineFeed>(engine, hub);
        feed->setDevice(QString::fromStdString(device));
    }

    bool saveFailed = false;
    int notesMissed = 0;
    QObject::connect(&engine, &MeasurementEngine::sampleTaken, [&](const SampleReport& report) {
        std::cout << sampleLine(report).toStdString() << std::endl;
        const auto due = notes.equal_range(report.number);
        for (auto note = due.first; note != due.second; ++note) {
            if (!report.stored || !engine.attachNoteToSample(note->second, report.number)) {
                ++notesMissed;
                std::cerr << "The note for sample " << report.number
                          << " was not attached: the sample was not stored." << std::endl;
            }
        }
        if (engine.sampleNumber() >= samples)
            QTimer::singleShot(0, &engine, [&engine] { engine.end(); });
    });
    QObject::connect(&engine, &MeasurementEngine::measurementEnded, [&] {
        QTimer::singleShot(0, &application, [&] {
            if (!saveFile.isEmpty() && !engine.isSaved())
                saveFailed = true;
            if (!publisher || publisher->waitingCount() == 0 ||
                publisher->status() == BrokerPublisher::Status::Unreachable) {
                application.quit();
                return;
            }
            // A reachable broker gets a few seconds for the last rows; whatever is left waits
            // in the outbox for the next run.
            QObject::connect(publisher.get(), &BrokerPublisher::statusChanged, &application, [&] {
                if (publisher->waitingCount() == 0 ||
                    publisher->status() == BrokerPublisher::Status::Unreachable)
                    application.quit();
            });
            QTimer::singleShot(5000, &application, [&] { application.quit(); });
        });
    });
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (interrupted)
            engine.end();
    });
    watch.start(100);

    if (!engine.start())
        return 1;
    application.exec();
    // A note asked for a sample the run never reached is as missing as one that failed.
    for (auto note = notes.lower_bound(engine.sampleNumber()); note != notes.end(); ++note) {
        ++notesMissed;
        std::cerr << "The note for sample " << note->first
                  << " was not attached: the measurement ended after " << engine.sampleNumber()
                  << " samples." << std::endl;
    }
    if (saveFailed) {
        std::cerr << "The measurement could not be saved completely: "
                  << engine.saveReport().toStdString() << std::endl;
        return 1;
    }
    // Each failed period of auto-saving was said when it began; a script learns it here.
    return engine.autoSaveFailureCount() > 0 || notesMissed > 0 ? 1 : 0;
}

int runCalibrateCommand(int argc, char** argv) {
    const CommandLine options(argc, argv, 2, withSetup({"--device"}), {"--help"});
    if (options.has("--help")) {
        std::cout << calibrateHelp << cliSetupHelp << "  --help              show this text\n";
        return 0;
    }
    if (!options.has("--device"))
        throw std::invalid_argument("--device is required");
    const std::string device = options.text("--device");
    int argcCopy = 1;
    QCoreApplication application(argcCopy, argv);
    CliSetup setup(options, device, CliSetup::TableUse::Hold);
    TerminalPrompts prompts({});
    SystemClock clock;
    SilentTonePlayer tones;
    MeasurementEngine engine(setup.programDirectory(), clock, tones, prompts);
    if (!connectEngine(engine, device))
        return 1;

    struct Progress : __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
        void eventOccurred(__lumo::ProgressInfoType& info) override {
            std::cerr << "\rcalibrating " << info.current << " / " << info.total << std::flush;
        }
    } progress;
    const auto outcome = engine.calibrate(&progress);
    std::cerr << std::endl;
    std::cout << "Reference (OD 0): " << outcome.newReferenceText.toStdString() << "\n"
              << "Dark (OD maximum): " << outcome.newDarkText.toStdString() << "\n"
              << "Stored in the profile." << std::endl;
    return 0;
}

namespace {
const CliCommandRegistration measure("measure", "run a measurement and print every sample",
                                     runMeasureCommand);
const CliCommandRegistration
    calibrate("calibrate", "calibrate the OD source and store the values in the profile",
              runCalibrateCommand);
} // namespace
