// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class UserPrompts;

namespace Ui {
class TformProfileManager;
}

// Lists the profiles of the store and lets the user make, copy, rename and delete them and
// choose the one to use. Works on the store only; it never opens a profile.
class TformProfileManager : public QDialog {
    Q_OBJECT

public:
    explicit TformProfileManager(UserPrompts& prompts, QWidget* parent = nullptr);
    ~TformProfileManager() override;

    // For the start-up when "Default" cannot be opened: shows the dialog modally and returns
    // the profile chosen with "Use Profile", or nothing when the window was closed otherwise.
    std::optional<QString> chooseProfile();

    // The available profile last selected or created; kept between showings.
    QString selectedProfile() const { return selected_; }

    enum class NameProblem { None, Empty, ForbiddenCharacter, Reserved, Duplicate };
    // The name check without messages.
    NameProblem checkName(const QString& name) const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void ProfileListSelectCell(int column, int row);
    void btnUseClick();
    void btnNewClick();
    void btnCopyClick();
    void btnRenameClick();
    void btnDeleteClick();

    bool checkNameWithMessages(const QString& name);
    std::optional<QString> askProfileName(const QString& proposal);
    void fillList(const QStringList& preferred);
    void appendRow(const QString& name, bool available);
    void selectRow(int row);
    QString rowName(int row) const;
    // Runs a store operation; a failure is shown and the list rebuilt from the store, where
    // one of the preferred names is selected again if it is there.
    bool storeOperation(const std::function<void()>& operation, const QStringList& preferred);

    std::unique_ptr<Ui::TformProfileManager> ui_;
    UserPrompts& prompts_;
    QString selected_;
};
