// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TFormLogWindow;
}
namespace Talvessa {
class LineDisplay;
class MemoLogBuffer;
} // namespace Talvessa
class UserPrompts;

// Destination of the process-wide log: creating the window installs the log stream over its
// display; the whole log can be saved as rich text.
class TFormLogWindow : public QWidget {
    Q_OBJECT
public:
    explicit TFormLogWindow(UserPrompts& prompts, QWidget* parent = nullptr);
    // Takes the log stream away from this window if it is still installed here, so that a
    // late writer finds no stream instead of a destroyed buffer.
    ~TFormLogWindow() override;

    Ui::TFormLogWindow& form() { return *ui_; }

public slots:
    void btnSaveClick();

private:
    std::unique_ptr<Ui::TFormLogWindow> ui_;
    UserPrompts& prompts_;
    // Declared before the buffer, which uses them until it is gone.
    std::unique_ptr<Talvessa::LineDisplay> lines_;
    std::unique_ptr<char[]> logArray_;
    std::unique_ptr<Talvessa::MemoLogBuffer> buffer;
};
