// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrokerSettings.h"

#include "PublishTopics.h"
#include "settings/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <stdexcept>

namespace {
QString readText(const IniFile::ProfileFile& profile, const char* key) {
    return QString::fromStdString(profile.readString(BrokerSettings::section, key, "")).trimmed();
}

[[noreturn]] void refuse(const QString& message) {
    throw std::invalid_argument(message.toStdString());
}
} // namespace

QString BrokerSettings::hostName() {
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("localhost") : name;
}

QString BrokerSettings::profileNameOf(const IniFile::ProfileFile& profile) {
    return QFileInfo(QString::fromStdString(profile.getFileName())).completeBaseName();
}

BrokerSettings BrokerSettings::storedIn(const IniFile::ProfileFile& profile) {
    BrokerSettings settings;
    settings.enabled = profile.readInteger(section, "Enabled", 0) != 0;
    settings.host = readText(profile, "Host");
    settings.port = profile.readInteger(section, "Port", defaultPort);
    settings.topicPrefix = readText(profile, "Topic");
    settings.clientId = readText(profile, "ClientId");
    settings.user = readText(profile, "User");
    settings.passwordFile = readText(profile, "PasswordFile");
    settings.caFile = readText(profile, "CAFile");
    return settings;
}

QString BrokerSettings::defaultPrefixOf(const IniFile::ProfileFile& profile) {
    return PublishTopics::defaultPrefix(hostName(), profileNameOf(profile));
}

BrokerSettings BrokerSettings::fromProfile(const IniFile::ProfileFile& profile) {
    BrokerSettings settings = storedIn(profile);
    if (settings.topicPrefix.isEmpty())
        settings.topicPrefix = defaultPrefixOf(profile);
    return settings;
}

std::vector<IniFile::ProfileFile::Entry> BrokerSettings::entries() const {
    return {
        {section, "Enabled", enabled ? "1" : "0"},
        {section, "Host", host.toStdString()},
        {section, "Port", std::to_string(port)},
        {section, "Topic", topicPrefix.toStdString()},
        {section, "ClientId", clientId.toStdString()},
        {section, "User", user.toStdString()},
        {section, "PasswordFile", passwordFile.toStdString()},
        {section, "CAFile", caFile.toStdString()},
    };
}

void BrokerSettings::setAddress(const QString& address) {
    QString name = address.trimmed();
    QString portText;
    if (name.startsWith(QLatin1Char('['))) {
        const qsizetype close = name.indexOf(QLatin1Char(']'));
        if (close < 0 || (close + 1 < name.size() && name.at(close + 1) != QLatin1Char(':')))
            refuse(QStringLiteral("--mqtt takes HOST[:PORT], not '%1'.").arg(address));
        portText = name.mid(close + 2);
        if (close + 1 < name.size() && portText.isEmpty())
            refuse(QStringLiteral("--mqtt takes HOST[:PORT], not '%1'.").arg(address));
        name = name.mid(1, close - 1);
    } else if (name.count(QLatin1Char(':')) == 1) {
        portText = name.section(QLatin1Char(':'), 1);
        name = name.section(QLatin1Char(':'), 0, 0);
        if (portText.isEmpty())
            refuse(QStringLiteral("--mqtt takes HOST[:PORT], not '%1'.").arg(address));
    }
    if (name.isEmpty())
        refuse(QStringLiteral("--mqtt takes HOST[:PORT], not '%1'.").arg(address));
    host = name;
    if (!portText.isEmpty()) {
        bool ok = false;
        port = portText.toInt(&ok);
        if (!ok)
            refuse(QStringLiteral("The MQTT port '%1' is no number.").arg(portText));
    }
}

void BrokerSettings::check() const {
    if (host.isEmpty())
        refuse(QStringLiteral("No MQTT broker is set: give its host (\"Host\" in the section "
                              "\"MQTT\" of the profile, or --mqtt HOST[:PORT])."));
    checkValues();
    if (!user.isEmpty())
        readPassword();
    if (!caFile.isEmpty() && !QFileInfo(caFile).isReadable())
        refuse(QStringLiteral("The CA file '%1' for MQTT over TLS cannot be read.").arg(caFile));
}

void BrokerSettings::checkValues() const {
    if (port < 1 || port > 65535)
        refuse(QStringLiteral("The MQTT port %1 is out of range (1 to 65535).").arg(port));
    const QString problem = PublishTopics::prefixProblem(topicPrefix);
    if (!problem.isEmpty())
        refuse(problem);
}

QString BrokerSettings::readPassword() const {
    if (passwordFile.isEmpty())
        return {};
    QFile file(passwordFile);
    if (!file.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("The MQTT password file '%1' cannot be read: %2")
                   .arg(passwordFile, file.errorString()));
    // The first line, without its line end; the password itself is never shown.
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}
