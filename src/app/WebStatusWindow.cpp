// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebStatusWindow.h"

#include "QrCodeImage.h"
#include "settings/IniFile.h"
#include "web/WebRequestRules.h"
#include "workstation/TimerAlarmCountdown.h"

#include <QFormLayout>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>

namespace {

const char* const section = "Web";

// This computer's first IPv4 address on a network that is up, not the loopback one: what a
// server bound to every address is reached at from elsewhere. Empty when there is none.
QString networkAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text))
            return QString::fromLatin1(text);
    }
    return {};
}

bool isEveryAddress(const QString& address) {
    return address == QLatin1String("0.0.0.0") || address == QLatin1String("::");
}

} // namespace

WebStatusWindow::WebStatusWindow(MeasurementEngine& engine, TimerAlarmCountdown& timer,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(engine), timer_(timer), enabled_(new QCheckBox(this)),
      address_(new QLineEdit(this)), port_(new QSpinBox(this)), token_(new QLineEdit(this)),
      status_(new QLabel(this)), qrCode_(new QLabel(this)), sharing_(new QLabel(this)) {
    setObjectName(QStringLiteral("WebStatusWindow"));
    setWindowTitle(QStringLiteral("Web Status"));
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
    qrCode_->setObjectName(QStringLiteral("WebQrCode"));
    qrCode_->setAlignment(Qt::AlignCenter);
    qrCode_->hide();
    sharing_->setObjectName(QStringLiteral("WebSharing"));
    sharing_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sharing_->setWordWrap(true);
    sharing_->hide();
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
    layout->addWidget(qrCode_);
    layout->addWidget(sharing_);
    layout->addStretch();
    connect(apply, &QPushButton::clicked, this, &WebStatusWindow::apply);

    enabled_->setChecked(false);
    address_->setText(QStringLiteral("127.0.0.1"));
    port_->setValue(8765);
    status_->setText(QStringLiteral("The status page is off."));
}

WebStatusWindow::~WebStatusWindow() {
    server_.stop();
}

void WebStatusWindow::setDevice(const QString& device) {
    device_ = device;
    if (feed_)
        feed_->setDevice(device);
}

void WebStatusWindow::startFromProfile() {
    // The profile is there once the main window has started.
    auto& profile = IniFile::getIniFile();
    enabled_->setChecked(profile.readInteger(section, "Enabled", 0) == 1);
    address_->setText(QString::fromStdString(profile.readString(section, "Address", "127.0.0.1")));
    port_->setValue(profile.readInteger(section, "Port", 8765));
    token_->setText(QString::fromStdString(profile.readString(section, "Token", "")));
    // A page that cannot be served now is not shown as switched on; the profile keeps what
    // the user chose, for the next start.
    if (enabled_->isChecked() && !serve(true, address_->text(), port_->value(), token_->text()))
        enabled_->setChecked(false);
}

void WebStatusWindow::apply() {
    const QString address = address_->text().trimmed();
    const QString token = token_->text().trimmed();
    // Served first: a page that cannot be served (an address refused, a port in use) is
    // neither shown nor stored as switched on, so the next start does not try it again.
    if (!serve(enabled_->isChecked(), address, port_->value(), token))
        enabled_->setChecked(false);
    try {
        IniFile::getIniFile().writeTogether(
            {{section, "Enabled", enabled_->isChecked() ? "1" : "0"},
             {section, "Address", address.toStdString()},
             {section, "Port", std::to_string(port_->value())},
             {section, "Token", token.toStdString()}});
    } catch (const std::exception& e) {
        status_->setText(status_->text() + QStringLiteral("\nThe settings could not be stored: ") +
                         QString::fromLocal8Bit(e.what()));
    }
    // The code and its text come and go: the window follows them, smaller as well as larger.
    adjustSize();
}

bool WebStatusWindow::serve(bool enabled, const QString& address, int port, const QString& token) {
    server_.stop();
    feed_.reset();
    hub_.resetRows({}); // nobody reads it now; a new feed reads the run again
    showSharing({}, 0, {});
    if (!enabled) {
        status_->setText(QStringLiteral("The status page is off."));
        return true;
    }
    WebServerOptions options;
    options.address = address.toStdString();
    options.port = port;
    options.token = token.toStdString();
    // The hub holds the run before the first request can come.
    feed_ = std::make_unique<WebEngineFeed>(engine_, hub_);
    feed_->setTimerAlarm(&timer_);
    feed_->setDevice(device_);
    if (const auto failure = server_.start(options)) {
        feed_.reset();
        status_->setText(QString::fromStdString(*failure));
        return false;
    }
    // Bound to every address, the page is opened here through the loopback one.
    const QString here = isEveryAddress(address)
                             ? QString::fromStdString(WebRequestRules::pageUrl(
                                   address.contains(':') ? "::1" : "127.0.0.1", server_.port()))
                             : QString::fromStdString(server_.url());
    QString text = QStringLiteral("The status page is at ") + here;
    if (!token.isEmpty())
        text += QStringLiteral("\nOpen it with ?token= and the token, as in ") + here +
                QStringLiteral("?token=...");
    status_->setText(text);
    showSharing(address, server_.port(), token);
    return true;
}

// The QR code a phone opens the page with, or why there is none.
void WebStatusWindow::showSharing(const QString& address, int port, const QString& token) {
    sharedUrl_.clear();
    qrCode_->clear();
    qrCode_->hide();
    sharing_->hide();
    if (port == 0)
        return;
    sharing_->show();
    if (WebRequestRules::isLoopbackAddress(address.toStdString())) {
        sharing_->setText(QStringLiteral(
            "Served to this computer only. To open the page from a phone or another computer, "
            "set the address to 0.0.0.0 (every network of this computer) and a token."));
        return;
    }
    const QString host = isEveryAddress(address) ? networkAddress() : address;
    if (host.isEmpty()) {
        sharing_->setText(QStringLiteral("This computer has no network address to show."));
        return;
    }
    const QString page = QString::fromStdString(WebRequestRules::pageUrl(host.toStdString(), port));
    sharedUrl_ = page;
    if (!token.isEmpty())
        sharedUrl_ +=
            QStringLiteral("?token=") + QString::fromLatin1(QUrl::toPercentEncoding(token));
    const QImage code = qrCodeImage(sharedUrl_, 4);
    if (!code.isNull()) {
        qrCode_->setPixmap(QPixmap::fromImage(code));
        qrCode_->show();
    }
    // The token stays out of the text, as it does in its field; the code carries it.
    sharing_->setText(token.isEmpty()
                          ? QStringLiteral("Scan the code, or open %1").arg(page)
                          : QStringLiteral("Scan the code, which carries the token, or open %1 "
                                           "and add ?token= and the token.")
                                .arg(page));
}
