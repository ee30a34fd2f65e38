// SPDX-License-Identifier: GPL-3.0-or-later
// The topic prefix checks, the JSON messages with hostile texts, and the outbox on disk.
#include "publish/PublishMessages.h"
#include "TempDirectory.h"
#include "publish/BrokerSettings.h"
#include "publish/PublishOutbox.h"
#include "publish/PublishTopics.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <gtest/gtest.h>

TEST(PublishTopics, PrefixesWithWildcardsEmptyLevelsOrTheBrokersMarkAreRefused) {
    const struct {
        const char* prefix;
        bool usable;
    } cases[] = {
        {"nephodar/ws1/Default", true},
        {"lab", true},
        {"läb/gerät 1", true},
        {"", false},
        {"a/+/b", false},
        {"a/#", false},
        {"lab+1", false},
        {"/lab", false},
        {"lab/", false},
        {"lab//ws1", false},
        {"lab/\tws1", false},
        {"$SYS/lab", false},
        {"$lab", false},
        {"lab/$1", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PublishTopics::prefixProblem(QString::fromUtf8(c.prefix)).isEmpty(), c.usable)
            << c.prefix;
    EXPECT_FALSE(PublishTopics::prefixProblem(QString(QChar(0xd800))).isEmpty());
}

TEST(PublishTopics, DefaultPrefixIsUsableWhateverTheNames) {
    const QString prefix =
        PublishTopics::defaultPrefix(QStringLiteral("host/+#"), QStringLiteral("My #1"));
    EXPECT_EQ(prefix, QStringLiteral("nephodar/host___/My _1"));
    EXPECT_TRUE(PublishTopics::prefixProblem(prefix).isEmpty());
    EXPECT_TRUE(PublishTopics::prefixProblem(PublishTopics::defaultPrefix({}, {})).isEmpty());
}

TEST(BrokerSettingsAddress, HostAndPortAreReadOrRefused) {
    const struct {
        const char* address;
        const char* host;
        int port;
    } good[] = {{"broker", "broker", 1883},
                {"10.0.0.5:8883", "10.0.0.5", 8883},
                {"[::1]:1884", "::1", 1884},
                {"[fe80::1]", "fe80::1", 1883}};
    for (const auto& c : good) {
        BrokerSettings settings;
        settings.setAddress(QString::fromUtf8(c.address));
        EXPECT_EQ(settings.host, QString::fromUtf8(c.host)) << c.address;
        EXPECT_EQ(settings.port, c.port) << c.address;
    }
    for (const char* bad : {"", ":1883", "host:", "host:x", "[::1"}) {
        BrokerSettings settings;
        EXPECT_THROW(settings.setAddress(QString::fromUtf8(bad)), std::invalid_argument) << bad;
    }
    BrokerSettings outOfRange;
    outOfRange.setAddress(QStringLiteral("broker:70000"));
    outOfRange.topicPrefix = QStringLiteral("lab");
    EXPECT_THROW(outOfRange.check(), std::invalid_argument);
}

TEST(PublishMessages, HostileTextsComeOutAsValidJsonExactly) {
    const QString hostile[] = {
        QStringLiteral("\"quoted\" \\ back\\slash"),
        QStringLiteral("tab\tline\nbreak\r\x01\x1f end"),
        QString::fromUtf8("Kultur µ 37 °C – 菌株 🧫"),
        QStringLiteral("{\"run\":\"fake\"}"),
    };
    const QDateTime start(QDate(2026, 3, 29), QTime(1, 30), QTimeZone(3600));
    for (const QString& text : hostile) {
        PublishMessages::Sample row{PublishMessages::runId(start, QStringLiteral("ws1")),
                                    7,
                                    1.5,
                                    0.25,
                                    0.5,
                                    start.addSecs(90),
                                    text};
        QJsonParseError error;
        const auto sample = QJsonDocument::fromJson(PublishMessages::sample(row), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
        EXPECT_EQ(sample.object().value(QStringLiteral("title")).toString(), text);
        EXPECT_EQ(sample.object().value(QStringLiteral("number")).toInt(), 7);
        EXPECT_EQ(sample.object().value(QStringLiteral("time")).toString(),
                  QStringLiteral("2026-03-29T01:31:30.000+01:00"));
        EXPECT_EQ(sample.object().value(QStringLiteral("run")).toString(),
                  QStringLiteral("2026-03-29T01:30:00.000+01:00@ws1"));
        const auto note =
            QJsonDocument::fromJson(PublishMessages::note(row.run, 2, text, 7, row.time), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError);
        EXPECT_EQ(note.object().value(QStringLiteral("text")).toString(), text);
        // Control characters never reach the wire raw.
        for (const char c : PublishMessages::note(row.run, 2, text, 7, row.time))
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << text.toStdString();
    }
}

TEST(PublishMessages, TimesCarryTheirOffset) {
    const QDateTime west(QDate(2026, 1, 2), QTime(3, 4, 5, 6), QTimeZone(-5 * 3600 - 1800));
    EXPECT_EQ(PublishMessages::isoTime(west), QStringLiteral("2026-01-02T03:04:05.006-05:30"));
    const QDateTime utc(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    EXPECT_EQ(PublishMessages::isoTime(utc), QStringLiteral("2026-01-02T03:04:05.000+00:00"));
}

TEST(PublishOutbox, KeepsMessagesInOrderAcrossReopeningUntilRemoved) {
    TempDirectory temp;
    const QString program = QString::fromStdString(temp.path());
    {
        PublishOutbox outbox(program);
        for (int i = 0; i < 5; ++i)
            outbox.append(QStringLiteral("lab/sample"), QByteArray::number(i), i == 4);
        EXPECT_EQ(outbox.count(), 5);
    }
    PublishOutbox outbox(program);
    EXPECT_EQ(outbox.count(), 5);
    auto first = outbox.after(0, 3);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].payload, "0");
    EXPECT_EQ(first[2].payload, "2");
    const auto rest = outbox.after(first.back().id, 10);
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_TRUE(rest[1].retain);
    outbox.remove({first[0].id, first[1].id});
    EXPECT_EQ(outbox.count(), 3);
    EXPECT_EQ(outbox.after(0, 10).front().payload, "2");
}

TEST(PublishOutbox, AnOutboxOfTheEarlierLayoutDrainsAndHasNoRun) {
    TempDirectory temp;
    const QString program = QString::fromStdString(temp.path());
    {
        SqliteDatabase earlier(PublishOutbox::filePath(program), SqliteDatabase::Mode::Create);
        earlier.execute("CREATE TABLE Outbox (Id INTEGER PRIMARY KEY AUTOINCREMENT, Topic TEXT "
                        "NOT NULL, Payload TEXT NOT NULL, Retain INTEGER NOT NULL)");
        earlier.execute("PRAGMA journal_mode=WAL");
        earlier.execute("INSERT INTO Outbox (Topic, Payload, Retain) VALUES ('lab/state', "
                        "'{\"state\":\"stopped\"}', 1)");
    }
    PublishOutbox outbox(program);
    EXPECT_FALSE(outbox.mark().has_value());
    const auto waiting = outbox.after(0, 10);
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(waiting[0].payload, R"({"state":"stopped"})");
    EXPECT_TRUE(waiting[0].retain);

    // The run is kept with the messages it came with, and read back as it was written.
    const QDateTime start(QDate(2026, 3, 2), QTime(9, 5, 3, 417));
    outbox.append({{0, QStringLiteral("lab/sample"), "{}", false}},
                  PublishOutbox::Mark{QStringLiteral("run@ws1"), start, 4});
    outbox.remove({waiting[0].id});
    const PublishOutbox reopened(program);
    EXPECT_EQ(reopened.count(), 1);
    ASSERT_TRUE(reopened.mark().has_value());
    EXPECT_EQ(reopened.mark()->run, QStringLiteral("run@ws1"));
    EXPECT_EQ(reopened.mark()->number, 4);
    EXPECT_EQ(PublishMessages::isoTime(reopened.mark()->start), PublishMessages::isoTime(start));
}
