// SPDX-License-Identifier: GPL-3.0-or-later
#include "TOptionsForm.h"

#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "ui_TOptionsForm.h"
#include "workstation/EngineEnvironment.h"

#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QShowEvent>
#include <exception>

namespace {

using IniFile::SettingKey;

QString readText(const SettingKey& key, const char* defaultValue) {
    return QString::fromStdString(
        IniFile::getIniFile().readString(key.section, key.key, defaultValue));
}

std::int32_t readNumber(const SettingKey& key, std::int32_t defaultValue) {
    return IniFile::getIniFile().readInteger(key.section, key.key, defaultValue);
}

using Entry = IniFile::ProfileFile::Entry;

// Free texts lose blanks at their ends, which the profile could not keep anyway.
Entry textEntry(const SettingKey& key, const QString& value) {
    return {key.section, key.key, IniFile::ProfileFile::trimmedText(value.toStdString())};
}

Entry numberEntry(const SettingKey& key, std::int32_t value) {
    return {key.section, key.key, std::to_string(value)};
}

// The confirm button carries only a picture: a green check mark.
QIcon checkMarkIcon() {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 128, 0), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath mark;
    mark.moveTo(6, 17);
    mark.lineTo(13, 25);
    mark.lineTo(26, 7);
    painter.drawPath(mark);
    return QIcon(picture);
}

} // namespace

TOptionsForm::TOptionsForm(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TOptionsForm>()), prompts(prompts) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui->CheckBox2->setVisible(false);
    ui->SpeedButton1->setIcon(checkMarkIcon());

    // toggled, not clicked: checking a button while loading must run the same handler.
    connect(ui->DERadioButton, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            DERadioButtonClick();
    });
    connect(ui->GBRadioButton, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            GBRadioButtonClick();
    });
    connect(ui->SpeedButton1, &QToolButton::clicked, this, &TOptionsForm::SpeedButton1Click);

    // Other windows read the fields before the dialog is ever shown; give them the profile's
    // values as soon as there is a profile.
    if (IniFile::hasIniFile())
        FormShow();
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::FormShow() {
    try {
        loadFields();
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromUtf8(e.what()));
    }
}

QString TOptionsForm::user() const {
    return ui->Edit1->text();
}
QString TOptionsForm::company() const {
    return ui->Edit2->text();
}
QString TOptionsForm::ownAutoSaveDirectory() const {
    return ui->Edit4->text();
}
bool TOptionsForm::useOwnAutoSaveDirectory() const {
    return ui->CheckBox4->isChecked();
}
QString TOptionsForm::saveAsDirectory() const {
    return ui->Edit7->text();
}

void TOptionsForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        if (!centred) {
            centred = true;
            adjustSize();
            if (const QScreen* screen = this->screen())
                move(screen->availableGeometry().center() - rect().center());
        }
    }
    QDialog::showEvent(event);
}

void TOptionsForm::DERadioButtonClick() {
    numberFormat = 0;
    ui->Label8->setText(QStringLiteral("DE"));
}

void TOptionsForm::GBRadioButtonClick() {
    numberFormat = 1;
    ui->Label8->setText(QStringLiteral("GB"));
}

void TOptionsForm::loadFields() {
    namespace keys = IniFile::keys;
    if (readText(keys::Country, "GB") == QLatin1String("DE"))
        ui->DERadioButton->setChecked(true);
    else
        ui->GBRadioButton->setChecked(true);
    ui->Edit1->setText(readText(keys::User, "User"));
    ui->Edit2->setText(readText(keys::Company, "Company"));
    ui->Edit6->setText(QString::number(readNumber(keys::LedBright, 0)));
    ui->CheckBox4->setChecked(readNumber(keys::OwnAutoDir, 0) == 1);
    ui->Edit4->setText(readText(keys::Dir, "Nothing"));
    ui->CheckBox2->setChecked(readNumber(keys::AutoSave, 0) == 1);
    ui->CheckBox1->setChecked(readNumber(keys::AutoConnect, 0) == 1);
    const QString port = readText(keys::ComPort, "Com1");
    const int item = ui->ComboBox1->findText(port, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        ui->ComboBox1->setCurrentIndex(item);
    else
        ui->ComboBox1->setEditText(port);
    ui->Edit7->setText(readText(keys::SaveAsDir, "C:Test"));
}

// Every key in its order, all stored or none: a refused field leaves the profile, the
// "first time" flag included, as it was.
void TOptionsForm::storeFields() {
    namespace keys = IniFile::keys;
    if (numberFormat > 1)
        numberFormat = 1;
    IniFile::getIniFile().writeTogether({
        numberEntry(keys::FirstTime, 0),
        textEntry(keys::User, ui->Edit1->text()),
        textEntry(keys::Company, ui->Edit2->text()),
        textEntry(keys::Dir, ui->Edit4->text()),
        textEntry(keys::LedBright, ui->Edit6->text()),
        numberEntry(keys::AutoSave, ui->CheckBox2->isChecked() ? 1 : 0),
        numberEntry(keys::OwnAutoDir, ui->CheckBox4->isChecked() ? 1 : 0),
        numberEntry(keys::AutoConnect, ui->CheckBox1->isChecked() ? 1 : 0),
        textEntry(keys::ComPort, ui->ComboBox1->currentText()),
        textEntry(keys::Country, numberFormat == 0 ? QStringLiteral("DE") : QStringLiteral("GB")),
    });
}

void TOptionsForm::SpeedButton1Click() {
    try {
        const bool firstTime = readNumber(IniFile::keys::FirstTime, 1) == 1;
        storeFields();
        // Thanked only once everything is stored, never ahead of a failure.
        if (firstTime)
            prompts.showInformation(
                windowTitle(),
                QStringLiteral(
                    "Thank you.\nNephodar/Brevimo is now ready for use.\nPlease restart."));
    } catch (const std::exception& e) {
        // The dialog stays open, in front, so the entries are not lost.
        raise();
        activateWindow();
        prompts.showError(QString::fromUtf8(e.what()));
        return;
    }
    accept();
}
