// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli measure publishing to a real mosquitto broker on a loopback port: every stored
// row arrives in order with its values, across a broker restart and a killed program.
#include "MosquittoBroker.h"
#include "ProfileStoreFixture.h"
#include "Subprocess.h"
#include "publish/PublishOutbox.h"
#include "workstation/RecordTable.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <csignal>
#include <stdexcept>

namespace {

std::string cli() {
    return NEPHODAR_PROGRAM_DIR "/nephodar-cli";
}

struct MqttCli : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        openDefault();
    }

    std::unique_ptr<Subprocess> start(int port, int samples, const std::string& title = "run") {
        return std::make_unique<Subprocess>(
            cli(), std::vector<std::string>{
                       "measure", "--program-dir", temp_.path("program"), "--device", "Sim0",
                       "--samples", std::to_string(samples), "--interval", "0.1", "--title", title,
                       "--mqtt", "127.0.0.1:" + std::to_string(port), "--topic", "lab/ws1"});
    }
    static int finish(Subprocess& tool, std::vector<std::string>* lines = nullptr) {
        for (std::string line = tool.nextLine(20000); !line.empty(); line = tool.nextLine(20000))
            if (lines)
                lines->push_back(line);
        return tool.wait(20000);
    }
    // A run of six samples on a broker that refuses it: every sample is taken and queued, and
    // the refusal is said exactly once. Returns all the tool said on standard error.
    std::string refusedRunSays(int port, const std::string& refusal) {
        auto tool = start(port, 6);
        std::vector<std::string> lines;
        EXPECT_EQ(finish(*tool, &lines), 0);
        EXPECT_EQ(lines.size(), 6u);
        const std::string errors = tool->errorOutput();
        const auto said = errors.find(refusal);
        EXPECT_NE(said, std::string::npos) << errors;
        if (said != std::string::npos) {
            EXPECT_EQ(errors.find(refusal, said + 1), std::string::npos) << errors;
        }
        EXPECT_GE(PublishOutbox(QString::fromStdString(temp_.path("program"))).count(), 6);
        return errors;
    }
    std::vector<RecordRow> storedRows() {
        return RecordTable::openFile(QString::fromStdString(temp_.path("program/Record1.db")), true)
            ->allRows();
    }
};

TEST_F(MqttCli, EveryStoredRowArrivesInOrderWithItsValues) {
    MosquittoBroker broker;
    BrokerSubscriber subscriber(broker.port(), "lab/ws1/#");
    const std::string title = "Tür \"7\"\tµ";
    auto tool = start(broker.port(), 12, title);
    ASSERT_EQ(finish(*tool), 0) << tool->errorOutput();
    const auto rows = storedRows();
    ASSERT_EQ(rows.size(), 12u);
    const auto samples = subscriber.waitFor("/sample", rows.size(), 10000);
    ASSERT_EQ(samples.size(), rows.size());
    const QString run = payloadOf(samples.front()).value(QStringLiteral("run")).toString();
    EXPECT_TRUE(run.endsWith(QLatin1Char('@') + QSysInfo::machineHostName()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const QJsonObject sample = payloadOf(samples[i]);
        EXPECT_EQ(sample.value(QStringLiteral("run")).toString(), run);
        EXPECT_EQ(sample.value(QStringLiteral("number")).toDouble(), rows[i].number);
        EXPECT_DOUBLE_EQ(sample.value(QStringLiteral("od")).toDouble(), rows[i].od);
        EXPECT_DOUBLE_EQ(sample.value(QStringLiteral("calcOd")).toDouble(), rows[i].calcOd);
        EXPECT_DOUBLE_EQ(sample.value(QStringLiteral("minutes")).toDouble(), rows[i].minutes);
        EXPECT_EQ(sample.value(QStringLiteral("title")).toString(), rows[i].title);
    }
    EXPECT_EQ(rows[0].title, QString::fromStdString(title));
    // The last state stays on the broker for whoever subscribes later.
    BrokerSubscriber late(broker.port(), "lab/ws1/state");
    const auto state = late.waitFor("/state", 1, 5000);
    ASSERT_EQ(state.size(), 1u);
    EXPECT_TRUE(state[0].retained);
    EXPECT_EQ(payloadOf(state[0]).value(QStringLiteral("state")).toString(), "stopped");
    EXPECT_EQ(payloadOf(state[0]).value(QStringLiteral("device")).toString(), "Sim0");
    EXPECT_EQ(PublishOutbox(QString::fromStdString(temp_.path("program"))).count(), 0);
}

TEST_F(MqttCli, BrokerStoppedAndRestartedMidRunLosesNoRow) {
    MosquittoBroker broker;
    auto subscriber = std::make_unique<BrokerSubscriber>(broker.port(), "lab/ws1/sample");
    auto tool = start(broker.port(), 40);
    for (int i = 0; i < 8; ++i)
        ASSERT_FALSE(tool->nextLine(20000).empty());
    subscriber.reset();
    broker.stop();
    for (int i = 0; i < 8; ++i) // sampling goes on without the broker
        ASSERT_FALSE(tool->nextLine(5000).empty());
    broker.start();
    // Subscribed before the rows come again; the ones already taken are not lost either.
    BrokerSubscriber again(broker.port(), "lab/ws1/sample");
    ASSERT_EQ(finish(*tool), 0) << tool->errorOutput();
    EXPECT_NE(tool->errorOutput().find("broker unreachable"), std::string::npos);
    const auto rows = storedRows();
    ASSERT_EQ(rows.size(), 40u);
    const auto samples = again.waitFor("/sample", 24, 10000);
    ASSERT_FALSE(samples.empty());
    const QString run = payloadOf(samples.back()).value(QStringLiteral("run")).toString();
    const auto numbers = firstArrivals(samples, run);
    // From the first row the broker had not acknowledged on, every row, in order.
    ASSERT_GE(numbers.size(), 24u);
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
    EXPECT_EQ(numbers.back(), 39);
    EXPECT_LE(numbers.front(), 16);
}

TEST_F(MqttCli, KilledWithTheBrokerDownDeliversItsRowsOnTheNextStart) {
    const int port = MosquittoBroker::freePort();
    auto killed = start(port, 100);
    for (int i = 0; i < 6; ++i)
        ASSERT_FALSE(killed->nextLine(20000).empty());
    killed->signal(SIGKILL);
    killed->wait();
    const auto firstRun = storedRows();
    ASSERT_GE(firstRun.size(), 6u);

    MosquittoBroker broker; // on a port of its own: the queued rows follow the settings
    BrokerSubscriber subscriber(broker.port(), "lab/ws1/sample");
    auto next = start(broker.port(), 3);
    ASSERT_EQ(finish(*next), 0) << next->errorOutput();
    const auto samples = subscriber.waitFor("/sample", firstRun.size() + 3, 10000);
    ASSERT_GE(samples.size(), firstRun.size() + 3);
    const QString oldRun = payloadOf(samples.front()).value(QStringLiteral("run")).toString();
    const QString newRun = payloadOf(samples.back()).value(QStringLiteral("run")).toString();
    EXPECT_NE(oldRun, newRun);
    const auto oldNumbers = firstArrivals(samples, oldRun);
    ASSERT_EQ(oldNumbers.size(), firstRun.size());
    for (size_t i = 0; i < oldNumbers.size(); ++i)
        EXPECT_EQ(oldNumbers[i], static_cast<int>(i));
    EXPECT_EQ(firstArrivals(samples, newRun), (std::vector<int>{0, 1, 2}));
}

TEST_F(MqttCli, WrongPasswordIsSaidOnceAndSamplingGoesOn) {
    MosquittoBroker broker("right");
    TempDirectory::writeFile(temp_.path("password"), "wrong\n");
    auto& profile = IniFile::getIniFile();
    profile.writeString("MQTT", "User", "lab");
    profile.writeString("MQTT", "PasswordFile", temp_.path("password"));
    const std::string errors = refusedRunSays(broker.port(), "refused the login of user \"lab\"");
    EXPECT_EQ(errors.find("wrong"), std::string::npos); // the password is never shown
}

// A self-signed certificate for 127.0.0.1 and its key, made with openssl; it is also the CA
// file that trusts it.
MosquittoBroker::TlsFiles selfSigned(const std::string& stem) {
    MosquittoBroker::TlsFiles files{stem + ".crt", stem + ".key"};
    Subprocess openssl("/usr/bin/openssl",
                       {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                        "subjectAltName=IP:127.0.0.1", "-keyout", files.key, "-out",
                        files.certificate});
    if (openssl.wait(20000) != 0)
        throw std::runtime_error("openssl: " + openssl.errorOutput());
    return files;
}

TEST_F(MqttCli, OverTlsEveryRowArrivesAndAnUntrustedBrokerIsSaidOnce) {
    const auto brokerFiles = selfSigned(temp_.path("broker"));
    const auto strangerFiles = selfSigned(temp_.path("stranger"));
    MosquittoBroker broker(MosquittoBroker::Options{{}, brokerFiles, 0, {}});
    BrokerSubscriber subscriber(broker.port(), "lab/ws1/sample"); // on the plain listener
    auto& profile = IniFile::getIniFile();

    // Trusting the broker's certificate: the rows go over TLS.
    profile.writeString("MQTT", "CAFile", brokerFiles.certificate);
    auto trusted = start(broker.tlsPort(), 4);
    ASSERT_EQ(finish(*trusted), 0) << trusted->errorOutput();
    EXPECT_EQ(trusted->errorOutput().find("TLS"), std::string::npos) << trusted->errorOutput();
    EXPECT_EQ(subscriber.waitFor("/sample", 4, 10000).size(), 4u);
    EXPECT_EQ(PublishOutbox(QString::fromStdString(temp_.path("program"))).count(), 0);

    // Trusting another certificate: the handshake fails, is said once, and sampling goes on.
    profile.writeString("MQTT", "CAFile", strangerFiles.certificate);
    refusedRunSays(broker.tlsPort(), "TLS handshake");
}

// The state carries the whole title, the samples only what the table keeps of it: with a
// long title the state grows past what the broker takes. It is said and dropped, and holds
// back none of the rows after it.
TEST_F(MqttCli, AMessageTooLargeForTheBrokerIsSaidAndHoldsBackNoRow) {
    MosquittoBroker broker(MosquittoBroker::Options{{}, std::nullopt, 1024, {}});
    BrokerSubscriber subscriber(broker.port(), "lab/ws1/sample");
    auto tool = start(broker.port(), 6, std::string(1500, 'T'));
    ASSERT_EQ(finish(*tool), 0) << tool->errorOutput();
    EXPECT_NE(tool->errorOutput().find("larger than the MQTT broker"), std::string::npos)
        << tool->errorOutput();
    const auto samples = subscriber.waitFor("/sample", 6, 10000);
    ASSERT_EQ(samples.size(), 6u);
    for (size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(payloadOf(samples[i]).value(QStringLiteral("number")).toInt(),
                  static_cast<int>(i));
    EXPECT_EQ(PublishOutbox(QString::fromStdString(temp_.path("program"))).count(), 0);
}

// A broker whose ACL denies the state topic: its refusal is said once, the refused messages
// are set aside where they can be looked at, and every row after them arrives in order.
TEST_F(MqttCli, MessagesTheBrokerRefusesAreSetAsideAndHoldBackNothing) {
    MosquittoBroker::Options options;
    options.acl = "topic write lab/ws1/sample\ntopic read lab/ws1/#\n";
    MosquittoBroker broker(options);
    BrokerSubscriber subscriber(broker.port(), "lab/ws1/#");
    Subprocess tool(cli(), {"measure", "--program-dir", temp_.path("program"), "--device", "Sim0",
                            "--samples", "10", "--interval", "0.1", "--note", "3:checked", "--mqtt",
                            "127.0.0.1:" + std::to_string(broker.port()), "--topic", "lab/ws1"});
    ASSERT_EQ(finish(tool), 0) << tool.errorOutput();
    // Said once, whichever topics the broker denies.
    const std::string errors = tool.errorOutput();
    const std::string said = "refused a message on lab/ws1/state: Not authorized.";
    const auto first = errors.find(said);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find("refused a message", first + 1), std::string::npos) << errors;

    const auto samples = subscriber.waitFor("/sample", 10, 10000);
    ASSERT_FALSE(samples.empty());
    const QString run = payloadOf(samples.front()).value(QStringLiteral("run")).toString();
    EXPECT_EQ(firstArrivals(samples, run), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const QString program = QString::fromStdString(temp_.path("program"));
    EXPECT_EQ(PublishOutbox(program).count(), 0) << "every message left the outbox";
    SqliteDatabase outbox(PublishOutbox::filePath(program), SqliteDatabase::Mode::ReadOnly);
    auto refused = outbox.prepare("SELECT Topic, Payload, Reason FROM Refused ORDER BY Id");
    std::vector<std::string> kept;
    while (refused.step()) {
        EXPECT_EQ(refused.text(2), "Not authorized");
        const QString topic = refused.text(0);
        const QJsonObject payload = QJsonDocument::fromJson(refused.text(1).toUtf8()).object();
        const QString field = topic.endsWith(QLatin1String("/note")) ? QStringLiteral("text")
                                                                     : QStringLiteral("state");
        kept.push_back((topic + QLatin1Char(' ') + payload.value(field).toString()).toStdString());
    }
    EXPECT_EQ(kept, (std::vector<std::string>{"lab/ws1/state running", "lab/ws1/note checked",
                                              "lab/ws1/state stopped"}));
}

// Killed mid-run, the program leaves the retained state "lost", not "running".
TEST_F(MqttCli, AProgramThatDiesLeavesItsStateLost) {
    MosquittoBroker broker;
    BrokerSubscriber watcher(broker.port(), "lab/ws1/state");
    auto tool = start(broker.port(), 100000);
    const auto running = watcher.waitFor("/state", 1, 10000);
    ASSERT_EQ(running.size(), 1u) << tool->errorOutput();
    EXPECT_EQ(payloadOf(running[0]).value(QStringLiteral("state")).toString(), "running");
    tool->signal(SIGKILL);
    tool->wait();
    const auto states = watcher.waitFor("/state", 2, 10000);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(payloadOf(states[1]).value(QStringLiteral("state")).toString(), "lost");
    // What a dashboard that comes later is told.
    BrokerSubscriber later(broker.port(), "lab/ws1/state");
    const auto retained = later.waitFor("/state", 1, 10000);
    ASSERT_EQ(retained.size(), 1u);
    EXPECT_TRUE(retained[0].retained);
    EXPECT_EQ(payloadOf(retained[0]).value(QStringLiteral("state")).toString(), "lost");
}

TEST_F(MqttCli, UnusableTopicPrefixIsRefusedBeforeMeasuring) {
    for (const char* prefix : {"lab/+/ws1", "lab/#", "lab//ws1", "/lab", "$SYS/lab"}) {
        Subprocess tool(cli(),
                        {"measure", "--program-dir", temp_.path("program"), "--device", "Sim0",
                         "--samples", "2", "--mqtt", "127.0.0.1:1", "--topic", prefix});
        EXPECT_TRUE(tool.nextLine(10000).empty()) << prefix;
        EXPECT_NE(tool.wait(), 0) << prefix;
        EXPECT_NE(tool.errorOutput().find("topic prefix"), std::string::npos) << prefix;
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(temp_.path("program/Record1.db"))) &&
                 !storedRows().empty());
}

} // namespace
