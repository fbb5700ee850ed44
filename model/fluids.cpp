// Fluid species at the current point: the dispatcher between the water, CO2
// and mixing routines of the run's fluid-model choice and the
// Redlich-Kwong of the other gases.
//
// H2O and CO2 first get their activity factors in the H2O-CO2 fluid (only
// for a true mixture, 1e-15 < XCO2 < 1), then their fugacity coefficient from
// the chosen routine.  The Kerrick-Jacobs mixture result is kept in the
// context's fluid cache so that the second species of a reaction at the same
// point takes it unchanged.  A routine that gives no usable value at the
// point (a value held at its limit, a search that gave up) is reported to
// the evaluator's event collector every time its value is used, also when it
// comes from the cache.
#include "model/gibbs.hpp"

namespace model {
namespace {

constexpr double kMixtureMin = 1e-15;

// The stored mixture may stand in for a new computation: the caller has
// already evaluated a fluid species at this point, the pure-CO2 coefficient
// comes from the mixture routine (CO2 routine 2), water does not use the
// polynomial, and the point is the same.
bool mayReuseMixture(const FluidCache& cache, const FluidModelChoice& choice, int reuse, double P, double T,
                     double XCO2) {
    return reuse > 0 && choice.co2 == 2 && choice.water != 3 && cache.mixValid && cache.mixP == P && cache.mixT == T &&
           cache.mixX == XCO2;
}

}  // namespace

void ReportRangeEvent(GibbsEvaluator& e, const PointState& at, RangeSource source, int phase) {
    if (e.events == nullptr) return;
    e.events->report(RangeEvent{source, at.t, at.P, phase});
}

FluidState FluidProperties(GibbsEvaluator& e, const PointState& point, int kind, int reuse) {
    const FluidModelChoice& choice = point.fluid;
    const double P = point.P;
    const double T = point.t + kKelvinSingle;
    FluidState s;
    auto unusable = [&e, &point, &s](RangeSource source) {
        s.usable = false;
        ReportRangeEvent(e, point, source);
    };

    auto fraction = [&point](int k) { return k >= 0 && k < kFluidKinds ? point.x[static_cast<std::size_t>(k)] : 0.0; };

    if (kind != kWater && kind != kCarbonDioxide) {
        // Other gases: their own Redlich-Kwong, at their own mole fraction.
        // A kind without an equation of state stays an ideal gas.
        if (kind >= kOxygenGas && kind <= kSulfurGas) {
            const GasState g = RedlichKwongGas(kind, P, T);
            s.phi = g.phi;
            s.volume = g.V;
            if (!g.usable)
                unusable(kind == kOxygenGas     ? RangeSource::RedlichKwongO2
                         : kind == kHydrogenGas ? RangeSource::RedlichKwongH2
                                                          : RangeSource::RedlichKwongS2);
        }
        s.activity = fraction(kind);
        return s;
    }

    // 1. Mixing step.
    const double XCO2 = fraction(kCarbonDioxide);
    const double XH2O = fraction(kWater);
    const bool mixture = XCO2 > kMixtureMin && XCO2 < 1.0;
    double aH2O = 1.0, aCO2 = 1.0;
    const MixedKJ* kj = nullptr;
    if (mixture && choice.mixing == 1) {
        FluidCache& cache = e.fluidCache;
        if (!mayReuseMixture(cache, choice, reuse, P, T, XCO2)) {
            cache.mix = MixedFluidKJ(P, T, XCO2);
            cache.mixP = P;
            cache.mixT = T;
            cache.mixX = XCO2;
            cache.mixValid = true;
            ++cache.mixEvaluations;
        }
        kj = &cache.mix;
        aH2O = kj->aH2O;
        aCO2 = kj->aCO2;
        // Inside its window (a mixture volume) the activity factors rest on
        // all three states; outside it only the pure coefficient a species
        // takes under routine 2 is used (below).
        if (kj->volume > 0.0) {
            if (!kj->h2oUsable) unusable(RangeSource::KerrickJacobsH2O);
            if (!kj->co2Usable) unusable(RangeSource::KerrickJacobsCO2);
            if (!kj->mixUsable) unusable(RangeSource::KerrickJacobsMixing);
        }
    } else if (mixture && choice.mixing == 3) {
        const HpActivities hp = HollandPowellMixing(P, T, XH2O, XCO2);
        aH2O = hp.aH2O;
        aCO2 = hp.aCO2;
    }

    // 2. Species step.
    if (kind == kWater) {
        if (choice.water == 2) {
            if (kj != nullptr) {
                s.phi = kj->phiH2O;
                s.volume = kj->VH2O;
                if (!kj->h2oUsable && !(kj->volume > 0.0)) unusable(RangeSource::KerrickJacobsH2O);
            } else {
                const MrkFluid w = MrkPureH2O(P, T);
                s.phi = w.phi;
                s.volume = w.V;
                if (!w.usable) unusable(RangeSource::KerrickJacobsH2O);
            }
        } else if (choice.water == 3) {
            bool ok = true;
            s.phi = HollandPowellPhi(kWater, P, T, &ok);
            if (!ok) unusable(RangeSource::HollandPowellH2O);
        } else {
            const WaterCache& w = e.fluidCache.water.at(P, T);
            s.gibbs = w.gibbsHaar;
            s.volume = w.state.V;
            if (!w.state.usable) unusable(RangeSource::HaarWater);
        }
        s.activity = aH2O;
    } else {
        if (choice.co2 == 2) {
            if (kj != nullptr) {
                s.phi = kj->phiCO2;
                s.volume = kj->VCO2;
                if (!kj->co2Usable && !(kj->volume > 0.0)) unusable(RangeSource::KerrickJacobsCO2);
            } else {
                const MrkFluid c = MrkPureCO2(P, T);
                s.phi = c.phi;
                s.volume = c.V;
                if (!c.usable) unusable(RangeSource::KerrickJacobsCO2);
            }
        } else if (choice.co2 == 3) {
            bool ok = true;
            s.phi = HollandPowellPhi(kCarbonDioxide, P, T, &ok);
            if (!ok) unusable(RangeSource::HollandPowellCO2);
        } else {
            const WarningSink& warn = e.fluidCache.warn;
            const Co2State c = Co2KovanTessel(P, T, warn ? &warn : nullptr);
            s.phi = c.phi;
            s.volume = c.V;
            if (!c.usable) unusable(RangeSource::KovanTesselCO2);
        }
        s.activity = aCO2;
    }

    // 3. Ideal mixing: the species' own mole fraction.
    if (choice.mixing == 2) s.activity = fraction(kind);
    return s;
}

}  // namespace model
