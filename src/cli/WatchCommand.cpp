// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli watch: the samples of a run served by a status page, as they come.
#include "CommandLine.h"
#include "CommandRegistry.h"
#include "TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <httplib.h>
#include <iostream>
#include <string>

namespace {

const char* const watchHelp =
    R"(Usage: nephodar-cli watch URL [OPTION]...
Prints the samples of the run whose status page is at URL (as measure --serve or the
workstation give it, "http://HOST:PORT/"), first those already taken, then each one as it is
stored: its number, its time in minutes, OD and CalcOD, tab-separated, with a note as a fifth
cell (its control characters shown as \xHH, cut after 200 characters). It ends when the
server ends the stream; the exit status is 1 when the page could not be reached, refused the
request or sent a line without end.

  --token T           the token the server asks for (also taken from ?token= in the URL)
  --help              show this text
)";

struct Target {
    std::string origin; // "http://host:port"
    std::string token;
};

Target parseUrl(const std::string& url) {
    const std::string scheme = "http://";
    if (url.compare(0, scheme.size(), scheme) != 0)
        throw std::invalid_argument("watch takes an http:// URL, not '" + url + "'");
    Target target;
    const auto pathStart = url.find_first_of("/?", scheme.size());
    target.origin = url.substr(0, pathStart);
    if (target.origin.size() == scheme.size())
        throw std::invalid_argument("The URL '" + url + "' names no host");
    if (const auto query = url.find("?token="); query != std::string::npos)
        target.token = url.substr(query + 7, url.find('&', query + 7) - query - 7);
    return target;
}

// What the server sends is read in bounded pieces: a row is a few hundred bytes, a run a few
// thousand rows.
constexpr std::size_t longestLine = std::size_t{64} << 10;
constexpr std::size_t longestAnswer = std::size_t{64} << 20;
// A note is 50 characters in the table; a server may send anything.
constexpr int longestNote = 200;

// OD and CalcOD with the 4 decimals the table keeps of them.
QString numberCell(const QJsonValue& value) {
    return value.isDouble() ? QString::number(value.toDouble(), 'f', 4) : QStringLiteral("n. c.");
}

// Prints a row once, in the order of the numbers.
class SamplePrinter {
public:
    void print(const QJsonObject& row) {
        const int number = row.value(QStringLiteral("number")).toInt(-1);
        if (number <= last_)
            return;
        last_ = number;
        QString line = QString::number(number) + QLatin1Char('\t') +
                       QString::number(row.value(QStringLiteral("minutes")).toDouble(), 'f', 3) +
                       QLatin1Char('\t') + numberCell(row.value(QStringLiteral("od"))) +
                       QLatin1Char('\t') + numberCell(row.value(QStringLiteral("calcOd")));
        const QString note = row.value(QStringLiteral("note")).toString();
        if (!note.isEmpty())
            line += QLatin1Char('\t') + terminalText(note, longestNote);
        std::cout << line.toStdString() << std::endl;
    }

private:
    int last_ = -1;
};

// The library names its failures in a word ("Connection"); the user needs the whole reason.
std::string failureText(httplib::Error error) {
    switch (error) {
    case httplib::Error::Connection:
        return "nothing answers there: the connection was refused or the host cannot be "
               "reached. Is a measurement served at that address and port (nephodar-cli "
               "measure --serve, or the workstation's View -> Web Status)?";
    case httplib::Error::ConnectionTimeout:
        return "no connection within 5 seconds; the host does not answer";
    case httplib::Error::Read:
        return "the connection broke while the answer was read";
    case httplib::Error::Write:
        return "the connection broke while the request was sent";
    case httplib::Error::BindIPAddress:
        return "no local address to connect from";
    default:
        return httplib::to_string(error);
    }
}

int runWatchCommand(int argc, char** argv) {
    const CommandLine options(argc, argv, 2, {"--token"}, {"--help"}, CommandLine::Operands::Taken);
    if (options.has("--help")) {
        std::cout << watchHelp;
        return 0;
    }
    if (options.operands().size() != 1)
        throw std::invalid_argument("watch takes one URL");
    Target target = parseUrl(options.operands().front());
    if (options.has("--token"))
        target.token = options.text("--token");

    httplib::Client client(target.origin);
    client.set_connection_timeout(5);
    client.set_read_timeout(60); // the stream says something at least every 15 s
    httplib::Headers headers;
    if (!target.token.empty())
        headers.emplace("Authorization", "Bearer " + target.token);

    SamplePrinter printer;
    const auto fail = [&](const std::string& what, int status) {
        std::cerr << "Can't watch " << target.origin << ": " << what;
        if (status == 401)
            std::cerr << " (the server wants a token: --token)";
        std::cerr << std::endl;
        return 1;
    };
    std::string body;
    bool tooLong = false;
    const auto earlier = client.Get(
        "/api/samples?since=0", headers, [](const httplib::Response&) { return true; },
        [&](const char* data, size_t length) {
            tooLong = body.size() + length > longestAnswer;
            if (!tooLong)
                body.append(data, length);
            return !tooLong;
        });
    if (tooLong)
        return fail("the list of samples is longer than " + std::to_string(longestAnswer >> 20) +
                        " MiB",
                    0);
    if (!earlier)
        return fail(failureText(earlier.error()), 0);
    if (earlier->status != 200)
        return fail("HTTP " + std::to_string(earlier->status), earlier->status);
    const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    for (const auto& row : answer.value(QStringLiteral("samples")).toArray())
        printer.print(row.toObject());

    // Server-sent events, line by line: a "sample" event's data is one row.
    std::string pending;
    std::string event;
    int status = 0;
    const auto streamed = client.Get(
        "/api/events", headers,
        [&](const httplib::Response& response) {
            status = response.status;
            return response.status == 200;
        },
        [&](const char* data, size_t length) {
            pending.append(data, length);
            for (auto end = pending.find('\n');; end = pending.find('\n')) {
                if (end == std::string::npos) {
                    // A stream that never ends its line would take all memory.
                    tooLong = pending.size() > longestLine;
                    return !tooLong;
                }
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (line.rfind("event: ", 0) == 0)
                    event = line.substr(7);
                else if (line.rfind("data: ", 0) == 0 && (event == "sample" || event == "note"))
                    printer.print(QJsonDocument::fromJson(QByteArray::fromStdString(line.substr(6)))
                                      .object());
                else if (line.empty())
                    event.clear();
            }
        });
    if (tooLong)
        return fail("the event stream sent a line longer than " +
                        std::to_string(longestLine >> 10) + " KiB without ending it",
                    0);
    if (status != 0 && status != 200)
        return fail("HTTP " + std::to_string(status), status);
    if (!streamed && streamed.error() != httplib::Error::Success &&
        streamed.error() != httplib::Error::Read)
        return fail(failureText(streamed.error()), 0);
    return 0;
}

const CliCommandRegistration watch("watch", "print the samples of a served run as they come",
                                   runWatchCommand);

} // namespace
