// SPDX-License-Identifier: GPL-3.0-or-later
#include "TWorkForm.h"

#include "ChartPage.h"
#include "DesktopOpener.h"
#include "ExportPanel.h"
#include "FocusLeaveWatcher.h"
#include "LiveChart.h"
#include "ReportPrinting.h"
#include "TStart.h"
#include "ViewerPage.h"
#include "com/ODSourceSimulated.h"
#include "lumo/Version.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "ui_TWorkForm.h"
#include "workstation/Calibration.h"
#include "workstation/DisplayFormats.h"
#include "workstation/ODFormula.h"
#include "workstation/SampleValues.h"
#include "workstation/SamplingRules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QMenuBar>
#include <QPixmap>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <stdexcept>

namespace {

constexpr int startupSteps = 17;
constexpr unsigned long startupPauseMilliseconds = 500;

QString profileText(const IniFile::SettingKey& key, const char* fallback) {
    return QString::fromStdString(IniFile::getIniFile().readString(key.section, key.key, fallback));
}

int profileInteger(const IniFile::SettingKey& key, int fallback) {
    return IniFile::getIniFile().readInteger(key.section, key.key, fallback);
}

void setColour(QWidget* widget, const char* colour) {
    QString style = widget->styleSheet();
    static const QRegularExpression old(QStringLiteral("color:[^;]*;"));
    style.remove(old);
    widget->setStyleSheet(style + QStringLiteral("color: %1;").arg(QLatin1String(colour)));
}

// The page buttons and the image files they show, normal and pressed.
struct PageButton {
    const char* button;
    const char* image;
};
const PageButton pageButtons[] = {{"ChartSpeedButton", "Chart"},
                                  {"CalibrationSpeedButton", "Calibrations"},
                                  {"OptionsSpeedButton", "Options"},
                                  {"ViewSpeedButton22", "Viewer"},
                                  {"ExitSpeedButton", "Exit"}};

} // namespace

TWorkForm::TWorkForm(MeasurementEngine& engine, UserPrompts& prompts,
                     const QString& programDirectory, const QStringList& extraDevices,
                     QWidget* parent)
    : QMainWindow(parent), engine_(engine), prompts_(prompts), programDirectory_(programDirectory),
      extraDevices_(extraDevices), ui_(new Ui::TWorkForm) {
    ui_->setupUi(this);
    // A first try with Sim0 shows its culture growing within a minute, not two points.
    engine_.useSim0DemonstrationClock(true);
    liveChart_ = new LiveChart(engine.table(), ui_->ChartArea);
    ui_->ChartArea->layout()->addWidget(liveChart_);
    chartPage_ = new ChartPage(ChartPageWidgets::from(*ui_), *liveChart_, engine, prompts, this);
    viewerPage_ = new ViewerPage(ViewerPageWidgets::from(*ui_), engine, prompts, this);
    // The desktop's own opening says yes as soon as its opener starts; whether a spreadsheet
    // program took the workbook is known only when the opener ends.
    auto* opener = new DesktopOpener(QStringLiteral("xdg-open"), this);
    exportFlow_ = std::make_unique<TableExportFlow>(prompts, [this, opener](const QString& path) {
        return opener->open(path, [this, path] { exportFlow_->workbookNotOpened(path); });
    });
    exportPanel_ =
        std::make_unique<ExportPanel>(ui_->Panel3, ui_->Label21, ui_->Label20, ui_->ProgressBar1);
    desktopPrintDialogs_ = std::make_unique<QtPrintDialogs>();
    printing_ = std::make_unique<ReportPrinting>(*desktopPrintDialogs_, prompts);
    // The hidden option tabs keep their controls; they are only not offered.
    for (QWidget* tab : {ui_->TabSheet_Record, ui_->TabSheet_Misc})
        ui_->PageControl_Options->setTabVisible(ui_->PageControl_Options->indexOf(tab), false);
    const auto coefficientValidator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.\\-]*")), this);
    for (QLineEdit* field : {ui_->Edit9, ui_->Edit23, ui_->Edit8, ui_->Edit24})
        field->setValidator(coefficientValidator);
    // The alarm threshold keeps its five characters readable however narrow the window gets
    // (one more for the frame and the text's margins).
    QLineEdit* threshold = ui_->MaskEdit3;
    threshold->setMinimumWidth(
        threshold->fontMetrics().horizontalAdvance(QStringLiteral("0.0000")) + 12);
    threshold->setMaximumWidth(std::max(threshold->maximumWidth(), threshold->minimumWidth()));
    calibrationProgress_ = std::make_unique<Talvessa::ProgressBarSetter>(ui_->ProgressBar2);
    gaugeSetter_ = std::make_unique<Talvessa::TCGaugeSetter>(ui_->CGauge1);
    bindControls();
    bindEngine();
    engine.setTitle(ui_->Edit1->text()); // the field's first text is the first title
    prepareStartState();
}

// What the window shows before the profile is read: it is on the screen behind the splash
// while the start-up runs, and must not look ready or offer what is not there yet.
void TWorkForm::prepareStartState() {
    ui_->ComboBox3->setCurrentIndex(ODAlarm::Above);
    fillDeviceList();
    applyCommands();
    ui_->GroupBox9->hide();
    ui_->ODButton->setEnabled(false);
    showPage(Page::Chart);
    ui_->Label22->clear();
    ui_->SpeedButton4->hide();
    ui_->GroupBox2->hide();
    ui_->GroupBox10->hide();
    ui_->CheckBox3->setChecked(false);
}

TWorkForm::~TWorkForm() {
    // A window that goes without being closed (the program ended otherwise) still keeps its
    // formula; closing stored it already and said so when that failed.
    if (!closing_) {
        try {
            storeSettings();
        } catch (const std::exception&) {
            // Nobody is left to tell.
        }
    }
    // The pages point at the form's widgets; a widget's last events as the widgets go (the
    // note field passes the chart page's filter) must not reach them.
    delete chartPage_;
    delete viewerPage_;
}

// What the window keeps in the profile at the end: the formula.
void TWorkForm::storeSettings() {
    if (!IniFile::hasIniFile())
        return;
    readFormulaControls();
    engine_.formula().storeToProfile();
}

void TWorkForm::setCollaborators(Collaborators collaborators) {
    others_ = std::move(collaborators);
}

void TWorkForm::setPrintDialogs(PrintDialogs& dialogs) {
    printing_ = std::make_unique<ReportPrinting>(dialogs, prompts_);
}

bool TWorkForm::initialise(__lumo::Sleeper& sleeper) {
    __lumo::ProgressEventCaller progress;
    if (others_.splash)
        progress.addListener(&others_.splash->progressListener());
    __lumo::ProgressInfoType info;
    info.total = startupSteps;
    const auto step = [&](int k) {
        info.current = k;
        progress.fireEvent(info);
        sleeper.sleepMilliseconds(startupPauseMilliseconds);
    };

    // Nothing can be used until the profile is read and the controls are set from it.
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    const auto splashToFront = [this] {
        if (others_.splash && others_.splash->isVisible()) {
            others_.splash->raise();
            others_.splash->activateWindow();
        }
    };

    step(1);
    if (others_.splash) {
        others_.splash->show();
        others_.splash->repaint();
    }
    QString profile = QStringLiteral("Default");
    try {
        IniFile::openProfile("Default", "Nephodar", "Talvessa");
    } catch (const std::exception&) {
        const auto chosen = others_.chooseProfile ? others_.chooseProfile() : std::nullopt;
        splashToFront(); // the start-up goes on behind it
        profile = chosen.value_or(QString());
        try {
            IniFile::openProfile(profile.toStdString(), "Nephodar", "Talvessa");
        } catch (const std::exception& e) {
            lastStartupError_ = QStringLiteral("Error while open profile '") + profile +
                                QStringLiteral("'.\n") + QString::fromUtf8(e.what());
            prompts_.showError(lastStartupError_);
            if (others_.splash)
                others_.splash->hide();
            return false;
        }
    }

    if (others_.profileOpened)
        others_.profileOpened();

    step(2);
    if (others_.splash)
        others_.splash->showUser(profileText(IniFile::keys::User, "User"),
                                 profileText(IniFile::keys::Company, "Company"));

    step(3);
    liveChart_->setTitleLine(QStringLiteral("OD ") + profileText(IniFile::keys::LED, "OD []"));

    step(4);
    loadButtonImages();

    step(5);
    setWindowTitle(QString::fromStdString(IniFile::programVersionText));
    ui_->MaskEdit1->setText(QStringLiteral("10.0"));
    ui_->LiveOnRadioB->setChecked(true);
    engine_.setInterval(30);
    ui_->ComboBox5->setCurrentText(QStringLiteral("30 Sec"));

    step(6);
    fillDeviceList();

    step(7);
    engine_.setQuality(IniFile::quality);
    applyCommands();

    step(8);
    ui_->CGauge1->setMaximum(engine_.quality() - 1);

    step(9);
    ui_->Label59->setText(QString::number(engine_.interval()) + QStringLiteral(" Sec"));
    ui_->RadioButton1->setChecked(true);

    step(10);
    step(11);

    step(12);
    step(13);
    engine_.setFormula(ODFormula::loadFromProfile());
    fillFormulaControls();

    step(14);
    step(15);
    step(16);
    const QString port = profileText(IniFile::keys::ComPort, "Com1");
    if (ui_->ComboBox6->findText(port) >= 0)
        ui_->ComboBox6->setCurrentText(port);
    ui_->CheckBox_AutoS->setChecked(profileInteger(IniFile::keys::AutoSave, 0) == 1);
    ui_->CheckBox_AutoC->setChecked(profileInteger(IniFile::keys::AutoConnect, 0) == 1);
    if (profileInteger(IniFile::keys::AutoConnect, 0) == 1) {
        connectCommand();
        splashToFront(); // after a message that it failed
    }

    step(17);
    if (others_.splash)
        others_.splash->hide();
    centralWidget()->setEnabled(true);
    menuBar()->setEnabled(true);
    focusFirstControl();
    return true;
}

// Keyboard users start where the work starts: the device list (Connect while Sim0 is the only
// choice), and Start once connected.
void TWorkForm::focusFirstControl() {
    if (connected_)
        ui_->StartButton->setFocus();
    else if (ui_->ComboBox6->isEnabled())
        ui_->ComboBox6->setFocus();
    else
        ui_->SpeedButton22->setFocus();
}

void TWorkForm::loadButtonImages() {
    for (const auto& page : pageButtons) {
        const QString file =
            QDir(programDirectory_).filePath(QStringLiteral("buttons/%1.bmp").arg(page.image));
        QPixmap image(file);
        if (image.isNull())
            throw std::runtime_error(
                QStringLiteral("Can't load the picture '%1'.").arg(file).toStdString());
        findChild<QToolButton*>(page.button)->setIcon(QIcon(image));
    }
}

void TWorkForm::setPageButtonImages(QObject* pressed) {
    for (const auto& page : pageButtons) {
        auto* button = findChild<QToolButton*>(page.button);
        const QString suffix = button == pressed ? QStringLiteral("_r") : QString();
        const QString file =
            QDir(programDirectory_)
                .filePath(QStringLiteral("buttons/%1%2.bmp").arg(page.image, suffix));
        QPixmap image(file);
        if (!image.isNull())
            button->setIcon(QIcon(image));
        button->setProperty("pressed", button == pressed);
    }
}

void TWorkForm::fillDeviceList() {
    // "Sim0", then every connection type the profile names a device for, then the ones
    // given on the command line.
    QStringList devices{QStringLiteral("Sim0")};
    const auto addDevice = [&devices](const QString& type) {
        if (!type.isEmpty() && !devices.contains(type))
            devices << type;
    };
    if (IniFile::hasIniFile())
        for (const auto& type : IniFile::getIniFile().keysOf(IniFile::portsSection))
            addDevice(QString::fromStdString(type));
    for (const auto& type : extraDevices_)
        addDevice(type);
    const QString current = ui_->ComboBox6->currentText();
    ui_->ComboBox6->clear();
    ui_->ComboBox6->addItems(devices);
    ui_->ComboBox6->setCurrentText(devices.contains(current) ? current : devices.first());
    ui_->ComboBox6->setEnabled(devices.size() > 1);
}

void TWorkForm::connectCommand() {
    connected_ = false;
    const QString device = ui_->ComboBox6->currentText();
    try {
        engine_.connectSource(device);
    } catch (const std::exception& e) {
        prompts_.showMessage(QStringLiteral("Can't connect to ") + device + QStringLiteral("\n") +
                             QString::fromUtf8(e.what()));
        return;
    }
    ui_->Panel_Welcome->hide();
    ui_->Panel_Top_Normal->show();
    ui_->Connect1->setEnabled(false);
    connected_ = true;
    applyCommands();
    focusFirstControl();
}

void TWorkForm::showPage(Page page) {
    QToolButton* buttons[] = {ui_->ChartSpeedButton, ui_->CalibrationSpeedButton,
                              ui_->OptionsSpeedButton, ui_->ViewSpeedButton22};
    QGroupBox* pages[] = {ui_->GroupBox_Chart, ui_->GroupBox_Calibration, ui_->GroupBox_Options,
                          ui_->GroupBox_Viewer};
    const int index = static_cast<int>(page);
    setPageButtonImages(buttons[index]);
    for (int i = 0; i < 4; ++i)
        pages[i]->setVisible(i == index);
    if (page == Page::Viewer)
        viewerPage_->pageShown();
    if (page == Page::Calibration && IniFile::hasIniFile()) {
        ui_->Label24->setText(Calibration::lastReferenceText());
        ui_->Label9->setText(Calibration::lastDarkText());
    }
}

void TWorkForm::bindControls() {
    const auto page = [this](Page p) { return [this, p] { showPage(p); }; };
    connect(ui_->ChartSpeedButton, &QToolButton::clicked, this, page(Page::Chart));
    connect(ui_->CalibrationSpeedButton, &QToolButton::clicked, this, page(Page::Calibration));
    connect(ui_->OptionsSpeedButton, &QToolButton::clicked, this, page(Page::Options));
    connect(ui_->ViewSpeedButton22, &QToolButton::clicked, this, page(Page::Viewer));
    connect(ui_->Chart1, &QAction::triggered, this, page(Page::Chart));
    connect(ui_->Calibration1, &QAction::triggered, this, page(Page::Calibration));
    connect(ui_->Options1, &QAction::triggered, this, page(Page::Options));
    connect(ui_->Viewer1, &QAction::triggered, this, page(Page::Viewer));
    connect(ui_->ExitSpeedButton, &QToolButton::clicked, this, [this] {
        setPageButtonImages(ui_->ExitSpeedButton);
        close();
    });
    connect(ui_->Exit1, &QAction::triggered, this, &QWidget::close);
    connect(ui_->Print4, &QAction::triggered, this,
            [this] { printing_->printChart(*liveChart_->plot(), this); });
    connect(ui_->PrinterSettings1, &QAction::triggered, this,
            [this] { printing_->printerSettings(this); });
    connect(chartPage_, &ChartPage::printRequested, this,
            [this] { printing_->printChart(*liveChart_->plot(), this); });
    connect(viewerPage_, &ViewerPage::printRequested, this,
            [this] { printing_->printChart(*viewerPage_->chart(), this); });
    connect(viewerPage_, &ViewerPage::reportRequested, this, [this] {
        if (!viewerPage_->opened())
            return;
        ReportInput input{*viewerPage_->opened(), ui_->RichEdit4->toPlainText(),
                          ui_->RichEdit5->toPlainText(), viewerPage_->flatTest(),
                          QDateTime::currentDateTime()};
        printing_->previewReport(input, this);
    });
    connect(ui_->toASCII1, &QAction::triggered, this, [this] { exportFlow_->exportChosenAscii(); });
    connect(ui_->toExcel1, &QAction::triggered, this, [this] { exportFlow_->exportChosenExcel(); });
    connect(viewerPage_, &ViewerPage::asciiRequested, this, [this] {
        if (viewerPage_->opened())
            exportFlow_->exportOpenedAscii(*viewerPage_->opened());
    });
    connect(viewerPage_, &ViewerPage::excelRequested, this, [this](bool ask) {
        if (!viewerPage_->opened())
            return;
        if (ask)
            exportFlow_->confirmAndExportOpenedExcel(*viewerPage_->opened(), *exportPanel_);
        else
            exportFlow_->exportOpenedExcel(*viewerPage_->opened(), *exportPanel_);
    });
    connect(ui_->Open1, &QAction::triggered, this, [this] {
        showPage(Page::Viewer);
        viewerPage_->openMeasurement();
    });
    ui_->Print4->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+P")), QKeySequence(QStringLiteral("Ctrl+L"))});
    auto* closeKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+C")), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    // F10 opens the first menu, as on other desktops; the arrows and the menus' letters lead on.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(ui_->File1->menuAction()); });

    connect(ui_->SpeedButton22, &QToolButton::clicked, this, &TWorkForm::connectCommand);
    connect(ui_->Connect1, &QAction::triggered, this, &TWorkForm::connectCommand);

    const auto start = [this] {
        readFormulaControls();
        if (engine_.start())
            afterStart();
    };
    connect(ui_->StartButton, &QToolButton::clicked, this, start);
    connect(ui_->Start2, &QAction::triggered, this, start);
    connect(ui_->StopButton, &QToolButton::clicked, &engine_, &MeasurementEngine::pause);
    connect(ui_->Pause2, &QAction::triggered, &engine_, &MeasurementEngine::pause);
    connect(ui_->ContinueButton, &QToolButton::clicked, &engine_, &MeasurementEngine::continueRun);
    connect(ui_->Continue2, &QAction::triggered, &engine_, &MeasurementEngine::continueRun);
    connect(ui_->EndButton, &QToolButton::clicked, &engine_, &MeasurementEngine::end);
    connect(ui_->Stop2, &QAction::triggered, &engine_, &MeasurementEngine::end);
    connect(ui_->Now1, &QAction::triggered, &engine_, &MeasurementEngine::measureNow);
    connect(ui_->SaveAs, &QAction::triggered, &engine_, [this] { engine_.saveAs(); });
    connect(ui_->Save, &QAction::triggered, &engine_, [this] { engine_.save(); });

    connect(ui_->Edit1, &QLineEdit::textChanged, this,
            [this](const QString& t) { engine_.setTitle(t); });
    connect(ui_->Edit1, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
    // Leaving the field is protocolled whether or not the text changed; editingFinished would
    // stay silent for an unchanged text.
    ui_->Edit1->installEventFilter(
        new FocusLeaveWatcher(ui_->Edit1, [this] { engine_.titleFieldLeft(ui_->Edit1->text()); }));

    connect(ui_->ODButton, &QToolButton::clicked, this, &TWorkForm::calibrateCommand);

    connect(ui_->CheckBox4, &QCheckBox::toggled, this, [this] { readFormulaControls(); });
    connect(ui_->MaskEdit1, &QLineEdit::textChanged, this,
            [this](const QString& t) { engine_.setFullScaleText(t); });
    connect(ui_->LiveOnRadioB, &QRadioButton::toggled, this,
            [this](bool on) { engine_.setAnalogOutputLive(on); });

    connect(ui_->RadioButton27, &QRadioButton::toggled, this, [this](bool on) {
        ui_->ComboBox5->setEnabled(!on);
        ui_->Label59->setEnabled(on);
        if (on) {
            engine_.useDefaultInterval();
            ui_->Label59->setText(QString::number(engine_.interval()) + QStringLiteral(" Sec"));
        } else {
            engine_.chooseInterval(ui_->ComboBox5->currentText());
        }
    });
    connect(ui_->ComboBox5, &QComboBox::currentTextChanged, this,
            [this](const QString& entry) { engine_.chooseInterval(entry); });

    connect(ui_->CheckBox11, &QCheckBox::toggled, this,
            [this](bool on) { engine_.setRecordedQuantities(on, engine_.recordsCalcOd()); });
    connect(ui_->CheckBox1, &QCheckBox::toggled, this,
            [this](bool on) { engine_.setRecordedQuantities(engine_.recordsOd(), on); });
    connect(ui_->CheckBox_AutoS, &QCheckBox::clicked, this, [](bool on) {
        IniFile::getIniFile().writeInteger(IniFile::keys::AutoSave.section,
                                           IniFile::keys::AutoSave.key, on ? 1 : 0);
    });
    connect(ui_->CheckBox_AutoC, &QCheckBox::clicked, this, [](bool on) {
        IniFile::getIniFile().writeInteger(IniFile::keys::AutoConnect.section,
                                           IniFile::keys::AutoConnect.key, on ? 1 : 0);
    });

    connect(ui_->CheckBox19, &QCheckBox::toggled, this,
            [this](bool on) { engine_.setAlarmSwitch(on); });
    connect(ui_->ComboBox3, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int i) { engine_.setAlarmDirection(i == 0 ? ODAlarm::Below : ODAlarm::Above); });
    // A threshold being typed takes effect when the typing ends (Enter, or leaving the field):
    // half a number such as "1.2  " must not arm the alarm. The field's text as shown: with
    // its mask, text() drops the blanks of unfilled places, so "1. 5 " would read as 1.5
    // instead of 1.050.
    ui_->MaskEdit3->installEventFilter(new FocusLeaveWatcher(
        ui_->MaskEdit3,
        [this] {
            QLineEdit* field = ui_->MaskEdit3;
            if (!field->isModified())
                return;
            engine_.setAlarmThresholdText(ODAlarm::filledThresholdText(field->displayText()));
            field->setText(engine_.alarm().thresholdText);
        },
        true));
    const auto arrow = [this](bool up) {
        if (up)
            engine_.stepAlarmThreshold(true);
        else
            engine_.stepAlarmThreshold(false);
        ui_->MaskEdit3->setText(engine_.alarm().thresholdText);
    };
    connect(ui_->UpDown4Up, &QToolButton::clicked, this, [arrow] { arrow(true); });
    connect(ui_->UpDown4Down, &QToolButton::clicked, this, [arrow] { arrow(false); });
    for (QToolButton* b : {ui_->UpDown4Up, ui_->UpDown4Down})
        connect(b, &QToolButton::released, this, [this, b] {
            if (!b->isDown())
                engine_.releaseAlarmArrows();
        });

    connect(ui_->RadioButton1, &QRadioButton::toggled, this, [this] { setParameterChoice(); });

    connect(ui_->SpeedButton_Protocol, &QToolButton::clicked, this, [this] {
        if (others_.showProtocol)
            others_.showProtocol();
    });
    connect(ui_->ProtocollA1, &QAction::triggered, this, [this] {
        if (others_.showProtocol)
            others_.showProtocol();
    });
    connect(ui_->LogWindow1, &QAction::triggered, this, [this] {
        if (others_.showLog)
            others_.showLog();
    });
    connect(ui_->Settings1, &QAction::triggered, this, [this] {
        if (others_.showSettings)
            others_.showSettings();
    });
    connect(ui_->SpeedButton3, &QToolButton::clicked, this, [this] {
        if (others_.showTimerAlarm)
            others_.showTimerAlarm();
    });
    connect(ui_->NephodarHelp1, &QAction::triggered, this, [this] {
        if (others_.showHelp)
            others_.showHelp();
    });
    connect(ui_->About1, &QAction::triggered, this,
            [this] { prompts_.showInformation(QStringLiteral("About..."), aboutText()); });
    connect(ui_->ProgramInfo1, &QAction::triggered, this, [this] {
        prompts_.showInformation(QString::fromStdString(IniFile::programVersionText),
                                 programInfoText());
    });
}

void TWorkForm::bindEngine() {
    connect(&engine_, &MeasurementEngine::commandsChanged, this, &TWorkForm::applyCommands);
    connect(&engine_, &MeasurementEngine::sampleTaken, this, &TWorkForm::showSample);
    connect(&engine_, &MeasurementEngine::countdownChanged, this, [this](const QString& text) {
        ui_->Label45->setText(text);
        // The check fills the blanks of the threshold; the field shows that, unless the user
        // is typing in it.
        if (!ui_->MaskEdit3->isModified() &&
            ui_->MaskEdit3->displayText() != engine_.alarm().thresholdText)
            ui_->MaskEdit3->setText(engine_.alarm().thresholdText);
    });
    connect(&engine_, &MeasurementEngine::runningTimeChanged, ui_->Label3, &QLabel::setText);
    // A stopped run counts down to nothing.
    connect(&engine_, &MeasurementEngine::measurementEnded, ui_->Label45, &QLabel::clear);
    connect(&engine_, &MeasurementEngine::gaugeChanged, this, [this](int value, int maximum) {
        __lumo::ProgressInfoType info;
        info.current = value;
        info.total = static_cast<std::uint32_t>(std::max(0, maximum));
        gaugeSetter_->eventOccurred(info);
    });
    connect(&engine_, &MeasurementEngine::saveReportChanged, ui_->Label55, &QLabel::setText);
    connect(&engine_, &MeasurementEngine::savedNamesChanged, this, [this] {
        const auto shown = [](const QString& path) {
            return path.isEmpty() ? QStringLiteral("not saved yet") : path;
        };
        ui_->Edit4->setText(shown(engine_.savedNphPath()));
        ui_->Edit2->setText(shown(engine_.savedLogPath()));
        ui_->Edit13->setText(shown(engine_.savedTxtPath()));
        setWindowTitle(engine_.windowCaption());
    });
}

void TWorkForm::applyCommands() {
    const auto c = engine_.commands();
    ui_->StartButton->setEnabled(c.start);
    ui_->StartButton->setVisible(c.startVisible);
    ui_->Start2->setEnabled(c.start);
    ui_->StopButton->setEnabled(c.pause);
    ui_->Pause2->setEnabled(c.pause);
    ui_->ContinueButton->setEnabled(c.continueRun);
    ui_->ContinueButton->setVisible(c.continueVisible);
    ui_->Continue2->setEnabled(c.continueRun);
    ui_->EndButton->setEnabled(c.end);
    ui_->Stop2->setEnabled(c.end);
    ui_->Now1->setEnabled(c.now);
    ui_->Measurement2->setEnabled(c.measurementMenus);
    ui_->ODButton->setEnabled(c.calibrate);
    ui_->SaveAs->setEnabled(c.saveAs);
    ui_->Save->setEnabled(c.save);
    for (QWidget* field :
         {static_cast<QWidget*>(ui_->CheckBox4), static_cast<QWidget*>(ui_->ComboBox7),
          static_cast<QWidget*>(ui_->Edit25), static_cast<QWidget*>(ui_->Edit9),
          static_cast<QWidget*>(ui_->Edit23), static_cast<QWidget*>(ui_->Edit8),
          static_cast<QWidget*>(ui_->Edit24)})
        field->setEnabled(c.formulaEditable);
    ui_->Label28->setText(engine_.statusText());
    setColour(ui_->Label28, engine_.statusGreen() ? "green" : "red");
    ui_->Label5->setText(engine_.calibrationStatus());
}

void TWorkForm::showSample(const SampleReport& report) {
    ui_->Label32->setText(report.odText);
    setColour(ui_->Label32, report.odRed ? "red" : "blue");
    ui_->Label146->setText(report.calcOdText);
    setColour(ui_->Label146, report.calcOdRed ? "red" : report.calcOdGrey ? "grey" : "blue");
    ui_->LabelResult->setText(QString::number(report.analog.code));
    ui_->LabelMSByte->setText(QString::number(report.analog.highByte));
    ui_->LabelLSByte->setText(QString::number(report.analog.lowByte));
}

void TWorkForm::afterStart() {
    fillFormulaControls(); // Start filled the empty coefficients
    ui_->RadioButton1->setChecked(true);
    ui_->RadioButton9->setVisible(engine_.formula().enabled);
    ui_->RadioButton9->setText(engine_.formula().name);
    setColour(ui_->Label146, engine_.formula().enabled ? "black" : "grey");
    ui_->Label14->setText(DisplayFormats::longTimeText(engine_.startTime().time()));
    ui_->Label32->setText(QStringLiteral("0.000 "));
    setWindowTitle(engine_.windowCaption());
    showPage(Page::Chart);
}

void TWorkForm::setParameterChoice() {
    chartPage_->switchChartParameter(ui_->RadioButton1->isChecked() ? ChartParameter::OD
                                                                    : ChartParameter::CalcOD);
}

void TWorkForm::calibrateCommand() {
    ui_->Label5->setText(QStringLiteral("Dark Calibration"));
    ui_->Label5->repaint();
    try {
        const auto outcome = engine_.calibrate(calibrationProgress_.get());
        ui_->CalLabel12->setText(outcome.newReferenceText);
        ui_->Label8->setText(outcome.newDarkText);
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromUtf8(e.what()));
    }
    ui_->ProgressBar2->setValue(0);
    applyCommands();
}

void TWorkForm::fillFormulaControls() {
    const ODFormula& f = engine_.formula();
    const QSignalBlocker block(ui_->CheckBox4);
    ui_->CheckBox4->setChecked(f.enabled);
    ui_->Edit25->setText(f.name);
    ui_->Edit9->setText(f.a1);
    ui_->Edit23->setText(f.a2);
    ui_->Edit8->setText(f.a3);
    ui_->Edit24->setText(f.a4);
}

void TWorkForm::readFormulaControls() {
    ODFormula f = engine_.formula();
    f.enabled = ui_->CheckBox4->isChecked();
    f.name = ui_->Edit25->text();
    f.a1 = ui_->Edit9->text();
    f.a2 = ui_->Edit23->text();
    f.a3 = ui_->Edit8->text();
    f.a4 = ui_->Edit24->text();
    engine_.setFormula(f); // the controls are locked while a measurement runs
}

QString TWorkForm::aboutText() const {
    const QString user =
        others_.userName ? others_.userName() : profileText(IniFile::keys::User, "User");
    const QString company = others_.companyName ? others_.companyName()
                                                : profileText(IniFile::keys::Company, "Company");
    return QStringLiteral("Talvessa\nwww.talvessa.example\nGermany\n\n Ver. ") +
           QString::fromStdString(IniFile::programVersionText) +
           QStringLiteral("\n\n Registered for \n\n User:  ") + user +
           QStringLiteral("\n Company:  ") + company + QStringLiteral("\n\n Version ") +
           QLatin1String(Talvessa::programVersion);
}

QString TWorkForm::programInfoText() const {
    const QString directory = QDir::cleanPath(programDirectory_) + QLatin1Char('/');
    const QString own = others_.ownAutoSaveDirectory ? others_.ownAutoSaveDirectory()
                                                     : profileText(IniFile::keys::Dir, "Nothing");
    QString text = QStringLiteral("Program Path: \n") + directory +
                   QStringLiteral("\n AutoSavePath:\n") + directory +
                   QStringLiteral("AutoSave \n") + QStringLiteral("OwnAutoSave: \n") + own;
    text.replace(QStringLiteral("//"), QStringLiteral("/"));
    return text;
}

void TWorkForm::closeEvent(QCloseEvent* event) {
    const bool yes =
        engine_.isSaved()
            ? prompts_.askYesNo(QStringLiteral("Close Program?"))
            : prompts_.askWarningYesNoDefaultNo(QStringLiteral("Not Saved!\nReally Close?"));
    if (!yes) {
        event->ignore();
        return;
    }
    try {
        engine_.shutDown(); // no sample may land in the table once it is emptied
        engine_.table().empty();
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromUtf8(e.what()));
    }
    try {
        storeSettings();
    } catch (const std::exception& e) {
        prompts_.showError(QStringLiteral("The settings could not be stored in the profile; the "
                                          "next start uses the ones stored before.\n") +
                           QString::fromUtf8(e.what()));
    }
    closing_ = true;
    event->accept();
    QApplication::quit(); // the other windows close with the program
}
