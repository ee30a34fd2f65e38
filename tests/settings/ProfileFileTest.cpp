// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ProfileFile.h"
#include "TempDirectory.h"
#include "settings/IniText.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using IniFile::ProfileFile;

namespace {

struct ProfileFileTest : testing::Test {
    TempDirectory temp;
    std::string path = temp.path("p.ini");
};

} // namespace

TEST_F(ProfileFileTest, ReadingRules) {
    TempDirectory::writeFile(path, "[Values]\n"
                                   "dec=12\nneg=-5\nhex=0x1F\nHEX2=0XfF\ndollar=$10\n"
                                   "allones=0xFFFFFFFF\nblank=\nword=abc\nspaced= 7 \n"
                                   "huge=99999999999\nhalf=1.5\ncomma=1,5\nexp=1e3\n"
                                   "one=1\nzero=0\ntwo=2\ninf=inf\nnan=-NaN\n"
                                   "[Other Section]\nName=Value with = sign\n");
    const ProfileFile file(path);
    const struct {
        const char* key;
        std::int32_t integer;
    } integers[] = {{"dec", 12},    {"neg", -5},     {"hex", 31},   {"hex2", 255},
                    {"dollar", 16}, {"allones", -1}, {"blank", 99}, {"word", 99},
                    {"spaced", 7},  {"huge", 99},    {"half", 99},  {"missing", 99}};
    for (const auto& c : integers)
        EXPECT_EQ(file.readInteger("values", c.key, 99), c.integer) << c.key;

    const struct {
        const char* key;
        double value;
    } floats[] = {{"half", 1.5}, {"comma", -7},   {"exp", 1000}, {"blank", -7}, {"word", -7},
                  {"dec", 12},   {"missing", -7}, {"inf", -7},   {"nan", -7}};
    for (const auto& c : floats)
        EXPECT_DOUBLE_EQ(file.readFloat("Values", c.key, -7), c.value) << c.key;

    EXPECT_TRUE(file.readBool("Values", "one", false));
    EXPECT_FALSE(file.readBool("Values", "zero", true));
    EXPECT_TRUE(file.readBool("Values", "two", false));
    EXPECT_TRUE(file.readBool("Values", "word", true));
    EXPECT_FALSE(file.readBool("Values", "missing", false));

    EXPECT_EQ(file.readString("OTHER SECTION", "name", "-"), "Value with = sign");
    EXPECT_EQ(file.readString("Values", "blank", "-"), "");
    EXPECT_EQ(file.readString("Nowhere", "name", "-"), "-");
}

TEST_F(ProfileFileTest, WritesReachTheFileAtOnce) {
    ProfileFile file(path);
    file.writeInteger("S", "int", -3);
    file.writeBool("S", "flag", true);
    file.writeFloat("S", "third", 1.0 / 3);
    file.writeFloat("S", "zero", 0.0);
    file.writeFloat("S", "big", 123456789012345678.0);
    file.writeString("S", "text", "a;b'c\"d\\e");
    file.writeString("s", "INT", "4"); // same key, other case
    EXPECT_EQ(TempDirectory::readFile(path), "[S]\nint=4\nflag=1\nthird=0.333333333333333\n"
                                             "zero=0\nbig=1.23456789012346e+17\n"
                                             "text=a;b'c\"d\\e\n");
    EXPECT_EQ(ProfileFile(path).readString("S", "text", ""), "a;b'c\"d\\e");
}

TEST_F(ProfileFileTest, AWriteKeepsAFirstKeyThatBeginsLikeAByteOrderMark) {
    const std::string key = "\xEF\xBB\xBFkey"; // not at the start of the file, so part of the name
    TempDirectory::writeFile(path, "\n" + key + "=kept\n");
    ProfileFile(path).writeString("S", "new", "1");
    const ProfileFile reread(path);
    EXPECT_EQ(reread.readString("", key, "lost"), "kept");
    EXPECT_EQ(reread.readString("", "key", "absent"), "absent");
}

TEST_F(ProfileFileTest, LongStringsAreCutOnReading) {
    TempDirectory::writeFile(path, "[S]\nlong=" + std::string(3000, 'x') + "\n");
    EXPECT_EQ(ProfileFile(path).readString("S", "long", "").size(), 2047u);
}

TEST_F(ProfileFileTest, LineBreaksAreRefusedAndTheFileKept) {
    ProfileFile file(path);
    file.writeString("S", "key", "old");
    const std::string before = TempDirectory::readFile(path);
    for (const auto& [section, key, value] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"S", "key", "x\n[Injected]\nkey=1"},
             {"S", "key", "x\r"},
             {"S\n[Other]", "key", "v"},
             {"S", "k=v", "v"},
             {"S]", "key", "v"}}) {
        try {
            file.writeString(section, key, value);
            ADD_FAILURE() << "accepted " << value;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(TempDirectory::readFile(path), before);
    EXPECT_EQ(file.readString("S", "key", ""), "old");
}

TEST_F(ProfileFileTest, AFailedWriteNamesTheFileAndKeepsEverything) {
    const std::string inside = temp.path("gone/p.ini");
    TempDirectory::writeFile(inside, "[S]\nkey=old\n");
    ProfileFile file(inside);
    std::filesystem::remove_all(temp.path("gone"));
    try {
        file.writeString("S", "key", "new");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Can't write ini- file '" + inside +
                                             "'! System reported: \nNo such file or directory");
    }
    EXPECT_EQ(file.readString("S", "key", ""), "old") << "memory stays in step with the disk";
    EXPECT_THROW(file.writeString("New", "key", "v"), std::runtime_error);
    EXPECT_EQ(file.readString("New", "key", "absent"), "absent");
}

TEST_F(ProfileFileTest, ADirectoryInThePlaceOfTheFileIsRefusedWithItsReason) {
    std::filesystem::create_directories(path);
    try {
        ProfileFile file(path);
        FAIL() << "a directory was read as a profile";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Can't read ini- file '" + path + "'! System reported: \nIs a directory");
    }
}

TEST_F(ProfileFileTest, DamagedFilesGiveDefaults) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::string junk(2000, '\0');
        for (auto& c : junk)
            c = static_cast<char>(random());
        TempDirectory::writeFile(path, round % 2 ? junk : "[Options]\nQuality=" + junk);
        const ProfileFile file(path);
        const auto quality = file.readInteger("Options", "Quality", 8);
        EXPECT_TRUE(quality == 8 || round % 2) << "garbage never reads as a number";
        file.readFloat("Calculation", "a1", 0.0);
        file.readString("Options", "User", "User");
    }
}

// Values that belong together are all written or none: a refused one or a failed write leaves
// the file and the object as they were.
TEST_F(ProfileFileTest, ValuesWrittenTogetherAllOrNone) {
    ProfileFile file(path);
    file.writeString("S", "a", "1");
    const std::string before = TempDirectory::readFile(path);
    EXPECT_THROW(file.writeTogether({{"S", "a", "2"}, {"New", "b", "3"}, {"S", "c", "x\ny"}}),
                 std::runtime_error);
    EXPECT_EQ(TempDirectory::readFile(path), before);
    std::filesystem::create_directory(path + ".tmp"); // the save's temporary name is taken
    EXPECT_THROW(file.writeTogether({{"S", "a", "2"}, {"New", "b", "3"}, {"New", "c", "4"}}),
                 std::runtime_error);
    EXPECT_EQ(TempDirectory::readFile(path), before);
    EXPECT_EQ(file.readString("S", "a", ""), "1");
    EXPECT_FALSE(file.valueExists("New", "b"));
    std::filesystem::remove(path + ".tmp");
    file.writeTogether({{"S", "a", "2"}, {"New", "b", "3"}});
    EXPECT_EQ(ProfileFile(path).readString("New", "b", ""), "3");
    EXPECT_EQ(ProfileFile(path).readString("S", "a", ""), "2");
}

// A profile is edited by hand while a program has it open: the program sees the edit, and its
// next write changes its own key only, leaving every other byte of the file as it is now.
TEST_F(ProfileFileTest, HandEditsMadeWhileTheFileIsOpenSurviveItsWrites) {
    TempDirectory::writeFile(path, "[Options]\nUser=User\nAutoSave=0\n");
    ProfileFile file(path);
    EXPECT_EQ(file.readString("Options", "User", ""), "User");
    const std::string edited = "; lab bench 3\r\n"
                               "[Options]\r\n"
                               "User = Alice\r\n"
                               "AutoSave=0\r\n"
                               "Unknown=kept\r\n"
                               "\r\n"
                               "# serial adapters\r\n"
                               "[Ports]\r\n"
                               "Com3=/dev/ttyUSB0\r\n";
    TempDirectory::writeFile(path, edited);
    EXPECT_EQ(file.readString("options", "user", ""), "Alice") << "a read sees the file as it is";
    EXPECT_EQ(file.keysOf("Ports"), std::vector<std::string>{"Com3"});

    file.writeInteger("Options", "AutoSave", 1);
    file.writeTogether({{"Calculation", "a1", "2"}, {"Options", "NewOD", "1"}});
    EXPECT_EQ(TempDirectory::readFile(path), "; lab bench 3\r\n"
                                             "[Options]\r\n"
                                             "User = Alice\r\n"
                                             "AutoSave=1\r\n"
                                             "Unknown=kept\r\n"
                                             "NewOD=1\r\n"
                                             "\r\n"
                                             "# serial adapters\r\n"
                                             "[Ports]\r\n"
                                             "Com3=/dev/ttyUSB0\r\n"
                                             "\r\n\r\n"
                                             "[Calculation]\r\n"
                                             "a1=2\r\n");
}

// Where a value lands, checked against what the reader then finds.
TEST(ProfileFileText, AValueIsSetWhereTheReaderFindsIt) {
    const struct {
        const char *before, *section, *key, *value, *after;
    } cases[] = {
        {"", "S", "k", "v", "[S]\nk=v\n"},
        {"[S]\nk = old  \n", "s", "K", "new", "[S]\nk = new\n"},
        {"[S]\nk=\n", "S", "k", "v", "[S]\nk=v\n"},
        {"[S]\nk=1\n[T]\nx=2\n[s]\nk=3\n", "S", "k", "9", "[S]\nk=1\n[T]\nx=2\n[s]\nk=9\n"},
        {"[S]\na=1\n\n; about T\n[T]\n", "S", "b", "2", "[S]\na=1\nb=2\n\n; about T\n[T]\n"},
        {"[S]\n;k=commented\n", "S", "k", "v", "[S]\nk=v\n;k=commented\n"},
        {"[S]\na=1", "S", "b", "2", "[S]\na=1\nb=2\n"},
        {"[S]\na=1", "T", "b", "2", "[S]\na=1\n\n\n[T]\nb=2\n"},
        {"  [ S ]  tail\n", "S", "k", "v", "  [ S ]  tail\nk=v\n"},
        {"[S\nk=1\n", "S", "k", "v", "[S\nk=1\n\n\n[S]\nk=v\n"},
        {"top=1\n[S]\n", "", "top", "2", "top=2\n[S]\n"},
        {"; only\n[S]\n", "", "top", "2", "; only\ntop=2\n[S]\n"},
        {"\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "j", "2", "\xEF\xBB\xBF[S]\r\nk=1\r\nj=2\r\n"},
        {"[S]\rk=1\r", "S", "k", "2", "[S]\rk=2\r"},
    };
    TempDirectory temp;
    const std::string path = temp.path("p.ini");
    for (const auto& c : cases) {
        const std::string after = IniFile::withValue(c.before, c.section, c.key, c.value);
        EXPECT_EQ(after, c.after) << c.before;
        TempDirectory::writeFile(path, after);
        EXPECT_EQ(ProfileFile(path).readString(c.section, c.key, "absent"), c.value) << c.before;
    }
}

TEST_F(ProfileFileTest, AWriteKeepsTheModeAndASecretIsKeptPrivate) {
    const auto modeOf = [](const std::string& file) {
        struct stat info {};
        stat(file.c_str(), &info);
        return info.st_mode & 07777;
    };
    const mode_t mask = umask(022);
    ProfileFile plain(path);
    plain.writeString("Options", "User", "Alice");
    EXPECT_EQ(modeOf(path), 0644u) << "a new profile as the umask says";
    chmod(path.c_str(), 0600);
    plain.writeString("Options", "User", "Bob");
    EXPECT_EQ(modeOf(path), 0600u) << "set by its owner, kept";
    chmod(path.c_str(), 0640);
    plain.writeString("Options", "User", "Carol");
    EXPECT_EQ(modeOf(path), 0640u);

    const std::string fresh = temp.path("fresh.ini");
    ProfileFile(fresh).writeTogether({{"Web", "Enabled", "1"}, {"Web", "Token", "s3cret"}});
    EXPECT_EQ(modeOf(fresh), 0600u) << "a new profile that holds a token";
    plain.writeString("Web", "Token", "s3cret");
    EXPECT_EQ(modeOf(path), 0600u) << "a token written into a shared profile";
    plain.writeString("Web", "Token", "");
    chmod(path.c_str(), 0644);
    plain.writeString("Web", "Token", "");
    EXPECT_EQ(modeOf(path), 0644u) << "an empty token is no secret";
    umask(mask);
}

TEST_F(ProfileFileTest, ALinkedProfileIsWrittenWhereTheLinkLeads) {
    const std::string real = temp.path("shared/lab.ini");
    TempDirectory::writeFile(real, "[Options]\nUser=Lab\n");
    std::filesystem::create_symlink("shared/lab.ini", path);
    ProfileFile file(path);
    file.writeString("Options", "AutoSave", "1");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(TempDirectory::readFile(real), "[Options]\nUser=Lab\nAutoSave=1\n");
    EXPECT_FALSE(std::filesystem::exists(real + ".tmp"));
}

TEST_F(ProfileFileTest, AProfileStoredAsUtf16IsRefusedWithItsReason) {
    const std::string ascii = "[Options]\r\nUser=Alice\r\n";
    std::string little, big;
    for (const char c : ascii) {
        little += std::string{c, '\0'};
        big += std::string{'\0', c};
    }
    for (const std::string& content : {"\xFF\xFE" + little, "\xFE\xFF" + big, little, big}) {
        TempDirectory::writeFile(path, content);
        try {
            ProfileFile file(path);
            ADD_FAILURE() << "read as a profile";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Can't read ini- file '" + path +
                          "'! It is stored as UTF-16; save it as UTF-8 text to use it.");
        }
    }
    // Made UTF-16 while open: the values read before stay, and no write replaces the file.
    TempDirectory::writeFile(path, ascii);
    ProfileFile file(path);
    TempDirectory::writeFile(path, "\xFF\xFE" + little);
    EXPECT_EQ(file.readString("Options", "User", ""), "Alice");
    EXPECT_THROW(file.writeString("Options", "User", "Bob"), std::runtime_error);
    EXPECT_EQ(TempDirectory::readFile(path), "\xFF\xFE" + little);
}

TEST(ProfileFileText, TrimmingTouchesOnlyTheEnds) {
    for (const auto& [text, expected] :
         std::vector<std::pair<std::string, std::string>>{{"Turbidity ", "Turbidity"},
                                                          {" \tLab A\t ", "Lab A"},
                                                          {"no blanks", "no blanks"},
                                                          {"a  b", "a  b"},
                                                          {"   ", ""},
                                                          {"", ""}})
        EXPECT_EQ(ProfileFile::trimmedText(text), expected) << "'" << text << "'";
}
