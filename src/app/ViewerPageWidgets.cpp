// SPDX-License-Identifier: GPL-3.0-or-later
#include "ViewerPageWidgets.h"

#include "ui_TWorkForm.h"

ViewerPageWidgets ViewerPageWidgets::from(Ui::TWorkForm& form) {
    ViewerPageWidgets w;
    w.layoutViewer = form.layoutViewer;
    w.ViewerArea = form.ViewerArea;
    w.GroupBox22 = form.GroupBox22;
    w.RichEdit4 = form.RichEdit4;
    w.RichEdit5 = form.RichEdit5;
    w.GroupBox18 = form.GroupBox18;
    w.Label23 = form.Label23;
    w.Label25 = form.Label25;
    w.RadioButton5 = form.RadioButton5;
    w.RadioButton8 = form.RadioButton8;
    w.RadioButton26 = form.RadioButton26;
    w.SpeedButton23 = form.SpeedButton23;
    w.SpeedButton27 = form.SpeedButton27;
    w.SpeedButton24 = form.SpeedButton24;
    w.SpeedButton45 = form.SpeedButton45;
    return w;
}
