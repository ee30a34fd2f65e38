// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QTime>

// The one place that decides how times, dates and numbers look on screen, in the protocol
// and in exports. Numbers always use a point, whatever the desktop's locale.
namespace DisplayFormats {

QString longTimeText(const QTime& time);  // 24-hour "HH:mm:ss"
QString shortDateText(const QDate& date); // the desktop's short date
QString numberText(double value);         // shortest form, up to 15 significant digits
// A span of time as "HH:MM:SS", rounded to the second; hours beyond a day are kept (a
// 30-hour culture lasted 30:00:00, not 06:00:00). A number that is no span of time (infinite,
// not a number, beyond a million years) is said to be so.
QString elapsedText(double minutes);

} // namespace DisplayFormats
