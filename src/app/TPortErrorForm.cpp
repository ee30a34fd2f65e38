// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPortErrorForm.h"

#include "CentredWindow.h"
#include "ui_TPortErrorForm.h"

#include <QShowEvent>

TPortErrorForm::TPortErrorForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(new Ui::TPortErrorForm) {
    ui_->setupUi(this);
    // It comes up in the middle of a run: whatever the user is typing keeps the keyboard.
    setAttribute(Qt::WA_ShowWithoutActivating);
    connect(ui_->SpeedButton1, &QAbstractButton::clicked, this, &QWidget::close);
}

TPortErrorForm::~TPortErrorForm() = default;

void TPortErrorForm::setNotice(const QString& text) {
    ui_->LabelNotice->setText(text);
    ui_->LabelNotice->setVisible(!text.isEmpty());
    adjustSize(); // the whole text shows, also when a line is added while it is shown
}

QString TPortErrorForm::notice() const {
    return ui_->LabelNotice->text();
}

void TPortErrorForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !placed_) {
        centreOnScreen(*this);
        placed_ = true;
    }
}
