// SPDX-License-Identifier: GPL-3.0-or-later
#include "TStart.h"

#include "settings/IniFile.h"
#include "ui_TStart.h"

#include <QDir>
#include <QPixmap>
#include <stdexcept>

TStart::TStart(const QString& programDirectory, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), ui(new Ui::TStart) {
    ui->setupUi(this);
    const QString picture =
        QDir(programDirectory).filePath(QStringLiteral("Objects/PicNephodar.bmp"));
    QPixmap image(picture);
    if (image.isNull())
        throw std::runtime_error(
            QStringLiteral("Can't load the picture '%1'.").arg(picture).toStdString());
    ui->Image1->setPixmap(image);
    progress = std::make_unique<Talvessa::ProgressBarSetter>(ui->ProgressBar1);
}

TStart::~TStart() = default;

void TStart::showUser(const QString& user, const QString& company) {
    ui->Label3->setText(user);
    ui->Label4->setText(company);
    ui->Label5->setText(QString::fromStdString(IniFile::versionText));
    ui->Label2->setText(QString::fromStdString(IniFile::programVersionText));
}
