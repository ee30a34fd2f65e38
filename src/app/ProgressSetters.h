// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lumo/Progress.h"

class QProgressBar;

namespace Talvessa {

// Progress shown on a bar, repainted at once: the steps it reports block the event loop.
class ProgressBarSetter : public __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
public:
    explicit ProgressBarSetter(QProgressBar* bar) : bar_(bar) {}
    void eventOccurred(__lumo::ProgressInfoType& info) override;

private:
    QProgressBar* bar_;
};

// The same for the main window's sampling gauge.
class TCGaugeSetter : public __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
public:
    explicit TCGaugeSetter(QProgressBar* gauge) : gauge_(gauge) {}
    void eventOccurred(__lumo::ProgressInfoType& info) override;

private:
    QProgressBar* gauge_;
};

} // namespace Talvessa
