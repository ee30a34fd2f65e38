// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Opens a file in the desktop's program for it, through the desktop's opener (xdg-open).
// Whether a program took the file is known only when the opener ends, which may be long after
// (some openers wait for the program): a failure is passed on then, nothing waits for it.
class DesktopOpener : public QObject {
public:
    explicit DesktopOpener(QString opener = QStringLiteral("xdg-open"), QObject* parent = nullptr);

    // False when the opener could not be started at all; failed() runs when it ends without
    // having opened the file.
    bool open(const QString& path, const std::function<void()>& failed);

private:
    QString opener_;
};
