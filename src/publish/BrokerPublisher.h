// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BrokerSettings.h"
#include "PublishOutbox.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

struct mosquitto;

// Publishes messages to an MQTT broker at QoS 1 through the durable outbox: queue() keeps a
// message in memory and returns; right after the caller's work (a sampling tick) the messages
// of that moment go to disk in one transaction, then out in the order they were queued, a bounded
// number at a time, and leave the outbox only on the broker's acknowledgement. A message of a
// connection that broke goes out again on the next one: a receiver may see it twice, never
// miss it. The network runs on a thread of its own; its events come back to this object's
// thread as queued calls, so the caller of queue() never waits on the network.
class BrokerPublisher : public QObject {
    Q_OBJECT
public:
    enum class Status { Unreachable, Queued, Connected };

    // Throws std::invalid_argument for settings that cannot work (see BrokerSettings::check)
    // and std::runtime_error when the outbox cannot be opened.
    BrokerPublisher(const QString& programDirectory, const BrokerSettings& settings,
                    QObject* parent = nullptr);
    ~BrokerPublisher() override;
    BrokerPublisher(const BrokerPublisher&) = delete;
    BrokerPublisher& operator=(const BrokerPublisher&) = delete;

    // kind: "sample", "error", "state", "note", "alarm". Never throws, never touches the disk
    // or the network; a message the disk refuses waits in memory until there is room.
    void queue(const char* kind, const QByteArray& payload, bool retain = false);
    // A stored row of the run begun last, on "sample": the outbox's mark moves to its Number
    // in the transaction that writes it.
    void queueRow(const QByteArray& payload, int number);
    // A measurement starts: its run goes to disk now, before its first row is stored, with
    // whatever waits in memory. The disk's refusal is told; the run is then written with the
    // next messages.
    void beginRun(const QString& run, const QDateTime& start);
    // The run and row the outbox has queued last; nothing before the first run.
    const std::optional<PublishOutbox::Mark>& mark() const { return mark_; }

    Status status() const { return status_; }
    // "connected", "queued N" or "broker unreachable" (with ", queued N" when messages wait),
    // followed by ", refused N" once the broker has refused messages.
    QString statusText() const;
    int waitingCount() const;
    const QString& topicPrefix() const { return settings_.topicPrefix; }
    const QString& brokerName() const { return brokerName_; }

    // How many messages may be in flight unacknowledged.
    static constexpr int window = 20;

signals:
    void statusChanged(); // the status or the number of waiting messages
    // Something the user has to hear of once: a refused login or TLS handshake, an outbox the
    // disk refuses, a message larger than the broker takes. The password is never in it.
    void problem(const QString& message);

private:
    void networkLoop();
    void waitBeforeRetry(int seconds);
    // Network-thread events, handled on this object's thread.
    void linkUp();
    void linkDown(const QString& reason);
    void acknowledged(int mid, int reasonCode);
    // A message the broker refused: moved to the outbox's refused messages and said.
    void setAside(sqlite3_int64 id, const QString& reason);
    void schedulePump();
    void pump();
    // Everything waiting in memory, in one transaction; the disk's refusal, or an empty text.
    QString writeUnwritten();
    void tellUnwritten(const QString& refusal);
    void removeAcknowledged();
    void updateStatus();
    void tell(const QString& message, QString& lastTold);

    static void onConnect(mosquitto* client, void* self, int reasonCode, int flags,
                          const struct mqtt5__property* properties);
    static void onDisconnect(mosquitto* client, void* self, int reasonCode,
                             const struct mqtt5__property* properties);
    static void onPublish(mosquitto* client, void* self, int mid, int reasonCode,
                          const struct mqtt5__property* properties);

    BrokerSettings settings_;
    QString brokerName_; // "host:port", for messages
    PublishOutbox outbox_;
    // Not on disk yet: queued since the last write, or refused by the disk; oldest first.
    std::vector<PublishOutbox::Message> unwritten_;
    std::optional<PublishOutbox::Mark> mark_;
    bool markUnwritten_ = false;
    std::map<int, sqlite3_int64> inFlight_;   // message id -> outbox id
    std::vector<sqlite3_int64> acknowledged_; // to be removed from the outbox
    sqlite3_int64 lastSentId_ = 0;
    bool connected_ = false;
    bool linkedBefore_ = false;
    QByteArray lastState_; // the run's state as last queued, told again after a broken link
    int refused_ = 0;      // messages the broker refused since this publisher began
    QSet<QString> refusalReasonsSaid_;
    bool pumpScheduled_ = false;
    Status status_ = Status::Unreachable;
    QString lastStatusText_;
    int lastWaiting_ = -1;
    QString lastLinkProblem_, lastOutboxProblem_, lastRefusal_;

    mosquitto* client_ = nullptr;
    std::thread network_;
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> linkedOnce_{false}; // the last connection was taken by the broker
};
