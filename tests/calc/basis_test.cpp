#include <gtest/gtest.h>

#include <cmath>

#include "app/phase_selection.hpp"
#include "calc/basis.hpp"
#include "common/selection_harness.hpp"

using core::StatusCode;
using selection_test::SelectionRun;

namespace {

// The phases chosen, compacted, and the basis chosen.
core::Status basisOf(SelectionRun& r, std::initializer_list<std::pair<const char*, int>> codes) {
    r.choose(codes);
    if (core::Status s = r.compact(); !s) return s;
    core::Status s = calc::chooseBasis(*r.system, *r.phases, *r.sel);
    for (const std::string& line : s.message) r.streams.writeLine(6, line);
    return s;
}

// Checked independently of the basis search: every phase's coordinates
// times the rows of the basis (a basis phase's composition, or the unit row
// of the position's element) give back the phase's composition in every
// element column, and a basis phase's coordinates are its unit vector.
void expectCoordinatesReproduceCompositions(const SelectionRun& r) {
    const calc::Basis& b = r.sel->basis;
    const auto& S = r.system->stoichiometry;
    for (int i = 0; i < r.phases->count; ++i) {
        for (int e = 0; e < r.system->elementCount; ++e) {
            double sum = 0;
            for (int k = 0; k < b.componentCount; ++k) {
                const int p = b.phase[static_cast<std::size_t>(k)];
                const double row = p >= 0 ? S[static_cast<std::size_t>(p)][static_cast<std::size_t>(e)]
                                          : (b.element[static_cast<std::size_t>(k)] == e ? 1.0 : 0.0);
                sum += b.coords[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] * row;
            }
            EXPECT_NEAR(sum, S[static_cast<std::size_t>(i)][static_cast<std::size_t>(e)], 1e-9)
                << (*r.phases)[i].name << " element " << r.system->elementSymbols[static_cast<std::size_t>(e)];
        }
    }
    for (int k = 0; k < b.componentCount; ++k) {
        const int p = b.phase[static_cast<std::size_t>(k)];
        if (p < 0) continue;
        for (int j = 0; j < b.componentCount; ++j)
            EXPECT_EQ(b.coords[static_cast<std::size_t>(p)][static_cast<std::size_t>(j)], j == k ? 1.0 : 0.0);
    }
}

int basisPhases(const calc::Basis& b) {
    int n = 0;
    for (int k = 0; k < b.componentCount; ++k) n += b.phase[static_cast<std::size_t>(k)] >= 0;
    return n;
}

}  // namespace

TEST(Basis, AluminosilicatesQuartzCorundumSpanTwoOfThreeElements) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    ASSERT_TRUE(basisOf(r, {{"KYANITE", 0}, {"ANDALUSITE", 0}, {"SILLIMANITE", 0}, {"QUARTZ", 0}, {"CORUNDUM", 0}}).ok());
    const calc::Basis& b = r.sel->basis;
    EXPECT_EQ(b.componentCount, 3);
    EXPECT_EQ(b.unitRowCount, 1);
    EXPECT_EQ(basisPhases(b), 2);
    expectCoordinatesReproduceCompositions(r);
    // Corundum = an aluminosilicate - quartz whatever pair was chosen.
    EXPECT_TRUE(r.out.empty());
}

TEST(Basis, PotassiumAluminosilicateSystemHasRankFourOfFive) {
    SelectionRun r;
    ASSERT_TRUE(r.load("K AL SI O H"));
    ASSERT_TRUE(basisOf(r, {{"ANDALUSITE", 0}, {"KYANITE", 0}, {"SILLIMANITE", 0}, {"QUARTZ", 0},
                            {"MUSCOVITE", 0}, {"K-FELDSPAR", 0}, {"WATER", 0}})
                    .ok());
    const calc::Basis& b = r.sel->basis;
    EXPECT_EQ(b.componentCount, 5);
    EXPECT_EQ(b.unitRowCount, 1);
    EXPECT_EQ(basisPhases(b), 4);
    expectCoordinatesReproduceCompositions(r);
}

TEST(Basis, ElementInNoSelectedPhaseIsNotAComponent) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O MG"));
    ASSERT_TRUE(basisOf(r, {{"KYANITE", 0}, {"QUARTZ", 0}, {"CORUNDUM", 0}}).ok());
    const calc::Basis& b = r.sel->basis;
    EXPECT_EQ(b.componentCount, 3);
    const int mg = r.system->find("MG");
    ASSERT_GE(mg, 0);
    for (int k = 0; k < b.componentCount; ++k) EXPECT_NE(b.element[static_cast<std::size_t>(k)], mg);
    expectCoordinatesReproduceCompositions(r);
}

TEST(Basis, AxisAndProjectionPhasesComeFirst) {
    SelectionRun r;
    ASSERT_TRUE(r.load("K AL SI O H"));
    r.choose({{"KYANITE", 0}, {"QUARTZ", 3}, {"MUSCOVITE", 0}, {"K-FELDSPAR", 0}, {"WATER", 3}});
    ASSERT_TRUE(r.compact().ok());
    r.sel->hasXAxis = true;
    r.sel->xAxis.memberCount = 1;
    r.sel->xAxis.phase[0] = r.index("MUSCOVITE");
    ASSERT_TRUE(calc::chooseBasis(*r.system, *r.phases, *r.sel).ok());
    const calc::Basis& b = r.sel->basis;
    EXPECT_EQ(b.phase[0], r.index("MUSCOVITE"));
    EXPECT_EQ(b.phase[1], r.index("QUARTZ"));  // projection phases in list order
    EXPECT_EQ(b.phase[2], r.index("WATER"));
    EXPECT_EQ(basisPhases(b), 4);
    expectCoordinatesReproduceCompositions(r);
}

TEST(Basis, ProjectionPhaseWithoutTheFirstElementIsStillPlaced) {
    // Hydrogen gas has no oxygen, the first component: it takes the position
    // of hydrogen instead of being refused.
    SelectionRun r;
    ASSERT_TRUE(r.load("K AL SI O H"));
    ASSERT_TRUE(basisOf(r, {{"QUARTZ", 0}, {"MUSCOVITE", 0}, {"K-FELDSPAR", 0}, {"WATER", 0}, {"HYDROGEN GAS", 3}}).ok());
    EXPECT_EQ(r.sel->basis.phase[0], r.index("HYDROGEN GAS"));
    expectCoordinatesReproduceCompositions(r);
}

TEST(Basis, TwoProjectionPhasesOfOneCompositionAreImpossible) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    core::Status s = basisOf(r, {{"COESITE", 3}, {"QUARTZ", 3}, {"SILLIMANITE", 0}});
    EXPECT_EQ(s.code, StatusCode::Stop);
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), "IMPOSSIBLE PROJECTION!     SEE USER MANUAL  ");
}

TEST(Basis, DependentProjectionPhaseGivesWayToThePhaseBeforeIt) {
    // Kyanite stands before quartz in the list and takes its place.
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    ASSERT_TRUE(basisOf(r, {{"COESITE", 3}, {"KYANITE", 0}, {"QUARTZ", 3}, {"SILLIMANITE", 0}}).ok());
    const calc::Basis& b = r.sel->basis;
    EXPECT_EQ(b.phase[0], r.index("COESITE"));
    EXPECT_EQ(b.phase[1], r.index("KYANITE"));
    expectCoordinatesReproduceCompositions(r);
}
