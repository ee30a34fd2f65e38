// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

class MqttOptions;
class UserPrompts;

namespace Ui {
class TOptionsForm;
}

// The general settings of the open profile, and those of publishing to an MQTT broker. Its fields
// double as the program's current user and company names, own auto-save directory and "Save As"
// directory, which other windows read through the accessors below.
class TOptionsForm : public QDialog {
    Q_OBJECT

public:
    explicit TOptionsForm(UserPrompts& prompts, QWidget* parent = nullptr);
    ~TOptionsForm() override;

    // Loads every field from the open profile; runs on each showing. The start-up calls it
    // once after opening the profile so the fields hold real values before the first showing.
    void FormShow();

    QString user() const;
    QString company() const;
    QString ownAutoSaveDirectory() const;
    bool useOwnAutoSaveDirectory() const;
    QString saveAsDirectory() const;
    // "AutoSave" was switched elsewhere (the main window's Saving tab): confirming the dialog
    // stores it as switched, not as the dialog loaded it.
    void setAutoSave(bool on);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DERadioButtonClick();
    void GBRadioButtonClick();
    void SpeedButton1Click();
    void loadFields();
    void storeFields();

    std::unique_ptr<Ui::TOptionsForm> ui_;
    UserPrompts& prompts_;
    MqttOptions* mqtt_ = nullptr; // a child of the dialog
    int numberFormat = 0;         // 0: "DE", 1: "GB"
    bool centred_ = false;
};
