// The shared recalculation and a whole scheme, per analysis.
#include <benchmark/benchmark.h>

#include "formula/formula.hpp"

namespace {

formula::Analysis garnet() {
    formula::Analysis a;
    a.code = "GARN";
    a.oxides[formula::Si] = 36.30f;
    a.oxides[formula::Al] = 22.03f;
    a.oxides[formula::Fe2] = 29.70f;
    a.oxides[formula::Mn] = 1.25f;
    a.oxides[formula::Mg] = 2.13f;
    a.oxides[formula::Ca] = 8.54f;
    return a;
}

void BM_Recalculate(benchmark::State& state) {
    formula::Analysis a = garnet();
    for (auto _ : state) benchmark::DoNotOptimize(formula::recalculate(a.oxides, {8, 24, 3, 1}));
}
BENCHMARK(BM_Recalculate);

void BM_GarnetScheme(benchmark::State& state) {
    formula::Analysis a = garnet();
    for (auto _ : state) benchmark::DoNotOptimize(formula::runScheme(a, {}));
}
BENCHMARK(BM_GarnetScheme);

}  // namespace
BENCHMARK_MAIN();
