// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/EngineEnvironment.h"

class QWidget;

// The user's questions and messages as the desktop's dialogs.
class QtUserPrompts : public UserPrompts {
public:
    explicit QtUserPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* widget) { parent_ = widget; }

    void showMessage(const QString& text) override;
    void showError(const QString& text) override;
    void showInformation(const QString& title, const QString& text) override;
    bool askYesNo(const QString& question) override;
    bool askWarningYesNo(const QString& text) override;
    QString askSaveFileName(const QString& title, const QString& directory,
                            const QString& proposedName, const QString& filter) override;
    QString askOpenFileName(const QString& title, const QString& directory,
                            const QString& filter) override;
    std::optional<QString> askText(const QString& title, const QString& prompt,
                                   const QString& initial) override;

    // "Name|*.ext|Other|*.x" as the file dialogs want it: "Name (*.ext);;Other (*.x)".
    static QString dialogFilter(const QString& filter);

private:
    QWidget* parent_;
};
