// Laying out a crowded diagram: a made-up grid of straight curves, each with
// the two labels of its reaction, most of which cannot all be free; and the
// drawings of real plot files.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "render/drawing.hpp"
#include "render/dxf_writer.hpp"
#include "render/svg_writer.hpp"

namespace {

io::PlotFileContents grid(int curves) {
    io::PlotFileContents p;
    p.diagramType = 0;
    p.diagramName = "P-T";
    p.window = {400, 900, 1, 12000};
    p.width = p.height = 20;
    for (int c = 0; c < curves; ++c) {
        // Lines fanning out from points along the diagonal.
        const double t0 = 420 + 460.0 * ((c * 37) % curves) / curves, p0 = 200 + 11000.0 * ((c * 53) % curves) / curves;
        const double slope = 5 + 40 * ((c * 17) % 23) / 23.0;
        io::PlotCurveRecord rec;
        for (int i = 0; i < 15; ++i) {
            const double t = t0 + (i - 7) * 8.0, pr = p0 + (i - 7) * 8.0 * slope;
            if (t < 400 || t > 900 || pr < 1 || pr > 12000) continue;
            rec.points.push_back({t, pr, static_cast<short>(rec.points.empty() ? 3 : 2)});
        }
        if (rec.points.size() < 2) continue;
        const auto& mid = rec.points[rec.points.size() / 2];
        rec.labels.push_back({mid.x, mid.y + 150, 0.35, 45, "2 Alm + Crn "});
        rec.labels.push_back({mid.x, mid.y - 250, 0.35, 45, " 3 Fa + 3 And"});
        p.curves.push_back(rec);
    }
    return p;
}

void BM_LayOutCrowdedGrid(benchmark::State& state) {
    const io::PlotFileContents p = grid(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        render::Drawing d;
        core::Status s = render::makeDrawing(p, "grid.plt", nullptr, {}, d);
        benchmark::DoNotOptimize(s);
        benchmark::DoNotOptimize(d.figure.texts.data());
    }
}
BENCHMARK(BM_LayOutCrowdedGrid)->Arg(20)->Arg(170)->Unit(benchmark::kMillisecond);

void BM_WriteSvg(benchmark::State& state) {
    render::Drawing d;
    render::makeDrawing(grid(170), "grid.plt", nullptr, {}, d);
    for (auto _ : state) benchmark::DoNotOptimize(render::figureToSvg(d.figure, {}));
}
BENCHMARK(BM_WriteSvg)->Unit(benchmark::kMillisecond);

}  // namespace

// The drawings of real plot files as a run writes them (layout, DXF and SVG
// text, no files): the worked examples' plot files and the larger grids.
// Counters: the layout's quality (render::LayoutQuality).
void BM_RunDrawings(benchmark::State& state, const char* plotFile) {
    io::PlotFileContents p;
    if (!io::readPlotFile(std::string(PELKAM_SOURCE_DIR) + "/" + plotFile, p).ok()) {
        state.SkipWithError("plot file not readable");
        return;
    }
    for (auto _ : state) {
        render::Drawing d;
        core::Status s = render::makeDrawing(p, plotFile, nullptr, {}, d);
        benchmark::DoNotOptimize(s);
        benchmark::DoNotOptimize(render::figureToDxf(d.figure, {}));
        benchmark::DoNotOptimize(render::figureToSvg(d.figure, {}));
    }
    render::DrawingOptions measured;
    measured.figure.measureLayout = true;
    render::Drawing d;
    render::makeDrawing(p, plotFile, nullptr, measured, d);
    const render::LayoutQuality& q = d.figure.quality;
    state.counters["labels"] = q.labels;
    state.counters["overlapPairs"] = q.overlappingPairs;
    state.counters["crossing"] = q.crossingLabels;
    state.counters["outside"] = q.outside;
    state.counters["meanShift_pt"] = q.meanShift;
}
BENCHMARK_CAPTURE(BM_RunDrawings, a_aluminosilicates, "tests/golden/expected/aluminosilicates/plot.plt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunDrawings, b_calcite_quartz_pt, "tests/golden/expected/calcite-quartz-pt/plot.plt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunDrawings, b_calcite_quartz_tx, "tests/golden/expected/calcite-quartz-tx/plot.plt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunDrawings, c_kfmash_19, "tests/golden/expected/kfmash-grid/plot.plt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunDrawings, d_thermobarometry, "tests/golden/expected/thermobarometry/plot.plt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunDrawings, kfmash_25, "tests/golden/grids/kfmash-25.plt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunDrawings, kfmash_30, "tests/golden/grids/kfmash-30.plt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunDrawings, kfmash_39, "tests/golden/grids/kfmash-39.plt")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
