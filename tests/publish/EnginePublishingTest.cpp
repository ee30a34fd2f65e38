// SPDX-License-Identifier: GPL-3.0-or-later
// What a measurement leaves in the outbox, on real files: the rows a killed program stored but
// never queued go out on its next start as they would have gone out live, and the timer
// alarm's events once each. The broker is a port nobody listens on: the messages stay.
#include "publish/EnginePublishing.h"
#include "../workstation/EngineFixture.h"
#include "LoopbackBroker.h"
#include "MosquittoBroker.h"
#include "ThreadPriorities.h"
#include "publish/BrokerPublisher.h"
#include "publish/PublishMessages.h"
#include "workstation/TimerAlarmCountdown.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <thread>

namespace {

const QDateTime firstStart(QDate(2026, 3, 2), QTime(9, 5, 3, 417));
// Longer than the table's Title column, with a character of two UTF-16 units at the cut.
const QString longTitle = QString(48, QLatin1Char('K')) + QString::fromUtf8("µ🧫 and more");

class EngineOutbox : public ProfileStoreFixture {
protected:
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
    }

    QString directory(const std::string& name) {
        TempDirectory::writeFile(temp_.path(name + "/Templates/Template.txt"), "Lab:\n");
        return QString::fromStdString(temp_.path(name));
    }

    BrokerSettings settings() const { return loopbackBroker(deadPort_, QStringLiteral("lab/ws1")); }

    // A measurement of `rows` rows from `start`, published from the start. From row `queued` on
    // the rows are stored as a program killed between the table's commit and the outbox's
    // insert leaves them: the engine goes on without its publisher.
    void measure(const QString& program, const QDateTime& start, int rows, int queued) {
        FakeClock clock;
        clock.current = start;
        RecordingTones tones;
        ScriptedPrompts prompts;
        MeasurementEngine engine(program, clock, tones, prompts);
        auto source = std::make_unique<ScriptedSource>();
        source->next = [](int read) { return 0.1 + 0.0123 * read; };
        engine.setSource(std::move(source));
        engine.setInterval(2);
        engine.setTitle(longTitle);
        TickDriver driver(engine, clock);
        auto publisher =
            queued > 0 ? std::make_unique<BrokerPublisher>(program, settings()) : nullptr;
        auto publishing = publisher ? std::make_unique<EnginePublishing>(engine, *publisher,
                                                                         QStringLiteral("Sim0"))
                                    : nullptr;
        ASSERT_TRUE(engine.start());
        for (int row = 0; row < rows; ++row) {
            if (row == queued) {
                publishing.reset();
                publisher.reset();
            }
            ASSERT_TRUE(driver.untilNextSample());
            QCoreApplication::processEvents(); // the outbox takes the row after the tick
        }
        engine.shutDown();
    }

    // The next start of the program: publishing comes up over the working table as it was left.
    void startAgain(const QString& program) {
        FakeClock clock;
        RecordingTones tones;
        ScriptedPrompts prompts;
        MeasurementEngine engine(program, clock, tones, prompts);
        BrokerPublisher publisher(program, settings());
        EnginePublishing publishing(engine, publisher, QStringLiteral("Sim0"));
        QCoreApplication::processEvents();
    }

    static std::vector<QJsonObject> outboxMessages(const QString& program, const char* kind) {
        std::vector<QJsonObject> found;
        for (const auto& message : PublishOutbox(program).after(0, 100000))
            if (message.topic == QStringLiteral("lab/ws1/") + QLatin1String(kind))
                found.push_back(QJsonDocument::fromJson(message.payload).object());
        return found;
    }

    LogCapture log_;
    int deadPort_ = MosquittoBroker::freePort();
};

QDateTime timeOf(const QJsonObject& message) {
    return QDateTime::fromString(message.value(QStringLiteral("time")).toString(),
                                 Qt::ISODateWithMs);
}

} // namespace

TEST_F(EngineOutbox, RowsAKilledProgramNeverQueuedGoOutOnTheNextStartAsTheyWouldHaveLive) {
    const QString live = directory("live");
    const QString killed = directory("killed");
    measure(live, firstStart, 7, 7);
    measure(killed, firstStart, 7, 3);
    ASSERT_EQ(outboxMessages(killed, "sample").size(), 3u);

    startAgain(killed);

    const auto expected = outboxMessages(live, "sample");
    const auto recovered = outboxMessages(killed, "sample");
    ASSERT_EQ(expected.size(), 7u);
    ASSERT_EQ(recovered.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QJsonObject withoutTime = recovered[i];
        QJsonObject expectedWithoutTime = expected[i];
        withoutTime.remove(QStringLiteral("time"));
        expectedWithoutTime.remove(QStringLiteral("time"));
        EXPECT_EQ(withoutTime, expectedWithoutTime) << i;
        // The table keeps whole seconds of the elapsed time: never late, less than 1 s early.
        const qint64 early = timeOf(recovered[i]).msecsTo(timeOf(expected[i]));
        EXPECT_GE(early, 0) << i;
        EXPECT_LT(early, 1000) << i;
    }
    EXPECT_EQ(recovered[6].value(QStringLiteral("number")).toInt(), 6);
    EXPECT_NE(recovered[5].value(QStringLiteral("od")), recovered[6].value(QStringLiteral("od")));
    EXPECT_EQ(recovered[0].value(QStringLiteral("title")).toString(),
              limitedText(longTitle, RecordTable::titleLength));

    startAgain(killed); // the mark is current now: nothing goes out twice
    EXPECT_EQ(outboxMessages(killed, "sample").size(), 7u);
}

TEST_F(EngineOutbox, ARunMeasuredWithoutPublishingIsNeverPublished) {
    const QString published = directory("published");
    measure(published, firstStart, 3, 3);
    measure(published, firstStart.addSecs(3600), 4, 0);
    const QString neverPublished = directory("never"); // an outbox without any run
    measure(neverPublished, firstStart, 4, 0);

    for (const QString& program : {published, neverPublished}) {
        const size_t before = outboxMessages(program, "sample").size();
        startAgain(program);
        EXPECT_EQ(outboxMessages(program, "sample").size(), before) << program.toStdString();
    }
}

TEST_F(EngineOutbox, TimerAlarmRingingAndStopAreEachPublishedOnce) {
    const QString program = directory("timer");
    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    MeasurementEngine engine(program, clock, tones, prompts);
    engine.setSource(std::make_unique<ScriptedSource>());
    TimerAlarmCountdown countdown(tones);
    {
        BrokerPublisher publisher(program, settings());
        EnginePublishing publishing(engine, publisher, QStringLiteral("Sim0"));
        publishing.watchTimer(countdown);
        ASSERT_TRUE(engine.start());
        countdown.start(2);
        for (int second = 0; second < 8; ++second) // rings from the third second on, each second
            countdown.tick();
        ASSERT_TRUE(countdown.isRinging());
        countdown.stop();
        countdown.stop();
        engine.shutDown();
    }

    const auto alarms = outboxMessages(program, "alarm");
    ASSERT_EQ(alarms.size(), 2u);
    const QString run = PublishMessages::runId(clock.current, BrokerSettings::hostName());
    const char* events[] = {"ringing", "stopped"};
    for (size_t i = 0; i < alarms.size(); ++i) {
        EXPECT_EQ(alarms[i], QJsonObject({{"run", run},
                                          {"kind", "timer"},
                                          {"event", events[i]},
                                          {"time", PublishMessages::isoTime(clock.current)}}))
            << QJsonDocument(alarms[i]).toJson().toStdString();
    }
}

// The broker's network thread never competes with the sampling cycle.
TEST_F(EngineOutbox, TheBrokersThreadRunsBelowTheSamplingPriority) {
    const int before = threadsBelowTheMainThread();
    BrokerPublisher publisher(directory("program"), settings());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (threadsBelowTheMainThread() == before && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // the thread lowers itself
    EXPECT_EQ(threadsBelowTheMainThread(), before + 1);
}
