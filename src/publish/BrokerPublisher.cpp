// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrokerPublisher.h"

#include "PublishMessages.h"
#include "PublishTopics.h"
#include "lumo/SystemUtilities.h"

#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <stdexcept>

namespace {

constexpr int keepAliveSeconds = 10;
constexpr int longestRetrySeconds = 30;

void initialiseLibrary() {
    static const int once = mosquitto_lib_init();
    (void)once;
}

// The library's text for an error; its "errno" error is the system's.
QString errorText(int code) {
    if (code == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(code));
}

} // namespace

BrokerPublisher::BrokerPublisher(const QString& programDirectory, const BrokerSettings& settings,
                                 QObject* parent)
    : QObject(parent), settings_(settings), outbox_(programDirectory), mark_(outbox_.mark()) {
    settings_.check();
    const bool ipv6 = settings_.host.contains(QLatin1Char(':'));
    brokerName_ = (ipv6 ? QLatin1Char('[') + settings_.host + QLatin1Char(']') : settings_.host) +
                  QLatin1Char(':') + QString::number(settings_.port);
    const QByteArray password =
        settings_.user.isEmpty() ? QByteArray() : settings_.readPassword().toUtf8();
    initialiseLibrary();
    const QByteArray clientId = settings_.clientId.toUtf8();
    client_ = mosquitto_new(clientId.isEmpty() ? nullptr : clientId.constData(), true, this);
    if (client_ == nullptr)
        throw std::runtime_error("The MQTT client could not be created.");
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    // The network thread below runs the loop; publishing from this thread only queues.
    mosquitto_threaded_set(client_, true);
    mosquitto_connect_v5_callback_set(client_, &BrokerPublisher::onConnect);
    mosquitto_disconnect_v5_callback_set(client_, &BrokerPublisher::onDisconnect);
    mosquitto_publish_v5_callback_set(client_, &BrokerPublisher::onPublish);
    if (!settings_.user.isEmpty()) {
        mosquitto_username_pw_set(client_, settings_.user.toUtf8().constData(),
                                  password.isEmpty() ? nullptr : password.constData());
    }
    // A program that dies, or whose link breaks, leaves this as its retained state rather than
    // "running"; a closing program disconnects cleanly and the broker drops it.
    const QByteArray stateTopic = PublishTopics::topic(settings_.topicPrefix, "state").toUtf8();
    const QByteArray lost = PublishMessages::state({QStringLiteral("lost"), {}, {}, {}, {}});
    mosquitto_will_set_v5(client_, stateTopic.constData(), static_cast<int>(lost.size()),
                          lost.constData(), 1, true, nullptr);
    if (!settings_.caFile.isEmpty()) {
        const int result = mosquitto_tls_set(client_, settings_.caFile.toUtf8().constData(),
                                             nullptr, nullptr, nullptr, nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            mosquitto_destroy(client_);
            throw std::invalid_argument(
                QStringLiteral("The CA file '%1' cannot be used for MQTT over TLS: %2")
                    .arg(settings_.caFile, errorText(result))
                    .toStdString());
        }
    }
    lastStatusText_ = statusText();
    network_ = std::thread([this] { networkLoop(); });
}

BrokerPublisher::~BrokerPublisher() {
    // The last messages (the final state, a note) are on disk for the next start; nobody is
    // left to hear of a refusal now. Those the broker took leave the outbox: the program may
    // end on their acknowledgement, before the pump that would have removed them.
    removeAcknowledged();
    writeUnwritten();
    {
        const std::lock_guard<std::mutex> lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    mosquitto_disconnect(client_);
    network_.join();
    mosquitto_destroy(client_);
}

// The network thread: connects, runs the loop while the connection lasts, and tries again
// after a growing pause when it breaks or cannot be made.
void BrokerPublisher::networkLoop() {
    Talvessa::runBelowSamplingPriority();
    const QByteArray host = settings_.host.toUtf8();
    int retrySeconds = 1;
    while (!stopping_) {
        int result =
            mosquitto_connect_async(client_, host.constData(), settings_.port, keepAliveSeconds);
        if (result == MOSQ_ERR_SUCCESS) {
            do {
                result = mosquitto_loop(client_, 1000, 1);
            } while (!stopping_ && result == MOSQ_ERR_SUCCESS);
        }
        if (stopping_)
            break;
        QString reason;
        if (result == MOSQ_ERR_TLS)
            reason = QStringLiteral("The TLS handshake with the MQTT broker %1 failed; check "
                                    "\"CAFile\" and the broker's certificate.")
                         .arg(brokerName_);
        else if (result == MOSQ_ERR_EAI)
            reason = QStringLiteral("The MQTT broker's host name '%1' cannot be resolved.")
                         .arg(settings_.host);
        // A broker that is down or a network that is gone shows in the status alone.
        QMetaObject::invokeMethod(
            this, [this, reason] { linkDown(reason); }, Qt::QueuedConnection);
        if (linkedOnce_.exchange(false))
            retrySeconds = 1;
        waitBeforeRetry(retrySeconds);
        retrySeconds = std::min(retrySeconds * 2, longestRetrySeconds);
    }
}

void BrokerPublisher::waitBeforeRetry(int seconds) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    stopSignal_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping_.load(); });
}

void BrokerPublisher::onConnect(mosquitto* client, void* self, int reasonCode, int,
                                const mqtt5__property*) {
    auto* publisher = static_cast<BrokerPublisher*>(self);
    if (reasonCode == 0) {
        publisher->linkedOnce_ = true;
        QMetaObject::invokeMethod(
            publisher, [publisher] { publisher->linkUp(); }, Qt::QueuedConnection);
        return;
    }
    const QString reason =
        reasonCode == MQTT_RC_BAD_USERNAME_OR_PASSWORD || reasonCode == MQTT_RC_NOT_AUTHORIZED
            ? QStringLiteral("The MQTT broker %1 refused the login of user \"%2\" (%3); check "
                             "\"User\" and \"PasswordFile\". Sampling goes on; the rows wait in "
                             "the outbox.")
                  .arg(publisher->brokerName_, publisher->settings_.user,
                       QString::fromUtf8(mosquitto_reason_string(reasonCode)))
            : QStringLiteral("The MQTT broker %1 refused the connection: %2.")
                  .arg(publisher->brokerName_,
                       QString::fromUtf8(mosquitto_reason_string(reasonCode)));
    QMetaObject::invokeMethod(
        publisher,
        [publisher, reason] {
            publisher->tell(reason, publisher->lastRefusal_);
            publisher->linkDown({});
        },
        Qt::QueuedConnection);
    mosquitto_disconnect(client);
}

void BrokerPublisher::onDisconnect(mosquitto*, void* self, int, const mqtt5__property*) {
    auto* publisher = static_cast<BrokerPublisher*>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher] { publisher->linkDown({}); }, Qt::QueuedConnection);
}

void BrokerPublisher::onPublish(mosquitto*, void* self, int mid, int reasonCode,
                                const mqtt5__property*) {
    auto* publisher = static_cast<BrokerPublisher*>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher, mid, reasonCode] { publisher->acknowledged(mid, reasonCode); },
        Qt::QueuedConnection);
}

void BrokerPublisher::linkUp() {
    // The broker gave out the last will when the earlier link broke: the run's state is told
    // again, after everything that waits.
    if (linkedBefore_ && !lastState_.isEmpty())
        queue("state", lastState_, true);
    linkedBefore_ = true;
    connected_ = true;
    lastLinkProblem_.clear();
    lastRefusal_.clear();
    // What was in flight on the broken connection goes out again, from the oldest on.
    inFlight_.clear();
    lastSentId_ = 0;
    schedulePump();
    updateStatus();
}

void BrokerPublisher::linkDown(const QString& reason) {
    connected_ = false;
    inFlight_.clear();
    lastSentId_ = 0;
    if (!reason.isEmpty())
        tell(reason, lastLinkProblem_);
    updateStatus();
}

void BrokerPublisher::acknowledged(int mid, int reasonCode) {
    const auto sent = inFlight_.find(mid);
    if (sent == inFlight_.end())
        return; // from a connection before the last one; its message goes out again
    const sqlite3_int64 id = sent->second;
    inFlight_.erase(sent);
    if (reasonCode >= 0x80) {
        // Sent again it would be refused again and hold back everything behind it: it is set
        // aside, and the others go on.
        setAside(id, QString::fromUtf8(mosquitto_reason_string(reasonCode)));
    } else {
        acknowledged_.push_back(id);
    }
    schedulePump();
}

void BrokerPublisher::setAside(sqlite3_int64 id, const QString& reason) {
    QString topic;
    try {
        const auto message = outbox_.after(id - 1, 1);
        if (!message.empty() && message.front().id == id)
            topic = message.front().topic;
        outbox_.setAside(id, reason, QDateTime::currentDateTime());
    } catch (const std::exception& e) {
        // Left in the outbox: it goes out again with the next connection.
        tell(QStringLiteral("The MQTT outbox could not be updated: %1")
                 .arg(QString::fromUtf8(e.what())),
             lastOutboxProblem_);
        return;
    }
    ++refused_;
    // Said for the first message of each reason: the status line counts the others, and a
    // window would otherwise show a box for every topic the broker denies.
    if (!refusalReasonsSaid_.contains(reason)) {
        refusalReasonsSaid_.insert(reason);
        tell(QStringLiteral("The MQTT broker %1 refused a message on %2: %3. Such messages are "
                            "set aside in the table Refused of '%4'; the others go on.")
                 .arg(brokerName_, topic, reason, outbox_.fileName()),
             lastRefusal_);
    }
    updateStatus();
}

void BrokerPublisher::queue(const char* kind, const QByteArray& payload, bool retain) {
    if (std::strcmp(kind, "state") == 0)
        lastState_ = payload;
    unwritten_.push_back({0, PublishTopics::topic(settings_.topicPrefix, kind), payload, retain});
    schedulePump();
}

void BrokerPublisher::queueRow(const QByteArray& payload, int number) {
    queue("sample", payload);
    if (mark_) {
        mark_->number = std::max(mark_->number, number);
        markUnwritten_ = true;
    }
}

void BrokerPublisher::beginRun(const QString& run, const QDateTime& start) {
    mark_ = PublishOutbox::Mark{run, start, -1};
    markUnwritten_ = true;
    tellUnwritten(writeUnwritten());
}

// Outside the caller's own work (a sampling tick): queued to this thread's event loop.
void BrokerPublisher::schedulePump() {
    if (pumpScheduled_)
        return;
    pumpScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        pumpScheduled_ = false;
        pump();
    });
}

QString BrokerPublisher::writeUnwritten() {
    if (unwritten_.empty() && !markUnwritten_)
        return {};
    try {
        outbox_.append(unwritten_, markUnwritten_ ? mark_ : std::nullopt);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what()); // tried again with the next message or acknowledgement
    }
    unwritten_.clear();
    markUnwritten_ = false;
    lastOutboxProblem_.clear();
    return {};
}

void BrokerPublisher::tellUnwritten(const QString& refusal) {
    if (!refusal.isEmpty())
        tell(QStringLiteral("Messages for the MQTT broker could not be written to the outbox: "
                            "%1. They wait in memory until there is room.")
                 .arg(refusal),
             lastOutboxProblem_);
}

void BrokerPublisher::removeAcknowledged() {
    if (acknowledged_.empty())
        return;
    try {
        outbox_.remove(acknowledged_);
        acknowledged_.clear();
    } catch (const std::exception& e) {
        // They stay and go out again later: a receiver drops the repeats.
        tell(QStringLiteral("The MQTT outbox could not be updated: %1")
                 .arg(QString::fromUtf8(e.what())),
             lastOutboxProblem_);
    }
}

void BrokerPublisher::pump() {
    removeAcknowledged();
    tellUnwritten(writeUnwritten());
    while (connected_ && static_cast<int>(inFlight_.size()) < window) {
        std::vector<PublishOutbox::Message> next;
        try {
            next = outbox_.after(lastSentId_, window - static_cast<int>(inFlight_.size()));
        } catch (const std::exception& e) {
            tell(QStringLiteral("The MQTT outbox cannot be read: %1")
                     .arg(QString::fromUtf8(e.what())),
                 lastOutboxProblem_);
            break;
        }
        if (next.empty())
            break;
        for (const auto& message : next) {
            int mid = 0;
            const QByteArray topic = message.topic.toUtf8();
            const int result = mosquitto_publish_v5(
                client_, &mid, topic.constData(), static_cast<int>(message.payload.size()),
                message.payload.constData(), 1, message.retain, nullptr);
            if (result == MOSQ_ERR_OVERSIZE_PACKET || result == MOSQ_ERR_PAYLOAD_SIZE) {
                // It can never go out; kept, it would hold back everything after it.
                tell(QStringLiteral("A message of %1 bytes for %2 is larger than the MQTT "
                                    "broker %3 accepts and was not published.")
                         .arg(message.payload.size())
                         .arg(message.topic, brokerName_),
                     lastRefusal_);
                acknowledged_.push_back(message.id);
                lastSentId_ = message.id;
                continue;
            }
            if (result != MOSQ_ERR_SUCCESS) {
                // The connection went meanwhile; its end is on the way here.
                updateStatus();
                return;
            }
            inFlight_[mid] = message.id;
            lastSentId_ = message.id;
        }
    }
    if (!acknowledged_.empty() && inFlight_.empty())
        removeAcknowledged();
    updateStatus();
}

int BrokerPublisher::waitingCount() const {
    return outbox_.count() - static_cast<int>(acknowledged_.size()) +
           static_cast<int>(unwritten_.size());
}

QString BrokerPublisher::statusText() const {
    const int waiting = waitingCount();
    QString text;
    switch (status_) {
    case Status::Connected:
        text = QStringLiteral("connected");
        break;
    case Status::Queued:
        text = QStringLiteral("queued %1").arg(waiting);
        break;
    case Status::Unreachable:
        text = waiting > 0 ? QStringLiteral("broker unreachable, queued %1").arg(waiting)
                           : QStringLiteral("broker unreachable");
        break;
    }
    if (refused_ > 0)
        text += QStringLiteral(", refused %1").arg(refused_);
    return text;
}

void BrokerPublisher::updateStatus() {
    const int notInFlight = waitingCount() - static_cast<int>(inFlight_.size());
    status_ = !connected_       ? Status::Unreachable
              : notInFlight > 0 ? Status::Queued
                                : Status::Connected;
    const QString text = statusText();
    const int waiting = waitingCount();
    if (text != lastStatusText_ || waiting != lastWaiting_) {
        lastStatusText_ = text;
        lastWaiting_ = waiting;
        emit statusChanged();
    }
}

// Said once until the trouble is over.
void BrokerPublisher::tell(const QString& message, QString& lastTold) {
    if (message == lastTold)
        return;
    lastTold = message;
    emit problem(message);
}
