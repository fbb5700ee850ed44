// A point of the diagram: coordinates to state by diagram type, the fixed
// conditions along the water saturation curve and the geotherms, the
// dielectric constant and the aqueous-species potentials, and the reaction
// Gibbs energy of every diagram type.
#include "calc/point.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/evaluation_context.hpp"
#include "core/text.hpp"
#include "io/database_harness.hpp"
#include "model/aqueous.hpp"

namespace {

using calc::PointEvaluator;
using model::PhaseRecord;
using model::PhaseTable;

constexpr double kKelvinSingle = 273.1499938964844;

// --- independent transcriptions ----------------------------------------------

// Saturation pressure of water (bar) at T (K): the Wagner-type fit above
// 314 K, the Antoine-type fit below, 220.55 bar above 647.25 K.
double psatReference(double T) {
    if (T > 647.25) return 220.55;
    if (T <= 314.0) return std::exp(6.3573118 - 8858.843 / T + 607.56335 / std::pow(T, 0.6));
    const double a[8] = {-7.8889166, 2.5514255, -6.716169, 33.239495, -105.38479, 174.35319, -148.39348, 48.631602};
    const double tau = std::fabs(1.0 - T / 647.25);
    double s = 0;
    for (int i = 0; i < 8; ++i) s += a[i] * std::pow(tau, 1.0 + 0.5 * i);
    return 220.93 * std::exp(s * 647.25 / T);
}

// Dielectric constant of water, term by term.
double epsilonReference(double T, double rho) {
    const double c0[] = {439.109592, -218.995148, 18.2898246, 154.8868, -61.3542375};
    const double c1[] = {-2.33277456, 1.00498361, -0.208896146, -0.0613941874};
    const double c2[] = {0.00461662109, -0.00135650617, 0.000160491325};
    const double c3[] = {-4.03643333e-06, 5.94046919e-07};
    double e = 1.31604037e-09 * std::pow(T, 4);
    for (int j = 0; j < 5; ++j) e += c0[j] * std::pow(rho, j);
    for (int j = 0; j < 4; ++j) e += c1[j] * T * std::pow(rho, j);
    for (int j = 0; j < 3; ++j) e += c2[j] * T * T * std::pow(rho, j);
    for (int j = 0; j < 2; ++j) e += c3[j] * std::pow(T, 3) * std::pow(rho, j);
    return e;
}

struct Aqueous {
    double H, S, theta, c1, c2, omega, psi, a1, a2, a3, a4;
};

// The revised equation of state in its textbook arrangement (apparent
// energies: G(Tr) = H - Tr S).
double tangerReference(const Aqueous& q, double T, double P, double eps) {
    const double Tr = 298.15;
    const double lnPsi = std::log((q.psi + P) / (q.psi + 1.0));
    return q.H - q.S * Tr - q.S * (T - Tr) - q.c1 * (T * std::log(T / Tr) - T + Tr) + q.a1 * (P - 1.0) + q.a2 * lnPsi -
           q.c2 * ((1.0 / (T - q.theta) - 1.0 / (Tr - q.theta)) * ((q.theta - T) / q.theta) -
                   T / (q.theta * q.theta) * std::log(Tr * (T - q.theta) / (T * (Tr - q.theta)))) +
           (q.a3 * (P - 1.0) + q.a4 * lnPsi) / (T - q.theta) + q.omega * (1.0 / eps - 1.0);
}

// The first revised model, grouped by powers of the pressure.
double helgesonReference(const Aqueous& q, double T, double P, double eps, double logA) {
    const double Tr = 298.15;
    const double f = T / (T - q.theta);
    return q.H - T * q.S + (q.c1 + q.c2 - 5.808e-5 * q.omega) * (T - Tr) - q.c1 * T * std::log(T / Tr) -
           q.c2 * (T - q.theta) * std::log((T - q.theta) / (Tr - q.theta)) + (P - 1.0) * (q.a1 + q.a3 * f) +
           (P * P - 1.0) / 2.0 * (q.a2 + q.a4 * f) + q.omega * (1.0 / eps - 1.0 / 78.47) +
           8.3143 * std::log(10.0) * T * logA;
}

// Loader slots of the aqueous parameters: K0 theta, K5 c1, K2 c2, K1 omega,
// K4 psi, V1..V4 a1..a4.
PhaseRecord aqueousRecord(const std::string& name, int kind, const Aqueous& q) {
    PhaseRecord p;
    p.name = core::pad(name, 20);
    p.abbreviation = core::pad(name, 8);
    p.kind = kind;
    p.H = q.H;
    p.S = q.S;
    p.K[0] = q.theta;
    p.K[5] = q.c1;
    p.K[2] = q.c2;
    p.K[1] = q.omega;
    p.K[4] = q.psi;
    p.V[1] = q.a1;
    p.V[2] = q.a2;
    p.V[3] = q.a3;
    p.V[4] = q.a4;
    return p;
}

// Parameters of the order of those of a univalent ion, in J, K and bar.
const Aqueous kIon{-230024.0, -10.71, 228.0, 17.4, -433000.0, 720000.0, 2600.0, 0.52, 4.0, 16.2, -120000.0};
const Aqueous kCation{-240340.0, 58.4, 228.0, 76.1, -124900.0, 138000.0, 0.0, 0.77, -2.1e-5, 3.3, 1.1e-4};

// Temperature (K), pressure (bar) and a dielectric constant of the order of water's there.
struct StatePoint {
    double T, P, eps;
};
constexpr StatePoint kStatePoints[] = {{373.15, 500.0, 55.0}, {473.15, 2000.0, 40.0}, {623.15, 5000.0, 25.0}};

// --- a run on the bundled phases ---------------------------------------------

const PhaseTable& bundledPhases() {
    static const std::unique_ptr<PhaseTable> table = [] {
        io::testing::Harness h;
        auto t = std::make_unique<PhaseTable>();
        if (!h.start(io::testing::bundledDatabase(), "SI AL MG FE CA NA K TI H C O").ok()) return t;
        io::LoadOptions o;
        o.waterRoutine = 1;
        if (!h.load(o).ok()) return t;
        *t = *h.phases;
        return t;
    }();
    return *table;
}

int indexOf(const PhaseTable& t, std::string_view name) {
    for (int i = 0; i < t.count; ++i)
        if (core::rtrim(t[i].name) == name) return i;
    return -1;
}

using Terms = std::vector<std::pair<const char*, double>>;

struct DiagramRun {
    calc::DiagramOptions rs;
    std::unique_ptr<PhaseTable> phases = std::make_unique<PhaseTable>(bundledPhases());
    std::unique_ptr<calc::PhaseSelection> sel = std::make_unique<calc::PhaseSelection>();
    testsupport::EvaluationContext ctx;
    model::ReactionTerms rx;
    std::unique_ptr<PointEvaluator> ev;

    explicit DiagramRun(int type) {
        rs.diagramType = type;
        rs.xH2O = 1.0;
        rs.xCO2 = 0.0;
        rs.saturationChoice = 0;
    }
    int idx(std::string_view name) const {
        const int i = indexOf(*phases, name);
        EXPECT_GE(i, 0) << name;
        return i;
    }
    PhaseRecord& phase(std::string_view name) { return (*phases)[idx(name)]; }
    // The activity chosen for a phase (the selection's), and its log activity
    // at the evaluator's point.
    void setLogActivityAt(int i, double v) {
        sel->logActivity[static_cast<std::size_t>(i)] = v;
        if (ev) ev->useSelectedActivities();
    }
    void setLogActivity(std::string_view name, double v) { setLogActivityAt(idx(name), v); }
    double logActivityAt(int i) const { return ev->point().logActivity[static_cast<std::size_t>(i)]; }
    double logActivity(std::string_view name) const { return logActivityAt(idx(name)); }
    int add(PhaseRecord p) {
        p.special = model::specialPhaseOf(p.name);
        p.nameFlags = model::name_flags_of(p.name);
        (*phases)[phases->count] = std::move(p);
        return phases->count++;
    }
    void axis(calc::AxisQuotient& a, bool& has, const std::vector<std::pair<const char*, int>>& members) {
        has = true;
        a.memberCount = 0;
        for (const auto& [name, e] : members) {
            a.phase[static_cast<std::size_t>(a.memberCount)] = std::max(idx(name), 0);
            a.exponent[static_cast<std::size_t>(a.memberCount)] = e;
            ++a.memberCount;
        }
    }
    void xAxis(const std::vector<std::pair<const char*, int>>& m) { axis(sel->xAxis, sel->hasXAxis, m); }
    void yAxis(const std::vector<std::pair<const char*, int>>& m) { axis(sel->yAxis, sel->hasYAxis, m); }
    void reaction(const Terms& terms) {
        std::array<double, model::kMaxPhases> c{};
        for (const auto& [name, v] : terms)
            if (const int i = idx(name); i >= 0) c[static_cast<std::size_t>(i)] = v;
        model::makeReactionTerms(*phases, c.data(), rx);
        ctx.reaction = &rx;
    }
    double deltaG() { return ev->reactionDeltaG(rx); }
    PointEvaluator& start() {
        ev = std::make_unique<PointEvaluator>(rs, *phases, *sel, ctx);
        return *ev;
    }
};

// Chemical potential of a phase by the phase routine alone, at (t, P) with
// pure water as the fluid.
double muByPhaseRoutine(const DiagramRun& r, std::string_view name, double t, double P) {
    testsupport::EvaluationContext c;
    c.table = r.phases.get();
    c.reaction = &r.rx;
    c.point.t = t;
    c.point.P = P;
    c.point.x[model::kWater] = r.rs.xH2O;
    c.point.x[model::kCarbonDioxide] = r.rs.xCO2;
    c.point.logActivity = r.ev ? r.ev->point().logActivity : r.sel->logActivity;  // as the run has them
    return model::PhaseGibbs(c, c.point, indexOf(*r.phases, name), c.reaction);
}

// =============================================================================

TEST(SaturationMode, PressureFollowsTheCurveBelowTheCriticalTemperature) {
    // Above the critical temperature: the fixed supercritical pressure.
    EXPECT_EQ(calc::saturationPressureMode(380.0), 222.00449281263354);
    EXPECT_EQ(calc::saturationPressureMode(374.135986328125), 222.00449281263354);
    // At 300 C: half a per cent above the saturation pressure.
    const double p300 = calc::saturationPressureMode(300.0);
    EXPECT_EQ(p300, 1.0049999952316284 * model::WaterSaturationPressure(300.0 + kKelvinSingle));
    EXPECT_NEAR(p300, 1.005 * psatReference(300.0 + kKelvinSingle), 1e-8 * p300);  // 1.005 in single precision
    EXPECT_NEAR(p300, 1.005 * 85.879, 0.002 * p300);                               // steam tables: 8.5879 MPa
    EXPECT_NEAR(calc::saturationPressureMode(374.13), 1.005 * psatReference(374.13 + kKelvinSingle), 1e-8 * 222.0);

    DiagramRun r(calc::kActT);
    r.rs.saturationChoice = 1;
    r.xAxis({{"QUARTZ", 1}});
    PointEvaluator& ev = r.start();
    ev.setStateFromDiagram(-2.0, 380.0);
    EXPECT_EQ(ev.state().P, 222.00449281263354);
    EXPECT_EQ(r.ev->point().P, 222.00449281263354);
    EXPECT_EQ(r.ev->point().t, 380.0);
    EXPECT_EQ(r.logActivity("QUARTZ"), -2.0);
    ev.setStateFromDiagram(-1.0, 300.0);
    EXPECT_EQ(ev.state().P, p300);
}

TEST(SaturationMode, TemperatureLiesJustBelowTheCurve) {
    // At and above the critical pressure: the fixed temperature.
    EXPECT_EQ(calc::saturationTemperatureMode(250.0), 374.136);
    EXPECT_EQ(calc::saturationTemperatureMode(220.9), 374.136);
    // Below: T / 0.995 is a point of the saturation curve within the
    // bisection tolerance.
    for (double P : {1.5, 15.55, 85.88, 150.0, 220.0}) {
        SCOPED_TRACE(P);
        const double t = calc::saturationTemperatureMode(P);
        const double TK = t / 0.9950000047683716 + kKelvinSingle;
        EXPECT_LE(std::fabs(psatReference(TK) - P), 0.0100001);
    }
    // Steam tables: 15.549 bar at 200 C, 85.879 bar at 300 C.
    EXPECT_NEAR(calc::saturationTemperatureMode(15.549), 0.995 * 200.0, 0.2);
    EXPECT_NEAR(calc::saturationTemperatureMode(85.879), 0.995 * 300.0, 0.2);
    // Below the bracket the search ends at its lower end, 373 K.
    EXPECT_NEAR(calc::saturationTemperatureMode(0.5), (373.0 - kKelvinSingle) * 0.995, 1e-6);

    DiagramRun r(calc::kActP);
    r.rs.saturationChoice = 1;
    r.xAxis({{"QUARTZ", 1}});
    PointEvaluator& ev = r.start();
    ev.setStateFromDiagram(-1.0, 250.0);
    EXPECT_EQ(ev.state().t, 374.136);
    EXPECT_EQ(r.ev->point().P, 250.0);
    ev.setStateFromDiagram(-1.0, 85.879);
    EXPECT_EQ(ev.state().t, calc::saturationTemperatureMode(85.879));
    ev.setStateFromDiagram(-1.5, 85.879);  // same pressure again
    EXPECT_EQ(ev.state().t, calc::saturationTemperatureMode(85.879));
}

TEST(DiagramMapping, CoordinatesFixedValuesAndGeotherms) {
    DiagramRun r(calc::kPT);
    r.rs.xH2O = 0.7;
    r.rs.xCO2 = 0.3;
    r.xAxis({{"QUARTZ", 1}});
    r.yAxis({{"KYANITE", 1}});
    PointEvaluator& ev = r.start();
    const model::PointState& pt = r.ev->point();
    ev.setStateFromDiagram(600.0, 5000.0);
    EXPECT_EQ(pt.t, 600.0);
    EXPECT_EQ(pt.P, 5000.0);
    EXPECT_EQ(pt.x[model::kWater], 0.7);
    EXPECT_EQ(pt.x[model::kCarbonDioxide], 0.3);

    // xCO2 diagrams: water takes what the other constituents leave.
    r.rs.diagramType = calc::kTX;
    r.rs.pMin = 2000.0;
    ev.setFurtherFluid(0.1, 0.05);
    ev.setStateFromDiagram(0.3, 550.0);
    EXPECT_EQ(pt.t, 550.0);
    EXPECT_EQ(pt.P, 2000.0);
    EXPECT_DOUBLE_EQ(pt.x[model::kWater], 0.55);
    EXPECT_EQ(pt.x[model::kCarbonDioxide], 0.3);
    r.rs.diagramType = calc::kPX;
    r.rs.tMin = 500.0;
    ev.setFurtherFluid(0.0, 0.0);
    ev.setStateFromDiagram(0.25, 4000.0);
    EXPECT_EQ(pt.P, 4000.0);
    EXPECT_EQ(pt.t, 500.0);
    EXPECT_DOUBLE_EQ(pt.x[model::kWater], 0.75);

    // Activity diagrams: fixed values and geotherms.
    r.rs.diagramType = calc::kActT;
    r.rs.pMin = 300.0;
    ev.setStateFromDiagram(-1.5, 325.0);
    EXPECT_EQ(pt.P, 300.0);
    EXPECT_EQ(r.logActivity("QUARTZ"), -1.5);
    r.rs.saturationChoice = 2;
    r.rs.geothermD1 = 25.0;
    r.rs.geothermD2 = 0.02;
    ev.setStateFromDiagram(0.0, 325.0);
    EXPECT_DOUBLE_EQ(pt.P, 1.0 + 25.0 * 300.0 + 0.02 * 300.0 * 300.0);
    r.rs.diagramType = calc::kActP;
    r.rs.geothermD1 = 0.05;
    r.rs.geothermD2 = 1e-5;
    ev.setStateFromDiagram(0.0, 1001.0);
    EXPECT_DOUBLE_EQ(pt.t, 25.0 + 0.05 * 1000.0 + 1e-5 * 1000.0 * 1000.0);
    r.rs.saturationChoice = 0;
    r.rs.tMin = 125.0;
    ev.setStateFromDiagram(0.0, 1001.0);
    EXPECT_EQ(pt.t, 125.0);
    // Activity-activity: T fixed, P by the pressure mode at that T.
    r.rs.diagramType = calc::kActAct;
    r.rs.saturationChoice = 2;
    r.rs.tMin = 225.0;
    ev.setStateFromDiagram(-1.5, -0.5);
    EXPECT_EQ(pt.t, 225.0);
    EXPECT_DOUBLE_EQ(pt.P, 1.0 + 0.05 * 200.0 + 1e-5 * 200.0 * 200.0);
    EXPECT_EQ(r.logActivity("QUARTZ"), -1.5);
    EXPECT_EQ(r.logActivity("KYANITE"), -0.5);
}

TEST(WaterDielectricConstant, PrintedValuesAndTermByTermSum) {
    const double T = 298.1499938964844;
    EXPECT_NEAR(model::waterDielectricConstant(T, 0.997047), 78.464, 0.0005);
    EXPECT_NEAR(model::waterDielectricConstant(T, 1.0), 78.702, 0.0005);
    for (double TK : {273.2, 373.15, 573.15})
        for (double rho : {0.5, 0.8, 1.05})
            EXPECT_NEAR(model::waterDielectricConstant(TK, rho), epsilonReference(TK, rho), 1e-9);
}

TEST(AqueousPotential, BothFormsAgainstIndependentArrangements) {
    const PhaseRecord oh = aqueousRecord("OH-", model::kAqueousTanger, kIon);
    const PhaseRecord na = aqueousRecord("NA+", model::kAqueousHelgeson, kCation);
    // At the reference state only H - Tr S and the Born term remain (and the
    // activity term of the first model).
    const double eps = 78.4;
    EXPECT_NEAR(model::aqueousPotentialTanger(oh, 298.15, 1.0, eps),
                kIon.H - 298.15 * kIon.S + kIon.omega * (1 / eps - 1), 1e-6);
    EXPECT_NEAR(
        model::aqueousPotentialHelgeson(na, 298.15, 1.0, eps, -1.5),
        kCation.H - 298.15 * kCation.S + kCation.omega * (1 / eps - 1 / 78.47) + 19.144383238680394 * 298.15 * -1.5,
        1e-6);
    for (const StatePoint& s : kStatePoints) {
        SCOPED_TRACE(s.T);
        EXPECT_NEAR(model::aqueousPotentialTanger(oh, s.T, s.P, s.eps), tangerReference(kIon, s.T, s.P, s.eps),
                    1e-6);
        EXPECT_NEAR(model::aqueousPotentialHelgeson(na, s.T, s.P, s.eps, -1.5),
                    helgesonReference(kCation, s.T, s.P, s.eps, -1.5), 1e-6);
    }
    // A species of the revised model without theta and psi takes 228 K and 2600 bar.
    PhaseRecord bare = oh;
    bare.K[0] = 0.0;
    bare.K[4] = 0.0;
    EXPECT_EQ(model::aqueousPotentialTanger(bare, 473.15, 2000.0, 40.0),
              model::aqueousPotentialTanger(oh, 473.15, 2000.0, 40.0));
}

// A run with aqueous species and electrons after the bundled phases.
struct AqueousRun : DiagramRun {
    int tanger, helgeson, plain, electronUpper, electronLower, notElectron;
    // Electron data: those of hydrogen gas in the C3 slots (K0, K5, K2).
    static constexpr double kH = 0.0, kS = 130.68, kK0 = 45.2, kK5 = 0.002, kK2 = 3.5e6;
    explicit AqueousRun(int type) : DiagramRun(type) {
        tanger = add(aqueousRecord("OH-", model::kAqueousTanger, kIon));
        helgeson = add(aqueousRecord("NA+", model::kAqueousHelgeson, kCation));
        plain = add(aqueousRecord("H+", model::kAqueousPlain, kCation));
        PhaseRecord e;
        e.H = kH;
        e.S = kS;
        e.K[0] = kK0;
        e.K[5] = kK5;
        e.K[2] = kK2;
        e.name = core::pad("E-", 20);
        e.kind = model::kAqueousTanger;
        electronUpper = add(e);
        e.name = core::pad("e-", 20);
        e.kind = model::kAqueousHelgeson;
        electronLower = add(e);
        e.name = core::pad("E-2", 20);
        e.kind = model::kAqueousTanger;
        notElectron = add(e);
    }
    // Half the standard-state energy of the electron data at T (K).
    static double halfElectron(double T) {
        const double Tr = 298.15;
        const double cp = kK0 * (T - Tr - T * std::log(T / Tr)) + kK5 * ((T * T - Tr * Tr) / 2 - T * (T - Tr)) +
                          kK2 * (-(1 / T - 1 / Tr) + T / 2 * (1 / (T * T) - 1 / (Tr * Tr)));
        return 0.5 * (kH - T * kS + cp);
    }
};

TEST(PhasePotential, AqueousKindsElectronAndWaterDensity) {
    AqueousRun r(calc::kActT);
    r.rs.pMin = 1.0;
    r.xAxis({{"QUARTZ", 1}});
    PointEvaluator& ev = r.start();

    // Water volumes of the reference table: 25 C 1 bar, 200 C 100 bar, 300 C 500 bar.
    struct Point {
        double t, P, V;
    };
    for (const Point& pt :
         {Point{25.0, 1.0, 18.068296}, Point{200.0, 100.0, 20.682587}, Point{300.0, 500.0, 23.196264}}) {
        SCOPED_TRACE(pt.t);
        r.rs.pMin = pt.P;
        ev.setStateFromDiagram(0.0, pt.t);
        const double TK = pt.t + kKelvinSingle;
        const double rho = 18.0152 / pt.V;
        const double eps = epsilonReference(TK, rho);
        // The reference volume is good to 0.1 per cent; so is the density.
        const double bornSpread = std::fabs(1 / epsilonReference(TK, rho * 1.001) - 1 / eps);
        const double slack = std::fabs(kIon.omega) * bornSpread + 1e-6;
        const double slackNa = std::fabs(kCation.omega) * bornSpread + 1e-6;
        r.setLogActivityAt(r.tanger, 0.0);
        EXPECT_NEAR(ev.phasePotential(r.tanger), tangerReference(kIon, TK, pt.P, eps), slack);
        // The activity of a species of the revised model counts as every other.
        r.setLogActivityAt(r.tanger, -2.0);
        EXPECT_NEAR(ev.phasePotential(r.tanger), tangerReference(kIon, TK, pt.P, eps) + 19.144383238680394 * TK * -2.0,
                    slack);
        r.setLogActivityAt(r.helgeson, -1.0);
        EXPECT_NEAR(ev.phasePotential(r.helgeson), helgesonReference(kCation, TK, pt.P, eps, -1.0), slackNa);

        // No model keyword: nothing.
        EXPECT_EQ(ev.phasePotential(r.plain), 0.0);
        // The electron, upper or lower case, whatever its activity; both restored afterwards.
        r.setLogActivityAt(r.electronUpper, -3.0);
        EXPECT_NEAR(ev.phasePotential(r.electronUpper), AqueousRun::halfElectron(TK), 1e-6);
        EXPECT_NEAR(ev.phasePotential(r.electronLower), AqueousRun::halfElectron(TK), 1e-6);
        EXPECT_EQ((*r.phases)[r.electronUpper].kind, model::kAqueousTanger);
        EXPECT_EQ(r.logActivityAt(r.electronUpper), -3.0);
        EXPECT_EQ((*r.phases)[r.electronLower].kind, model::kAqueousHelgeson);
        // A name that only begins like the electron's is an ordinary species.
        EXPECT_GT(std::fabs(ev.phasePotential(r.notElectron) - AqueousRun::halfElectron(TK)), 1.0);
    }
    // Minerals and gases: the phase routine.
    ev.setStateFromDiagram(-0.5, 400.0);
    EXPECT_EQ(ev.phasePotential(r.idx("QUARTZ")), model::PhaseGibbs(r.ctx, ev.point(), r.idx("QUARTZ"), r.ctx.reaction));
    EXPECT_EQ(ev.phasePotential(r.idx("WATER")), model::PhaseGibbs(r.ctx, ev.point(), r.idx("WATER"), r.ctx.reaction));
    EXPECT_EQ(ev.phasePotential(-1), 0.0);
    EXPECT_EQ(ev.phasePotential(r.phases->count), 0.0);
}

TEST(ReactionDeltaG, PressureTemperatureDiagramsUseTheReactionForm) {
    DiagramRun r(calc::kPT);
    r.reaction({{"KYANITE", -1}, {"SILLIMANITE", 1}});
    PointEvaluator& ev = r.start();
    // The aluminosilicate triple point of the bundled data (505.58 C, 3736.7 bar).
    ev.setStateFromDiagram(505.58, 3736.7);
    const double kySil = ev.reactionDeltaG(r.rx);
    EXPECT_NEAR(kySil, 0.0, 0.5);
    r.reaction({{"ANDALUSITE", -1}, {"SILLIMANITE", 1}});
    EXPECT_NEAR(ev.reactionDeltaG(r.rx), 0.0, 0.5);

    ev.setStateFromDiagram(700.0, 6000.0);
    r.reaction({{"MUSCOVITE", -1}, {"QUARTZ", -1}, {"K-FELDSPAR", 1}, {"SILLIMANITE", 1}, {"WATER", 1}});
    const double dG = ev.reactionDeltaG(r.rx);
    testsupport::EvaluationContext c = r.ctx;
    c.fluidCache = model::FluidCache{};
    EXPECT_EQ(dG, model::ReactionGibbs(c, ev.point(), r.rx));
}

TEST(ReactionDeltaG, ActivityTemperatureSumsPotentialsWithTheAxisQuotient) {
    DiagramRun r(calc::kActT);
    r.rs.pMin = 8000.0;
    // x = log(a grs / a py^2): the quotient's second member enters without its activity.
    r.xAxis({{"GROSSULAR", 1}, {"PYROPE", -2}});
    r.setLogActivity("PYROPE", -0.3);
    r.setLogActivity("ANORTHITE", -0.1);
    r.reaction({{"GROSSULAR", -1}, {"KYANITE", -2}, {"QUARTZ", -1}, {"ANORTHITE", 3}});
    PointEvaluator& ev = r.start();
    ev.setStateFromDiagram(-0.7, 650.0);
    const double dG = ev.reactionDeltaG(r.rx);

    const double t = 650.0, P = 8000.0, TK = t + 273.15;
    const double grs = muByPhaseRoutine(r, "GROSSULAR", t, P);  // its activity is the axis value
    const double py = muByPhaseRoutine(r, "PYROPE", t, P) - 19.144383238729898 * TK * -0.3;
    const double expected = -1 * (grs - 2 * py) - 2 * muByPhaseRoutine(r, "KYANITE", t, P) -
                            muByPhaseRoutine(r, "QUARTZ", t, P) + 3 * muByPhaseRoutine(r, "ANORTHITE", t, P);
    EXPECT_NEAR(dG, expected, 1e-6 * std::fabs(expected) + 1e-6);
    EXPECT_EQ(r.logActivity("GROSSULAR"), -0.7);

    // The same state on an activity-pressure diagram.
    r.rs.diagramType = calc::kActP;
    r.rs.tMin = 650.0;
    ev.setStateFromDiagram(-0.7, 8000.0);
    EXPECT_EQ(ev.reactionDeltaG(r.rx), dG);
}

TEST(ReactionDeltaG, CoefficientsOfAtMostOneThousandthTakeNoPart) {
    for (int type : {calc::kActT, calc::kActAct}) {
        SCOPED_TRACE(type);
        DiagramRun r(type);
        r.rs.pMin = 5000.0;
        r.rs.tMin = 600.0;
        r.xAxis({{"QUARTZ", 1}});
        r.yAxis({{"KYANITE", 1}});
        PointEvaluator& ev = r.start();
        // Hand-made terms: corundum listed with a coefficient at the threshold.
        r.rx = model::ReactionTerms{};
        const int ky = r.idx("KYANITE"), sil = r.idx("SILLIMANITE"), crn = r.idx("CORUNDUM");
        r.rx.count = 3;
        r.rx.phase = {ky, sil, crn};
        r.rx.coef = {-1.0, 1.0, 0.001};
        r.ctx.reaction = &r.rx;
        ev.setStateFromDiagram(0.0, type == calc::kActT ? 600.0 : 0.0);
        const double withoutCorundum =
            muByPhaseRoutine(r, "SILLIMANITE", 600, 5000) - muByPhaseRoutine(r, "KYANITE", 600, 5000);
        EXPECT_NEAR(ev.reactionDeltaG(r.rx), withoutCorundum, 1e-6);
        r.rx.coef[2] = -0.001;
        EXPECT_NEAR(ev.reactionDeltaG(r.rx), withoutCorundum, 1e-6);
        r.rx.coef[2] = 0.0011;
        EXPECT_NEAR(ev.reactionDeltaG(r.rx), withoutCorundum + 0.0011 * muByPhaseRoutine(r, "CORUNDUM", 600, 5000), 1e-6);
    }
}

// The activity-activity sum from stored energies and the activity-temperature
// sum from the phase routines give the same energy at the same T, P and activities.
struct PairedRuns {
    DiagramRun aa{calc::kActAct};
    DiagramRun at{calc::kActT};
    static constexpr double t = 650.0, P = 8000.0;
    PairedRuns() {
        for (DiagramRun* r : {&aa, &at}) {
            r->rs.tMin = t;
            r->rs.pMin = P;
            r->xAxis({{"GROSSULAR", 1}, {"PYROPE", -2}});
            r->setLogActivity("PYROPE", -0.3);
            r->setLogActivity("KYANITE", -0.05);
        }
        aa.yAxis({{"ANORTHITE", 1}});
    }
    void reaction(const Terms& terms) {
        aa.reaction(terms);
        at.reaction(terms);
    }
    // Activity-activity at (x, y) against activity-temperature at (x, t) with
    // the y-axis phase's activity set by hand.
    void expectSame(double x, double y, const char* yPhase, double tolerance = 0.01) {
        aa.ev->setStateFromDiagram(x, y);
        at.setLogActivity(yPhase, y);
        at.ev->setStateFromDiagram(x, t);
        const double a = aa.ev->reactionDeltaG(aa.rx);
        const double b = at.ev->reactionDeltaG(at.rx);
        EXPECT_NEAR(a, b, tolerance);
    }
};

TEST(ReactionDeltaG, ActivityActivityEqualsActivityTemperature) {
    PairedRuns p;
    p.reaction({{"GROSSULAR", -1}, {"KYANITE", -2}, {"QUARTZ", -1}, {"ANORTHITE", 3}});
    p.aa.start();
    p.at.start();
    p.aa.ev->prepareFixedConditions();
    EXPECT_TRUE(p.aa.ev->fixedConditionsReady());
    EXPECT_EQ(p.aa.ev->point().t, PairedRuns::t);
    EXPECT_EQ(p.aa.ev->point().P, PairedRuns::P);
    p.expectSame(-0.7, -0.1, "ANORTHITE");
    p.expectSame(0.4, -1.3, "ANORTHITE");
    // A fixed activity changed after the preparation still counts.
    p.aa.setLogActivity("KYANITE", -0.2);
    p.at.setLogActivity("KYANITE", -0.2);
    p.expectSame(-0.7, -0.1, "ANORTHITE");
    // A fluid species, stored once.
    p.reaction({{"MUSCOVITE", -1}, {"QUARTZ", -1}, {"K-FELDSPAR", 1}, {"SILLIMANITE", 1}, {"WATER", 1}});
    p.aa.setLogActivity("WATER", -0.3);
    p.at.setLogActivity("WATER", -0.3);
    p.expectSame(-0.7, -0.1, "ANORTHITE");
}

TEST(ReactionDeltaG, ActivityActivityPreparesItselfAndKeepsAqueousSpecies) {
    AqueousRun aa(calc::kActAct), at(calc::kActT);
    for (DiagramRun* r : {static_cast<DiagramRun*>(&aa), static_cast<DiagramRun*>(&at)}) {
        r->rs.tMin = 200.0;
        r->rs.pMin = 100.0;
        r->xAxis({{"OH-", 1}});
        r->reaction({{"OH-", -1}, {"NA+", 1}, {"E-", 2}, {"e-", -1}, {"H+", 1}, {"QUARTZ", 1}});
        r->setLogActivity("NA+", -1.2);
        r->setLogActivity("H+", -4.0);
        r->start();
    }
    aa.yAxis({{"QUARTZ", 1}});
    // No explicit preparation: the first evaluation prepares.
    aa.ev->setStateFromDiagram(-2.5, -0.2);
    at.setLogActivity("QUARTZ", -0.2);
    at.ev->setStateFromDiagram(-2.5, 200.0);
    EXPECT_NEAR(aa.ev->reactionDeltaG(aa.rx), at.ev->reactionDeltaG(at.rx), 0.01);
    EXPECT_TRUE(aa.ev->fixedConditionsReady());
}

TEST(ReactionDeltaG, PyrrhotiteAndAluminousEnstatiteOnActivityActivityDiagrams) {
    // Troilite-like data for the pyrrhotites; sulfur gas at a fixed fugacity.
    auto mineral = [](const char* name, double H, double S, double V0) {
        PhaseRecord p;
        p.name = core::pad(name, 20);
        p.kind = model::kMineral;
        p.H = H;
        p.S = S;
        p.V0 = V0;
        p.K[0] = 50.0;
        return p;
    };
    PairedRuns p;
    for (DiagramRun* r : {&p.aa, &p.at}) {
        r->add(mineral("Po", -101671.0, 60.29, 1.82));
        r->add(mineral("PYRRHOTITE", -101671.0, 60.29, 1.82));
        r->add(mineral("aEn", -3090000.0, 132.5, 6.262));
        PhaseRecord s2 = mineral("SULFUR GAS", 128600.0, 228.17, 0.0);
        s2.kind = model::kSulfurGas;
        r->add(s2);
        r->setLogActivity("SULFUR GAS", -2.0);
    }
    // The special phase "Po": its term in the stored energy would depend on
    // the reaction current when the energies were stored; it is added per point.
    p.reaction({{"Po", -2}, {"SULFUR GAS", 1}, {"QUARTZ", 0.5}, {"ANORTHITE", 1}});
    p.aa.start();
    p.at.start();
    p.aa.ev->prepareFixedConditions();  // with the sulfur-bearing reaction current
    p.expectSame(-0.7, -0.1, "ANORTHITE");
    const double TK = PairedRuns::t + kKelvinSingle;
    const double correction = model::SpecialPhaseGibbs(p.aa.ctx, p.aa.ev->point(), PairedRuns::P, TK, model::SpecialPhase::Pyrrhotite, p.aa.ctx.reaction);
    ASSERT_GT(std::fabs(correction), 1.0);

    // A name beginning "PYRR" gets the correction on this diagram only.
    p.reaction({{"PYRRHOTITE", -2}, {"SULFUR GAS", 1}, {"QUARTZ", 0.5}, {"ANORTHITE", 1}});
    p.aa.ev->setStateFromDiagram(-0.7, -0.1);
    p.at.setLogActivity("ANORTHITE", -0.1);
    p.at.ev->setStateFromDiagram(-0.7, PairedRuns::t);
    EXPECT_NEAR(p.aa.ev->reactionDeltaG(p.aa.rx) - p.at.ev->reactionDeltaG(p.at.rx), -2 * correction, 0.01);

    // Aluminous enstatite with pyrope in the reaction: the alumina term
    // follows the reaction on both diagrams.
    p.reaction({{"aEn", -1}, {"PYROPE", 1}, {"QUARTZ", 1}, {"ANORTHITE", -1}});
    p.expectSame(-0.7, -0.1, "ANORTHITE");
    ASSERT_NE(model::SpecialPhaseGibbs(p.aa.ctx, p.aa.ev->point(), PairedRuns::P, TK, model::SpecialPhase::AlEnstatite, p.aa.ctx.reaction), 0.0);
}

}  // namespace
