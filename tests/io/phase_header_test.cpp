// Phase header lines, formulae and the chemical system from the element line.
#include <gtest/gtest.h>

#include "io/database_harness.hpp"

namespace io {
namespace {

using core::StatusCode;
using testing::Harness;
using testing::quotedLine;

// The element table of the bundled database (34 elements, E at position 31).
class FormulaTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.open(testing::bundledDatabase()));
        ASSERT_TRUE(readElementHeader(h.streams, 3, *h.system).ok());
    }
    double at(const std::array<double, model::kMaxElements>& row, const char* symbol) const {
        return row[static_cast<std::size_t>(h.system->find(symbol))];
    }
    Harness h;
    std::array<double, model::kMaxElements> row{};
};

TEST_F(FormulaTest, ElementHeaderOfTheBundledDatabase) {
    const model::ChemicalSystem& s = *h.system;
    EXPECT_EQ(s.elementCount, 34);
    EXPECT_EQ(s.databaseLabel, "MINERALS 1988");
    EXPECT_EQ(s.elementSymbols[0], "O       ");
    EXPECT_EQ(s.elementSymbols[30], "E       ");
    EXPECT_EQ(s.elementSymbols[33], "PB      ");
    EXPECT_DOUBLE_EQ(s.atomicWeights[1], 28.085);
    EXPECT_DOUBLE_EQ(s.atomicWeights[30], 0.00055);
    EXPECT_DOUBLE_EQ(s.atomicWeights[33], 207.2);
    EXPECT_EQ(s.find("si"), 1);
    EXPECT_EQ(s.find("XX"), -1);
}

TEST_F(FormulaTest, RepeatGroupsMultiplyAndSymbolsSum) {
    ASSERT_TRUE(parseFormula("[SI(1)O(2)](3)", "", *h.system, row, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(at(row, "SI"), 3.0);
    EXPECT_DOUBLE_EQ(at(row, "O"), 6.0);
    ASSERT_TRUE(parseFormula("[SI(1)O(2)](3)O(1)", "", *h.system, row, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(at(row, "SI"), 3.0);
    EXPECT_DOUBLE_EQ(at(row, "O"), 7.0);
    // Decimal multiplier, a second group, case-blind symbols; the row is cleared first.
    ASSERT_TRUE(parseFormula("k(1)[Al(2)](0.5)[o(1)](2)", "", *h.system, row, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(at(row, "K"), 1.0);
    EXPECT_DOUBLE_EQ(at(row, "AL"), 1.0);
    EXPECT_DOUBLE_EQ(at(row, "O"), 2.0);
    EXPECT_DOUBLE_EQ(at(row, "SI"), 0.0);
    // Charges of aqueous species are negative.
    ASSERT_TRUE(parseFormula("O(1)H(1)E(-1)", "", *h.system, row, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(at(row, "E"), -1.0);
    EXPECT_TRUE(h.out.empty());
}

TEST_F(FormulaTest, IntegerAndDecimalCoefficientsAcceptedFractionRefused) {
    ASSERT_TRUE(parseFormula("SI(0.5)O(1)", "", *h.system, row, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(at(row, "SI"), 0.5);
    EXPECT_DOUBLE_EQ(at(row, "O"), 1.0);
    const std::string line = "BAD   SI(1/2)O(1)   Bd";
    core::Status s = parseFormula("SI(1/2)O(1)", line, *h.system, row, h.streams, 6);
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(h.out, (std::vector<std::string>{" ONE OF THE COEFFICIENTS IN A FORMULA HAS NON-NUMERIC SYMBOLS ",
                                               " EMBEDED IN IT.  LINE IN QUESTION IS: ", quotedLine(line)}));
}

TEST_F(FormulaTest, HeaderPartsAndTheirTerminators) {
    PhaseHeader ph;
    ASSERT_TRUE(parsePhaseHeader("  HIGH ALBITE   NA(1)AL(1)SI(3)O(8)   hAb   ", 100, 1, *h.system, ph, h.streams, 6)
                    .ok());
    EXPECT_EQ(ph.name, "HIGH ALBITE         ");  // single blanks belong to the name
    EXPECT_EQ(ph.abbreviation, "hAb     ");
    EXPECT_DOUBLE_EQ(at(ph.coefficients, "NA"), 1.0);
    EXPECT_DOUBLE_EQ(at(ph.coefficients, "O"), 8.0);

    // Mode 0: name and formula; whatever follows is not read.
    ASSERT_TRUE(parsePhaseHeader("SIO2,AQ   SI(1)O(2)   ANYTHING(", 100, 0, *h.system, ph, h.streams, 6).ok());
    EXPECT_EQ(ph.name, "SIO2,AQ             ");
    EXPECT_DOUBLE_EQ(at(ph.coefficients, "SI"), 1.0);
    EXPECT_TRUE(h.out.empty());

    core::Status s = parsePhaseHeader("", 100, 1, *h.system, ph, h.streams, 6);
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(s.field, 1);
    EXPECT_EQ(h.out, (std::vector<std::string>{
                         " ERROR IN THERMODYNAMIC DATA BANK.  LINE IN ERROR IS", quotedLine(""),
                         " IN PARTICULAR, THE ENTIRE LINE IS BLANK THUS THERE IS NO PHASE/SPECIES NAME."}));
}

// --- the element line ---------------------------------------------------------

TEST_F(FormulaTest, SeparatorsAndLetterCaseDoNotMatter) {
    ASSERT_TRUE(setSystemLine(*h.system, "si, al  o", 0, h.streams, 6).ok());
    const auto a = h.system->systemCoefficients;
    EXPECT_EQ(h.system->componentCount, 3);
    ASSERT_TRUE(setSystemLine(*h.system, "SI AL O", 0, h.streams, 6).ok());
    EXPECT_EQ(h.system->systemCoefficients, a);
    EXPECT_EQ(h.system->componentCount, 3);
    EXPECT_DOUBLE_EQ(h.coefficient("AL"), 1.0);
    EXPECT_DOUBLE_EQ(h.coefficient("MG"), 0.0);
    EXPECT_EQ(h.system->systemLine, core::pad("SI AL O", 120));
    // Position of FE in the whole element table until the load compacts it.
    EXPECT_EQ(h.system->indexFe, 5);
}

TEST_F(FormulaTest, FluidDiagramsAddHydrogenOxygenCarbon) {
    ASSERT_TRUE(setSystemLine(*h.system, "SI O", 1, h.streams, 6).ok());
    EXPECT_EQ(h.system->systemLine.substr(0, 11), "H O C  SI O");
    EXPECT_EQ(h.system->systemLine.size(), 120u);
    EXPECT_DOUBLE_EQ(h.coefficient("H"), 1.0);
    EXPECT_DOUBLE_EQ(h.coefficient("O"), 2.0);  // given twice, still one component
    EXPECT_DOUBLE_EQ(h.coefficient("C"), 1.0);
    EXPECT_DOUBLE_EQ(h.coefficient("SI"), 1.0);
    EXPECT_EQ(h.system->componentCount, 4);
}

TEST_F(FormulaTest, ChargeOnlyWithHydrogenAndOxygen) {
    ASSERT_TRUE(setSystemLine(*h.system, "SI O E", 0, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(h.coefficient("E"), 0.0);
    EXPECT_EQ(h.system->componentCount, 2);
    ASSERT_TRUE(setSystemLine(*h.system, "H O E", 0, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(h.coefficient("E"), 1.0);
    EXPECT_EQ(h.system->componentCount, 3);
}

TEST_F(FormulaTest, FifteenComponentsAcceptedSixteenStop) {
    const std::string fifteen = "O SI AL MG FE CA NA K TI H C MN S CL F";
    ASSERT_TRUE(setSystemLine(*h.system, fifteen, 0, h.streams, 6).ok());
    EXPECT_EQ(h.system->componentCount, 15);
    EXPECT_TRUE(h.out.empty());
    core::Status s = setSystemLine(*h.system, fifteen + " P", 0, h.streams, 6);
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(h.out, (std::vector<std::string>{"", "", " *******************************************",
                                               " YOU CHOSE  16 ELEMENTS BUT THE PROGRAM IS",
                                               " DIMENSIONED FOR A MAXIMUM OF  15.  EITHER",
                                               " CHOSE A SIMPLIER SYSTEM OR RECOMPILE THE   ",
                                               " PROGRAM AFTER CHANGING THE MAXCMP PARAMETER",
                                               " *******************************************", "", ""}));
}

TEST_F(FormulaTest, UnknownElementStops) {
    core::Status s = setSystemLine(*h.system, "SI XX", 0, h.streams, 6);
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(h.out, (std::vector<std::string>{" ONE OF THE ELEMENTAL SYMBOLS COULD NOT BE RECOGNIZED.",
                                               "  SYMBOL IN QUESTION IS: XX      ",
                                               " AND IS CONTAINED IN THE LINE: ", quotedLine("SYSTEM   SI(1)XX(1)")}));
}

TEST_F(FormulaTest, SymbolsFarRightAreKeptAndBlankLineIsRefused) {
    std::string line(110, ' ');
    line.replace(0, 2, "SI");
    line.replace(105, 2, "AL");
    ASSERT_TRUE(setSystemLine(*h.system, line, 0, h.streams, 6).ok());
    EXPECT_DOUBLE_EQ(h.coefficient("AL"), 1.0);
    EXPECT_EQ(h.system->componentCount, 2);

    core::Status s = setSystemLine(*h.system, " , ", 0, h.streams, 6);
    EXPECT_EQ(s.code, StatusCode::Error);  // the caller asks again
    EXPECT_TRUE(h.out.empty());
}

TEST(SpecialPhases, NamesSelectTheirRoutines) {
    EXPECT_EQ(model::specialPhaseOf("CALCITESS"), model::SpecialPhase::Calcite);
    EXPECT_EQ(model::specialPhaseOf("Ccss                "), model::SpecialPhase::Calcite);
    EXPECT_EQ(model::specialPhaseOf("ALENSTATITE"), model::SpecialPhase::AlEnstatite);
    EXPECT_EQ(model::specialPhaseOf("FE_CORDIERITE"), model::SpecialPhase::Cordierite);
    EXPECT_EQ(model::specialPhaseOf("hCd"), model::SpecialPhase::HydCordierite);
    EXPECT_EQ(model::specialPhaseOf("PYRRHOTITE3"), model::SpecialPhase::Pyrrhotite);
    EXPECT_EQ(model::specialPhaseOf("CORDIERITEX"), model::SpecialPhase::None);
    EXPECT_EQ(model::specialPhaseOf("calcitess"), model::SpecialPhase::None);
    EXPECT_TRUE(model::isQuartzName("QUARTZ              "));
    EXPECT_TRUE(model::isQuartzName("Qz"));
    EXPECT_FALSE(model::isQuartzName("BETA-QUARTZ"));
}

}  // namespace
}  // namespace io
