// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EngineEnvironment.h"
#include "OpenedMeasurement.h"

#include <QString>
#include <functional>

// The progress panel shown over the viewer chart during its spreadsheet export: Panel3 with the
// caption Label21, the progress text Label20 and the bar ProgressBar1.
class ExportProgressPanel {
public:
    virtual ~ExportProgressPanel() = default;
    // Shows the panel; the bar's maximum and its step become maximum.
    virtual void showPanel(const QString& caption, int maximum) = 0;
    // Label20 and the bar, redrawn at once.
    virtual void showProgress(const QString& text, int position) = 0;
    virtual void hidePanel() = 0;
};

// The export commands of the viewer and of File > Export Database, with their dialogs and
// messages. Every command returns true when it wrote its file; a failure is shown to the user
// and returns false, a cancelled dialog returns false silently.
class TableExportFlow {
public:
    // Opens a written workbook in the desktop's spreadsheet program; false when none could.
    using WorkbookOpener = std::function<bool(const QString& path)>;

    TableExportFlow(UserPrompts& prompts, WorkbookOpener openWorkbook);

    // Viewer "ASCII" button and pop-up "Export opened File to ASCII".
    bool exportOpenedAscii(const OpenedMeasurement& opened);
    // Viewer "Excel" button: asks "Export to Excel?" first.
    bool confirmAndExportOpenedExcel(const OpenedMeasurement& opened, ExportProgressPanel& panel);
    // Viewer pop-up "Export opened File to Excel", without asking.
    bool exportOpenedExcel(const OpenedMeasurement& opened, ExportProgressPanel& panel);
    // File > Export Database > "to ASCII" and "to Excel": a measurement file is chosen first.
    bool exportChosenAscii();
    bool exportChosenExcel();

    // The workbook was written, but no program opened it (learnt after the opener's return).
    void workbookNotOpened(const QString& workbook);

    // The viewer's open dialog for a measurement file; empty when cancelled.
    static QString askMeasurementFile(UserPrompts& prompts);

private:
    QString askAsciiTarget(const QString& source);
    QString askWorkbookTarget(const QString& source);
    bool openWritten(const QString& workbook);
    bool failed(const std::exception& e);

    UserPrompts& prompts_;
    WorkbookOpener openWorkbook_;
};
