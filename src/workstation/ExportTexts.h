// SPDX-License-Identifier: GPL-3.0-or-later
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

    // Whether column j holds a number (Number, Minutes, OD, NoteS, CalcOD, SmoothOD).
    static bool isNumberColumn(int column);

    // The twelve texts of the row, valid until the next call.
    const std::array<std::string, columnCount>& of(const RecordRow& row);
    // The values of the number columns, NaN where empty; the others are NaN too.
    static std::array<double, columnCount> numbersOf(const RecordRow& row);

private:
    void number(int column, double value);
    void time(int column, const QTime& value);

    std::array<std::string, columnCount> texts_;
    // Date and title rarely change from row to row; their texts are made once.
    std::optional<QDate> lastDate_;
    std::optional<QString> lastTitle_;
};
