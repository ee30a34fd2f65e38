#pragma once

#include "RecordTable.h"

#include <QDate>
#include <QString>
#include <array>
#include <optional>
#include <string>

// The text form of every value of a measurement row as the exports write it: times as
// HH:mm:ss, the date in the desktop's short format, numbers in their shortest form with up to
// 15 significant digits, texts as stored, an empty value as an empty text; all in UTF-8.
class ExportTexts {
public:
    static constexpr int columnCount = 12;
    // The columns of a measurement table, in table order.
    static const std::array<const char*, columnCount> columnNames;

    // The spreadsheet export writes its numbers with a comma; everything else with a point.
    explicit ExportTexts(char decimalSeparator = '.');

    // The twelve texts of the row, valid until the next call.
    const std::array<std::string, columnCount>& of(const RecordRow& row);

private:
    void number(int column, double value);
    void time(int column, const QTime& value);

    char separator;
    std::array<std::string, columnCount> texts;
    // Date and title rarely change from row to row; their texts are made once.
    std::optional<QDate> lastDate;
    std::optional<QString> lastTitle;
};
