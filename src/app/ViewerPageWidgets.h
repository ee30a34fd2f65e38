// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace Ui {
class TWorkForm;
}
class QGroupBox;
class QLabel;
class QRadioButton;
class QTextEdit;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The widgets of the main window's form that the viewer page works with, and no others.
struct ViewerPageWidgets {
    static ViewerPageWidgets from(Ui::TWorkForm& form);

    // The page's room: the chart's area, or in Log mode the panes of the log and statement.
    QVBoxLayout* layoutViewer = nullptr;
    QWidget* ViewerArea = nullptr;
    QWidget* GroupBox22 = nullptr;
    QTextEdit* RichEdit4 = nullptr;
    QTextEdit* RichEdit5 = nullptr;
    // The zoom box with its spans.
    QGroupBox* GroupBox18 = nullptr;
    QLabel* Label23 = nullptr;
    QLabel* Label25 = nullptr;
    // The choice of what is shown, and the buttons.
    QRadioButton* RadioButton5 = nullptr;
    QRadioButton* RadioButton8 = nullptr;
    QRadioButton* RadioButton26 = nullptr;
    QToolButton* SpeedButton23 = nullptr;
    QToolButton* SpeedButton27 = nullptr;
    QToolButton* SpeedButton24 = nullptr;
    QToolButton* SpeedButton45 = nullptr;
};
