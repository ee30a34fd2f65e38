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
#include <algorithm>
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
    : QObject(parent), programDirectory_(programDirectory), clock_(clock), tones_(tones),
      prompts_(prompts), tableHold_(WorkingTableLock::acquire(programDirectory)),
      workingTable_(RecordTable::openWorking(programDirectory)) {
    timer1_.setInterval(1000 / countdownTicksPerSecond);
    // The interval is counted in these ticks: they must not run slow.
    timer1_.setTimerType(Qt::PreciseTimer);
    timer3_.setInterval(1);
    timer3_.setTimerType(Qt::PreciseTimer);
    connect(&timer1_, &QTimer::timeout, this, &MeasurementEngine::countdownTick);
    connect(&timer3_, &QTimer::timeout, this, &MeasurementEngine::samplingTick);
    if (IniFile::hasIniFile()) {
        setInterval(IniFile::interval);
        setQuality(IniFile::quality);
    }
}

MeasurementEngine::~MeasurementEngine() = default;

void MeasurementEngine::setInterval(double seconds) {
    // A day at most: beyond it a lab sets no interval, and the tick count stays far from
    // overflowing.
    const double bounded = std::clamp(seconds, 0.0, 86400.0);
    intervalTicks_ = static_cast<int>(std::lround(bounded * countdownTicksPerSecond));
}

void MeasurementEngine::setQuality(int ticks) {
    qualityTicks_ = std::max(1, ticks); // below 1 the sampling phase would never end
}

QString MeasurementEngine::protocolFilePath() const {
    return QDir(programDirectory_).filePath(QStringLiteral("Temp.log"));
}

void MeasurementEngine::connectSource(const QString& type) {
    auto created = Talvessa::createODSource(type.toStdString(), 6);
    created->setLedBrightness(profileInteger(IniFile::keys::LedBright, 0));
    setSource(std::move(created));
    sourceType_ = type;
}

void MeasurementEngine::setSource(std::unique_ptr<Talvessa::ODSourceInterface> source) {
    if (state == RunState::Running || state == RunState::Paused)
        end();
    odSource_ = std::move(source);
    sourceType_.clear();
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
        c.start = !calibrating_;
        c.calibrate = !calibrating_;
        break;
    case RunState::Running:
        c.pause = c.end = c.now = !samplingPhase_;
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
    c.save = saveEnabled_ && c.saveAs;
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
    if (calibrating_)
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
    setInterval(profileInteger(IniFile::keys::Interval, 30));
}

void MeasurementEngine::chooseInterval(const QString& entry) {
    setInterval(SamplingRules::intervalForEntry(entry));
}

void MeasurementEngine::addStamped(const QString& message) {
    runProtocol_.addStamped(message, runNow());
    emit protocolChanged();
}

void MeasurementEngine::addPlain(const QString& message) {
    runProtocol_.addPlain(message, elapsedMs_);
    emit protocolChanged();
}

void MeasurementEngine::setTitle(const QString& text) {
    if (text == runTitle_)
        return;
    runTitle_ = text;
    emit titleChanged(runTitle_);
}

void MeasurementEngine::changeTitle(const QString& text) {
    if (text == runTitle_)
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
    runFormula_ = next;
    emit formulaChanged();
    return true;
}

void MeasurementEngine::setAnalogOutputLive(bool on) {
    analog_.live = on;
    emit outputSettingsChanged();
}

void MeasurementEngine::setFullScaleText(const QString& text) {
    fullScale_ = text;
    emit outputSettingsChanged();
}

void MeasurementEngine::setRecordedQuantities(bool od, bool calcOd) {
    recordingOd_ = od;
    recordingCalcOd_ = calcOd;
    emit outputSettingsChanged();
}

void MeasurementEngine::setChartState(const ChartState& next) {
    chart_ = next;
    emit chartStateChanged();
}

void MeasurementEngine::shutDown() {
    timer1_.stop();
    timer3_.stop();
    if (state == RunState::Running || state == RunState::Paused)
        setState(RunState::Stopped);
}

void MeasurementEngine::refreshElapsed() {
    elapsedMs_ = std::max<qint64>(0, started_.msecsTo(runNow()));
}

QDateTime MeasurementEngine::runNow() const {
    QDateTime real = clock_.now();
    if (demonstrationRate_ == 1 || !started_.isValid())
        return real;
    return started_.addMSecs(
        static_cast<qint64>(static_cast<double>(started_.msecsTo(real)) * demonstrationRate_));
}

int MeasurementEngine::countdownIntervalTicks() const {
    if (demonstrationRate_ == 1 || intervalTicks_ == 0)
        return intervalTicks_;
    return std::max(1, static_cast<int>(std::lround(intervalTicks_ / demonstrationRate_)));
}

QString MeasurementEngine::runningTimeText() const {
    return DisplayTexts::runningTimeText(elapsedMs_);
}

bool MeasurementEngine::start() {
    if (!odSource_ || (state != RunState::Ready && state != RunState::Stopped))
        return false;
    // What can refuse the start is checked before anything of the last measurement is touched.
    ODFormula prepared = runFormula_;
    prepared.fillEmptyFields();
    Statement prepStatement;
    try {
        if (prepared.enabled)
            prepared.validate();
        prepStatement.loadTemplate(Statement::templatePath(programDirectory_));
        odSource_->setLedBrightness(profileInteger(IniFile::keys::LedBright, 0));
        workingTable_->empty();
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromUtf8(e.what()) +
                             QStringLiteral("\nThe measurement was not started."));
        return false;
    }

    notes_ = 0;
    odReads_ = 0;
    Talvessa::ODSourceSimulated::restartValueList = true;
    lastOd_ = lastCalcOd_ = 0;
    fileNamed = false;
    odLeftStartWindow = calcOdLeftStartWindow = false;
    haveStartReading_ = false;
    firstOd = firstCalcOd = 0;
    ChartState unzoomed = chart_;
    unzoomed.zoomed = unzoomed.traceMode = false;
    unzoomed.parameter = ChartParameter::OD;
    setChartState(unzoomed);
    samples_ = 0;
    deviceFault_ = readFailing_ = calibrationFailing_ = false;
    samplingPhase_ = false;
    countdownTicks = 0;
    samplingTicks = 1;
    runProtocol_.clear();
    // Made-up times only for the built-in simulation: a photometer's rows keep real ones.
    demonstrationRate_ = 1;
    if (sim0Demonstration_ && dynamic_cast<const Talvessa::ODSourceSimulated*>(odSource_.get()))
        demonstrationRate_ = std::clamp(profileInteger(IniFile::keys::Sim0Clock, defaultSim0Rate),
                                        1, maximumSim0Rate);
    started_ = clock_.now();
    elapsedMs_ = 0;
    addStamped(QStringLiteral("started measurement"));
    if (demonstrationRate_ != 1)
        addStamped(QStringLiteral("demonstration with the simulated source Sim0: its clock runs "
                                  "%1 times as fast as the real one")
                       .arg(demonstrationRate_));
    runFormula_ = prepared;
    runStatement_ = prepStatement;
    runStatement_.appendLine(runFormula_.statementLine());
    currentFileName.clear();
    saved = false;
    autoSaveSchedule_.restart();
    autoSaveFailing_ = false;
    autoSaveFailures_ = 0;
    lastReportedFailure_.clear();
    setState(RunState::Running);
    emit measurementStarted();
    timer1_.stop();
    timer3_.start();
    return true;
}

void MeasurementEngine::pause() {
    if (state != RunState::Running)
        return;
    timer1_.stop();
    timer3_.stop();
    samplingPhase_ = false;
    setState(RunState::Paused);
    addStamped(QStringLiteral("paused measurement"));
}

void MeasurementEngine::continueRun() {
    if (state != RunState::Paused)
        return;
    setState(RunState::Running);
    timer1_.start();
    refreshElapsed();
    addStamped(QStringLiteral("continued measurement at ") +
               DisplayFormats::longTimeText(SampleValues::allTime(elapsedMs_)));
}

void MeasurementEngine::end() {
    if (state != RunState::Running && state != RunState::Paused)
        return;
    timer1_.stop();
    timer3_.stop();
    samplingPhase_ = false;
    Talvessa::ODSourceSimulated::restartValueList = true;
    setState(RunState::Stopped);
    addPlain(QStringLiteral("Stoped Process at "));
    emit measurementEnded();
    if (!saved && prompts_.askYesNo(QStringLiteral("Save Chart?"))) {
        if (fileNamed)
            save();
        else
            saveAs();
    }
}

// The next countdown tick takes the sample, however long the interval.
void MeasurementEngine::measureNow() {
    if (state == RunState::Running && !samplingPhase_)
        countdownTicks = std::max(countdownTicks, countdownIntervalTicks());
}

void MeasurementEngine::countdownTick() {
    if (runAlarm_.check(lastOd_, deviceFault_, tones_))
        emit alarmFired();
    // Ticks still to come after this one; the label shows them as whole seconds, rounded up,
    // and the sample is due once the interval's ticks have passed.
    const int left = countdownIntervalTicks() - countdownTicks - 1;
    if (left > 0) {
        countdownLabel_ =
            QString::number((left + countdownTicksPerSecond - 1) / countdownTicksPerSecond);
    } else {
        countdownLabel_ = QStringLiteral("Now");
        if (!samplingPhase_) {
            samplingPhase_ = true;
            emit commandsChanged();
        }
    }
    emit countdownChanged(countdownLabel_);
    refreshElapsed();
    emit runningTimeChanged(runningTimeText());
    if (left > 0) {
        ++countdownTicks;
    } else {
        timer1_.stop();
        timer3_.start();
    }
}

void MeasurementEngine::samplingTick() {
    timer3_.stop();
    if (samplingTicks == qualityTicks_) {
        try {
            takeSample();
            lastReportedFailure_.clear();
        } catch (const std::exception& e) {
            reportFailure(QString::fromUtf8(e.what()));
        }
        afterSample();
    } else {
        timer3_.start();
    }
    emit gaugeChanged(samplingTicks, qualityTicks_ - 1);
    refreshElapsed();
    emit runningTimeChanged(runningTimeText());
    ++samplingTicks;
    if (odReads_ == maximumOdReads && state == RunState::Running)
        end();
}

// A failure inside the cycle is said once, not on every sample it repeats on; the log
// keeps every occurrence.
void MeasurementEngine::reportFailure(const QString& text) {
    Talvessa::getLogStream() << "sampling: " << text.toStdString() << std::endl;
    if (text == lastReportedFailure_)
        return;
    lastReportedFailure_ = text;
    prompts_.showMessage(text);
}

void MeasurementEngine::takeSample() {
    auto& log = Talvessa::getLogStream();
    const bool previousDeviceError = deviceFault_;
    SampleReport report;

    // A status the device sent unasked is judged first; a photometer normally sends none.
    deviceFault_ = false;
    if (odSource_->hasPendingStatus()) {
        try {
            odSource_->checkErrorState();
        } catch (...) {
            log << "odSource->checkErrorState() throws exception" << std::endl;
            lastOd_ = 100.0;
            deviceFault_ = true;
        }
    }
    try {
        lastOd_ = odSource_->value();
        ++odReads_;
        log << "ODValue: " << lastOd_ << "\t"
            << "countOD " << odReads_ << std::endl;
        if (readFailing_)
            prompts_.showDeviceBack(photometerText() +
                                    QStringLiteral(" answers again (since %1); its samples are "
                                                   "stored again.")
                                        .arg(DisplayFormats::longTimeText(clock_.now().time())));
        readFailing_ = calibrationFailing_ = false;
    } catch (const Talvessa::CalibrationUnusableError& e) {
        // Nothing wrong with the line: the user has to calibrate again, and is told so once.
        if (!calibrationFailing_)
            prompts_.showMessage(QString::fromUtf8(e.what()));
        log << "reading unusable: " << e.what() << std::endl;
        calibrationFailing_ = true;
        deviceFault_ = true;
        readFailing_ = false;
        report.calibrationUnusable = true;
    } catch (const Talvessa::DeviceStatusError&) {
        // The device answered and reported an error: this sample is a device error.
        log << "odSource->checkErrorState() throws exception" << std::endl;
        lastOd_ = 100.0;
        deviceFault_ = true;
        readFailing_ = false;
    } catch (const std::exception& e) {
        // The line failed: no value came, so no row may be stored with an old one. The user
        // is told in plain words, without a box that would hold the cycle; the line's own
        // words go to the log.
        if (!readFailing_)
            prompts_.showDeviceTrouble(
                photometerText() +
                QStringLiteral(" does not answer (since %1). Sampling goes on; samples taken "
                               "meanwhile are not stored. Check that it is plugged in and "
                               "switched on: it is read again by itself once it answers.")
                    .arg(DisplayFormats::longTimeText(clock_.now().time())));
        log << "reading failed: " << e.what() << std::endl;
        readFailing_ = true;
        deviceFault_ = true;
        report.portError = true;
    }

    lastCalcOd_ = runFormula_.calcOd(lastOd_);
    const double analogCalcOd = lastCalcOd_ < 0 ? 0.0 : lastCalcOd_;
    report.analog = analog_.compute(analogCalcOd, fullScale_);
    if (std::fabs(lastOd_) < 0.0001)
        lastOd_ = 0;
    if (!previousDeviceError && deviceFault_)
        addPlain(QStringLiteral("OD Error at "));

    const double minutes = SampleValues::elapsedMinutes(elapsedMs_);
    const QString timeS = SampleValues::timeSText(elapsedMs_);
    lastOd_ = SampleValues::storedOd(lastOd_);
    lastCalcOd_ = SampleValues::storedOd(lastCalcOd_);

    QStringList failures;
    if (!deviceFault_) {
        RecordRow row;
        row.allTime = SampleValues::allTime(elapsedMs_);
        row.number = samples_;
        row.minutes = minutes;
        row.od = recordingOd_ ? lastOd_ : 0.0;
        row.startTime = started_.time();
        row.startDate = started_.date();
        row.title = runTitle_;
        row.timeS = timeS;
        row.calcOd = recordingCalcOd_ ? lastCalcOd_ : 0.0;
        try {
            workingTable_->append(row);
            report.stored = true;
        } catch (const std::exception& e) {
            failures << QString::fromUtf8(e.what());
        }
    }
    try {
        runProtocol_.saveRtf(protocolFilePath());
    } catch (const std::exception& e) {
        failures << QString::fromUtf8(e.what());
    }

    report.number = samples_;
    ++samples_;
    // The start window comes from the first real reading and only real readings can leave it:
    // a device error's stand-in value (100, or the last one) says nothing about the culture.
    if (!deviceFault_ && !haveStartReading_) {
        haveStartReading_ = true;
        firstOd = lastOd_;
        firstCalcOd = lastCalcOd_;
    } else if (!deviceFault_) {
        if (lastOd_ > firstOd + 0.1 || lastOd_ < firstOd - 0.02)
            odLeftStartWindow = true;
        if (lastCalcOd_ > firstCalcOd + 1.0 || lastCalcOd_ < firstCalcOd - 0.2)
            calcOdLeftStartWindow = true;
    }

    SampleWindowInput input;
    input.minutes = minutes;
    input.od = lastOd_;
    input.calcOd = lastCalcOd_;
    input.firstOd = firstOd;
    input.firstCalcOd = firstCalcOd;
    input.odLeftStartWindow = odLeftStartWindow;
    input.calcOdLeftStartWindow = calcOdLeftStartWindow;
    lastWindowInput_ = input;
    emit axisWindowChanged(sampleAxisWindow(chart_, input));

    report.timeS = timeS;
    report.minutes = minutes;
    report.od = lastOd_;
    report.calcOd = lastCalcOd_;
    report.deviceError = deviceFault_;
    report.odText = DisplayTexts::odDisplayText(lastOd_);
    report.odRed = lastOd_ < DisplayTexts::redBelow;
    report.calcOdText = DisplayTexts::odDisplayText(lastCalcOd_);
    report.calcOdRed = runFormula_.enabled && lastCalcOd_ < DisplayTexts::redBelow;
    report.calcOdGrey = !runFormula_.enabled;
    if (deviceFault_) {
        report.odText = report.calcOdText = QStringLiteral("n. c.");
        report.odRed = report.calcOdRed = true;
        report.calcOdGrey = false;
        if (odSource_->hasPendingStatus()) {
            try {
                odSource_->checkErrorState();
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

QString MeasurementEngine::photometerText() const {
    return sourceType_.isEmpty() ? QStringLiteral("The photometer")
                                 : QStringLiteral("The photometer on ") + sourceType_;
}

// The sample is over, whether it went well or not: back to the countdown.
void MeasurementEngine::afterSample() {
    countdownTicks = 0;
    timer3_.stop();
    if (state == RunState::Running)
        timer1_.start();
    samplingTicks = 0;
    saved = false;
    samplingPhase_ = false;
    emit commandsChanged();

    if (autoSaveSchedule_.afterSample(samples_) && profileInteger(IniFile::keys::AutoSave, 0) == 1)
        autoSave();
}

QString MeasurementEngine::defaultSaveAsName() const {
    return MeasurementFiles::defaultSaveAsName(runTitle_, started_);
}

QString MeasurementEngine::windowCaption() const {
    return QString::fromStdString(IniFile::programVersionText) + QStringLiteral("  ") +
           currentFileName;
}

QStringList MeasurementEngine::writeFiles(const FileSet& set, const QString& report) {
    QStringList failures;
    try {
        // The protocol file is brought up to date first, so the copy holds every entry so far.
        runProtocol_.saveRtf(protocolFilePath());
    } catch (const std::exception& e) {
        failures << QString::fromUtf8(e.what());
    }
    failures << MeasurementFiles::writeSet(set, *workingTable_, protocolFilePath(), runStatement_);
    lastSaveReport_ = report;
    if (!failures.isEmpty()) {
        lastSaveReport_ += QStringLiteral(" - not written: ") + failures.join(QStringLiteral("; "));
        for (const QString& failure : failures)
            Talvessa::getLogStream() << "save: " << failure.toStdString() << std::endl;
    }
    emit saveReportChanged(lastSaveReport_);
    return failures;
}

bool MeasurementEngine::saveAs() {
    const QString chosen =
        prompts_.askSaveFileName(QStringLiteral("Save Brevimo Database Channel A"),
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
    saveEnabled_ = true;
    emit commandsChanged();
    emit savedNamesChanged();
    addPlain(QStringLiteral("Saved at "));
    return true;
}

// Save As and Save: the set under the chosen name, shown on the "Saving" tab; a member that
// could not be written is said at once, and the measurement does not count as saved.
bool MeasurementEngine::saveManually(const QString& name) {
    const FileSet set = FileSet::fromChosenName(name);
    if (!writeFiles(set, QStringLiteral("Database Saved manually")).isEmpty()) {
        prompts_.showMessage(lastSaveReport_);
        return false;
    }
    savedTxt_ = set.txt;
    savedNph_ = set.nph;
    savedLog_ = set.log;
    saved = true;
    return true;
}

bool MeasurementEngine::save() {
    // Without a name chosen in this measurement there is nothing to save under.
    if (!fileNamed || currentFileName.isEmpty())
        return saveAs();
    if (!saveManually(currentFileName))
        return false;
    emit savedNamesChanged();
    addPlain(QStringLiteral("Saved Channel A at "));
    return true;
}

// An auto-save that fails is said once when the failure begins, in a message and in the
// protocol, and its end too: the run goes on either way, and an unwatched overnight run
// must not pile up a box per sample.
void MeasurementEngine::autoSave() {
    const QString name = MeasurementFiles::autoSaveBaseName(started_);
    QString directory = QDir(programDirectory_).filePath(QStringLiteral("AutoSave"));
    if (profileInteger(IniFile::keys::OwnAutoDir, 0) == 1)
        directory = profileText(IniFile::keys::Dir, "Nothing");
    const FileSet set = FileSet::fromChosenName(QDir(directory).filePath(name));
    const QStringList failures =
        writeFiles(set, QStringLiteral("Autosave    ") + name + QStringLiteral(".*     at   ") +
                            DisplayFormats::longTimeText(SampleValues::allTime(elapsedMs_)));
    const bool written = failures.isEmpty();
    if (written && autoSaveFailing_) {
        autoSaveFailing_ = false;
        addPlain(QStringLiteral("Autosave written again at "));
    } else if (!written) {
        ++autoSaveFailures_;
        if (!autoSaveFailing_) {
            autoSaveFailing_ = true;
            addPlain(QStringLiteral("Autosave failed at "));
            prompts_.showMessage(QStringLiteral("Autosave failed: ") +
                                 failures.join(QStringLiteral("; ")));
        }
    }
}

Calibration::Outcome
MeasurementEngine::calibrate(__lumo::EventListenerInterface<__lumo::ProgressInfoType>* progress) {
    if (!odSource_ || !commands().calibrate)
        throw std::runtime_error("Calibration is not available now.");
    calibrating_ = true;
    emit commandsChanged();
    struct Restore {
        MeasurementEngine& engine;
        ~Restore() {
            engine.calibrating_ = false;
            emit engine.commandsChanged();
        }
    } restore{*this};
    return Calibration::run(*odSource_, progress);
}

std::optional<double> MeasurementEngine::attachNote(const QString& text, double minutesPosition) {
    if (workingTable_->rowCount() == 0) {
        prompts_.showMessage(QStringLiteral("There is no sample yet to attach the note to."));
        return std::nullopt;
    }
    addStamped(QStringLiteral("note added: ") + text);
    ++notes_;
    const auto row = workingTable_->attachNote(notes_, text, minutesPosition);
    emit notesChanged();
    if (row)
        emit noteAttached(notes_, text, *row);
    return row;
}

bool MeasurementEngine::attachNoteToSample(const QString& text, int number) {
    if (!workingTable_->attachNoteToRow(notes_ + 1, text, number))
        return false;
    addStamped(QStringLiteral("note added: ") + text);
    ++notes_;
    emit notesChanged();
    emit noteAttached(notes_, text, number);
    return true;
}

void MeasurementEngine::setAlarmSwitch(bool on) {
    runAlarm_.setSwitch(on, runProtocol_, elapsedMs_);
    emit protocolChanged();
    emit alarmChanged();
}

void MeasurementEngine::acknowledgeAlarm() {
    runAlarm_.acknowledge(runProtocol_, elapsedMs_);
    emit protocolChanged();
    emit alarmChanged();
}

void MeasurementEngine::setAlarmDirection(ODAlarm::Direction direction) {
    runAlarm_.direction = direction;
    emit alarmChanged();
}

void MeasurementEngine::setAlarmThresholdText(const QString& text) {
    runAlarm_.thresholdText = text;
    emit alarmChanged();
}

void MeasurementEngine::stepAlarmThreshold(bool up) {
    if (up)
        runAlarm_.stepUp();
    else
        runAlarm_.stepDown();
    emit alarmChanged();
}

void MeasurementEngine::releaseAlarmArrows() {
    runAlarm_.releaseArrows();
}
