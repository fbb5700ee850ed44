// The fluid terms of the phase and reaction Gibbs energies with the real
// water, CO2 and mixing routines: the form of each term against reference
// fugacity coefficients and water energies, the agreement of the reaction
// form with the phase form for fluid-bearing reactions under every routine,
// finite values over the whole P-T range, and two classic devolatilisation
// equilibria of the bundled database.
#include <gtest/gtest.h>

#include "common/bundled_db.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bundled_phases.hpp"
#include "common/evaluation_context.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"

namespace {

using namespace props_test;

constexpr double R = 8.3143;
// 273.15 in double precision minus its single-precision value: the reaction
// form works at T + kKelvinGap against the phase form's T.
constexpr double kKelvinGap = 273.15 - model::kKelvinSingle;

// The bundled phases loaded for the Haar water routine: water's database
// values are cleared, its whole Gibbs energy comes from the equation of state.
const model::PhaseTable& haarPhases() {
    static const std::unique_ptr<model::PhaseTable> table =
        std::move(testsupport::loadBundled("SI AL MG FE CA NA K TI H C O", 1).table);
    return *table;
}

// A context on `table` at (t C, P bar) with the given fluid and routines;
// CO2 warnings are swallowed.
testsupport::EvaluationContext contextOn(const model::PhaseTable& table, double t, double P, double xCO2, int water = 1,
                              int co2 = 1, int mixing = 1) {
    testsupport::EvaluationContext ctx = contextAt(t, P);
    ctx.table = &table;
    ctx.point.x.fill(0.0);
    ctx.point.x[model::kWater] = 1.0 - xCO2;
    ctx.point.x[model::kCarbonDioxide] = xCO2;
    ctx.point.fluid.water = water;
    ctx.point.fluid.co2 = co2;
    ctx.point.fluid.mixing = mixing;
    ctx.fluidCache.warn = [](std::string_view) {};
    return ctx;
}

int indexOf(const model::PhaseTable& table, const char* name) {
    const int i = phaseIndex(table, name);
    EXPECT_GE(i, 0) << name;
    return i;
}

// G of a phase at (t, P) with the context's settings.
double gibbsAt(testsupport::EvaluationContext ctx, int phase) { return model::PhaseGibbs(ctx, ctx.point, phase, ctx.reaction); }

// The standard-state part of a gas (no volume terms): H - T S plus the heat
// capacity integrals, by numerical integration.
double gasStandardState(const model::PhaseRecord& p, double T) {
    const auto cp = [&](double u) {
        return p.K[0] + p.K[1] / std::sqrt(u) + p.K[2] / (u * u) + p.K[3] / (u * u * u) + p.K[4] / u + p.K[5] * u +
               p.K[6] * u * u;
    };
    return p.H - T * p.S + simpson(cp, 298.15, T, 4000) - T * simpson([&](double u) { return cp(u) / u; }, 298.15, T, 4000);
}

// ---------------------------------------------------------------------------
// The fluid term of PhaseGibbs

// Rows of tests/fixtures/model/water-reference-values.csv (WaterGibbsHaar,
// J/mol, of the program's restricted Haar equation, computed independently).
struct WaterRow {
    double t, P, G;
};
const WaterRow kWaterRows[] = {
    {25, 1, -306675.0059},       {300, 500, -332392.2182},   {500, 2000, -354580.1777},
    {700, 10000, -365112.3387},  {1000, 1000, -440953.1679}, {300, 15000, -307202.8125},
};

TEST(FluidGibbs, WaterUnderHaarIsTheWaterEnergyPlusRTLnA) {
    const auto& table = haarPhases();
    const int water = indexOf(table, "WATER");
    ASSERT_EQ(table[water].H, 0.0);  // cleared by the loader under the Haar routine
    for (const WaterRow& row : kWaterRows) {
        // The reference is at t + 273.15 exactly; the phase form's 6e-6 K
        // lower temperature moves G by less than 0.01 J/mol.
        EXPECT_NEAR(gibbsAt(contextOn(table, row.t, row.P, 0.0), water), row.G, 0.06) << row.t << " " << row.P;
    }
    // In an ideal mixture the activity is the mole fraction.
    const double pure = gibbsAt(contextOn(table, 500, 2000, 0.0), water);
    const double T = 500 + model::kKelvinSingle;
    EXPECT_NEAR(gibbsAt(contextOn(table, 500, 2000, 0.4, 1, 1, 2), water) - pure, R * T * std::log(0.6), 1e-6);
}

// Rows of tests/fixtures/model/fluid-reference-values.csv (columns phi and
// activity; computed independently with the same equations).
struct FluidRow {
    const char* species;
    int water, co2, mixing;
    double t, P, xCO2, phi, activity;
    double relative;  // tolerance suggested with the reference for phi times activity
};
const FluidRow kFluidRows[] = {
    {"WATER", 2, 1, 1, 500, 1000, 0, 0.45342613751174876, 1.0, 1e-4},          // KJ81_pure water2
    {"WATER", 3, 1, 1, 500, 1000, 0, 0.4309140496275136, 1.0, 1e-6},           // HP_poly water3
    {"CARBON DIOXIDE", 1, 1, 1, 600, 5000, 1, 5.514113888347613, 1.0, 1e-4},   // KT91_CO2 co2_1
    {"CARBON DIOXIDE", 1, 2, 1, 600, 5000, 1, 6.132677982013399, 1.0, 1e-4},   // KJ81_pure co2_2
    {"CARBON DIOXIDE", 1, 3, 1, 600, 5000, 1, 6.0166266954314, 1.0, 1e-6},     // HP_poly co2_3
    {"WATER", 2, 2, 1, 600, 2000, 0.5, 0.5259615483799437, 0.595263544521903, 1e-4},           // KJ81_mix
    {"CARBON DIOXIDE", 2, 2, 1, 600, 2000, 0.5, 1.8590868356367611, 0.5377538985033141, 1e-4},  // KJ81_mix
};

TEST(FluidGibbs, OtherRoutinesUseRTLnPhiPA) {
    const auto& table = bundledPhases();
    for (const FluidRow& row : kFluidRows) {
        const int i = indexOf(table, row.species);
        const double T = row.t + model::kKelvinSingle;
        const double G = gibbsAt(contextOn(table, row.t, row.P, row.xCO2, row.water, row.co2, row.mixing), i);
        const double expected = gasStandardState(table[i], T) + R * T * std::log(row.phi * row.P * row.activity);
        EXPECT_NEAR(G, expected, R * T * row.relative + 1e-3) << row.species << " " << row.water << row.co2 << row.mixing;
    }
}

TEST(FluidGibbs, HaarWaterInAMixtureTakesTheMixingActivity) {
    // Holland and Powell (1990) activities at 600 C, xCO2 0.3, either side of
    // 1500 bar (fluid-reference-values.csv, HP90_mix rows), and the
    // Kerrick-Jacobs mixture at 600 C, 2000 bar, xCO2 0.5 (KJ81_mix).
    const auto& table = haarPhases();
    const int water = indexOf(table, "WATER");
    const double T = 600 + model::kKelvinSingle;
    struct Case {
        double P, x;
        int mixing;
        double a;
    } cases[] = {{1499, 0.3, 3, 0.5853697658338691}, {1500, 0.3, 3, 0.7100581085863337}, {2000, 0.5, 1, 0.595263544521903}};
    for (const Case& c : cases) {
        const double pure = gibbsAt(contextOn(table, 600, c.P, 0.0), water);
        const double mixed = gibbsAt(contextOn(table, 600, c.P, c.x, 1, 2, c.mixing), water);
        EXPECT_NEAR(mixed - pure, R * T * std::log(c.a), R * T * 1e-4) << c.P << " " << c.mixing;
    }
}

TEST(FluidGibbs, MoleFractionLimitOfTheAbsentSpecies) {
    const auto& table = bundledPhases();
    const int water = indexOf(table, "WATER"), co2 = indexOf(table, "CARBON DIOXIDE");
    const double below = std::nextafter(1e-10, 0.0);
    const double T = 600 + model::kKelvinSingle;
    for (int routine = 1; routine <= 3; ++routine) {
        // Ideal mixing: the activity factor is the mole fraction itself.
        const double pureCO2 = gibbsAt(contextOn(table, 600, 3000, 1.0, routine, routine, 2), co2);
        const double traceCO2 = gibbsAt(contextOn(table, 600, 3000, 1e-10, routine, routine, 2), co2);
        EXPECT_NEAR(traceCO2 - pureCO2, R * T * std::log(1e-10), 1e-6) << routine;
        EXPECT_EQ(gibbsAt(contextOn(table, 600, 3000, below, routine, routine, 2), co2), 1000000.0) << routine;

        const double pureH2O = gibbsAt(contextOn(table, 600, 3000, 0.0, routine, routine, 2), water);
        const double traceH2O = gibbsAt(contextOn(table, 600, 3000, 1.0 - 1e-10, routine, routine, 2), water);
        // The water fraction is 1 - (1 - 1e-10), 1e-10 to within the rounding of 1 - 1e-10.
        EXPECT_NEAR(traceH2O - pureH2O, R * T * std::log(1.0 - (1.0 - 1e-10)), 1e-6) << routine;
        testsupport::EvaluationContext absent = contextOn(table, 600, 3000, 1.0, routine, routine, 2);
        absent.point.x[model::kWater] = below;
        EXPECT_EQ(gibbsAt(absent, water), 1000000.0) << routine;
        absent.point.x[model::kWater] = 1e-10;
        EXPECT_LT(gibbsAt(absent, water), 0.0) << routine;
    }
}

// ---------------------------------------------------------------------------
// Reaction form against phase form

using Terms = std::vector<std::pair<const char*, double>>;
const Terms kMuscoviteOut = {{"MUSCOVITE", -1}, {"QUARTZ", -1}, {"K-FELDSPAR", 1}, {"SILLIMANITE", 1}, {"WATER", 1}};
const Terms kWollastonite = {{"CALCITE", -1}, {"QUARTZ", -1}, {"WOLLASTONITE", 1}, {"CARBON DIOXIDE", 1}};

model::ReactionTerms reactionOf(const model::PhaseTable& table, const Terms& terms, bool withoutQuartz = false) {
    std::array<double, model::kMaxPhases> c{};
    for (const auto& [name, value] : terms) {
        if (withoutQuartz && std::string(name) == "QUARTZ") continue;
        c[static_cast<std::size_t>(indexOf(table, name))] = value;
    }
    model::ReactionTerms rx;
    model::makeReactionTerms(table, c.data(), rx);
    return rx;
}

// Sum of c times PhaseGibbs, and the bound on its difference from
// ReactionGibbs set by the reaction form's temperature being higher by
// kKelvinGap.  A condensed phase's term moves by the gap times its slope.  A
// fluid's R T ln(phi P a) is formed at the higher T while phi and a stay at
// the lower one, so its share moves by the gap times at most the phase's
// slope, the slope of the fluid term and R |ln(phi P a)|.
struct PhaseSum {
    double G = 0, bound = 0;
};
double fluidTerm(testsupport::EvaluationContext& ctx, int kind) {
    const model::FluidState f = model::FluidProperties(ctx, ctx.point, kind, 0);
    const double T = ctx.point.t + model::kKelvinSingle;
    if (kind == model::kWater && ctx.point.fluid.water == 1) return R * T * std::log(f.activity) + f.gibbs;
    return R * T * std::log(f.phi * ctx.point.P * f.activity);
}
PhaseSum phaseSum(const testsupport::EvaluationContext& at, const model::ReactionTerms& rx) {
    PhaseSum s;
    const double h = 0.01;
    double scale = 0;
    for (int j = 0; j < rx.count; ++j) {
        const int i = rx.phase[static_cast<std::size_t>(j)];
        const int kind = (*at.table)[i].kind;
        const double c = rx.coef[static_cast<std::size_t>(j)];
        testsupport::EvaluationContext ctx = at;
        const double g = model::PhaseGibbs(ctx, ctx.point, i, ctx.reaction);
        const auto slopeOf = [&](auto&& f) {
            ctx.point.t = at.point.t + h;
            const double up = f();
            ctx.point.t = at.point.t - h;
            const double down = f();
            ctx.point.t = at.point.t;
            return std::fabs(up - down) / (2 * h);
        };
        double slope = slopeOf([&] { return model::PhaseGibbs(ctx, ctx.point, i, ctx.reaction); });
        if (kind > 0) {
            const double T = at.point.t + model::kKelvinSingle;
            slope += slopeOf([&] { return fluidTerm(ctx, kind); }) + std::fabs(fluidTerm(ctx, kind)) / T;
        }
        s.G += c * g;
        s.bound += std::fabs(c) * slope;
        scale += std::fabs(c * g);
    }
    s.bound = 1.5 * kKelvinGap * s.bound + 1e-13 * scale;
    return s;
}

bool alphaQuartz(double T, double P) { return T < 848.0 + 0.023742999881505966 * (P - 1) - 1e-3; }

TEST(FluidGibbs, ReactionFormEqualsThePhaseSumUnderEveryRoutine) {
    const auto& table = bundledPhases();
    struct Reaction {
        const Terms* terms;
        std::vector<double> xCO2;  // fluids in which the reaction's species is present
    } reactions[] = {{&kMuscoviteOut, {0.0, 0.3, 0.7}},
                     // A trace of CO2 at the phase form's limit of 1e-10 is
                     // evaluated normally by both forms.
                     {&kWollastonite, {1.0, 0.5, 1e-10}}};
    int compared = 0, alphaCompared = 0;
    double largestBound = 0;
    for (const Reaction& r : reactions) {
        const auto full = reactionOf(table, *r.terms);
        const auto noQuartz = reactionOf(table, *r.terms, true);
        for (int water = 1; water <= 3; ++water)
            for (int co2 = 1; co2 <= 3; ++co2)
                for (int mixing = 1; mixing <= 3; ++mixing)
                    for (double x : r.xCO2)
                        for (double t : {350.0, 520.0, 690.0, 860.0, 1100.0})
                            for (double P : {1.0, 800.0, 2000.0, 6000.0, 14000.0, 30000.0}) {
                                testsupport::EvaluationContext ctx = contextOn(table, t, P, x, water, co2, mixing);
                                // Quartz switches to beta-quartz in the reaction form
                                // above its line: compare the rest of the reaction
                                // everywhere and the whole reaction in the alpha field.
                                ctx.reaction = &noQuartz;
                                const PhaseSum rest = phaseSum(ctx, noQuartz);
                                const double g = model::ReactionGibbs(ctx, ctx.point, *ctx.reaction);
                                ASSERT_TRUE(std::isfinite(g));
                                EXPECT_NEAR(g, rest.G, rest.bound)
                                    << water << co2 << mixing << " x " << x << " t " << t << " P " << P;
                                largestBound = std::max(largestBound, rest.bound);
                                ++compared;
                                if (alphaQuartz(t + 273.15, P)) {
                                    ctx.reaction = &full;
                                    const PhaseSum all = phaseSum(ctx, full);
                                    EXPECT_NEAR(model::ReactionGibbs(ctx, ctx.point, *ctx.reaction), all.G, all.bound)
                                        << water << co2 << mixing << " x " << x << " t " << t << " P " << P;
                                    ++alphaCompared;
                                }
                            }
    }
    EXPECT_EQ(compared, 2 * 27 * 3 * 30);
    EXPECT_GT(alphaCompared, 1000);
    // The bound stays small: the two forms agree to a few hundredths of a joule.
    EXPECT_LT(largestBound, 0.5);
}

// ---------------------------------------------------------------------------
// Finite everywhere

TEST(FluidGibbs, FiniteGibbsEnergiesOverTheWholeRange) {
    const auto& table = bundledPhases();
    const auto ms = reactionOf(table, kMuscoviteOut);
    const auto cc = reactionOf(table, kWollastonite);
    std::vector<int> phases;
    for (const Terms* terms : {&kMuscoviteOut, &kWollastonite})
        for (const auto& term : *terms) phases.push_back(indexOf(table, term.first));
    const double pressures[] = {1, 5, 30, 88, 100, 220, 500, 1000, 1499, 1500, 3000, 7000, 9999, 10000, 10001, 15000,
                                25000, 35000, 50000};
    const double temperatures[] = {25, 60, 100, 150, 200, 250, 300, 324.9, 325, 350, 374, 400, 500, 600, 700, 800,
                                   1000, 1050, 1051, 1200, 1350, 1500};
    long evaluations = 0;
    for (int water = 1; water <= 3; ++water)
        for (int co2 = 1; co2 <= 3; ++co2)
            for (int mixing = 1; mixing <= 3; ++mixing)
                for (double x : {0.0, 0.5, 0.02, 1.0})
                    for (double t : temperatures)
                        for (double P : pressures) {
                            testsupport::EvaluationContext ctx = contextOn(table, t, P, x, water, co2, mixing);
                            for (int i : phases) {
                                const double g = model::PhaseGibbs(ctx, ctx.point, i, ctx.reaction);
                                ASSERT_TRUE(std::isfinite(g)) << table[i].name << " routines " << water << co2
                                                              << mixing << " x " << x << " t " << t << " P " << P;
                            }
                            for (const model::ReactionTerms* rx : {&ms, &cc}) {
                                ctx.reaction = rx;
                                const double g = model::ReactionGibbs(ctx, ctx.point, *ctx.reaction);
                                ASSERT_TRUE(std::isfinite(g)) << "reaction, routines " << water << co2 << mixing
                                                              << " x " << x << " t " << t << " P " << P;
                            }
                            ++evaluations;
                        }
    EXPECT_EQ(evaluations, 27L * 4 * 22 * 19);
}

// ---------------------------------------------------------------------------
// Petrology

// The temperature (C) at which the reaction's Gibbs energy changes sign at
// P, by bisection between lo and hi.
double equilibriumT(const model::PhaseTable& table, const Terms& terms, double P, double xCO2, int water, int co2,
                    double lo, double hi) {
    const auto rx = reactionOf(table, terms);
    auto dG = [&](double t) {
        testsupport::EvaluationContext ctx = contextOn(table, t, P, xCO2, water, co2, 1);
        ctx.reaction = &rx;
        return model::ReactionGibbs(ctx, ctx.point, *ctx.reaction);
    };
    double glo = dG(lo);
    if (glo * dG(hi) > 0) return std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        const double g = dG(mid);
        if ((g > 0) == (glo > 0)) {
            lo = mid;
            glo = g;
        } else {
            hi = mid;
        }
    }
    return 0.5 * (lo + hi);
}

TEST(FluidGibbs, MuscoviteBreakdownAt2Kbar) {
    // Muscovite + quartz = K-feldspar + sillimanite + H2O lies near 600-700 C
    // at 2 kbar in pure water.
    const double haar = equilibriumT(haarPhases(), kMuscoviteOut, 2000, 0.0, 1, 1, 300, 1000);
    EXPECT_GT(haar, 540.0);
    EXPECT_LT(haar, 760.0);
    // The other water routines with the database's water values agree loosely.
    for (int water : {2, 3}) {
        const double t = equilibriumT(bundledPhases(), kMuscoviteOut, 2000, 0.0, water, 1, 300, 1000);
        EXPECT_NEAR(t, haar, 60.0) << water;
    }
    // Less water lowers the temperature.
    EXPECT_LT(equilibriumT(haarPhases(), kMuscoviteOut, 2000, 0.5, 1, 1, 300, 1000), haar - 10.0);
}

TEST(FluidGibbs, WollastoniteFormationAt2Kbar) {
    // Calcite + quartz = wollastonite + CO2 in pure CO2 lies near 700-800 C
    // at 2 kbar, with every CO2 routine.
    for (int co2 = 1; co2 <= 3; ++co2) {
        const double t = equilibriumT(bundledPhases(), kWollastonite, 2000, 1.0, 1, co2, 300, 1200);
        EXPECT_GT(t, 640.0) << co2;
        EXPECT_LT(t, 860.0) << co2;
    }
    // Dilution by water lowers it.
    EXPECT_LT(equilibriumT(bundledPhases(), kWollastonite, 2000, 0.2, 1, 1, 300, 1200),
              equilibriumT(bundledPhases(), kWollastonite, 2000, 1.0, 1, 1, 300, 1200) - 30.0);
}

}  // namespace
