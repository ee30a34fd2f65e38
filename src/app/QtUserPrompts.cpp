// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtUserPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <iostream>

namespace {

bool ask(QWidget* owner, QMessageBox::Icon icon, const QString& text,
         QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, QApplication::applicationName(), text, QMessageBox::Yes | QMessageBox::No,
                    owner);
    box.setDefaultButton(defaultButton);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

QWidget* QtUserPrompts::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() ? active : parent_;
}

bool QtUserPrompts::said(const QString& text) const {
    if (unattended_)
        std::cerr << QApplication::applicationName().toStdString() << ": " << text.toStdString()
                  << std::endl;
    return unattended_;
}

void QtUserPrompts::showMessage(const QString& text) {
    if (!said(text))
        QMessageBox::information(owner(), QApplication::applicationName(), text);
}

void QtUserPrompts::showError(const QString& text) {
    if (!said(text))
        QMessageBox::critical(owner(), QApplication::applicationName(), text);
}

void QtUserPrompts::showInformation(const QString& title, const QString& text) {
    if (!said(text))
        QMessageBox::information(owner(), title, text);
}

bool QtUserPrompts::askYesNo(const QString& question) {
    return ask(owner(), QMessageBox::Question, question, QMessageBox::Yes);
}

bool QtUserPrompts::askWarningYesNo(const QString& text) {
    return ask(owner(), QMessageBox::Warning, text, QMessageBox::Yes);
}

bool QtUserPrompts::askYesNoDefaultNo(const QString& question) {
    return ask(owner(), QMessageBox::Question, question, QMessageBox::No);
}

bool QtUserPrompts::askWarningYesNoDefaultNo(const QString& text) {
    return ask(owner(), QMessageBox::Warning, text, QMessageBox::No);
}

void QtUserPrompts::showDeviceTrouble(const QString& text) {
    if (deviceNotice_) {
        deviceNotice_(text, true);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(), text,
                                QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void QtUserPrompts::showDeviceBack(const QString& text) {
    if (deviceNotice_)
        deviceNotice_(text, false);
}

QString QtUserPrompts::dialogFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() < 2)
        return filter.isEmpty() ? QString() : filter;
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    return entries.join(QStringLiteral(";;"));
}

QString QtUserPrompts::askSaveFileName(const QString& title, const QString& directory,
                                       const QString& proposedName, const QString& filter) {
    const QString start =
        QDir(directory).exists() ? QDir(directory).filePath(proposedName) : proposedName;
    return QFileDialog::getSaveFileName(owner(), title, start, dialogFilter(filter));
}

QString QtUserPrompts::askOpenFileName(const QString& title, const QString& directory,
                                       const QString& filter) {
    return QFileDialog::getOpenFileName(owner(), title, directory, dialogFilter(filter));
}

std::optional<QString> QtUserPrompts::askText(const QString& title, const QString& prompt,
                                              const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner(), title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}
