// SPDX-License-Identifier: GPL-3.0-or-later
#include "Statement.h"

#include "TextFile.h"

#include <QDir>
#include <stdexcept>

QString Statement::templatePath(const QString& programDirectory) {
    return QDir::cleanPath(programDirectory + QStringLiteral("/Templates/Template.txt"));
}

void Statement::loadTemplate(const QString& path) {
    QString text;
    try {
        text = TextFile::decode(TextFile::read(path));
    } catch (const std::exception&) {
        throw std::runtime_error(
            QStringLiteral("Can't load the template '%1'.").arg(path).toStdString());
    }
    text.remove(QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    lines = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QByteArray Statement::fileContent() const {
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

void Statement::save(const QString& path) const {
    TextFile::replace(path, fileContent());
}
