// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTimerForm.h"

#include "CentredWindow.h"
#include "ui_TTimerForm.h"
#include "workstation/TimerAlarmCountdown.h"

#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QtMath>

namespace {

// A clock face at ten past ten.
QPixmap clockSymbol() {
    const int size = 96;
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(size / 2.0, size / 2.0);
    painter.setPen(QPen(QColor(40, 40, 40), 4));
    painter.setBrush(QColor(250, 250, 235));
    painter.drawEllipse(QPointF(0, 0), size / 2.0 - 4, size / 2.0 - 4);
    painter.setPen(QPen(QColor(40, 40, 40), 2));
    for (int hour = 0; hour < 12; ++hour) {
        const qreal angle = qDegreesToRadians(hour * 30.0);
        const QPointF direction(qSin(angle), -qCos(angle));
        painter.drawLine(direction * (size / 2.0 - 10), direction * (size / 2.0 - 15));
    }
    painter.setPen(QPen(QColor(40, 40, 40), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0, 0), QPointF(-18, -10));
    painter.setPen(QPen(QColor(40, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0, 0), QPointF(22, -25));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(QPointF(0, 0), 4, 4);
    return picture;
}

} // namespace

TTimerForm::TTimerForm(TimerAlarmCountdown& countdown, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), countdown_(countdown),
      ui_(new Ui::TTimerForm) {
    ui_->setupUi(this);
    ui_->Image1->setPixmap(clockSymbol());
    for (const auto& preset : TimerAlarmCountdown::presets())
        ui_->ComboBox2->addItem(preset.entry);
    ui_->ComboBox2->setCurrentIndex(TimerAlarmCountdown::initialPreset);
    ui_->RadioButton1->setChecked(true);
    chooseSource();

    connect(ui_->RadioButton1, &QRadioButton::toggled, this, &TTimerForm::chooseSource);
    connect(ui_->RadioButton2, &QRadioButton::toggled, this, &TTimerForm::chooseSource);
    connect(ui_->ComboBox2, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < TimerAlarmCountdown::presets().size())
            this->countdown_.setTimerSeconds(TimerAlarmCountdown::presets()[index].seconds);
    });
    connect(ui_->TimerStart, &QAbstractButton::clicked, this, &TTimerForm::startCountdown);
    connect(ui_->SpeedButton2, &QAbstractButton::clicked, &countdown, &TimerAlarmCountdown::stop);
    connect(ui_->SpeedButton1, &QAbstractButton::clicked, &countdown, &TimerAlarmCountdown::stop);
    connect(&countdown, &TimerAlarmCountdown::stopped, this, &QDialog::reject);
    connect(&countdown, &TimerAlarmCountdown::ringing, this, &TTimerForm::ring);
}

TTimerForm::~TTimerForm() = default;

void TTimerForm::chooseSource() {
    ui_->MaskEdit1->setEnabled(ui_->RadioButton1->isChecked());
    ui_->ComboBox2->setEnabled(ui_->RadioButton2->isChecked());
}

void TTimerForm::openSettings() {
    // Modality only changes while hidden; a ringing window comes back as the settings.
    if (isVisible())
        hide();
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

void TTimerForm::ring() {
    if (!isVisible()) {
        setWindowModality(Qt::NonModal);
        show();
        raise();
    }
    ui_->Panel1->hide();
    ui_->AlarmPanel->show();
}

void TTimerForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (!placed_) {
        centreOnScreen(*this);
        placed_ = true;
    }
    ui_->AlarmPanel->hide();
    ui_->Panel1->show();
    countdown_.settingsOpened();
}

void TTimerForm::startCountdown() {
    int seconds = countdown_.timerSeconds();
    if (ui_->RadioButton1->isChecked()) {
        const auto entered = TimerAlarmCountdown::secondsOfTimeText(ui_->MaskEdit1->text());
        if (!entered) {
            countdown_.stop(); // as "Cancel", without a message
            return;
        }
        seconds = *entered;
    } else if (ui_->ComboBox2->currentIndex() >= 0) {
        seconds = TimerAlarmCountdown::presets()[ui_->ComboBox2->currentIndex()].seconds;
    }
    countdown_.start(seconds);
    accept();
}
