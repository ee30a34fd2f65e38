// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TPortErrorForm;
}

// A red "Port Error" notice that closes when its button is pressed.
class TPortErrorForm : public QWidget {
    Q_OBJECT
public:
    explicit TPortErrorForm(QWidget* parent = nullptr);
    ~TPortErrorForm() override;

    // What went wrong with the port, in the user's words, above the button.
    void setNotice(const QString& text);
    QString notice() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TPortErrorForm> ui_;
    bool placed_ = false;
};
