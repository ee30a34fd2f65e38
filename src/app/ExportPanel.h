// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/TableExportFlow.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

// The viewer's progress panel (Panel3) during a spreadsheet export, redrawn at every step: the
// export runs on the user-interface thread.
class ExportPanel : public ExportProgressPanel {
public:
    ExportPanel(QWidget* panel, QLabel* caption, QLabel* text, QProgressBar* bar)
        : panel(panel), caption(caption), text(text), bar(bar) {}

    void showPanel(const QString& captionText, int maximum) override {
        caption->setText(captionText);
        bar->setRange(0, maximum);
        bar->setValue(0);
        panel->show();
        panel->repaint();
    }
    void showProgress(const QString& progressText, int position) override {
        text->setText(progressText);
        bar->setValue(position);
        panel->repaint();
    }
    void hidePanel() override { panel->hide(); }

private:
    QWidget* panel;
    QLabel* caption;
    QLabel* text;
    QProgressBar* bar;
};
