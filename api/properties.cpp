// Energies of phases and reactions and the state of fluid species at a point.
#include <algorithm>
#include <cmath>
#include <limits>

#include "api/internal.hpp"
#include "model/aqueous.hpp"
#include "model/gibbs.hpp"
#include "model/range_events.hpp"
#include "pelkam/properties.hpp"
#include "pelkam/solution_models.hpp"

namespace pelkam {

struct Evaluator::Impl {
    std::shared_ptr<const detail::DatabaseData> database;  // none: fluid species only
    std::shared_ptr<const detail::SolutionData> solutions;  // none: no solution models
    const model::PhaseTable* table = nullptr;
    FluidRoutines routines;
    model::GibbsEvaluator gibbs;
    model::RangeEvents events;
    model::PointState point;
    model::ReactionTerms terms;
    std::array<double, model::kMaxPhases> coefficients{};

    void init() {
        gibbs.table = table;
        gibbs.models = solutions ? &solutions->models : nullptr;
        gibbs.events = &events;
        // The routines' warnings are dropped until a sink is given.
        gibbs.fluidCache.warn = [](std::string_view) {};
    }

    // The point state at `at` with the fluid `x` (mole fraction by kind).
    const model::PointState& pointAt(const Point& at, const std::array<double, model::kFluidKinds>& x) {
        point = model::PointState{};
        point.P = at.P_bar;
        point.t = at.T_C;
        point.x = x;
        point.fluid = model::FluidModelChoice{routines.mixing, routines.water, routines.co2};
        if (solutions) point.logActivity = solutions->logActivity;
        return point;
    }

    // The fluid of `at`, or the pure fluid of each species marked in `pure`.
    static std::array<double, model::kFluidKinds> fluidOf(const Point& at, bool water, bool co2) {
        std::array<double, model::kFluidKinds> x{};
        if (at.xCO2) {
            x[model::kWater] = 1.0 - *at.xCO2;
            x[model::kCarbonDioxide] = *at.xCO2;
        } else {
            x[model::kWater] = water ? 1.0 : 0.0;
            x[model::kCarbonDioxide] = co2 ? 1.0 : 0.0;
        }
        return x;
    }

    // The loaded phase of every term of `reaction`; false when one is missing.
    bool resolve(const Reaction& reaction) {
        coefficients.fill(0.0);
        for (const Reaction::Term& t : reaction.terms) {
            const int i = Database(database).indexOf(t.phase);
            if (i < 0) return false;
            coefficients[static_cast<std::size_t>(i)] = t.coefficient;
        }
        return true;
    }

    double solutionTerm(int phase, double P, double T) const {
        if (!solutions) return 0.0;
        const model::PhaseRecord& p = (*table)[phase];
        if (p.activityModel == 0) return 0.0;
        double g = model::endMemberActivityTerm(solutions->models, P, T, p.activityModel, p.activityEndMember);
        if (p.reciprocalSet != 0)
            g += model::reciprocalTerm(solutions->models, P, T, p.activityModel, p.activityEndMember, p.reciprocalSet);
        return g;
    }
};

Evaluator::Evaluator(FluidRoutines routines) : impl_(std::make_unique<Impl>()) {
    impl_->routines = routines;
    impl_->init();
}

Evaluator::Evaluator(const Database& database) : impl_(std::make_unique<Impl>()) {
    impl_->database = database.shared();
    impl_->table = &impl_->database->phases;
    impl_->routines = database.options().routines;
    impl_->init();
}

Evaluator::Evaluator(const Database& database, const SolutionModels& models) : impl_(std::make_unique<Impl>()) {
    impl_->database = database.shared();
    impl_->solutions = models.shared();
    impl_->table = &impl_->solutions->phases;
    impl_->routines = database.options().routines;
    impl_->init();
}

Evaluator::~Evaluator() = default;
Evaluator::Evaluator(Evaluator&&) noexcept = default;
Evaluator& Evaluator::operator=(Evaluator&&) noexcept = default;

void Evaluator::onWarning(std::function<void(std::string_view line)> sink) {
    impl_->gibbs.fluidCache.warn = sink ? std::move(sink) : [](std::string_view) {};
}

double Evaluator::phaseGibbs(int phase, const Point& at) {
    Impl& m = *impl_;
    if (m.table == nullptr || phase < 0 || phase >= m.table->count) return std::numeric_limits<double>::quiet_NaN();
    const int kind = (*m.table)[phase].kind;
    const auto x = Impl::fluidOf(at, kind == model::kWater, kind == model::kCarbonDioxide);
    return model::ChemicalPotential(m.gibbs, m.pointAt(at, x), phase);
}

bool usesAqueousWater(const PhaseInfo& phase) { return phase.kind < 0 && !model::isElectronName(phase.name); }

AqueousWater Evaluator::aqueousWater(const Point& at) {
    const model::AqueousWater w =
        model::aqueousWaterAt(impl_->gibbs.fluidCache.water, at.T_C + model::kKelvinSingle, at.P_bar);
    return AqueousWater{w.rho, w.eps, w.usable};
}

namespace {

// The points of the array forms: T_C[i], P_bar[i] and xCO2[i] (none when
// empty); false beyond the end of a span.
bool pointOf(std::span<const double> T_C, std::span<const double> P_bar, std::span<const double> xCO2, std::size_t i,
             Point& at) {
    if (i >= T_C.size() || i >= P_bar.size() || (!xCO2.empty() && i >= xCO2.size())) return false;
    at.T_C = T_C[i];
    at.P_bar = P_bar[i];
    if (!xCO2.empty()) at.xCO2 = xCO2[i];
    return true;
}

// Evaluates `f` at every point of the arrays (NaN where a point is not
// valid), with the fluid of `at` or the pure fluid of the species taking part.
template <class F>
void overPoints(Evaluator::Impl& m, std::span<const double> T_C, std::span<const double> P_bar,
                std::span<const double> xCO2, bool water, bool co2, std::span<double> out, F f) {
    Point at;
    model::PointState& point = m.point;
    m.pointAt(at, {});
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (!pointOf(T_C, P_bar, xCO2, i, at)) {
            out[i] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        point.P = at.P_bar;
        point.t = at.T_C;
        point.x = Evaluator::Impl::fluidOf(at, water, co2);
        out[i] = f(point);
    }
}

}  // namespace

void Evaluator::phaseGibbs(int phase, std::span<const double> T_C, std::span<const double> P_bar,
                           std::span<const double> xCO2, std::span<double> out) {
    Impl& m = *impl_;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (m.table == nullptr || phase < 0 || phase >= m.table->count) {
        std::fill(out.begin(), out.end(), nan);
        return;
    }
    const int kind = (*m.table)[phase].kind;
    overPoints(m, T_C, P_bar, xCO2, kind == model::kWater, kind == model::kCarbonDioxide, out,
               [&](const model::PointState& point) { return model::ChemicalPotential(m.gibbs, point, phase); });
}

void Evaluator::reactionGibbs(const Reaction& reaction, std::span<const double> T_C, std::span<const double> P_bar,
                              std::span<const double> xCO2, std::span<double> out) {
    Impl& m = *impl_;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const bool water = reaction.hasWater(), co2 = reaction.hasCarbonDioxide();
    if (m.table == nullptr || !m.resolve(reaction) || (water && co2 && xCO2.empty())) {
        std::fill(out.begin(), out.end(), nan);
        return;
    }
    model::makeReactionTerms(*m.table, m.coefficients.data(), m.terms);
    const bool species = reaction.hasAqueousSpecies();
    overPoints(m, T_C, P_bar, xCO2, water, co2, out, [&](const model::PointState& point) {
        return species ? model::ReactionGibbsBySpecies(m.gibbs, point, m.terms)
                       : model::ReactionGibbs(m.gibbs, point, m.terms);
    });
}

double Evaluator::reactionGibbs(const Reaction& reaction, const Point& at) {
    Impl& m = *impl_;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (m.table == nullptr || !m.resolve(reaction)) return nan;
    const bool water = reaction.hasWater(), co2 = reaction.hasCarbonDioxide();
    if (water && co2 && !at.xCO2) return nan;
    model::makeReactionTerms(*m.table, m.coefficients.data(), m.terms);
    const model::PointState& point = m.pointAt(at, Impl::fluidOf(at, water, co2));
    // With aqueous species a reaction is the sum of the chemical potentials,
    // as on the activity diagrams.
    return reaction.hasAqueousSpecies() ? model::ReactionGibbsBySpecies(m.gibbs, point, m.terms)
                                        : model::ReactionGibbs(m.gibbs, point, m.terms);
}

double Evaluator::activityTerm(int phase, const Point& at) const {
    if (impl_->table == nullptr || phase < 0 || phase >= impl_->table->count) return 0.0;
    return impl_->solutionTerm(phase, at.P_bar, at.T_C + model::kKelvinSingle);
}

double Evaluator::activity(int phase, const Point& at) const {
    const double T = at.T_C + model::kKelvinSingle;
    return std::exp(activityTerm(phase, at) / (model::kR * T));
}

double Evaluator::activityTerm(const Reaction& reaction, const Point& at) const {
    if (!impl_->database) return 0.0;
    double sum = 0.0;
    // The temperature of reactionGibbs: double-precision 273.15 for the
    // reaction form, single for the sum of potentials.
    const double TK = at.T_C + (reaction.hasAqueousSpecies() ? model::kKelvinSingle : 273.15);
    for (const Reaction::Term& t : reaction.terms) {
        const int i = Database(impl_->database).indexOf(t.phase);
        if (i >= 0) sum += t.coefficient * impl_->solutionTerm(i, at.P_bar, TK);
    }
    return sum;
}

FluidState Evaluator::fluid(FluidSpecies species, const Point& at) {
    Impl& m = *impl_;
    const int kind = static_cast<int>(species);
    std::array<double, model::kFluidKinds> x{};
    if (kind <= model::kCarbonDioxide) {
        const double X = at.xCO2 ? *at.xCO2 : (kind == model::kCarbonDioxide ? 1.0 : 0.0);
        x[model::kWater] = 1.0 - X;
        x[model::kCarbonDioxide] = X;
    } else {
        x[static_cast<std::size_t>(kind)] = 1.0;
    }
    const model::FluidState f = model::FluidProperties(m.gibbs, m.pointAt(at, x), kind, 0);
    const bool haar = kind == model::kWater && m.routines.water == 1;
    // Below this mole fraction the calculator counts a species as absent.
    const bool absent = x[static_cast<std::size_t>(kind)] < 1e-10;
    FluidState out;
    if (!haar) out.phi = f.phi;
    out.activity = absent ? 0.0 : f.activity;
    if (f.volume > 0.0) out.volume_cm3 = f.volume;
    if (haar) out.G = f.gibbs;
    return out;
}

std::vector<Notice> Evaluator::notices() const {
    std::vector<Notice> out;
    for (int i = 0; i < impl_->events.firstCount(); ++i) {
        const model::RangeEvent& e = impl_->events.first(i);
        out.push_back(Notice{model::describeRangeEvent(e, impl_->table), e.source == model::RangeSource::PhaseEnergy,
                             model::isNotice(e.source)});
    }
    return out;
}

}  // namespace pelkam
