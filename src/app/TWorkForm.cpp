// SPDX-License-Identifier: GPL-3.0-or-later
#include "TWorkForm.h"

#include "ChartPage.h"
#include "ExportPanel.h"
#include "FocusLeaveWatcher.h"
#include "LiveChart.h"
#include "ReportPrinting.h"
#include "TStart.h"
#include "ViewerPage.h"
#include "com/ODSourceSimulated.h"
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
#include <QDesktopServices>
#include <QDir>
#include <QIcon>
#include <QPixmap>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QUrl>
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
    : QMainWindow(parent), engine(engine), prompts(prompts), programDirectory(programDirectory),
      extraDevices(extraDevices), ui(new Ui::TWorkForm) {
    ui->setupUi(this);
    liveChart = new LiveChart(engine.table(), ui->ChartArea);
    ui->ChartArea->layout()->addWidget(liveChart);
    chartPage = new ChartPage(ChartPageWidgets::from(*ui), *liveChart, engine, prompts, this);
    viewerPage = new ViewerPage(ViewerPageWidgets::from(*ui), engine, prompts, this);
    exportFlow = std::make_unique<TableExportFlow>(prompts, [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    });
    exportPanel =
        std::make_unique<ExportPanel>(ui->Panel3, ui->Label21, ui->Label20, ui->ProgressBar1);
    desktopPrintDialogs = std::make_unique<QtPrintDialogs>();
    printing = std::make_unique<ReportPrinting>(*desktopPrintDialogs, prompts);
    // The hidden option tabs keep their controls; they are only not offered.
    for (QWidget* tab : {ui->TabSheet_Record, ui->TabSheet_Misc})
        ui->PageControl_Options->setTabVisible(ui->PageControl_Options->indexOf(tab), false);
    const auto coefficientValidator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.\\-]*")), this);
    for (QLineEdit* field : {ui->Edit9, ui->Edit23, ui->Edit8, ui->Edit24})
        field->setValidator(coefficientValidator);
    calibrationProgress = std::make_unique<Talvessa::ProgressBarSetter>(ui->ProgressBar2);
    gaugeSetter = std::make_unique<Talvessa::TCGaugeSetter>(ui->CGauge1);
    bindControls();
    bindEngine();
    engine.setTitle(ui->Edit1->text()); // the field's first text is the first title
}

TWorkForm::~TWorkForm() {
    // A window that goes without being closed (the program ended otherwise) still keeps its
    // formula; closing stored it already and said so when that failed.
    if (!closing) {
        try {
            storeSettings();
        } catch (const std::exception&) {
            // Nobody is left to tell.
        }
    }
    // The pages point at the form's widgets; a widget's last events as the widgets go (the
    // note field passes the chart page's filter) must not reach them.
    delete chartPage;
    delete viewerPage;
}

// What the window keeps in the profile at the end: the formula.
void TWorkForm::storeSettings() {
    if (!IniFile::hasIniFile())
        return;
    readFormulaControls();
    engine.formula().storeToProfile();
}

void TWorkForm::setCollaborators(Collaborators collaborators) {
    others = std::move(collaborators);
}

void TWorkForm::setPrintDialogs(PrintDialogs& dialogs) {
    printing = std::make_unique<ReportPrinting>(dialogs, prompts);
}

bool TWorkForm::initialise(__lumo::Sleeper& sleeper) {
    __lumo::ProgressEventCaller progress;
    if (others.splash)
        progress.addListener(&others.splash->progressListener());
    __lumo::ProgressInfoType info;
    info.total = startupSteps;
    const auto step = [&](int k) {
        info.current = k;
        progress.fireEvent(info);
        sleeper.sleepMilliseconds(startupPauseMilliseconds);
    };

    step(1);
    if (others.splash) {
        others.splash->show();
        others.splash->repaint();
    }
    QString profile = QStringLiteral("Default");
    try {
        IniFile::openProfile("Default", "Nephodar", "Talvessa");
    } catch (const std::exception&) {
        const auto chosen = others.chooseProfile ? others.chooseProfile() : std::nullopt;
        profile = chosen.value_or(QString());
        try {
            IniFile::openProfile(profile.toStdString(), "Nephodar", "Talvessa");
        } catch (const std::exception& e) {
            lastStartupError = QStringLiteral("Error while open profile '") + profile +
                               QStringLiteral("'.\n") + QString::fromUtf8(e.what());
            prompts.showError(lastStartupError);
            if (others.splash)
                others.splash->hide();
            return false;
        }
    }

    if (others.profileOpened)
        others.profileOpened();

    step(2);
    if (others.splash)
        others.splash->showUser(profileText(IniFile::keys::User, "User"),
                                profileText(IniFile::keys::Company, "Company"));

    step(3);
    liveChart->setTitleLine(QStringLiteral("OD ") + profileText(IniFile::keys::LED, "OD []"));

    step(4);
    loadButtonImages();

    step(5);
    setWindowTitle(QString::fromStdString(IniFile::programVersionText));
    ui->MaskEdit1->setText(QStringLiteral("10.0"));
    ui->LiveOnRadioB->setChecked(true);
    engine.setInterval(30);
    ui->ComboBox5->setCurrentText(QStringLiteral("30 Sec"));
    ui->ComboBox3->setCurrentIndex(ODAlarm::Above);

    step(6);
    fillDeviceList();

    step(7);
    engine.setQuality(IniFile::quality);
    applyCommands();

    step(8);
    ui->CGauge1->setMaximum(engine.quality() - 1);
    ui->GroupBox9->hide();
    ui->ODButton->setEnabled(false);

    step(9);
    ui->Label59->setText(QString::number(engine.interval()) + QStringLiteral(" Sec"));
    ui->RadioButton1->setChecked(true);

    step(10);
    step(11);
    showPage(Page::Chart);

    step(12);
    step(13);
    engine.setFormula(ODFormula::loadFromProfile());
    fillFormulaControls();

    step(14);
    ui->Label22->clear();
    ui->SpeedButton4->hide();

    step(15);
    ui->GroupBox2->hide();
    ui->GroupBox10->hide();
    ui->CheckBox3->setChecked(false);

    step(16);
    const QString port = profileText(IniFile::keys::ComPort, "Com1");
    if (ui->ComboBox6->findText(port) >= 0)
        ui->ComboBox6->setCurrentText(port);
    ui->CheckBox_AutoS->setChecked(profileInteger(IniFile::keys::AutoSave, 0) == 1);
    ui->CheckBox_AutoC->setChecked(profileInteger(IniFile::keys::AutoConnect, 0) == 1);
    if (profileInteger(IniFile::keys::AutoConnect, 0) == 1)
        connectCommand();

    step(17);
    if (others.splash)
        others.splash->hide();
    return true;
}

void TWorkForm::loadButtonImages() {
    for (const auto& page : pageButtons) {
        const QString file =
            QDir(programDirectory).filePath(QStringLiteral("buttons/%1.bmp").arg(page.image));
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
            QDir(programDirectory)
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
    for (const auto& type : extraDevices)
        addDevice(type);
    const QString current = ui->ComboBox6->currentText();
    ui->ComboBox6->clear();
    ui->ComboBox6->addItems(devices);
    ui->ComboBox6->setCurrentText(devices.contains(current) ? current : devices.first());
    ui->ComboBox6->setEnabled(devices.size() > 1);
}

void TWorkForm::connectCommand() {
    connected = false;
    const QString device = ui->ComboBox6->currentText();
    try {
        engine.connectSource(device);
    } catch (const std::exception& e) {
        prompts.showMessage(QStringLiteral("Can't connect to ") + device + QStringLiteral("\n") +
                            QString::fromUtf8(e.what()));
        return;
    }
    ui->Panel_Welcome->hide();
    ui->Panel_Top_Normal->show();
    ui->Connect1->setEnabled(false);
    connected = true;
    applyCommands();
}

void TWorkForm::showPage(Page page) {
    QToolButton* buttons[] = {ui->ChartSpeedButton, ui->CalibrationSpeedButton,
                              ui->OptionsSpeedButton, ui->ViewSpeedButton22};
    QGroupBox* pages[] = {ui->GroupBox_Chart, ui->GroupBox_Calibration, ui->GroupBox_Options,
                          ui->GroupBox_Viewer};
    const int index = static_cast<int>(page);
    setPageButtonImages(buttons[index]);
    for (int i = 0; i < 4; ++i)
        pages[i]->setVisible(i == index);
    if (page == Page::Viewer)
        viewerPage->pageShown();
    if (page == Page::Calibration && IniFile::hasIniFile()) {
        ui->Label24->setText(Calibration::lastReferenceText());
        ui->Label9->setText(Calibration::lastDarkText());
    }
}

void TWorkForm::bindControls() {
    const auto page = [this](Page p) { return [this, p] { showPage(p); }; };
    connect(ui->ChartSpeedButton, &QToolButton::clicked, this, page(Page::Chart));
    connect(ui->CalibrationSpeedButton, &QToolButton::clicked, this, page(Page::Calibration));
    connect(ui->OptionsSpeedButton, &QToolButton::clicked, this, page(Page::Options));
    connect(ui->ViewSpeedButton22, &QToolButton::clicked, this, page(Page::Viewer));
    connect(ui->Chart1, &QAction::triggered, this, page(Page::Chart));
    connect(ui->Calibration1, &QAction::triggered, this, page(Page::Calibration));
    connect(ui->Options1, &QAction::triggered, this, page(Page::Options));
    connect(ui->Viewer1, &QAction::triggered, this, page(Page::Viewer));
    connect(ui->ExitSpeedButton, &QToolButton::clicked, this, [this] {
        setPageButtonImages(ui->ExitSpeedButton);
        close();
    });
    connect(ui->Exit1, &QAction::triggered, this, &QWidget::close);
    connect(ui->Print4, &QAction::triggered, this,
            [this] { printing->printChart(*liveChart->plot(), this); });
    connect(ui->PrinterSettings1, &QAction::triggered, this,
            [this] { printing->printerSettings(this); });
    connect(chartPage, &ChartPage::printRequested, this,
            [this] { printing->printChart(*liveChart->plot(), this); });
    connect(viewerPage, &ViewerPage::printRequested, this,
            [this] { printing->printChart(*viewerPage->chart(), this); });
    connect(viewerPage, &ViewerPage::reportRequested, this, [this] {
        if (!viewerPage->opened())
            return;
        ReportInput input{*viewerPage->opened(), ui->RichEdit4->toPlainText(),
                          ui->RichEdit5->toPlainText(), viewerPage->flatTest(),
                          QDateTime::currentDateTime()};
        printing->previewReport(input, this);
    });
    connect(ui->toASCII1, &QAction::triggered, this, [this] { exportFlow->exportChosenAscii(); });
    connect(ui->toExcel1, &QAction::triggered, this, [this] { exportFlow->exportChosenExcel(); });
    connect(viewerPage, &ViewerPage::asciiRequested, this, [this] {
        if (viewerPage->opened())
            exportFlow->exportOpenedAscii(*viewerPage->opened());
    });
    connect(viewerPage, &ViewerPage::excelRequested, this, [this](bool ask) {
        if (!viewerPage->opened())
            return;
        if (ask)
            exportFlow->confirmAndExportOpenedExcel(*viewerPage->opened(), *exportPanel);
        else
            exportFlow->exportOpenedExcel(*viewerPage->opened(), *exportPanel);
    });
    connect(ui->Open1, &QAction::triggered, this, [this] {
        showPage(Page::Viewer);
        viewerPage->openMeasurement();
    });
    ui->Print4->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+P")), QKeySequence(QStringLiteral("Ctrl+L"))});
    auto* closeKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+C")), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);

    connect(ui->SpeedButton22, &QToolButton::clicked, this, &TWorkForm::connectCommand);
    connect(ui->Connect1, &QAction::triggered, this, &TWorkForm::connectCommand);

    const auto start = [this] {
        readFormulaControls();
        if (engine.start())
            afterStart();
    };
    connect(ui->StartButton, &QToolButton::clicked, this, start);
    connect(ui->Start2, &QAction::triggered, this, start);
    connect(ui->StopButton, &QToolButton::clicked, &engine, &MeasurementEngine::pause);
    connect(ui->Pause2, &QAction::triggered, &engine, &MeasurementEngine::pause);
    connect(ui->ContinueButton, &QToolButton::clicked, &engine, &MeasurementEngine::continueRun);
    connect(ui->Continue2, &QAction::triggered, &engine, &MeasurementEngine::continueRun);
    connect(ui->EndButton, &QToolButton::clicked, &engine, &MeasurementEngine::end);
    connect(ui->Stop2, &QAction::triggered, &engine, &MeasurementEngine::end);
    connect(ui->Now1, &QAction::triggered, &engine, &MeasurementEngine::measureNow);
    connect(ui->SaveAs, &QAction::triggered, &engine, [this] { engine.saveAs(); });
    connect(ui->Save, &QAction::triggered, &engine, [this] { engine.save(); });

    connect(ui->Edit1, &QLineEdit::textChanged, this,
            [this](const QString& t) { engine.setTitle(t); });
    connect(ui->Edit1, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
    // Leaving the field is protocolled whether or not the text changed; editingFinished would
    // stay silent for an unchanged text.
    ui->Edit1->installEventFilter(
        new FocusLeaveWatcher(ui->Edit1, [this] { engine.titleFieldLeft(ui->Edit1->text()); }));

    connect(ui->ODButton, &QToolButton::clicked, this, &TWorkForm::calibrateCommand);

    connect(ui->CheckBox4, &QCheckBox::toggled, this, [this] { readFormulaControls(); });
    connect(ui->MaskEdit1, &QLineEdit::textChanged, this,
            [this](const QString& t) { engine.setFullScaleText(t); });
    connect(ui->LiveOnRadioB, &QRadioButton::toggled, this,
            [this](bool on) { engine.setAnalogOutputLive(on); });

    connect(ui->RadioButton27, &QRadioButton::toggled, this, [this](bool on) {
        ui->ComboBox5->setEnabled(!on);
        ui->Label59->setEnabled(on);
        if (on) {
            engine.useDefaultInterval();
            ui->Label59->setText(QString::number(engine.interval()) + QStringLiteral(" Sec"));
        } else {
            engine.chooseInterval(ui->ComboBox5->currentText());
        }
    });
    connect(ui->ComboBox5, &QComboBox::currentTextChanged, this,
            [this](const QString& entry) { engine.chooseInterval(entry); });

    connect(ui->CheckBox11, &QCheckBox::toggled, this,
            [this](bool on) { engine.setRecordedQuantities(on, engine.recordsCalcOd()); });
    connect(ui->CheckBox1, &QCheckBox::toggled, this,
            [this](bool on) { engine.setRecordedQuantities(engine.recordsOd(), on); });
    connect(ui->CheckBox_AutoS, &QCheckBox::clicked, this, [](bool on) {
        IniFile::getIniFile().writeInteger(IniFile::keys::AutoSave.section,
                                           IniFile::keys::AutoSave.key, on ? 1 : 0);
    });
    connect(ui->CheckBox_AutoC, &QCheckBox::clicked, this, [](bool on) {
        IniFile::getIniFile().writeInteger(IniFile::keys::AutoConnect.section,
                                           IniFile::keys::AutoConnect.key, on ? 1 : 0);
    });

    connect(ui->CheckBox19, &QCheckBox::toggled, this,
            [this](bool on) { engine.setAlarmSwitch(on); });
    connect(ui->ComboBox3, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int i) { engine.setAlarmDirection(i == 0 ? ODAlarm::Below : ODAlarm::Above); });
    // The field's text as shown: with its mask, text() drops the blanks of unfilled places,
    // so "1. 5 " would read as 1.5 instead of 1.050.
    connect(ui->MaskEdit3, &QLineEdit::textEdited, this,
            [this] { engine.setAlarmThresholdText(ui->MaskEdit3->displayText()); });
    const auto arrow = [this](bool up) {
        if (up)
            engine.stepAlarmThreshold(true);
        else
            engine.stepAlarmThreshold(false);
        ui->MaskEdit3->setText(engine.alarm().thresholdText);
    };
    connect(ui->UpDown4Up, &QToolButton::clicked, this, [arrow] { arrow(true); });
    connect(ui->UpDown4Down, &QToolButton::clicked, this, [arrow] { arrow(false); });
    for (QToolButton* b : {ui->UpDown4Up, ui->UpDown4Down})
        connect(b, &QToolButton::released, this, [this, b] {
            if (!b->isDown())
                engine.releaseAlarmArrows();
        });

    connect(ui->RadioButton1, &QRadioButton::toggled, this, [this] { setParameterChoice(); });

    connect(ui->SpeedButton_Protocol, &QToolButton::clicked, this, [this] {
        if (others.showProtocol)
            others.showProtocol();
    });
    connect(ui->ProtocollA1, &QAction::triggered, this, [this] {
        if (others.showProtocol)
            others.showProtocol();
    });
    connect(ui->LogWindow1, &QAction::triggered, this, [this] {
        if (others.showLog)
            others.showLog();
    });
    connect(ui->Settings1, &QAction::triggered, this, [this] {
        if (others.showSettings)
            others.showSettings();
    });
    connect(ui->SpeedButton3, &QToolButton::clicked, this, [this] {
        if (others.showTimerAlarm)
            others.showTimerAlarm();
    });
    connect(ui->NephodarHelp1, &QAction::triggered, this, [this] {
        if (others.showHelp)
            others.showHelp();
    });
    connect(ui->About1, &QAction::triggered, this,
            [this] { prompts.showInformation(QStringLiteral("About..."), aboutText()); });
    connect(ui->ProgramInfo1, &QAction::triggered, this, [this] {
        prompts.showInformation(QString::fromStdString(IniFile::programVersionText),
                                programInfoText());
    });
}

void TWorkForm::bindEngine() {
    connect(&engine, &MeasurementEngine::commandsChanged, this, &TWorkForm::applyCommands);
    connect(&engine, &MeasurementEngine::sampleTaken, this, &TWorkForm::showSample);
    connect(&engine, &MeasurementEngine::countdownChanged, this, [this](const QString& text) {
        ui->Label45->setText(text);
        if (ui->MaskEdit3->displayText() != engine.alarm().thresholdText)
            ui->MaskEdit3->setText(engine.alarm().thresholdText);
    });
    connect(&engine, &MeasurementEngine::runningTimeChanged, ui->Label3, &QLabel::setText);
    connect(&engine, &MeasurementEngine::gaugeChanged, this, [this](int value, int maximum) {
        __lumo::ProgressInfoType info;
        info.current = value;
        info.total = static_cast<std::uint32_t>(std::max(0, maximum));
        gaugeSetter->eventOccurred(info);
    });
    connect(&engine, &MeasurementEngine::saveReportChanged, ui->Label55, &QLabel::setText);
    connect(&engine, &MeasurementEngine::saveReportChanged, this, [this] {
        const auto shown = [](const QString& path) {
            return path.isEmpty() ? QStringLiteral("not saved yet") : path;
        };
        ui->Edit4->setText(shown(engine.savedNphPath()));
        ui->Edit2->setText(shown(engine.savedLogPath()));
        ui->Edit13->setText(shown(engine.savedTxtPath()));
        setWindowTitle(engine.windowCaption());
    });
}

void TWorkForm::applyCommands() {
    const auto c = engine.commands();
    ui->StartButton->setEnabled(c.start);
    ui->StartButton->setVisible(c.startVisible);
    ui->Start2->setEnabled(c.start);
    ui->StopButton->setEnabled(c.pause);
    ui->Pause2->setEnabled(c.pause);
    ui->ContinueButton->setEnabled(c.continueRun);
    ui->ContinueButton->setVisible(c.continueVisible);
    ui->Continue2->setEnabled(c.continueRun);
    ui->EndButton->setEnabled(c.end);
    ui->Stop2->setEnabled(c.end);
    ui->Now1->setEnabled(c.now);
    ui->Measurement2->setEnabled(c.measurementMenus);
    ui->ODButton->setEnabled(c.calibrate);
    ui->SaveAs->setEnabled(c.saveAs);
    ui->Save->setEnabled(c.save);
    for (QWidget* field : {static_cast<QWidget*>(ui->CheckBox4),
                           static_cast<QWidget*>(ui->ComboBox7), static_cast<QWidget*>(ui->Edit25),
                           static_cast<QWidget*>(ui->Edit9), static_cast<QWidget*>(ui->Edit23),
                           static_cast<QWidget*>(ui->Edit8), static_cast<QWidget*>(ui->Edit24)})
        field->setEnabled(c.formulaEditable);
    ui->Label28->setText(engine.statusText());
    setColour(ui->Label28, engine.statusGreen() ? "green" : "red");
    ui->Label5->setText(engine.calibrationStatus());
}

void TWorkForm::showSample(const SampleReport& report) {
    ui->Label32->setText(report.odText);
    setColour(ui->Label32, report.odRed ? "red" : "blue");
    ui->Label146->setText(report.calcOdText);
    setColour(ui->Label146, report.calcOdRed ? "red" : report.calcOdGrey ? "grey" : "blue");
    ui->LabelResult->setText(QString::number(report.analog.code));
    ui->LabelMSByte->setText(QString::number(report.analog.highByte));
    ui->LabelLSByte->setText(QString::number(report.analog.lowByte));
}

void TWorkForm::afterStart() {
    fillFormulaControls(); // Start filled the empty coefficients
    ui->RadioButton1->setChecked(true);
    ui->RadioButton9->setVisible(engine.formula().enabled);
    ui->RadioButton9->setText(engine.formula().name);
    setColour(ui->Label146, engine.formula().enabled ? "black" : "grey");
    ui->Label14->setText(DisplayFormats::longTimeText(engine.startTime().time()));
    ui->Label32->setText(QStringLiteral("0.000 "));
    setWindowTitle(engine.windowCaption());
    showPage(Page::Chart);
}

void TWorkForm::setParameterChoice() {
    chartPage->switchChartParameter(ui->RadioButton1->isChecked() ? ChartParameter::OD
                                                                  : ChartParameter::CalcOD);
}

void TWorkForm::calibrateCommand() {
    ui->Label5->setText(QStringLiteral("Dark Calibration"));
    ui->Label5->repaint();
    try {
        const auto outcome = engine.calibrate(calibrationProgress.get());
        ui->CalLabel12->setText(outcome.newReferenceText);
        ui->Label8->setText(outcome.newDarkText);
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromUtf8(e.what()));
    }
    ui->ProgressBar2->setValue(0);
    applyCommands();
}

void TWorkForm::fillFormulaControls() {
    const ODFormula& f = engine.formula();
    const QSignalBlocker block(ui->CheckBox4);
    ui->CheckBox4->setChecked(f.enabled);
    ui->Edit25->setText(f.name);
    ui->Edit9->setText(f.a1);
    ui->Edit23->setText(f.a2);
    ui->Edit8->setText(f.a3);
    ui->Edit24->setText(f.a4);
}

void TWorkForm::readFormulaControls() {
    ODFormula f = engine.formula();
    f.enabled = ui->CheckBox4->isChecked();
    f.name = ui->Edit25->text();
    f.a1 = ui->Edit9->text();
    f.a2 = ui->Edit23->text();
    f.a3 = ui->Edit8->text();
    f.a4 = ui->Edit24->text();
    engine.setFormula(f); // the controls are locked while a measurement runs
}

QString TWorkForm::aboutText() const {
    const QString user =
        others.userName ? others.userName() : profileText(IniFile::keys::User, "User");
    const QString company =
        others.companyName ? others.companyName() : profileText(IniFile::keys::Company, "Company");
    return QStringLiteral("Talvessa\nwww.talvessa.example\nGermany\n\n Ver. ") +
           QString::fromStdString(IniFile::programVersionText) +
           QStringLiteral("\n\n Registered for \n\n User:  ") + user +
           QStringLiteral("\n Company:  ") + company;
}

QString TWorkForm::programInfoText() const {
    const QString directory = QDir::cleanPath(programDirectory) + QLatin1Char('/');
    const QString own = others.ownAutoSaveDirectory ? others.ownAutoSaveDirectory()
                                                    : profileText(IniFile::keys::Dir, "Nothing");
    QString text = QStringLiteral("Program Path: \n") + directory +
                   QStringLiteral("\n AutoSavePath:\n") + directory +
                   QStringLiteral("AutoSave \n") + QStringLiteral("OwnAutoSave: \n") + own;
    text.replace(QStringLiteral("//"), QStringLiteral("/"));
    return text;
}

void TWorkForm::closeEvent(QCloseEvent* event) {
    const bool yes = engine.isSaved()
                         ? prompts.askYesNo(QStringLiteral("Close Program?"))
                         : prompts.askWarningYesNo(QStringLiteral("Not Saved!\nReally Close?"));
    if (!yes) {
        event->ignore();
        return;
    }
    try {
        engine.shutDown(); // no sample may land in the table once it is emptied
        engine.table().empty();
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromUtf8(e.what()));
    }
    try {
        storeSettings();
    } catch (const std::exception& e) {
        prompts.showError(QStringLiteral("The settings could not be stored in the profile; the "
                                         "next start uses the ones stored before.\n") +
                          QString::fromUtf8(e.what()));
    }
    closing = true;
    event->accept();
    QApplication::quit(); // the other windows close with the program
}
