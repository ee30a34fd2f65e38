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
        : panel_(panel), caption_(caption), text_(text), bar_(bar) {}

    void showPanel(const QString& captionText, int maximum) override {
        caption_->setText(captionText);
        bar_->setRange(0, maximum);
        bar_->setValue(0);
        panel_->show();
        panel_->repaint();
    }
    void showProgress(const QString& progressText, int position) override {
        text_->setText(progressText);
        bar_->setValue(position);
        panel_->repaint();
    }
    void hidePanel() override { panel_->hide(); }

private:
    QWidget* panel_;
    QLabel* caption_;
    QLabel* text_;
    QProgressBar* bar_;
};
