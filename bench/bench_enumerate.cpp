// Enumerating every reaction of a 20-phase K2O-FeO-MgO-Al2O3-SiO2-H2O
// selection of the bundled database (a sink that only counts).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "calc/enumerate.hpp"
#include "core/matrix.hpp"
#include "core/text.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"

namespace {

struct Run {
    model::PhaseTable table;
    calc::PhaseSelection selection;
};

// The phases, and a basis taken greedily in load order with a unit row for
// the component the oxides leave dependent (oxygen).
std::unique_ptr<Run> prepare() {
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
    options.waterRoutine = 2;
    if (!io::loadDatabase(options, streams, *system, *loaded)) return nullptr;

    const std::vector<std::string> names = {"Ms", "Kfs", "Phl", "Ann", "Alm", "Py",  "Crd", "Ky",  "Sil", "And",
                                            "Qz", "En",  "Fs",  "Fo",  "Fa",  "Tlc", "Ath", "Clc", "Sp",  "H2O"};
    run->table = *loaded;
    run->table.count = 0;
    const int C = system->elementCount;
    std::vector<std::vector<double>> comp;
    for (const std::string& a : names) {
        for (int i = 0; i < loaded->count; ++i)
            if (core::trim((*loaded)[i].abbreviation) == a) {
                run->table[run->table.count++] = (*loaded)[i];
                comp.emplace_back(system->stoichiometry[i].begin(), system->stoichiometry[i].begin() + C);
            }
    }
    if (run->table.count != 20) return nullptr;

    // Greedy basis: phases in load order while they raise the rank, then the
    // unit rows that complete it.
    calc::PhaseSelection& sel = run->selection;
    sel.mainCount = 20;
    sel.basis.componentCount = C;
    auto rank = [C](std::vector<std::vector<double>> m) {
        int r = 0;
        for (int c = 0; c < C && r < static_cast<int>(m.size()); ++c) {
            int best = r;
            for (int i = r + 1; i < static_cast<int>(m.size()); ++i)
                if (std::fabs(m[i][c]) > std::fabs(m[best][c])) best = i;
            if (std::fabs(m[best][c]) < 1e-9) continue;
            std::swap(m[r], m[best]);
            for (int i = r + 1; i < static_cast<int>(m.size()); ++i) {
                const double f = m[i][c] / m[r][c];
                for (int j = 0; j < C; ++j) m[i][j] -= f * m[r][j];
            }
            ++r;
        }
        return r;
    };
    std::vector<std::vector<double>> rows;
    std::vector<int> who;
    for (int i = 0; i < 20 + C && static_cast<int>(rows.size()) < C; ++i) {
        std::vector<double> row(static_cast<std::size_t>(C), 0.0);
        if (i < 20) row = comp[i];
        else row[i - 20] = 1.0;
        auto trial = rows;
        trial.push_back(row);
        if (rank(trial) > static_cast<int>(rows.size())) {
            rows = trial;
            who.push_back(i < 20 ? i : -1);
        }
    }
    std::vector<double> inv(static_cast<std::size_t>(C * C));
    for (int a = 0; a < C; ++a)
        for (int b = 0; b < C; ++b) inv[a * C + b] = rows[a][b];
    if (core::INVRT(inv.data(), C, C, 1e-8) != 0) return nullptr;
    for (int p = 0; p < C; ++p) sel.basis.phase[p] = who[p];
    for (int i = 0; i < 20; ++i)
        for (int p = 0; p < C; ++p) {
            double v = 0;
            for (int k = 0; k < C; ++k) v += comp[i][k] * inv[k * C + p];
            sel.basis.coords[i][p] = std::fabs(v) <= 0.001 ? 0.0 : v;
        }
    return run;
}

void BM_EnumerateKfmash20(benchmark::State& state) {
    static const std::unique_ptr<Run> run = prepare();
    if (!run) {
        state.SkipWithError("bundled database not loaded");
        return;
    }
    io::Streams streams;
    long reactions = 0;
    for (auto _ : state) {
        calc::PrunedAssemblageList pruned;
        calc::EnumerationResult result;
        long count = 0;
        calc::EnumerateReactions(
            run->table, run->selection, pruned, calc::EnumerationOptions{},
            [&count](calc::Reaction&) {
                ++count;
                return core::Status::success();
            },
            nullptr, result);
        reactions = count;
        benchmark::DoNotOptimize(count);
    }
    state.counters["reactions"] = static_cast<double>(reactions);
}
BENCHMARK(BM_EnumerateKfmash20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
