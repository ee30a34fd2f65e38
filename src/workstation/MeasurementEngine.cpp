// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasurementEngine.h"

#include "DisplayFormats.h"
#include "DisplayTexts.h"
#include "SampleValues.h"
#include "SamplingRules.h"
#include "com/ODSourceFactory.h"
#include "com/ODSourceSimulated.h"
#include "lumo/Logger.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <cmath>

namespace {

constexpr int maximumOdReads = 1000;

int profileInteger(const IniFile::SettingKey& key, int fallback) {
    return IniFile::getIniFile().readInteger(key.section, key.key, fallback);
}

QString profileText(const IniFile::SettingKey& key, const char* fallback) {
    return QString::fromStdString(IniFile::getIniFile().readString(key.section, key.key, fallback));
}

} // namespace

MeasurementEngine::MeasurementEngine(const QString& programDirectory, Clock& clock,
                                     TonePlayer& tones, UserPrompts& prompts, QObject* parent)
    : QObject(parent), programDirectory(programDirectory), clock(clock), tones(tones),
      prompts(prompts), tableHold(WorkingTableLock::acquire(programDirectory)),
      workingTable(RecordTable::openWorking(programDirectory)) {
    timer1.setInterval(100);
    timer3.setInterval(1);
    timer3.setTimerType(Qt::PreciseTimer);
    connect(&timer1, &QTimer::timeout, this, &MeasurementEngine::countdownTick);
    connect(&timer3, &QTimer::timeout, this, &MeasurementEngine::samplingTick);
    if (IniFile::hasIniFile()) {
        intervalTicks = IniFile::interval;
        setQuality(IniFile::quality);
    }
}

MeasurementEngine::~MeasurementEngine() = default;

void MeasurementEngine::setQuality(int ticks) {
    qualityTicks = std::max(1, ticks); // below 1 the sampling phase would never end
}

QString MeasurementEngine::protocolFilePath() const {
    return QDir(programDirectory).filePath(QStringLiteral("Temp.log"));
}

void MeasurementEngine::connectSource(const QString& type) {
    auto created = Talvessa::createODSource(type.toStdString(), 6);
    created->setLedBrightness(profileInteger(IniFile::keys::LedBright, 0));
    setSource(std::move(created));
}

void MeasurementEngine::setSource(std::unique_ptr<Talvessa::ODSourceInterface> source) {
    if (state == RunState::Running || state == RunState::Paused)
        end();
    odSource = std::move(source);
    setState(RunState::Ready);
}

void MeasurementEngine::setState(RunState next) {
    const bool changed = state != next;
    state = next;
    emit commandsChanged();
    if (changed)
        emit runStateChanged(next);
}

MeasurementEngine::Commands MeasurementEngine::commands() const {
    Commands c;
    c.measurementMenus = state != RunState::NotConnected;
    switch (state) {
    case RunState::NotConnected:
        break;
    case RunState::Ready:
    case RunState::Stopped:
        c.start = !calibrating;
        c.calibrate = !calibrating;
        break;
    case RunState::Running:
        c.pause = c.end = c.now = !samplingPhase;
        c.formulaEditable = false;
        c.saveAs = true;
        break;
    case RunState::Paused:
        c.startVisible = false;
        c.continueRun = c.continueVisible = true;
        c.end = true;
        c.formulaEditable = false;
        c.saveAs = true;
        break;
    }
    if (state == RunState::Stopped)
        c.saveAs = true;
    c.save = saveEnabled && c.saveAs;
    return c;
}

QString MeasurementEngine::statusText() const {
    switch (state) {
    case RunState::Running:
        return QStringLiteral("running");
    case RunState::Paused:
        return QStringLiteral("paused");
    case RunState::Stopped:
        return QStringLiteral("stopped");
    default:
        return QString();
    }
}

QString MeasurementEngine::calibrationStatus() const {
    if (calibrating)
        return QStringLiteral("Dark Calibration");
    switch (state) {
    case RunState::NotConnected:
        return QStringLiteral("Not connected");
    case RunState::Running:
    case RunState::Paused:
        return QStringLiteral("Function not available during measurements!");
    default:
        return QStringLiteral("System Ready");
    }
}

void MeasurementEngine::useDefaultInterval() {
    intervalTicks = profileInteger(IniFile::keys::Interval, 30);
}

void MeasurementEngine::chooseInterval(const QString& entry) {
    intervalTicks = SamplingRules::intervalForEntry(entry);
}

void MeasurementEngine::addStamped(const QString& message) {
    runProtocol.addStamped(message, clock.now());
    emit protocolChanged();
}

void MeasurementEngine::addPlain(const QString& message) {
    runProtocol.addPlain(message, elapsedMs);
    emit protocolChanged();
}

void MeasurementEngine::setTitle(const QString& text) {
    if (text == runTitle)
        return;
    runTitle = text;
    emit titleChanged(runTitle);
}

void MeasurementEngine::changeTitle(const QString& text) {
    if (text == runTitle)
        return;
    setTitle(text);
    addStamped(QStringLiteral("title changed to: ") + text);
}

void MeasurementEngine::titleFieldLeft(const QString& text) {
    setTitle(text);
    addStamped(QStringLiteral("title changed to: ") + text);
}

bool MeasurementEngine::setFormula(const ODFormula& next) {
    if (state == RunState::Running || state == RunState::Paused)
        return false;
    runFormula = next;
    emit formulaChanged();
    return true;
}

void MeasurementEngine::setAnalogOutputLive(bool on) {
    analog.live = on;
    emit outputSettingsChanged();
}

void MeasurementEngine::setFullScaleText(const QString& text) {
    fullScale = text;
    emit outputSettingsChanged();
}

void MeasurementEngine::setRecordedQuantities(bool od, bool calcOd) {
    recordingOd = od;
    recordingCalcOd = calcOd;
    emit outputSettingsChanged();
}

void MeasurementEngine::setChartState(const ChartState& next) {
    chart = next;
    emit chartStateChanged();
}

void MeasurementEngine::shutDown() {
    timer1.stop();
    timer3.stop();
    if (state == RunState::Running || state == RunState::Paused)
        setState(RunState::Stopped);
}

void MeasurementEngine::refreshElapsed() {
    elapsedMs = std::max<qint64>(0, started.msecsTo(clock.now()));
}

QString MeasurementEngine::runningTimeText() const {
    return DisplayTexts::runningTimeText(elapsedMs);
}

bool MeasurementEngine::start() {
    if (!odSource || (state != RunState::Ready && state != RunState::Stopped))
        return false;
    // What can refuse the start is checked before anything of the last measurement is touched.
    ODFormula prepared = runFormula;
    prepared.fillEmptyFields();
    Statement prepStatement;
    try {
        if (prepared.enabled)
            prepared.validate();
        prepStatement.loadTemplate(Statement::templatePath(programDirectory));
        odSource->setLedBrightness(profileInteger(IniFile::keys::LedBright, 0));
        workingTable->empty();
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromUtf8(e.what()) +
                            QStringLiteral("\nThe measurement was not started."));
        return false;
    }

    notes = 0;
    odReads = 0;
    Talvessa::ODSourceSimulated::restartValueList = true;
    lastOd = lastCalcOd = 0;
    fileNamed = false;
    odLeftStartWindow = calcOdLeftStartWindow = false;
    haveStartReading = false;
    firstOd = firstCalcOd = 0;
    ChartState unzoomed = chart;
    unzoomed.zoomed = unzoomed.traceMode = false;
    unzoomed.parameter = ChartParameter::OD;
    setChartState(unzoomed);
    samples = 0;
    deviceFault = readFailing = calibrationFailing = false;
    samplingPhase = false;
    countdownTicks = 0;
    samplingTicks = 1;
    runProtocol.clear();
    started = clock.now();
    elapsedMs = 0;
    addStamped(QStringLiteral("started measurement"));
    runFormula = prepared;
    runStatement = prepStatement;
    runStatement.appendLine(runFormula.statementLine());
    currentFileName.clear();
    saved = false;
    autoSaveSchedule.restart();
    autoSaveFailing = false;
    autoSaveFailures = 0;
    lastReportedFailure.clear();
    setState(RunState::Running);
    emit measurementStarted();
    timer1.stop();
    timer3.start();
    return true;
}

void MeasurementEngine::pause() {
    if (state != RunState::Running)
        return;
    timer1.stop();
    timer3.stop();
    samplingPhase = false;
    setState(RunState::Paused);
    addStamped(QStringLiteral("paused measurement"));
}

void MeasurementEngine::continueRun() {
    if (state != RunState::Paused)
        return;
    setState(RunState::Running);
    timer1.start();
    refreshElapsed();
    addStamped(QStringLiteral("continued measurement at ") +
               DisplayFormats::longTimeText(SampleValues::allTime(elapsedMs)));
}

void MeasurementEngine::end() {
    if (state != RunState::Running && state != RunState::Paused)
        return;
    timer1.stop();
    timer3.stop();
    samplingPhase = false;
    Talvessa::ODSourceSimulated::restartValueList = true;
    setState(RunState::Stopped);
    addPlain(QStringLiteral("Stoped Process at "));
    emit measurementEnded();
    if (!saved && prompts.askYesNo(QStringLiteral("Save Chart?"))) {
        if (fileNamed)
            save();
        else
            saveAs();
    }
}

void MeasurementEngine::measureNow() {
    if (state == RunState::Running && !samplingPhase)
        countdownTicks = 1000;
}

void MeasurementEngine::countdownTick() {
    if (runAlarm.check(lastOd, deviceFault, tones))
        emit alarmFired();
    const int left = intervalTicks - countdownTicks - 1;
    if (left > 0) {
        countdownLabel = QString::number(left);
    } else {
        countdownLabel = QStringLiteral("Now");
        if (!samplingPhase) {
            samplingPhase = true;
            emit commandsChanged();
        }
    }
    emit countdownChanged(countdownLabel);
    refreshElapsed();
    emit runningTimeChanged(runningTimeText());
    if (intervalTicks >= countdownTicks) {
        ++countdownTicks;
    } else {
        timer1.stop();
        timer3.start();
    }
}

void MeasurementEngine::samplingTick() {
    timer3.stop();
    if (samplingTicks == qualityTicks) {
        try {
            takeSample();
            lastReportedFailure.clear();
        } catch (const std::exception& e) {
            reportFailure(QString::fromUtf8(e.what()));
        }
        afterSample();
    } else {
        timer3.start();
    }
    emit gaugeChanged(samplingTicks, qualityTicks - 1);
    refreshElapsed();
    emit runningTimeChanged(runningTimeText());
    ++samplingTicks;
    if (odReads == maximumOdReads && state == RunState::Running)
        end();
}

// A failure inside the cycle is said once, not on every sample it repeats on; the log
// keeps every occurrence.
void MeasurementEngine::reportFailure(const QString& text) {
    Talvessa::getLogStream() << "sampling: " << text.toStdString() << std::endl;
    if (text == lastReportedFailure)
        return;
    lastReportedFailure = text;
    prompts.showMessage(text);
}

void MeasurementEngine::takeSample() {
    auto& log = Talvessa::getLogStream();
    const bool previousDeviceError = deviceFault;
    SampleReport report;

    // A status the device sent unasked is judged first; a photometer normally sends none.
    deviceFault = false;
    if (odSource->hasPendingStatus()) {
        try {
            odSource->checkErrorState();
        } catch (...) {
            log << "odSource->checkErrorState() throws exception" << std::endl;
            lastOd = 100.0;
            deviceFault = true;
        }
    }
    try {
        lastOd = odSource->value();
        ++odReads;
        log << "ODValue: " << lastOd << "\t"
            << "countOD " << odReads << std::endl;
        readFailing = calibrationFailing = false;
    } catch (const Talvessa::CalibrationUnusableError& e) {
        // Nothing wrong with the line: the user has to calibrate again, and is told so once.
        if (!calibrationFailing)
            prompts.showMessage(QString::fromUtf8(e.what()));
        log << "reading unusable: " << e.what() << std::endl;
        calibrationFailing = true;
        deviceFault = true;
        readFailing = false;
        report.calibrationUnusable = true;
    } catch (const Talvessa::DeviceStatusError&) {
        // The device answered and reported an error: this sample is a device error.
        log << "odSource->checkErrorState() throws exception" << std::endl;
        lastOd = 100.0;
        deviceFault = true;
        readFailing = false;
    } catch (const std::exception& e) {
        // The line failed: no value came, so no row may be stored with an old one.
        if (!readFailing)
            prompts.showMessage(QString::fromUtf8(e.what()));
        log << "reading failed: " << e.what() << std::endl;
        readFailing = true;
        deviceFault = true;
        report.portError = true;
    }

    lastCalcOd = runFormula.calcOd(lastOd);
    const double analogCalcOd = lastCalcOd < 0 ? 0.0 : lastCalcOd;
    report.analog = analog.compute(analogCalcOd, fullScale);
    if (std::fabs(lastOd) < 0.0001)
        lastOd = 0;
    if (!previousDeviceError && deviceFault)
        addPlain(QStringLiteral("OD Error at "));

    const double minutes = SampleValues::elapsedMinutes(elapsedMs);
    const QString timeS = SampleValues::timeSText(elapsedMs);
    lastOd = SampleValues::storedOd(lastOd);
    lastCalcOd = SampleValues::storedOd(lastCalcOd);

    QStringList failures;
    if (!deviceFault) {
        RecordRow row;
        row.allTime = SampleValues::allTime(elapsedMs);
        row.number = samples;
        row.minutes = minutes;
        row.od = recordingOd ? lastOd : 0.0;
        row.startTime = started.time();
        row.startDate = started.date();
        row.title = runTitle;
        row.timeS = timeS;
        row.calcOd = recordingCalcOd ? lastCalcOd : 0.0;
        try {
            workingTable->append(row);
            report.stored = true;
        } catch (const std::exception& e) {
            failures << QString::fromUtf8(e.what());
        }
    }
    try {
        runProtocol.saveRtf(protocolFilePath());
    } catch (const std::exception& e) {
        failures << QString::fromUtf8(e.what());
    }

    report.number = samples;
    ++samples;
    // The start window comes from the first real reading and only real readings can leave it:
    // a device error's stand-in value (100, or the last one) says nothing about the culture.
    if (!deviceFault && !haveStartReading) {
        haveStartReading = true;
        firstOd = lastOd;
        firstCalcOd = lastCalcOd;
    } else if (!deviceFault) {
        if (lastOd > firstOd + 0.1 || lastOd < firstOd - 0.02)
            odLeftStartWindow = true;
        if (lastCalcOd > firstCalcOd + 1.0 || lastCalcOd < firstCalcOd - 0.2)
            calcOdLeftStartWindow = true;
    }

    SampleWindowInput input;
    input.minutes = minutes;
    input.od = lastOd;
    input.calcOd = lastCalcOd;
    input.firstOd = firstOd;
    input.firstCalcOd = firstCalcOd;
    input.odLeftStartWindow = odLeftStartWindow;
    input.calcOdLeftStartWindow = calcOdLeftStartWindow;
    lastWindowInput = input;
    emit axisWindowChanged(sampleAxisWindow(chart, input));

    report.timeS = timeS;
    report.minutes = minutes;
    report.od = lastOd;
    report.calcOd = lastCalcOd;
    report.deviceError = deviceFault;
    report.odText = DisplayTexts::odDisplayText(lastOd);
    report.odRed = lastOd < DisplayTexts::redBelow;
    report.calcOdText = DisplayTexts::odDisplayText(lastCalcOd);
    report.calcOdRed = runFormula.enabled && lastCalcOd < DisplayTexts::redBelow;
    report.calcOdGrey = !runFormula.enabled;
    if (deviceFault) {
        report.odText = report.calcOdText = QStringLiteral("n. c.");
        report.odRed = report.calcOdRed = true;
        report.calcOdGrey = false;
        if (odSource->hasPendingStatus()) {
            try {
                odSource->checkErrorState();
            } catch (...) {
                report.portError = true;
            }
        }
        if (report.portError)
            report.odText = QStringLiteral("Port Err.");
        else if (report.calibrationUnusable)
            report.odText = QStringLiteral("Cal. Err.");
    }
    emit sampleTaken(report);
    if (!failures.isEmpty())
        throw std::runtime_error(failures.join(QLatin1Char('\n')).toStdString());
}

// The sample is over, whether it went well or not: back to the countdown.
void MeasurementEngine::afterSample() {
    countdownTicks = 0;
    timer3.stop();
    if (state == RunState::Running)
        timer1.start();
    samplingTicks = 0;
    saved = false;
    samplingPhase = false;
    emit commandsChanged();

    if (autoSaveSchedule.afterSample(samples) && profileInteger(IniFile::keys::AutoSave, 0) == 1)
        autoSave();
}

QString MeasurementEngine::defaultSaveAsName() const {
    return MeasurementFiles::defaultSaveAsName(runTitle, started);
}

QString MeasurementEngine::windowCaption() const {
    return QString::fromStdString(IniFile::programVersionText) + QStringLiteral("  ") +
           currentFileName;
}

QStringList MeasurementEngine::writeFiles(const FileSet& set, const QString& report) {
    QStringList failures;
    try {
        // The protocol file is brought up to date first, so the copy holds every entry so far.
        runProtocol.saveRtf(protocolFilePath());
    } catch (const std::exception& e) {
        failures << QString::fromUtf8(e.what());
    }
    failures << MeasurementFiles::writeSet(set, *workingTable, protocolFilePath(), runStatement);
    lastSaveReport = report;
    if (!failures.isEmpty()) {
        lastSaveReport += QStringLiteral(" - not written: ") + failures.join(QStringLiteral("; "));
        for (const QString& failure : failures)
            Talvessa::getLogStream() << "save: " << failure.toStdString() << std::endl;
    }
    emit saveReportChanged(lastSaveReport);
    return failures;
}

bool MeasurementEngine::saveAs() {
    const QString chosen =
        prompts.askSaveFileName(QStringLiteral("Save Brevimo Database Channel A"),
                                profileText(IniFile::keys::SaveAsDir, "C:Test"),
                                defaultSaveAsName(), QStringLiteral("*.nph"));
    if (chosen.isEmpty())
        return false;
    const QString nph = FileSet::fromChosenName(chosen).nph;
    // A name is taken on only once a set was written under it: after a failed Save As there is
    // nothing to Save again, and End asks for a name once more.
    if (!saveManually(nph))
        return false;
    fileNamed = true;
    currentFileName = nph;
    saveEnabled = true;
    emit commandsChanged();
    addPlain(QStringLiteral("Saved at "));
    return true;
}

// Save As and Save: the set under the chosen name, shown on the "Saving" tab; a member that
// could not be written is said at once, and the measurement does not count as saved.
bool MeasurementEngine::saveManually(const QString& name) {
    const FileSet set = FileSet::fromChosenName(name);
    if (!writeFiles(set, QStringLiteral("Database Saved manually")).isEmpty()) {
        prompts.showMessage(lastSaveReport);
        return false;
    }
    savedTxt = set.txt;
    savedNph = set.nph;
    savedLog = set.log;
    saved = true;
    return true;
}

bool MeasurementEngine::save() {
    // Without a name chosen in this measurement there is nothing to save under.
    if (!fileNamed || currentFileName.isEmpty())
        return saveAs();
    if (!saveManually(currentFileName))
        return false;
    addPlain(QStringLiteral("Saved Channel A at "));
    return true;
}

// An auto-save that fails is said once when the failure begins, in a message and in the
// protocol, and its end too: the run goes on either way, and an unwatched overnight run
// must not pile up a box per sample.
void MeasurementEngine::autoSave() {
    const QString name = MeasurementFiles::autoSaveBaseName(started);
    QString directory = QDir(programDirectory).filePath(QStringLiteral("AutoSave"));
    if (profileInteger(IniFile::keys::OwnAutoDir, 0) == 1)
        directory = profileText(IniFile::keys::Dir, "Nothing");
    const FileSet set = FileSet::fromChosenName(QDir(directory).filePath(name));
    const QStringList failures =
        writeFiles(set, QStringLiteral("Autosave    ") + name + QStringLiteral(".*     at   ") +
                            DisplayFormats::longTimeText(SampleValues::allTime(elapsedMs)));
    const bool written = failures.isEmpty();
    if (written && autoSaveFailing) {
        autoSaveFailing = false;
        addPlain(QStringLiteral("Autosave written again at "));
    } else if (!written) {
        ++autoSaveFailures;
        if (!autoSaveFailing) {
            autoSaveFailing = true;
            addPlain(QStringLiteral("Autosave failed at "));
            prompts.showMessage(QStringLiteral("Autosave failed: ") +
                                failures.join(QStringLiteral("; ")));
        }
    }
}

Calibration::Outcome
MeasurementEngine::calibrate(__lumo::EventListenerInterface<__lumo::ProgressInfoType>* progress) {
    if (!odSource || !commands().calibrate)
        throw std::runtime_error("Calibration is not available now.");
    calibrating = true;
    emit commandsChanged();
    struct Restore {
        MeasurementEngine& engine;
        ~Restore() {
            engine.calibrating = false;
            emit engine.commandsChanged();
        }
    } restore{*this};
    return Calibration::run(*odSource, progress);
}

std::optional<double> MeasurementEngine::attachNote(const QString& text, double minutesPosition) {
    if (workingTable->rowCount() == 0) {
        prompts.showMessage(QStringLiteral("There is no sample yet to attach the note to."));
        return std::nullopt;
    }
    addStamped(QStringLiteral("note added: ") + text);
    ++notes;
    const auto row = workingTable->attachNote(notes, text, minutesPosition);
    emit notesChanged();
    if (row)
        emit noteAttached(notes, text, *row);
    return row;
}

void MeasurementEngine::setAlarmSwitch(bool on) {
    runAlarm.setSwitch(on, runProtocol, elapsedMs);
    emit protocolChanged();
    emit alarmChanged();
}

void MeasurementEngine::acknowledgeAlarm() {
    runAlarm.acknowledge(runProtocol, elapsedMs);
    emit protocolChanged();
    emit alarmChanged();
}

void MeasurementEngine::setAlarmDirection(ODAlarm::Direction direction) {
    runAlarm.direction = direction;
    emit alarmChanged();
}

void MeasurementEngine::setAlarmThresholdText(const QString& text) {
    runAlarm.thresholdText = text;
    emit alarmChanged();
}

void MeasurementEngine::stepAlarmThreshold(bool up) {
    if (up)
        runAlarm.stepUp();
    else
        runAlarm.stepDown();
    emit alarmChanged();
}

void MeasurementEngine::releaseAlarmArrows() {
    runAlarm.releaseArrows();
}
