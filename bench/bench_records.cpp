// Record layer: reading a database data line and writing a parameter-table line.
#include <benchmark/benchmark.h>

#include <string>

#include "core/layout.hpp"

namespace {

void BM_ReadDataLine(benchmark::State& state) {
    const core::Layout layout("5X,5F15.5");
    // Code in columns 1-5, then five fields of 15 columns.
    const std::string line = std::string("ST   ") + " -5.6432210D+06" + "   -6.01225e+06" + "        255.900" +
                             "         5.2600" + "          12345";
    double f[5] = {};
    const core::Target targets[] = {&f[0], &f[1], &f[2], &f[3], &f[4]};
    if (!core::read_text(line, layout, targets).done()) {
        state.SkipWithError("data line does not read");
        return;
    }
    for (auto _ : state) {
        core::ReadOutcome r = core::read_text(line, layout, targets);
        benchmark::DoNotOptimize(r.result);
        benchmark::DoNotOptimize(f[4]);
    }
}
BENCHMARK(BM_ReadDataLine);

void BM_WriteParameterLine(benchmark::State& state) {
    const core::Layout layout("(1X,A20,1X,4G23.15)");
    const core::Value values[] = {std::string_view("GARNET              "), -12345.678901234, 0.0125,
                                     0.0, -2.718281828459045};
    for (auto _ : state) {
        std::string line = core::writeLine(layout, values);
        benchmark::DoNotOptimize(line.data());
    }
}
BENCHMARK(BM_WriteParameterLine);

// The same line into a reused buffer, as an inner loop would write it.
void BM_AppendParameterLine(benchmark::State& state) {
    const core::Layout layout("(1X,A20,1X,4G23.15)");
    const core::Value values[] = {std::string_view("GARNET              "), -12345.678901234, 0.0125,
                                     0.0, -2.718281828459045};
    std::string buffer;
    for (auto _ : state) {
        buffer.clear();
        core::appendText(buffer, layout, values);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_AppendParameterLine);

}  // namespace

BENCHMARK_MAIN();
