// SPDX-License-Identifier: GPL-3.0-or-later
#include "TStart.h"

#include "settings/IniFile.h"
#include "ui_TStart.h"

#include <QDir>
#include <QPixmap>
#include <stdexcept>

TStart::TStart(const QString& programDirectory, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), ui_(new Ui::TStart) {
    ui_->setupUi(this);
    const QString picture =
        QDir(programDirectory).filePath(QStringLiteral("Objects/PicNephodar.bmp"));
    QPixmap image(picture);
    if (image.isNull())
        throw std::runtime_error(
            QStringLiteral("Can't load the picture '%1'.").arg(picture).toStdString());
    ui_->Image1->setPixmap(image);
    progress_ = std::make_unique<Talvessa::ProgressBarSetter>(ui_->ProgressBar1);
}

TStart::~TStart() = default;

void TStart::showUser(const QString& user, const QString& company) {
    ui_->Label3->setText(user);
    ui_->Label4->setText(company);
    ui_->Label5->setText(QString::fromStdString(IniFile::versionText));
    ui_->Label2->setText(QString::fromStdString(IniFile::programVersionText));
}
