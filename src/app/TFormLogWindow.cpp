// SPDX-License-Identifier: GPL-3.0-or-later
#include "TFormLogWindow.h"

#include "lumo/LineDisplay.h"
#include "lumo/Logger.h"
#include "lumo/MemoLogBuffer.h"
#include "ui_TFormLogWindow.h"
#include "workstation/EngineEnvironment.h"
#include "workstation/RtfText.h"
#include "workstation/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <stdexcept>

namespace {

constexpr int logArraySize = 1024;

// The text edit's paragraphs as the log buffer's lines. The current line is also kept as the
// bytes written and shown decoded as a whole, so that a character whose bytes arrive in two
// transfers is not garbled.
class PlainTextLines : public Talvessa::LineDisplay {
public:
    explicit PlainTextLines(QPlainTextEdit& edit) : edit(edit) {}

    std::string lastLine() const override { return current; }

    void appendToCurrentLine(const std::string& text) override {
        if (text.empty())
            return;
        current += text;
        QTextCursor cursor(edit.document());
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(decoded(current));
        hasLine = true;
    }

    void addLine(const std::string& text) override {
        QTextCursor cursor(edit.document());
        cursor.movePosition(QTextCursor::End);
        // An empty document already shows one empty paragraph: the first line goes there.
        if (hasLine)
            cursor.insertBlock();
        hasLine = true;
        current = text;
        cursor.insertText(decoded(current));
    }

private:
    static QString decoded(const std::string& bytes) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }

    QPlainTextEdit& edit;
    std::string current;
    bool hasLine = false;
};

} // namespace

TFormLogWindow::TFormLogWindow(UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(new Ui::TFormLogWindow), prompts(prompts) {
    ui->setupUi(this);
    lines = std::make_unique<PlainTextLines>(*ui->LogDisplay);
    logArray = std::make_unique<char[]>(logArraySize);
    buffer = std::make_unique<Talvessa::MemoLogBuffer>(*lines);
    buffer->pubsetbuf(logArray.get(), logArraySize);
    Talvessa::setLogStream(buffer.get());
    connect(ui->btnSave, &QAbstractButton::clicked, this, &TFormLogWindow::btnSaveClick);
}

TFormLogWindow::~TFormLogWindow() {
    try {
        if (Talvessa::getLogStream().rdbuf() == buffer.get())
            Talvessa::setLogStream(nullptr); // writes to a stream without buffer are dropped
    } catch (const std::runtime_error&) {
        // No stream installed: nothing to take away.
    }
}

void TFormLogWindow::btnSaveClick() {
    QString chosen = prompts.askSaveFileName(QStringLiteral("Save As"), QDir::homePath(),
                                             QStringLiteral("default.log.rtf"),
                                             QStringLiteral("RichTextFiles|*.rtf"));
    if (chosen.isEmpty())
        return;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".rtf");
    // An exception must not leave a slot: the failure is shown like any other.
    try {
        TextFile::replace(chosen, RtfText::write(ui->LogDisplay->toPlainText()));
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromStdString(e.what()));
    }
}
