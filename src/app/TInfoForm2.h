// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/Protocol.h"
#include "workstation/Statement.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TInfoForm2;
}
class MeasurementEngine;
class TemplateMemo;
class UserPrompts;

// "Protocol + Log Channel B": the protocol and statement of a second channel. Nothing writes
// entries into its protocol yet; every Start empties it and reloads the standard template.
class TInfoForm2 : public QWidget {
    Q_OBJECT
public:
    // Loads the program directory's standard template into the memo; throws when it can't.
    TInfoForm2(MeasurementEngine& engine, const QString& programDirectory, UserPrompts& prompts,
               QWidget* parent = nullptr);
    ~TInfoForm2() override;

    Protocol& protocol() { return channelProtocol_; }
    Statement& statement() { return channelStatement_; }

public slots:
    void refreshProtocol();
    void loadTemplate();
    void saveAsTemplate();

private:
    void measurementStarted();

    UserPrompts& prompts_;
    std::unique_ptr<Ui::TInfoForm2> ui_;
    Protocol channelProtocol_;
    Statement channelStatement_;
    TemplateMemo* memo_ = nullptr;
};
