// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartPageWidgets.h"

#include "ui_TWorkForm.h"

ChartPageWidgets ChartPageWidgets::from(Ui::TWorkForm& form) {
    ChartPageWidgets w;
    w.layoutChart = form.layoutChart;
    w.ChartArea = form.ChartArea;
    w.Panel11 = form.Panel11;
    w.Label44 = form.Label44;
    w.Label43 = form.Label43;
    w.SpeedButton20 = form.SpeedButton20;
    w.SpeedButton32 = form.SpeedButton32;
    w.SpeedButton33 = form.SpeedButton33;
    w.SpeedButton34 = form.SpeedButton34;
    w.SpeedButton35 = form.SpeedButton35;
    w.SpeedButton36 = form.SpeedButton36;
    w.SpeedButton37 = form.SpeedButton37;
    w.SpeedButton30 = form.SpeedButton30;
    w.SpeedButton15 = form.SpeedButton15;
    w.SpeedButton16 = form.SpeedButton16;
    w.SpeedButton17 = form.SpeedButton17;
    w.SpeedButton18 = form.SpeedButton18;
    w.SpeedButton31 = form.SpeedButton31;
    w.GroupBox3 = form.GroupBox3;
    w.layoutZoomBox = form.layoutZoomBox;
    w.NewTrace = form.NewTrace;
    w.ChartZoom = form.ChartZoom;
    w.ChartNote = form.ChartNote;
    w.Label10 = form.Label10;
    w.RadioButton_Chart_OD = form.RadioButton_Chart_OD;
    w.Panel4 = form.Panel4;
    w.Edit5 = form.Edit5;
    w.SpeedButton_SaveNote = form.SpeedButton_SaveNote;
    w.SpeedButton_AbortNote = form.SpeedButton_AbortNote;
    w.StartButton = form.StartButton;
    w.SpeedButton3 = form.SpeedButton3;
    return w;
}
