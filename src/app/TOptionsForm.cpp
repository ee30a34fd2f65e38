// SPDX-License-Identifier: GPL-3.0-or-later
#include "TOptionsForm.h"

#include "MqttOptions.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "ui_TOptionsForm.h"
#include "workstation/EngineEnvironment.h"
#include "workstation/MeasurementEngine.h"

#include <QKeyEvent>
#include <QLineEdit>
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
    : QDialog(parent), ui_(std::make_unique<Ui::TOptionsForm>()), prompts_(prompts) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui_->CheckBox2->setVisible(false);
    ui_->SpeedButton1->setIcon(checkMarkIcon());
    // The port list's own field is what a screen reader reaches first.
    ui_->ComboBox1->lineEdit()->setAccessibleName(ui_->ComboBox1->accessibleName());
    ui_->Sim0Clock->setRange(1, MeasurementEngine::maximumSim0Rate);
    ui_->Sim0Clock->setValue(MeasurementEngine::defaultSim0Rate);
    mqtt_ = new MqttOptions(*ui_, prompts_, this);

    // toggled, not clicked: checking a button while loading must run the same handler.
    connect(ui_->DERadioButton, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            DERadioButtonClick();
    });
    connect(ui_->GBRadioButton, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            GBRadioButtonClick();
    });
    connect(ui_->SpeedButton1, &QToolButton::clicked, this, &TOptionsForm::SpeedButton1Click);

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
        prompts_.showMessage(QString::fromUtf8(e.what()));
    }
}

QString TOptionsForm::user() const {
    return ui_->Edit1->text();
}
QString TOptionsForm::company() const {
    return ui_->Edit2->text();
}
QString TOptionsForm::ownAutoSaveDirectory() const {
    return ui_->Edit4->text();
}
bool TOptionsForm::useOwnAutoSaveDirectory() const {
    return ui_->CheckBox4->isChecked();
}
QString TOptionsForm::saveAsDirectory() const {
    return ui_->Edit7->text();
}
void TOptionsForm::setAutoSave(bool on) {
    ui_->CheckBox2->setChecked(on);
}

// Enter confirms, as the check mark does; the dialog has no push button to take it.
void TOptionsForm::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        event->accept();
        SpeedButton1Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOptionsForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        if (!centred_) {
            centred_ = true;
            adjustSize();
            if (const QScreen* screen = this->screen())
                move(screen->availableGeometry().center() - rect().center());
        }
    }
    QDialog::showEvent(event);
}

void TOptionsForm::DERadioButtonClick() {
    numberFormat = 0;
    ui_->Label8->setText(QStringLiteral("DE"));
}

void TOptionsForm::GBRadioButtonClick() {
    numberFormat = 1;
    ui_->Label8->setText(QStringLiteral("GB"));
}

void TOptionsForm::loadFields() {
    namespace keys = IniFile::keys;
    if (readText(keys::Country, "GB") == QLatin1String("DE"))
        ui_->DERadioButton->setChecked(true);
    else
        ui_->GBRadioButton->setChecked(true);
    ui_->Edit1->setText(readText(keys::User, "User"));
    ui_->Edit2->setText(readText(keys::Company, "Company"));
    ui_->Edit6->setText(QString::number(readNumber(keys::LedBright, 0)));
    ui_->CheckBox4->setChecked(readNumber(keys::OwnAutoDir, 0) == 1);
    ui_->Edit4->setText(readText(keys::Dir, "Nothing"));
    ui_->CheckBox2->setChecked(readNumber(keys::AutoSave, 0) == 1);
    ui_->CheckBox1->setChecked(readNumber(keys::AutoConnect, 0) == 1);
    const QString port = readText(keys::ComPort, "Com1");
    const int item = ui_->ComboBox1->findText(port, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        ui_->ComboBox1->setCurrentIndex(item);
    else
        ui_->ComboBox1->setEditText(port);
    ui_->Edit7->setText(readText(keys::SaveAsDir, "C:Test"));
    ui_->Sim0Clock->setValue(readNumber(keys::Sim0Clock, MeasurementEngine::defaultSim0Rate));
    mqtt_->load(IniFile::getIniFile());
}

// Every key in its order, all stored or none: a refused field leaves the profile, the
// "first time" flag included, as it was.
void TOptionsForm::storeFields() {
    namespace keys = IniFile::keys;
    if (numberFormat > 1)
        numberFormat = 1;
    std::vector<Entry> entries{
        numberEntry(keys::FirstTime, 0),
        textEntry(keys::User, ui_->Edit1->text()),
        textEntry(keys::Company, ui_->Edit2->text()),
        textEntry(keys::Dir, ui_->Edit4->text()),
        textEntry(keys::LedBright, ui_->Edit6->text()),
        numberEntry(keys::AutoSave, ui_->CheckBox2->isChecked() ? 1 : 0),
        numberEntry(keys::OwnAutoDir, ui_->CheckBox4->isChecked() ? 1 : 0),
        numberEntry(keys::AutoConnect, ui_->CheckBox1->isChecked() ? 1 : 0),
        textEntry(keys::ComPort, ui_->ComboBox1->currentText()),
        textEntry(keys::Country, numberFormat == 0 ? QStringLiteral("DE") : QStringLiteral("GB")),
    };
    // Written only once chosen: a profile without it keeps the default of the program.
    const int sim0Rate = ui_->Sim0Clock->value();
    if (sim0Rate != readNumber(keys::Sim0Clock, MeasurementEngine::defaultSim0Rate))
        entries.push_back(numberEntry(keys::Sim0Clock, sim0Rate));
    const auto mqtt = mqtt_->changedEntries(IniFile::getIniFile());
    entries.insert(entries.end(), mqtt.begin(), mqtt.end());
    IniFile::getIniFile().writeTogether(entries);
}

void TOptionsForm::SpeedButton1Click() {
    try {
        const bool firstTime = readNumber(IniFile::keys::FirstTime, 1) == 1;
        storeFields();
        // Thanked only once everything is stored, never ahead of a failure.
        if (firstTime)
            prompts_.showInformation(
                windowTitle(),
                QStringLiteral(
                    "Thank you.\nNephodar/Brevimo is now ready for use.\nPlease restart."));
    } catch (const std::exception& e) {
        // The dialog stays open, in front, so the entries are not lost: the message box
        // belongs to the main window, which comes up over the dialog with it.
        raise();
        activateWindow();
        prompts_.showError(QString::fromUtf8(e.what()));
        raise();
        activateWindow();
        return;
    }
    accept();
}
