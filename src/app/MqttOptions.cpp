// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttOptions.h"

#include "ui_TOptionsForm.h"
#include "workstation/EngineEnvironment.h"

#include <QFileInfo>
#include <algorithm>

MqttOptions::MqttOptions(Ui::TOptionsForm& form, UserPrompts& prompts, QObject* parent)
    : QObject(parent), form_(form), prompts_(prompts) {
    connect(form_.MqttPasswordFileBrowse, &QToolButton::clicked, this, [this] {
        browse(*form_.MqttPasswordFile, QStringLiteral("MQTT password file"),
               QStringLiteral("All files (*)"));
    });
    connect(form_.MqttCAFileBrowse, &QToolButton::clicked, this, [this] {
        browse(*form_.MqttCAFile, QStringLiteral("CA certificate for MQTT over TLS"),
               QStringLiteral("Certificates (*.pem *.crt);;All files (*)"));
    });
}

void MqttOptions::load(const IniFile::ProfileFile& profile) {
    loaded_ = BrokerSettings::storedIn(profile);
    form_.MqttEnabled->setChecked(loaded_.enabled);
    form_.MqttHost->setText(loaded_.host);
    form_.MqttPort->setValue(loaded_.port);
    form_.MqttTopic->setText(loaded_.topicPrefix);
    form_.MqttTopic->setPlaceholderText(BrokerSettings::defaultPrefixOf(profile));
    form_.MqttClientId->setText(loaded_.clientId);
    form_.MqttUser->setText(loaded_.user);
    form_.MqttPasswordFile->setText(loaded_.passwordFile);
    form_.MqttCAFile->setText(loaded_.caFile);
    // A port out of range is shown clamped; the profile keeps it unless the section changes.
    loaded_.port = form_.MqttPort->value();
}

BrokerSettings MqttOptions::fields() const {
    BrokerSettings settings;
    settings.enabled = form_.MqttEnabled->isChecked();
    settings.host = form_.MqttHost->text().trimmed();
    settings.port = form_.MqttPort->value();
    settings.topicPrefix = form_.MqttTopic->text().trimmed();
    settings.clientId = form_.MqttClientId->text().trimmed();
    settings.user = form_.MqttUser->text().trimmed();
    settings.passwordFile = form_.MqttPasswordFile->text().trimmed();
    settings.caFile = form_.MqttCAFile->text().trimmed();
    return settings;
}

std::vector<IniFile::ProfileFile::Entry>
MqttOptions::changedEntries(const IniFile::ProfileFile& profile) const {
    const BrokerSettings edited = fields();
    auto entries = edited.entries();
    const auto before = loaded_.entries();
    if (std::equal(entries.begin(), entries.end(), before.begin(), before.end(),
                   [](const auto& a, const auto& b) { return a.value == b.value; }))
        return {};
    BrokerSettings used = edited;
    if (used.topicPrefix.isEmpty())
        used.topicPrefix = BrokerSettings::defaultPrefixOf(profile);
    if (used.enabled)
        used.check();
    else
        used.checkValues();
    return entries;
}

void MqttOptions::browse(QLineEdit& field, const QString& title, const QString& filter) {
    const QString current = field.text().trimmed();
    const QString chosen = prompts_.askOpenFileName(
        title, current.isEmpty() ? QString() : QFileInfo(current).absolutePath(), filter);
    if (!chosen.isEmpty())
        field.setText(chosen);
}
