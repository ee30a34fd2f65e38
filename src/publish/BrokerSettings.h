// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/ProfileFile.h"

#include <QString>
#include <vector>

// Where and how a workstation publishes: the profile's section "MQTT", the command line's
// --mqtt HOST[:PORT] and --topic PREFIX over it.
struct BrokerSettings {
    static constexpr const char* section = "MQTT";
    static constexpr int defaultPort = 1883;

    bool enabled = false;
    QString host;
    int port = defaultPort;
    QString topicPrefix;
    QString clientId; // empty: the library makes one up
    QString user;
    QString passwordFile; // the password itself is never kept in the profile
    QString caFile;       // TLS when set

    // The section "MQTT" of the profile; the prefix defaults to nephodar/<host>/<profile>.
    static BrokerSettings fromProfile(const IniFile::ProfileFile& profile);
    // The section as it stands, an absent or empty "Topic" left empty.
    static BrokerSettings storedIn(const IniFile::ProfileFile& profile);
    static QString defaultPrefixOf(const IniFile::ProfileFile& profile);
    // Every key of the section, for the profile's writeTogether.
    std::vector<IniFile::ProfileFile::Entry> entries() const;

    // "HOST" or "HOST:PORT" ("[::1]:1883" for an IPv6 address); throws std::invalid_argument.
    void setAddress(const QString& address);

    // Throws std::invalid_argument with a message for the user: no host, a port out of range,
    // a topic prefix with a wildcard or an empty level, an unreadable password or CA file.
    void check() const;
    // Only what is wrong whether or not publishing is on: the port and the topic prefix.
    void checkValues() const;
    // The first line of the password file; throws std::invalid_argument when unreadable.
    QString readPassword() const;

    static QString hostName();
    static QString profileNameOf(const IniFile::ProfileFile& profile);
};
