// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorOf.h"
#include "TempDirectory.h"
#include "workstation/Protocol.h"
#include "workstation/RtfText.h"
#include "workstation/Statement.h"

#include <gtest/gtest.h>

TEST(Protocol, StampedAndPlainEntriesNewestFirst) {
    Protocol protocol;
    protocol.addStamped("started measurement", QDateTime(QDate(2007, 12, 8), QTime(9, 5, 59)));
    protocol.addStamped("note added: x", QDateTime(QDate(2007, 12, 8), QTime(9, 5, 1)));
    protocol.addPlain("OD Error at ", 25LL * 3600 * 1000);
    protocol.addPlain("Saved at ", 3 * 60 * 1000 + 12 * 1000 + 500);
    EXPECT_EQ(protocol.getText(), "Saved at 00:03:12\n"
                                  "OD Error at 01:00:00\n"
                                  "8.12.2007 09:05  note added: x\n"
                                  "8.12.2007 09:05  started measurement\n");
    protocol.clear();
    EXPECT_TRUE(protocol.getText().isEmpty());
}

TEST(RtfText, RoundTripKeepsEveryCharacter) {
    const QString texts[] = {
        QString(),
        QStringLiteral("8.12.2007 09:05  started measurement\n"),
        QStringLiteral("braces {x} and \\back\\slashes\\\n\ttab\n\nempty line above\n"),
        QString::fromUtf8("Zellkultur µ ÄÖÜ ß € – 温度 😀 \u00a0end"),
        QStringLiteral("no line end at the end"),
    };
    for (const QString& text : texts) {
        const QByteArray rtf = RtfText::write(text);
        EXPECT_TRUE(rtf.startsWith("{\\rtf1")) << rtf.constData();
        for (const char c : rtf)
            EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "7-bit document";
        EXPECT_EQ(RtfText::read(rtf), text);
    }
}

TEST(RtfText, ReadsWhatOtherProgramsWrite) {
    const struct {
        const char* rtf;
        QString text;
    } cases[] = {
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}"
         "{\\*\\generator Writer;}\\f0 Gr\\'fc\\'dfe \\'80\\par zweite\\line Zeile}",
         QString::fromUtf8("Grüße €\nzweite\nZeile")},
        {"{\\rtf1\\uc2 A\\u8364\\'80\\'80 B\\uc0\\u8364 C}", QString::fromUtf8("A€ B€C")},
        {"{\\rtf1 neg\\u-3998?x}", QStringLiteral("neg") + QChar(0xF062) + QStringLiteral("x")},
        {"{\\rtf1 {\\b bold} plain\\tab tab\\~nb\\{\\}\\\\}",
         QStringLiteral("bold plain\ttab") + QChar(0x00A0) + QStringLiteral("nb{}\\")},
        {"{\\rtf1 unbalanced {group", QStringLiteral("unbalanced group")},
        {"{\\rtf1 trailing backslash\\", QStringLiteral("trailing backslash")},
        {"not rtf at all", QStringLiteral("not rtf at all")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RtfText::read(c.rtf), c.text) << c.rtf;
}

TEST(Protocol, SavedAsRtfReplacingTheFile) {
    TempDirectory temp;
    const QString path = QString::fromStdString(temp.path("Temp.log"));
    TempDirectory::writeFile(path.toStdString(), "old content that is longer than the new");
    Protocol protocol;
    protocol.addPlain(QString::fromUtf8("Saved at ä "), 0);
    protocol.saveRtf(path);
    EXPECT_EQ(RtfText::read(QByteArray::fromStdString(TempDirectory::readFile(path.toStdString()))),
              QString::fromUtf8("Saved at ä 00:00:00\n"));
}

TEST(Statement, TemplateAndFormulaLine) {
    TempDirectory temp;
    const QString program = QString::fromStdString(temp.path());
    const QString path = Statement::templatePath(program + "//");
    EXPECT_EQ(path, program + "/Templates/Template.txt");
    TempDirectory::writeFile(path.toStdString(), "Lab: \r\nOperator:\n");

    Statement statement;
    statement.lines = QStringList{"left over"};
    statement.loadTemplate(path);
    statement.appendLine("Using no OD-formula: CalcOD = OD");
    EXPECT_EQ(statement.lines,
              (QStringList{"Lab: ", "Operator:", "Using no OD-formula: CalcOD = OD"}));

    const QString saved = QString::fromStdString(temp.path("run.txt"));
    statement.save(saved);
    EXPECT_EQ(TempDirectory::readFile(saved.toStdString()),
              "Lab: \r\nOperator:\r\nUsing no OD-formula: CalcOD = OD\r\n");

    const QString missing = program + "/Templates/None.txt";
    EXPECT_EQ(errorOf([&] { statement.loadTemplate(missing); }),
              ("Can't load the template '" + missing + "'.").toStdString());
}

TEST(Statement, TemplateInCodePage1252OrUtf8) {
    TempDirectory temp;
    const QString path = QString::fromStdString(temp.path("Template.txt"));
    const struct {
        const char* what;
        std::string bytes;
        QString line;
    } cases[] = {
        {"UTF-8",
         "Temperature: 37 \xC2\xB0"
         "C, M\xC3\xBCller",
         QString::fromUtf8("Temperature: 37 °C, Müller")},
        {"code page 1252",
         "Temperature: 37 \xB0"
         "C, M\xFCller \x80 \x93x\x94",
         QString::fromUtf8("Temperature: 37 °C, Müller € “x”")},
        // One stray byte makes the whole file single-byte text, never replacement characters.
        {"mostly UTF-8 with one 1252 byte", "\xC3\xBC and \xFC", QString::fromUtf8("Ã¼ and ü")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDirectory::writeFile(path.toStdString(), c.bytes + "\r\n");
        Statement statement;
        statement.loadTemplate(path);
        EXPECT_EQ(statement.lines, QStringList{c.line});
    }
}
