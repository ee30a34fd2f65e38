// SPDX-License-Identifier: GPL-3.0-or-later
#include "TInfoForm2.h"

#include "TemplateMemo.h"
#include "ui_TInfoForm2.h"
#include "workstation/EngineEnvironment.h"
#include "workstation/MeasurementEngine.h"

#include <exception>

TInfoForm2::TInfoForm2(MeasurementEngine& engine, const QString& programDirectory,
                       UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), prompts_(prompts), ui_(new Ui::TInfoForm2) {
    ui_->setupUi(this);
    setFixedSize(size());
    memo_ = new TemplateMemo(*ui_->InfoMemo, *ui_->Edit1, channelStatement_, programDirectory,
                             prompts, this);
    ui_->RichEdit6->clear();
    memo_->loadStandardTemplate();

    connect(ui_->SpeedButton1, &QAbstractButton::clicked, this, &TInfoForm2::loadTemplate);
    connect(ui_->SpeedButton2, &QAbstractButton::clicked, this, &TInfoForm2::saveAsTemplate);
    connect(&engine, &MeasurementEngine::measurementStarted, this, &TInfoForm2::measurementStarted);
}

TInfoForm2::~TInfoForm2() = default;

void TInfoForm2::refreshProtocol() {
    ui_->RichEdit6->setPlainText(channelProtocol_.getText());
}

void TInfoForm2::loadTemplate() {
    memo_->loadTemplate();
}

void TInfoForm2::saveAsTemplate() {
    memo_->saveAsTemplate();
}

void TInfoForm2::measurementStarted() {
    channelProtocol_.clear();
    refreshProtocol();
    try {
        memo_->loadStandardTemplate();
    } catch (const std::exception& e) {
        // Channel A has started already; channel B keeps its memo and says why.
        prompts_.showMessage(QString::fromUtf8(e.what()));
    }
}
