// A point of the diagram and the Gibbs energy of a reaction there.
//
// The diagram coordinates become temperature, pressure, fluid composition and
// the log activities of the axis phases; the reaction Gibbs energy is then the
// sum of coefficient times chemical potential over the reaction's phases.  On
// the P-T and xCO2 diagrams that is the reaction form of the property
// routines; on the activity diagrams the phases are summed one by one, so that
// aqueous species and the quotients of the activity axes can enter.
//
// Units: P bar, t degrees C on the diagram, kelvin inside (t + 273.15 here,
// t + 273.1499938964844 in the aqueous routines and in the phase routine),
// energies J/mol, water density g/cm3.
#include "calc/point.hpp"

#include <cmath>

#include "model/aqueous.hpp"
#include "model/water.hpp"

namespace calc {
namespace {

using model::PhaseRecord;

constexpr double kKelvin = 273.15;
constexpr double kKelvinSingle = 273.1499938964844;  // 273.15 in single precision
// R ln 10: the axis rule's value, and the phase and Helgeson routines' value.
constexpr double kRLn10Axis = 19.144383238729898;
using model::kRLn10;
constexpr double kTakesPart = 0.001;  // a phase takes part above this coefficient magnitude
constexpr double kAbsentFraction = 1e-10;  // a fluid species below this mole fraction is absent

// Saturation mode of the Act-T diagram: 0.5 per cent above the curve, a fixed
// pressure above the critical temperature.
constexpr double kCriticalTemperature = 374.135986328125;  // C
constexpr double kAboveCurve = 1.0049999952316284;
constexpr double kSupercriticalPressure = 222.00449281263354;
// Saturation mode of the Act-P diagram: bisection on the saturation curve,
// then 0.5 per cent below it; a fixed temperature above the critical pressure.
constexpr double kCriticalPressure = 220.89999389648438;  // bar
constexpr double kBisectLow = 373.0, kBisectHigh = 647.0;  // K
constexpr int kBisectIterations = 100;
constexpr double kBisectTolerance = 0.009999999776482582;  // bar
constexpr double kBelowCurve = 0.9950000047683716;
constexpr double kSupercriticalTemperature = 374.136;  // C

// Per-phase rules recognised once from the name and the special-phase code.
enum PhaseRule : unsigned char {
    kElectron = 1,         // "E-" or "e-": half the gas-route value at unit fugacity
    kPyrrhotiteName = 2,   // a name beginning "Po" or "PYRR": the pyrrhotite correction (Act-Act)
    kReactionSpecial = 4,  // a special-phase term that depends on the reaction's other phases
    kNoActivity = 8,       // its potential carries no activity term (plain aqueous, electron)
};

bool isPyrrhotiteName(const std::string& name) {
    return name.compare(0, 2, "Po") == 0 || name.compare(0, 4, "PYRR") == 0;
}

bool validPhase(const model::PhaseTable& t, int i) { return i >= 0 && i < t.count && i < model::kMaxPhases; }

}  // namespace

double saturationPressureMode(double tC) {
    if (tC < kCriticalTemperature) return kAboveCurve * model::WaterSaturationPressure(tC + kKelvinSingle);
    return kSupercriticalPressure;
}

double saturationTemperatureMode(double P) {
    if (!(P < kCriticalPressure)) return kSupercriticalTemperature;
    double lo = kBisectLow, hi = kBisectHigh, mid = lo;
    for (int it = 0; it < kBisectIterations; ++it) {
        mid = (lo + hi) / 2.0;
        const double psat = model::WaterSaturationPressure(mid);
        if (std::fabs(psat - P) <= kBisectTolerance) break;
        if (psat < P)
            lo = mid;
        else
            hi = mid;
    }
    return (mid - kKelvinSingle) * kBelowCurve;
}

// ---------------------------------------------------------------------------

PointEvaluator::PointEvaluator(const DiagramOptions& options, const model::PhaseTable& phases,
                               const PhaseSelection& selection, model::GibbsEvaluator& gibbs)
    : options_(options), phases_(phases), sel_(selection), gibbs_(gibbs) {
    // The evaluator's phases are the ones the property routines read.
    gibbs_.table = &phases_;
    state_.xCO2 = options_.xCO2;
    state_.xH2O = options_.xH2O;
    point_.fluid = options_.fluid;
    useSelectedActivities();
    preparePhases();
}

void PointEvaluator::useSelectedActivities() { point_.logActivity = sel_.logActivity; }

void PointEvaluator::preparePhases() {
    flags_.fill(0);
    aqueousSpecies_ = false;
    const int n = phases_.count < model::kMaxPhases ? phases_.count : model::kMaxPhases;
    for (int i = 0; i < n; ++i) {
        const PhaseRecord& p = phases_[i];
        unsigned char f = 0;
        if (p.kind < 0 && model::isElectronName(p.name)) f |= kElectron | kNoActivity;
        if (p.kind == model::kAqueousPlain) f |= kNoActivity;
        if ((p.kind == model::kAqueousHelgeson || p.kind == model::kAqueousTanger) && !(f & kElectron))
            aqueousSpecies_ = true;
        if (isPyrrhotiteName(p.name)) f |= kPyrrhotiteName;
        if (p.kind >= 0 && (p.special == model::SpecialPhase::AlEnstatite ||
                            p.special == model::SpecialPhase::Pyrrhotite ||
                            p.special == model::SpecialPhase::PyrrhotiteVacancy))
            f |= kReactionSpecial;
        flags_[static_cast<std::size_t>(i)] = f;
    }
    flagsCount_ = phases_.count;
    fixedReady_ = false;  // the stored energies belong to the phases as they were
}

// --- state -----------------------------------------------------------------

double PointEvaluator::pressureByMode(double tC) const {
    switch (options_.saturationChoice) {
        case 1: return saturationPressureMode(tC);
        case 2: {
            const double u = tC - 25.0;
            return (options_.geothermD2 * u + options_.geothermD1) * u + 1.0;
        }
        default: return options_.pMin;
    }
}

double PointEvaluator::temperatureByMode(double P) {
    switch (options_.saturationChoice) {
        case 1:
            // The tracer often steps along the activity axis at one pressure.
            if (P != satP_) {
                satP_ = P;
                satT_ = saturationTemperatureMode(P);
            }
            return satT_;
        case 2: {
            const double u = P - 1.0;
            return (options_.geothermD2 * u + options_.geothermD1) * u + 25.0;
        }
        default: return options_.tMin;
    }
}

void PointEvaluator::setAxisActivity(const AxisQuotient& axis, double logA) {
    if (axis.memberCount < 1) return;
    const int i = axis.phase[0];
    if (validPhase(phases_, i)) point_.logActivity[static_cast<std::size_t>(i)] = logA;
}

void PointEvaluator::applyPoint() {
    model::PointState& pt = point_;
    pt.P = state_.P;
    pt.t = state_.t;
    pt.x[model::kWater] = state_.xH2O;
    pt.x[model::kCarbonDioxide] = state_.xCO2;
    pt.fluid = options_.fluid;
}

void PointEvaluator::setStateFromDiagram(double x, double y) {
    state_.x = x;
    state_.y = y;
    const int type = options_.diagramType;
    if (type == kTX || type == kPX) {
        state_.xCO2 = x;
        state_.xH2O = 1.0 - state_.xThird - state_.xNaCl - x;
    } else {
        state_.xCO2 = options_.xCO2;
        state_.xH2O = options_.xH2O;
    }
    switch (type) {
        case kPT:
            state_.t = x;
            state_.P = y;
            break;
        case kTX:
            state_.t = y;
            state_.P = options_.pMin;
            break;
        case kPX:
            state_.P = y;
            state_.t = options_.tMin;
            break;
        case kActT:
            if (sel_.hasXAxis) setAxisActivity(sel_.xAxis, x);
            state_.t = y;
            state_.P = pressureByMode(y);
            break;
        case kActP:
            if (sel_.hasXAxis) setAxisActivity(sel_.xAxis, x);
            state_.P = y;
            state_.t = temperatureByMode(y);
            break;
        case kActAct:
            if (sel_.hasXAxis) setAxisActivity(sel_.xAxis, x);
            if (sel_.hasYAxis) setAxisActivity(sel_.yAxis, y);
            state_.t = options_.tMin;
            state_.P = pressureByMode(options_.tMin);
            break;
        default: break;
    }
    applyPoint();
    // Above the critical temperature the saturation mode holds 222 bar, where
    // water is a low-density fluid: said once per run when aqueous species
    // take part.
    if (options_.saturationChoice == 1 && (type == kActT || type == kActAct) && !(state_.t < kCriticalTemperature)) {
        if (flagsCount_ != phases_.count) preparePhases();
        if (aqueousSpecies_) model::ReportRangeEvent(gibbs_, point_, model::RangeSource::AqueousAboveCritical);
    }
}

// --- potentials --------------------------------------------------------------

double PointEvaluator::potentialAt(const model::PointState& at, int i, const model::ReactionTerms* reaction) {
    if (!validPhase(phases_, i)) return 0.0;
    if (flagsCount_ != phases_.count) preparePhases();
    if (phases_[i].kind >= 0) return model::PhaseGibbs(gibbs_, at, i, reaction);  // reports a non-finite energy itself
    return model::AqueousGibbs(gibbs_, at, i, reaction);
}

double PointEvaluator::phasePotential(int i, const model::ReactionTerms* reaction) {
    return potentialAt(point_, i, reaction);
}

// --- reaction sums ---------------------------------------------------------

double PointEvaluator::quotientPotential(const AxisQuotient& axis, double TK, const model::ReactionTerms& reaction) {
    const int n = axis.memberCount < kMaxAxisMembers ? axis.memberCount : kMaxAxisMembers;
    double mu = 0.0;
    for (int m = 0; m < n; ++m) {
        const int j = axis.phase[static_cast<std::size_t>(m)];
        if (!validPhase(phases_, j)) continue;
        double g = phasePotential(j, &reaction);
        if (m > 0) g -= kRLn10Axis * TK * point_.logActivity[static_cast<std::size_t>(j)];
        mu += axis.exponent[static_cast<std::size_t>(m)] * g;
    }
    return mu;
}

double PointEvaluator::sumActivityTypes(const model::ReactionTerms& rx) {
    const double TK = point_.t + kKelvin;
    const int xPrincipal = sel_.hasXAxis && sel_.xAxis.memberCount > 0 ? sel_.xAxis.phase[0] : -1;
    const int yPrincipal = sel_.hasYAxis && sel_.yAxis.memberCount > 0 ? sel_.yAxis.phase[0] : -1;
    const int count = rx.count < model::kMaxReactionPhases ? rx.count : model::kMaxReactionPhases;
    double sum = 0.0;
    for (int k = 0; k < count; ++k) {
        const double c = rx.coef[static_cast<std::size_t>(k)];
        if (!(std::fabs(c) > kTakesPart)) continue;
        const int i = rx.phase[static_cast<std::size_t>(k)];
        double mu;
        if (i == xPrincipal)
            mu = quotientPotential(sel_.xAxis, TK, rx);
        else if (i == yPrincipal)
            mu = quotientPotential(sel_.yAxis, TK, rx);
        else
            mu = phasePotential(i, &rx);
        sum += c * mu;
    }
    return sum;
}

double PointEvaluator::activityTerm(int i, double TKs) const {
    if (flags_[static_cast<std::size_t>(i)] & kNoActivity) return 0.0;
    const PhaseRecord& p = phases_[i];
    if (p.kind < 0 && p.kind != model::kAqueousHelgeson && p.kind != model::kAqueousTanger) return 0.0;
    return kRLn10 * TKs * point_.logActivity[static_cast<std::size_t>(i)];
}

double PointEvaluator::perPointSpecial(int i, double TKs, const model::ReactionTerms& reaction) {
    const unsigned char f = flags_[static_cast<std::size_t>(i)];
    if (!(f & (kPyrrhotiteName | kReactionSpecial))) return 0.0;
    const double P = point_.P;
    if (f & kPyrrhotiteName)
        return model::SpecialPhaseGibbs(gibbs_, point_, P, TKs, model::SpecialPhase::Pyrrhotite, &reaction);
    // The other reaction-dependent terms (the alumina of orthopyroxene) are
    // not in the stored energy either.
    return model::SpecialPhaseGibbs(gibbs_, point_, P, TKs, phases_[i].special, &reaction);
}

double PointEvaluator::quotientPotentialFixed(const AxisQuotient& axis, double TK, double TKs,
                                              const model::ReactionTerms& reaction) {
    const int n = axis.memberCount < kMaxAxisMembers ? axis.memberCount : kMaxAxisMembers;
    double mu = 0.0;
    for (int m = 0; m < n; ++m) {
        const int j = axis.phase[static_cast<std::size_t>(m)];
        if (!validPhase(phases_, j)) continue;
        const std::size_t js = static_cast<std::size_t>(j);
        double g = fixedG_[js] + perPointSpecial(j, TKs, reaction);
        if (m == 0)
            g += kRLn10Axis * TK * point_.logActivity[js];
        else
            g += activityTerm(j, TKs) - kRLn10Axis * TK * point_.logActivity[js];
        mu += axis.exponent[static_cast<std::size_t>(m)] * g;
    }
    return mu;
}

double PointEvaluator::sumActivityActivity(const model::ReactionTerms& rx) {
    if (!fixedReady_ || flagsCount_ != phases_.count) prepareFixedConditions();
    const double TK = point_.t + kKelvin;
    const double TKs = point_.t + kKelvinSingle;
    const int xPrincipal = sel_.hasXAxis && sel_.xAxis.memberCount > 0 ? sel_.xAxis.phase[0] : -1;
    const int yPrincipal = sel_.hasYAxis && sel_.yAxis.memberCount > 0 ? sel_.yAxis.phase[0] : -1;
    const int count = rx.count < model::kMaxReactionPhases ? rx.count : model::kMaxReactionPhases;
    double sum = 0.0;
    for (int k = 0; k < count; ++k) {
        const double c = rx.coef[static_cast<std::size_t>(k)];
        if (!(std::fabs(c) > kTakesPart)) continue;
        const int i = rx.phase[static_cast<std::size_t>(k)];
        if (!validPhase(phases_, i)) continue;
        double mu;
        if (i == xPrincipal)
            mu = quotientPotentialFixed(sel_.xAxis, TK, TKs, rx);
        else if (i == yPrincipal)
            mu = quotientPotentialFixed(sel_.yAxis, TK, TKs, rx);
        else
            mu = fixedG_[static_cast<std::size_t>(i)] + activityTerm(i, TKs) + perPointSpecial(i, TKs, rx);
        sum += c * mu;
    }
    return sum;
}

double PointEvaluator::reactionDeltaG(const model::ReactionTerms& reaction) {
    if (flagsCount_ != phases_.count) preparePhases();
    switch (options_.diagramType) {
        case kActT:
        case kActP: return sumActivityTypes(reaction);
        case kActAct: return sumActivityActivity(reaction);
        default: return model::ReactionGibbs(gibbs_, point_, reaction);
    }
}

void PointEvaluator::prepareFixedConditions() {
    preparePhases();
    state_.t = options_.tMin;
    state_.P = pressureByMode(options_.tMin);
    applyPoint();
    // The stored energy is the phase's potential without its activity term and
    // without the terms that depend on the reaction's other phases; both are
    // added at every point.
    model::PointState withoutActivities = point_;
    withoutActivities.logActivity.fill(0.0);
    const int n = phases_.count < model::kMaxPhases ? phases_.count : model::kMaxPhases;
    for (int i = 0; i < n; ++i) {
        const PhaseRecord& p = phases_[i];
        fixedG_[static_cast<std::size_t>(i)] = potentialAt(withoutActivities, i, nullptr);
        // A fluid species missing from the fluid has the absent-species energy
        // alone, without an activity term.
        const model::PointState& pt = point_;
        if (model::isFluidSpecies(p.kind, pt.otherGases) &&
            !(p.kind < model::kFluidKinds && pt.x[static_cast<std::size_t>(p.kind)] >= kAbsentFraction))
            flags_[static_cast<std::size_t>(i)] |= kNoActivity;
    }
    fixedReady_ = true;
}

}  // namespace calc
