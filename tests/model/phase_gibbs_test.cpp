// The terms of a phase's Gibbs energy, each against an independent
// evaluation: numerical integration of the heat capacity, the volume, the
// disorder heat capacity and the lambda anomaly, and finite differences of
// the albite Landau free energy.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "bundled_phases.hpp"
#include "common/evaluation_context.hpp"

namespace {

using namespace props_test;
using model::DisorderRecord;
using model::LambdaRecord;
using model::PhaseRecord;
using model::PhaseTable;

constexpr double kTr = 298.15;

// A table holding one hand-made phase.
struct OnePhase {
    std::unique_ptr<PhaseTable> table = std::make_unique<PhaseTable>();
    PhaseRecord& phase() { return (*table)[0]; }
    OnePhase() { table->count = 1; }
    double gibbs(double T, double P) {
        testsupport::EvaluationContext ctx;
        ctx.table = table.get();
        ctx.point.t = celsiusForPhase(T);
        ctx.point.P = P;
        return model::PhaseGibbs(ctx, ctx.point, 0, ctx.reaction);
    }
};

// ---------------------------------------------------------------------------
// Standard state and volume

TEST(PhaseGibbsStandardState, ReferenceConditionsGiveHMinusTrS) {
    OnePhase one;
    PhaseRecord& p = one.phase();
    p.H = -2594220.0;
    p.S = 82.43;
    p.V0 = 4.412;
    p.K = {262.68, -2001.4, -1999700.0, -63180000.0, 0, 0, 0};
    p.V = {0, 1.0e-4, 0, -2.85e-4, 0, 0, 0, 0};
    EXPECT_NEAR(one.gibbs(kTr, 1.0), p.H - kTr * p.S, 1e-6);
}

TEST(PhaseGibbsStandardState, HeatCapacityIntegralsOfAllSevenTerms) {
    OnePhase one;
    PhaseRecord& p = one.phase();
    p.H = -1.0e6;
    p.S = 100.0;
    p.K = {150.0, -1500.0, -2.0e6, 3.0e8, 500.0, 0.02, -5.0e-6};
    const auto cp = [&](double T) {
        return p.K[0] + p.K[1] / std::sqrt(T) + p.K[2] / (T * T) + p.K[3] / (T * T * T) + p.K[4] / T + p.K[5] * T +
               p.K[6] * T * T;
    };
    for (double T : {300.0, 473.15, 800.0, 1234.5, 1600.0}) {
        const double h = simpson(cp, kTr, T);
        const double s = simpson([&](double u) { return cp(u) / u; }, kTr, T);
        EXPECT_NEAR(one.gibbs(T, 1.0), p.H - T * p.S + h - T * s, 1e-6) << T;
    }
}

TEST(PhaseGibbsStandardState, VolumeIntegralOverPressure) {
    OnePhase one;
    PhaseRecord& p = one.phase();
    p.V0 = 2.5;
    p.V = {0, 5.0e-5, 1.0e-8, -3.0e-6, 1.0e-11, 0, 0, 0};
    for (double T : {kTr, 700.0, 1300.0}) {
        const double dT = T - kTr;
        const auto volume = [&](double P) {
            return p.V0 + p.V[1] * dT + p.V[2] * dT * dT + p.V[3] * (P - 1) + p.V[4] * (P - 1) * (P - 1);
        };
        EXPECT_NEAR(one.gibbs(T, 1.0), 0.0, 1e-9) << T;
        for (double P : {2.0, 5000.0, 20000.0})
            EXPECT_NEAR(one.gibbs(T, P), simpson(volume, 1.0, P, 200), 1e-6) << T << " K " << P << " bar";
    }
}

// ---------------------------------------------------------------------------
// Disorder (heat-capacity integral)

double numericalDisorder(const DisorderRecord& d, double P, double T) {
    if (T < d.TMIN) return 0.0;
    const double top = std::min(T, d.TMAX);
    const auto cp = [&](double u) {
        return d.D[0] + d.D[1] / std::sqrt(u) + d.D[2] / (u * u) + d.D[4] / u + d.D[5] * u + d.D[6] * u * u;
    };
    const double h = simpson(cp, d.TMIN, top, 4000);
    const double s = simpson([&](double u) { return cp(u) / u; }, d.TMIN, top, 4000);
    return h - T * s + (P - 1) * (d.VDIS != 0 ? h / d.VDIS : 0.0);
}

TEST(DisorderGibbs, FeldsparMatchesIntegratedHeatCapacity) {
    const auto& table = bundledPhases();
    const int kfs = phaseIndex(table, "K-FELDSPAR");
    ASSERT_GE(kfs, 0);
    ASSERT_GT(table[kfs].disorder, 0);
    const DisorderRecord& d = table.disorderOf(table[kfs]);
    ASSERT_DOUBLE_EQ(d.TMAX, 1436.0);
    for (double T : {298.0, 600.0, 1000.0, 1436.0})
        for (double P : {1.0, 5000.0, 20000.0})
            EXPECT_NEAR(model::DisorderGibbs(d, P, T), numericalDisorder(d, P, T), 1e-5) << T << " K " << P;
}

TEST(DisorderGibbs, AboveTmaxEntropyStillTimesActualTemperature) {
    const auto& table = bundledPhases();
    const DisorderRecord& d = table.disorderOf(table[phaseIndex(table, "K-FELDSPAR")]);
    const double atTop = model::DisorderGibbs(d, 1.0, d.TMAX);
    for (double T : {1500.0, 1800.0}) {
        const double g = model::DisorderGibbs(d, 1.0, T);
        EXPECT_NEAR(g, numericalDisorder(d, 1.0, T), 1e-5);
        // Above TMAX H and S are frozen: G falls by S_dis for every kelvin.
        const double s = simpson(
            [&](double u) {
                return (d.D[0] + d.D[1] / std::sqrt(u) + d.D[2] / (u * u) + d.D[5] * u + d.D[6] * u * u) / u;
            },
            d.TMIN, d.TMAX, 4000);
        EXPECT_NEAR(g - atTop, -(T - d.TMAX) * s, 1e-5);
    }
}

TEST(DisorderGibbs, EveryHeatCapacityTermAndD3Ignored) {
    DisorderRecord d;
    d.D = {120.0, -900.0, 2.0e6, 7.0e7, -3000.0, 0.004, -2.0e-6};  // D3 is carried only
    d.TMIN = 350.0;
    d.TMAX = 1300.0;
    d.VDIS = 250000.0;
    for (double T : {400.0, 900.0, 1300.0, 1700.0})
        for (double P : {1.0, 12000.0})
            EXPECT_NEAR(model::DisorderGibbs(d, P, T), numericalDisorder(d, P, T), 1e-5) << T << " K " << P;
    // Nothing below TMIN.
    EXPECT_EQ(model::DisorderGibbs(d, 1.0, 349.99), 0.0);
    EXPECT_EQ(model::DisorderGibbs(d, 8000.0, 300.0), 0.0);
}

TEST(DisorderGibbs, ZeroDivisorMeansNoVolumeTerm) {
    const auto& table = bundledPhases();
    const DisorderRecord& d = table.disorderOf(table[phaseIndex(table, "DOLOMITE")]);
    ASSERT_EQ(d.VDIS, 0.0);
    EXPECT_EQ(model::DisorderGibbs(d, 20000.0, 1000.0), model::DisorderGibbs(d, 1.0, 1000.0));
    EXPECT_NEAR(model::DisorderGibbs(d, 1.0, 1000.0), numericalDisorder(d, 1.0, 1000.0), 1e-5);
}

// ---------------------------------------------------------------------------
// Albite ordering (Landau model)

struct Landau {
    double T;
    double operator()(double Q, double Qod) const {
        const double lam = -2.171 - 3.043 * T - 0.001569 * T * T + 2.109e-6 * T * T * T;
        return 0.5 * 5.479 * (T - 1251) * Q * Q + 0.25 * 6854 * std::pow(Q, 4) + 0.5 * 41.62 * (T - 824.1) * Qod * Qod -
               0.25 * 9301 * std::pow(Qod, 4) + 43600.0 / 6.0 * std::pow(Qod, 6) + lam * Q * Qod;
    }
};

constexpr double kStep = 1e-6;

double dG_dQ(const Landau& g, double Q, double Qod) { return (g(Q + kStep, Qod) - g(Q - kStep, Qod)) / (2 * kStep); }
double dG_dQod(const Landau& g, double Q, double Qod) {
    return (g(Q, Qod + kStep) - g(Q, Qod - kStep)) / (2 * kStep);
}
// Qod making dG/dQ vanish at Q (dG/dQ is linear in Qod).
double orderAt(const Landau& g, double Q) {
    const double at0 = dG_dQ(g, Q, 0.0), at1 = dG_dQ(g, Q, 1.0);
    return -at0 / (at1 - at0);
}
double residual(const Landau& g, double Q) { return dG_dQod(g, Q, orderAt(g, Q)); }

DisorderRecord albiteRecord() {
    DisorderRecord d;  // D0 = D1 = 0 selects the ordering model
    d.TMIN = 298.0;
    d.TMAX = 1400.0;
    return d;
}

TEST(AlbiteOrdering, NoneAtAndAbove1290K) {
    const DisorderRecord d = albiteRecord();
    for (double T : {1290.0, 1290.5, 1400.0, 2000.0}) {
        EXPECT_EQ(model::DisorderGibbs(d, 1.0, T), 0.0) << T;
        EXPECT_EQ(model::DisorderGibbs(d, 10000.0, T), 0.0) << T;
    }
}

TEST(AlbiteOrdering, NegativeBelowAndContinuousAt1290K) {
    const DisorderRecord d = albiteRecord();
    for (double T : {300.0, 500.0, 700.0, 824.0, 900.0, 1000.0, 1099.0, 1100.0, 1200.0, 1280.0})
        EXPECT_LT(model::DisorderGibbs(d, 1.0, T), 0.0) << T;
    EXPECT_NEAR(model::DisorderGibbs(d, 1.0, 1289.99), 0.0, 1e-3);
    EXPECT_NEAR(model::DisorderGibbs(d, 1.0, 1289.0), 0.0, 1e-2);
    // Ordering weakens towards the transition.
    EXPECT_LT(model::DisorderGibbs(d, 1.0, 1000.0), model::DisorderGibbs(d, 1.0, 1200.0));
    EXPECT_LT(model::DisorderGibbs(d, 1.0, 1200.0), model::DisorderGibbs(d, 1.0, 1280.0));
}

TEST(AlbiteOrdering, FinalOrderIsAStationaryPointOfTheLandauEnergy) {
    for (double T : {300.0, 500.0, 700.0, 824.0, 900.0, 1000.0, 1099.0, 1100.0, 1200.0, 1250.0, 1280.0}) {
        const model::AlbiteOrder o = model::albiteOrdering(T);
        const Landau g{T};
        EXPECT_LE(o.evaluations, 31) << T;
        EXPECT_GT(o.Q, 0.0) << T;
        // Qod follows Q through dG/dQ = 0.
        EXPECT_NEAR(o.Qod, orderAt(g, o.Q), 1e-6) << T;
        // dG/dQod changes sign within the search's resolution around Q.
        const double delta = 3e-4;
        EXPECT_LE(residual(g, o.Q - delta) * residual(g, o.Q + delta), 0.0) << T;
        // Energy and entropy of the final state.
        EXPECT_NEAR(o.G, g(o.Q, o.Qod), 1e-6) << T;
        const Landau up{T + 1e-3}, down{T - 1e-3};
        const double S = -(up(o.Q, o.Qod) - down(o.Q, o.Qod)) / 2e-3;
        EXPECT_NEAR(o.S, S, 1e-4) << T;
        // The term added: G, and a volume term from the enthalpy G + T S.
        EXPECT_NEAR(model::DisorderGibbs(albiteRecord(), 1.0, T), o.G, 1e-9) << T;
        EXPECT_NEAR(model::DisorderGibbs(albiteRecord(), 10001.0, T), o.G + 10000.0 * (o.G + T * S) / 335282.925, 1e-3);
    }
}

// ---------------------------------------------------------------------------
// Lambda transitions

// Independent lambda term: the anomaly Cp = T (l1 + l2 T)^2 shifted along the
// transition line, integrated numerically.
double numericalLambda(const LambdaRecord& L, double P, double T) {
    const double Tl = L.TTRAN + L.SLOPE * (P - 1);
    const double d = L.TTRAN - Tl;
    const double lower = L.TREF - d;
    const double top = std::min(T, Tl);
    double h = 0, s = 0;
    if (top + d >= 298.15) {
        const auto cp = [&](double u) {
            const double w = u + d;
            return w * (L.ASPIKE + L.BSPIKE * w) * (L.ASPIKE + L.BSPIKE * w);
        };
        h = simpson(cp, lower, top, 4000);
        s = simpson([&](double u) { return cp(u) / u; }, lower, top, 4000);
    }
    double g = h - top * s;
    if (T > Tl) g -= (T - Tl) * (L.HTRANS / L.TTRAN + s);
    return g + 0.5 * (P - 1) * (P - 1) * L.DVDP + (P - 1) * L.DVDT * (top - 298.15);
}

TEST(LambdaGibbs, MagnetiteAtOneBarIncludingTheFirstOrderStep) {
    const auto& table = bundledPhases();
    const PhaseRecord& mag = table[phaseIndex(table, "MAGNETITE")];
    ASSERT_GT(mag.lambda[0], 0);
    const LambdaRecord& L = table.lambda(mag.lambda[0]);
    ASSERT_DOUBLE_EQ(L.HTRANS, 1565.0);
    for (double T : {298.15, 600.0, 848.0, 900.0, 1400.0})
        EXPECT_NEAR(model::LambdaGibbs(table, mag, 1.0, T), numericalLambda(L, 1.0, T), 1e-5) << T;
    // Above the transition (at 1 bar at TTRAN) the step adds -(T - TTRAN) HTRANS / TTRAN.
    const double at = model::LambdaGibbs(table, mag, 1.0, 848.0);
    const double above = model::LambdaGibbs(table, mag, 1.0, 1000.0);
    const double s = simpson([&](double u) { return (L.ASPIKE + L.BSPIKE * u) * (L.ASPIKE + L.BSPIKE * u); },
                             L.TREF, L.TTRAN, 4000);
    EXPECT_NEAR(above - at, -(1000.0 - 848.0) * (1565.0 / 848.0 + s), 1e-5);
}

TEST(LambdaGibbs, QuartzTransitionMovesWithPressure) {
    const auto& table = bundledPhases();
    const PhaseRecord& qz = table[phaseIndex(table, "QUARTZ")];
    const LambdaRecord& L = table.lambda(qz.lambda[0]);
    ASSERT_DOUBLE_EQ(L.SLOPE, 0.0237);
    for (double P : {1.0, 2001.0, 5001.0, 10001.0})
        for (double T : {500.0, 800.0, 900.0, 1000.0, 1200.0, 1500.0})
            EXPECT_NEAR(model::LambdaGibbs(table, qz, P, T), numericalLambda(L, P, T), 1e-5) << T << " K " << P;
    // Below 298.15 K on the 1-bar scale the anomaly contributes nothing.
    EXPECT_EQ(model::LambdaGibbs(table, qz, 10001.0, 400.0), 0.0);
}

TEST(LambdaGibbs, VolumeTermsOfTheTransition) {
    auto table = std::make_unique<PhaseTable>();
    table->count = 1;
    table->lambdaCount = 1;
    LambdaRecord& L = table->lambdas[0];
    L.ASPIKE = -0.1;
    L.BSPIKE = 0.0002;
    L.TTRAN = 800.0;
    L.TREF = 400.0;
    L.SLOPE = 0.01;
    L.DVDT = 1e-4;
    L.DVDP = -2e-6;
    L.HTRANS = 300.0;
    PhaseRecord& p = (*table)[0];
    p.lambda = {1, 0, 0};
    for (double P : {1.0, 3000.0, 15000.0})
        for (double T : {700.0, 850.0, 1100.0})
            EXPECT_NEAR(model::LambdaGibbs(*table, p, P, T), numericalLambda(L, P, T), 1e-5) << T << " K " << P;
    // Two records are summed.
    table->lambdaCount = 2;
    table->lambdas[1] = L;
    p.lambda = {1, 0, 2};
    EXPECT_NEAR(model::LambdaGibbs(*table, p, 3000.0, 850.0), 2 * numericalLambda(L, 3000.0, 850.0), 1e-5);
}

// ---------------------------------------------------------------------------
// Fluid species in PhaseGibbs

TEST(PhaseGibbsFluids, SpeciesBelowTheMoleFractionLimitIsAbsent) {
    const auto& table = bundledPhases();
    const int water = phaseIndex(table, "WATER");
    ASSERT_GE(water, 0);
    testsupport::EvaluationContext ctx = contextAt(500.0, 2000.0);
    ctx.point.x[1] = 1e-10;
    EXPECT_LT(model::PhaseGibbs(ctx, ctx.point, water, ctx.reaction), 0.0);
    ctx.point.x[1] = 0.99999e-10;
    EXPECT_EQ(model::PhaseGibbs(ctx, ctx.point, water, ctx.reaction), 1000000.0);
}

TEST(PhaseGibbsFluids, OtherGasesAreFluidSpeciesOnlyWhenSwitchedOn) {
    const auto& table = bundledPhases();
    const int oxygen = phaseIndex(table, "OXYGEN GAS");
    ASSERT_GE(oxygen, 0);
    ASSERT_EQ(table[oxygen].kind, model::kOxygenGas);
    testsupport::EvaluationContext ctx = contextAt(500.0, 2000.0);
    ctx.point.otherGases = false;
    EXPECT_LT(model::PhaseGibbs(ctx, ctx.point, oxygen, ctx.reaction), 0.0);  // a gas at its fixed fugacity
    ctx.point.otherGases = true;
    EXPECT_EQ(model::PhaseGibbs(ctx, ctx.point, oxygen, ctx.reaction), 1000000.0);  // none in the fluid
}

}  // namespace
