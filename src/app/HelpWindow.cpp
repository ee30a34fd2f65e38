// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(const QString& programDirectory, QWidget* parent)
    : QDialog(parent), file_(QDir(programDirectory).filePath(QStringLiteral("Nephodar.html"))),
      view_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Nephodar  Help"));
    resize(720, 640);
    view_->setObjectName(QStringLiteral("HelpBrowser"));
    view_->setOpenLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
}

void HelpWindow::showContents() {
    if (QFile::exists(file_))
        view_->setSource(QUrl::fromLocalFile(file_));
    else
        view_->setPlainText(QStringLiteral("The help file '%1' is missing.").arg(file_));
    show();
    raise();
}
