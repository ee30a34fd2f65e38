// SPDX-License-Identifier: GPL-3.0-or-later
#include "PublishTopics.h"

#include <QStringList>

namespace PublishTopics {

namespace {
// A topic is at most 65535 bytes; the longest kind ("/sample", "/error", ...) follows.
constexpr int maximumPrefixBytes = 65535 - 16;

QString levelName(const QString& name) {
    QString level;
    for (const QChar c : name) {
        const bool unusable = c == QLatin1Char('/') || c == QLatin1Char('+') ||
                              c == QLatin1Char('#') || c.unicode() < 0x20 || c.unicode() == 0x7f;
        level += unusable ? QLatin1Char('_') : c;
    }
    return level.isEmpty() ? QStringLiteral("_") : level;
}
} // namespace

QString prefixProblem(const QString& prefix) {
    const QString shown = QLatin1Char('"') + prefix + QLatin1Char('"');
    if (prefix.isEmpty())
        return QStringLiteral("The MQTT topic prefix is empty.");
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')))
        return QStringLiteral("The MQTT topic prefix %1 contains \"+\" or \"#\": those are "
                              "wildcards for subscribers and cannot be published to.")
            .arg(shown);
    if (prefix.startsWith(QLatin1Char('$')))
        return QStringLiteral("The MQTT topic prefix %1 starts with \"$\": such topics belong "
                              "to the broker, which refuses messages on them.")
            .arg(shown);
    if (prefix.split(QLatin1Char('/')).contains(QString()))
        return QStringLiteral("The MQTT topic prefix %1 has an empty level (a \"/\" at its "
                              "start or end, or two together).")
            .arg(shown);
    for (const QChar c : prefix) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("The MQTT topic prefix %1 contains a control character.")
                .arg(shown);
    }
    // A lone half of a surrogate pair has no UTF-8 form.
    if (QString::fromUtf8(prefix.toUtf8()) != prefix)
        return QStringLiteral("The MQTT topic prefix %1 is not valid text.").arg(shown);
    if (prefix.toUtf8().size() > maximumPrefixBytes)
        return QStringLiteral("The MQTT topic prefix is longer than a topic may be.");
    return {};
}

QString defaultPrefix(const QString& hostName, const QString& profileName) {
    return QStringLiteral("nephodar/") + levelName(hostName) + QLatin1Char('/') +
           levelName(profileName);
}

QString topic(const QString& prefix, const char* kind) {
    return prefix + QLatin1Char('/') + QLatin1String(kind);
}

} // namespace PublishTopics
