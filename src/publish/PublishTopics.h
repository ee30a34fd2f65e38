// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The topics a workstation publishes under: PREFIX/sample, /error, /state, /note, /alarm.
namespace PublishTopics {

// Why the prefix cannot be published under, or an empty text when it can. Wildcards ("+",
// "#") and empty levels would publish to no topic or to one a subscriber cannot tell apart.
QString prefixProblem(const QString& prefix);

// "nephodar/<host name>/<profile>", each name with the characters a topic level may not
// carry ("/", "+", "#", control characters) replaced by "_".
QString defaultPrefix(const QString& hostName, const QString& profileName);

QString topic(const QString& prefix, const char* kind);

} // namespace PublishTopics
