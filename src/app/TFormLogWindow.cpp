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
    explicit PlainTextLines(QPlainTextEdit& edit) : edit_(edit) {}

    std::string lastLine() const override { return current_; }

    void appendToCurrentLine(const std::string& text) override {
        if (text.empty())
            return;
        current_ += text;
        QTextCursor cursor(edit_.document());
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(decoded(current_));
        hasLine_ = true;
    }

    void addLine(const std::string& text) override {
        QTextCursor cursor(edit_.document());
        cursor.movePosition(QTextCursor::End);
        // An empty document already shows one empty paragraph: the first line goes there.
        if (hasLine_)
            cursor.insertBlock();
        hasLine_ = true;
        current_ = text;
        cursor.insertText(decoded(current_));
    }

private:
    static QString decoded(const std::string& bytes) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }

    QPlainTextEdit& edit_;
    std::string current_;
    bool hasLine_ = false;
};

} // namespace

TFormLogWindow::TFormLogWindow(UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(new Ui::TFormLogWindow), prompts_(prompts) {
    ui_->setupUi(this);
    lines_ = std::make_unique<PlainTextLines>(*ui_->LogDisplay);
    logArray_ = std::make_unique<char[]>(logArraySize);
    buffer = std::make_unique<Talvessa::MemoLogBuffer>(*lines_);
    buffer->pubsetbuf(logArray_.get(), logArraySize);
    Talvessa::setLogStream(buffer.get());
    connect(ui_->btnSave, &QAbstractButton::clicked, this, &TFormLogWindow::btnSaveClick);
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
    QString chosen = prompts_.askSaveFileName(QStringLiteral("Save As"), QDir::homePath(),
                                              QStringLiteral("default.log.rtf"),
                                              QStringLiteral("RichTextFiles|*.rtf"));
    if (chosen.isEmpty())
        return;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".rtf");
    // An exception must not leave a slot: the failure is shown like any other.
    try {
        TextFile::replace(chosen, RtfText::write(ui_->LogDisplay->toPlainText()));
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromStdString(e.what()));
    }
}
