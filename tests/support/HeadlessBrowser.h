// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QTemporaryDir>
#include <string>
#include <sys/types.h>

// Headless Chromium driven over its DevTools pipe: one page that runs in real time, with open
// event streams, and whose scripts the test can run and wait on. Ends the browser when it
// goes.
class HeadlessBrowser {
public:
    static bool available(); // chromium is installed

    // Starts the browser; throws std::runtime_error when it does not answer.
    HeadlessBrowser();
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    // Opens the address in a new tab, which later calls work on.
    void open(const std::string& url);
    // The value of a script expression in the page; a promise is waited for. Throws
    // std::runtime_error when the script throws or no answer comes within the time.
    QJsonValue evaluate(const QString& expression, int timeoutMilliseconds = 10000);
    // Evaluates the expression until it is true; false when it never was within the time.
    // The calls the test's thread queued are delivered meanwhile; its timers are not run.
    bool waitUntil(const QString& expression, int timeoutMilliseconds = 10000);

private:
    QJsonObject call(const QString& method, const QJsonObject& parameters,
                     int timeoutMilliseconds = 10000);
    QJsonObject nextMessage(int timeoutMilliseconds);
    void end();

    QTemporaryDir profile_;
    pid_t pid_ = -1;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    std::string received_;
    int nextId_ = 1;
    QString session_;
};
