// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Subprocess.h"
#include "TempDirectory.h"

#include <QJsonObject>
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;

// A real mosquitto broker on a free loopback port, with a configuration of its own; it can be
// stopped and started again on the same port. With a password it takes only user "lab".
class MosquittoBroker {
public:
    // A certificate and its key, in PEM files, for a listener that speaks TLS.
    struct TlsFiles {
        std::string certificate;
        std::string key;
    };

    struct Options {
        std::string password;
        // Besides the plain listener, one on tlsPort() that speaks only TLS.
        std::optional<TlsFiles> tls;
        // The largest packet the broker takes (0: its default), announced to MQTT 5 clients.
        int maxPacketSize = 0;
        // The lines of an ACL file ("topic read lab/#", ...); empty: every topic is open.
        std::string acl;
    };

    explicit MosquittoBroker(const std::string& password = {});
    // On a chosen port, for a client that was set up before the broker came.
    MosquittoBroker(int port, const std::string& password);
    explicit MosquittoBroker(const Options& options);
    ~MosquittoBroker();
    void start();
    void stop();
    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
    static int freePort();

private:
    void configure(const Options& options);

    TempDirectory directory_;
    int port_ = 0;
    int tlsPort_ = 0;
    std::unique_ptr<Subprocess> process_;
};

// A subscriber on the broker that keeps every message it receives, in order.
class BrokerSubscriber {
public:
    struct Message {
        std::string topic;
        std::string payload;
        bool retained = false;
    };
    BrokerSubscriber(int port, const std::string& topicFilter);
    ~BrokerSubscriber();
    BrokerSubscriber(const BrokerSubscriber&) = delete;
    BrokerSubscriber& operator=(const BrokerSubscriber&) = delete;

    // Waits until at least count messages on topics ending in suffix came, or the time ran
    // out; returns the messages on those topics.
    std::vector<Message> waitFor(const std::string& suffix, size_t count, int timeoutMilliseconds);

private:
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* message);
    std::vector<Message> matching(const std::string& suffix);

    mosquitto* client_ = nullptr;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Message> messages_;
};

// A message's JSON payload.
QJsonObject payloadOf(const BrokerSubscriber::Message& message);

// The sample numbers of one run in the order they first came; repeats are left out.
std::vector<int> firstArrivals(const std::vector<BrokerSubscriber::Message>& messages,
                               const QString& run);
