// The innermost operations of the calculator: the Gibbs energy of a reaction
// and of single phases at one point, on the phases of the bundled database.
#include <benchmark/benchmark.h>

#include <array>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/composition_file.hpp"
#include "io/database.hpp"
#include "io/sln_format.hpp"
#include "io/streams.hpp"
#include "model/activity.hpp"
#include "model/chemical_system.hpp"
#include "model/gibbs.hpp"

namespace {

std::unique_ptr<model::PhaseTable> loadBundled() {
    auto table = std::make_unique<model::PhaseTable>();
    auto system = std::make_unique<model::ChemicalSystem>();
    io::Streams streams;
    streams.setConsole(io::Console{[](std::string_view) {}, [](std::string&) { return false; }});
    const std::string file = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";
    if (streams.open(3, file, io::OpenMode::Existing) != 0 || !io::readElementHeader(streams, 3, *system) ||
        !io::setSystemLine(*system, "SI AL CA K NA O", 0, streams, 6) ||
        !io::loadDatabase(io::LoadOptions{}, streams, *system, *table))
        table->count = 0;
    return table;
}

int indexOf(const model::PhaseTable& table, std::string_view name) {
    for (int i = 0; i < table.count; ++i) {
        std::string_view n = table[i].name;
        while (!n.empty() && n.back() == ' ') n.remove_suffix(1);
        if (n == name) return i;
    }
    return -1;
}

struct Setup {
    std::unique_ptr<model::PhaseTable> table = loadBundled();
    model::GibbsEvaluator ctx;
    model::PointState point;
    Setup() {
        ctx.table = table.get();
        point.t = 600.0;
        point.P = 5000.0;
        point.x[model::kWater] = 1.0;
    }
};

// GROSSULAR + 2 KYANITE + QUARTZ = 3 ANORTHITE (quartz with its lambda term).
void BM_ReactionGibbs_FourMinerals(benchmark::State& state) {
    Setup s;
    const int grs = indexOf(*s.table, "GROSSULAR"), ky = indexOf(*s.table, "KYANITE"),
              qz = indexOf(*s.table, "QUARTZ"), an = indexOf(*s.table, "ANORTHITE");
    if (grs < 0 || ky < 0 || qz < 0 || an < 0) {
        state.SkipWithError("the bundled database did not load");
        return;
    }
    std::array<double, model::kMaxPhases> c{};
    c[static_cast<std::size_t>(grs)] = -1;
    c[static_cast<std::size_t>(ky)] = -2;
    c[static_cast<std::size_t>(qz)] = -1;
    c[static_cast<std::size_t>(an)] = 3;
    model::ReactionTerms rx;
    model::makeReactionTerms(*s.table, c.data(), rx);

    double t = 600.0;
    for (auto _ : state) {
        s.point.t = t;
        benchmark::DoNotOptimize(model::ReactionGibbs(s.ctx, s.point, rx));
        t = t < 700.0 ? t + 0.5 : 600.0;
    }
}
BENCHMARK(BM_ReactionGibbs_FourMinerals);

void phaseBenchmark(benchmark::State& state, const char* name) {
    Setup s;
    const int i = indexOf(*s.table, name);
    if (i < 0) {
        state.SkipWithError("the bundled database did not load");
        return;
    }
    double t = 600.0;
    for (auto _ : state) {
        s.point.t = t;
        benchmark::DoNotOptimize(model::PhaseGibbs(s.ctx, s.point, i));
        t = t < 700.0 ? t + 0.5 : 600.0;
    }
}

void BM_PhaseGibbs_QuartzLambda(benchmark::State& state) { phaseBenchmark(state, "QUARTZ"); }
BENCHMARK(BM_PhaseGibbs_QuartzLambda);

void BM_PhaseGibbs_KFeldsparDisorder(benchmark::State& state) { phaseBenchmark(state, "K-FELDSPAR"); }
BENCHMARK(BM_PhaseGibbs_KFeldsparDisorder);

// A garnet end-member with the non-ideal activity term of the bundled
// GT1990 model at the bundled example's composition (ten ternary and binary
// terms), at a new point every iteration: with the excess reduced to three
// coefficients (the model's own setting), and summed over the terms on each
// call.
std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

void garnetBenchmark(benchmark::State& state, int evaluateEachCall) {
    Setup s;
    auto models = std::make_unique<model::SolutionModelSet>();
    const std::string data = std::string(PELKAM_SOURCE_DIR) + "/data/";
    std::vector<std::string> said;
    const std::array<int, model::kMaxModels> variants{2};  // GARN: GT1990
    io::CompositionValues v;
    model::SolutionModel& garnet = models->models[0];
    const int i = indexOf(*s.table, "GROSSULAR");
    if (i < 0 || !io::parseSolutionModels(fileLines(data + "solution-models.sln"), "sln", variants, *models, said) ||
        !io::findComposition(fileLines(data + "example-pelite.zun"), "zun", "GARN",
                                    io::siteFractionCount(garnet), v)) {
        state.SkipWithError("the bundled data did not load");
        return;
    }
    garnet.evaluateExcessEachCall = evaluateEachCall;
    io::setSiteFractions(garnet, v);
    model::precomputeExcessCoefficients(garnet);
    (*s.table)[i].activityModel = 1;
    (*s.table)[i].activityEndMember = 1;
    s.ctx.models = models.get();
    double t = 600.0, P = 5000.0;
    for (auto _ : state) {
        s.point.t = t;
        s.point.P = P;
        benchmark::DoNotOptimize(model::PhaseGibbs(s.ctx, s.point, i));
        t = t < 700.0 ? t + 0.5 : 600.0;
        P = P < 9000.0 ? P + 7.0 : 5000.0;
    }
}

void BM_PhaseGibbs_GrossularWithActivity(benchmark::State& state) { garnetBenchmark(state, 0); }
BENCHMARK(BM_PhaseGibbs_GrossularWithActivity);

void BM_PhaseGibbs_GrossularWithActivityEachCall(benchmark::State& state) { garnetBenchmark(state, 1); }
BENCHMARK(BM_PhaseGibbs_GrossularWithActivityEachCall);

void BM_PhaseGibbs_GrossularPure(benchmark::State& state) { phaseBenchmark(state, "GROSSULAR"); }
BENCHMARK(BM_PhaseGibbs_GrossularPure);

}  // namespace

BENCHMARK_MAIN();
