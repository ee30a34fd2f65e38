// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

// The running record of a measurement, newest entry first.
class Protocol {
public:
    // "8.12.2007 09:05  started measurement": date and clock time, two blanks, the message.
    void addStamped(const QString& message, const QDateTime& now);
    // The message directly followed by the elapsed time as a time of day ("OD Error at 00:03:12").
    void addPlain(const QString& message, std::int64_t elapsedMilliseconds);

    void clear() { text_.clear(); }
    const QString& getText() const { return text_; }

    // Writes the protocol as a Rich Text Format document, replacing the file whole.
    void saveRtf(const QString& path) const;

private:
    QString text_;
};
