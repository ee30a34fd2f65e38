// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvText.h"

#include <QStringList>

namespace {

QString csvCell(QString cell) {
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) &&
        !cell.contains(QLatin1Char('\r')) && !cell.contains(QLatin1Char('\n')))
        return cell;
    cell.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + cell + QLatin1Char('"');
}

} // namespace

QByteArray csvText(const std::vector<std::vector<QString>>& rows) {
    QString text;
    for (const auto& row : rows) {
        QStringList cells;
        for (const QString& cell : row)
            cells << csvCell(cell);
        text += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}
