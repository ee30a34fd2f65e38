// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

extern "C" {
#include <paradox.h>
}

#include <algorithm>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

// Paradox tables written with the library's own writing API: the fixtures of the tests and
// the seeds of the measurement file fuzzer.
namespace ParadoxWriter {

struct FieldLayout {
    std::string name;
    char type;
    int length;
};
// Empty, a number (doubles and integers, times in ms, dates in days) or raw code-page text.
using Cell = std::variant<std::monostate, double, long, std::string>;
using ParadoxRow = std::vector<Cell>;

inline const std::vector<FieldLayout> measurementFields = {
    {"AllTime", pxfTime, 4}, {"Number", pxfNumber, 8},  {"Minutes", pxfNumber, 8},
    {"OD", pxfNumber, 8},    {"StartTime", pxfTime, 4}, {"StartDate", pxfDate, 4},
    {"Title", pxfAlpha, 50}, {"Note", pxfAlpha, 50},    {"TimeS", pxfAlpha, 10},
    {"NoteS", pxfNumber, 8}, {"CalcOD", pxfNumber, 8},  {"SmoothOD", pxfNumber, 8}};

inline long timeOfDay(int h, int m, int s) {
    return ((h * 60L + m) * 60L + s) * 1000L;
}
inline long dayNumber(int year, int month, int day) {
    return PX_GregorianToSdn(year, month, day) - 1721425;
}

// With a password the table is protected (encrypted) with it, as the library writes that.
inline void writeParadox(const std::string& path, const std::vector<FieldLayout>& layout,
                         const std::vector<ParadoxRow>& rows, const std::string& password = {}) {
    pxdoc_t* doc = PX_new();
    if (doc == nullptr)
        throw std::runtime_error("PX_new failed");
    auto* fields = static_cast<pxfield_t*>(
        doc->malloc(doc, layout.size() * sizeof(pxfield_t), const_cast<char*>("fields")));
    int recordSize = 0;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        fields[i].px_fname = PX_strdup(doc, layout[i].name.c_str());
        fields[i].px_ftype = layout[i].type;
        fields[i].px_flen = layout[i].length;
        fields[i].px_fdc = 0;
        recordSize += layout[i].length;
    }
    if (PX_create_file(doc, fields, static_cast<int>(layout.size()), path.c_str(),
                       pxfFileTypNonIndexDB) != 0) {
        PX_delete(doc);
        throw std::runtime_error("PX_create_file failed for " + path);
    }
    if (!password.empty() && PX_set_parameter(doc, "password", password.c_str()) != 0) {
        PX_close(doc);
        PX_delete(doc);
        throw std::runtime_error("PX_set_parameter password failed for " + path);
    }
    std::vector<char> record(static_cast<std::size_t>(recordSize));
    for (const auto& row : rows) {
        std::fill(record.begin(), record.end(), '\0');
        char* data = record.data();
        for (std::size_t i = 0; i < layout.size(); ++i) {
            const Cell& cell = i < row.size() ? row[i] : Cell{};
            const int length = layout[i].length;
            const bool empty = std::holds_alternative<std::monostate>(cell);
            switch (layout[i].type) {
            case pxfNumber:
            case pxfCurrency:
                PX_put_data_double(doc, data, empty ? 0 : 8, empty ? 0 : std::get<double>(cell));
                break;
            case pxfTime:
            case pxfDate:
            case pxfLong:
                PX_put_data_long(doc, data, empty ? 0 : 4,
                                 empty ? 0 : static_cast<int>(std::get<long>(cell)));
                break;
            case pxfShort:
                PX_put_data_short(doc, data, empty ? 0 : 2,
                                  empty ? 0 : static_cast<short>(std::get<long>(cell)));
                break;
            case pxfAlpha: {
                std::string text = empty ? std::string() : std::get<std::string>(cell);
                PX_put_data_alpha(doc, data, length, text.data());
                break;
            }
            default:
                PX_close(doc);
                PX_delete(doc);
                throw std::runtime_error("type the generator does not write");
            }
            data += length;
        }
        if (PX_put_record(doc, record.data()) < 0) {
            PX_close(doc);
            PX_delete(doc);
            throw std::runtime_error("PX_put_record failed for " + path);
        }
    }
    PX_close(doc);
    PX_delete(doc);
}

// One sample as the workstation writes it, in the field order of measurementFields.
inline ParadoxRow sampleRow(int number) {
    const long elapsed = number * 30L * 1000L;
    return {elapsed,
            static_cast<double>(number),
            number * 0.5,
            0.1234 + number,
            timeOfDay(9, 5, 0),
            dayNumber(2026, 12, 10),
            std::string("Culture A"),
            std::string(),
            "0:" + std::string(number < 20 ? "0" : "") + std::to_string(number / 2),
            -5.0,
            0.25 * number,
            Cell{}};
}

} // namespace ParadoxWriter
