// SPDX-License-Identifier: GPL-3.0-or-later
#include "MosquittoBroker.h"

#include <QJsonDocument>
#include <arpa/inet.h>
#include <chrono>
#include <mosquitto.h>
#include <netinet/in.h>
#include <pwd.h>
#include <set>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
bool accepts(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return ok;
}
} // namespace

int MosquittoBroker::freePort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    ::close(socket);
    return ntohs(address.sin_port);
}

MosquittoBroker::MosquittoBroker(const std::string& password)
    : MosquittoBroker(freePort(), password) {}

MosquittoBroker::MosquittoBroker(int port, const std::string& password) : port_(port) {
    configure(Options{password, std::nullopt, 0, {}});
    start();
}

MosquittoBroker::MosquittoBroker(const Options& options) : port_(freePort()) {
    if (options.tls) {
        do
            tlsPort_ = freePort();
        while (tlsPort_ == port_);
    }
    configure(options);
    start();
}

void MosquittoBroker::configure(const Options& options) {
    std::string config = "listener " + std::to_string(port_) + " 127.0.0.1\n";
    if (options.tls) // certfile and keyfile belong to the listener above them
        config += "listener " + std::to_string(tlsPort_) + " 127.0.0.1\ncertfile " +
                  options.tls->certificate + "\nkeyfile " + options.tls->key + "\n";
    if (options.maxPacketSize > 0)
        config += "max_packet_size " + std::to_string(options.maxPacketSize) + "\n";
    if (!options.acl.empty()) {
        TempDirectory::writeFile(directory_.path("acl"), options.acl);
        config += "acl_file " + directory_.path("acl") + "\n";
    }
    // Run as root, the broker would change to its own user, who may not read the files here.
    if (const passwd* user = getpwuid(getuid()))
        config += std::string("user ") + user->pw_name + "\n";
    if (options.password.empty()) {
        config += "allow_anonymous true\n";
    } else {
        const std::string file = directory_.path("passwords");
        TempDirectory::writeFile(file, "");
        Subprocess make("/usr/bin/mosquitto_passwd", {"-b", file, "lab", options.password});
        if (make.wait() != 0)
            throw std::runtime_error("mosquitto_passwd failed");
        config += "allow_anonymous false\npassword_file " + file + "\n";
    }
    TempDirectory::writeFile(directory_.path("broker.conf"), config);
}

MosquittoBroker::~MosquittoBroker() {
    stop();
}

void MosquittoBroker::start() {
    process_ = std::make_unique<Subprocess>(
        "/usr/sbin/mosquitto", std::vector<std::string>{"-c", directory_.path("broker.conf")});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!accepts(port_) || (tlsPort_ != 0 && !accepts(tlsPort_))) {
        if (std::chrono::steady_clock::now() > until)
            throw std::runtime_error("mosquitto did not start: " + process_->errorOutput());
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // polling a real process
    }
}

void MosquittoBroker::stop() {
    process_.reset();
}

BrokerSubscriber::BrokerSubscriber(int port, const std::string& topicFilter) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(client_, &BrokerSubscriber::onMessage);
    if (mosquitto_connect(client_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("the subscriber cannot connect");
    mosquitto_subscribe(client_, nullptr, topicFilter.c_str(), 1);
    mosquitto_loop_start(client_);
}

BrokerSubscriber::~BrokerSubscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

void BrokerSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* subscriber = static_cast<BrokerSubscriber*>(self);
    const std::lock_guard<std::mutex> lock(subscriber->mutex_);
    subscriber->messages_.push_back({message->topic,
                                     std::string(static_cast<const char*>(message->payload),
                                                 static_cast<size_t>(message->payloadlen)),
                                     message->retain});
    subscriber->arrived_.notify_all();
}

std::vector<BrokerSubscriber::Message> BrokerSubscriber::matching(const std::string& suffix) {
    std::vector<Message> found;
    for (const auto& message : messages_)
        if (message.topic.size() >= suffix.size() &&
            message.topic.compare(message.topic.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(message);
    return found;
}

std::vector<BrokerSubscriber::Message>
BrokerSubscriber::waitFor(const std::string& suffix, size_t count, int timeoutMilliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                      [&] { return matching(suffix).size() >= count; });
    return matching(suffix);
}

QJsonObject payloadOf(const BrokerSubscriber::Message& message) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(message.payload)).object();
}

std::vector<int> firstArrivals(const std::vector<BrokerSubscriber::Message>& messages,
                               const QString& run) {
    std::vector<int> numbers;
    std::set<int> seen;
    for (const auto& message : messages) {
        const QJsonObject object = payloadOf(message);
        const int number = object.value(QStringLiteral("number")).toInt();
        if (object.value(QStringLiteral("run")).toString() == run && seen.insert(number).second)
            numbers.push_back(number);
    }
    return numbers;
}
