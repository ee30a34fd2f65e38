// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopOpener.h"

#include <QProcess>

DesktopOpener::DesktopOpener(QString opener, QObject* parent)
    : QObject(parent), opener_(std::move(opener)) {}

bool DesktopOpener::open(const QString& path, const std::function<void()>& failed) {
    auto* process = new QProcess(this);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(process, &QProcess::finished, this,
            [process, failed](int code, QProcess::ExitStatus status) {
                if (status != QProcess::NormalExit || code != 0)
                    failed();
                process->deleteLater();
            });
    process->start(opener_, {path});
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}
