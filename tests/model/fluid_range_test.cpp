// Fluid routines at the edges of their range: the loop of the modified
// Redlich-Kwong isotherm of water-rich fluids below 413 C, and the events by
// which every fluid routine (and a phase energy that is not finite) tells
// where it gives no usable value.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "bundled_phases.hpp"
#include "common/evaluation_context.hpp"
#include "model/fluids.hpp"
#include "model/gibbs.hpp"
#include "model/range_events.hpp"

namespace {

using model::RangeSource;

constexpr double kKelvin = 273.149993896484375;

// P(V) of the modified Redlich-Kwong equation, written out independently.
double mrkPressure(const model::MrkParameters& m, double V, double T) {
    const double y = m.b / (4 * V);
    return 83.14 * T * (1 + y + y * y - y * y * y) / (V * std::pow(1 - y, 3)) -
           (m.c + m.d / V + m.e / (V * V)) / (std::sqrt(T) * V * (V + m.b));
}

// ---------------------------------------------------------------------------
// The loop of water-rich fluids

TEST(KerrickJacobsLoop, VolumesAreRootsAndTheStableRootIsTheOneOfLowestEnergy) {
    const double T = 373.9 + kKelvin;
    const model::MrkParameters w = model::KerrickJacobsH2O(T);
    // At 100 bar the tabulated start (15) lies on the liquid side of a loop
    // whose liquid branch has ended (its minimum is near 132 bar): Newton
    // used to stop at 30 cm3/mol, where the equation gives some 350 bar.
    const model::MrkFluid f = model::MrkPureH2O(100.0, T);
    EXPECT_NEAR(mrkPressure(w, f.V, T) / 100.0, 1.0, 1e-3);
    EXPECT_GT(f.V, 300.0);
    EXPECT_TRUE(f.usable);

    // At 360 C and 100 bar both roots exist: the published search keeps
    // the liquid-like one it starts on, the stable volume is the vapour.
    const double T2 = 360.0 + kKelvin;
    const model::MrkParameters w2 = model::KerrickJacobsH2O(T2);
    const double liquid = model::MrkVolume(100.0, T2, w2, 15.0);
    const double stable = model::MrkStableVolume(100.0, T2, w2, 15.0);
    for (double V : {liquid, stable}) EXPECT_NEAR(mrkPressure(w2, V, T2) / 100.0, 1.0, 1e-3) << V;
    EXPECT_LT(liquid, 40.0);
    EXPECT_GT(stable, 300.0);
    EXPECT_LT(model::MrkLnPhi(100.0, T2, w2, stable), model::MrkLnPhi(100.0, T2, w2, liquid));
    // Where the search's root is the stable one it is returned unchanged.
    EXPECT_EQ(model::MrkStableVolume(2000.0, 600.0 + kKelvin, w2, 22.0),
              model::MrkVolume(2000.0, 600.0 + kKelvin, w2, 22.0));
}

TEST(KerrickJacobsLoop, AboveItsTemperatureAndPressureTheSearchFindsTheStableRoot) {
    // The mixture takes the stable root only below 415 C and 500 bar; beyond
    // them the published search must already end on it, for every
    // composition (mixing rules of Kerrick and Jacobs restated here).
    auto mixture = [](double T, double x) {
        const model::MrkParameters w = model::KerrickJacobsH2O(T), c = model::KerrickJacobsCO2(T);
        auto rule = [x](double kw, double kc) {
            return (1 - x) * (1 - x) * kw + 2 * x * (1 - x) * std::sqrt(kw * kc) + x * x * kc;
        };
        return model::MrkParameters{29.0 * (1 - x) + 58.0 * x, rule(w.c, c.c), rule(w.d, c.d), rule(w.e, c.e)};
    };
    int checked = 0;
    for (double x : {0.0, 0.001, 0.01, 0.05, 0.1, 0.2, 0.5, 0.9})
        for (double t = 325.0; t <= 1050.0; t += t < 420.0 ? 1.0 : 10.0)
            for (double P : {1.0, 10.0, 50.0, 100.0, 150.0, 200.0, 250.0, 287.0, 300.0, 400.0, 500.0, 700.0, 1000.0,
                             2000.0, 5000.0, 10000.0}) {
                if (t < 415.0 && P < 500.0) continue;
                const double T = t + kKelvin;
                const double start = x * model::MrkPureCO2(P, T).V + (1 - x) * model::MrkPureH2O(P, T).V;
                const model::MrkParameters m = mixture(T, x);
                EXPECT_EQ(model::MrkStableVolume(P, T, m, start), model::MrkVolume(P, T, m, start))
                    << "x " << x << " t " << t << " P " << P;
                ++checked;
            }
    EXPECT_GT(checked, 5000);
}

TEST(KerrickJacobsLoop, ActivitiesStayPhysicalAndChangeSmoothlyExceptWhereTheFluidBoils) {
    // 325-420 C, 50-300 bar, XCO2 up to 0.1: the region where the loop of
    // water's isotherm lies (it closes at about 413 C and 287 bar).  Along
    // every isobar, in steps of 0.25 C:
    //  - every state is usable, 0 < a_CO2 <= 1 and 0 < a_H2O <= 1.2 (above 1
    //    only where the single-phase mixture is vapour-like while pure water
    //    is liquid: inside the equation's two-phase field);
    //  - the mixture's own energy, sum x_i ln phi_i, never jumps;
    //  - the activity factors change little from step to step, except where
    //    the mixture or pure water changes phase (its volume changes by more
    //    than a tenth in one step: the fluid boils, or nearly so close to its
    //    critical point), which happens at most twice on an isobar.
    int failures = 0;
    auto fail = [&failures](const std::string& what) {
        if (++failures <= 10) ADD_FAILURE() << what;
    };
    for (double x : {0.001, 0.01, 0.03, 0.1})
        for (double P = 50.0; P <= 300.0; P += 5.0) {
            std::optional<model::MixedKJ> prev;
            double prevVw = 0;
            int phaseChanges = 0;
            for (double t = 325.0; t <= 420.0; t += 0.25) {
                const double T = t + kKelvin;
                const model::MixedKJ m = model::MixedFluidKJ(P, T, x);
                const double Vw = model::MrkStableVolume(P, T, model::KerrickJacobsH2O(T), m.VH2O);
                const std::string at = "x " + std::to_string(x) + " P " + std::to_string(P) + " t " + std::to_string(t);
                if (!(m.mixUsable && m.h2oUsable && m.co2Usable)) fail(at + ": not usable");
                if (!(m.aCO2 > 0.0 && m.aCO2 <= 1.0)) fail(at + ": a_CO2 " + std::to_string(m.aCO2));
                if (!(m.aH2O > 0.0 && m.aH2O <= 1.2)) fail(at + ": a_H2O " + std::to_string(m.aH2O));
                if (prev) {
                    auto energy = [x](const model::MixedKJ& s) {
                        return x * std::log(s.phiMixCO2) + (1 - x) * std::log(s.phiMixH2O);
                    };
                    if (std::fabs(energy(m) - energy(*prev)) > 0.01) fail(at + ": the mixture's energy jumps");
                    const bool phaseChange =
                        std::fabs(std::log(m.volume / prev->volume)) > 0.1 || std::fabs(std::log(Vw / prevVw)) > 0.1;
                    phaseChanges += phaseChange ? 1 : 0;
                    if (!phaseChange && (std::fabs(std::log(m.aH2O / prev->aH2O)) > 0.02 ||
                                         std::fabs(std::log(m.aCO2 / prev->aCO2)) > 0.2))
                        fail(at + ": activity factors jump from " + std::to_string(prev->aH2O) + ", " +
                             std::to_string(prev->aCO2) + " to " + std::to_string(m.aH2O) + ", " +
                             std::to_string(m.aCO2));
                }
                prev = m;
                prevVw = Vw;
            }
            if (phaseChanges > 2) fail("x " + std::to_string(x) + " P " + std::to_string(P) + ": " +
                                       std::to_string(phaseChanges) + " changes of phase");
        }
    EXPECT_EQ(failures, 0);
}

// ---------------------------------------------------------------------------
// Range events

struct RangeCase {
    const char* name;
    int kind, mixing, water, co2;
    double t, P, xCO2;
    std::optional<RangeSource> expected;  // none: the value is usable
};

TEST(FluidRangeEvents, EachRoutineReportsWhereItGivesNoUsableValue) {
    const std::vector<RangeCase> cases = {
        {"Holland-Powell H2O below 100 bar", 1, 1, 3, 1, 600, 99, 0, RangeSource::HollandPowellH2O},
        {"Holland-Powell H2O at 100 bar", 1, 1, 3, 1, 600, 100, 0, std::nullopt},
        {"Holland-Powell CO2 at 20 bar", 2, 1, 1, 3, 600, 20, 1, RangeSource::HollandPowellCO2},
        {"Kerrick-Jacobs CO2 held at ln phi 100", 2, 1, 1, 2, 25, 200000, 1, RangeSource::KerrickJacobsCO2},
        {"Kerrick-Jacobs H2O without a root", 1, 1, 2, 1, 25, 200000, 0, RangeSource::KerrickJacobsH2O},
        {"Redlich-Kwong sulfur gas, no usable root", 5, 1, 1, 1, 1000, 50000, 0, RangeSource::RedlichKwongS2},
        {"Haar water at 0 bar", 1, 1, 1, 1, 600, 0, 0, RangeSource::HaarWater},
        {"Kerrick-Jacobs mixing inside the loop", 2, 1, 1, 1, 373.9, 100, 0.01, std::nullopt},
        {"Kovan-Tessel CO2", 2, 1, 1, 1, 600, 2000, 1, std::nullopt},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        model::RangeEvents events;
        testsupport::EvaluationContext ctx;
        ctx.events = &events;
        ctx.fluidCache.warn = [](std::string_view) {};
        ctx.point.t = c.t;
        ctx.point.P = c.P;
        ctx.point.fluid = model::FluidModelChoice{c.mixing, c.water, c.co2};
        ctx.point.otherGases = true;
        if (c.kind <= 2) {
            ctx.point.x[model::kWater] = 1.0 - c.xCO2;
            ctx.point.x[model::kCarbonDioxide] = c.xCO2;
        } else {
            ctx.point.x[static_cast<std::size_t>(c.kind)] = 1.0;
        }
        const model::FluidState s = model::FluidProperties(ctx, ctx.point, c.kind, 0);
        EXPECT_TRUE(std::isfinite(s.phi) && std::isfinite(s.activity));  // a value all the same
        if (!c.expected) {
            EXPECT_TRUE(s.usable);
            EXPECT_EQ(events.count(), 0);
            continue;
        }
        EXPECT_FALSE(s.usable);
        ASSERT_EQ(events.firstCount(), 1);
        EXPECT_EQ(events.first(0).source, *c.expected);
        EXPECT_EQ(events.first(0).t, c.t);
        EXPECT_EQ(events.first(0).P, c.P);
        // Every use counts; only the first is kept.
        model::FluidProperties(ctx, ctx.point, c.kind, 0);
        EXPECT_EQ(events.count(), 2);
        EXPECT_EQ(events.firstCount(), 1);
    }
}

TEST(FluidRangeEvents, CollectorKeepsTheFirstOfEachRoutineAndPhaseInOrder) {
    model::RangeEvents events;
    events.report({RangeSource::HollandPowellH2O, 600, 20});
    events.report({RangeSource::HollandPowellH2O, 500, 10});
    events.report({RangeSource::PhaseEnergy, 700, 1000, 3});
    events.report({RangeSource::PhaseEnergy, 710, 1000, 3});
    events.report({RangeSource::PhaseEnergy, 720, 1000, 4});
    events.report({RangeSource::KovanTesselCO2, 800, 5});
    EXPECT_EQ(events.count(), 6);
    ASSERT_EQ(events.firstCount(), 4);
    EXPECT_EQ(events.first(0).t, 600);
    EXPECT_EQ(events.first(1).phase, 3);
    EXPECT_EQ(events.first(2).phase, 4);
    EXPECT_EQ(events.first(3).source, RangeSource::KovanTesselCO2);
    EXPECT_EQ(model::describeRangeEvent(events.first(0), nullptr),
              "Holland and Powell (89) fugacity polynomial for H2O used outside its range (usable from 100 bar up), "
              "first at 600 C and 20 bar");
    const auto& table = props_test::bundledPhases();
    const model::RangeEvent quartz{RangeSource::PhaseEnergy, 650.5, 2000, props_test::phaseIndex(table, "QUARTZ")};
    EXPECT_EQ(model::describeRangeEvent(quartz, &table),
              "Gibbs energy of QUARTZ (Qz) is not a finite number, first at 650.5 C and 2000 bar: check its values "
              "in the database");
    events.clear();
    EXPECT_EQ(events.count(), 0);
    EXPECT_EQ(events.firstCount(), 0);
}

TEST(FluidRangeEvents, EnergiesThatAreNotFiniteNameTheirPhase) {
    // Brucite with an entropy near the largest number: finite in the file,
    // but T S overflows.
    model::PhaseTable table = props_test::bundledPhases();
    const int brc = props_test::phaseIndex(table, "BRUCITE");
    const int per = props_test::phaseIndex(table, "PERICLASE");
    const int water = props_test::phaseIndex(table, "WATER");
    table[brc].S = 1.7e308;
    model::RangeEvents events;
    testsupport::EvaluationContext ctx = props_test::contextAt(600, 1000);
    ctx.table = &table;
    ctx.events = &events;
    EXPECT_FALSE(std::isfinite(model::PhaseGibbs(ctx, ctx.point, brc, ctx.reaction)));
    EXPECT_TRUE(std::isfinite(model::PhaseGibbs(ctx, ctx.point, per, ctx.reaction)));
    ASSERT_EQ(events.firstCount(), 1);
    EXPECT_EQ(events.first(0).phase, brc);

    events.clear();
    std::array<double, model::kMaxPhases> c{};
    c[static_cast<std::size_t>(brc)] = -1;
    c[static_cast<std::size_t>(per)] = 1;
    c[static_cast<std::size_t>(water)] = 1;
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    ctx.reaction = &rx;
    EXPECT_FALSE(std::isfinite(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction)));
    ASSERT_EQ(events.firstCount(), 1);
    EXPECT_EQ(events.first(0).source, RangeSource::PhaseEnergy);
    EXPECT_EQ(events.first(0).phase, brc);
}

}  // namespace
