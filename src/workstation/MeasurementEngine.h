// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AnalogOutput.h"
#include "Calibration.h"
#include "ChartWindow.h"
#include "EngineEnvironment.h"
#include "MeasurementFiles.h"
#include "ODAlarm.h"
#include "ODFormula.h"
#include "Protocol.h"
#include "RecordTable.h"
#include "SamplingRules.h"
#include "Statement.h"
#include "WorkingTableLock.h"
#include "com/ODSourceInterface.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

// What one sample came to, for the displays, the chart and the command-line tool.
struct SampleReport {
    int number = 0; // the row's Number
    QString timeS;
    double minutes = 0;
    double od = 0; // as stored (or as it would have been)
    double calcOd = 0;
    bool deviceError = false;
    bool stored = false; // a row was appended
    bool portError = false;
    bool calibrationUnusable = false; // the stored calibration gives no OD scale
    QString odText, calcOdText;
    bool odRed = false, calcOdRed = false, calcOdGrey = false;
    AnalogOutput::Code analog;
};

// The measurement: run control, the two alternating timers of the sampling cycle, the record
// table, protocol and statement, calibration, the OD alarm check and the measurement files.
// Headless: windows and the command-line tool bind to its state and signals.
class MeasurementEngine : public QObject {
    Q_OBJECT
public:
    enum class RunState { NotConnected, Ready, Running, Paused, Stopped };

    // Which commands the user can give now.
    struct Commands {
        bool start = false, startVisible = true;
        bool pause = false;
        bool continueRun = false, continueVisible = false;
        bool end = false;
        bool now = false;
        bool calibrate = false;
        bool measurementMenus = false;
        bool formulaEditable = true;
        bool saveAs = false;
        bool save = false;
    };

    MeasurementEngine(const QString& programDirectory, Clock& clock, TonePlayer& tones,
                      UserPrompts& prompts, QObject* parent = nullptr);
    ~MeasurementEngine() override;

    // Connecting: the source for a connection type, then the configured brightness.
    void connectSource(const QString& type);
    void setSource(std::unique_ptr<Talvessa::ODSourceInterface> source);
    Talvessa::ODSourceInterface* source() const { return odSource_.get(); }

    // Run control. start() is refused with a message (and false) when it cannot begin.
    bool start();
    void pause();
    void continueRun();
    void end();
    void measureNow();
    // The program is closing: the cycle stops at once, without questions.
    void shutDown();

    RunState runState() const { return state; }
    Commands commands() const;
    QString statusText() const; // "running", "paused", "stopped" or empty
    bool statusGreen() const { return state == RunState::Running; }

    // The interval between samples in seconds, as the options page's choice and the profile's
    // "Interval" give it. The countdown counts it in its 100 ms ticks, to a tenth of a second.
    void useDefaultInterval();
    void chooseInterval(const QString& entry);
    double interval() const { return intervalTicks_ / double(countdownTicksPerSecond); }
    void setInterval(double seconds);
    static constexpr int countdownTicksPerSecond = 10;
    int quality() const { return qualityTicks_; }
    void setQuality(int ticks);

    // The measurement's title, as the title field holds it while it is typed.
    const QString& title() const { return runTitle_; }
    void setTitle(const QString& text);
    void changeTitle(const QString& text); // with the protocol entry, when it changed
    // The title field was left: the entry is written whether or not the text changed.
    void titleFieldLeft(const QString& text);

    // Files.
    bool saveAs();
    bool save();
    void autoSave();
    QString defaultSaveAsName() const;
    QString windowCaption() const;
    const QString& saveReport() const { return lastSaveReport_; }
    // The files of the last save, or empty texts before one.
    const QString& savedNphPath() const { return savedNph_; }
    const QString& savedLogPath() const { return savedLog_; }
    const QString& savedTxtPath() const { return savedTxt_; }
    bool isSaved() const { return saved; }
    const QString& getCurrentFileName() const { return currentFileName; }
    // Auto-saves of this measurement that could not be written, and whether the last one was.
    int autoSaveFailureCount() const { return autoSaveFailures_; }
    bool autoSaveFailingNow() const { return autoSaveFailing_; }

    // Calibration around the source's own; throws what the source throws.
    Calibration::Outcome
    calibrate(__lumo::EventListenerInterface<__lumo::ProgressInfoType>* progress);
    QString calibrationStatus() const;

    // Notes: the note goes to the row its time position falls on. Without rows it is refused.
    std::optional<double> attachNote(const QString& text, double minutesPosition);
    // A note for the sample of this number, as the command line names it; false when no row
    // has that number (the sample was not stored or not taken).
    bool attachNoteToSample(const QString& text, int number);

    // The OD alarm, set from its controls.
    const ODAlarm& alarm() const { return runAlarm_; }
    void setAlarmSwitch(bool on);
    void setAlarmDirection(ODAlarm::Direction direction);
    void setAlarmThresholdText(const QString& text);
    void stepAlarmThreshold(bool up); // an arrow button's click
    void releaseAlarmArrows();
    void acknowledgeAlarm();

    // The OD formula. It stays as it is while a measurement runs or is paused: setFormula
    // refuses a change then (false), since the rows already taken were computed with it.
    const ODFormula& formula() const { return runFormula_; }
    bool setFormula(const ODFormula& next);

    // The analog output and the quantities a row records.
    const AnalogOutput& analogOutput() const { return analog_; }
    void setAnalogOutputLive(bool on);
    const QString& fullScaleText() const { return fullScale_; }
    void setFullScaleText(const QString& text);
    bool recordsOd() const { return recordingOd_; }
    bool recordsCalcOd() const { return recordingCalcOd_; }
    void setRecordedQuantities(bool od, bool calcOd);

    // How the live chart is zoomed and which quantity it shows.
    const ChartState& chartState() const { return chart_; }
    void setChartState(const ChartState& next);

    Protocol& protocol() { return runProtocol_; }
    // A plain protocol entry stamped with the elapsed time, for windows that report events.
    void addPlainEntry(const QString& message) { addPlain(message); }
    Statement& statement() { return runStatement_; }
    RecordTable& table() { return *workingTable_; }
    QString protocolFilePath() const;

    // State of the cycle, for displays and tests.
    int sampleNumber() const { return samples_; }
    int odReadCount() const { return odReads_; }
    double od() const { return lastOd_; }
    double calcOd() const { return lastCalcOd_; }
    bool deviceError() const { return deviceFault_; }
    std::int64_t elapsedMilliseconds() const { return elapsedMs_; }
    QDateTime startTime() const { return started_; }
    // In the windows the simulated source Sim0 runs on a demonstration clock, this many times
    // as fast as the real one (1: real time); set at each start from the profile, never for a
    // photometer. The command-line tool has its own choice, --time-lapse.
    void useSim0DemonstrationClock(bool on) { sim0Demonstration_ = on; }
    double demonstrationRate() const { return demonstrationRate_; }
    static constexpr int defaultSim0Rate = 100;
    static constexpr int maximumSim0Rate = 3600;
    QString countdownText() const { return countdownLabel_; }
    QString runningTimeText() const;
    int noteCounter() const { return notes_; }
    // What the chart's axis window after the last sample depends on.
    SampleWindowInput windowInput() const { return lastWindowInput_; }

    // The two ticks; the timers call them, tests may too.
    void countdownTick();
    void samplingTick();
    QTimer& countdownTimer() { return timer1_; }
    QTimer& samplingTimer() { return timer3_; }

signals:
    void sampleTaken(const SampleReport& report);
    void axisWindowChanged(const AxisWindow& window);
    void commandsChanged();
    void countdownChanged(const QString& text);
    void runningTimeChanged(const QString& text);
    void gaugeChanged(int value, int maximum);
    void protocolChanged();
    void alarmFired();
    void saveReportChanged(const QString& report);
    // A Save or Save As wrote its set: the saved files' names and the caption are new.
    void savedNamesChanged();
    void measurementStarted();
    void measurementEnded();
    void notesChanged(); // a note was attached to a row of the working table
    // The same, for observers that pass it on: the note's counter, its text and the Number of
    // the row it went to.
    void noteAttached(int counter, const QString& text, double rowNumber);
    // Connected, running, paused, stopped: emitted only when the state really changes.
    void runStateChanged(MeasurementEngine::RunState state);
    void titleChanged(const QString& title);
    void formulaChanged();
    void alarmChanged();
    void outputSettingsChanged(); // analog output, full scale, recorded quantities
    void chartStateChanged();

private:
    void refreshElapsed();
    // The run's time: the real one, or the demonstration clock's from the start on.
    QDateTime runNow() const;
    // The interval in real countdown ticks.
    int countdownIntervalTicks() const;
    void takeSample();
    void afterSample();
    void reportFailure(const QString& text);
    QString photometerText() const; // "The photometer on Com3", for the user
    void addStamped(const QString& message);
    void addPlain(const QString& message);
    // The members that could not be written, with the reasons; empty when all were.
    QStringList writeFiles(const FileSet& set, const QString& report);
    bool saveManually(const QString& name);
    void setState(RunState next);

    QString programDirectory_;
    QString runTitle_;
    QString savedNph_, savedLog_, savedTxt_;
    ODAlarm runAlarm_;
    ODFormula runFormula_;
    AnalogOutput analog_;
    QString fullScale_ = QStringLiteral("10.0");
    bool recordingOd_ = true, recordingCalcOd_ = true;
    ChartState chart_;
    Clock& clock_;
    TonePlayer& tones_;
    UserPrompts& prompts_;
    std::unique_ptr<Talvessa::ODSourceInterface> odSource_;
    QString sourceType_; // the connection type it was connected through, when known
    std::shared_ptr<WorkingTableLock> tableHold_; // taken before the table is opened
    std::unique_ptr<RecordTable> workingTable_;
    Protocol runProtocol_;
    Statement runStatement_;
    QTimer timer1_, timer3_;

    RunState state = RunState::NotConnected;
    bool samplingPhase_ = false; // from the countdown's "Now" until the sample is taken
    bool calibrating_ = false;
    int intervalTicks_ = 30 * countdownTicksPerSecond;
    int qualityTicks_ = 8;
    int countdownTicks = 0;
    int samplingTicks = 1;
    int odReads_ = 0;
    int samples_ = 0;
    bool deviceFault_ = false;
    bool readFailing_ = false;
    bool calibrationFailing_ = false;
    double lastOd_ = 0, lastCalcOd_ = 0;
    double firstOd = 0, firstCalcOd = 0;
    bool haveStartReading_ = false;
    bool odLeftStartWindow = false, calcOdLeftStartWindow = false;
    QDateTime started_;
    bool sim0Demonstration_ = false;
    double demonstrationRate_ = 1;
    std::int64_t elapsedMs_ = 0;
    bool saved = true;
    SamplingRules::AutoSaveSchedule autoSaveSchedule_;
    bool autoSaveFailing_ = false;
    int autoSaveFailures_ = 0;
    bool fileNamed = false;
    QString currentFileName;
    bool saveEnabled_ = false;
    int notes_ = 0;
    QString countdownLabel_;
    QString lastSaveReport_;
    QString lastReportedFailure_;
    SampleWindowInput lastWindowInput_;
};
