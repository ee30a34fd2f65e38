// SPDX-License-Identifier: GPL-3.0-or-later
#include "TableExportFlow.h"

#include "MeasurementFiles.h"
#include "RecordRowReader.h"
#include "TableExport.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The export's name beside the measurement: its .nph replaced, as the .dat member of a saved
// set is named. A name without .nph gets the suffix added, so the proposal is never the
// measurement file itself.
QString proposedName(const QString& source, const QString& suffix) {
    const QString name =
        MeasurementFiles::replacedInFileName(source, QStringLiteral(".nph"), suffix);
    return name == source ? source + suffix : name;
}

QString directoryOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

} // namespace

TableExportFlow::TableExportFlow(UserPrompts& prompts, WorkbookOpener openWorkbook)
    : prompts_(prompts), openWorkbook_(std::move(openWorkbook)) {}

QString TableExportFlow::askMeasurementFile(UserPrompts& prompts) {
    return prompts.askOpenFileName(QStringLiteral("Load Brevimo Database"), QDir::homePath(),
                                   QStringLiteral("Talvessa|*.nph|ALL|*.*"));
}

QString TableExportFlow::askAsciiTarget(const QString& source) {
    return prompts_.askSaveFileName(QStringLiteral("Export Database to Ansi"), directoryOf(source),
                                    proposedName(source, QStringLiteral(".dat")),
                                    QStringLiteral("All|*.*"));
}

QString TableExportFlow::askWorkbookTarget(const QString& source) {
    return prompts_.askSaveFileName(QStringLiteral("Export Database to Excel"), directoryOf(source),
                                    proposedName(source, QStringLiteral(".xlsx")),
                                    QStringLiteral("Workbook|*.xlsx"));
}

bool TableExportFlow::failed(const std::exception& e) {
    prompts_.showMessage(QString::fromUtf8(e.what()));
    return false;
}

bool TableExportFlow::openWritten(const QString& workbook) {
    if (openWorkbook_ && !openWorkbook_(workbook))
        workbookNotOpened(workbook);
    return true;
}

void TableExportFlow::workbookNotOpened(const QString& workbook) {
    prompts_.showMessage(
        QStringLiteral("The workbook '%1' was written, but no spreadsheet program could "
                       "open it.")
            .arg(workbook));
}

bool TableExportFlow::exportOpenedAscii(const OpenedMeasurement& opened) {
    const QString target = askAsciiTarget(opened.chosenPath);
    if (target.isEmpty())
        return false;
    try {
        refuseOverwritingSource(opened.chosenPath, target);
        exportTableAscii(opened.rows, target, AsciiVariant::Viewer);
        return true;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

bool TableExportFlow::confirmAndExportOpenedExcel(const OpenedMeasurement& opened,
                                                  ExportProgressPanel& panel) {
    if (!prompts_.askYesNo(QStringLiteral("Export to Excel?")))
        return false;
    return exportOpenedExcel(opened, panel);
}

bool TableExportFlow::exportOpenedExcel(const OpenedMeasurement& opened,
                                        ExportProgressPanel& panel) {
    const QString target = askWorkbookTarget(opened.chosenPath);
    if (target.isEmpty())
        return false;
    try {
        refuseOverwritingSource(opened.chosenPath, target);
        panel.showPanel(QStringLiteral("Export to MicroSoft Excel"),
                        static_cast<int>(opened.rows.size()));
        try {
            exportTableExcel(opened.rows, target, [&panel](const ExcelProgress& progress) {
                panel.showProgress(progress.text, progress.position);
            });
        } catch (...) {
            panel.hidePanel();
            throw;
        }
        panel.hidePanel();
    } catch (const std::exception& e) {
        return failed(e);
    }
    return openWritten(target);
}

bool TableExportFlow::exportChosenAscii() {
    const QString source = askMeasurementFile(prompts_);
    if (source.isEmpty())
        return false;
    const QString target = askAsciiTarget(source);
    if (target.isEmpty())
        return false;
    try {
        exportTableAscii(source, target, AsciiVariant::FileMenu);
        return true;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

bool TableExportFlow::exportChosenExcel() {
    const QString source = askMeasurementFile(prompts_);
    if (source.isEmpty())
        return false;
    try {
        // An unreadable source is reported before a workbook name is asked for.
        [[maybe_unused]] const RecordRowReader check{source}; // throws what it cannot read
        const QString target = askWorkbookTarget(source);
        if (target.isEmpty())
            return false;
        exportTableExcel(source, target);
        return openWritten(target);
    } catch (const std::exception& e) {
        return failed(e);
    }
}
