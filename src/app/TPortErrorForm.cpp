// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPortErrorForm.h"

#include "CentredWindow.h"
#include "ui_TPortErrorForm.h"

#include <QShowEvent>

TPortErrorForm::TPortErrorForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(new Ui::TPortErrorForm) {
    ui_->setupUi(this);
    connect(ui_->SpeedButton1, &QAbstractButton::clicked, this, &QWidget::close);
}

TPortErrorForm::~TPortErrorForm() = default;

void TPortErrorForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !placed_) {
        centreOnScreen(*this);
        placed_ = true;
    }
}
