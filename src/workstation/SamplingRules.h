// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Small rules of the sampling cycle, kept apart so that each can be checked on its own.
namespace SamplingRules {

// The interval list of the options page and the seconds each entry stands for.
QStringList intervalEntries();
// Seconds for an entry; an unknown or empty choice is 30.
int intervalForEntry(const QString& entry);

// With n samples taken and c samples counted since the last due save: is a save due?
bool autoSaveDue(int n, int c);

// The auto-save counter: every sample up to the 999th, then every 10th, 20th, 30th.
class AutoSaveSchedule {
public:
    void restart() { counter_ = 1; }
    // After sample n: whether a save is due now.
    bool afterSample(int n);

private:
    int counter_ = 1;
};

} // namespace SamplingRules
