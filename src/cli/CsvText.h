// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Rows as comma-separated values (RFC 4180) in UTF-8: a cell holding a comma, a double quote
// or a line end is quoted, its quotes doubled; every line ends in CR LF.
QByteArray csvText(const std::vector<std::vector<QString>>& rows);
