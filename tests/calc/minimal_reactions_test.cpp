// The enumeration writes exactly the minimal balanced reactions among the
// phases, whatever the basis: checked against a brute-force search over
// subsets of the phase compositions of the bundled database.
#include <cmath>

#include <gtest/gtest.h>

#include "calc/basis.hpp"
#include "common/enumerate_fixtures.hpp"
#include "core/text.hpp"

namespace enumerate_test {
namespace {

std::vector<Row> normalisedAll(const std::vector<Row>& rows) {
    std::vector<Row> out;
    for (const Row& r : rows) out.push_back(normalised(r));
    return out;
}

// Every basis order given yields the brute-force set.
void expectMinimalReactions(const PhaseSet& set, const std::vector<std::vector<int>>& preferences,
                            std::size_t expectedCount) {
    const std::vector<Row> expected = minimalReactions(set.composition);
    ASSERT_EQ(expected.size(), expectedCount);
    for (const std::vector<int>& pref : preferences) {
        const calc::PhaseSelection sel = selectionFor(set, pref);
        const std::vector<Row> got = normalisedAll(enumerate(set.table, sel));
        std::string why;
        EXPECT_TRUE(sameSets(got, expected, why)) << why << " (basis preference " << describe(Row(pref.begin(), pref.end()))
                                                  << ")";
    }
}

TEST(MinimalReactions, AluminosilicatesQuartzCorundum) {
    // Ky, And, Sil, Qz and Crn span only SiO2-Al2O3 of the three components
    // Si, Al, O: the basis keeps one unit row.
    auto set = bundledPhases("SI AL O", {"Ky", "And", "Sil", "Qz", "Crn"});
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->components, 3);
    ASSERT_EQ(rank(set->composition), 2);
    // Three polymorph transitions and Als = Qz + Crn for each polymorph.
    expectMinimalReactions(*set, {{}, {3, 4}, {4, 3}, {2, 0}, {4, 0}}, 6);

    // Load order of the non-basis phases Ky, And, Sil; products read from the
    // right end of the line, so in reverse load order.
    std::vector<std::string> texts;
    enumerate(set->table, selectionFor(*set, {3, 4}), nullptr, nullptr, &texts);
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(core::rtrim(texts[0]), "Ky = Crn + Qz");
    EXPECT_EQ(core::rtrim(texts[3]), "Ky = And");
}

TEST(MinimalReactions, MuscoviteBreakdownWithAluminosilicates) {
    auto set = bundledPhases("K AL SI O H", {"And", "Ky", "Sil", "Qz", "Ms", "Kfs", "H2O"});
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->components, 5);
    ASSERT_EQ(rank(set->composition), 4);
    // The three polymorph transitions and Ms + Qz = Kfs + Als + H2O for each.
    expectMinimalReactions(*set, {{}, {4, 5, 3, 6}, {6, 5, 4, 3, 2}, {1, 3, 5, 6}}, 6);

    // Coefficients are whole numbers, and every reaction balances.
    for (const Row& c : enumerate(set->table, selectionFor(*set, {4, 5, 3, 6}))) {
        for (double v : c) EXPECT_NEAR(v, std::round(v), 1e-9);
        for (int j = 0; j < set->components; ++j) {
            double s = 0;
            for (int i = 0; i < set->table.count; ++i) s += c[i] * set->composition[i][j];
            EXPECT_NEAR(s, 0.0, 1e-9);
        }
    }
}

TEST(MinimalReactions, TwentyPhasesOfKfmash) {
    auto set = bundledPhases("K FE MG AL SI O H",
                             {"Ms", "Kfs", "Phl", "Ann", "Alm", "Py", "Crd", "Ky", "Sil", "And", "Qz", "En", "Fs",
                              "Fo", "Fa", "Tlc", "Ath", "Clc", "Sp", "H2O"});
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->table.count, 20);
    const std::vector<Row> expected = minimalReactions(set->composition);
    ASSERT_GT(expected.size(), 100u);
    for (const std::vector<int>& pref : std::vector<std::vector<int>>{{}, {10, 19, 0, 5, 4, 18}, {19, 18, 17, 16, 15}}) {
        const std::vector<Row> got = normalisedAll(enumerate(set->table, selectionFor(*set, pref)));
        std::string why;
        EXPECT_TRUE(sameSets(got, expected, why, 1e-5)) << why;
    }
}

TEST(MinimalReactions, WithTheBasisOfThePhaseSelection) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {"SI AL O", {"Ky", "And", "Sil", "Qz", "Crn"}},
        {"K AL SI O H", {"And", "Ky", "Sil", "Qz", "Ms", "Kfs", "H2O"}},
        {"K FE MG AL SI O H", {"Ms", "Kfs", "Phl", "Ann", "Alm", "Py", "Crd", "Ky", "Sil", "And", "Qz", "En",
                               "Fs", "Fo", "Fa", "Tlc", "Ath", "Clc", "Sp", "H2O"}}};
    for (const auto& [elements, phases] : runs) {
        auto set = bundledPhases(elements, phases);
        ASSERT_NE(set, nullptr);
        calc::PhaseSelection sel = selectionFor(*set);
        io::Streams streams;
        ASSERT_TRUE(calc::chooseBasis(*set->system, set->table, sel, streams)) << elements;
        std::string why;
        EXPECT_TRUE(sameSets(normalisedAll(enumerate(set->table, sel)), minimalReactions(set->composition), why,
                             1e-5))
            << elements << ": " << why;
    }
}

TEST(MinimalReactions, OneMorePhaseThanComponentsGivesOneReaction) {
    auto set = madeUpPhases({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}});
    std::vector<Row> got = enumerate(set->table, selectionFor(*set));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Row{1, 2, 3, -1}));

    auto square = madeUpPhases({{1, 0, 0}, {0, 1, 0}, {1, 1, 1}});
    calc::EnumerationResult result;
    EXPECT_TRUE(enumerate(square->table, selectionFor(*square), nullptr, &result).empty());
    EXPECT_EQ(result.found, 0);
    EXPECT_EQ(result.possible, 0.0);
}

TEST(MinimalReactions, PhasesKeptOutOfTheReactionsNeverTakePart) {
    // The last phase is a test-only phase (after the main phases).
    auto set = madeUpPhases({{1, 0}, {0, 1}, {1, 1}, {2, 1}});
    calc::PhaseSelection sel = selectionFor(*set);
    sel.mainCount = 3;
    sel.testCount = 1;
    const std::vector<Row> got = enumerate(set->table, sel);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][3], 0.0);
}

TEST(MinimalReactions, NoReactionUsesAPositionNoPhaseFills) {
    // A basis that leaves P3's component to a unit row: P3 has a coordinate
    // there and so can take part in no reaction.
    auto set = madeUpPhases({{1, 0}, {2, 0}, {0, 1}});
    calc::PhaseSelection sel = selectionFor(*set);
    sel.basis.phase = {};
    sel.basis.phase[0] = 0;
    sel.basis.phase[1] = -1;
    sel.basis.coords[0] = {1, 0};
    sel.basis.coords[1] = {2, 0};
    sel.basis.coords[2] = {0, 1};
    const std::vector<Row> got = enumerate(set->table, sel);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Row{2, -1, 0}));
}

}  // namespace
}  // namespace enumerate_test
