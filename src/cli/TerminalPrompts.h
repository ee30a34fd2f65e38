// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/EngineEnvironment.h"

#include <iostream>

// Messages go to standard error; the save question is answered by the command line: yes,
// into the file given with --save, when there is one.
class TerminalPrompts : public UserPrompts {
public:
    explicit TerminalPrompts(QString saveFile) : saveFile_(std::move(saveFile)) {}

    void showMessage(const QString& text) override { std::cerr << text.toStdString() << std::endl; }
    void showInformation(const QString& title, const QString& text) override {
        std::cerr << title.toStdString() << ": " << text.toStdString() << std::endl;
    }
    bool askYesNo(const QString&) override { return !saveFile_.isEmpty(); }
    bool askWarningYesNo(const QString&) override { return false; }
    QString askOpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString askSaveFileName(const QString&, const QString&, const QString&,
                            const QString&) override {
        return saveFile_;
    }

private:
    QString saveFile_;
};
