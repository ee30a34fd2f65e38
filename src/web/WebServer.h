// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

class WebEventHub;

// How the status server serves. The defaults are the program's; tests shorten the times.
struct WebServerOptions {
    std::string address = "127.0.0.1";
    int port = 8765; // 0: any free port
    std::string token;
    int maxClients = 32;                          // connections at a time; beyond them 503
    std::size_t maxRequestHead = 16 * 1024;       // request line and headers together
    std::chrono::milliseconds readTimeout{5000};  // for a request's head, from its first byte on
    std::chrono::milliseconds idleTimeout{5000};  // between the requests of a connection
    std::chrono::milliseconds writeTimeout{5000}; // for a client that takes nothing
    std::chrono::milliseconds heartbeat{15000};   // a comment on a quiet event stream
    // An event stream ends after this; the browser reconnects at once and resumes after the
    // last event it saw, so that no place is held for ever by a forgotten tab.
    std::chrono::milliseconds streamLifetime{600000};
};

// The read-only status page and its JSON API over HTTP. It runs on threads of its own and
// reads the run only through the hub, so that no client, however slow, holds up a sample.
class WebServer {
public:
    explicit WebServer(WebEventHub& hub);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds and serves; what went wrong, for the user, when it cannot (a port in use, an
    // address not to be served without a token). A running server is stopped first.
    std::optional<std::string> start(const WebServerOptions& options);
    // Ends every connection and waits for the server's threads.
    void stop();

    bool isRunning() const;
    int port() const;               // the bound one, also when 0 was asked for
    std::string url() const;        // "http://127.0.0.1:8765/"
    int connectedClients() const;   // the connections being served now
    int openedEventStreams() const; // since the start

private:
    class Core;
    WebEventHub& hub_;
    std::unique_ptr<Core> core_;
    int boundPort_ = 0;
    std::string boundAddress_;
};
