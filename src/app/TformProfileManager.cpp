// SPDX-License-Identifier: GPL-3.0-or-later
#include "TformProfileManager.h"

#include "settings/IniFile.h"
#include "ui_TformProfileManager.h"
#include "workstation/EngineEnvironment.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QShowEvent>
#include <exception>
#include <stdexcept>

namespace {

const QString available = QStringLiteral("available");
const QString inUse = QStringLiteral("in use");
const QString forbiddenCharacters = QStringLiteral("\\/:*?\"<>|");

std::string toStore(const QString& name) {
    return name.toStdString();
}

} // namespace

TformProfileManager::TformProfileManager(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TformProfileManager>()), prompts_(prompts) {
    ui_->setupUi(this);
    // No close box: "Use Profile" is the way out.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui_->ProfileList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    ui_->ProfileList->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    connect(ui_->ProfileList, &QTableWidget::currentCellChanged, this,
            [this](int row, int column) { ProfileListSelectCell(column, row); });
    connect(ui_->btnUse, &QPushButton::clicked, this, &TformProfileManager::btnUseClick);
    connect(ui_->btnNew, &QPushButton::clicked, this, &TformProfileManager::btnNewClick);
    connect(ui_->btnCopy, &QPushButton::clicked, this, &TformProfileManager::btnCopyClick);
    connect(ui_->btnRename, &QPushButton::clicked, this, &TformProfileManager::btnRenameClick);
    connect(ui_->btnDelete, &QPushButton::clicked, this, &TformProfileManager::btnDeleteClick);
}

TformProfileManager::~TformProfileManager() = default;

std::optional<QString> TformProfileManager::chooseProfile() {
    if (exec() == QDialog::Accepted)
        return selected_;
    return std::nullopt;
}

void TformProfileManager::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TformProfileManager::keyPressEvent(QKeyEvent* event) {
    // Escape would end the dialog without a choice; only "Use Profile" does that.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TformProfileManager::FormShow() {
    fillList({});
}

void TformProfileManager::fillList(const QStringList& preferred) {
    ui_->ProfileList->setRowCount(0);
    // By name, as a user looks for one; the store gives them in no particular order.
    auto profiles = IniFile::listProfiles();
    profiles.sort([](const auto& a, const auto& b) {
        return QString::compare(QString::fromStdString(a.name), QString::fromStdString(b.name),
                                Qt::CaseInsensitive) < 0;
    });
    for (const auto& profile : profiles)
        appendRow(QString::fromStdString(profile.name), !profile.locked);

    const int rows = ui_->ProfileList->rowCount();
    int row = -1;
    for (const QString& name : preferred)
        for (int i = 0; row < 0 && i < rows; ++i)
            if (rowName(i) == name && ui_->ProfileList->item(i, 1)->text() == available)
                row = i;
    for (int i = 0; row < 0 && i < rows; ++i)
        if (ui_->ProfileList->item(i, 1)->text() == available)
            row = i;
    selectRow(row < 0 && rows > 0 ? 0 : row);
}

void TformProfileManager::appendRow(const QString& name, bool isAvailable) {
    const int row = ui_->ProfileList->rowCount();
    ui_->ProfileList->insertRow(row);
    ui_->ProfileList->setItem(row, 0, new QTableWidgetItem(name));
    ui_->ProfileList->setItem(row, 1, new QTableWidgetItem(isAvailable ? available : inUse));
}

void TformProfileManager::selectRow(int row) {
    ui_->ProfileList->setCurrentCell(row, 0);
    // Also when the row was current already: the buttons must follow the row's status.
    ProfileListSelectCell(0, row);
}

QString TformProfileManager::rowName(int row) const {
    const QTableWidgetItem* item = ui_->ProfileList->item(row, 0);
    return item ? item->text() : QString();
}

void TformProfileManager::ProfileListSelectCell(int /*column*/, int row) {
    const bool hasRow = row >= 0 && row < ui_->ProfileList->rowCount();
    ui_->btnCopy->setEnabled(hasRow);
    if (!hasRow) {
        // Use stays enabled so it can say that a profile must be chosen first.
        ui_->btnDelete->setEnabled(false);
        ui_->btnRename->setEnabled(false);
        return;
    }
    const bool isAvailable = ui_->ProfileList->item(row, 1)->text() == available;
    ui_->btnUse->setEnabled(isAvailable);
    ui_->btnDelete->setEnabled(isAvailable);
    // A profile in use belongs to someone else; renaming it would pull it from under them.
    ui_->btnRename->setEnabled(isAvailable);
    if (isAvailable)
        selected_ = rowName(row);
}

TformProfileManager::NameProblem TformProfileManager::checkName(const QString& name) const {
    if (name.isEmpty())
        return NameProblem::Empty;
    for (const QChar c : forbiddenCharacters)
        if (name.contains(c))
            return NameProblem::ForbiddenCharacter;
    // "." and ".." as content directory would be the store itself or its parent.
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return NameProblem::Reserved;
    for (int row = 0; row < ui_->ProfileList->rowCount(); ++row)
        if (rowName(row) == name)
            return NameProblem::Duplicate;
    return NameProblem::None;
}

bool TformProfileManager::checkNameWithMessages(const QString& name) {
    switch (checkName(name)) {
    case NameProblem::None:
        return true;
    case NameProblem::Empty:
        prompts_.showError(QStringLiteral("The profile name can't be empty!"));
        break;
    case NameProblem::ForbiddenCharacter:
        prompts_.showError(
            QStringLiteral("The profile name can't contain the followin characters:\n") +
            forbiddenCharacters);
        break;
    case NameProblem::Reserved:
        prompts_.showError(QStringLiteral("The profile name can't be '.' or '..'!"));
        break;
    case NameProblem::Duplicate:
        prompts_.showError(QStringLiteral("A profile named '") + name +
                           QStringLiteral("' already exists!"));
        break;
    }
    return false;
}

std::optional<QString> TformProfileManager::askProfileName(const QString& proposal) {
    QString text = proposal;
    for (;;) {
        std::optional<QString> answer =
            prompts_.askText(QStringLiteral("Enter Profile Name"),
                             QStringLiteral("Please enter the name for the profile:"), text);
        if (!answer)
            return std::nullopt;
        if (checkNameWithMessages(*answer))
            return answer;
        text = answer->isEmpty() ? proposal : *answer;
    }
}

bool TformProfileManager::storeOperation(const std::function<void()>& operation,
                                         const QStringList& preferred) {
    try {
        // Without a store every path would start at the file-system root.
        if (IniFile::storeDirectory.empty())
            throw std::runtime_error("The profile store is not known; no profile was changed.");
        operation();
        return true;
    } catch (const std::exception& e) {
        prompts_.showError(QString::fromUtf8(e.what()));
        fillList(preferred);
        return false;
    }
}

void TformProfileManager::btnUseClick() {
    if (selected_.isEmpty()) {
        prompts_.showError(QStringLiteral("You must select an available profile!"));
        return;
    }
    accept();
}

void TformProfileManager::btnNewClick() {
    const std::optional<QString> name = askProfileName(QStringLiteral("new Profile"));
    if (!name)
        return;
    // Only listed: opening the profile creates its file with the default values.
    appendRow(*name, true);
    selectRow(ui_->ProfileList->rowCount() - 1);
    selected_ = *name;
}

void TformProfileManager::btnCopyClick() {
    const int row = ui_->ProfileList->currentRow();
    if (row < 0)
        return;
    const QString source = rowName(row);
    QString proposal;
    for (int n = 1;; ++n) {
        proposal = QStringLiteral("Copy") + QString::number(n) + QStringLiteral(" of ") + source;
        // Only duplicates are worth counting past; any other flaw the question reports.
        if (checkName(proposal) != NameProblem::Duplicate)
            break;
    }
    const std::optional<QString> name = askProfileName(proposal);
    if (!name)
        return;
    appendRow(*name, true);
    selectRow(ui_->ProfileList->rowCount() - 1);
    if (!storeOperation([&] { IniFile::copyProfile(toStore(source), toStore(*name)); },
                        {*name, source}))
        return;
    selected_ = *name;
}

void TformProfileManager::btnRenameClick() {
    const int row = ui_->ProfileList->currentRow();
    if (row < 0)
        return;
    const QString oldName = selected_;
    const std::optional<QString> newName = askProfileName(oldName);
    if (!newName)
        return;
    ui_->ProfileList->item(row, 0)->setText(*newName);
    if (!storeOperation([&] { IniFile::renameProfile(toStore(oldName), toStore(*newName)); },
                        {*newName, oldName}))
        return;
    selected_ = *newName;
}

void TformProfileManager::btnDeleteClick() {
    if (selected_ == QLatin1String("Default")) {
        prompts_.showInformation(windowTitle(),
                                 QStringLiteral("You can't delete the 'Default' profile!"));
        return;
    }
    if (!prompts_.askYesNoDefaultNo(QStringLiteral("Are you sure to delete the profile '") +
                                    selected_ + QStringLiteral("'?")))
        return;
    const bool withContent =
        prompts_.askYesNoDefaultNo(QStringLiteral("Also delete profile content from disk?"));
    const QString name = selected_;
    if (!storeOperation(
            [&] {
                if (withContent)
                    IniFile::deleteProfileWithContent(toStore(name));
                else
                    IniFile::deleteProfile(toStore(name));
            },
            {name}))
        return;
    // The deleted profile must not stay the choice when no available row follows.
    selected_.clear();
    ui_->ProfileList->removeRow(ui_->ProfileList->currentRow());
    selectRow(ui_->ProfileList->currentRow());
}
