// SPDX-License-Identifier: GPL-3.0-or-later
#include "ODFormula.h"

#include "DisplayFormats.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <cmath>
#include <stdexcept>

namespace {

bool toNumber(const QString& text, long double& value) {
    bool ok = false;
    const double parsed = text.trimmed().toDouble(&ok); // always a point, whatever the locale
    if (!ok || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

long double coefficient(const QString& field, const QString& text) {
    long double value = 0;
    if (!toNumber(text, value))
        throw std::runtime_error(QStringLiteral("The coefficient %1 of the OD formula is not a "
                                                "number: '%2'")
                                     .arg(field, text)
                                     .toStdString());
    return value;
}

std::string key(const IniFile::SettingKey& k) {
    return k.key;
}

} // namespace

ODFormula ODFormula::loadFromProfile() {
    using namespace IniFile::keys;
    const auto& profile = IniFile::getIniFile();
    ODFormula formula;
    formula.enabled = profile.readInteger(NewOD.section, key(NewOD), 0) != 0;
    formula.name =
        QString::fromStdString(profile.readString(CalcName.section, key(CalcName), "Not"));
    formula.a1 = DisplayFormats::numberText(profile.readFloat(A1.section, key(A1), 0.0));
    formula.a2 = DisplayFormats::numberText(profile.readFloat(A2.section, key(A2), 0.0));
    formula.a3 = QString::fromStdString(profile.readString(A3.section, key(A3), "0"));
    formula.a4 = QString::fromStdString(profile.readString(A4.section, key(A4), "0"));
    return formula;
}

// The six keys go together: a formula switched on with the coefficients of another would
// give CalcOD values the user never asked for.
void ODFormula::storeToProfile() const {
    using namespace IniFile::keys;
    const auto entry = [](const IniFile::SettingKey& k, const QString& text) {
        return IniFile::ProfileFile::Entry{k.section, k.key,
                                           IniFile::ProfileFile::trimmedText(text.toStdString())};
    };
    IniFile::getIniFile().writeTogether({
        entry(NewOD, enabled ? QStringLiteral("1") : QStringLiteral("0")),
        entry(CalcName, name),
        entry(A1, a1),
        entry(A2, a2),
        entry(A3, a3),
        entry(A4, a4),
    });
}

void ODFormula::fillEmptyFields() {
    for (QString* field : {&a1, &a2, &a4})
        if (field->isEmpty())
            *field = QStringLiteral("0");
    if (a3.isEmpty())
        a3 = QStringLiteral("1");
}

void ODFormula::validate() const {
    coefficient(QStringLiteral("a1"), a1);
    coefficient(QStringLiteral("a2"), a2);
    coefficient(QStringLiteral("a3"), a3);
    coefficient(QStringLiteral("a4"), a4);
}

double ODFormula::calcOd(double od) const {
    if (!enabled)
        return od;
    const long double x = od;
    const long double result = coefficient(QStringLiteral("a1"), a1) * x * x * x +
                               coefficient(QStringLiteral("a2"), a2) * x * x +
                               coefficient(QStringLiteral("a3"), a3) * x +
                               coefficient(QStringLiteral("a4"), a4);
    const auto value = static_cast<double>(result);
    return std::fabs(value) < 0.0001 ? 0.0 : value;
}

QString ODFormula::statementLine() const {
    if (!enabled)
        return QStringLiteral("Using no OD-formula: CalcOD = OD");
    return QStringLiteral("Using OD-formula: ") + name + QStringLiteral(" = ") + a1 +
           QStringLiteral("X³+ ") + a2 + QStringLiteral("X²+ ") + a3 + QStringLiteral("X+ ") + a4;
}

bool ODFormula::isCoefficientCharacter(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
           c == QLatin1Char('.');
}
