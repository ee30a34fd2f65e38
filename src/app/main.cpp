// SPDX-License-Identifier: GPL-3.0-or-later
// Nephodar: the workstation's windows.
#include "CentredWindow.h"
#include "EventProcessingSleeper.h"
#include "LiveChart.h"
#include "QtTonePlayer.h"
#include "QtUserPrompts.h"
#include "ViewerPage.h"
#include "WindowSet.h"
#include "WorkstationPublishing.h"
#include "lumo/ProgramDirectory.h"
#include "lumo/Version.h"
#include "ui_TWorkForm.h"
#include "workstation/WorkingTableLock.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <qcustomplot.h>

namespace {

const char* const usage = R"(Usage: Nephodar [OPTION]... [FILE.nph]
The optical-density workstation. A FILE given alone is opened in the viewer page, as --view
does. It needs a graphical display; nephodar-cli measures and reads files from a terminal.

  --program-dir DIR   program directory: working table, templates, auto-save, pictures
                      (default: the environment variable NEPHODAR_PROGRAM_DIR, else
                      ~/.local/share/nephodar ($XDG_DATA_HOME/nephodar) for a program
                      installed under /usr, else the directory of this program)
  --device TYPE       add a connection type to the device list (Com3, Sim1, ...); may be
                      given more than once
  --connect           connect to the chosen device as soon as the window is ready
  --start             start a measurement right after connecting
  --title TEXT        title of that measurement
  --interval SECONDS  its time between samples in seconds (0.5 for a quick run)
  --view FILE.nph     open this saved measurement in the viewer page
  --screenshot FILE   save a picture of the main window after the number of samples given
                      with --screenshot-after (default 20), or once the file of --view is
                      shown, then end without questions; messages go to standard error,
                      and a file that cannot be viewed ends it with status 1
  -h, --help          show this text
  --version           show the program's version
)";

struct Options {
    QString programDirectory;
    QStringList devices;
    bool connectAtStart = false;
    bool startMeasurement = false;
    QString title;
    QString viewFile;
    double interval = -1;
    QString screenshot;
    int screenshotAfter = 20;
};

// Throws std::invalid_argument for anything it does not understand.
Options parse(const QStringList& arguments) {
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const auto value = [&]() -> QString {
            if (i + 1 >= arguments.size())
                throw std::invalid_argument((a + " needs a value").toStdString());
            return arguments[++i];
        };
        if (a == "--program-dir")
            options.programDirectory = value();
        else if (a == "--device")
            options.devices << value();
        else if (a == "--connect")
            options.connectAtStart = true;
        else if (a == "--start")
            options.connectAtStart = options.startMeasurement = true;
        else if (a == "--title")
            options.title = value();
        else if (a == "--interval") {
            bool number = false;
            options.interval = value().toDouble(&number);
            if (!number || options.interval < 0 || options.interval > 86400)
                throw std::invalid_argument("--interval takes seconds from 0 to 86400");
        } else if (a == "--view")
            options.viewFile = value();
        else if (a == "--screenshot")
            options.screenshot = value();
        else if (a == "--screenshot-after")
            options.screenshotAfter = std::max(1, value().toInt());
        else if (!a.startsWith(QLatin1Char('-')) && options.viewFile.isEmpty())
            options.viewFile = a; // how the desktop opens a file with the program
        else if (!a.startsWith(QLatin1Char('-')))
            throw std::invalid_argument("one file at a time, not '" + a.toStdString() + "' too");
        else
            throw std::invalid_argument(("unknown option '" + a + "'").toStdString());
    }
    return options;
}

void fail(const QString& text) {
    std::cerr << text.toStdString() << std::endl;
    // Nobody could see, let alone close, a box on the offscreen platform.
    if (QGuiApplication::primaryScreen() &&
        QGuiApplication::platformName() != QLatin1String("offscreen"))
        QMessageBox::critical(nullptr, QStringLiteral("Nephodar"), text);
}

// Qt ends the process with an abort when it cannot open the display. Until the application
// object stands, its platform's complaints are kept as the reason, and its fatal one becomes
// a plain message and status 1.
QString& displayTrouble() {
    static QString reason;
    return reason;
}

void watchDisplayOpening(QtMsgType type, const QMessageLogContext& context,
                         const QString& message) {
    if (type == QtFatalMsg) {
        std::cerr << "Nephodar needs a graphical display; use nephodar-cli to measure or read "
                     "files from a terminal ('nephodar-cli --help' lists its commands).\n";
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            std::cerr << "No display is set: DISPLAY and WAYLAND_DISPLAY are empty.\n";
        else if (!displayTrouble().isEmpty())
            std::cerr << "The display could not be opened: " << displayTrouble().toStdString()
                      << "\n";
        std::cerr.flush();
        std::_Exit(1);
    }
    if (context.category && std::strncmp(context.category, "qt.qpa", 6) == 0) {
        if (displayTrouble().isEmpty())
            displayTrouble() = message;
        return;
    }
    std::cerr << qPrintable(qFormatLogMessage(type, context, message)) << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails the write (EFBIG) as a full disk does, which every writer
    // handles, instead of ending the process mid-run without its End and its save.
    std::signal(SIGXFSZ, SIG_IGN);
    // Answered before the display is opened, so that they work without one.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << usage;
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "Nephodar " << Talvessa::programVersion << std::endl;
            return 0;
        }
    }
    // Read before the application object: it takes X11 options such as -title for itself.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Options options;
    try {
        options = parse(arguments);
    } catch (const std::invalid_argument& e) {
        std::cerr << "Nephodar: " << e.what() << "\nTry 'Nephodar --help'." << std::endl;
        return 2;
    }
    QCoreApplication::setApplicationName(QStringLiteral("Nephodar"));
    const QtMessageHandler usualHandler = qInstallMessageHandler(watchDisplayOpening);
    QApplication application(argc, argv);
    qInstallMessageHandler(usualHandler);
    if (!displayTrouble().isEmpty())
        std::cerr << displayTrouble().toStdString() << std::endl;
    QGuiApplication::setDesktopFileName(QStringLiteral("org.talvessa.Nephodar"));
    if (!options.programDirectory.isEmpty())
        Talvessa::setProgramDirectory(options.programDirectory.toStdString());
    const QString programDirectory = QString::fromStdString(Talvessa::getProgramDirectory());
    QApplication::setWindowIcon(QIcon(programDirectory + QStringLiteral("/nephodar.png")));

    try {
        // Held from here to the end: the window empties the table at Start and at close, so a
        // second program must not run on it meanwhile. Nothing is written before this.
        const auto tableHold = WorkingTableLock::acquire(programDirectory);
        QtUserPrompts prompts;
        prompts.setUnattended(!options.screenshot.isEmpty());
        QtTonePlayer tones;
        SystemClock clock;
        MeasurementEngine engine(programDirectory, clock, tones, prompts);
        WindowSet windows(engine, prompts, tones, programDirectory, options.devices);
        TWorkForm& main = windows.mainWindow();
        prompts.setParent(&main);
        prompts.setDeviceNotice([&windows](const QString& text, bool trouble) {
            windows.showDeviceNotice(text, trouble);
        });
        fitOnScreen(main, main.size());
        main.show();
        EventProcessingSleeper startupPauses;
        if (!main.initialise(startupPauses)) {
            std::cerr << main.startupError().toStdString() << std::endl;
            return 1;
        }

        auto& ui = main.form();
        WorkstationPublishing publishing(engine, windows.timerCountdown(), main, prompts,
                                         programDirectory, ui.ComboBox6->currentText());
        QObject::connect(ui.ComboBox6, &QComboBox::currentTextChanged, &main,
                         [&publishing](const QString& device) { publishing.setDevice(device); });
        // The status page, when the profile asks for it; a failure is said in its window and
        // in the log, and the measurement runs on.
        windows.webStatus().startFromProfile();
        if (!windows.webStatus().server().isRunning() &&
            windows.webStatus().statusText().startsWith(QStringLiteral("Can't")))
            std::cerr << windows.webStatus().statusText().toStdString() << std::endl;
        if (options.interval >= 0)
            engine.setInterval(options.interval);
        if (!options.title.isEmpty())
            ui.Edit1->setText(options.title);
        if (!options.devices.isEmpty())
            ui.ComboBox6->setCurrentText(options.devices.first());
        if (options.connectAtStart && !engine.source())
            main.connectCommand();
        if (options.startMeasurement && engine.source())
            ui.StartButton->click();
        const auto takeScreenshot = [&] {
            main.grab().save(options.screenshot);
            engine.shutDown();
            QApplication::exit(0);
        };
        if (!options.viewFile.isEmpty()) {
            main.showPage(TWorkForm::Page::Viewer);
            const bool opened = main.viewer().openFile(options.viewFile);
            if (!opened && !options.screenshot.isEmpty()) {
                engine.shutDown();
                return 1; // its reason is on standard error
            }
            // Once the page has had its layout and a paint, as a user sees it.
            if (opened && !options.screenshot.isEmpty())
                QTimer::singleShot(500, &main, takeScreenshot);
        } else if (!options.screenshot.isEmpty()) {
            // Taken in the countdown after the sample, with the chart drawn and the commands
            // available again, as a user sees it.
            QObject::connect(&engine, &MeasurementEngine::countdownChanged, &main, [&] {
                if (engine.sampleNumber() < options.screenshotAfter)
                    return;
                main.chart().plot()->replot();
                takeScreenshot();
            });
        }
        return application.exec();
    } catch (const std::exception& e) {
        fail(QStringLiteral("Nephodar cannot go on:\n") + QString::fromUtf8(e.what()));
        return 1;
    }
}
