// The aqueous species: the chemical potential of an ion with water from the
// cache and with a new water state, and a reaction among minerals and
// species, on the bundled database and data/aqueous-hkf.aqu.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "core/text.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"
#include "model/aqueous.hpp"
#include "model/chemical_system.hpp"

namespace {

constexpr int kActAct = 6;

std::unique_ptr<model::PhaseTable> loadWithSpecies() {
    auto table = std::make_unique<model::PhaseTable>();
    auto system = std::make_unique<model::ChemicalSystem>();
    io::Streams streams;
    streams.setConsole(io::Console{[](std::string_view) {}, [](std::string&) { return false; }});
    const std::string data = std::string(PELKAM_SOURCE_DIR) + "/data/";
    io::LoadOptions options;
    options.diagramType = kActAct;
    if (streams.open(3, data + "thermo1988.dat", io::OpenMode::Existing) != 0 ||
        streams.open(4, data + "aqueous-hkf.aqu", io::OpenMode::Existing) != 0 ||
        !io::readElementHeader(streams, 3, *system) ||
        !io::setSystemLine(*system, "K AL SI O H E", kActAct, streams, 6) ||
        !io::loadDatabase(options, streams, *system, *table))
        table->count = 0;
    return table;
}

int indexOf(const model::PhaseTable& table, std::string_view key) {
    for (int i = 0; i < table.count; ++i)
        if (core::rtrim(table[i].abbreviation) == key) return i;
    return -1;
}

struct Setup {
    std::unique_ptr<model::PhaseTable> table = loadWithSpecies();
    model::GibbsEvaluator e;
    model::PointState point;
    Setup() {
        e.table = table.get();
        point.t = 250.0;
        point.P = 500.0;
        point.x[model::kWater] = 1.0;
    }
};

// K+ at one point: the water state comes from the cache.
void BM_AqueousGibbs_CachedWater(benchmark::State& state) {
    Setup s;
    const int k = indexOf(*s.table, "K+");
    if (k < 0) {
        state.SkipWithError("K+ not loaded");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(model::AqueousGibbs(s.e, s.point, k, nullptr));
}
BENCHMARK(BM_AqueousGibbs_CachedWater);

// K+ at a new temperature every time: the Haar water state is solved anew.
void BM_AqueousGibbs_NewWater(benchmark::State& state) {
    Setup s;
    const int k = indexOf(*s.table, "K+");
    if (k < 0) {
        state.SkipWithError("K+ not loaded");
        return;
    }
    double step = 0;
    for (auto _ : state) {
        s.point.t = 250.0 + (step += 1e-3);
        benchmark::DoNotOptimize(model::AqueousGibbs(s.e, s.point, k, nullptr));
    }
}
BENCHMARK(BM_AqueousGibbs_NewWater);

// 1.5 Kfs + H+ = 0.5 Ms + 3 Qz + K+ as the sum of the chemical potentials.
void BM_ReactionGibbsBySpecies_FeldsparMica(benchmark::State& state) {
    Setup s;
    std::array<double, model::kMaxPhases> c{};
    const std::pair<const char*, double> terms[] = {{"Kfs", -1.5}, {"H+", -1}, {"Ms", 0.5}, {"Qz", 3}, {"K+", 1}};
    for (const auto& [name, coef] : terms) {
        const int i = indexOf(*s.table, name);
        if (i < 0) {
            state.SkipWithError("a phase is not loaded");
            return;
        }
        c[static_cast<std::size_t>(i)] = coef;
    }
    model::ReactionTerms rx;
    model::makeReactionTerms(*s.table, c.data(), rx);
    for (auto _ : state) benchmark::DoNotOptimize(model::ReactionGibbsBySpecies(s.e, s.point, rx));
}
BENCHMARK(BM_ReactionGibbsBySpecies_FeldsparMica);

}  // namespace

BENCHMARK_MAIN();
