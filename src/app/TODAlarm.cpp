// SPDX-License-Identifier: GPL-3.0-or-later
#include "TODAlarm.h"

#include "CentredWindow.h"
#include "ui_TODAlarm.h"
#include "workstation/MeasurementEngine.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QShowEvent>

namespace {

// A warning sign: a red triangle with an exclamation mark.
QPixmap alarmPicture() {
    const int size = 64;
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(size / 2.0, 3);
    triangle.lineTo(size - 3, size - 5);
    triangle.lineTo(3, size - 5);
    triangle.closeSubpath();
    painter.setPen(QPen(QColor(120, 0, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(220, 20, 20));
    painter.drawPath(triangle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(size / 2.0 - 3.5, 20, 7, 23), 3, 3);
    painter.drawEllipse(QPointF(size / 2.0, 50), 4, 4);
    return picture;
}

} // namespace

TODAlarm::TODAlarm(MeasurementEngine& engine, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      engine_(engine), ui_(new Ui::TODAlarm) {
    ui_->setupUi(this);
    ui_->Image1->setPixmap(alarmPicture());
    connect(ui_->SpeedButton1, &QAbstractButton::clicked, this, &TODAlarm::acknowledge);
    connect(&engine, &MeasurementEngine::alarmFired, this, &TODAlarm::raiseAlarm);
}

TODAlarm::~TODAlarm() = default;

void TODAlarm::raiseAlarm() {
    // While it is up, further firings only beep: the alert is recorded once per showing.
    if (isVisible())
        return;
    show();
    raise();
}

void TODAlarm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!placed_) {
        centreOnScreen(*this);
        placed_ = true;
    }
    if (engine_.alarm().fired) {
        engine_.addPlainEntry(QStringLiteral("OD Alert at "));
    }
}

void TODAlarm::acknowledge() {
    if (engine_.alarm().fired) {
        const bool wasOn = engine_.alarm().isOn();
        engine_.acknowledgeAlarm();
        if (wasOn)
            emit alarmSwitchedOff();
    }
    hide();
}
