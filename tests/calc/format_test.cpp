// The text form of a reaction, its sums, and the include-in-all-reactions
// rejection.
#include <gtest/gtest.h>

#include "common/enumerate_fixtures.hpp"
#include "core/text.hpp"

namespace enumerate_test {
namespace {

using calc::FormatReaction;
using calc::Reaction;

// Phases A, W (water), B, Cc (carbon dioxide), D, with made-up values.
std::unique_ptr<PhaseSet> mixedSet() {
    auto set = madeUpPhases({{1}, {1}, {1}, {1}, {1}}, {"A", "W", "B", "Cc", "D"});
    set->table[1].kind = model::kWater;
    set->table[3].kind = model::kCarbonDioxide;
    for (int i = 0; i < 5; ++i) {
        set->table[i].H = -1000.0 * (i + 1);
        set->table[i].S = 10.0 * (i + 1);
        set->table[i].V0 = 0.5 * (i + 1);
        set->table[i].K[0] = 100.0 + i;
    }
    return set;
}

Reaction reactionOf(const std::vector<double>& c) {
    Reaction r;
    for (std::size_t i = 0; i < c.size(); ++i) r.coef[i] = c[i];
    return r;
}

calc::PhaseSelection plainSelection(int n, int components) {
    calc::PhaseSelection sel;
    sel.mainCount = n;
    sel.basis.componentCount = components;
    return sel;
}

TEST(FormatReaction, CondensedPhasesPrecedeFluidsOnEachSide) {
    auto set = mixedSet();
    Reaction r = reactionOf({-1.5, -1, 2, 1, 1});
    EXPECT_TRUE(FormatReaction(set->table, plainSelection(5, 4), r));
    EXPECT_EQ(r.text.size(), 120u);
    // Products are placed from the right end: the fluid first, then the
    // condensed phases in load order, each to the left of the one before.
    EXPECT_EQ(core::rtrim(r.text), "1.5 A + W = D + 2 B + Cc");

    Reaction back = reactionOf({1.5, 1, -2, -1, -1});
    FormatReaction(set->table, plainSelection(5, 4), back);
    EXPECT_EQ(core::rtrim(back.text), "2 B + D + Cc = 1.5 A + W");
}

TEST(FormatReaction, CoefficientsWithoutTrailingZeros) {
    auto set = mixedSet();
    Reaction r = reactionOf({-10, -0.25, 2.5, 5e-6, 1.0 / 3.0});  // below 1e-5: not written
    FormatReaction(set->table, plainSelection(5, 4), r);
    EXPECT_EQ(core::rtrim(r.text), "10 A + 0.25 W = 0.333 D + 2.5 B");
    Reaction near = reactionOf({-1.0004, 0, 1, 0, 0});  // written as 1.000: not written
    FormatReaction(set->table, plainSelection(5, 4), near);
    EXPECT_EQ(core::rtrim(near.text), "A = B");
}

TEST(FormatReaction, TextIsCutAt120Characters) {
    std::vector<Row> comp(16, Row{1});
    std::vector<std::string> abbr;
    for (int i = 0; i < 16; ++i) abbr.push_back("Abcdefg" + std::string(1, static_cast<char>('a' + i)));
    auto set = madeUpPhases(comp, abbr);
    std::vector<double> c;
    for (int i = 0; i < 16; ++i) c.push_back(i % 2 ? 12.125 : -12.125);
    Reaction r = reactionOf(c);
    FormatReaction(set->table, plainSelection(16, 15), r);
    ASSERT_EQ(r.text.size(), 120u);
    EXPECT_EQ(r.text.substr(0, 32), "12.125 Abcdefga + 12.125 Abcdefg");
    EXPECT_EQ(r.text.find("  "), std::string::npos);  // blanks reduced, no padding needed
    EXPECT_EQ(r.text.find('='), std::string::npos);     // the products lie beyond the cut
}

TEST(FormatReaction, SumsLeaveOutTheAxisPhases) {
    auto set = mixedSet();
    Reaction r = reactionOf({-1, 0, 2, 0, -1});
    calc::PhaseSelection sel = plainSelection(5, 4);
    FormatReaction(set->table, sel, r);
    EXPECT_DOUBLE_EQ(r.terms.dH, 1000 - 2 * 3000.0 + 5000);
    EXPECT_DOUBLE_EQ(r.terms.dS, -10 + 60.0 - 50);
    EXPECT_DOUBLE_EQ(r.terms.dV0, -0.5 + 3.0 - 2.5);
    EXPECT_DOUBLE_EQ(r.terms.dK[0], -100 + 2 * 102.0 - 104);

    sel.hasXAxis = true;
    sel.xAxis.memberCount = 1;
    sel.xAxis.phase[0] = 4;  // D is the axis phase
    FormatReaction(set->table, sel, r);
    EXPECT_DOUBLE_EQ(r.terms.dH, 1000 - 2 * 3000.0);
    EXPECT_EQ(r.terms.count, 3);  // D still takes part
}

TEST(FormatReaction, IncludeInAllRuleRejectsReactionsTooLarge) {
    auto set = mixedSet();
    calc::PhaseSelection sel = plainSelection(5, 2);  // at most three phases
    sel.allReactionsCount = 1;
    sel.allReactions[0] = 1;  // W
    Reaction twoPhases = reactionOf({-1, 0, 1, 0, 0});
    EXPECT_TRUE(FormatReaction(set->table, sel, twoPhases));  // with W: three
    Reaction threePhases = reactionOf({-1, 0, 1, 0, 1});
    EXPECT_FALSE(FormatReaction(set->table, sel, threePhases));  // with W: four
    Reaction faint = reactionOf({-1, 0.0005, 1, 0, 0});  // W below 0.001 is not in it
    EXPECT_TRUE(FormatReaction(set->table, sel, faint));
}

}  // namespace
}  // namespace enumerate_test
