// SPDX-License-Identifier: GPL-3.0-or-later
#include "TInfoForm.h"

#include "CentredWindow.h"
#include "TemplateMemo.h"
#include "ui_TInfoForm.h"
#include "workstation/MeasurementEngine.h"

#include <QShowEvent>

TInfoForm::TInfoForm(MeasurementEngine& engine, const QString& programDirectory,
                     UserPrompts& prompts, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      engine_(engine), ui_(new Ui::TInfoForm) {
    ui_->setupUi(this);
    memo_ = new TemplateMemo(*ui_->InfoMemo, *ui_->Edit1, engine.statement(), programDirectory,
                             prompts, this);
    ui_->RichEdit1->clear();
    memo_->loadStandardTemplate();

    connect(ui_->SpeedButton1, &QAbstractButton::clicked, this, &TInfoForm::loadTemplate);
    connect(ui_->SpeedButton2, &QAbstractButton::clicked, this, &TInfoForm::saveAsTemplate);
    connect(ui_->SpeedButton4, &QAbstractButton::clicked, this, &QWidget::close);
    connect(ui_->CheckBox1, &QCheckBox::toggled, this, &TInfoForm::stayOnTop);
    connect(&engine, &MeasurementEngine::protocolChanged, this, &TInfoForm::refreshProtocol);
    connect(&engine, &MeasurementEngine::measurementStarted, this, &TInfoForm::measurementStarted);
}

TInfoForm::~TInfoForm() = default;

void TInfoForm::showProtocol() {
    refreshProtocol();
    show();
    raise();
    activateWindow();
}

void TInfoForm::refreshProtocol() {
    ui_->RichEdit1->setPlainText(engine_.protocol().getText());
}

void TInfoForm::refreshStatement() {
    memo_->showStatement();
}

void TInfoForm::loadTemplate() {
    memo_->loadTemplate();
}

void TInfoForm::saveAsTemplate() {
    memo_->saveAsTemplate();
}

void TInfoForm::measurementStarted() {
    // Start has loaded the standard template and added the formula line to the statement.
    refreshProtocol();
    refreshStatement();
    ui_->Edit1->setText(memo_->standardTemplate());
}

void TInfoForm::stayOnTop(bool onTop) {
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing the flags hides the window.
    if (wasVisible)
        show();
}

void TInfoForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !placed_) {
        centreOnScreen(*this);
        placed_ = true;
    }
}
