// The stability test at one curve point: a 7-phase reaction of a 19-phase
// K2O-FeO-MgO-Al2O3-SiO2-H2O selection of the bundled database (six
// coordinates, the unique plane), and Ky = Sil in the same selection (the
// linear programme).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/run_settings.hpp"
#include "calc/basis.hpp"
#include "calc/enumerate.hpp"
#include "calc/point.hpp"
#include "calc/stability.hpp"
#include "core/text.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/gibbs.hpp"

namespace {

constexpr int kPhases = 19;

struct Run {
    model::PhaseTable table;
    calc::PhaseSelection selection;
    app::RunSettings settings;
    model::GibbsContext gibbs;
    std::unique_ptr<calc::PointEvaluator> evaluator;
    std::unique_ptr<calc::StabilityTester> tester;
    std::vector<calc::Reaction> candidates;
    calc::Reaction reaction;
    double t = 600.0, P = 0.0;
};

// The phases, the basis of the phase selection and the evaluator.
std::unique_ptr<Run> load() {
    auto run = std::make_unique<Run>();
    auto loaded = std::make_unique<model::PhaseTable>();
    auto system = std::make_unique<model::ChemicalSystem>();
    io::Streams streams;
    streams.set_console(io::Console{[](std::string_view) {}, [](std::string&) { return false; }});
    const std::string file = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";
    if (streams.open(3, file, io::OpenMode::Existing) != 0) return nullptr;
    if (!io::readElementHeader(streams, 3, *system)) return nullptr;
    if (!io::setSystemLine(*system, "K FE MG AL SI O H", 0, streams, 6)) return nullptr;
    io::LoadOptions options;
    options.waterRoutine = 1;
    if (!io::loadDatabase(options, streams, *system, *loaded)) return nullptr;

    const std::vector<std::string> names = {"Ms", "Kfs", "Phl", "Ann", "Alm", "Py",  "Crd", "Ky",  "Sil", "And",
                                            "Qz", "En",  "Fs",  "Fo",  "Fa",  "Tlc", "Ath", "Clc", "H2O"};
    auto compacted = std::make_unique<model::ChemicalSystem>(*system);
    run->table = *loaded;
    run->table.count = 0;
    for (const std::string& a : names)
        for (int i = 0; i < loaded->count; ++i)
            if (core::trim((*loaded)[i].abbreviation) == a) {
                compacted->stoichiometry[static_cast<std::size_t>(run->table.count)] = system->stoichiometry[static_cast<std::size_t>(i)];
                run->table[run->table.count++] = (*loaded)[i];
            }
    if (run->table.count != kPhases) return nullptr;

    calc::PhaseSelection& sel = run->selection;
    sel.mainCount = kPhases;
    for (int i = 0; i < kPhases; ++i) sel.optionCode[static_cast<std::size_t>(i)] = calc::kInclude;
    if (!calc::chooseBasis(*compacted, run->table, sel, streams)) return nullptr;

    calc::PrunedAssemblageList pruned;
    calc::EnumerationResult result;
    calc::EnumerateReactions(
        run->table, sel, pruned, calc::EnumerationOptions{}, streams,
        [&run](calc::Reaction& r) {
            int n = 0;
            for (int i = 0; i < kPhases; ++i) n += std::fabs(r.coef[static_cast<std::size_t>(i)]) > 0.001 ? 1 : 0;
            if (n == 7) run->candidates.push_back(r);
            return core::Status::success();
        },
        nullptr, result);

    run->settings.diagramType = calc::kPT;
    run->settings.xH2O = 1.0;
    run->settings.xCO2 = 0.0;
    run->evaluator = std::make_unique<calc::PointEvaluator>(run->settings, run->table, sel, run->gibbs);
    run->tester = std::make_unique<calc::StabilityTester>(*run->evaluator, run->table, sel);
    return run;
}

// Makes `r` the current reaction and finds its curve at 600 C by bisection
// in pressure; false when it has no curve between 100 and 30000 bar.
bool onCurve(Run& run, const calc::Reaction& r) {
    run.reaction = r;
    run.reaction.phaseCount = run.table.count;
    model::makeReactionTerms(run.table, run.reaction.coef.data(), run.reaction.terms);
    run.gibbs.reaction = &run.reaction.terms;
    auto dG = [&run](double P) {
        run.evaluator->setStateFromDiagram(run.t, P);
        return run.evaluator->reactionDeltaG();
    };
    double lo = 100.0, hi = 30000.0, glo = dG(lo);
    if (glo * dG(hi) > 0) return false;
    for (int it = 0; it < 100; ++it) {
        const double mid = 0.5 * (lo + hi);
        const double g = dG(mid);
        if ((g < 0) == (glo < 0)) {
            lo = mid;
            glo = g;
        } else {
            hi = mid;
        }
    }
    run.P = 0.5 * (lo + hi);
    dG(run.P);
    run.tester->beginReaction(run.reaction);
    return true;
}

void measure(benchmark::State& state, Run& run) {
    double margin = 0;
    int result = run.tester->testAssemblageStability(margin);
    for (auto _ : state) {
        result = run.tester->testAssemblageStability(margin);
        benchmark::DoNotOptimize(margin);
    }
    state.counters["result"] = result;
    state.counters["margin"] = margin;
    state.counters["pivots"] = run.tester->plane().lastPivots();
    state.counters["P"] = run.P;
}

Run* shared() {
    static const std::unique_ptr<Run> run = load();
    return run.get();
}

void BM_StabilitySevenPhaseReaction(benchmark::State& state) {
    Run* run = shared();
    bool found = false;
    for (std::size_t k = 0; run != nullptr && k < run->candidates.size() && !found; ++k)
        found = onCurve(*run, run->candidates[k]);
    if (!found) {
        state.SkipWithError("no 7-phase reaction with a curve at 600 C");
        return;
    }
    measure(state, *run);
}
BENCHMARK(BM_StabilitySevenPhaseReaction);

void BM_StabilityKyaniteSillimanite(benchmark::State& state) {
    Run* run = shared();
    if (run == nullptr) {
        state.SkipWithError("bundled database not loaded");
        return;
    }
    calc::Reaction kySil;
    kySil.coef[7] = -1.0;  // Ky
    kySil.coef[8] = 1.0;   // Sil
    if (!onCurve(*run, kySil)) {
        state.SkipWithError("no Ky = Sil curve at 600 C");
        return;
    }
    measure(state, *run);
}
BENCHMARK(BM_StabilityKyaniteSillimanite);

}  // namespace

BENCHMARK_MAIN();
