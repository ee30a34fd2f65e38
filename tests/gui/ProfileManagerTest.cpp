// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFakes.h"
#include "ProfileStoreFixture.h"
#include "TformProfileManager.h"
#include "settings/IniFile.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <deque>

namespace fs = std::filesystem;

namespace {

// Answers the input box and the Yes/No questions one after the other; once the script runs
// out it cancels and says No, so a wrong script cannot loop.
class QueuedPrompts : public ScriptedPrompts {
public:
    std::optional<QString> askText(const QString& title, const QString& prompt,
                                   const QString& initial) override {
        textQuestions << title + "|" + prompt + "|" + initial;
        if (texts.empty())
            return std::nullopt;
        const auto answer = texts.front();
        texts.pop_front();
        return answer;
    }
    bool askYesNo(const QString& question) override {
        questions << question;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString offered(int question) const { return textQuestions.value(question).section('|', 2); }

    std::deque<std::optional<QString>> texts;
    std::deque<bool> answers;
};

const QString characterMessage =
    "The profile name can't contain the followin characters:\n\\/:*?\"<>|";

class ProfileManager : public ProfileStoreFixture {
protected:
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
    }

    std::string file(const std::string& relative) const { return store() + "/" + relative; }
    // A profile on disk with a file in its content directory.
    void makeProfile(const std::string& name,
                     const std::string& content = "[Generell]\nlocked=0\n") {
        TempDirectory::writeFile(file(name + ".ini"), content);
        TempDirectory::writeFile(file(name + "/notes.txt"), "kept with " + name);
    }

    QTableWidget* list() { return dialog_.findChild<QTableWidget*>("ProfileList"); }
    QPushButton* button(const char* name) {
        QPushButton* found = dialog_.findChild<QPushButton*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // "name|status" of every row, in the list's order.
    QStringList rows() {
        QStringList result;
        for (int row = 0; row < list()->rowCount(); ++row)
            result << list()->item(row, 0)->text() + "|" + list()->item(row, 1)->text();
        return result;
    }
    QStringList sortedRows() {
        QStringList result = rows();
        result.sort();
        return result;
    }
    QString currentName() { return list()->item(list()->currentRow(), 0)->text(); }
    void select(const QString& name) {
        const auto found = list()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        list()->setCurrentCell(found[0]->row(), 1);
    }

    QueuedPrompts prompts_;
    TformProfileManager dialog_{prompts_};
};

} // namespace

TEST_F(ProfileManager, AStoreWithOnlyDefault) {
    dialog_.show();

    EXPECT_EQ(dialog_.windowTitle(), "Profile Selection");
    EXPECT_EQ(rows(), QStringList{"Default|available"});
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_EQ(dialog_.selectedProfile(), "Default");
    EXPECT_TRUE(button("btnUse")->isEnabled());
    EXPECT_TRUE(button("btnDelete")->isEnabled());
    EXPECT_TRUE(button("btnUse")->isDefault());
    EXPECT_TRUE(button("btnUse")->font().bold());

    button("btnDelete")->click();
    EXPECT_EQ(prompts_.informations,
              QStringList{"Profile Selection|You can't delete the 'Default' profile!"});
    EXPECT_TRUE(prompts_.questions.isEmpty());
    EXPECT_TRUE(fs::exists(file("Default.ini")));

    button("btnUse")->click();
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
}

TEST_F(ProfileManager, TheListIsSortedByName) {
    for (const char* name : {"zeta", "Assay", "beta"})
        makeProfile(name);
    dialog_.show();
    EXPECT_EQ(rows(), QStringList({"Assay|available", "beta|available", "Default|available",
                                   "zeta|available"}));
}

TEST_F(ProfileManager, ProfilesInUseCannotBeUsedDeletedOrRenamed) {
    TempDirectory::writeFile(file("Default.ini"), "[Generell]\nlocked=1\n");
    TempDirectory::writeFile(file("Imported.ini"), "[Options]\nUser=Old\n"); // no "locked"
    dialog_.show();

    EXPECT_EQ(sortedRows(), QStringList({"Default|in use", "Imported|in use"}));
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_FALSE(button("btnUse")->isEnabled());
    EXPECT_FALSE(button("btnDelete")->isEnabled());
    EXPECT_FALSE(button("btnRename")->isEnabled());
    EXPECT_TRUE(button("btnCopy")->isEnabled());
    EXPECT_TRUE(dialog_.selectedProfile().isEmpty());

    // A new profile is the way out; it exists only in the list until it is opened.
    prompts_.texts = {QString("Fresh")};
    button("btnNew")->click();
    EXPECT_EQ(rows().last(), "Fresh|available");
    EXPECT_EQ(currentName(), "Fresh");
    EXPECT_EQ(dialog_.selectedProfile(), "Fresh");
    EXPECT_TRUE(button("btnUse")->isEnabled());
    EXPECT_FALSE(fs::exists(file("Fresh.ini")));

    select("Imported"); // selecting a profile in use keeps the choice, but Use is off
    EXPECT_FALSE(button("btnUse")->isEnabled());
    EXPECT_EQ(dialog_.selectedProfile(), "Fresh");
}

TEST_F(ProfileManager, TheNameCheck) {
    dialog_.show();
    for (const QChar c : QString("\\/:*?\"<>|"))
        EXPECT_EQ(dialog_.checkName(QString("a") + c + "b"),
                  TformProfileManager::NameProblem::ForbiddenCharacter)
            << QString(c).toStdString();
    EXPECT_EQ(dialog_.checkName(""), TformProfileManager::NameProblem::Empty);
    EXPECT_EQ(dialog_.checkName("Default"), TformProfileManager::NameProblem::Duplicate);
    EXPECT_EQ(dialog_.checkName("default"), TformProfileManager::NameProblem::None);
    EXPECT_EQ(dialog_.checkName("Run 7 (pH 5.5)"), TformProfileManager::NameProblem::None);
    // Their content directory would be the store itself or the folder above it.
    EXPECT_EQ(dialog_.checkName("."), TformProfileManager::NameProblem::Reserved);
    EXPECT_EQ(dialog_.checkName(".."), TformProfileManager::NameProblem::Reserved);
}

TEST_F(ProfileManager, AnInvalidNameIsReportedAndAskedAgain) {
    struct Case {
        QString entered, message, offeredAgain;
    };
    const Case cases[] = {
        {"a/b", characterMessage, "a/b"},
        {"", "The profile name can't be empty!", "new Profile"},
        {"Default", "A profile named 'Default' already exists!", "Default"},
        {"..", "The profile name can't be '.' or '..'!", ".."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entered.toStdString());
        QueuedPrompts answers;
        TformProfileManager manager(answers);
        manager.show();
        answers.texts = {c.entered, std::nullopt};

        manager.findChild<QPushButton*>("btnNew")->click();

        EXPECT_EQ(answers.textQuestions.value(0),
                  "Enter Profile Name|Please enter the name for the profile:|new Profile");
        EXPECT_EQ(answers.messages, QStringList{c.message});
        EXPECT_EQ(answers.offered(1), c.offeredAgain);
        EXPECT_EQ(manager.findChild<QTableWidget*>("ProfileList")->rowCount(), 1);
    }
}

TEST_F(ProfileManager, NewTwiceWithTheProposalRefusesTheDuplicate) {
    dialog_.show();
    prompts_.texts = {QString("new Profile")};
    button("btnNew")->click();
    prompts_.texts = {QString("new Profile"), QString("new Profile 2")};
    button("btnNew")->click();

    EXPECT_EQ(prompts_.messages, QStringList{"A profile named 'new Profile' already exists!"});
    EXPECT_EQ(prompts_.errors, prompts_.messages) << "shown with the error icon";
    EXPECT_EQ(prompts_.offered(2), "new Profile");
    EXPECT_EQ(rows(), QStringList({"Default|available", "new Profile|available",
                                   "new Profile 2|available"}));
    EXPECT_EQ(dialog_.selectedProfile(), "new Profile 2");

    prompts_.texts = {std::nullopt}; // Cancel adds nothing
    button("btnNew")->click();
    EXPECT_EQ(list()->rowCount(), 3);
}

TEST_F(ProfileManager, CopyProposesTheNextFreeNameAndCopiesFileAndContent) {
    TempDirectory::writeFile(file("Default/notes.txt"), "default notes");
    TempDirectory::writeFile(file("Default/runs/r1.nph"), "run one");
    makeProfile("Copy1 of Default");
    dialog_.show();
    select("Default");

    prompts_.texts = {QString("Copy2 of Default")};
    button("btnCopy")->click();

    EXPECT_EQ(prompts_.offered(0), "Copy2 of Default");
    EXPECT_EQ(rows().last(), "Copy2 of Default|available");
    EXPECT_EQ(currentName(), "Copy2 of Default");
    EXPECT_EQ(dialog_.selectedProfile(), "Copy2 of Default");
    EXPECT_EQ(TempDirectory::readFile(file("Copy2 of Default.ini")),
              TempDirectory::readFile(file("Default.ini")));
    EXPECT_EQ(TempDirectory::readFile(file("Copy2 of Default/notes.txt")), "default notes");
    EXPECT_EQ(TempDirectory::readFile(file("Copy2 of Default/runs/r1.nph")), "run one");
    EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(ProfileManager, RenameMovesFileAndContent) {
    makeProfile("Trial");
    dialog_.show();
    select("Trial");

    prompts_.texts = {QString("Trial"), QString("Assay")}; // the old name is taken
    button("btnRename")->click();

    EXPECT_EQ(prompts_.offered(0), "Trial");
    EXPECT_EQ(prompts_.messages, QStringList{"A profile named 'Trial' already exists!"});
    EXPECT_EQ(sortedRows(), QStringList({"Assay|available", "Default|available"}));
    EXPECT_EQ(currentName(), "Assay");
    EXPECT_EQ(dialog_.selectedProfile(), "Assay");
    EXPECT_FALSE(fs::exists(file("Trial.ini")));
    EXPECT_FALSE(fs::exists(file("Trial")));
    EXPECT_TRUE(fs::exists(file("Assay.ini")));
    EXPECT_EQ(TempDirectory::readFile(file("Assay/notes.txt")), "kept with Trial");
}

TEST_F(ProfileManager, DeleteAsksTwiceAndKeepsOrRemovesTheData) {
    struct Case {
        const char* name;
        std::deque<bool> answers;
        bool listed, file, content, keptAsX;
    };
    const Case cases[] = {
        {"not sure", {false}, true, true, true, false},
        {"keep data", {true, false}, false, false, false, true},
        {"with content", {true, true}, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file("Trial.ini.x"));
        fs::remove_all(file("Trial.x"));
        makeProfile("Trial");
        QueuedPrompts answers;
        TformProfileManager manager(answers);
        manager.show();
        auto* table = manager.findChild<QTableWidget*>("ProfileList");
        table->setCurrentCell(table->findItems("Trial", Qt::MatchExactly).at(0)->row(), 0);
        answers.answers = c.answers;

        manager.findChild<QPushButton*>("btnDelete")->click();

        QStringList expectedQuestions{"Are you sure to delete the profile 'Trial'?"};
        if (c.answers.front())
            expectedQuestions << "Also delete profile content from disk?";
        EXPECT_EQ(answers.questions, expectedQuestions);
        EXPECT_EQ(answers.defaultNo, expectedQuestions) << "Enter answers No";
        EXPECT_EQ(table->findItems("Trial", Qt::MatchExactly).size(), c.listed ? 1 : 0);
        EXPECT_EQ(fs::exists(file("Trial.ini")), c.file);
        EXPECT_EQ(fs::exists(file("Trial/notes.txt")), c.content);
        EXPECT_EQ(fs::exists(file("Trial.ini.x")), c.keptAsX);
        EXPECT_EQ(fs::exists(file("Trial.x/notes.txt")), c.keptAsX);
        EXPECT_TRUE(answers.messages.isEmpty());
        // The row current afterwards is the choice now.
        EXPECT_EQ(manager.selectedProfile(), table->item(table->currentRow(), 0)->text());
    }
}

TEST_F(ProfileManager, AFailedStoreOperationIsShownAndTheListReread) {
    // Deleting while keeping the data needs the name Trial.ini.x, taken by an earlier deletion.
    makeProfile("Trial");
    TempDirectory::writeFile(file("Trial.ini.x"), "deleted before");
    // Renaming moves the file first; the content directory cannot follow onto an existing one.
    makeProfile("Other");
    fs::create_directories(file("Moved"));
    dialog_.show();

    select("Trial");
    prompts_.answers = {true, false};
    button("btnDelete")->click();
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith(
        QString::fromStdString("Can't rename file '" + file("Trial.ini") + "'! System reported: ")))
        << prompts_.messages[0].toStdString();
    EXPECT_EQ(sortedRows(),
              QStringList({"Default|available", "Other|available", "Trial|available"}));
    EXPECT_EQ(currentName(), "Trial");
    EXPECT_EQ(TempDirectory::readFile(file("Trial.ini.x")), "deleted before");

    select("Other");
    prompts_.texts = {QString("Moved")};
    button("btnRename")->click();
    ASSERT_EQ(prompts_.messages.size(), 2);
    EXPECT_TRUE(prompts_.messages[1].startsWith(QString::fromStdString(
        "Can't rename directory '" + file("Other") + "' to '" + file("Moved") + "'! ")))
        << prompts_.messages[1].toStdString();
    // The list shows what the store holds now: the file was renamed before the failure.
    EXPECT_EQ(sortedRows(),
              QStringList({"Default|available", "Moved|available", "Trial|available"}));
    EXPECT_EQ(currentName(), "Moved");
    EXPECT_EQ(dialog_.selectedProfile(), "Moved");
}

TEST_F(ProfileManager, ModalChoiceForTheStartUp) {
    makeProfile("Trial");
    TformProfileManager manager(prompts_);
    QTimer::singleShot(0, &manager, [&] {
        QTest::keyClick(&manager, Qt::Key_Escape); // no way out but a choice
        EXPECT_TRUE(manager.isVisible());
        auto* table = manager.findChild<QTableWidget*>("ProfileList");
        table->setCurrentCell(table->findItems("Trial", Qt::MatchExactly).at(0)->row(), 0);
        manager.findChild<QPushButton*>("btnUse")->click();
    });
    EXPECT_EQ(manager.chooseProfile(), std::optional<QString>("Trial"));
    EXPECT_FALSE(manager.isVisible());

    // Shown again, the list is read again from the store; the choice is kept meanwhile.
    makeProfile("Later");
    QTimer::singleShot(0, &manager, [&] {
        auto* table = manager.findChild<QTableWidget*>("ProfileList");
        EXPECT_EQ(table->rowCount(), 3);
        EXPECT_EQ(table->currentRow(), 0); // all available: the first row
        EXPECT_EQ(manager.selectedProfile(), table->item(0, 0)->text());
        manager.close(); // the window system's close: no choice
    });
    EXPECT_EQ(manager.chooseProfile(), std::nullopt);
}

TEST_F(ProfileManager, NothingIsDoneWithoutAStore) {
    IniFile::storeDirectory.clear();
    dialog_.show();
    EXPECT_EQ(list()->rowCount(), 0);
    button("btnUse")->click();
    EXPECT_EQ(prompts_.messages, QStringList{"You must select an available profile!"});
    EXPECT_TRUE(dialog_.isVisible());

    prompts_.texts = {QString("tmp")};
    button("btnNew")->click();
    prompts_.answers = {true, true};
    button("btnDelete")->click();
    EXPECT_EQ(prompts_.messages.last(), "The profile store is not known; no profile was changed.");
}
