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
    : QObject(parent), memo_(memo), templateField_(templateField), statement_(statement),
      programDirectory_(programDirectory), prompts_(prompts) {
    // Every edit goes straight into the statement, which is what a save writes.
    connect(&memo, &QPlainTextEdit::textChanged, this,
            [this] { this->statement_.lines = memoLines(this->memo_); });
}

QString TemplateMemo::templateDirectory() const {
    return QDir::cleanPath(programDirectory_ + QStringLiteral("/Templates"));
}

QString TemplateMemo::standardTemplate() const {
    return Statement::templatePath(programDirectory_);
}

void TemplateMemo::loadStandardTemplate() {
    Statement loaded;
    loaded.loadTemplate(standardTemplate());
    statement_.lines = loaded.lines;
    showStatement();
    templateField_.setText(standardTemplate());
}

void TemplateMemo::showStatement() {
    const QSignalBlocker keepStatement(memo_);
    memo_.setPlainText(statement_.lines.join(QLatin1Char('\n')));
}

void TemplateMemo::loadTemplate() {
    templateField_.setText(templateDirectory());
    const QString path =
        prompts_.askOpenFileName(QStringLiteral("Load Template"), templateDirectory(), QString());
    if (path.isEmpty())
        return;
    Statement loaded;
    try {
        loaded.loadTemplate(path);
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromUtf8(e.what()));
        return;
    }
    statement_.lines = loaded.lines;
    showStatement();
    templateField_.setText(QFileInfo(path).absoluteFilePath());
}

void TemplateMemo::saveAsTemplate() {
    const QString path = prompts_.askSaveFileName(QStringLiteral("Save as Template"),
                                                  templateDirectory(), QString(), QString());
    if (path.isEmpty())
        return;
    Statement memoText;
    memoText.lines = memoLines(memo_);
    try {
        memoText.save(path);
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromUtf8(e.what()));
    }
}
