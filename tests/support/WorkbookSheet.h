// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <map>
#include <stdexcept>
#include <vector>

// What a test sees of a written .xlsx: a member of the zip (read with the unzip command) and
// the first sheet's cells with their text and whether their font is bold.
namespace WorkbookSheet {

inline QByteArray member(const QString& workbook, const QString& name) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), workbook, name});
    if (!unzip.waitForFinished(10000) || unzip.exitCode() != 0)
        throw std::runtime_error(("unzip failed for " + workbook + " " + name).toStdString());
    return unzip.readAllStandardOutput();
}

struct Cell {
    QString text;
    QString type; // the cell's t attribute: inlineStr for a text given inline, empty for a number
    bool bold = false;
};

// Rows from 1, columns from 0; a cell the sheet leaves out is an empty default Cell.
using Grid = std::map<int, std::map<int, Cell>>;

// The cell formats (index = the s attribute) whose font is bold.
inline std::vector<bool> boldFormats(const QByteArray& styles) {
    std::vector<bool> boldFont, result;
    QXmlStreamReader xml(styles);
    QString section;
    const QStringList sections = {"fonts",   "fills",      "borders", "cellStyleXfs",
                                  "cellXfs", "cellStyles", "dxfs"};
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QString name = xml.name().toString();
        if (sections.contains(name))
            section = name;
        else if (name == QLatin1String("font") && section == QLatin1String("fonts"))
            boldFont.push_back(false);
        else if (name == QLatin1String("b") && section == QLatin1String("fonts"))
            boldFont.back() = true;
        else if (name == QLatin1String("xf") && section == QLatin1String("cellXfs"))
            result.push_back(boldFont.at(xml.attributes().value("fontId").toInt()));
    }
    return result;
}

inline Grid cells(const QString& workbook) {
    const std::vector<bool> bold = boldFormats(member(workbook, "xl/styles.xml"));
    Grid grid;
    QXmlStreamReader xml(member(workbook, "xl/worksheets/sheet1.xml"));
    Cell* cell = nullptr;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("c")) {
            const QString reference = xml.attributes().value("r").toString();
            int column = 0, letters = 0;
            while (reference.at(letters).isLetter())
                column = column * 26 + (reference.at(letters++).unicode() - 'A' + 1);
            cell = &grid[reference.mid(letters).toInt()][column - 1];
            cell->type = xml.attributes().value("t").toString();
            const auto style = xml.attributes().value("s");
            cell->bold = !style.isEmpty() && bold.at(style.toInt());
        } else if ((xml.name() == QLatin1String("t") || xml.name() == QLatin1String("v")) && cell) {
            cell->text = xml.readElementText();
        }
    }
    if (xml.hasError())
        throw std::runtime_error(xml.errorString().toStdString());
    return grid;
}

} // namespace WorkbookSheet
