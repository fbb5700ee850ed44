// The fluid routines at a moving point: an H2O-CO2 mixture through the
// dispatcher (both species, as a reaction evaluates them), the Kovan-Tessel
// CO2 equation and the modified Redlich-Kwong volume search.
#include <benchmark/benchmark.h>

#include "model/fluids.hpp"
#include "model/gibbs.hpp"

namespace {

constexpr double kKelvin = 273.149993896484375;

// H2O then CO2 under Kerrick-Jacobs mixing, the CO2 with the reuse flag set
// as a reaction passes it; the temperature moves every step through
// [t0, t1].
void mixture(benchmark::State& state, int water, int co2, double P = 5000.0, double xCO2 = 0.3, double t0 = 600.0,
             double t1 = 700.0) {
    model::GibbsEvaluator ctx;
    model::PointState point;
    point.P = P;
    point.x[model::kWater] = 1.0 - xCO2;
    point.x[model::kCarbonDioxide] = xCO2;
    point.fluid = model::FluidModelChoice{1, water, co2};
    double t = t0;
    for (auto _ : state) {
        point.t = t;
        benchmark::DoNotOptimize(model::FluidProperties(ctx, point, model::kWater, 0));
        benchmark::DoNotOptimize(model::FluidProperties(ctx, point, model::kCarbonDioxide, 1));
        t = t < t1 ? t + 0.5 : t0;
    }
}

void BM_MixtureKJ_HaarWater_KovanTesselCO2(benchmark::State& state) { mixture(state, 1, 1); }
BENCHMARK(BM_MixtureKJ_HaarWater_KovanTesselCO2);

void BM_MixtureKJ_KerrickJacobsBoth(benchmark::State& state) { mixture(state, 2, 2); }
BENCHMARK(BM_MixtureKJ_KerrickJacobsBoth);

void BM_MixtureKJ_HollandPowellBoth(benchmark::State& state) { mixture(state, 3, 3); }
BENCHMARK(BM_MixtureKJ_HollandPowellBoth);

// Below 415 C the isotherms of water-rich fluids may have a loop: the
// mixture and pure water are taken on their stable roots (150 bar, XCO2
// 0.05, 350-415 C, a T-xCO2 diagram's lower part).
void BM_MixtureKJ_LoopRegion(benchmark::State& state) { mixture(state, 1, 1, 150.0, 0.05, 350.0, 415.0); }
BENCHMARK(BM_MixtureKJ_LoopRegion);

void BM_Co2KovanTessel(benchmark::State& state) {
    double t = 600.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(model::Co2KovanTessel(5000.0, t + kKelvin));
        t = t < 700.0 ? t + 0.5 : 600.0;
    }
}
BENCHMARK(BM_Co2KovanTessel);

void BM_MrkVolume_CO2(benchmark::State& state) {
    double t = 600.0;
    for (auto _ : state) {
        const double T = t + kKelvin;
        benchmark::DoNotOptimize(model::MrkVolume(5000.0, T, model::KerrickJacobsCO2(T), 35.0));
        t = t < 700.0 ? t + 0.5 : 600.0;
    }
}
BENCHMARK(BM_MrkVolume_CO2);

}  // namespace

BENCHMARK_MAIN();
