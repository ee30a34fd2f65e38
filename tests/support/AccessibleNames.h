// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>
#include <QStringList>
#include <set>

// The controls a screen reader would announce without a name: every visible, focusable
// control in the accessibility tree below root whose name is empty, by object name.
inline QStringList unnamedControls(QAccessibleInterface* root) {
    static const std::set<QAccessible::Role> controls{
        QAccessible::PushButton, QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::EditableText, QAccessible::SpinBox,
        QAccessible::ButtonMenu, QAccessible::Slider};
    QStringList unnamed;
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (!child || child->state().invisible)
            continue;
        if (controls.count(child->role()) && child->state().focusable &&
            child->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << (child->object() ? child->object()->objectName() : QStringLiteral("?"));
        unnamed << unnamedControls(child);
    }
    return unnamed;
}
