// SPDX-License-Identifier: GPL-3.0-or-later
#include "HeadlessBrowser.h"

#include "Deadline.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

} // namespace

bool HeadlessBrowser::available() {
    return std::system("command -v chromium >/dev/null 2>&1") == 0;
}

HeadlessBrowser::HeadlessBrowser() {
    // The browser reads its commands from descriptor 3 and writes its answers to 4, each
    // message ended by a NUL.
    int commands[2];
    int answers[2];
    if (pipe2(commands, O_CLOEXEC) != 0 || pipe2(answers, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const std::string userData = "--user-data-dir=" + profile_.path().toStdString();
    std::vector<std::string> arguments{"chromium",      "--headless",     "--no-sandbox",
                                       "--disable-gpu", "--no-first-run", "--remote-debugging-pipe",
                                       userData,        "about:blank"};
    // Made before the fork: the child of a threaded process must not allocate.
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0); // its helpers go with it
        // Moved out of the way first: a pipe end may itself be descriptor 3 or 4.
        const int commandsEnd = fcntl(commands[0], F_DUPFD_CLOEXEC, 10);
        const int answersEnd = fcntl(answers[1], F_DUPFD_CLOEXEC, 10);
        dup2(commandsEnd, 3);
        dup2(answersEnd, 4);
        const int devNull = ::open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvp("chromium", argv.data());
        _exit(127);
    }
    close(commands[0]);
    close(answers[1]);
    toBrowser_ = commands[1];
    fromBrowser_ = answers[0];
    try {
        call(QStringLiteral("Browser.getVersion"), {}, 30000); // up and answering
    } catch (...) {
        end();
        throw;
    }
}

HeadlessBrowser::~HeadlessBrowser() {
    end();
}

void HeadlessBrowser::end() {
    if (pid_ > 0) {
        kill(-pid_, SIGTERM);
        for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(-pid_, SIGKILL); // what is left of its group
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    close(toBrowser_);
    close(fromBrowser_);
    toBrowser_ = fromBrowser_ = -1;
}

void HeadlessBrowser::open(const std::string& url) {
    session_.clear();
    const QJsonObject target = call(QStringLiteral("Target.createTarget"),
                                    {{QStringLiteral("url"), QString::fromStdString(url)}});
    const QJsonObject attached =
        call(QStringLiteral("Target.attachToTarget"),
             {{QStringLiteral("targetId"), target[QStringLiteral("targetId")]},
              {QStringLiteral("flatten"), true}});
    session_ = attached[QStringLiteral("sessionId")].toString();
}

QJsonValue HeadlessBrowser::evaluate(const QString& expression, int timeoutMilliseconds) {
    const QJsonObject answer = call(QStringLiteral("Runtime.evaluate"),
                                    {{QStringLiteral("expression"), expression},
                                     {QStringLiteral("awaitPromise"), true},
                                     {QStringLiteral("returnByValue"), true}},
                                    timeoutMilliseconds);
    if (answer.contains(QStringLiteral("exceptionDetails")))
        throw std::runtime_error(
            "the page's script failed: " +
            QJsonDocument(answer[QStringLiteral("exceptionDetails")].toObject())
                .toJson(QJsonDocument::Compact)
                .toStdString());
    return answer[QStringLiteral("result")].toObject()[QStringLiteral("value")];
}

bool HeadlessBrowser::waitUntil(const QString& expression, int timeoutMilliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    do {
        try {
            if (evaluate(expression, millisecondsLeft(deadline) + 1000).toBool())
                return true;
        } catch (const std::runtime_error&) {
            // the page is still loading: its script may not be there yet
        }
        QCoreApplication::sendPostedEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < deadline);
    return false;
}

QJsonObject HeadlessBrowser::call(const QString& method, const QJsonObject& parameters,
                                  int timeoutMilliseconds) {
    const int id = nextId_++;
    QJsonObject command{{QStringLiteral("id"), id},
                        {QStringLiteral("method"), method},
                        {QStringLiteral("params"), parameters}};
    if (!session_.isEmpty())
        command[QStringLiteral("sessionId")] = session_;
    QByteArray text = QJsonDocument(command).toJson(QJsonDocument::Compact);
    text.append('\0');
    for (qsizetype written = 0; written < text.size();) {
        const ssize_t count = write(toBrowser_, text.constData() + written,
                                    static_cast<size_t>(text.size() - written));
        if (count <= 0)
            throw std::runtime_error("the browser is gone");
        written += count;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (true) {
        const QJsonObject message = nextMessage(millisecondsLeft(deadline));
        if (message[QStringLiteral("id")].toInt() != id)
            continue; // an event, or the answer to an earlier call that timed out
        if (message.contains(QStringLiteral("error")))
            throw std::runtime_error(method.toStdString() + " failed: " +
                                     QJsonDocument(message[QStringLiteral("error")].toObject())
                                         .toJson(QJsonDocument::Compact)
                                         .toStdString());
        return message[QStringLiteral("result")].toObject();
    }
}

QJsonObject HeadlessBrowser::nextMessage(int timeoutMilliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (true) {
        const auto end = received_.find('\0');
        if (end != std::string::npos) {
            const std::string message = received_.substr(0, end);
            received_.erase(0, end + 1);
            return QJsonDocument::fromJson(QByteArray::fromStdString(message)).object();
        }
        pollfd ready{fromBrowser_, POLLIN, 0};
        if (poll(&ready, 1, millisecondsLeft(deadline)) <= 0)
            throw std::runtime_error("no answer from the browser in time");
        char buffer[65536];
        const ssize_t count = read(fromBrowser_, buffer, sizeof buffer);
        if (count <= 0)
            throw std::runtime_error("the browser is gone");
        received_.append(buffer, static_cast<size_t>(count));
    }
}
