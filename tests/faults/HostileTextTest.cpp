// SPDX-License-Identifier: GPL-3.0-or-later
// Texts a user (or a file from elsewhere) may hand the program: quotes, tabs, line breaks,
// path separators, very long and non-ASCII texts. Each must be stored and read back exactly,
// or be refused with a message; none may reach into a profile, the table or an export.
#include "../workstation/EngineFixture.h"
#include "WorkbookSheet.h"
#include "workstation/MeasurementFiles.h"
#include "workstation/RecordRowReader.h"
#include "workstation/RtfText.h"
#include "workstation/TableExport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <set>

namespace {

enum class Outcome { Kept, Refused };
constexpr Outcome Kept = Outcome::Kept;
constexpr Outcome Refused = Outcome::Refused;

struct HostileText {
    const char* name;
    std::string text; // UTF-8
    Outcome asProfileValue;
    Outcome asProfileName;
    Outcome asFileName;
};

std::string tenThousandCharacters() {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "Ab3\"' \\;=ü"; // ten characters, one of them two bytes long
    return text;
}

const std::vector<HostileText>& hostileTexts() {
    static const std::vector<HostileText> texts = {
        {"quotes", "say \"hello\" and \"\"", Kept, Kept, Kept},
        {"apostrophes", "O'Brien's 'culture'", Kept, Kept, Kept},
        {"tabs", "a\tb\tc", Kept, Kept, Kept},
        {"line breaks", "first\n[Ports]\r\nCom1=COM9", Refused, Kept, Kept},
        {"path separators", "../up/..\\x/y", Kept, Refused, Kept},
        {"dot dot", "..", Kept, Refused, Kept},
        {"ten thousand characters", tenThousandCharacters(), Refused, Refused, Refused},
        {"non-ASCII", "Zelldichte µl ÄÖÜß 日本語 😀", Kept, Kept, Kept},
        {"SQL", "x'); DROP TABLE Record1; --", Kept, Kept, Kept},
        {"INI on one line", "[Generell] locked=0 ; # x=y", Kept, Kept, Kept},
        {"RTF", "{\\rtf1 \\par} \\'e9 }{", Kept, Kept, Kept},
        {"blanks around", "  padded\t", Refused, Kept, Kept},
        {"control characters", "bell\a esc\x1b soh\x01", Kept, Kept, Kept},
        {"spreadsheet escapes", "_x0041_ _x000D_ _x_", Kept, Kept, Kept},
    };
    return texts;
}

QString qtext(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Every file and directory below a root, as relative paths.
std::set<QString> treeOf(const QString& root) {
    std::set<QString> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.insert(QDir(root).relativeFilePath(it.next()));
    return entries;
}

// The cells of one data line of a text export. The viewer variant writes " value \t", the file
// menu variant "\"value\"\t" with a quote inside the value doubled.
std::vector<QString> exportedCells(const QString& line, AsciiVariant variant) {
    std::vector<QString> cells;
    int i = 0;
    while (i < line.size()) {
        QString cell;
        if (variant == AsciiVariant::Viewer) {
            const int tab = line.indexOf('\t', i);
            if (tab < 0)
                return {}; // no tab after the last cell
            const QString raw = line.mid(i, tab - i);
            if (raw.size() < 2 || !raw.startsWith(' ') || !raw.endsWith(' '))
                return {};
            cell = raw.mid(1, raw.size() - 2);
            i = tab + 1;
        } else {
            if (line.at(i) != '"')
                return {};
            ++i;
            for (;;) {
                if (i >= line.size())
                    return {};
                if (line.at(i) == '"') {
                    if (i + 1 < line.size() && line.at(i + 1) == '"') {
                        cell += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += line.at(i++);
            }
            if (i >= line.size() || line.at(i) != '\t')
                return {};
            ++i;
        }
        cells.push_back(cell);
    }
    return cells;
}

// How a stored text appears in a text export cell: a cell holds no tab and no line end.
QString exportedForm(QString text) {
    for (QChar& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// A cell's text as a spreadsheet shows it: the workbook writes control characters as _xHHHH_.
QString cellText(const WorkbookSheet::Cell& cell) {
    static const QRegularExpression escaped(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString text;
    int done = 0;
    for (auto it = escaped.globalMatch(cell.text); it.hasNext();) {
        const auto match = it.next();
        text += cell.text.mid(done, match.capturedStart() - done);
        text += QChar(match.captured(1).toUShort(nullptr, 16));
        done = match.capturedEnd();
    }
    return text + cell.text.mid(done);
}

// The protocol is made of paragraphs: a line break in an entry reads back as a line feed.
QString lineFeeds(QString text) {
    return text.replace("\r\n", "\n");
}

struct HostileTexts : EngineFixture {
    QString files() const { return QString::fromStdString(temp_.path("files")); }
};

} // namespace

// A title and a note through the engine into the table, the protocol and both exports.
TEST_F(HostileTexts, TitlesAndNotesAreStoredExactlyAndKeepEveryExportInShape) {
    for (const HostileText& hostile : hostileTexts()) {
        SCOPED_TRACE(hostile.name);
        const QString text = qtext(hostile.text);
        engine_->changeTitle(text);
        ASSERT_TRUE(engine_->start());
        takeSamples(2);
        ASSERT_TRUE(engine_->attachNote(text, 0.0));
        engine_->end();

        // The table: each column keeps the text as far as it is wide.
        const QString tableFile = engine_->table().fileName();
        const auto rows = RecordTable::openFile(tableFile, true)->allRows();
        ASSERT_EQ(rows.size(), 2u);
        const QString title = limitedText(text, RecordTable::titleLength);
        const QString note = limitedText("[1] " + text, RecordTable::noteLength);
        EXPECT_EQ(rows[0].title, title);
        EXPECT_EQ(rows[1].title, title);
        EXPECT_EQ((rows[0].note == note) + (rows[1].note == note), 1) << "one row has the note";
        EXPECT_EQ(rows[0].note.isEmpty() + rows[1].note.isEmpty(), 1);
        EXPECT_EQ(rows[1].number, 1);

        // The protocol file keeps the whole text; its paragraphs end in a line feed.
        const QString protocolFile = files() + "/protocol.log";
        QDir().mkpath(files());
        engine_->protocol().saveRtf(protocolFile);
        const QString protocol = RtfText::read(
            QByteArray::fromStdString(TempDirectory::readFile(protocolFile.toStdString())));
        EXPECT_TRUE(protocol.contains(lineFeeds("note added: " + text))) << protocol.toStdString();

        // Text exports: a header and one line per row, twelve cells each.
        for (const AsciiVariant variant : {AsciiVariant::Viewer, AsciiVariant::FileMenu}) {
            const QString target = files() + "/export.dat";
            QDir().mkpath(files());
            exportTableAscii(tableFile, target, variant);
            const QString exported =
                QString::fromStdString(TempDirectory::readFile(target.toStdString()));
            ASSERT_TRUE(exported.endsWith("\r\n"));
            const QStringList lines = exported.chopped(2).split("\r\n");
            ASSERT_EQ(lines.size(), 3) << exported.toStdString();
            for (int i = 1; i < 3; ++i) {
                const auto cells = exportedCells(lines[i], variant);
                ASSERT_EQ(cells.size(), 12u) << lines[i].toStdString();
                EXPECT_EQ(cells[6], exportedForm(title));
                EXPECT_EQ(cells[7], exportedForm(rows[i - 1].note));
            }
        }

        // The workbook holds the texts exactly.
        const QString workbook = files() + "/export.xlsx";
        exportTableExcel(tableFile, workbook);
        auto grid = WorkbookSheet::cells(workbook);
        ASSERT_EQ(grid.size(), 3u);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(cellText(grid[i + 2][6]), title);
            EXPECT_EQ(cellText(grid[i + 2][7]), rows[i].note); // an empty one is left out
        }
    }
}

// Measurement sets and exports under names with every kind of character.
TEST_F(HostileTexts, FileNamesAreTakenAsGivenOrRefusedWithAMessage) {
    engine_->changeTitle("run");
    ASSERT_TRUE(engine_->start());
    takeSamples(2);
    for (const HostileText& hostile : hostileTexts()) {
        SCOPED_TRACE(hostile.name);
        const QString base = files() + "/" + qtext(hostile.text);
        QDir().mkpath(files());
        prompts_.messages.clear();
        prompts_.chosenFile = base + ".nph";
        const bool saved = engine_->saveAs();
        const FileSet set = FileSet::fromChosenName(base);
        if (hostile.asFileName == Refused) {
            EXPECT_FALSE(saved);
            ASSERT_EQ(prompts_.messages.size(), 1);
            EXPECT_TRUE(prompts_.messages[0].contains(base.left(base.size() - 9000)))
                << "the message names the file: " << prompts_.messages[0].left(300).toStdString();
            const QString table = engine_->table().fileName();
            for (const auto& exportTo : std::vector<std::function<void()>>{
                     [&] { exportTableAscii(table, base + ".dat", AsciiVariant::Viewer); },
                     [&] { exportTableExcel(table, base + ".xlsx"); }}) {
                std::string refusal = "no refusal";
                try {
                    exportTo();
                } catch (const std::runtime_error& e) {
                    refusal = e.what();
                }
                EXPECT_NE(refusal.find("too long"), std::string::npos) << refusal;
            }
            continue;
        }
        EXPECT_TRUE(saved) << prompts_.messages.join("|").toStdString();
        for (const QString& member : {set.nph, set.log, set.txt})
            EXPECT_TRUE(QFileInfo(member).isFile()) << member.toStdString();
        EXPECT_EQ(RecordTable::openFile(set.nph, true)->rowCount(), 2);

        exportTableAscii(set.nph, set.dat, AsciiVariant::FileMenu);
        exportTableExcel(set.nph, base + ".xlsx");
        EXPECT_GT(QFileInfo(set.dat).size(), 0);
        EXPECT_EQ(WorkbookSheet::cells(base + ".xlsx").size(), 3u);
    }
    // Nothing was written outside the directory the names point into.
    for (const QString& entry : treeOf(QString::fromStdString(temp_.path())))
        EXPECT_TRUE(entry.startsWith("files/") || entry.startsWith("up/") ||
                    entry.startsWith("program") || entry.startsWith("config") || entry == "files" ||
                    entry == "up")
            << entry.toStdString();

    // A title is free text; the name proposed from it stays one name in the chosen directory.
    const QString proposal = MeasurementFiles::defaultSaveAsName(
        "../up/..\\x/y", QDateTime(QDate(2007, 12, 8), QTime(9, 5, 3)));
    EXPECT_FALSE(proposal.contains('/')) << proposal.toStdString();
    EXPECT_TRUE(proposal.endsWith("_8_12_2007_09.05.03.nph")) << proposal.toStdString();
}

// A profile value (the user name here) in a file that is read afresh: the exact text, or a
// refusal that leaves the profile as it was.
TEST_F(HostileTexts, ProfileValuesReadBackExactlyAndNeverAddKeys) {
    auto& profile = IniFile::getIniFile();
    const std::string path = profile.getFileName();
    profile.writeString("Ports", "Com1", "/dev/ttyS0");
    profile.writeBool("Generell", "locked", true);
    const auto keysBefore = IniFile::ProfileFile(path).keysOf("Generell");
    for (const HostileText& hostile : hostileTexts()) {
        SCOPED_TRACE(hostile.name);
        profile.writeString("Options", "User", "someone");
        std::string refusal;
        try {
            profile.writeString("Options", "User", hostile.text);
        } catch (const std::runtime_error& e) {
            refusal = e.what();
        }
        const IniFile::ProfileFile reread(path);
        if (hostile.asProfileValue == Kept) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(reread.readString("Options", "User", "absent"), hostile.text);
            EXPECT_EQ(profile.readString("Options", "User", "absent"), hostile.text);
        } else {
            EXPECT_NE(refusal.find("'User'"), std::string::npos) << refusal;
            EXPECT_EQ(reread.readString("Options", "User", "absent"), "someone");
            EXPECT_EQ(profile.readString("Options", "User", "absent"), "someone");
        }
        EXPECT_EQ(reread.keysOf("Ports"), std::vector<std::string>{"Com1"});
        EXPECT_EQ(reread.readString("Ports", "Com1", ""), "/dev/ttyS0");
        EXPECT_EQ(reread.keysOf("Generell"), keysBefore);
        EXPECT_EQ(reread.readString("Generell", "locked", ""), "1");
    }
}

// A long value someone put into the file by hand is cut to the readable length, never in the
// middle of a character.
TEST_F(HostileTexts, OverlongValueWrittenByHandIsCutOnACharacterBoundary) {
    const std::string path = IniFile::getIniFile().getFileName();
    std::string value;
    for (int i = 0; i < 1500; ++i)
        value += "é"; // 3000 bytes
    TempDirectory::writeFile(path, "[Options]\nUser=ab" + value + "\n");
    const std::string read = IniFile::ProfileFile(path).readString("Options", "User", "");
    EXPECT_EQ(read, "ab" + value.substr(0, 2044)) << "2047 bytes would end in half a character";
    EXPECT_TRUE(QString::fromStdString(read).toStdString() == read) << "valid UTF-8";
}

// Profiles are a file and a directory in the store: a name that would leave the store is
// refused, every other name works through the whole life of a profile.
TEST_F(HostileTexts, ProfileNamesStayInsideTheStore) {
    const QString root = QString::fromStdString(temp_.path());
    for (const HostileText& hostile : hostileTexts()) {
        SCOPED_TRACE(hostile.name);
        const std::string& name = hostile.text;
        openDefault();
        const auto before = treeOf(root);
        if (hostile.asProfileName == Refused) {
            // Creating is refused with a message; deleting finds nothing to delete.
            for (const auto& operation : std::vector<std::function<void()>>{
                     [&] { IniFile::openProfile(name, "Nephodar", "Talvessa"); },
                     [&] { IniFile::copyProfile("Default", name); },
                     [&] { IniFile::renameProfile("Default", name); }}) {
                std::string refusal;
                try {
                    operation();
                } catch (const std::runtime_error& e) {
                    refusal = e.what();
                }
                EXPECT_FALSE(refusal.empty());
            }
            for (const auto& operation : std::vector<std::function<void()>>{
                     [&] { IniFile::deleteProfile(name); },
                     [&] { IniFile::deleteProfileWithContent(name); }}) {
                try {
                    operation();
                } catch (const std::runtime_error&) {
                }
            }
            EXPECT_EQ(treeOf(root), before) << "nothing changed on disk";
            continue;
        }
        IniFile::openProfile(name, "Nephodar", "Talvessa");
        IniFile::getIniFile().writeString("Options", "User", "someone");
        EXPECT_EQ(IniFile::getIniFile().getFileName(),
                  IniFile::storeDirectory + "/" + name + ".ini");
        IniFile::copyProfile(name, "Copy");
        openDefault();
        bool listed = false;
        for (const auto& profile : IniFile::listProfiles())
            listed = listed || profile.name == name;
        EXPECT_TRUE(listed);
        IniFile::openProfile("Copy", "Nephodar", "Talvessa");
        EXPECT_EQ(IniFile::getIniFile().readString("Options", "User", ""), "someone");
        openDefault();
        IniFile::deleteProfileWithContent("Copy");
        IniFile::deleteProfileWithContent(name);
        EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(store() + "/Default.ini")));
        for (const QString& entry : treeOf(root))
            EXPECT_TRUE(entry.startsWith("config") || entry.startsWith("program"))
                << entry.toStdString();
    }
}
