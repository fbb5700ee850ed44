// Thermodynamic consistency of the phase and reaction energies over every
// kind of phase of the bundled database (data/thermo1988.dat): the minerals
// without extra terms, with lambda transitions and with disorder (and the
// albite ordering model), the special phases, and each water, CO2, mixing and
// gas routine.  Phases the file does not hold (the other special names,
// sulfur gas, albite with the ordering record) are copies of its records
// under those names.
//
// 1. Entropy and volume: S = -dG/dT and V = dG/dP by central differences
//    against the entropy and volume the phase's own terms give (the standard
//    state, the lambda anomaly and the disorder heat capacity integrated
//    numerically, the albite order's S and H, the fluid routines' volumes),
//    positive everywhere, and G continuous between the grid points.
// 2. Gibbs-Helmholtz across the lambda and disorder transitions.
// 3. ReactionGibbs against the sum of coefficient times PhaseGibbs on a grid,
//    with its two exceptions: beta-quartz and a fluid species absent from
//    the fluid.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bundled_phases.hpp"
#include "common/bundled_db.hpp"
#include "common/evaluation_context.hpp"

namespace {

using namespace props_test;
using model::PhaseRecord;
using model::PhaseTable;

constexpr double kTr = 298.15;
constexpr double kR = 8.3143;

// ---------------------------------------------------------------------------
// The phases

// Copies the record named `from` to the end of the table under `name` (and
// `kind`, when given), with the name-derived fields set as the loader sets them.
PhaseRecord& addCopy(PhaseTable& t, const char* from, const std::string& name, int kind = -100) {
    const int i = phaseIndex(t, from);
    EXPECT_GE(i, 0) << from;
    PhaseRecord& p = t[t.count++];
    p = t[std::max(i, 0)];
    p.name = (name + std::string(20, ' ')).substr(0, 20);
    if (kind != -100) p.kind = kind;
    p.special = model::specialPhaseOf(p.name);
    p.nameFlags = model::name_flags_of(p.name);
    p.isQuartz = model::isQuartzName(p.name);
    return p;
}

// Every phase of the bundled database, loaded for water routine 1 (water's
// database values cleared: its whole energy comes from the Haar equation) or
// 2 (values kept), with the added copies (and one mineral with all seven
// heat-capacity terms, one transition with volume terms).
std::unique_ptr<PhaseTable> loadPhases(int waterRoutine) {
    auto t = std::move(testsupport::loadBundled("SI AL MG FE CA NA K TI H C O", waterRoutine).table);
    addCopy(*t, "CALCITE", "CALCITESS");
    addCopy(*t, "ENSTATITE", "ALENSTATITE");
    addCopy(*t, "CORDIERITE", "HYD-CORDIERITE");
    addCopy(*t, "FERROSILITE", "PYRRHOTITE3");
    addCopy(*t, "OXYGEN GAS", "SULFUR GAS", model::kSulfurGas);
    // The file's heat capacities stop at K3: one phase with every term.
    PhaseRecord& every = addCopy(*t, "KYANITE", "EVERY TERM");
    every.K = {150.0, -1500.0, -2.0e6, 3.0e8, 500.0, 0.02, -5.0e-6};
    every.V[2] = 2.0e-9;
    // No transition of the file has volume terms: one that has.
    PhaseRecord& lambda = addCopy(*t, "MAGNETITE", "LAMBDA TERMS");
    model::LambdaRecord& L = t->lambdas[static_cast<std::size_t>(t->lambdaCount++)];
    L = t->lambda(lambda.lambda[0]);
    L.SLOPE = 0.01;
    L.DVDT = 1e-4;
    L.DVDP = -2e-6;
    lambda.lambda = {t->lambdaCount, 0, 0};
    // D0 = D1 = 0 selects the albite ordering model.
    PhaseRecord& ab = addCopy(*t, "ALBITE", "ORDERED ALBITE");
    model::DisorderRecord& d = t->disorders[static_cast<std::size_t>(t->disorderCount++)];
    d = model::DisorderRecord{};
    d.TMIN = 298.15;
    d.TMAX = 1400.0;
    ab.disorder = t->disorderCount;
    return t;
}

const PhaseTable& phases(int waterRoutine) {
    static const std::unique_ptr<PhaseTable> haar = loadPhases(1), kept = loadPhases(2);
    return waterRoutine == 1 ? *haar : *kept;
}

int indexOf(const PhaseTable& t, const char* name) {
    const int i = phaseIndex(t, name);
    EXPECT_GE(i, 0) << name;
    return i;
}

// One phase at a point given in kelvin (PhaseGibbs turns t back into exactly
// that T), in a fluid and with the reaction it is taken in.
struct Probe {
    testsupport::EvaluationContext ctx;
    model::ReactionTerms rx;  // the reaction (buffer phases, sulfur gas); none when empty
    int phase = -1;

    double G(double T, double P) {
        ctx.point.t = celsiusForPhase(T);
        ctx.point.P = P;
        return model::PhaseGibbs(ctx, ctx.point, phase, rx.count > 0 ? &rx : nullptr);
    }
    // Fourth-order central differences.
    double S(double T, double P, double h) {
        return -(8 * (G(T + h, P) - G(T - h, P)) - (G(T + 2 * h, P) - G(T - 2 * h, P))) / (12 * h);
    }
    double V(double T, double P, double h) {
        return (8 * (G(T, P + h) - G(T, P - h)) - (G(T, P + 2 * h) - G(T, P - 2 * h))) / (12 * h);
    }
};

// ---------------------------------------------------------------------------
// Entropy and volume from the phase's own terms

// Standard state: S0 + integral of Cp/T (closed form, term by term) - dV/dT (P - 1).
double standardEntropy(const PhaseRecord& p, double T, double P) {
    const auto& K = p.K;
    const double s = K[0] * std::log(T / kTr) - 2 * K[1] * (1 / std::sqrt(T) - 1 / std::sqrt(kTr)) -
                     K[2] / 2 * (1 / (T * T) - 1 / (kTr * kTr)) - K[3] / 3 * (1 / (T * T * T) - 1 / (kTr * kTr * kTr)) -
                     K[4] * (1 / T - 1 / kTr) + K[5] * (T - kTr) + K[6] / 2 * (T * T - kTr * kTr);
    return p.S + s - (p.V[1] + 2 * p.V[2] * (T - kTr)) * (P - 1);
}
double standardVolume(const PhaseRecord& p, double T, double P) {
    const double dT = T - kTr, dP = P - 1;
    return p.V0 + p.V[1] * dT + p.V[2] * dT * dT + p.V[3] * dP + p.V[4] * dP * dP;
}

// The lambda anomaly Cp = w (l1 + l2 w)^2 at w = u + d along the transition
// line shifted by d, its entropy integrated numerically from the lower limit
// to min(T, T_lambda), plus the first-order step HTRANS / TTRAN above the line.
double lambdaEntropy(const model::LambdaRecord& L, double T, double P) {
    const double Tl = L.TTRAN + L.SLOPE * (P - 1), d = L.TTRAN - Tl;
    const double top = std::min(T, Tl);
    double s = 0;
    if (top + d >= static_cast<double>(298.15f)) {
        const auto cpOverU = [&](double u) {
            const double w = u + d;
            return w * (L.ASPIKE + L.BSPIKE * w) * (L.ASPIKE + L.BSPIKE * w) / u;
        };
        s = simpson(cpOverU, L.TREF - d, top, 4000);
    }
    if (T > Tl) return s + L.HTRANS / L.TTRAN;
    return s - L.DVDT * (P - 1);
}

// Disorder heat capacity D0 + D1 T^-0.5 + D2 T^-2 + D4 T^-1 + D5 T + D6 T^2
// from TMIN to min(T, TMAX): its entropy (with the T derivative of the
// volume term H/VDIS) and its volume.
double disorderCp(const model::DisorderRecord& d, double T) {
    const auto& D = d.D;
    return D[0] + D[1] / std::sqrt(T) + D[2] / (T * T) + D[4] / T + D[5] * T + D[6] * T * T;
}
double disorderEntropy(const model::DisorderRecord& d, double T, double P) {
    if (T < d.TMIN) return 0;
    const double top = std::min(T, d.TMAX);
    const double s = simpson([&](double u) { return disorderCp(d, u) / u; }, d.TMIN, top, 4000);
    const double volumeSlope = T < d.TMAX && d.VDIS != 0 ? disorderCp(d, T) / d.VDIS : 0.0;
    return s - (P - 1) * volumeSlope;
}
double disorderVolume(const model::DisorderRecord& d, double T) {
    if (T < d.TMIN || d.VDIS == 0) return 0;
    return simpson([&](double u) { return disorderCp(d, u); }, d.TMIN, std::min(T, d.TMAX), 4000) / d.VDIS;
}
bool albiteOrdering(const model::DisorderRecord& d) { return std::fabs(d.D[0]) < 0.001 && std::fabs(d.D[1]) < 0.001; }
constexpr double kAlbiteVolumeDivisor = 335282.925;  // V = H / 335282.925 of the ordering model

// The entropy and volume a mineral's terms give; none where it has a term
// without a known derivative (a special phase; the volume of a lambda
// transition; the albite order's entropy off 1 bar, where its volume term
// moves with the order).
std::optional<double> expectedEntropy(const PhaseTable& t, const PhaseRecord& p, double T, double P) {
    if (p.kind != model::kMineral || p.special != model::SpecialPhase::None) return std::nullopt;
    double s = standardEntropy(p, T, P);
    for (int n : p.lambda)
        if (n > 0) s += lambdaEntropy(t.lambda(n), T, P);
    if (p.disorder > 0) {
        const model::DisorderRecord& d = t.disorderOf(p);
        if (!albiteOrdering(d)) {
            s += disorderEntropy(d, T, P);
        } else {
            if (P != 1) return std::nullopt;
            s += model::albiteOrdering(T).S;
        }
    }
    return s;
}
std::optional<double> expectedMineralVolume(const PhaseTable& t, const PhaseRecord& p, double T, double P) {
    if (p.special != model::SpecialPhase::None || p.lambda[0] > 0) return std::nullopt;
    double v = standardVolume(p, T, P);
    if (p.disorder > 0) {
        const model::DisorderRecord& d = t.disorderOf(p);
        v += albiteOrdering(d) ? model::albiteOrdering(T).H / kAlbiteVolumeDivisor : disorderVolume(d, T);
    }
    return v;
}

// ---------------------------------------------------------------------------
// 1. Entropy and volume, every kind of phase

enum class Fluid { None, Pure, KJMixture, NoVolume };

struct PhaseCase {
    const char* label;
    std::vector<const char*> names;  // the phases; none: every mineral without extra terms
    std::vector<double> T, P;        // grid, K and bar
    model::FluidModelChoice routines{};
    double xCO2 = 0;
    Fluid fluid = Fluid::None;
    double noise = 0;               // J/mol: how finely the routine resolves G (its searches)
    double volumeTolerance = 1e-9;  // relative: how closely the routine's volume is the slope of its G
    std::vector<double> Pkinks{};   // pressures where the routine switches (G continuous, V not)
    std::vector<double> Psteps{};   // pressures where it switches with a step in G
    bool positive = true;           // S and V positive (not where G holds another phase's potential)
    double hT = 0.1, hP = 1e-4;     // difference steps: K, and a fraction of P
};

void PrintTo(const PhaseCase& c, std::ostream* os) { *os << c.label; }

const std::vector<double> kMineralT = {320, 450, 600, 750, 900, 1050, 1200, 1350, 1500};
const std::vector<double> kMineralP = {1, 2000, 6000, 12000, 25000};
const std::vector<double> kFluidT = {650, 800, 950, 1100, 1250};
const std::vector<double> kFluidP = {500, 1200, 3000, 6000, 9500};
// The reaction the special phases are taken in: spinel and forsterite buffer
// the alumina of orthopyroxene, sulfur gas (log f = -4) sets pyrrhotite.
const std::vector<const char*> kBuffers = {"SPINEL", "FORSTERITE", "SULFUR GAS"};

// How finely the routines resolve G (`noise`, J/mol): the albite order is
// searched to 1e-4, which leaves G in teeth about a kelvin wide, up to
// 0.5 J/mol deep at 25 kbar through its volume term H / 335282.925 (and its
// entropy 0.04 J/(mol K) off S_L on average); the pyrrhotite search stops
// within 0.04 J/mol; the Kerrick-Jacobs volume search stops on a step below
// 0.01 cm3/mol from start volumes tabulated by pressure, so that G steps by
// up to 0.03 J/mol from one start to the next; the Haar density search and
// the Kovan-Tessel bisection give G to 2e-3 J/mol.  The Haar volume is
// trusted to 0.1 %; the other fluid routines take R = 83.14 (Kerrick-Jacobs),
// 83.147 (Kovan-Tessel) and 83.12 (Redlich-Kwong gases) cm3 bar/(mol K)
// against the 8.3143 J/(mol K) of the energies: their volumes and the slope
// of R T ln(phi P) differ by 4e-5, 5e-5 and 3e-4.
const PhaseCase kPhaseCases[] = {
    {.label = "PlainMinerals", .names = {}, .T = kMineralT, .P = kMineralP},
    {.label = "LambdaMinerals",
     .names = {"QUARTZ", "MAGNETITE", "HEMATITE", "AKERMANITE", "ALPHA-CRISTOBALITE", "LOW-TRIDYMITE", "LAMBDA TERMS"},
     .T = kMineralT, .P = kMineralP},
    {.label = "DisorderMinerals", .names = {"K-FELDSPAR", "GEHLENITE", "DOLOMITE"}, .T = kMineralT, .P = kMineralP},
    {.label = "AlbiteOrdering", .names = {"ORDERED ALBITE"}, .T = kMineralT, .P = kMineralP, .noise = 0.5, .hT = 20},
    {.label = "CalciteAndAluminousEnstatite", .names = {"CALCITESS", "ALENSTATITE"}, .T = kMineralT, .P = kMineralP},
    // The pyrrhotite search starts at a vacancy fraction of 0.001 and finds
    // none below it (G drops to the stoichiometric value there: above 1450 K
    // at 25 kbar), so the grid stops at 1400 K.
    {.label = "Pyrrhotite", .names = {"PYRRHOTITE3"}, .T = {320, 450, 600, 750, 900, 1050, 1200, 1400}, .P = kMineralP,
     .noise = 0.04, .hT = 10, .hP = 1e-3},
    // Cordierite's energy holds the water's chemical potential: its volume
    // need not be positive.
    {.label = "CordieriteHydration", .names = {"CORDIERITE", "HYD-CORDIERITE"}, .T = kMineralT,
     .P = {500, 2000, 6000, 9500, 12000, 25000}, .noise = 2e-3, .Pkinks = {10000}, .positive = false, .hT = 10,
     .hP = 0.02},
    {.label = "WaterHaar", .names = {"WATER"}, .T = kFluidT, .P = {500, 1200, 3000, 6000, 9500, 15000, 30000},
     .routines = {1, 1, 1}, .fluid = Fluid::Pure, .noise = 2e-3, .volumeTolerance = 1e-3, .Pkinks = {10000}, .hT = 10,
     .hP = 0.02},
    {.label = "WaterKerrickJacobs", .names = {"WATER"}, .T = kFluidT, .P = kFluidP, .routines = {1, 2, 1},
     .fluid = Fluid::Pure, .noise = 0.03, .volumeTolerance = 1e-4, .hT = 10, .hP = 0.05},
    {.label = "WaterHollandPowell", .names = {"WATER"}, .T = kFluidT, .P = kFluidP, .routines = {1, 3, 1},
     .fluid = Fluid::NoVolume},
    {.label = "CO2KovanTessel", .names = {"CARBON DIOXIDE"}, .T = kFluidT, .P = kFluidP, .routines = {1, 1, 1},
     .xCO2 = 1, .fluid = Fluid::Pure, .noise = 2e-3, .volumeTolerance = 1e-4, .hT = 10, .hP = 0.02},
    {.label = "CO2KerrickJacobs", .names = {"CARBON DIOXIDE"}, .T = kFluidT, .P = kFluidP, .routines = {1, 2, 2},
     .xCO2 = 1, .fluid = Fluid::Pure, .noise = 0.03, .volumeTolerance = 1e-4, .hT = 10, .hP = 0.05},
    {.label = "CO2HollandPowell", .names = {"CARBON DIOXIDE"}, .T = kFluidT, .P = kFluidP, .routines = {1, 3, 3},
     .xCO2 = 1, .fluid = Fluid::NoVolume},
    {.label = "MixingKerrickJacobs", .names = {"WATER", "CARBON DIOXIDE"}, .T = kFluidT, .P = kFluidP,
     .routines = {1, 2, 2}, .xCO2 = 0.4, .fluid = Fluid::KJMixture, .noise = 0.03, .volumeTolerance = 1e-4, .hT = 10,
     .hP = 0.05},
    {.label = "MixingIdeal", .names = {"WATER", "CARBON DIOXIDE"}, .T = kFluidT, .P = kFluidP, .routines = {2, 2, 2},
     .xCO2 = 0.4, .fluid = Fluid::Pure, .noise = 0.03, .volumeTolerance = 1e-4, .hT = 10, .hP = 0.05},
    // The Holland-Powell Margules parameters take their pressure-dependent
    // form from 1500 bar on: the activities step there.
    {.label = "MixingHollandPowell", .names = {"WATER", "CARBON DIOXIDE"}, .T = kFluidT, .P = kFluidP,
     .routines = {3, 2, 2}, .xCO2 = 0.4, .fluid = Fluid::NoVolume, .noise = 0.03, .Psteps = {1500}, .hT = 10,
     .hP = 0.05},
    {.label = "OtherGases", .names = {"OXYGEN GAS", "HYDROGEN GAS", "SULFUR GAS"}, .T = kFluidT, .P = kFluidP,
     .fluid = Fluid::Pure, .volumeTolerance = 4e-4},
};

Probe probeFor(const PhaseCase& c, int phase) {
    const PhaseTable& t = phases(c.routines.water);
    Probe p;
    p.ctx.table = &t;
    p.ctx.point.fluid = c.routines;
    p.ctx.point.x.fill(0.0);
    p.ctx.point.x[model::kWater] = 1 - c.xCO2;
    p.ctx.point.x[model::kCarbonDioxide] = c.xCO2;
    p.ctx.fluidCache.warn = [](std::string_view) {};
    const int kind = t[phase].kind;
    if (kind >= model::kOxygenGas && kind <= model::kSulfurGas) {
        p.ctx.point.otherGases = true;
        p.ctx.point.x[static_cast<std::size_t>(kind)] = 1.0;
    }
    p.phase = phase;
    if (t[phase].special != model::SpecialPhase::None) {
        std::array<double, model::kMaxPhases> coef{};
        coef[static_cast<std::size_t>(phase)] = 1.0;
        for (const char* name : kBuffers) coef[static_cast<std::size_t>(indexOf(t, name))] = 1.0;
        model::makeReactionTerms(t, coef.data(), p.rx);
        p.ctx.point.logActivity[static_cast<std::size_t>(indexOf(t, "SULFUR GAS"))] = -4.0;
    }
    return p;
}

// Where G has a kink (a step in its slope), along T at pressure P or along
// P at temperature T: the lambda line T_lambda = TTRAN + SLOPE (P - 1), the
// disorder limits, the end of albite ordering, the routine's switches; and
// where G steps: below the line T + d = 298.15 K (d = -SLOPE (P - 1)) a
// lambda anomaly is left out, the Holland-Powell mixing switch.
struct Kinks {
    std::vector<double> all, steps;  // `steps` also in `all`
};
constexpr double kLambdaCutoff = static_cast<double>(298.15f);
Kinks kinksAlongT(const PhaseTable& t, const PhaseRecord& p, double P) {
    Kinks k;
    for (int n : p.lambda)
        if (n > 0) {
            k.all.insert(k.all.end(), {t.lambda(n).TTRAN + t.lambda(n).SLOPE * (P - 1),
                                       kLambdaCutoff + t.lambda(n).SLOPE * (P - 1)});
            k.steps.push_back(k.all.back());
        }
    if (p.disorder > 0) {
        const model::DisorderRecord& d = t.disorderOf(p);
        if (albiteOrdering(d))
            k.all.push_back(1290.0);
        else
            k.all.insert(k.all.end(), {d.TMIN, d.TMAX});
    }
    return k;
}
Kinks kinksAlongP(const PhaseTable& t, const PhaseRecord& p, double T, const PhaseCase& c) {
    Kinks k{c.Pkinks, c.Psteps};
    k.all.insert(k.all.end(), c.Psteps.begin(), c.Psteps.end());
    for (int n : p.lambda) {
        const model::LambdaRecord& L = t.lambda(n > 0 ? n : 1);
        if (n > 0 && L.SLOPE != 0) {
            k.all.insert(k.all.end(), {1 + (T - L.TTRAN) / L.SLOPE, 1 + (T - kLambdaCutoff) / L.SLOPE});
            k.steps.push_back(k.all.back());
        }
    }
    return k;
}

// Five-point Gauss-Legendre quadrature of f over [a, b]; no node lies within
// 4.6 % of the interval of its ends.
template <class F>
double gauss5(F f, double a, double b) {
    static constexpr double x[] = {0.0, 0.5384693101056831, 0.9061798459386640};
    static constexpr double w[] = {0.5688888888888889, 0.4786286704993665, 0.2369268850561891};
    const double m = (a + b) / 2, r = (b - a) / 2;
    double s = w[0] * f(m);
    for (int i = 1; i < 3; ++i) s += w[i] * (f(m - r * x[i]) + f(m + r * x[i]));
    return s * r;
}

// [a, b] cut at the kinks inside it, into pieces at most `width` wide; the
// ends next to a kink are moved 1e-10 off it, so that no value is taken on
// the kink itself.
std::vector<std::pair<double, double>> piecesOf(double a, double b, std::vector<double> kinks, double width) {
    std::sort(kinks.begin(), kinks.end());
    std::vector<double> cuts = {a};
    for (double k : kinks)
        if (k > a && k < b) cuts.push_back(k);
    cuts.push_back(b);
    std::vector<std::pair<double, double>> pieces;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const double from = cuts[i] + (i > 0 ? 1e-10 : 0), to = cuts[i + 1] - (i + 2 < cuts.size() ? 1e-10 : 0);
        const int n = static_cast<int>(std::ceil((to - from) / width));
        for (int j = 0; j < n; ++j) pieces.emplace_back(from + (to - from) * j / n, from + (to - from) * (j + 1) / n);
    }
    return pieces;
}

bool near(double x, const std::vector<double>& kinks, double d) {
    return std::any_of(kinks.begin(), kinks.end(), [&](double k) { return std::fabs(x - k) < d; });
}

class PhaseConsistency : public ::testing::TestWithParam<PhaseCase> {};

// At every grid point S = -dG/dT and V = dG/dP (fourth-order central
// differences) are positive and equal the entropy and volume of the terms
// where these are known.  Between neighbouring grid points G is continuous:
// G(b)/b - G(a)/a = -integral of H/T^2 dT (H = G + T S: the Gibbs-Helmholtz
// equation integrated) and G(b) - G(a) = integral of V dP, piece by piece
// between the kinks.  The tolerances follow from the steps and from how
// finely G is resolved (the case's `noise` plus rounding, 1e-14 of |G|).
TEST_P(PhaseConsistency, EntropyAndVolumeAreTheDerivativesOfAContinuousG) {
    const PhaseCase& c = GetParam();
    const PhaseTable& t = phases(c.routines.water);
    std::vector<int> list;
    for (const char* name : c.names) list.push_back(indexOf(t, name));
    for (int i = 0; c.names.empty() && i < t.count; ++i) {
        const PhaseRecord& p = t[i];
        if (p.kind == model::kMineral && p.lambda[0] == 0 && p.disorder == 0 && p.special == model::SpecialPhase::None)
            list.push_back(i);
    }
    ASSERT_GT(list.size(), c.names.empty() ? 50u : 0u);
    const auto stepP = [&](double P) { return P > 1 ? std::min(c.hP * P, (P - 0.5) / 2) : 1.0; };

    for (int i : list) {
        const PhaseRecord& rec = t[i];
        Probe probe = probeFor(c, i);
        const auto noise = [&](double T, double P) { return c.noise + 1e-14 * std::fabs(probe.G(T, P)); };
        const auto where = [&](double T, double P) {
            return rec.name + " at " + std::to_string(T) + " K, " + std::to_string(P) + " bar";
        };
        // G on both sides of a kink, a millionth of a millionth off it.
        const auto expectContinuous = [&](double T0, double P0, double dT, double dP, const Kinks& kinks, double k) {
            if (std::find(kinks.steps.begin(), kinks.steps.end(), k) != kinks.steps.end()) return;
            const double e = 1e-12 * k;
            EXPECT_NEAR(probe.G(T0 + dT * (k + e), P0 + dP * (k + e)), probe.G(T0 + dT * (k - e), P0 + dP * (k - e)),
                        1e-4 + 2 * noise(T0 + dT * k, P0 + dP * k))
                << "kink of " << where(T0 + dT * k, P0 + dP * k);
        };
        for (double P : c.P) {
            const Kinks kinks = kinksAlongT(t, rec, P);
            for (double T : c.T) {
                const double hP = stepP(P);
                if (near(T, kinks.all, 3 * c.hT) || near(P, kinksAlongP(t, rec, T, c).all, 3 * hP)) continue;
                const double n = noise(T, P);
                const double S = probe.S(T, P, c.hT);
                const double V = P > 1 ? probe.V(T, P, hP) : (probe.G(T, P + hP) - probe.G(T, P)) / hP;
                if (c.positive) {
                    EXPECT_GT(S, 0) << where(T, P);
                    EXPECT_GT(V, 0) << where(T, P);
                }
                if (const auto s = expectedEntropy(t, rec, T, P)) {
                    EXPECT_NEAR(S, *s, 1e-7 + 2 * n / c.hT) << where(T, P);
                }
                std::optional<double> v;
                if (c.fluid == Fluid::None && P > 1) v = expectedMineralVolume(t, rec, T, P);
                if (c.fluid == Fluid::Pure && !(c.routines.water == 1 && P > 10000)) {
                    // (Above 10 kbar the Haar routine gives the volume of 10 kbar.)
                    probe.ctx.point.t = celsiusForPhase(T);
                    probe.ctx.point.P = P;
                    v = standardVolume(rec, T, P) +
                        model::FluidProperties(probe.ctx, probe.ctx.point, rec.kind, 0).volume / 10;
                }
                if (v) {
                    EXPECT_NEAR(V, *v, c.volumeTolerance * std::fabs(*v) + 2 * n / hP) << where(T, P);
                }
            }
            for (std::size_t k = 0; k + 1 < c.T.size(); ++k) {
                for (double kink : kinks.all)
                    if (kink > c.T[k] && kink < c.T[k + 1]) expectContinuous(0, P, 1, 0, kinks, kink);
                for (const auto& [a, b] : piecesOf(c.T[k], c.T[k + 1], kinks.all, 50)) {
                    const double h = std::min(c.hT, (b - a) / 50), n = noise(a, P);
                    const double integral =
                        gauss5([&](double T) { return (probe.G(T, P) + T * probe.S(T, P, h)) / (T * T); }, a, b);
                    EXPECT_NEAR(probe.G(b, P) / b - probe.G(a, P) / a, -integral,
                                2 * n / a + (1e-7 + 2 * n / h) * std::log(b / a))
                        << where(a, P) << " to " << b << " K";
                }
            }
        }
        for (double T : c.T) {
            const Kinks kinks = kinksAlongP(t, rec, T, c);
            for (std::size_t k = 0; k + 1 < c.P.size(); ++k) {
                for (double kink : kinks.all)
                    if (kink > c.P[k] && kink < c.P[k + 1]) expectContinuous(T, 0, 0, 1, kinks, kink);
                const double width = std::clamp(c.P[k] / 4, 100.0, 1000.0);
                for (const auto& [a, b] : piecesOf(c.P[k], c.P[k + 1], kinks.all, width)) {
                    const double h = std::min(stepP(a), (b - a) / 50), n = noise(T, a);
                    const double integral = gauss5([&](double P) { return probe.V(T, P, h); }, a, b);
                    EXPECT_NEAR(probe.G(T, b) - probe.G(T, a), integral, 2 * n + (1e-9 + 2 * n / h) * (b - a))
                        << where(T, a) << " to " << b << " bar";
                }
            }
        }
    }
    // The H2O-CO2 mixture: the partial volumes dG_i/dP of the two species,
    // weighted by their mole fractions, add up to the mixture's volume.
    if (c.fluid == Fluid::KJMixture) {
        Probe water = probeFor(c, indexOf(t, "WATER")), co2 = probeFor(c, indexOf(t, "CARBON DIOXIDE"));
        for (double T : c.T)
            for (double P : c.P) {
                const double V = (1 - c.xCO2) * water.V(T, P, stepP(P)) + c.xCO2 * co2.V(T, P, stepP(P));
                const double expected = model::MixedFluidKJ(P, T, c.xCO2).volume / 10;
                ASSERT_GT(expected, 0);
                EXPECT_NEAR(V, expected, c.volumeTolerance * expected + 2 * c.noise / stepP(P))
                    << T << " K, " << P << " bar";
            }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, PhaseConsistency, ::testing::ValuesIn(kPhaseCases),
                         [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// 2. Gibbs-Helmholtz across the transitions

// At every lambda line and disorder limit of the bundled minerals, at 1,
// 5000 and 20000 bar: G, S and H = G + T S on each side (extrapolated to the
// kink from three points on that side, S by differences that stay on it),
// and the Gibbs-Helmholtz equation integrated across: G(k + 20)/(k + 20) -
// G(k - 20)/(k - 20) = -integral of H/T^2 dT, taken on each side
// separately.  G is continuous at every kink.  S steps at a lambda line by
// HTRANS / TTRAN (the record's first-order step) plus DVDT (P - 1), and at
// the disorder limits by the slope of the disorder volume H_dis / VDIS,
// (P - 1) Cp_dis / VDIS, which starts at TMIN and stops at TMAX; H steps by
// T times the step of S.  (The line below which a lambda anomaly is left
// out, T + d < 298.15 K, is no transition: G steps there by a few tenths of
// a J/mol.  The end of albite ordering is in the grid of the suite above.)
TEST(GibbsHelmholtz, ContinuousAcrossLambdaAndDisorderTransitions) {
    const PhaseTable& t = phases(2);
    // Steps (K) of the differences and of the extrapolation; G is exact to rounding (1e-7 J/mol).
    constexpr double h = 0.01, delta = 0.05;
    int kinks = 0;
    for (const char* name : {"QUARTZ", "MAGNETITE", "HEMATITE", "AKERMANITE", "ALPHA-CRISTOBALITE", "LOW-TRIDYMITE",
                             "LAMBDA TERMS", "K-FELDSPAR", "GEHLENITE", "DOLOMITE"}) {
        const int i = indexOf(t, name);
        const PhaseRecord& rec = t[i];
        Probe probe;
        probe.ctx.table = &t;
        probe.phase = i;
        for (double P : {1.0, 5000.0, 20000.0}) {
            std::vector<std::pair<double, double>> steps;  // kink, entropy step
            for (int n : rec.lambda)
                if (n > 0) {
                    const model::LambdaRecord& L = t.lambda(n);
                    steps.emplace_back(L.TTRAN + L.SLOPE * (P - 1), L.HTRANS / L.TTRAN + L.DVDT * (P - 1));
                }
            if (rec.disorder > 0) {
                const model::DisorderRecord& d = t.disorderOf(rec);
                const double perKelvin = d.VDIS != 0 ? (P - 1) / d.VDIS : 0.0;
                steps.emplace_back(d.TMIN, -perKelvin * disorderCp(d, d.TMIN));
                steps.emplace_back(d.TMAX, perKelvin * disorderCp(d, d.TMAX));
            }
            for (const auto& [k, stepS] : steps) {
                if (k < 350 || k > 1600) continue;  // (the lower limits at 298 K)
                const std::string at = std::string(name) + " at " + std::to_string(k) + " K, " +
                                       std::to_string(P) + " bar";
                // Quadratic extrapolation to the kink from k + delta, 2 delta, 3 delta on one side.
                struct Side {
                    double G = 0, S = 0, H = 0;
                };
                const auto side = [&](double sign) {
                    static constexpr double weight[] = {3, -3, 1};
                    Side s;
                    for (int m = 1; m <= 3; ++m) {
                        const double T = k + sign * m * delta, w = weight[m - 1];
                        const double G = probe.G(T, P), S = probe.S(T, P, h);
                        s.G += w * G;
                        s.S += w * S;
                        s.H += w * (G + T * S);
                    }
                    return s;
                };
                const Side below = side(-1), above = side(+1);
                EXPECT_NEAR(above.G - below.G, 0, 1e-4) << at;
                EXPECT_NEAR(above.S - below.S, stepS, 2e-4) << at;
                EXPECT_NEAR(above.H - below.H, k * stepS, k * 2e-4) << at;

                double integral = 0;
                for (const auto& [from, to] : piecesOf(k - 20, k + 20, {k}, 2))
                    integral +=
                        gauss5([&](double T) { return (probe.G(T, P) + T * probe.S(T, P, h)) / (T * T); }, from, to);
                const double a = k - 20, b = k + 20;
                EXPECT_NEAR(probe.G(b, P) / b - probe.G(a, P) / a, -integral, 1e-7) << at;
                ++kinks;
            }
        }
    }
    EXPECT_GT(kinks, 30);
}

// ---------------------------------------------------------------------------
// 3. ReactionGibbs and the phase energies

using Terms = std::vector<std::pair<const char*, double>>;
struct ReactionCase {
    const char* label;
    Terms terms;  // coefficients need not balance
};

const ReactionCase kReactions[] = {
    {"solid-solid with quartz", {{"GROSSULAR", -1}, {"KYANITE", -2}, {"QUARTZ", -1}, {"ANORTHITE", 3}}},
    {"lambda with oxygen", {{"HEMATITE", -6}, {"MAGNETITE", 4}, {"OXYGEN GAS", 1}}},
    {"dehydration", {{"MUSCOVITE", -1}, {"QUARTZ", -1}, {"K-FELDSPAR", 1}, {"SILLIMANITE", 1}, {"WATER", 1}}},
    {"decarbonation", {{"CALCITE", -1}, {"QUARTZ", -1}, {"WOLLASTONITE", 1}, {"CARBON DIOXIDE", 1}}},
    {"dolomite", {{"DOLOMITE", -1}, {"QUARTZ", -2}, {"DIOPSIDE", 1}, {"CARBON DIOXIDE", 2}}},
    {"mixed volatile",
     {{"TREMOLITE", -1}, {"CALCITE", -3}, {"QUARTZ", -2}, {"DIOPSIDE", 5}, {"CARBON DIOXIDE", 3}, {"WATER", 1}}},
    {"cordierite", {{"CORDIERITE", -1}, {"ENSTATITE", 2}, {"SILLIMANITE", 2}, {"QUARTZ", 1}}},
    {"cordierite hydration", {{"HYD-CORDIERITE", -1}, {"CORDIERITE", 1}, {"WATER", 1}}},
    {"aluminous enstatite", {{"ALENSTATITE", -4}, {"SPINEL", -1}, {"PYROPE", 1}, {"FORSTERITE", 1}}},
    {"pyrrhotite", {{"PYRRHOTITE3", -2}, {"SULFUR GAS", 1}, {"QUARTZ", 1}}},
    {"calcite and albite order", {{"CALCITESS", -1}, {"ORDERED ALBITE", 1}, {"QUARTZ", 1}}},
    {"gases", {{"HYDROGEN GAS", -2}, {"OXYGEN GAS", -1}, {"WATER", 2}}},
};

// Quartz in ReactionGibbs above 848 K + 0.023743 K/bar (P - 1 bar): the
// beta-quartz increments (2073.18 J/mol, 2.7468 J/(mol K), 0.101 J/bar, in
// single precision) and its own compressibility terms take the place of
// alpha-quartz's lambda term and volume integral.  The difference from
// PhaseGibbs of quartz, J/mol.  (Across the line the two branches meet at
// 1 bar only: quartz's share of ReactionGibbs steps there by -2 J/mol at
// 2 kbar, +70 J/mol at 10 kbar and +290 J/mol at 20 kbar.)
double betaQuartzLine(double P) { return 848.0 + static_cast<double>(0.023743f) * (P - 1); }
bool betaQuartzField(double T, double P) { return T > betaQuartzLine(P); }
double betaQuartzIncrement(const PhaseTable& t, const PhaseRecord& qz, double T, double P) {
    const double dP = P - 1, dT = T - kTr;
    const double alphaVolume = (qz.V[1] + qz.V[2] * dT) * dT * dP + qz.V[3] * dP * dP / 2 + qz.V[4] * dP * dP * dP / 3;
    const double betaVolume = static_cast<double>(0.101f) * dP + static_cast<double>(-1.23826e-06f) * dP * dP / 2 +
                              7.087099788083905e-16 * dP * dP * dP / 3;
    return static_cast<double>(2073.18f) - T * static_cast<double>(2.7468f) + betaVolume - alphaVolume -
           model::LambdaGibbs(t, qz, P, T);
}

// Every reaction under every routine (the fluid routines only where it has
// a fluid, the gas equations on and off where it has a gas), in pure water,
// an H2O-CO2 fluid and pure CO2, with fixed activities of a mineral and the
// gases, on a T-P grid across the beta-quartz line (and a quarter of a kelvin
// on either side of it): ReactionGibbs is the sum of coefficient times
// PhaseGibbs, except that (a) quartz in the beta-quartz field adds its
// increment and (b) a fluid species absent from the fluid (mole fraction
// below 1e-30) is taken at an activity of 1e-30 (held in single precision),
// where PhaseGibbs gives 1,000,000 J/mol.  Both forms are evaluated at the
// same kelvin; only the fluid state of ReactionGibbs is 6.1e-6 K lower (its
// fluid routine adds 273.15 in single precision), which moves a fluid's term
// by less than 5e-3 J per mole of it.
TEST(ReactionGibbs, SumOfPhaseEnergiesWithTheBetaQuartzAndAbsentFluidRules) {
    int points = 0, beta = 0, absent = 0;
    for (const ReactionCase& r : kReactions) {
        bool fluid = false, gas = false;
        for (const auto& [name, c] : r.terms) {
            const int kind = phases(2)[indexOf(phases(2), name)].kind;
            fluid = fluid || kind == model::kWater || kind == model::kCarbonDioxide;
            gas = gas || (kind >= model::kOxygenGas && kind <= model::kSulfurGas);
        }
        for (int routines = 0; routines < (fluid ? 27 : 1); ++routines)
            for (bool otherGases : {false, true}) {
                if (otherGases && !gas) continue;
                const model::FluidModelChoice choice{routines % 3 + 1, routines / 3 % 3 + 1, routines / 9 + 1};
                const PhaseTable& t = phases(choice.water);
                std::array<double, model::kMaxPhases> coef{};
                double fluidCoefficients = 0;
                for (const auto& [name, c] : r.terms) {
                    coef[static_cast<std::size_t>(indexOf(t, name))] = c;
                    if (model::isFluidSpecies(t[indexOf(t, name)].kind, otherGases)) fluidCoefficients += std::fabs(c);
                }
                model::ReactionTerms rx;
                model::makeReactionTerms(t, coef.data(), rx);
                for (double xCO2 : {0.0, 0.4, 1.0})
                    for (double P : {1.0, 2000.0, 8000.0, 20000.0})
                        for (double T : {400.0, 700.0, 860.0, 1000.0, 1250.0, betaQuartzLine(P) - 0.25,
                                         betaQuartzLine(P) + 0.25}) {
                            Probe probe;
                            probe.ctx.table = &t;
                            probe.ctx.fluidCache.warn = [](std::string_view) {};
                            model::PointState& at = probe.ctx.point;
                            at.fluid = choice;
                            at.otherGases = otherGases;
                            at.x.fill(0.0);
                            at.x[model::kWater] = 1 - xCO2;
                            at.x[model::kCarbonDioxide] = xCO2;
                            at.x[model::kOxygenGas] = at.x[model::kHydrogenGas] = at.x[model::kSulfurGas] = 1;
                            at.logActivity[static_cast<std::size_t>(indexOf(t, "DIOPSIDE"))] = -0.1;
                            at.logActivity[static_cast<std::size_t>(indexOf(t, "OXYGEN GAS"))] = -20;
                            at.logActivity[static_cast<std::size_t>(indexOf(t, "SULFUR GAS"))] = -4;
                            probe.rx = rx;
                            double sum = 0, scale = 0;
                            for (int j = 0; j < rx.count; ++j) {
                                const double c = rx.coef[static_cast<std::size_t>(j)];
                                const PhaseRecord& p = t[rx.phase[static_cast<std::size_t>(j)]];
                                probe.phase = rx.phase[static_cast<std::size_t>(j)];
                                double g = probe.G(T, P);
                                if (p.isQuartz && betaQuartzField(T, P)) {
                                    g += betaQuartzIncrement(t, p, T, P);
                                    ++beta;
                                }
                                if (model::isFluidSpecies(p.kind, otherGases) &&
                                    at.x[static_cast<std::size_t>(p.kind)] < 1e-30) {
                                    Probe present = probe;
                                    present.ctx.point.x[model::kWater] = p.kind == model::kWater ? 1 : 0;
                                    present.ctx.point.x[model::kCarbonDioxide] =
                                        p.kind == model::kCarbonDioxide ? 1 : 0;
                                    g = present.G(T, P) + kR * T * std::log(static_cast<double>(1e-30f));
                                    ++absent;
                                }
                                sum += c * g;
                                scale += std::fabs(c * g);
                            }
                            at.t = celsiusForReaction(T);
                            at.P = P;
                            const double dG = model::ReactionGibbs(probe.ctx, at, rx);
                            EXPECT_NEAR(dG, sum, 1e-14 * scale + 5e-3 * fluidCoefficients)
                                << r.label << ", routines " << choice.mixing << choice.water << choice.co2
                                << (otherGases ? " with gas equations" : "") << ", xCO2 " << xCO2 << " at " << T
                                << " K, " << P << " bar";
                            ++points;
                        }
            }
    }
    EXPECT_GT(points, 10000);
    EXPECT_GT(beta, 1000);
    EXPECT_GT(absent, 1000);
}

}  // namespace
