// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// CalcOD = a1 OD³ + a2 OD² + a3 OD + a4 under a name the user gives; CalcOD = OD when off.
// The coefficients are kept as the texts the user typed and converted at every sample.
struct ODFormula {
    bool enabled = false;
    QString name = QStringLiteral("Not");
    QString a1 = QStringLiteral("0");
    QString a2 = QStringLiteral("0");
    QString a3 = QStringLiteral("0");
    QString a4 = QStringLiteral("0");

    // From the open profile, with the defaults a profile without the keys gives.
    static ODFormula loadFromProfile();
    void storeToProfile() const;

    // At Start: empty coefficients become 0, 0, 1, 0, so that empty fields give CalcOD = OD.
    void fillEmptyFields();

    // Throws the runtime error of calcOd when a coefficient is not a number.
    void validate() const;

    // Throws a runtime error naming the field when a coefficient is not a number.
    double calcOd(double od) const;

    // The statement's line about the formula in use.
    QString statementLine() const;

    // The coefficient fields take only these characters.
    static bool isCoefficientCharacter(QChar c);
};
