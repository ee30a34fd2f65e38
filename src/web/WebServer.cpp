// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebServer.h"

#include "WebEventHub.h"
#include "WebJson.h"
#include "WebRequestRules.h"
#include "lumo/SystemUtilities.h"
#include "workstation/GrowthAnalysis.h"
#include "workstation/GrowthTexts.h"
#include "workstation/TableExport.h"

#include <QFile>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <httplib.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long one wait lasts at most before the stop flag is looked at again.
constexpr milliseconds stopCheck{100};
constexpr int maxRequestsPerConnection = 100;

std::string resourceText(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("The status page's file ") + path + " is missing");
    return file.readAll().toStdString();
}

// The page's files, read once from the program's resources; no path comes from a URL.
struct PageFile {
    const char* urlPath;
    const char* resource;
    const char* contentType;
};
const PageFile pageFiles[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/page.js", ":/web/page.js", "text/javascript; charset=utf-8"},
    {"/page.css", ":/web/page.css", "text/css; charset=utf-8"},
    {"/dygraph.min.js", ":/web/dygraph.min.js", "text/javascript; charset=utf-8"},
    {"/dygraph.min.css", ":/web/dygraph.min.css", "text/css; charset=utf-8"},
};

std::string sockaddrText(const sockaddr_storage& address, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    return text;
}

// A connection's socket with the bounds the library does not set itself: the request's head
// must come whole within a time and a size, and every wait ends when the server stops.
class BoundedStream : public httplib::Stream {
public:
    BoundedStream(int socket, const WebServerOptions& options, const std::atomic<bool>& stopping)
        : socket_(socket), options_(options), stopping_(stopping) {}

    // A new request begins: its head gets the whole size and time again.
    void startRequest() {
        headBudget_ = options_.maxRequestHead;
        headDeadline_ = Clock::now() + options_.readTimeout;
    }

    // Waits for the next request of a kept-alive connection.
    bool waitForRequest() { return waitFor(POLLIN, Clock::now() + options_.idleTimeout); }

    bool is_readable() const override { return waitFor(POLLIN, headDeadline_); }
    bool is_writable() const override {
        return waitFor(POLLOUT, Clock::now() + options_.writeTimeout);
    }

    ssize_t read(char* data, size_t size) override {
        if (headBudget_ == 0 || !is_readable())
            return -1;
        const ssize_t count = ::recv(socket_, data, std::min(size, headBudget_), 0);
        if (count > 0)
            headBudget_ -= static_cast<std::size_t>(count);
        return count;
    }

    ssize_t write(const char* data, size_t size) override {
        if (!is_writable())
            return -1;
        return ::send(socket_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            ip = sockaddrText(address, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            ip = sockaddrText(address, port);
    }
    socket_t socket() const override { return socket_; }

private:
    bool waitFor(short events, Clock::time_point deadline) const {
        for (;;) {
            if (stopping_)
                return false;
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd entry{socket_, events, 0};
            const int ready =
                ::poll(&entry, 1, static_cast<int>(std::min(left, stopCheck).count()));
            if (ready > 0)
                return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
            if (ready < 0 && errno != EINTR)
                return false;
        }
    }

    int socket_;
    const WebServerOptions& options_;
    const std::atomic<bool>& stopping_;
    std::size_t headBudget_ = 0;
    Clock::time_point headDeadline_;
};

// Everything but letters, digits and -._~ as %XX: safe in a URL and in an HTML attribute.
std::string percentEncoded(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            result += c;
        } else {
            result += '%';
            result += hex[byte >> 4U];
            result += hex[byte & 15U];
        }
    }
    return result;
}

void setCommonHeaders(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
}

void reply(httplib::Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(WebJson::error(message), "application/json");
}

} // namespace

// The library's server with our own connection handling in front of its request parser.
class WebServer::Core : public httplib::Server {
public:
    Core(WebEventHub& hub, WebServerOptions options) : hub_(hub), options_(std::move(options)) {
        for (const auto& file : pageFiles)
            pages_.emplace_back(file, resourceText(file.resource));
        // Room for the connections served and for some beyond them that only get their 503.
        const auto threads = static_cast<std::size_t>(options_.maxClients) + 8;
        new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
        // A port held by a running program must be refused, not shared.
        set_socket_options([](socket_t socket) {
            int yes = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        set_payload_max_length(1024);
        set_default_headers({{"X-Content-Type-Options", "nosniff"},
                             {"X-Frame-Options", "DENY"},
                             {"Referrer-Policy", "no-referrer"},
                             {"Content-Security-Policy",
                              "default-src 'self'; img-src 'self' data:; style-src 'self' "
                              "'unsafe-inline'"}});
        set_pre_routing_handler(
            [this](const httplib::Request& request, httplib::Response& response) {
                return admit(request, response);
            });
        set_error_handler([](const httplib::Request&, httplib::Response& response) {
            if (response.body.empty())
                reply(response, response.status,
                      response.status == 404 ? "No such page" : "The request was refused");
        });
        set_exception_handler(
            [](const httplib::Request&, httplib::Response& response, const std::exception_ptr&) {
                reply(response, 500, "The server could not answer");
            });
        for (const auto& [file, text] : pages_) {
            const PageFile& page = file;
            const std::string& body = text;
            Get(std::string("^") + page.urlPath + "$",
                [this, &page, &body](const httplib::Request&, httplib::Response& response) {
                    response.set_content(withAssetQuery(body), page.contentType);
                });
        }
        Get("/api/status", [this](const httplib::Request&, httplib::Response& response) {
            setCommonHeaders(response);
            response.set_content(WebJson::status(hub_.status(), growthLines()), "application/json");
        });
        Get("/api/samples", [this](const httplib::Request& request, httplib::Response& response) {
            setCommonHeaders(response);
            const auto since = WebRequestRules::sampleNumber(
                request.has_param("since") ? request.get_param_value("since") : std::string());
            if (!since)
                return reply(response, 400, "since takes a sample number");
            response.set_content(WebJson::samples(hub_.rowsFrom(*since)), "application/json");
        });
        Get("/api/events", [this](const httplib::Request& request, httplib::Response& response) {
            streamEvents(request, response);
        });
        Get("/export/table.tsv", [this](const httplib::Request&, httplib::Response& response) {
            serveExport(response, false);
        });
        Get("/export/table.xlsx", [this](const httplib::Request&, httplib::Response& response) {
            serveExport(response, true);
        });
    }

    // The page's own files are fetched by the browser without the page's query: the page
    // names them with the token, which only a request that carried it gets to see.
    std::string withAssetQuery(const std::string& body) const {
        static const std::string marker = "{{query}}";
        const std::string query =
            options_.token.empty() ? std::string() : "?token=" + percentEncoded(options_.token);
        std::string result = body;
        for (auto at = result.find(marker); at != std::string::npos;
             at = result.find(marker, at + query.size()))
            result.replace(at, marker.size(), query);
        return result;
    }

    void beginStop() {
        stopping_ = true;
        hub_.wakeWaiters();
        stop();
    }

    int clients() const { return clients_; }
    int streams() const { return streams_; }

private:
    bool process_and_close_socket(socket_t socket) override {
        const int now = ++clients_;
        if (now > options_.maxClients)
            refuse(socket);
        else
            serve(socket);
        --clients_;
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
        return true;
    }

    void serve(socket_t socket) {
        BoundedStream stream(socket, options_, stopping_);
        for (int served = 0; served < maxRequestsPerConnection; ++served) {
            if (served > 0 && !stream.waitForRequest())
                return; // idle: closed
            stream.startRequest();
            bool closed = false;
            const bool last = served + 1 == maxRequestsPerConnection || stopping_;
            if (!process_request(stream, last, closed, [](httplib::Request&) {}) || closed)
                return;
        }
    }

    // Beyond the clients served: a 503 at once, without reading the request first.
    void refuse(socket_t socket) const {
        const std::string body = WebJson::error("Too many clients; try again later");
        const std::string answer = "HTTP/1.1 503 Service Unavailable\r\n"
                                   "Content-Type: application/json\r\n"
                                   "Retry-After: 5\r\nConnection: close\r\n"
                                   "Content-Length: " +
                                   std::to_string(body.size()) + "\r\n\r\n" + body;
        ::send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        // Half-closed and the request read away, so that the client sees the answer rather
        // than a reset.
        ::shutdown(socket, SHUT_WR);
        char drain[4096];
        const auto deadline = Clock::now() + milliseconds(500);
        while (Clock::now() < deadline) {
            pollfd entry{socket, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0 && Clock::now() >= deadline)
                break;
            if ((entry.revents & POLLIN) != 0 && ::recv(socket, drain, sizeof drain, 0) <= 0)
                break;
        }
    }

    HandlerResponse admit(const httplib::Request& request, httplib::Response& response) const {
        if (request.method != "GET" && request.method != "HEAD") {
            response.set_header("Allow", "GET, HEAD");
            reply(response, 405, "Only GET and HEAD are served");
            return HandlerResponse::Handled;
        }
        if (options_.token.empty())
            return HandlerResponse::Unhandled;
        std::string given;
        if (request.has_param("token"))
            given = request.get_param_value("token");
        else if (const auto bearer =
                     WebRequestRules::bearerToken(request.get_header_value("Authorization")))
            given = *bearer;
        if (!given.empty() && WebRequestRules::tokensEqual(given, options_.token))
            return HandlerResponse::Unhandled;
        response.set_header("WWW-Authenticate", "Bearer");
        reply(response, 401, given.empty() ? "A token is required" : "The token is wrong");
        return HandlerResponse::Handled;
    }

    void streamEvents(const httplib::Request& request, httplib::Response& response) {
        setCommonHeaders(response);
        response.set_header("X-Accel-Buffering", "no");
        // A browser that reconnects says what it saw last; anything else starts from now.
        std::uint64_t last = hub_.lastEventId();
        const std::string seen = request.get_header_value("Last-Event-ID");
        if (const auto number = WebRequestRules::sampleNumber(seen); number && !seen.empty())
            last = std::min<std::uint64_t>(static_cast<std::uint64_t>(*number), last);
        auto quietSince = std::make_shared<Clock::time_point>(Clock::now());
        auto opened = std::make_shared<bool>(false);
        response.set_chunked_content_provider(
            "text/event-stream", [this, last, quietSince, opened,
                                  began = Clock::now()](size_t, httplib::DataSink& sink) mutable {
                if (stopping_)
                    return false;
                if (Clock::now() - began >= options_.streamLifetime) {
                    sink.done();
                    return true;
                }
                std::string text;
                if (!*opened) {
                    *opened = true;
                    ++streams_;
                    text = "retry: 500\n: connected\n\n";
                }
                for (const auto& event :
                     hub_.eventsAfter(last, text.empty() ? milliseconds(1000) : milliseconds(0))) {
                    text += "id: " + std::to_string(event.id) + "\nevent: " + event.name +
                            "\ndata: " + event.data + "\n\n";
                    last = event.id;
                }
                if (text.empty() && Clock::now() - *quietSince >= options_.heartbeat)
                    text = ": keep-alive\n\n";
                if (text.empty())
                    return true;
                *quietSince = Clock::now();
                return sink.write(text.data(), text.size());
            });
    }

    std::vector<std::pair<QString, QString>> growthLines() {
        const std::lock_guard lock(growthMutex_);
        const std::uint64_t revision = hub_.rowsRevision();
        if (growthRevision_ != revision) {
            try {
                growth_ = GrowthTexts::lines(GrowthAnalysis::analyse(hub_.rows()),
                                             GrowthTexts::Detail::Full);
            } catch (const std::exception&) {
                growth_.clear();
            }
            growthRevision_ = revision;
        }
        return growth_;
    }

    // One export at a time, written to a file of its own and sent whole.
    void serveExport(httplib::Response& response, bool workbook) {
        setCommonHeaders(response);
        const std::lock_guard lock(exportMutex_);
        const std::vector<RecordRow> rows = hub_.rows();
        try {
            const QTemporaryDir directory;
            if (!directory.isValid())
                throw std::runtime_error("No temporary directory for the export");
            const QString target = directory.filePath(workbook ? QStringLiteral("table.xlsx")
                                                               : QStringLiteral("table.tsv"));
            if (workbook)
                exportTableExcel(rows, target);
            else
                exportTableAscii(rows, target, AsciiVariant::FileMenu);
            QFile file(target);
            if (!file.open(QIODevice::ReadOnly))
                throw std::runtime_error("The export could not be read back");
            response.set_header("Content-Disposition", workbook
                                                           ? "attachment; filename=\"table.xlsx\""
                                                           : "attachment; filename=\"table.tsv\"");
            response.set_content(file.readAll().toStdString(),
                                 workbook ? "application/vnd.openxmlformats-officedocument."
                                            "spreadsheetml.sheet"
                                          : "text/tab-separated-values; charset=utf-8");
        } catch (const std::exception& e) {
            reply(response, 500, e.what());
        }
    }

    WebEventHub& hub_;
    const WebServerOptions options_;
    std::vector<std::pair<PageFile, std::string>> pages_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> clients_{0};
    std::atomic<int> streams_{0}; // event streams ever opened
    std::mutex growthMutex_;
    std::optional<std::uint64_t> growthRevision_; // of the rows growth_ was read from
    std::vector<std::pair<QString, QString>> growth_;
    std::mutex exportMutex_;

public:
    std::thread listener;
};

WebServer::WebServer(WebEventHub& hub) : hub_(hub) {}

WebServer::~WebServer() {
    stop();
}

std::optional<std::string> WebServer::start(const WebServerOptions& options) {
    stop();
    if (auto refusal = WebRequestRules::bindingRefusal(options.address, options.token))
        return refusal;
    auto core = std::make_unique<Core>(hub_, options);
    errno = 0;
    int port = options.port;
    if (port == 0)
        port = core->bind_to_any_port(options.address);
    else if (!core->bind_to_port(options.address, port))
        port = -1;
    if (port <= 0) {
        const int reason = errno;
        const std::string where = WebRequestRules::pageUrl(options.address, options.port);
        if (reason == EADDRINUSE)
            return "Can't serve the status page at " + where +
                   ": the port is already in use by another program.";
        return "Can't serve the status page at " + where + ": " +
               (reason != 0 ? std::strerror(reason) : "the address cannot be used here") + ".";
    }
    core->listener = std::thread([server = core.get()] {
        // The pool of connection threads is made on this thread and shares its priority.
        Talvessa::runBelowSamplingPriority();
        server->listen_after_bind();
    });
    // stop() only reaches a server that has begun to listen.
    while (!core->is_running())
        std::this_thread::yield();
    core_ = std::move(core);
    boundPort_ = port;
    boundAddress_ = options.address;
    return std::nullopt;
}

void WebServer::stop() {
    if (!core_)
        return;
    core_->beginStop();
    core_->listener.join();
    core_.reset();
}

bool WebServer::isRunning() const {
    return core_ != nullptr;
}

int WebServer::port() const {
    return core_ ? boundPort_ : 0;
}

std::string WebServer::url() const {
    return core_ ? WebRequestRules::pageUrl(boundAddress_, boundPort_) : std::string();
}

int WebServer::openedEventStreams() const {
    return core_ ? core_->streams() : 0;
}

int WebServer::connectedClients() const {
    return core_ ? core_->clients() : 0;
}
