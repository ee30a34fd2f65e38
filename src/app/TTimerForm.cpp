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
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), countdown(countdown),
      ui(new Ui::TTimerForm) {
    ui->setupUi(this);
    ui->Image1->setPixmap(clockSymbol());
    for (const auto& preset : TimerAlarmCountdown::presets())
        ui->ComboBox2->addItem(preset.entry);
    ui->ComboBox2->setCurrentIndex(TimerAlarmCountdown::initialPreset);
    ui->RadioButton1->setChecked(true);
    chooseSource();

    connect(ui->RadioButton1, &QRadioButton::toggled, this, &TTimerForm::chooseSource);
    connect(ui->RadioButton2, &QRadioButton::toggled, this, &TTimerForm::chooseSource);
    connect(ui->ComboBox2, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < TimerAlarmCountdown::presets().size())
            this->countdown.setTimerSeconds(TimerAlarmCountdown::presets()[index].seconds);
    });
    connect(ui->TimerStart, &QAbstractButton::clicked, this, &TTimerForm::startCountdown);
    connect(ui->SpeedButton2, &QAbstractButton::clicked, &countdown, &TimerAlarmCountdown::stop);
    connect(ui->SpeedButton1, &QAbstractButton::clicked, &countdown, &TimerAlarmCountdown::stop);
    connect(&countdown, &TimerAlarmCountdown::stopped, this, &QDialog::reject);
    connect(&countdown, &TimerAlarmCountdown::ringing, this, &TTimerForm::ring);
}

TTimerForm::~TTimerForm() = default;

void TTimerForm::chooseSource() {
    ui->MaskEdit1->setEnabled(ui->RadioButton1->isChecked());
    ui->ComboBox2->setEnabled(ui->RadioButton2->isChecked());
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
    ui->Panel1->hide();
    ui->AlarmPanel->show();
}

void TTimerForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (!placed) {
        centreOnScreen(*this);
        placed = true;
    }
    ui->AlarmPanel->hide();
    ui->Panel1->show();
    countdown.settingsOpened();
}

void TTimerForm::startCountdown() {
    int seconds = countdown.timerSeconds();
    if (ui->RadioButton1->isChecked()) {
        const auto entered = TimerAlarmCountdown::secondsOfTimeText(ui->MaskEdit1->text());
        if (!entered) {
            countdown.stop(); // as "Cancel", without a message
            return;
        }
        seconds = *entered;
    } else if (ui->ComboBox2->currentIndex() >= 0) {
        seconds = TimerAlarmCountdown::presets()[ui->ComboBox2->currentIndex()].seconds;
    }
    countdown.start(seconds);
    accept();
}
