// SPDX-License-Identifier: GPL-3.0-or-later
#include "TInfoForm2.h"

#include "TemplateMemo.h"
#include "ui_TInfoForm2.h"
#include "workstation/EngineEnvironment.h"
#include "workstation/MeasurementEngine.h"

#include <exception>

TInfoForm2::TInfoForm2(MeasurementEngine& engine, const QString& programDirectory,
                       UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), prompts(prompts), ui(new Ui::TInfoForm2) {
    ui->setupUi(this);
    setFixedSize(size());
    memo = new TemplateMemo(*ui->InfoMemo, *ui->Edit1, channelStatement, programDirectory, prompts,
                            this);
    ui->RichEdit6->clear();
    memo->loadStandardTemplate();

    connect(ui->SpeedButton1, &QAbstractButton::clicked, this, &TInfoForm2::loadTemplate);
    connect(ui->SpeedButton2, &QAbstractButton::clicked, this, &TInfoForm2::saveAsTemplate);
    connect(&engine, &MeasurementEngine::measurementStarted, this, &TInfoForm2::measurementStarted);
}

TInfoForm2::~TInfoForm2() = default;

void TInfoForm2::refreshProtocol() {
    ui->RichEdit6->setPlainText(channelProtocol.getText());
}

void TInfoForm2::loadTemplate() {
    memo->loadTemplate();
}

void TInfoForm2::saveAsTemplate() {
    memo->saveAsTemplate();
}

void TInfoForm2::measurementStarted() {
    channelProtocol.clear();
    refreshProtocol();
    try {
        memo->loadStandardTemplate();
    } catch (const std::exception& e) {
        // Channel A has started already; channel B keeps its memo and says why.
        prompts.showMessage(QString::fromUtf8(e.what()));
    }
}
