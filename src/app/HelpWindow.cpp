// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(const QString& programDirectory, QWidget* parent)
    : QDialog(parent), file(QDir(programDirectory).filePath(QStringLiteral("Nephodar.html"))),
      view(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Nephodar  Help"));
    resize(720, 640);
    view->setObjectName(QStringLiteral("HelpBrowser"));
    view->setOpenLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view);
}

void HelpWindow::showContents() {
    if (QFile::exists(file))
        view->setSource(QUrl::fromLocalFile(file));
    else
        view->setPlainText(QStringLiteral("The help file '%1' is missing.").arg(file));
    show();
    raise();
}
