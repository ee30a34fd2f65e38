// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/WebEngineFeed.h"
#include "web/WebEventHub.h"
#include "web/WebServer.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QWidget>
#include <memory>

class TimerAlarmCountdown;

// View -> "Web Status": where the run's read-only status page is served, and the place to
// switch it on. The settings live in the profile's section "Web" ("Enabled", "Address",
// "Port", "Token"). A server that cannot start says why here; the measurement runs on.
class WebStatusWindow : public QWidget {
    Q_OBJECT
public:
    WebStatusWindow(MeasurementEngine& engine, TimerAlarmCountdown& timer,
                    QWidget* parent = nullptr);
    ~WebStatusWindow() override;

    // Serves as the profile says; called once at program start.
    void startFromProfile();
    void setDevice(const QString& device);
    const WebServer& server() const { return server_; }
    QString statusText() const { return status_->text(); }
    // The address a phone or another computer opens, token included; empty when the page is
    // off or served to this computer only. The window shows it as a QR code.
    QString sharedUrl() const { return sharedUrl_; }

private:
    void apply();
    // False when the page was asked for but cannot be served; the window says why.
    bool serve(bool enabled, const QString& address, int port, const QString& token);
    void showSharing(const QString& address, int port, const QString& token);

    MeasurementEngine& engine_;
    TimerAlarmCountdown& timer_;
    QString device_;
    WebEventHub hub_;
    WebServer server_{hub_};
    // Only while the page is served: the hub then holds every row of the run.
    std::unique_ptr<WebEngineFeed> feed_;
    QCheckBox* enabled_;
    QLineEdit* address_;
    QSpinBox* port_;
    QLineEdit* token_;
    QLabel* status_;
    QLabel* qrCode_;
    QLabel* sharing_;
    QString sharedUrl_;
};
