// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/Q7Variants.h"
#include "ErrorOf.h"
#include "FakeSleeper.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "ScriptedConnection.h"
#include "com/ODSourceFactory.h"

using Bytes = std::vector<unsigned char>;
using Talvessa::Q7_82;
using Talvessa::Q7_Old;

namespace {

struct Q7Variants : ProfileStoreFixture {
    LogCapture log;
    FakeSleeper sleeper;
    ScriptedConnection connection{sleeper};

    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
    }
    // Status bytes for the construction's brightness command, then the test's own.
    std::unique_ptr<Q7_82> make82() {
        connection.queue({0, 0, 0, 0, 0, 0});
        return std::make_unique<Q7_82>(connection, 6, sleeper);
    }
    std::unique_ptr<Q7_Old> makeOld() {
        connection.queue({0});
        return std::make_unique<Q7_Old>(connection, 6, sleeper);
    }
    std::string errorOfCheck(Talvessa::Q7_Base& source) {
        try {
            source.checkErrorState();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    }
};

} // namespace

TEST_F(Q7Variants, StatusTableOf82) {
    auto source = make82();
    const std::string prefix = "Q7_82::checkErrorState\t";
    const struct {
        Bytes status;
        std::string error;
    } cases[] = {
        {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, "no error"},
        {{0x04, 0, 0, 0, 0, 0}, "no error"},
        {{0x05, 0, 0, 0, 0, 0}, "no error"},
        {{0x01, 0, 0, 0, 0, 0}, prefix + "device returned:\n\"interrupt error\""},
        {{0x02, 0, 0, 0, 0, 0}, prefix + "device returned:\n\"unknown code\""},
        {{0x03, 0, 0, 0, 0, 0}, prefix + "device returned:\n\"Q7 error\""},
        {{0x06, 0, 0, 0, 0, 0}, prefix + "device returned:\n\"wrong code\""},
        {{0x07, 0, 0, 0, 0, 0},
         prefix + "device returned an unknown errorcode\n6[ 07 00 00 00 00 00]\n"},
        {{0xFF, 1, 2, 3, 4, 5},
         prefix + "device returned an unknown errorcode\n6[ FF 01 02 03 04 05]\n"},
    };
    for (const auto& c : cases) {
        log.clear();
        connection.answers.assign(c.status.begin(), c.status.end());
        EXPECT_EQ(errorOfCheck(*source), c.error);
        EXPECT_EQ(log.text(), c.error == "no error" ? "" : c.error + "\n") << "logged first";
    }
}

TEST_F(Q7Variants, StatusOfTheOldVariant) {
    auto source = makeOld();
    connection.queue({0x00});
    EXPECT_EQ(errorOfCheck(*source), "no error");
    connection.queue({0x02});
    EXPECT_EQ(errorOfCheck(*source), "device returned an old errorcode 1[ 02]");
    EXPECT_EQ(log.text(), "device returned an old errorcode 1[ 02]\n");
}

TEST_F(Q7Variants, CalibrationDefaultsFromTheProfile) {
    EXPECT_DOUBLE_EQ(make82()->getReference(), 4095.0) << "new profile values";

    TempDirectory::writeFile(store() + "/Bare.ini", "[Generell]\nlocked=0\n");
    IniFile::openProfile("Bare", "Nephodar", "Talvessa");
    auto q82 = make82();
    EXPECT_DOUBLE_EQ(q82->getReference(), 4095.0);
    EXPECT_DOUBLE_EQ(q82->getDark(), 1.0);
    auto old = makeOld();
    EXPECT_DOUBLE_EQ(old->getReference(), 1234.0);
    EXPECT_DOUBLE_EQ(old->getDark(), 16.0);

    IniFile::getIniFile().writeInteger("CalibrECH", "OD1", 0);
    IniFile::getIniFile().writeInteger("CalibrECH", "ODDark", 7);
    EXPECT_DOUBLE_EQ(make82()->getReference(), 1.0) << "a zero reference is taken as 1";
    EXPECT_DOUBLE_EQ(make82()->getDark(), 7.0);
}

TEST_F(Q7Variants, ConstructionSendsTheConfiguredBrightness) {
    IniFile::getIniFile().writeString("CommandCheck", "LedBright", "300");
    make82();
    EXPECT_EQ(connection.sent, std::vector<Bytes>{Bytes({0x30, 0x01, 0x2C})});
    EXPECT_TRUE(connection.answers.empty()) << "its status answer is read";

    connection.sent.clear();
    IniFile::getIniFile().writeString("CommandCheck", "LedBright", "-1");
    makeOld();
    EXPECT_EQ(connection.sent, std::vector<Bytes>{Bytes({0x30, 0xFF, 0xFF})});
}

TEST_F(Q7Variants, BrightnessThatIsNoNumberStopsTheCreation) {
    for (const char* text : {"bright", "", "12x", "1.5", "99999999999"}) {
        IniFile::getIniFile().writeString("CommandCheck", "LedBright", text);
        connection.sent.clear();
        try {
            Q7_82 source(connection, 6, sleeper);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("The setting \"LedBright\" of section \"CommandCheck\" is not a "
                                  "whole number: '") +
                          text + "'");
        }
        EXPECT_TRUE(connection.sent.empty()) << "nothing reaches the device";
    }
}

TEST_F(Q7Variants, ErrorStatusDuringConstructionFails) {
    connection.queue({0x03, 0, 0, 0, 0, 0});
    EXPECT_THROW(Q7_82(connection, 6, sleeper), std::runtime_error);
}

TEST_F(Q7Variants, IdentificationCountsOnlyTheBytesThatCame) {
    // The read fails before any byte comes: no answer, not one of the full seven bytes.
    EXPECT_EQ(errorOf([&] { Talvessa::identifyPhotometer(connection, 6, sleeper); }),
              "Can't identify type of source!\n0[]\nNo answer from " + connection.getName() + ".");

    connection.queue({1, 2, 3, 4, 5, 6, 7});
    connection.queue({0, 0, 0, 0, 0, 0}); // the status of the brightness command
    const auto source = Talvessa::identifyPhotometer(connection, 6, sleeper);
    EXPECT_NE(dynamic_cast<Q7_82*>(source.get()), nullptr);
}
