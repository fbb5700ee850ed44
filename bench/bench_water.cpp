// Water Gibbs energy of the fluid routine: at a new point every call (the curve tracer
// moves P and T between trial points), and at an unchanged point through the cache.
#include <benchmark/benchmark.h>

#include <array>

#include "model/water.hpp"

namespace {

// Points spread over 25..1500 C and 1..20,000 bar, both sides of the saturation curve.
struct Points {
    static constexpr int kCount = 1024;
    std::array<double, kCount> P{}, T{};
    Points() {
        unsigned state = 12345u;
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) / double(1u << 24);
        };
        for (int i = 0; i < kCount; ++i) {
            T[i] = 298.15 + 1475.0 * next();
            P[i] = 1.0 + 19999.0 * next() * next();
        }
    }
};

void BM_WaterGibbsHaarNewPoint(benchmark::State& state) {
    static const Points points;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(model::WaterGibbsHaar(points.P[i], points.T[i]));
        i = (i + 1) & (Points::kCount - 1);
    }
}
BENCHMARK(BM_WaterGibbsHaarNewPoint);

// Liquid near the saturation curve and near the critical point, where the search works hardest.
void BM_WaterHaarNearSaturation(benchmark::State& state) {
    std::array<double, 64> P{}, T{};
    for (int i = 0; i < 64; ++i) {
        T[i] = 600.0 + 0.75 * i;
        P[i] = model::WaterSaturationPressure(T[i]) * (i % 2 ? 1.0005 : 0.9995);
    }
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(model::WaterHaar(P[i], T[i]));
        i = (i + 1) & 63;
    }
}
BENCHMARK(BM_WaterHaarNearSaturation);

void BM_WaterCacheSamePoint(benchmark::State& state) {
    model::WaterCache cache;
    double P = 5000.0, T = 873.15;
    for (auto _ : state) {
        benchmark::DoNotOptimize(P);
        benchmark::DoNotOptimize(T);
        benchmark::DoNotOptimize(cache.at(P, T).gibbsHaar);
    }
}
BENCHMARK(BM_WaterCacheSamePoint);

void BM_WaterSaturationPressure(benchmark::State& state) {
    double T = 500.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(T);
        benchmark::DoNotOptimize(model::WaterSaturationPressure(T));
    }
}
BENCHMARK(BM_WaterSaturationPressure);

}  // namespace

BENCHMARK_MAIN();
