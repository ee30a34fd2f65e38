// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/BrokerSettings.h"

// Publishing switched on, to a broker on this computer's loopback address.
inline BrokerSettings loopbackBroker(int port, const QString& topicPrefix) {
    BrokerSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.topicPrefix = topicPrefix;
    return settings;
}
