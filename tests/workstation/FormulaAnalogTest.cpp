// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorOf.h"
#include "ProfileStoreFixture.h"
#include "workstation/AnalogOutput.h"
#include "workstation/ODFormula.h"

namespace {
struct FormulaProfile : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
    }
};
} // namespace

TEST(ODFormula, CalcODFromTheCoefficients) {
    ODFormula formula;
    formula.enabled = true;
    formula.a1 = "0";
    formula.a2 = "0";
    formula.a3 = "2";
    formula.a4 = "0.1";
    EXPECT_DOUBLE_EQ(formula.calcOd(0.5), 1.1);

    formula.a1 = "1";
    formula.a2 = "-2";
    formula.a3 = "3";
    formula.a4 = "-4";
    EXPECT_DOUBLE_EQ(formula.calcOd(2.0), 8 - 8 + 6 - 4);

    formula.a1 = formula.a2 = formula.a4 = "";
    formula.a3 = "";
    formula.fillEmptyFields();
    EXPECT_EQ(formula.a3, "1");
    EXPECT_EQ(formula.a1 + formula.a2 + formula.a4, "000");
    EXPECT_DOUBLE_EQ(formula.calcOd(0.731), 0.731);

    formula.a3 = "0";
    formula.a4 = "0.00009";
    EXPECT_EQ(formula.calcOd(1.0), 0.0) << "tiny results are 0";

    formula.enabled = false;
    formula.a3 = "rubbish";
    EXPECT_DOUBLE_EQ(formula.calcOd(0.42), 0.42) << "off: CalcOD is OD, fields unread";
}

TEST(ODFormula, CoefficientsThatAreNoNumbers) {
    ODFormula formula;
    formula.enabled = true;
    for (const char* text : {"-", "1.2.3", "", ".", "1e"}) {
        formula.a3 = text;
        EXPECT_EQ(errorOf([&] { formula.calcOd(1.0); }),
                  std::string("The coefficient a3 of the OD formula is not a number: '") + text +
                      "'");
        EXPECT_THROW(formula.validate(), std::runtime_error);
    }
    formula.a3 = "1";
    formula.validate();
    EXPECT_TRUE(ODFormula::isCoefficientCharacter('7'));
    EXPECT_TRUE(ODFormula::isCoefficientCharacter('-'));
    EXPECT_FALSE(ODFormula::isCoefficientCharacter(','));
    EXPECT_FALSE(ODFormula::isCoefficientCharacter('e'));
}

TEST(ODFormula, StatementLine) {
    ODFormula formula;
    EXPECT_EQ(formula.statementLine(), "Using no OD-formula: CalcOD = OD");
    formula.enabled = true;
    formula.name = "Biomass";
    formula.a1 = "0";
    formula.a2 = "0.5";
    formula.a3 = "1";
    formula.a4 = "-0.02";
    EXPECT_EQ(formula.statementLine(),
              QString::fromUtf8("Using OD-formula: Biomass = 0X³+ 0.5X²+ 1X+ -0.02"));
}

TEST_F(FormulaProfile, LoadedAndStoredThroughTheProfile) {
    const ODFormula fresh = ODFormula::loadFromProfile();
    EXPECT_FALSE(fresh.enabled);
    EXPECT_EQ(fresh.name, "CalcOD");
    EXPECT_EQ(fresh.a3, "1");

    TempDirectory::writeFile(store() + "/Bare.ini", "[Options]\nNewOD=1\n[Calculation]\na1=abc\n");
    IniFile::openProfile("Bare", "Nephodar", "Talvessa");
    ODFormula bare = ODFormula::loadFromProfile();
    EXPECT_TRUE(bare.enabled);
    EXPECT_EQ(bare.name, "Not");
    EXPECT_EQ(bare.a1, "0") << "an unreadable a1 is 0";
    EXPECT_EQ(bare.a3, "0");
    EXPECT_EQ(bare.calcOd(1.7), 0.0) << "a3 of 0: CalcOD 0 unless the user changes it";

    bare.name = "Cells";
    bare.a2 = "0.25";
    bare.storeToProfile();
    const ODFormula again = ODFormula::loadFromProfile();
    EXPECT_EQ(again.name, "Cells");
    EXPECT_EQ(again.a2, "0.25");
    EXPECT_TRUE(again.enabled);
}

// A name with a blank at its end is stored without it, and the six keys go together: a
// coefficient the profile refuses leaves the formula stored before whole.
TEST_F(FormulaProfile, StoredTrimmedAndAllOrNone) {
    ODFormula formula;
    formula.enabled = true;
    formula.name = "Turbidity ";
    formula.a3 = "2";
    formula.storeToProfile();
    EXPECT_EQ(ODFormula::loadFromProfile().name, "Turbidity");

    ODFormula refused = formula;
    refused.enabled = false;
    refused.a3 = "5";
    refused.a4 = QString(3000, '1');
    EXPECT_THROW(refused.storeToProfile(), std::runtime_error);
    const ODFormula kept = ODFormula::loadFromProfile();
    EXPECT_TRUE(kept.enabled);
    EXPECT_EQ(kept.a3, "2");
    EXPECT_EQ(kept.a4, "0");
}

TEST_F(FormulaProfile, AnalogOutputCodes) {
    IniFile::getIniFile().writeInteger("AnalogOut", "DACresolution", 4095);
    IniFile::getIniFile().writeInteger("AnalogOut", "LIVEmin", 819);
    AnalogOutput output;
    const struct {
        bool live;
        double calcOd;
        const char* fullScale;
        int code, high, low;
    } cases[] = {
        {true, 0.0, "10.0", 819, 3, 51},     {true, 5.0, "10.0", 2457, 9, 153},
        {true, 10.0, "10.0", 4095, 15, 255}, {true, 12.0, "10.0", 4095, 15, 255},
        {false, 5.0, "10.0", 2048, 8, 0},    {false, 0.0, "10.0", 0, 0, 0},
        {true, -3.0, "10.0", 819, 3, 51},    {true, 0.0, "0", 4095, 15, 255},
        {true, 7.5, "0.0", 4095, 15, 255},   {false, 5.0, " 5.0", 4095, 15, 255},
        {false, 5.0, "  .", 4095, 15, 255}, // unreadable: the last valid full scale, 5.0
        {false, 2.5, "xx", 2048, 8, 0},
    };
    for (const auto& c : cases) {
        output.live = c.live;
        const auto result = output.compute(c.calcOd, c.fullScale);
        EXPECT_EQ(result.code, c.code) << c.calcOd << " " << c.fullScale;
        EXPECT_EQ(result.highByte, c.high);
        EXPECT_EQ(result.lowByte, c.low);
    }
}
