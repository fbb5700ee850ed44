// Petrogenetic grids in process, stage by stage: loading the phases of a
// grid of bench/grids (the elements, window and phases its answer script
// names; P-T, Haar water, stable curves), the diagram with the search for
// stable reactions and with every reaction of the enumeration examined, the
// plot file written, and one hull of the search at the middle of the window.
// Counters: candidates, hulls and facets of the search, the examined,
// calculated and plotted reactions, the plotted points and points per
// second.  The exhaustive runs of the 30- and 39-phase grids take seconds
// each and run only with PELKAM_BENCH_EXHAUSTIVE=1.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "calc/basis.hpp"
#include "calc/diagram.hpp"
#include "calc/selection.hpp"
#include "calc/stability.hpp"
#include "calc/stable_search.hpp"
#include "core/text.hpp"
#include "io/database.hpp"
#include "io/plot_writer.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/solution_models.hpp"

namespace {

namespace fs = std::filesystem;

// What an answer script of bench/grids asks for.
struct Grid {
    std::string elements;
    double tMin = 400, tMax = 900, pMin = 1, pMax = 12000;
    std::vector<std::string> phases;
};

std::string after(const std::string& line, const std::string& tag) {
    return line.rfind(tag, 0) == 0 ? std::string(core::trim(line.substr(tag.size()))) : std::string();
}

Grid readScript(const std::string& script) {
    Grid g;
    std::ifstream in(fs::path(PELKAM_SOURCE_DIR) / script);
    for (std::string l; std::getline(in, l);) {
        if (std::string v = after(l, "set Elements ="); !v.empty()) g.elements = v;
        if (std::string v = after(l, "set \"Row 1 min\" ="); !v.empty()) g.pMin = std::stod(v);
        if (std::string v = after(l, "set \"Row 1 max\" ="); !v.empty()) g.pMax = std::stod(v);
        if (std::string v = after(l, "set \"Row 2 min\" ="); !v.empty()) g.tMin = std::stod(v);
        if (std::string v = after(l, "set \"Row 2 max\" ="); !v.empty()) g.tMax = std::stod(v);
        if (std::string v = after(l, "select Phases ="); !v.empty()) {
            std::istringstream names(v);
            for (std::string name; std::getline(names, name, ';');) g.phases.emplace_back(core::trim(name));
        }
    }
    return g;
}

// The phases, selection and options of a grid, ready for the calculation.
struct Prepared {
    std::unique_ptr<model::ChemicalSystem> system = std::make_unique<model::ChemicalSystem>();
    std::unique_ptr<model::PhaseTable> phases = std::make_unique<model::PhaseTable>();
    std::unique_ptr<calc::PhaseSelection> selection = std::make_unique<calc::PhaseSelection>();
    std::unique_ptr<model::SolutionModelSet> models = std::make_unique<model::SolutionModelSet>();
    calc::DiagramOptions options;
    bool ok = false;
};

std::unique_ptr<Prepared> prepare(const Grid& g) {
    auto p = std::make_unique<Prepared>();
    io::Streams streams;
    streams.setConsole(io::Console{[](std::string_view) {}, [](std::string&) { return false; }});
    const std::string file = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";
    if (streams.open(3, file, io::OpenMode::Existing) != 0) return p;
    if (!io::readElementHeader(streams, 3, *p->system)) return p;
    if (!io::setSystemLine(*p->system, core::upper(g.elements), calc::kPT, streams, 6)) return p;
    io::LoadOptions load;
    if (!io::loadDatabase(load, streams, *p->system, *p->phases)) return p;

    calc::PhaseSelection& sel = *p->selection;
    calc::resetSelection(sel, *p->phases);
    int chosen = 0;
    for (int i = 0; i < p->phases->count; ++i) {
        const std::string name(core::rtrim((*p->phases)[i].name));
        sel.optionCode[static_cast<std::size_t>(i)] = calc::kExclude;
        for (const std::string& n : g.phases)
            if (n == name) sel.optionCode[static_cast<std::size_t>(i)] = calc::kInclude, ++chosen;
    }
    if (chosen != static_cast<int>(g.phases.size())) return p;
    calc::DiagramOptions& o = p->options;
    o.diagramType = calc::kPT;
    o.tMin = g.tMin, o.tMax = g.tMax, o.pMin = g.pMin, o.pMax = g.pMax;
    o.xH2O = 1.0, o.xCO2 = 0.0;
    o.fluid.water = 1;  // Haar, Gallagher and Kell (1984)
    calc::applySelectionRules(o.diagramType, *p->phases, sel);
    calc::setAxisLabels(o.diagramType, sel);
    if (!calc::compactSelection(*p->phases, *p->system, sel)) return p;
    if (!calc::chooseBasis(*p->system, *p->phases, sel)) return p;
    p->ok = true;
    return p;
}

struct Calculated {
    calc::DiagramResult result;
    bool ok = false;
};

Calculated calculate(const Prepared& p, calc::ReactionMethod method) {
    Calculated c;
    model::GibbsEvaluator gibbs;
    gibbs.table = p.phases.get();
    gibbs.models = p.models.get();
    calc::RangeEventLog log;
    calc::DiagramInputs in;
    in.options = &p.options;
    in.phases = p.phases.get();
    in.selection = p.selection.get();
    in.method = method;
    calc::DiagramObserver quiet;
    c.ok = calc::computeDiagram(in, gibbs, &log, quiet, c.result).ok();
    return c;
}

double points(const calc::DiagramResult& r) {
    double n = 0;
    for (const calc::PlottedCurve& c : r.curves) n += static_cast<double>(c.points.size());
    return n;
}

const char* kScripts[] = {"examples/kfmash-grid/answers.txt", "bench/grids/kfmash-25.txt",
                          "bench/grids/kfmash-30.txt", "bench/grids/kfmash-39.txt",
                          "bench/grids/kncfmash-60.txt"};
const char* kNames[] = {"kfmash_19", "kfmash_25", "kfmash_30", "kfmash_39", "kncfmash_60"};

void BM_Load(benchmark::State& state) {
    const Grid g = readScript(kScripts[state.range(0)]);
    for (auto _ : state) {
        auto p = prepare(g);
        if (!p->ok) state.SkipWithError("the grid could not be prepared");
        benchmark::DoNotOptimize(p);
    }
}

void diagram(benchmark::State& state, calc::ReactionMethod method) {
    auto p = prepare(readScript(kScripts[state.range(0)]));
    if (!p->ok) {
        state.SkipWithError("the grid could not be prepared");
        return;
    }
    Calculated c;
    for (auto _ : state) c = calculate(*p, method);
    if (!c.ok) state.SkipWithError("the calculation failed");
    const calc::DiagramResult& r = c.result;
    state.counters["phases"] = p->selection->mainCount;
    state.counters["candidates"] = static_cast<double>(r.search.candidates);
    state.counters["hulls"] = static_cast<double>(r.search.hulls);
    state.counters["facets"] = static_cast<double>(r.search.facets);
    state.counters["examined"] = static_cast<double>(r.examined);
    state.counters["calculated"] = static_cast<double>(r.calculated);
    state.counters["plotted"] = static_cast<double>(r.plotted);
    state.counters["points"] = points(r);
    state.counters["points_per_s"] = benchmark::Counter(points(r), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Search(benchmark::State& state) { diagram(state, calc::ReactionMethod::Search); }
void BM_EveryReaction(benchmark::State& state) { diagram(state, calc::ReactionMethod::Exhaustive); }

void BM_WritePlotFile(benchmark::State& state) {
    auto p = prepare(readScript(kScripts[state.range(0)]));
    if (!p->ok) {
        state.SkipWithError("the grid could not be prepared");
        return;
    }
    const Calculated c = calculate(*p, calc::ReactionMethod::Search);
    const fs::path file = fs::temp_directory_path() / ("pelkam_bench_plot_" + std::to_string(::getpid()) + ".plt");
    for (auto _ : state) {
        io::Streams streams;
        streams.open(8, file.string(), io::OpenMode::NewOrReplace);
        io::PlotWriter writer(streams, 8, 0, p->options, *p->phases, *p->selection, p->models.get());
        writer.writeHeader(io::plotHeaderTexts(p->options, p->selection->xAxis.text, p->selection->yAxis.text), 0);
        for (const calc::PlottedCurve& curve : c.result.curves) writer.writeCurve(curve);
        streams.close(8);
    }
    fs::remove(file);
    state.counters["curves"] = static_cast<double>(c.result.curves.size());
}

// One hull of the search: the stable assemblages at the middle of the window.
void BM_Hull(benchmark::State& state) {
    auto p = prepare(readScript(kScripts[state.range(0)]));
    if (!p->ok) {
        state.SkipWithError("the grid could not be prepared");
        return;
    }
    model::GibbsEvaluator gibbs;
    gibbs.table = p->phases.get();
    gibbs.models = p->models.get();
    calc::PointEvaluator evaluator(p->options, *p->phases, *p->selection, gibbs);
    calc::StabilityTester tester(evaluator, *p->phases, *p->selection);
    const int n = p->selection->mainCount + p->selection->testCount;
    calc::AssemblageHull::Coordinates x{};
    calc::AssemblageHull hull;
    hull.setPhases(x, n, calc::StabilityTester::coordinates(*p->selection, n, x));
    evaluator.setStateFromDiagram((p->options.tMin + p->options.tMax) / 2, (p->options.pMin + p->options.pMax) / 2);
    std::array<double, model::kMaxPhases> mu{};
    std::array<bool, model::kMaxPhases> active{};
    for (int i = 0; i < n; ++i) mu[static_cast<std::size_t>(i)] = tester.phaseAlone(i), active[static_cast<std::size_t>(i)] = true;
    std::vector<calc::PhaseMask> facets;
    for (auto _ : state)
        if (!hull.compute(mu.data(), active.data(), facets)) state.SkipWithError("no hull");
    state.counters["facets"] = static_cast<double>(facets.size());
}

}  // namespace

int main(int argc, char** argv) {
    const char* every = std::getenv("PELKAM_BENCH_EXHAUSTIVE");
    const bool exhaustive = every != nullptr && std::string(every) == "1";
    for (int k = 0; k < 5; ++k) {
        const std::string n = kNames[k];
        benchmark::RegisterBenchmark(("BM_Load/" + n).c_str(), BM_Load)->Arg(k)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Search/" + n).c_str(), BM_Search)->Arg(k)->Unit(benchmark::kMillisecond);
        if (k <= 1 || (exhaustive && k <= 3))
            benchmark::RegisterBenchmark(("BM_EveryReaction/" + n).c_str(), BM_EveryReaction)
                ->Arg(k)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_WritePlotFile/" + n).c_str(), BM_WritePlotFile)
            ->Arg(k)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Hull/" + n).c_str(), BM_Hull)->Arg(k)->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
