// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressSetters.h"

#include <QProgressBar>

namespace Talvessa {

namespace {
void show(QProgressBar* bar, const __lumo::ProgressInfoType& info) {
    bar->setMinimum(0);
    bar->setMaximum(static_cast<int>(info.total));
    bar->setValue(info.current);
    bar->repaint();
}
} // namespace

void ProgressBarSetter::eventOccurred(__lumo::ProgressInfoType& info) {
    show(bar_, info);
}

void TCGaugeSetter::eventOccurred(__lumo::ProgressInfoType& info) {
    show(gauge_, info);
}

} // namespace Talvessa
