// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFakes.h"
#include "ProfileStoreFixture.h"
#include "TOptionsForm.h"
#include "publish/BrokerSettings.h"
#include "settings/IniFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

namespace {

const QString thankYou =
    "Settings|Thank you.\nNephodar/Brevimo is now ready for use.\nPlease restart.";

class SettingsDialog : public ProfileStoreFixture {
protected:
    std::string profilePath() const { return store() + "/Default.ini"; }

    // A profile file as it stands before opening, so the test decides every key in it.
    void openDefaultWith(const std::string& content) {
        TempDirectory::writeFile(profilePath(), content);
        openDefault();
    }

    // What is on disk, not what the open profile object remembers.
    std::string stored(const char* section, const char* key) const {
        return IniFile::ProfileFile(profilePath()).readString(section, key, "<absent>");
    }

    template <class T> T* field(const char* name) {
        T* widget = form_.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* name) { return field<QLineEdit>(name)->text(); }
    bool checked(const char* name) { return field<QAbstractButton>(name)->isChecked(); }
    void confirm() { field<QToolButton>("SpeedButton1")->click(); }

    ScriptedPrompts prompts_;
    TOptionsForm form_{prompts_};
};

// The profile's lines without the blank ones between sections.
QStringList lines(const std::string& fileText) {
    return QString::fromStdString(fileText).split('\n', Qt::SkipEmptyParts);
}

} // namespace

TEST_F(SettingsDialog, NewProfileShowsItsValues) {
    openDefault();
    form_.show();

    EXPECT_EQ(form_.windowTitle(), "Settings");
    EXPECT_EQ(text("Edit1"), "User");
    EXPECT_EQ(text("Edit2"), "Company");
    EXPECT_EQ(text("Edit4"), "Nothing");
    EXPECT_EQ(text("Edit6"), "0");
    EXPECT_EQ(text("Edit7"), "C:Test");
    EXPECT_EQ(field<QComboBox>("ComboBox1")->currentText(), "Com1");
    EXPECT_EQ(field<QComboBox>("ComboBox1")->count(), 6);
    EXPECT_TRUE(checked("GBRadioButton"));
    EXPECT_FALSE(checked("DERadioButton"));
    EXPECT_EQ(field<QLabel>("Label8")->text(), "GB");
    EXPECT_FALSE(checked("CheckBox1"));
    EXPECT_FALSE(checked("CheckBox4"));
    EXPECT_FALSE(checked("CheckBox2"));
    EXPECT_TRUE(field<QCheckBox>("CheckBox2")->isHidden());
    EXPECT_FALSE(field<QLineEdit>("Edit6")->isEnabled());
    EXPECT_FALSE(field<QLineEdit>("Edit7")->isEnabled());
    EXPECT_TRUE(field<QToolButton>("SpeedButton1")->text().isEmpty());
    EXPECT_FALSE(field<QToolButton>("SpeedButton1")->icon().isNull());

    EXPECT_EQ(form_.user(), "User");
    EXPECT_EQ(form_.company(), "Company");
    EXPECT_EQ(form_.ownAutoSaveDirectory(), "Nothing");
    EXPECT_FALSE(form_.useOwnAutoSaveDirectory());
    EXPECT_EQ(form_.saveAsDirectory(), "C:Test");
    EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(SettingsDialog, FieldsHoldTheProfileBeforeTheFirstShowing) {
    openDefaultWith("[Options]\nUser=Ann\nCompany=Lab\nDir=/data/own\nOwnAutoDir=1\n"
                    "SaveAsDir=/data/runs\n");
    TOptionsForm early(prompts_);
    EXPECT_EQ(early.user(), "Ann");
    EXPECT_EQ(early.company(), "Lab");
    EXPECT_EQ(early.ownAutoSaveDirectory(), "/data/own");
    EXPECT_TRUE(early.useOwnAutoSaveDirectory());
    EXPECT_EQ(early.saveAsDirectory(), "/data/runs");
}

// Enter in a field confirms, as the check mark does.
TEST_F(SettingsDialog, EnterConfirms) {
    openDefault();
    form_.show();
    field<QLineEdit>("Edit1")->setText("Ann");
    QTest::keyClick(field<QLineEdit>("Edit1"), Qt::Key_Return);
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(IniFile::getIniFile().readString("Options", "User", "User"), "Ann");
}

TEST_F(SettingsDialog, ConfirmStoresEveryFieldInOrderAndThanksOnlyTheFirstTime) {
    // Without the keys in the file, each write appends its key: the file shows the order.
    openDefaultWith("[Generell]\nlocked=0\n");
    form_.show();
    field<QLineEdit>("Edit1")->setText("Ann");
    field<QLineEdit>("Edit2")->setText("Lab");
    field<QLineEdit>("Edit4")->setText("/data/own");
    field<QCheckBox>("CheckBox4")->click();
    field<QCheckBox>("CheckBox1")->click();
    QLineEdit* port = field<QComboBox>("ComboBox1")->lineEdit();
    port->clear();
    QTest::keyClicks(port, "Com9");
    field<QRadioButton>("DERadioButton")->click();
    EXPECT_EQ(field<QLabel>("Label8")->text(), "DE");

    confirm();

    EXPECT_EQ(prompts_.informations, QStringList{thankYou});
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.result(), QDialog::Accepted);
    EXPECT_EQ(lines(TempDirectory::readFile(profilePath())),
              QStringList({"[Generell]", "locked=0", "FirstTime=0", "Country=DE", "[Options]",
                           "User=Ann", "Company=Lab", "Dir=/data/own", "AutoSave=0", "OwnAutoDir=1",
                           "AutoConnect=1", "ComPort=Com9", "[CommandCheck]", "LedBright=0"}));

    // Shown again: the stored values come back, and confirming no longer thanks.
    form_.show();
    EXPECT_EQ(text("Edit1"), "Ann");
    EXPECT_EQ(field<QComboBox>("ComboBox1")->currentText(), "Com9");
    EXPECT_TRUE(checked("DERadioButton"));
    field<QRadioButton>("GBRadioButton")->click();
    confirm();
    EXPECT_EQ(prompts_.informations.size(), 1);
    EXPECT_EQ(stored("Generell", "FirstTime"), "0");
    EXPECT_EQ(stored("Generell", "Country"), "GB");
    EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(SettingsDialog, ClosingWithoutConfirmingStoresNothing) {
    openDefault();
    const std::string before = TempDirectory::readFile(profilePath());
    form_.show();
    field<QLineEdit>("Edit1")->setText("Somebody");
    field<QCheckBox>("CheckBox1")->click();
    field<QRadioButton>("DERadioButton")->click();

    form_.close();

    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(TempDirectory::readFile(profilePath()), before);
    EXPECT_TRUE(prompts_.informations.isEmpty());
    form_.show(); // the unconfirmed edits are gone
    EXPECT_EQ(text("Edit1"), "User");
    EXPECT_FALSE(checked("CheckBox1"));
    EXPECT_TRUE(checked("GBRadioButton"));
}

TEST_F(SettingsDialog, ValuesNotEditedHereSurviveAConfirmation) {
    openDefaultWith("[Generell]\nFirstTime=0\nCountry=de\n"
                    "[CommandCheck]\nLedBright=0x25\n"
                    "[Options]\nAutoSave=1\nComPort=COM3\nSaveAsDir=/srv/runs\n");
    form_.show();
    EXPECT_EQ(text("Edit6"), "37");
    EXPECT_TRUE(checked("GBRadioButton")); // only "DE" exactly means DE
    EXPECT_TRUE(checked("CheckBox2"));
    EXPECT_EQ(field<QComboBox>("ComboBox1")->currentText(), "COM3"); // not turned into "Com3"
    EXPECT_EQ(text("Edit7"), "/srv/runs");

    confirm();

    EXPECT_TRUE(prompts_.informations.isEmpty());
    EXPECT_EQ(stored("CommandCheck", "LedBright"), "37");
    EXPECT_EQ(stored("Generell", "Country"), "GB");
    EXPECT_EQ(stored("Options", "AutoSave"), "1");
    EXPECT_EQ(stored("Options", "ComPort"), "COM3");
    EXPECT_EQ(stored("Options", "SaveAsDir"), "/srv/runs");
}

TEST_F(SettingsDialog, AFailedStoreIsShownAndKeepsTheDialogOpen) {
    openDefault();
    form_.show();
    field<QLineEdit>("Edit1")->setText("Ann");
    // The profile is saved through this temporary name; a directory there makes it fail.
    const std::string blocker = profilePath() + ".tmp";
    std::filesystem::create_directory(blocker);

    confirm();

    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_TRUE(prompts_.messages[0].startsWith("Can't write ini- file '" +
                                                QString::fromStdString(profilePath()) + "'! "))
        << prompts_.messages[0].toStdString();
    EXPECT_TRUE(prompts_.informations.isEmpty()); // no thanks for settings that were not stored
    EXPECT_TRUE(form_.isVisible());
    EXPECT_EQ(text("Edit1"), "Ann");

    std::filesystem::remove(blocker);
    confirm();
    EXPECT_EQ(prompts_.informations, QStringList{thankYou});
    EXPECT_EQ(stored("Options", "User"), "Ann");
    EXPECT_FALSE(form_.isVisible());
}

// A field that cannot be stored stores nothing: neither the "first time" flag nor any field
// before or after it. Free texts lose the blanks at their ends instead of being refused.
TEST_F(SettingsDialog, ARefusedFieldStoresNoneAndBlanksAreTrimmed) {
    openDefault();
    const std::string before = TempDirectory::readFile(profilePath());
    form_.show();
    field<QLineEdit>("Edit1")->setText(" Ann ");
    field<QLineEdit>("Edit2")->setText(QString(3000, 'C'));
    confirm();
    ASSERT_EQ(prompts_.errors.size(), 1);
    EXPECT_TRUE(prompts_.errors[0].contains("Company")) << prompts_.errors[0].toStdString();
    EXPECT_TRUE(prompts_.informations.isEmpty());
    EXPECT_TRUE(form_.isVisible());
    EXPECT_EQ(TempDirectory::readFile(profilePath()), before);

    field<QLineEdit>("Edit2")->setText("Lab ");
    confirm();
    EXPECT_EQ(stored("Options", "User"), "Ann");
    EXPECT_EQ(stored("Options", "Company"), "Lab");
    EXPECT_EQ(stored("Generell", "FirstTime"), "0");
    EXPECT_EQ(prompts_.informations, QStringList{thankYou});
}

TEST_F(SettingsDialog, MqttSettingsAreShownAndStoredOnlyWhenChanged) {
    TempDirectory::writeFile(temp_.path("password"), "secret\n");
    const std::string password = temp_.path("password");
    openDefaultWith(
        "[MQTT]\nEnabled=1\nHost=broker.lab\nPort=8883\nUser=lab\nPasswordFile=" + password + "\n");
    form_.show();
    EXPECT_TRUE(checked("MqttEnabled"));
    EXPECT_EQ(text("MqttHost"), "broker.lab");
    EXPECT_EQ(field<QSpinBox>("MqttPort")->value(), 8883);
    // No topic of its own: the field stays empty and shows the one that is used.
    EXPECT_EQ(text("MqttTopic"), "");
    EXPECT_EQ(field<QLineEdit>("MqttTopic")->placeholderText(),
              BrokerSettings::fromProfile(IniFile::getIniFile()).topicPrefix);
    EXPECT_EQ(text("MqttUser"), "lab");
    EXPECT_EQ(text("MqttPasswordFile"), QString::fromStdString(password));
    EXPECT_FALSE(field<QLabel>("MqttNote")->text().isEmpty());

    confirm(); // nothing of the section changed: it stays as it was written
    EXPECT_EQ(lines(TempDirectory::readFile(profilePath())).mid(0, 6),
              QStringList({"[MQTT]", "Enabled=1", "Host=broker.lab", "Port=8883", "User=lab",
                           QString::fromStdString("PasswordFile=" + password)}));

    form_.show();
    field<QLineEdit>("MqttHost")->setText(" 10.0.0.5 ");
    field<QSpinBox>("MqttPort")->setValue(1884);
    field<QLineEdit>("MqttTopic")->setText("lab/ws1");
    prompts_.chosenOpenFile = QString::fromStdString(temp_.path("ca.pem"));
    TempDirectory::writeFile(temp_.path("ca.pem"), "certificate\n");
    field<QToolButton>("MqttCAFileBrowse")->click();
    EXPECT_EQ(text("MqttCAFile"), prompts_.chosenOpenFile);
    confirm();

    EXPECT_TRUE(prompts_.errors.isEmpty()) << prompts_.errors.join('\n').toStdString();
    EXPECT_FALSE(form_.isVisible());
    const BrokerSettings now = BrokerSettings::fromProfile(IniFile::ProfileFile(profilePath()));
    EXPECT_TRUE(now.enabled);
    EXPECT_EQ(now.host, "10.0.0.5");
    EXPECT_EQ(now.port, 1884);
    EXPECT_EQ(now.topicPrefix, "lab/ws1");
    EXPECT_EQ(now.caFile, prompts_.chosenOpenFile);
    EXPECT_EQ(now.passwordFile, QString::fromStdString(password));
    EXPECT_EQ(stored("MQTT", "ClientId"), "");
}

// Refused with the publisher's own reason; the dialog stays open and the profile unchanged.
TEST_F(SettingsDialog, MqttSettingsThePublisherWouldRefuseAreNotStored) {
    openDefault();
    const std::string before = TempDirectory::readFile(profilePath());
    const struct {
        bool enabled;
        const char* host;
        const char* topic;
        const char* passwordFile;
        const char* caFile;
        const char* reason;
    } cases[] = {
        {false, "", "lab/+/ws1", "", "", "\"+\" or \"#\""},
        {false, "", "lab//ws1", "", "", "empty level"},
        {true, "", "", "", "", "No MQTT broker is set"},
        {true, "broker", "", "/no/such/password", "", "password file '/no/such/password'"},
        {true, "broker", "", "", "/no/such/ca.pem", "CA file '/no/such/ca.pem'"},
    };
    for (const auto& c : cases) {
        prompts_.errors.clear();
        form_.show();
        field<QCheckBox>("MqttEnabled")->setChecked(c.enabled);
        field<QLineEdit>("MqttHost")->setText(c.host);
        field<QLineEdit>("MqttTopic")->setText(c.topic);
        field<QLineEdit>("MqttUser")->setText("lab");
        field<QLineEdit>("MqttPasswordFile")->setText(c.passwordFile);
        field<QLineEdit>("MqttCAFile")->setText(c.caFile);
        confirm();
        ASSERT_EQ(prompts_.errors.size(), 1) << c.reason;
        EXPECT_TRUE(prompts_.errors[0].contains(c.reason)) << prompts_.errors[0].toStdString();
        EXPECT_TRUE(form_.isVisible()) << c.reason;
        EXPECT_EQ(TempDirectory::readFile(profilePath()), before) << c.reason;
    }
    // Off, an incomplete broker is kept for later.
    field<QCheckBox>("MqttEnabled")->setChecked(false);
    field<QLineEdit>("MqttHost")->setText("");
    field<QLineEdit>("MqttTopic")->setText("lab/ws1");
    field<QLineEdit>("MqttPasswordFile")->setText("");
    field<QLineEdit>("MqttCAFile")->setText("");
    confirm();
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(stored("MQTT", "Enabled"), "0");
    EXPECT_EQ(stored("MQTT", "Topic"), "lab/ws1");
}

// The demonstration clock of Sim0: the program's default until the user chooses another rate,
// which is then kept in the profile and shown again.
TEST_F(SettingsDialog, Sim0ClockIsStoredOnceChosen) {
    openDefaultWith("[Generell]\nlocked=0\nFirstTime=0\n");
    form_.show();
    auto* rate = field<QSpinBox>("Sim0Clock");
    EXPECT_EQ(rate->value(), 100);
    confirm();
    EXPECT_EQ(stored("Options", "Sim0Clock"), "<absent>");

    form_.show();
    rate->setValue(1);
    confirm();
    EXPECT_EQ(stored("Options", "Sim0Clock"), "1");
    rate->setValue(50);
    form_.show();
    EXPECT_EQ(rate->value(), 1) << "the profile's value comes back";
}
