// SPDX-License-Identifier: GPL-3.0-or-later
#include "TableExport.h"

#include "ExportTexts.h"
#include "RecordRowReader.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <xlsxwriter.h>

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The workbook holds characters XML cannot as _xHHHH_, and a spreadsheet decodes every such
// sequence it finds; one that is part of a text keeps its letters when its "_" is escaped too.
const std::string& workbookText(const std::string& text, std::string& escaped) {
    if (text.find("_x") == std::string::npos)
        return text;
    escaped.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' &&
            isHexDigit(text[i + 2]) && isHexDigit(text[i + 3]) && isHexDigit(text[i + 4]) &&
            isHexDigit(text[i + 5]) && text[i + 6] == '_')
            escaped += "_x005F";
        escaped += text[i];
    }
    return escaped;
}

// The workbook is assembled in a temporary file and then saved whole under the target's name,
// so that a failed export leaves no half-written workbook and an earlier one intact.
class Workbook {
public:
    explicit Workbook(const QString& target)
        : target_(target), temporary_(QDir::tempPath() + QStringLiteral("/nephodar-XXXXXX.xlsx")) {
        if (!temporary_.open())
            fail(temporary_.errorString());
        temporary_.close();
        // Rows are written in order, so each can go to disk as soon as it is complete.
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        book_ = workbook_new_opt(QFile::encodeName(temporary_.fileName()).constData(), &options);
        if (book_ == nullptr)
            fail(QStringLiteral("the workbook could not be created"));
        sheet_ = workbook_add_worksheet(book_, "Measuring Data");
        lxw_format* bold = workbook_add_format(book_);
        if (sheet_ == nullptr || bold == nullptr)
            fail(QStringLiteral("the worksheet could not be created"));
        format_set_bold(bold);
        for (lxw_col_t column = 0; column < ExportTexts::columnCount; ++column)
            check(
                worksheet_write_string(sheet_, 0, column, ExportTexts::columnNames[column], bold));
    }

    ~Workbook() {
        if (book_ != nullptr)
            workbook_close(book_);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Row r of the sheet (1 is the header) receives the twelve values: numbers as number
    // cells, which every spreadsheet shows in its own locale and can sum and chart; times, the
    // date and the texts as text cells. An empty value leaves its cell empty.
    void write(lxw_row_t sheetRow, const RecordRow& row) {
        const auto& values = texts_.of(row);
        const auto numbers = ExportTexts::numbersOf(row);
        for (lxw_col_t column = 0; column < ExportTexts::columnCount; ++column) {
            if (!ExportTexts::isNumberColumn(column))
                check(worksheet_write_string(sheet_, sheetRow - 1, column,
                                             workbookText(values[column], escaped_).c_str(),
                                             nullptr));
            else if (!std::isnan(numbers[column]))
                check(
                    worksheet_write_number(sheet_, sheetRow - 1, column, numbers[column], nullptr));
        }
    }

    void commit() {
        lxw_workbook* closing = book_;
        book_ = nullptr;
        check(workbook_close(closing));
        QFile assembled(temporary_.fileName());
        if (!assembled.open(QIODevice::ReadOnly))
            fail(assembled.errorString());
        QSaveFile file(target_);
        if (!file.open(QIODevice::WriteOnly))
            fail(file.errorString());
        while (!assembled.atEnd()) {
            const QByteArray piece = assembled.read(1 << 20);
            if (piece.isEmpty() || file.write(piece) != piece.size())
                fail(piece.isEmpty() ? assembled.errorString() : file.errorString());
        }
        if (!file.commit())
            fail(file.errorString());
    }

private:
    void check(lxw_error error) {
        if (error != LXW_NO_ERROR)
            fail(QString::fromUtf8(lxw_strerror(error)));
    }
    [[noreturn]] void fail(const QString& reason) {
        throw std::runtime_error(
            QStringLiteral("Can't write the workbook '%1': %2").arg(target_, reason).toStdString());
    }

    QString target_;
    QTemporaryFile temporary_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    ExportTexts texts_;
    std::string escaped_;
};

// Fills the sheet from the rows nextRow hands out (nullptr after the last).
template <typename NextRow>
void writeWorkbook(int rowCount, NextRow nextRow, const QString& target,
                   const ExcelProgressCallback& progress) {
    const auto report = [&](const QString& text, int position) {
        if (progress)
            progress(ExcelProgress{text, position, rowCount});
    };
    report(QStringLiteral("Excel Export"), 0);
    Workbook book(target);
    lxw_row_t sheetRow = 2;
    while (const RecordRow* row = nextRow()) {
        book.write(sheetRow, *row);
        ++sheetRow;
        // The bar stops at its maximum; the label counts on, one ahead of the rows written.
        const int position = static_cast<int>(std::min<lxw_row_t>(sheetRow, rowCount));
        report(QStringLiteral("Proceed: %1 Lines").arg(sheetRow), position);
    }
    book.commit();
}

} // namespace

void exportTableExcel(const std::vector<RecordRow>& rows, const QString& target,
                      const ExcelProgressCallback& progress) {
    auto next = rows.begin();
    writeWorkbook(
        static_cast<int>(rows.size()),
        [&]() -> const RecordRow* { return next == rows.end() ? nullptr : &*next++; }, target,
        progress);
}

void exportTableExcel(const QString& sourcePath, const QString& target,
                      const ExcelProgressCallback& progress) {
    refuseOverwritingSource(sourcePath, target);
    RecordRowReader reader(sourcePath);
    RecordRow row;
    writeWorkbook(
        reader.rowCount(), [&]() -> const RecordRow* { return reader.next(row) ? &row : nullptr; },
        target, progress);
}
