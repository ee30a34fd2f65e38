#pragma once

#include <QString>
#include <QStringList>

// Small rules of the sampling cycle, kept apart so that each can be checked on its own.
namespace SamplingRules {

// The interval list of the options page and the countdown ticks each entry stands for.
QStringList intervalEntries();
// Ticks for an entry; an unknown or empty choice is 30.
int intervalForEntry(const QString& entry);

// With n samples taken and c samples counted since the last due save: is a save due?
bool autoSaveDue(int n, int c);

} // namespace SamplingRules
