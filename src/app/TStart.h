// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgressSetters.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TStart;
}

// The splash shown while the main window prepares itself.
class TStart : public QWidget {
    Q_OBJECT
public:
    explicit TStart(const QString& programDirectory, QWidget* parent = nullptr);
    ~TStart() override;

    void showUser(const QString& user, const QString& company);
    Talvessa::ProgressBarSetter& progressListener() { return *progress_; }

private:
    std::unique_ptr<Ui::TStart> ui_;
    std::unique_ptr<Talvessa::ProgressBarSetter> progress_;
};
