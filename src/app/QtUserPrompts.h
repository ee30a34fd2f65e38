// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/EngineEnvironment.h"

#include <functional>

class QWidget;

// The user's questions and messages as the desktop's dialogs. Each box belongs to the window
// the user works in (a dialog's box stays in front of that dialog instead of raising the main
// window over it).
class QtUserPrompts : public UserPrompts {
public:
    explicit QtUserPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* widget) { parent_ = widget; }
    // For a run that nobody watches (a picture taken from the command line): messages go to
    // standard error instead of boxes that would wait for an OK nobody gives.
    void setUnattended(bool unattended) { unattended_ = unattended; }

    void showMessage(const QString& text) override;
    void showError(const QString& text) override;
    void showInformation(const QString& title, const QString& text) override;
    bool askYesNo(const QString& question) override;
    bool askWarningYesNo(const QString& text) override;
    bool askYesNoDefaultNo(const QString& question) override;
    bool askWarningYesNoDefaultNo(const QString& text) override;
    void showDeviceTrouble(const QString& text) override;
    void showDeviceBack(const QString& text) override;
    // Where the photometer's trouble and return are said (the port-error window, the status
    // line); without it, a box that does not wait for its OK.
    void setDeviceNotice(std::function<void(const QString& text, bool trouble)> notice) {
        deviceNotice_ = std::move(notice);
    }
    QString askSaveFileName(const QString& title, const QString& directory,
                            const QString& proposedName, const QString& filter) override;
    QString askOpenFileName(const QString& title, const QString& directory,
                            const QString& filter) override;
    std::optional<QString> askText(const QString& title, const QString& prompt,
                                   const QString& initial) override;

    // "Name|*.ext|Other|*.x" as the file dialogs want it: "Name (*.ext);;Other (*.x)".
    static QString dialogFilter(const QString& filter);

    // The window a box belongs to: the one the user works in, else the main window.
    QWidget* owner() const;

private:
    bool said(const QString& text) const;

    QWidget* parent_;
    bool unattended_ = false;
    std::function<void(const QString&, bool)> deviceNotice_;
};
