// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace Ui {
class TWorkForm;
}
class QFrame;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The widgets of the main window's form that the chart page works with, and no others.
struct ChartPageWidgets {
    static ChartPageWidgets from(Ui::TWorkForm& form);

    // The page's room and the chart's place in it.
    QVBoxLayout* layoutChart = nullptr;
    QWidget* ChartArea = nullptr;
    // The scaling panel and the two indicators of what it shows.
    QFrame* Panel11 = nullptr;
    QLabel* Label44 = nullptr;
    QLabel* Label43 = nullptr;
    QToolButton* SpeedButton20 = nullptr;
    QToolButton* SpeedButton32 = nullptr;
    QToolButton* SpeedButton33 = nullptr;
    QToolButton* SpeedButton34 = nullptr;
    QToolButton* SpeedButton35 = nullptr;
    QToolButton* SpeedButton36 = nullptr;
    QToolButton* SpeedButton37 = nullptr;
    QToolButton* SpeedButton30 = nullptr;
    QToolButton* SpeedButton15 = nullptr;
    QToolButton* SpeedButton16 = nullptr;
    QToolButton* SpeedButton17 = nullptr;
    QToolButton* SpeedButton18 = nullptr;
    QToolButton* SpeedButton31 = nullptr;
    // The zoom box and the mode choice.
    QGroupBox* GroupBox3 = nullptr;
    QHBoxLayout* layoutZoomBox = nullptr;
    QToolButton* NewTrace = nullptr;
    QRadioButton* ChartZoom = nullptr;
    QRadioButton* ChartNote = nullptr;
    QLabel* Label10 = nullptr;
    QRadioButton* RadioButton_Chart_OD = nullptr;
    // The note panel.
    QGroupBox* Panel4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QToolButton* SpeedButton_SaveNote = nullptr;
    QToolButton* SpeedButton_AbortNote = nullptr;
    // The window's buttons that the pop-up menu's items stand for.
    QToolButton* StartButton = nullptr;
    QToolButton* SpeedButton3 = nullptr;
};
