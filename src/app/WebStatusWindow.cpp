// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebStatusWindow.h"

#include "settings/IniFile.h"
#include "workstation/TimerAlarmCountdown.h"

#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const section = "Web";

} // namespace

WebStatusWindow::WebStatusWindow(MeasurementEngine& engine, TimerAlarmCountdown& timer,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), feed_(engine, hub_), enabled_(new QCheckBox(this)),
      address_(new QLineEdit(this)), port_(new QSpinBox(this)), token_(new QLineEdit(this)),
      status_(new QLabel(this)) {
    setObjectName(QStringLiteral("WebStatusWindow"));
    setWindowTitle(QStringLiteral("Web Status"));
    feed_.setTimerAlarm(&timer);
    enabled_->setText(QStringLiteral("Serve the status page"));
    enabled_->setObjectName(QStringLiteral("WebEnabled"));
    address_->setObjectName(QStringLiteral("WebAddress"));
    port_->setObjectName(QStringLiteral("WebPort"));
    port_->setRange(1, 65535);
    token_->setObjectName(QStringLiteral("WebToken"));
    token_->setEchoMode(QLineEdit::Password);
    status_->setObjectName(QStringLiteral("WebStatusText"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setWordWrap(true);
    status_->setMinimumWidth(360);
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QStringLiteral("WebApply"));
    auto* form = new QFormLayout;
    form->addRow(enabled_);
    form->addRow(QStringLiteral("Address"), address_);
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QStringLiteral("Token"), token_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(apply, 0, Qt::AlignRight);
    layout->addWidget(status_);
    connect(apply, &QPushButton::clicked, this, &WebStatusWindow::apply);

    enabled_->setChecked(false);
    address_->setText(QStringLiteral("127.0.0.1"));
    port_->setValue(8765);
    status_->setText(QStringLiteral("The status page is off."));
}

WebStatusWindow::~WebStatusWindow() {
    server_.stop();
}

void WebStatusWindow::startFromProfile() {
    // The profile is there once the main window has started.
    auto& profile = IniFile::getIniFile();
    enabled_->setChecked(profile.readInteger(section, "Enabled", 0) == 1);
    address_->setText(QString::fromStdString(profile.readString(section, "Address", "127.0.0.1")));
    port_->setValue(profile.readInteger(section, "Port", 8765));
    token_->setText(QString::fromStdString(profile.readString(section, "Token", "")));
    if (enabled_->isChecked())
        serve(true, address_->text(), port_->value(), token_->text());
}

void WebStatusWindow::apply() {
    const QString address = address_->text().trimmed();
    const QString token = token_->text().trimmed();
    try {
        IniFile::getIniFile().writeTogether(
            {{section, "Enabled", enabled_->isChecked() ? "1" : "0"},
             {section, "Address", address.toStdString()},
             {section, "Port", std::to_string(port_->value())},
             {section, "Token", token.toStdString()}});
    } catch (const std::exception& e) {
        status_->setText(QStringLiteral("The settings could not be stored: ") +
                         QString::fromLocal8Bit(e.what()));
        return;
    }
    serve(enabled_->isChecked(), address, port_->value(), token);
}

void WebStatusWindow::serve(bool enabled, const QString& address, int port, const QString& token) {
    server_.stop();
    if (!enabled) {
        status_->setText(QStringLiteral("The status page is off."));
        return;
    }
    WebServerOptions options;
    options.address = address.toStdString();
    options.port = port;
    options.token = token.toStdString();
    if (const auto failure = server_.start(options)) {
        status_->setText(QString::fromStdString(*failure));
        return;
    }
    QString text = QStringLiteral("The status page is at ") + QString::fromStdString(server_.url());
    if (!token.isEmpty())
        text += QStringLiteral("\nOpen it with ?token= and the token, as in ") +
                QString::fromStdString(server_.url()) + QStringLiteral("?token=...");
    status_->setText(text);
}
