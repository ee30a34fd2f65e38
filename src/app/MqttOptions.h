// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/BrokerSettings.h"

#include <QObject>

namespace Ui {
class TOptionsForm;
}
class QLineEdit;
class UserPrompts;

// The settings window's group for the profile's section "MQTT". The section is written only
// when a field changed, so a profile that never used publishing keeps no such section. An
// empty "Topic" stays empty and so follows the host's and the profile's names.
class MqttOptions : public QObject {
    Q_OBJECT
public:
    MqttOptions(Ui::TOptionsForm& form, UserPrompts& prompts, QObject* parent = nullptr);

    void load(const IniFile::ProfileFile& profile);
    // The section's entries when a field changed, else none. Throws std::invalid_argument for
    // values the publisher would refuse: a bad topic prefix always; with "Enabled" also a
    // missing host or an unreadable password or CA file.
    std::vector<IniFile::ProfileFile::Entry>
    changedEntries(const IniFile::ProfileFile& profile) const;

private:
    BrokerSettings fields() const;
    void browse(QLineEdit& field, const QString& title, const QString& filter);

    Ui::TOptionsForm& form_;
    UserPrompts& prompts_;
    BrokerSettings loaded_;
};
