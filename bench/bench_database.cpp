// Full load of the bundled database for the system SI AL K O H C: element
// header, element line and all phases.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "io/database.hpp"
#include "io/streams.hpp"

namespace {

void BM_LoadBundledDatabase(benchmark::State& state) {
    const std::string path = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";
    auto system = std::make_unique<model::ChemicalSystem>();
    auto phases = std::make_unique<model::PhaseTable>();
    io::LoadOptions options;
    options.waterRoutine = 2;
    int loaded = 0;
    for (auto _ : state) {
        io::Streams streams;
        streams.setConsole({[](std::string_view) {}, {}});
        if (streams.open(3, path, io::OpenMode::Existing) != 0) {
            state.SkipWithError("cannot open the bundled database");
            return;
        }
        if (!io::readElementHeader(streams, 3, *system).ok() ||
            !io::setSystemLine(*system, "SI AL K O H C", 0, streams, 6).ok() ||
            !io::loadDatabase(options, streams, *system, *phases).ok()) {
            state.SkipWithError("load failed");
            return;
        }
        loaded = phases->count;
        benchmark::DoNotOptimize(phases->phase[0].H);
    }
    state.counters["phases"] = loaded;
}
BENCHMARK(BM_LoadBundledDatabase)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
