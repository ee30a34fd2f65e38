// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateMemo.h"

#include "workstation/EngineEnvironment.h"
#include "workstation/Statement.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <exception>

namespace {

QStringList memoLines(const QPlainTextEdit& memo) {
    const QString text = memo.toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

} // namespace

TemplateMemo::TemplateMemo(QPlainTextEdit& memo, QLineEdit& templateField, Statement& statement,
                           const QString& programDirectory, UserPrompts& prompts, QObject* parent)
    : QObject(parent), memo(memo), templateField(templateField), statement(statement),
      programDirectory(programDirectory), prompts(prompts) {
    // Every edit goes straight into the statement, which is what a save writes.
    connect(&memo, &QPlainTextEdit::textChanged, this,
            [this] { this->statement.lines = memoLines(this->memo); });
}

QString TemplateMemo::templateDirectory() const {
    return QDir::cleanPath(programDirectory + QStringLiteral("/Templates"));
}

QString TemplateMemo::standardTemplate() const {
    return Statement::templatePath(programDirectory);
}

void TemplateMemo::loadStandardTemplate() {
    Statement loaded;
    loaded.loadTemplate(standardTemplate());
    statement.lines = loaded.lines;
    showStatement();
    templateField.setText(standardTemplate());
}

void TemplateMemo::showStatement() {
    const QSignalBlocker keepStatement(memo);
    memo.setPlainText(statement.lines.join(QLatin1Char('\n')));
}

void TemplateMemo::loadTemplate() {
    templateField.setText(templateDirectory());
    const QString path =
        prompts.askOpenFileName(QStringLiteral("Load Template"), templateDirectory(), QString());
    if (path.isEmpty())
        return;
    Statement loaded;
    try {
        loaded.loadTemplate(path);
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromUtf8(e.what()));
        return;
    }
    statement.lines = loaded.lines;
    showStatement();
    templateField.setText(QFileInfo(path).absoluteFilePath());
}

void TemplateMemo::saveAsTemplate() {
    const QString path = prompts.askSaveFileName(QStringLiteral("Save as Template"),
                                                 templateDirectory(), QString(), QString());
    if (path.isEmpty())
        return;
    Statement memoText;
    memoText.lines = memoLines(memo);
    try {
        memoText.save(path);
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromUtf8(e.what()));
    }
}
