#include "DisplayFormats.h"

#include "settings/ProfileFile.h"

#include <QLocale>

namespace DisplayFormats {

QString longTimeText(const QTime& time) { return time.toString(QStringLiteral("HH:mm:ss")); }

QString shortDateText(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString numberText(double value) { return QString::fromStdString(IniFile::formatIniFloat(value)); }

} // namespace DisplayFormats
