// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocol.h"

#include "DisplayFormats.h"
#include "RtfText.h"
#include "SampleValues.h"
#include "TextFile.h"

void Protocol::addStamped(const QString& message, const QDateTime& now) {
    const QDate date = now.date();
    const QTime time = now.time();
    const QString stamp = QStringLiteral("%1.%2.%3 %4:%5  ")
                              .arg(date.day())
                              .arg(date.month())
                              .arg(date.year(), 4, 10, QLatin1Char('0'))
                              .arg(time.hour(), 2, 10, QLatin1Char('0'))
                              .arg(time.minute(), 2, 10, QLatin1Char('0'));
    text_.prepend(stamp + message + QLatin1Char('\n'));
}

void Protocol::addPlain(const QString& message, std::int64_t elapsedMilliseconds) {
    text_.prepend(message +
                  DisplayFormats::longTimeText(SampleValues::allTime(elapsedMilliseconds)) +
                  QLatin1Char('\n'));
}

void Protocol::saveRtf(const QString& path) const {
    TextFile::replace(path, RtfText::write(text_));
}
