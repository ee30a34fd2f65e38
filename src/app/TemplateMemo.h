// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class Statement;
class UserPrompts;

// A statement memo with its template field: the memo edits the statement's lines, and
// templates are loaded into it and saved from it. Shared by both protocol windows.
class TemplateMemo : public QObject {
    Q_OBJECT
public:
    TemplateMemo(QPlainTextEdit& memo, QLineEdit& templateField, Statement& statement,
                 const QString& programDirectory, UserPrompts& prompts, QObject* parent);

    QString templateDirectory() const;
    QString standardTemplate() const;

    // The program directory's standard template into the memo; throws when it can't be read.
    void loadStandardTemplate();
    // The memo shows the statement as it stands now.
    void showStatement();

    // "Load Template" and "Save as Template": failures are reported, the memo stays.
    void loadTemplate();
    void saveAsTemplate();

private:
    QPlainTextEdit& memo_;
    QLineEdit& templateField_;
    Statement& statement_;
    QString programDirectory_;
    UserPrompts& prompts_;
};
