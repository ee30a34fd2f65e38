// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFakes.h"
#include "TFormLogWindow.h"
#include "TempDirectory.h"
#include "lumo/Logger.h"
#include "workstation/RtfText.h"
#include "workstation/TextFile.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

QPlainTextEdit& display(TFormLogWindow& window) {
    auto* edit = window.findChild<QPlainTextEdit*>(QStringLiteral("LogDisplay"));
    EXPECT_NE(edit, nullptr);
    return *edit;
}

void clickSave(TFormLogWindow& window) {
    auto* button = window.findChild<QPushButton*>(QStringLiteral("btnSave"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Save to File");
    button->click();
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TEST(LogWindow, LinesAppearWhenTheyAreEnded) {
    ScriptedPrompts prompts;
    TFormLogWindow window(prompts);
    QPlainTextEdit& log = display(window);
    EXPECT_EQ(window.windowTitle(), "Log Window");
    EXPECT_TRUE(log.isReadOnly());
    EXPECT_EQ(log.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(log.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(log.focusPolicy() & Qt::TabFocus);

    Talvessa::getLogStream() << "Q7_Base::calibrate\t" << 12 << " / " << 3456.5;
    EXPECT_EQ(log.toPlainText(), "") << "an open line stays invisible";
    Talvessa::getLogStream() << std::endl;
    EXPECT_EQ(log.toPlainText(), "Q7_Base::calibrate\t12 / 3456.5\n");

    // The two bytes of the last character go to the display in two transfers.
    const std::string longLine = std::string(1023, 'x') + "\xC3\xA9";
    Talvessa::getLogStream() << longLine << std::endl;
    EXPECT_EQ(log.document()->blockCount(), 3);
    EXPECT_EQ(log.document()->findBlockByNumber(1).text(), qs(longLine));
}

TEST(LogWindow, SavesTheWholeLogAsRichText) {
    TempDirectory directory;
    ScriptedPrompts prompts;
    TFormLogWindow window(prompts);
    Talvessa::getLogStream() << "first" << std::endl << "second\t{2}\\" << std::endl;

    TempDirectory::writeFile(directory.path("old.rtf"), "old content");
    prompts.chosenFile = qs(directory.path("old.rtf"));
    clickSave(window);
    EXPECT_EQ(prompts.saveDialogs, QStringList{"Save As|" + QDir::homePath() + "|default.log.rtf"});
    EXPECT_EQ(prompts.saveFilters, QStringList{"RichTextFiles|*.rtf"});
    const QString saved = RtfText::read(TextFile::read(prompts.chosenFile));
    EXPECT_EQ(saved, "first\nsecond\t{2}\\\n");

    // A name without extension gets the rich-text one.
    prompts.chosenFile = qs(directory.path("named"));
    clickSave(window);
    EXPECT_EQ(RtfText::read(TextFile::read(qs(directory.path("named.rtf")))), saved);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST(LogWindow, CancelledOrFailedSaveWritesNothing) {
    TempDirectory directory;
    ScriptedPrompts prompts;
    TFormLogWindow window(prompts);
    Talvessa::getLogStream() << "kept" << std::endl;

    prompts.chosenFile.clear();
    clickSave(window);
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
    EXPECT_TRUE(prompts.messages.isEmpty());

    prompts.chosenFile = qs(directory.path("missing/log.rtf"));
    clickSave(window);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Can't write the file '" + prompts.chosenFile))
        << prompts.messages[0].toStdString();
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
    EXPECT_EQ(display(window).toPlainText(), "kept\n");
}

TEST(LogWindow, ClosedWindowLeavesNoStreamOverItsBuffer) {
    ScriptedPrompts prompts;
    auto older = std::make_unique<TFormLogWindow>(prompts);
    auto newer = std::make_unique<TFormLogWindow>(prompts);

    older.reset(); // the newer window's stream stays
    Talvessa::getLogStream() << "to the newer" << std::endl;
    EXPECT_EQ(display(*newer).toPlainText(), "to the newer\n");

    newer.reset();
    EXPECT_EQ(Talvessa::getLogStream().rdbuf(), nullptr);
    Talvessa::getLogStream() << "late writer"
                             << std::endl; // dropped, not written into freed memory
}
