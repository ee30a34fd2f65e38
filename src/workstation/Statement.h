// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The statement of a measurement: a text that starts from a template file and records the
// OD formula in use. The user may edit it; saving writes its lines as they stand.
class Statement {
public:
    static QString templatePath(const QString& programDirectory);

    // Replaces the lines by the template's; throws a clear error when it cannot be read.
    void loadTemplate(const QString& path);
    void appendLine(const QString& line) { lines.append(line); }
    // One line per memo line, each ending with CR LF.
    QByteArray fileContent() const;
    void save(const QString& path) const;

    QStringList lines;
};
