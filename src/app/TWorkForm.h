// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgressSetters.h"
#include "lumo/Sleeper.h"
#include "workstation/MeasurementEngine.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TWorkForm;
}
class TStart;
class LiveChart;
class ChartPage;
class ViewerPage;
class TableExportFlow;
class ExportPanel;
class PrintDialogs;
class ReportPrinting;

// The main window: welcome and run panels, the chart, calibration, options and viewer pages,
// the displays and the page buttons. It binds controls to the engine and holds no
// measurement logic of its own.
class TWorkForm : public QMainWindow {
    Q_OBJECT
public:
    enum class Page { Chart, Calibration, Options, Viewer };

    // What the main window asks of the other windows; wired by the program's start.
    struct Collaborators {
        TStart* splash = nullptr;
        std::function<std::optional<QString>()> chooseProfile; // modal profile manager
        std::function<void()> profileOpened; // windows that show profile values load them
        std::function<void()> showProtocol;
        std::function<void()> showLog;
        std::function<void()> showSettings;
        std::function<void()> showTimerAlarm;
        std::function<void()> showHelp;
        std::function<QString()> userName; // the settings dialog's live fields
        std::function<QString()> companyName;
        std::function<QString()> ownAutoSaveDirectory;
    };

    TWorkForm(MeasurementEngine& engine, UserPrompts& prompts, const QString& programDirectory,
              const QStringList& extraDevices, QWidget* parent = nullptr);
    ~TWorkForm() override;

    void setCollaborators(Collaborators collaborators);
    // The print dialogs to use instead of the desktop's (tests).
    void setPrintDialogs(PrintDialogs& dialogs);

    // The seventeen reported start-up steps, each followed by a pause through the sleeper.
    // False when no profile could be opened: the program is to end.
    bool initialise(__lumo::Sleeper& sleeper);

    void connectCommand();
    void showPage(Page page);
    void exitCommand() { close(); }
    QString aboutText() const;
    // Why initialise() gave up, for the terminal.
    const QString& startupError() const { return lastStartupError_; }
    QString programInfoText() const;

    Ui::TWorkForm& form() { return *ui_; }
    LiveChart& chart() { return *liveChart_; }
    ChartPage& chartControls() { return *chartPage_; }
    ViewerPage& viewer() { return *viewerPage_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bindControls();
    void prepareStartState();
    void bindEngine();
    void loadButtonImages();
    void fillDeviceList();
    void focusFirstControl();
    void applyCommands();
    void showSample(const SampleReport& report);
    void afterStart();
    void calibrateCommand();
    void fillFormulaControls();
    void readFormulaControls();
    void storeSettings(); // throws what the profile throws
    void setPageButtonImages(QObject* pressed);
    void setParameterChoice();

    MeasurementEngine& engine_;
    UserPrompts& prompts_;
    QString programDirectory_;
    QStringList extraDevices_;
    std::unique_ptr<Ui::TWorkForm> ui_;
    Collaborators others_;
    std::unique_ptr<Talvessa::ProgressBarSetter> calibrationProgress_;
    std::unique_ptr<Talvessa::TCGaugeSetter> gaugeSetter_;
    LiveChart* liveChart_ = nullptr;
    ChartPage* chartPage_ = nullptr;
    ViewerPage* viewerPage_ = nullptr;
    std::unique_ptr<TableExportFlow> exportFlow_;
    std::unique_ptr<ExportPanel> exportPanel_;
    std::unique_ptr<PrintDialogs> desktopPrintDialogs_;
    std::unique_ptr<ReportPrinting> printing_;
    bool connected_ = false;
    bool closing_ = false;
    QString lastStartupError_;
};
