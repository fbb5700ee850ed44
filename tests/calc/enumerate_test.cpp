// Enumeration rules: the count shown to the user, whole-number coefficients,
// the include-in-all-reactions rule, pruned assemblages, the reaction list
// and the progress percentage.
#include <cmath>

#include <gtest/gtest.h>

#include "calc/pruned.hpp"
#include "common/enumerate_fixtures.hpp"

namespace enumerate_test {
namespace {

using calc::EnumerateReactions;
using calc::EnumerationOptions;
using calc::EnumerationResult;
using calc::possibleReactionCount;
using calc::PrunedAssemblageList;
using calc::RationalizeCoefficients;

TEST(PossibleReactionCount, SumOverNumbersOfNonBasisPhasesCapped) {
    EXPECT_EQ(possibleReactionCount(5, 3, 0), 2 + 3);   // M = 2: binom(2,1) + binom(2,2) binom(3,1)
    EXPECT_EQ(possibleReactionCount(10, 3, 2), 7 + 21 * 3);  // kmax = 3 + 1 - 2
    EXPECT_EQ(possibleReactionCount(20, 6, 0), 14 + 91 * 6 + 364 * 15 + 1001 * 20 + 2002 * 15 + 3003 * 6 + 3432);
    EXPECT_EQ(possibleReactionCount(3, 3, 0), 0.0);
    EXPECT_EQ(possibleReactionCount(100, 15, 0), 200000000.0);
}

TEST(RationalizeCoefficients, ScalesTheWholeVectorToWholeNumbers) {
    double c[] = {0.5, 1.5, 0.0};
    RationalizeCoefficients(c, 3, 1e-5);
    EXPECT_EQ(c[0], 1.0);
    EXPECT_EQ(c[1], 3.0);
    double d[] = {-1.0, 1.0 / 3.0, 0.5, 2.0 / 7.0};
    RationalizeCoefficients(d, 4, 1e-5);
    EXPECT_NEAR(d[0], -42.0, 1e-9);
    EXPECT_NEAR(d[3], 12.0, 1e-9);
    // Below the tolerance: only scaled; close to whole: not scaled.
    double e[] = {-0.25, 2e-6, 2.000001};
    RationalizeCoefficients(e, 3, 1e-5);
    EXPECT_NEAR(e[1], 8e-6, 1e-18);
    EXPECT_EQ(e[2], 4 * 2.000001);
    // An irrational value ends after a bounded expansion.
    double f[] = {std::sqrt(2.0), 1.0};
    RationalizeCoefficients(f, 2, 1e-5);
    EXPECT_NEAR(f[0] / f[1], std::sqrt(2.0), 2e-5);
}

// Components x, y, z: A + B = R, and A + P = B + Q with A and B on opposite sides.
TEST(EnumeratePruned, AssemblageIsSkippedWhicheverSideItStandsOn) {
    auto set = madeUpPhases({{1, 0, 0}, {0, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}}, {"A", "B", "P", "Q", "R"});
    // A and B outside the basis (the subset is skipped as a whole), and A in it.
    for (const std::vector<int>& pref : std::vector<std::vector<int>>{{2, 3, 4}, {0, 2, 3}}) {
        const calc::PhaseSelection sel = selectionFor(*set, pref);
        int sameSide = 0, opposite = 0, without = 0;
        for (const Row& r : enumerate(set->table, sel)) {
            if (r[0] == 0.0 || r[1] == 0.0) ++without;
            else ++(r[0] * r[1] > 0 ? sameSide : opposite);
        }
        EXPECT_EQ(sameSide, 1);
        EXPECT_EQ(opposite, 1);
        PrunedAssemblageList pruned;
        calc::addPrunedAssemblage(pruned, std::vector<int>{0, 1});
        const std::vector<Row> kept = enumerate(set->table, sel, &pruned);
        EXPECT_EQ(kept.size(), static_cast<std::size_t>(without));
        for (const Row& r : kept) EXPECT_TRUE(r[0] == 0.0 || r[1] == 0.0) << describe(r);
    }
}

TEST(EnumerateIncludeAll, MarkedPhaseOutsideTheBasisTakesPartInEveryReaction) {
    auto set = bundledPhases("K AL SI O H", {"And", "Ky", "Sil", "Qz", "Ms", "Kfs", "H2O"});
    ASSERT_NE(set, nullptr);
    calc::PhaseSelection sel = selectionFor(*set, {0, 3, 4, 5});  // H2O outside the basis
    sel.allReactionsCount = 1;
    sel.allReactions[0] = 6;
    const std::vector<Row> got = enumerate(set->table, sel);
    ASSERT_EQ(got.size(), 3u);  // the muscovite reactions; no polymorph transition
    for (const Row& r : got) EXPECT_NE(r[6], 0.0);
}

TEST(EnumerateCounts, EveryCombinationExaminedProgressFallsAndSinkStatusEnds) {
    auto set = bundledPhases("K AL SI O H", {"And", "Ky", "Sil", "Qz", "Ms", "Kfs", "H2O"});
    ASSERT_NE(set, nullptr);
    const calc::PhaseSelection sel = selectionFor(*set);
    PrunedAssemblageList pruned;
    EnumerationResult result;
    io::Streams streams;
    std::vector<int> percents;
    ASSERT_TRUE(EnumerateReactions(set->table, sel, pruned, EnumerationOptions{}, streams, nullptr,
                                   [&](int p) { percents.push_back(p); }, result));
    // Four phases fill the basis: three non-basis phases, five components.
    EXPECT_EQ(result.possible, possibleReactionCount(3 + 5, 5, 0));
    EXPECT_EQ(static_cast<double>(result.examined), result.possible);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 0);
    for (std::size_t i = 1; i < percents.size(); ++i) EXPECT_LT(percents[i], percents[i - 1]);

    int calls = 0;
    const core::Status s = EnumerateReactions(
        set->table, sel, pruned, EnumerationOptions{}, streams,
        [&](calc::Reaction&) { return ++calls == 2 ? core::Status::quit() : core::Status::success(); },
        nullptr, result);
    EXPECT_EQ(s.code, core::StatusCode::Quit);
    EXPECT_EQ(calls, 2);
}

TEST(EnumerateList, OneRecordPerReactionThirtyToALine) {
    // One component, 35 phases: every pair is a reaction.
    std::vector<Row> comp;
    for (int i = 0; i < 35; ++i) comp.push_back({static_cast<double>(i % 5 + 1)});
    auto set = madeUpPhases(comp);
    PrunedAssemblageList pruned;
    EnumerationResult result;
    io::Streams streams;
    EnumerationOptions options;
    options.listMode = true;
    ASSERT_TRUE(EnumerateReactions(set->table, selectionFor(*set), pruned, options, streams,
                                   [](calc::Reaction&) { return core::Status::quit(); }, nullptr, result));
    EXPECT_EQ(result.found, 35 * 34 / 2);  // list mode hands nothing to the sink

    ASSERT_TRUE(streams.rewind(options.listUnit));
    std::string first, second, line;
    ASSERT_TRUE(streams.read_line(options.listUnit, first).done());
    ASSERT_TRUE(streams.read_line(options.listUnit, second).done());
    EXPECT_EQ(first.size(), 300u);
    EXPECT_EQ(second.size(), 50u);
    EXPECT_EQ(first.substr(0, 30), "     2.000    -1.000     0.000");  // P2 = 2 P1
    long lines = 2;
    while (streams.read_line(options.listUnit, line).done()) ++lines;
    EXPECT_EQ(lines, 2 * result.found);

    // 1000000 P1 = P2 does not fit ten columns: it is written a hundredth as large.
    auto wide = madeUpPhases({{1}, {1000000}});
    ASSERT_TRUE(EnumerateReactions(wide->table, selectionFor(*wide), pruned, options, streams, nullptr, nullptr,
                                   result));
    ASSERT_TRUE(streams.rewind(options.listUnit));
    ASSERT_TRUE(streams.read_line(options.listUnit, line).done());
    EXPECT_EQ(line, " 10000.000    -0.010");
}

}  // namespace
}  // namespace enumerate_test
