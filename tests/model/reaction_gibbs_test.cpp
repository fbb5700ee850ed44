// The reaction form of the Gibbs energy: its sums, its agreement with the
// phase-by-phase form, the beta-quartz rule and the fluid terms.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bundled_phases.hpp"
#include "common/evaluation_context.hpp"

namespace {

using namespace props_test;

// Coefficients (products positive) of a reaction named phase by phase.
std::array<double, model::kMaxPhases> coefficients(const std::vector<std::pair<const char*, double>>& terms) {
    std::array<double, model::kMaxPhases> c{};
    for (const auto& [name, value] : terms) {
        const int i = phaseIndex(bundledPhases(), name);
        EXPECT_GE(i, 0) << name;
        if (i >= 0) c[static_cast<std::size_t>(i)] = value;
    }
    return c;
}

double sumOfPhases(testsupport::EvaluationContext ctx, const model::ReactionTerms& rx) {
    double g = 0;
    for (int j = 0; j < rx.count; ++j) g += rx.coef[static_cast<std::size_t>(j)] * model::PhaseGibbs(ctx, ctx.point, rx.phase[static_cast<std::size_t>(j)], ctx.reaction);
    return g;
}

const std::vector<std::vector<std::pair<const char*, double>>>& mineralReactions() {
    static const std::vector<std::vector<std::pair<const char*, double>>> r = {
        {{"KYANITE", -1}, {"SILLIMANITE", 1}},
        {{"GROSSULAR", -1}, {"KYANITE", -2}, {"QUARTZ", -1}, {"ANORTHITE", 3}},
        {{"ALBITE", -1}, {"JADEITE", 1}, {"QUARTZ", 1}},
        {{"K-FELDSPAR", -1}, {"HIGH-SANIDINE", 1}},
        {{"GEHLENITE", -1}, {"QUARTZ", -2}, {"ANORTHITE", 1}, {"WOLLASTONITE", 1}},
        {{"DOLOMITE", -1}, {"CALCITE", 1}, {"MAGNESITE", 1}},
        {{"AKERMANITE", -1}, {"DIOPSIDE", 1}, {"LIME", 1}},
        // The invariant holds for any coefficient vector, balanced or not.
        {{"HEMATITE", -6}, {"MAGNETITE", 4}, {"ANDALUSITE", 0.0005}},
    };
    return r;
}

// ---------------------------------------------------------------------------

TEST(MakeReactionTerms, SumsOfDatabaseValuesAndParticipants) {
    const auto& table = bundledPhases();
    const auto c = coefficients({{"GROSSULAR", -1}, {"KYANITE", -2}, {"QUARTZ", -1}, {"ANORTHITE", 3}, {"CORUNDUM", 0.001}});
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    ASSERT_EQ(rx.count, 4);  // corundum's 0.001 does not take part
    for (int j = 1; j < rx.count; ++j) EXPECT_LT(rx.phase[j - 1], rx.phase[j]);  // load order
    // Values of the ST, C1 and V1 lines of the bundled file.
    EXPECT_NEAR(rx.dH, 3 * -4228730.0 - -6632859.0 - 2 * -2594220.0 - -910700.0, 1e-6);
    EXPECT_NEAR(rx.dS, 3 * 200.186 - 255.15 - 2 * 82.43 - 41.46, 1e-9);
    EXPECT_NEAR(rx.dV0, 3 * 10.075 - 12.538 - 2 * 4.412 - 2.269, 1e-9);
    EXPECT_NEAR(rx.dK[0], 3 * 439.37 - 573.43 - 2 * 262.68 - 80.01, 1e-9);
    EXPECT_NEAR(rx.dK[3], 3 * -317020000.0 - 2319310000.0 - 2 * -63180000.0 - 491570000.0, 1e-3);
    EXPECT_EQ(rx.all[static_cast<std::size_t>(phaseIndex(table, "CORUNDUM"))], 0.0);
    EXPECT_EQ(rx.all[static_cast<std::size_t>(phaseIndex(table, "KYANITE"))], -2.0);
    for (double k : rx.kindCoef) EXPECT_EQ(k, 0.0);
}

TEST(MakeReactionTerms, ExcludedPhasesTakePartOutsideTheSumsAndFluidsSumByKind) {
    const auto& table = bundledPhases();
    const auto c = coefficients({{"CALCITE", -1}, {"QUARTZ", -1}, {"WOLLASTONITE", 1}, {"CARBON DIOXIDE", 1}});
    const int quartz = phaseIndex(table, "QUARTZ");
    model::ReactionTerms all, axis;
    model::makeReactionTerms(table, c.data(), all);
    model::makeReactionTerms(table, c.data(), axis, &quartz, 1);
    EXPECT_EQ(axis.count, 4);
    EXPECT_NEAR(axis.dH - all.dH, -910700.0, 1e-6);  // quartz's -1 x H left out
    EXPECT_NEAR(axis.dS - all.dS, 41.46, 1e-9);
    EXPECT_EQ(all.kindCoef[model::kCarbonDioxide], 1.0);
    EXPECT_EQ(all.kindCoef[model::kWater], 0.0);
}

TEST(ReactionGibbs, EqualsTheSumOverPhasesForMineralReactions) {
    const auto& table = bundledPhases();
    int points = 0;
    for (const auto& terms : mineralReactions()) {
        const auto c = coefficients(terms);
        model::ReactionTerms rx;
        model::makeReactionTerms(table, c.data(), rx);
        for (double T = 300.0; T <= 1600.0; T += 65.0) {
            for (double P : {1.0, 500.0, 2000.0, 7500.0, 15000.0, 25000.0}) {
                if (T > 848.0 + 0.023743 * (P - 1) - 1e-3 && T < 848.0 + 0.023743 * (P - 1) + 1e-3) continue;
                const bool betaQuartz = T > 848.0 + 0.023743 * (P - 1);
                bool hasQuartz = false;
                for (int j = 0; j < rx.count; ++j) hasQuartz = hasQuartz || table[rx.phase[j]].isQuartz;
                if (hasQuartz && betaQuartz) continue;  // the reaction form switches to beta-quartz
                testsupport::EvaluationContext ctx = contextAt(celsiusForReaction(T), P);
                ctx.reaction = &rx;
                const double g = model::ReactionGibbs(ctx, ctx.point, *ctx.reaction);
                // The two forms differ only by the kelvin offset (single against double 273.15).
                EXPECT_NEAR(g, sumOfPhases(ctx, rx), 0.01) << terms[0].first << " at " << T << " K " << P;
                ++points;
            }
        }
    }
    EXPECT_GT(points, 500);
}

// Alpha-quartz's lambda term at 1 bar, integrated numerically.
double quartzLambdaAtOneBar(double T) {
    const double l1 = -0.09187, l2 = 0.00024607;
    const double top = std::min(T, 848.0);
    const auto cp = [&](double u) { return u * (l1 + l2 * u) * (l1 + l2 * u); };
    const double h = simpson(cp, 373.0, top, 4000);
    const double s = simpson([&](double u) { return cp(u) / u; }, 373.0, top, 4000);
    return h - T * s;  // no first-order step (HTRANS 0)
}

TEST(ReactionGibbs, BetaQuartzJustAbove848KAtOneBar) {
    const auto& table = bundledPhases();
    const auto c = coefficients({{"GROSSULAR", -1}, {"KYANITE", -2}, {"QUARTZ", -1}, {"ANORTHITE", 3}});
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    for (double T : {847.999, 848.0}) {
        testsupport::EvaluationContext ctx = contextAt(celsiusForReaction(T), 1.0);
        ctx.reaction = &rx;
        EXPECT_NEAR(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction), sumOfPhases(ctx, rx), 0.01) << T;
    }
    // Above the line quartz is alpha-quartz without its lambda term plus the
    // beta-quartz increments; at 1 bar no volume term is left.
    for (double T : {848.001, 900.0, 1100.0}) {
        testsupport::EvaluationContext ctx = contextAt(celsiusForReaction(T), 1.0);
        ctx.reaction = &rx;
        const double beta = 2073.179931640625 - T * 2.746799945831299 - quartzLambdaAtOneBar(T);
        EXPECT_NEAR(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction) - sumOfPhases(ctx, rx), -1.0 * beta, 0.01) << T;
    }
}

TEST(ReactionGibbs, BetaQuartzLineAt1001Bar) {
    const auto& table = bundledPhases();
    const auto c = coefficients({{"ALBITE", -1}, {"JADEITE", 1}, {"QUARTZ", 1}});
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    testsupport::EvaluationContext ctx = contextAt(celsiusForReaction(871.7429), 1001.0);
    ctx.reaction = &rx;
    EXPECT_NEAR(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction), sumOfPhases(ctx, rx), 0.01);
    ctx.point.t = celsiusForReaction(871.7431);
    EXPECT_GT(std::fabs(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction) - sumOfPhases(ctx, rx)), 1.0);
}

TEST(ReactionGibbs, BetaQuartzVolumeTerms) {
    // Above the line, quartz's whole pressure dependence is V0 + 0.101 J/bar
    // with the beta-quartz compressibility terms.
    const auto& table = bundledPhases();
    const auto c = coefficients({{"QUARTZ", 1}});
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    const double T = 1300.0;
    testsupport::EvaluationContext ctx = contextAt(celsiusForReaction(T), 1.0);
    ctx.reaction = &rx;
    const double at1 = model::ReactionGibbs(ctx, ctx.point, *ctx.reaction);
    for (double P : {2000.0, 10000.0}) {
        ctx.point.P = P;
        const auto volume = [](double p) {
            return 2.269 + 0.10100000351667404 + -1.2382599834381836e-06 * (p - 1) + 7.087099788083905e-16 * (p - 1) * (p - 1);
        };
        EXPECT_NEAR(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction) - at1, simpson(volume, 1.0, P, 100), 1e-6) << P;
    }
}

TEST(ReactionGibbs, MissingFluidSpeciesStaysInAtTraceActivity) {
    const auto& table = bundledPhases();
    const auto c = coefficients({{"CALCITE", -1}, {"QUARTZ", -1}, {"WOLLASTONITE", 1}, {"CARBON DIOXIDE", 1}});
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    const double T = 800.0, P = 2000.0;
    testsupport::EvaluationContext ctx = contextAt(celsiusForReaction(T), P);
    ctx.reaction = &rx;
    ctx.point.x[model::kWater] = 0.0;
    ctx.point.x[model::kCarbonDioxide] = 1.0;
    const double pure = model::ReactionGibbs(ctx, ctx.point, *ctx.reaction);
    ctx.point.x[model::kWater] = 1.0;
    ctx.point.x[model::kCarbonDioxide] = 0.0;
    const double none = model::ReactionGibbs(ctx, ctx.point, *ctx.reaction);
    EXPECT_NEAR(none - pure, 8.3143 * T * std::log(1.0000000031710769e-30), 1e-6);
}

TEST(ReactionGibbs, GasesAtFixedFugacityAgreeWithThePhaseForm) {
    const auto& table = bundledPhases();
    const auto c = coefficients({{"HEMATITE", -6}, {"MAGNETITE", 4}, {"OXYGEN GAS", 1}});
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    ASSERT_EQ(rx.kindCoef[model::kOxygenGas], 1.0);
    auto local = std::make_unique<model::PhaseTable>(table);
    for (bool otherGases : {false, true}) {
        for (double T : {700.0, 1000.0}) {
            testsupport::EvaluationContext ctx = contextAt(celsiusForReaction(T), 3000.0);
            ctx.table = local.get();
            ctx.reaction = &rx;
            ctx.point.otherGases = otherGases;
            ctx.point.x[model::kOxygenGas] = 1.0;
            ctx.point.logActivity[static_cast<std::size_t>(phaseIndex(table, "OXYGEN GAS"))] = -18.0;
            EXPECT_NEAR(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction), sumOfPhases(ctx, rx), 0.01) << otherGases << " " << T;
        }
    }
}

}  // namespace
