// The stability test at one curve point, per call: a reaction of C + 1
// phases (C components; they span every coordinate: the unique plane) and Ky = Sil (rank
// deficient: the linear programme), each among the 19 phases of the
// KFMASH + H2O grid of examples/kfmash-grid (six components) and among all
// 39 phases of K-Fe-Mg-Al-Si-O-H but the gases O2 and H2 (seven), as the
// grids of bench/grids choose them.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

// The phases of the two selections, by abbreviation.
const std::vector<std::string>& phasesOf(int count) {
    static const std::vector<std::string> grid19 = {"Fo", "Fa", "Py",  "Alm", "And", "Ky", "Sil", "Crd", "En", "Ms",
                                                    "Phl", "Ann", "Clc", "Tlc", "Sa", "Qz", "Sp", "Crn", "H2O"};
    static const std::vector<std::string> grid39 = {
        "Alm", "And", "Ath", "Atg", "Brc", "Ctl", "Clc", "Coe", "Crd", "Crn", "aCrs", "bCrs", "Dsp",
        "cEn", "En",  "pEn", "Fa",  "Fs",  "Fo",  "Hem", "Kln", "Ky",  "Mag", "Ms",  "Per",  "Phl",
        "Kfs", "Sa",  "Py",  "Prl", "Qz",  "bQz", "Sil", "Sp",  "Tlc", "lTrd", "hTrd", "Ann", "H2O"};
    return count == 39 ? grid39 : grid19;
}

struct Run {
    model::PhaseTable table;
    calc::PhaseSelection selection;
    calc::DiagramOptions settings;
    model::GibbsEvaluator gibbs;
    std::unique_ptr<calc::PointEvaluator> evaluator;
    std::unique_ptr<calc::StabilityTester> tester;
    calc::Reaction fullRank;  // the first reaction of C + 1 phases with a curve at 600 C below 12 kbar
    bool haveFullRank = false;
    calc::Reaction reaction;
    double t = 600.0, P = 0.0;
};

bool onCurve(Run& run, const calc::Reaction& r);

// The phases, the basis of the phase selection, the evaluator and the
// full-rank reaction.
std::unique_ptr<Run> load(const std::vector<std::string>& names) {
    auto run = std::make_unique<Run>();
    auto loaded = std::make_unique<model::PhaseTable>();
    auto system = std::make_unique<model::ChemicalSystem>();
    io::Streams streams;
    streams.setConsole(io::Console{[](std::string_view) {}, [](std::string&) { return false; }});
    const std::string file = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";
    if (streams.open(3, file, io::OpenMode::Existing) != 0) return nullptr;
    if (!io::readElementHeader(streams, 3, *system)) return nullptr;
    if (!io::setSystemLine(*system, "K FE MG AL SI O H", 0, streams, 6)) return nullptr;
    io::LoadOptions options;
    options.waterRoutine = 1;
    if (!io::loadDatabase(options, streams, *system, *loaded)) return nullptr;

    auto compacted = std::make_unique<model::ChemicalSystem>(*system);
    run->table = *loaded;
    run->table.count = 0;
    for (const std::string& a : names)
        for (int i = 0; i < loaded->count; ++i)
            if (core::trim((*loaded)[i].abbreviation) == a) {
                compacted->stoichiometry[static_cast<std::size_t>(run->table.count)] = system->stoichiometry[static_cast<std::size_t>(i)];
                run->table[run->table.count++] = (*loaded)[i];
            }
    const int count = static_cast<int>(names.size());
    if (run->table.count != count) return nullptr;

    calc::PhaseSelection& sel = run->selection;
    sel.mainCount = count;
    for (int i = 0; i < count; ++i) sel.optionCode[static_cast<std::size_t>(i)] = calc::kInclude;
    if (!calc::chooseBasis(*compacted, run->table, sel)) return nullptr;

    run->settings.diagramType = calc::kPT;
    run->settings.xH2O = 1.0;
    run->settings.xCO2 = 0.0;
    run->evaluator = std::make_unique<calc::PointEvaluator>(run->settings, run->table, sel, run->gibbs);
    run->tester = std::make_unique<calc::StabilityTester>(*run->evaluator, run->table, sel);

    // The enumeration stops at the first reaction with a curve among as many
    // phases as basis positions taken by a phase, plus one (a position may be
    // a unit row: oxygen when no phase holds ferric iron).
    int C = 0;
    for (int p = 0; p < sel.basis.componentCount; ++p) C += sel.basis.phase[static_cast<std::size_t>(p)] >= 0 ? 1 : 0;
    calc::PrunedAssemblageList pruned;
    calc::EnumerationResult result;
    calc::EnumerateReactions(
        run->table, sel, pruned, calc::EnumerationOptions{},
        [&run, count, C](calc::Reaction& r) {
            int n = 0;
            for (int i = 0; i < count; ++i) n += std::fabs(r.coef[static_cast<std::size_t>(i)]) > 0.001 ? 1 : 0;
            if (n != C + 1 || !onCurve(*run, r) || run->P > 12000.0) return core::Status::success();
            run->fullRank = r;
            run->haveFullRank = true;
            return core::Status::stop();
        },
        nullptr, result);
    return run;
}

// Makes `r` the current reaction and finds its curve at 600 C by bisection
// in pressure; false when it has no curve between 100 and 30000 bar.
bool onCurve(Run& run, const calc::Reaction& r) {
    run.reaction = r;
    run.reaction.phaseCount = run.table.count;
    model::makeReactionTerms(run.table, run.reaction.coef.data(), run.reaction.terms);
    auto dG = [&run](double P) {
        run.evaluator->setStateFromDiagram(run.t, P);
        return run.evaluator->reactionDeltaG(run.reaction.terms);
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

// The selection of `count` phases (19 or 39), loaded once.
Run* shared(int count) {
    static std::map<int, std::unique_ptr<Run>> runs;
    auto& run = runs[count];
    if (!run) run = load(phasesOf(count));
    return run.get();
}

void BM_StabilityFullRank(benchmark::State& state) {
    Run* run = shared(static_cast<int>(state.range(0)));
    if (run == nullptr || !run->haveFullRank || !onCurve(*run, run->fullRank)) {
        state.SkipWithError("no reaction of C + 1 phases with a curve at 600 C below 12 kbar");
        return;
    }
    measure(state, *run);
}
BENCHMARK(BM_StabilityFullRank)->Arg(19)->Arg(39);

void BM_StabilityKyaniteSillimanite(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    Run* run = shared(count);
    if (run == nullptr) {
        state.SkipWithError("bundled database not loaded");
        return;
    }
    calc::Reaction kySil;
    const std::vector<std::string>& names = phasesOf(count);
    for (int i = 0; i < count; ++i) {
        if (names[static_cast<std::size_t>(i)] == "Ky") kySil.coef[static_cast<std::size_t>(i)] = -1.0;
        if (names[static_cast<std::size_t>(i)] == "Sil") kySil.coef[static_cast<std::size_t>(i)] = 1.0;
    }
    if (!onCurve(*run, kySil)) {
        state.SkipWithError("no Ky = Sil curve at 600 C");
        return;
    }
    measure(state, *run);
}
BENCHMARK(BM_StabilityKyaniteSillimanite)->Arg(19)->Arg(39);

}  // namespace

BENCHMARK_MAIN();
