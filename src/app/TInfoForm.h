// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TInfoForm;
}
class MeasurementEngine;
class TemplateMemo;
class UserPrompts;

// "Protocol + Log": the measurement's statement in an editable memo and its protocol in a
// read-only display, with loading and saving of statement templates.
class TInfoForm : public QWidget {
    Q_OBJECT
public:
    // Loads the program directory's standard template into the memo; throws when it can't.
    TInfoForm(MeasurementEngine& engine, const QString& programDirectory, UserPrompts& prompts,
              QWidget* parent = nullptr);
    ~TInfoForm() override;

public slots:
    // "Protocol + Log" button and View menu "Protocol": shown, not modal, with the protocol.
    void showProtocol();
    void refreshProtocol();
    // The memo shows the engine's statement as it stands.
    void refreshStatement();
    void loadTemplate();
    void saveAsTemplate();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void measurementStarted();
    void stayOnTop(bool onTop);

    MeasurementEngine& engine_;
    std::unique_ptr<Ui::TInfoForm> ui_;
    TemplateMemo* memo_ = nullptr;
    bool placed_ = false;
};
