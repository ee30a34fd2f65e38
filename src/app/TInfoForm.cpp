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
      engine(engine), ui(new Ui::TInfoForm) {
    ui->setupUi(this);
    memo = new TemplateMemo(*ui->InfoMemo, *ui->Edit1, engine.statement(), programDirectory,
                            prompts, this);
    ui->RichEdit1->clear();
    memo->loadStandardTemplate();

    connect(ui->SpeedButton1, &QAbstractButton::clicked, this, &TInfoForm::loadTemplate);
    connect(ui->SpeedButton2, &QAbstractButton::clicked, this, &TInfoForm::saveAsTemplate);
    connect(ui->SpeedButton4, &QAbstractButton::clicked, this, &QWidget::close);
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &TInfoForm::stayOnTop);
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
    ui->RichEdit1->setPlainText(engine.protocol().getText());
}

void TInfoForm::refreshStatement() {
    memo->showStatement();
}

void TInfoForm::loadTemplate() {
    memo->loadTemplate();
}

void TInfoForm::saveAsTemplate() {
    memo->saveAsTemplate();
}

void TInfoForm::measurementStarted() {
    // Start has loaded the standard template and added the formula line to the statement.
    refreshProtocol();
    refreshStatement();
    ui->Edit1->setText(memo->standardTemplate());
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
    if (!event->spontaneous() && !placed) {
        centreOnScreen(*this);
        placed = true;
    }
}
