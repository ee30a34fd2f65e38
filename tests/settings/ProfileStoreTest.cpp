// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorOf.h"
#include "ProfileStoreFixture.h"

#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const char* const newProfileText = "[Generell]\n"
                                   "locked=0\n"
                                   "Run=0\n"
                                   "FirstTime=1\n"
                                   "Country=GB\n"
                                   "LED=OD []\n"
                                   "\n\n"
                                   "[CommandCheck]\n"
                                   "ODChannel=6\n"
                                   "Interval=30\n"
                                   "RefChannel=1\n"
                                   "LedBright=0\n"
                                   "\n\n"
                                   "[Options]\n"
                                   "UsePreByte=0\n"
                                   "Plotit=0\n"
                                   "OwnAutoDir=0\n"
                                   "AutoSave=0\n"
                                   "AutoConnect=0\n"
                                   "Beep=0\n"
                                   "NewOD=0\n"
                                   "User=User\n"
                                   "Company=Company\n"
                                   "Dir=Nothing\n"
                                   "ComPort=Com1\n"
                                   "SaveAsDir=C:Test\n"
                                   "\n\n"
                                   "[CalibrECH]\n"
                                   "OD1=4095\n"
                                   "ODDark=1\n"
                                   "\n\n"
                                   "[Calculation]\n"
                                   "Name=CalcOD\n"
                                   "a1=0\n"
                                   "a2=0\n"
                                   "a3=1\n"
                                   "a4=0\n"
                                   "\n\n"
                                   "[AnalogOut]\n"
                                   "DACresolution=12\n"
                                   "LIVEmin=200\n";

std::vector<std::pair<std::string, bool>> listed() {
    std::vector<std::pair<std::string, bool>> result;
    for (const auto& profile : IniFile::listProfiles())
        result.emplace_back(profile.name, profile.locked);
    std::sort(result.begin(), result.end());
    return result;
}

using ProfileStore = ProfileStoreFixture;

} // namespace

TEST_F(ProfileStore, NothingOpenBeforeTheFirstProfile) {
    EXPECT_EQ(errorOf([] { IniFile::getIniFile(); }), "Ini- file aren't initiated!");
    EXPECT_FALSE(IniFile::hasIniFile());
}

TEST_F(ProfileStore, FirstStartCreatesTheDefaultProfile) {
    openDefault();
    EXPECT_EQ(IniFile::storeDirectory, store());
    EXPECT_EQ(IniFile::profileDirectory, store() + "/Default");
    EXPECT_TRUE(fs::is_directory(store() + "/Default"));
    EXPECT_EQ(TempDirectory::readFile(store() + "/Default.ini"), newProfileText);
    EXPECT_FALSE(fs::exists(store() + "/Default.ini.tmp"));
    EXPECT_EQ(IniFile::quality, 8);
    EXPECT_EQ(IniFile::interval, 30);
    EXPECT_EQ(IniFile::odChannel, 6);
    EXPECT_EQ(IniFile::refChannel, 1);
    EXPECT_EQ(IniFile::usePreByte, 0);
    EXPECT_EQ(listed(), (std::vector<std::pair<std::string, bool>>{{"Default", false}}));
    EXPECT_EQ(IniFile::getIniFile().readString("Calculation", "a3", "0"), "1");
}

TEST_F(ProfileStore, OlderSettingsFileBecomesTheDefaultProfile) {
    const std::string old = "[Options]\r\nUser=Old Lab\r\n[Options]\r\nQuality=4\r\n";
    TempDirectory::writeFile(temp_.path("program/Nephodar.ini"), old);
    openDefault();
    EXPECT_EQ(TempDirectory::readFile(store() + "/Default.ini"), old);
    EXPECT_EQ(listed(), (std::vector<std::pair<std::string, bool>>{{"Default", true}}))
        << "no locked key: listed as in use";
    EXPECT_EQ(IniFile::getIniFile().readString("options", "USER", ""), "Old Lab");

    // Any other missing profile is new, old file or not.
    IniFile::openProfile("Trial", "Nephodar", "Talvessa");
    EXPECT_EQ(TempDirectory::readFile(store() + "/Trial.ini"), newProfileText);
}

TEST_F(ProfileStore, OpeningAnExistingProfileWritesNothing) {
    const std::string text = "[CommandCheck]\nInterval=12\n[Options]\nQuality=3\n";
    TempDirectory::writeFile(store() + "/Default.ini", text);
    struct stat before {};
    stat((store() + "/Default.ini").c_str(), &before);
    openDefault();
    struct stat after {};
    stat((store() + "/Default.ini").c_str(), &after);
    EXPECT_EQ(TempDirectory::readFile(store() + "/Default.ini"), text);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(IniFile::interval, 12);
    EXPECT_EQ(IniFile::quality, 3);
}

TEST_F(ProfileStore, StoreDirectoryFromTheEnvironment) {
    setenv("ALLUSERSPROFILE", "/shared", 1);
    EXPECT_EQ(IniFile::computeStoreDirectory("App", "Maker"), "/shared/Application Data/Maker/App");
    setenv("APPDATA", "/home/lab/Roaming Data", 1);
    EXPECT_EQ(IniFile::computeStoreDirectory("App", "Maker"), "/shared/Roaming Data/Maker/App");
    setenv("APPDATA", "Plain", 1);
    EXPECT_EQ(IniFile::computeStoreDirectory("App", "Maker"), "/shared/Plain/Maker/App");
    unsetenv("ALLUSERSPROFILE");
    unsetenv("APPDATA");
    EXPECT_EQ(IniFile::computeStoreDirectory("App", "Maker"), temp_.path("config/Maker/App"));
}

TEST_F(ProfileStore, RefusedNames) {
    EXPECT_EQ(errorOf([] { IniFile::openProfile("", "", ""); }), "Name of profile is empty!");
    EXPECT_EQ(errorOf([] { IniFile::openProfile("P", "", ""); }), "Name of application is empty!");
    EXPECT_EQ(errorOf([] { IniFile::openProfile("P", "A", ""); }),
              "Name of manufacturer is empty!");
}

TEST_F(ProfileStore, DirectoriesThatCannotBeCreated) {
    TempDirectory::writeFile(temp_.path("file"), "x");
    const std::string path = temp_.path("file/sub/deeper");
    const std::string expected =
        "Creation of directory '" + temp_.path("file") + "' failed! System reported: \nFile exists";
    EXPECT_EQ(errorOf([&] { IniFile::createDirectories(path); }), expected);
    setenv("XDG_CONFIG_HOME", temp_.path("file").c_str(), 1);
    EXPECT_EQ(errorOf([&] { openDefault(); }), expected);
}

TEST_F(ProfileStore, ListingTakesOnlyIniFiles) {
    openDefault();
    TempDirectory::writeFile(store() + "/A.ini", "[Generell]\nlocked=0\n");
    TempDirectory::writeFile(store() + "/B.ini.x", "[Generell]\nlocked=0\n");
    fs::create_directories(store() + "/D.ini");
    TempDirectory::writeFile(store() + "/E.INI", "[generell]\nLOCKED=1\n");
    EXPECT_EQ(listed(), (std::vector<std::pair<std::string, bool>>{
                            {"A", false}, {"Default", false}, {"E", true}}));
}

TEST_F(ProfileStore, DeleteKeepingTheData) {
    openDefault();
    TempDirectory::writeFile(store() + "/A.ini", "[Generell]\nlocked=0\n");
    TempDirectory::writeFile(store() + "/A/notes.txt", "n");
    IniFile::deleteProfile("A");
    EXPECT_TRUE(fs::exists(store() + "/A.ini.x"));
    EXPECT_TRUE(fs::exists(store() + "/A.x/notes.txt"));
    EXPECT_FALSE(fs::exists(store() + "/A.ini"));

    TempDirectory::writeFile(store() + "/A.ini", "[Generell]\nlocked=0\n");
    EXPECT_EQ(errorOf([] { IniFile::deleteProfile("A"); }),
              "Can't rename file '" + store() + "/A.ini'! System reported: \nFile exists");
    EXPECT_TRUE(fs::exists(store() + "/A.ini")) << "the earlier data is not overwritten";

    fs::remove(store() + "/A.ini");
    fs::create_directories(store() + "/A");
    EXPECT_EQ(errorOf([] { IniFile::deleteProfile("A"); }),
              "Can't rename directory '" + store() + "/A'! System reported: \nFile exists");
}

TEST_F(ProfileStore, DeleteWithContent) {
    openDefault();
    TempDirectory::writeFile(store() + "/A.ini", "x");
    TempDirectory::writeFile(store() + "/A/one.nph", "1");
    TempDirectory::writeFile(store() + "/A/two.log", "2");
    fs::create_directories(store() + "/A/empty");
    IniFile::deleteProfileWithContent("A");
    EXPECT_FALSE(fs::exists(store() + "/A.ini"));
    EXPECT_TRUE(fs::is_empty(store() + "/A")) << "the directory itself stays";

    TempDirectory::writeFile(store() + "/A/full/inner.txt", "i");
    EXPECT_EQ(errorOf([] { IniFile::deleteProfileWithContent("A"); }),
              "Can't delete directory '" + store() +
                  "/A/full'! System reported: \nDirectory not empty");
    IniFile::deleteProfileWithContent("Nobody"); // nothing there: nothing to do
}

TEST_F(ProfileStore, CopyAndRename) {
    openDefault();
    TempDirectory::writeFile(store() + "/OnlyFile.ini", "[Generell]\nlocked=0\n");
    IniFile::copyProfile("OnlyFile", "Copy1");
    EXPECT_EQ(TempDirectory::readFile(store() + "/Copy1.ini"), "[Generell]\nlocked=0\n");
    EXPECT_FALSE(fs::exists(store() + "/Copy1"));

    TempDirectory::writeFile(store() + "/OnlyDir/sub/a.txt", "a");
    fs::create_directories(store() + "/OnlyDir/emptysub");
    IniFile::copyProfile("OnlyDir", "Copy2");
    EXPECT_FALSE(fs::exists(store() + "/Copy2.ini"));
    EXPECT_EQ(TempDirectory::readFile(store() + "/Copy2/sub/a.txt"), "a");
    EXPECT_TRUE(fs::is_directory(store() + "/Copy2/emptysub"));

    IniFile::renameProfile("Copy2", "Moved");
    EXPECT_TRUE(fs::exists(store() + "/Moved/sub/a.txt"));
    EXPECT_FALSE(fs::exists(store() + "/Copy2"));
    IniFile::renameProfile("Copy1", "Moved");
    EXPECT_TRUE(fs::exists(store() + "/Moved.ini"));

    TempDirectory::writeFile(store() + "/Other.ini", "other");
    EXPECT_EQ(errorOf([] { IniFile::renameProfile("Other", "Moved"); }),
              "Can't rename file '" + store() + "/Other.ini' to '" + store() +
                  "/Moved.ini'! System reported: \nFile exists");
    EXPECT_EQ(TempDirectory::readFile(store() + "/Moved.ini"), "[Generell]\nlocked=0\n")
        << "renaming never overwrites another profile";
}
