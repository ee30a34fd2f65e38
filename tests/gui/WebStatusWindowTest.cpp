// SPDX-License-Identifier: GPL-3.0-or-later
// The Web Status window: the profile's settings start the server, Apply stores and serves
// them, and a page served to the network gets a QR code that reads back as its address.
#include "WebStatusWindow.h"
#include "EngineFakes.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "settings/IniFile.h"
#include "workstation/TimerAlarmCountdown.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <arpa/inet.h>
#include <cstdio>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback port nobody listens on now, or one held for the test's life.
class LoopbackPort {
public:
    explicit LoopbackPort(bool hold) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no loopback port for the test");
        port_ = ntohs(address.sin_port);
        if (hold)
            listen(socket_, 1);
        else
            close(std::exchange(socket_, -1));
    }
    ~LoopbackPort() {
        if (socket_ >= 0)
            close(socket_);
    }
    int port() const { return port_; }

private:
    int socket_ = -1;
    int port_ = 0;
};

// What a phone's camera would read from the code, through zbarimg; nothing without it.
std::optional<std::string> decoded(const QPixmap& code, const std::string& directory) {
    if (std::system("command -v zbarimg >/dev/null 2>&1") != 0)
        return std::nullopt;
    const std::string path = directory + "/code.png";
    code.save(QString::fromStdString(path));
    std::string text;
    if (FILE* output = popen(("zbarimg --quiet --raw '" + path + "' 2>/dev/null").c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, output))
            text += buffer;
        pclose(output);
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

struct WebStatusWindowTest : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
    }
    void TearDown() override {
        window.reset();
        engine.reset();
        ProfileStoreFixture::TearDown();
    }
    void openWindow(const std::string& profile) {
        TempDirectory::writeFile(store() + "/Default.ini", profile);
        openDefault();
        engine = std::make_unique<MeasurementEngine>(QString::fromStdString(temp_.path("program")),
                                                     clock, tones, prompts);
        engine->setTitle(QStringLiteral("Overnight culture"));
        window = std::make_unique<WebStatusWindow>(*engine, countdown);
        window->startFromProfile();
    }
    void applyWith(bool enabled, const QString& address, int port, const QString& token) {
        window->findChild<QCheckBox*>("WebEnabled")->setChecked(enabled);
        window->findChild<QLineEdit*>("WebAddress")->setText(address);
        window->findChild<QSpinBox*>("WebPort")->setValue(port);
        window->findChild<QLineEdit*>("WebToken")->setText(token);
        window->findChild<QPushButton*>("WebApply")->click();
    }
    std::string stored(const char* key) const {
        return IniFile::ProfileFile(store() + "/Default.ini").readString("Web", key, "<absent>");
    }
    QLabel* label(const char* name) { return window->findChild<QLabel*>(name); }

    LogCapture log;
    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    TimerAlarmCountdown countdown{tones};
    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<WebStatusWindow> window;
};

TEST_F(WebStatusWindowTest, TheProfileStartsTheServerOnThisComputerOnly) {
    const LoopbackPort free(false);
    openWindow("[Web]\nEnabled=1\nAddress=127.0.0.1\nPort=" + std::to_string(free.port()) + "\n");
    ASSERT_EQ(window->server().port(), free.port()) << window->statusText().toStdString();
    EXPECT_TRUE(window->findChild<QCheckBox*>("WebEnabled")->isChecked());
    EXPECT_TRUE(
        window->statusText().contains(QStringLiteral("http://127.0.0.1:%1/").arg(free.port())));

    httplib::Client client("127.0.0.1", free.port());
    const auto answer = client.Get("/api/status");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_NE(answer->body.find("\"title\":\"Overnight culture\""), std::string::npos);

    // A loopback page cannot be opened from a phone: no code, and the window says why.
    EXPECT_TRUE(window->sharedUrl().isEmpty());
    EXPECT_TRUE(label("WebQrCode")->isHidden());
    EXPECT_TRUE(label("WebSharing")->text().contains(QStringLiteral("this computer only")));
}

// A page the profile switches on that cannot be served at the start is not shown as on; the
// profile keeps the choice for the next start.
TEST_F(WebStatusWindowTest, APageThatCannotBeServedAtTheStartIsShownOff) {
    const LoopbackPort busy(true);
    openWindow("[Web]\nEnabled=1\nAddress=127.0.0.1\nPort=" + std::to_string(busy.port()) + "\n");
    EXPECT_EQ(window->server().port(), 0);
    EXPECT_FALSE(window->findChild<QCheckBox*>("WebEnabled")->isChecked());
    EXPECT_TRUE(window->statusText().contains(QStringLiteral("already in use")));
    EXPECT_EQ(stored("Enabled"), "1");
}

TEST_F(WebStatusWindowTest, ApplyStoresTheSettingsAndServesOrSaysWhyNot) {
    openWindow("");
    EXPECT_EQ(window->server().port(), 0);
    EXPECT_EQ(window->statusText(), QStringLiteral("The status page is off."));

    // To the network without a token: refused, with the reason.
    const LoopbackPort free(false);
    applyWith(true, QStringLiteral("0.0.0.0"), free.port(), QString());
    EXPECT_EQ(window->server().port(), 0);
    EXPECT_TRUE(window->statusText().contains(QStringLiteral("it needs a token")))
        << window->statusText().toStdString();
    EXPECT_TRUE(window->sharedUrl().isEmpty());
    // Not shown nor stored as switched on; what was typed is kept for mending.
    EXPECT_FALSE(window->findChild<QCheckBox*>("WebEnabled")->isChecked());
    EXPECT_EQ(stored("Enabled"), "0");
    EXPECT_EQ(stored("Address"), "0.0.0.0");

    // A port another program holds.
    const LoopbackPort busy(true);
    applyWith(true, QStringLiteral("127.0.0.1"), busy.port(), QString());
    EXPECT_EQ(window->server().port(), 0);
    EXPECT_TRUE(window->statusText().contains(QStringLiteral("already in use")))
        << window->statusText().toStdString();
    EXPECT_FALSE(window->findChild<QCheckBox*>("WebEnabled")->isChecked());
    EXPECT_EQ(stored("Enabled"), "0");

    // Switched off again: stored, and the server is gone.
    applyWith(false, QStringLiteral("127.0.0.1"), free.port(), QString());
    EXPECT_EQ(window->server().port(), 0);
    EXPECT_EQ(window->statusText(), QStringLiteral("The status page is off."));
    EXPECT_EQ(stored("Enabled"), "0");
    EXPECT_EQ(stored("Address"), "127.0.0.1");
    EXPECT_EQ(stored("Port"), std::to_string(free.port()));
}

TEST_F(WebStatusWindowTest, APageServedToTheNetworkHasACodeThatReadsAsItsAddress) {
    openWindow("");
    const LoopbackPort free(false);
    applyWith(true, QStringLiteral("0.0.0.0"), free.port(), QStringLiteral("lab key&1"));
    ASSERT_EQ(window->server().port(), free.port()) << window->statusText().toStdString();
    EXPECT_EQ(stored("Enabled"), "1");
    EXPECT_EQ(stored("Token"), "lab key&1");

    const QString shared = window->sharedUrl();
    if (shared.isEmpty()) {
        EXPECT_TRUE(label("WebSharing")->text().contains(QStringLiteral("no network address")));
        GTEST_SKIP() << "this computer has no network address besides the loopback one";
    }
    EXPECT_FALSE(shared.contains(QStringLiteral("0.0.0.0")));
    EXPECT_TRUE(shared.endsWith(QStringLiteral(":%1/?token=lab%20key%261").arg(free.port())))
        << shared.toStdString();
    // The token is in the code, not in the window's text.
    EXPECT_FALSE(label("WebSharing")->text().contains(QStringLiteral("lab key")));
    ASSERT_FALSE(label("WebQrCode")->isHidden());
    const auto read = decoded(label("WebQrCode")->pixmap(), temp_.path(""));
    if (read) {
        EXPECT_EQ(*read, shared.toStdString());
    }

    // Switched off, the code and its text go, and the window gives their room back.
    window->show();
    const int withCode = window->height();
    applyWith(false, QStringLiteral("0.0.0.0"), free.port(), QStringLiteral("lab key&1"));
    EXPECT_TRUE(label("WebQrCode")->isHidden());
    EXPECT_LT(window->height(), withCode);
}

} // namespace
