// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QTextBrowser;

// Shows the help file of the program directory.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(const QString& programDirectory, QWidget* parent = nullptr);
    void showContents();
    QString fileName() const { return file_; }
    QTextBrowser* browser() const { return view_; }

private:
    QString file_;
    QTextBrowser* view_;
};
