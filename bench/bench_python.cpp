// The Python module against the library it binds: the Gibbs energy change of
// a four-phase reaction at 10^6 (T, P) points by the public C++ API (one
// Evaluator: a call per point, and the array form that finds the reaction's
// phases once) and through the module (one call on numpy arrays, the
// interpreter embedded here).  The same points,
// 400-800 C and 1000-9000 bar, in both.  Two reactions: four minerals
// (grossular + 2 kyanite + quartz = 3 anorthite, quartz with its lambda
// term) and a dehydration (pyrophyllite = kyanite + 3 quartz + H2O, the Haar
// water at every point).
#include <benchmark/benchmark.h>
#include <pybind11/embed.h>
#include <pybind11/numpy.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "pelkam/pelkam.hpp"

namespace {

namespace py = pybind11;

constexpr std::size_t kPoints = 1'000'000;
const std::string kDatabase = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";

struct Case {
    const char* elements;
    const char* reaction;
};
constexpr Case kCases[] = {{"CA AL SI O", "Grs + 2 Ky + Qz = 3 An"}, {"AL SI O H", "Prl = Ky + 3 Qz + H2O"}};

struct Points {
    std::vector<double> T, P;
    Points() {
        std::mt19937_64 random(15);
        std::uniform_real_distribution<double> t(400, 800), p(1000, 9000);
        for (std::size_t i = 0; i < kPoints; ++i) T.push_back(t(random)), P.push_back(p(random));
    }
};
const Points& points() {
    static const Points p;
    return p;
}

pelkam::Reaction reactionIn(const pelkam::Database& db, const char* text) {
    return pelkam::balanceReaction(db.index(), pelkam::parseReaction(text).value()).value();
}

// The database, reaction and evaluator of a case, and the points.
struct CppCase {
    const Case& c;
    pelkam::Database db;
    pelkam::Reaction reaction;
    pelkam::Evaluator evaluator;
    const Points& p = points();
    std::vector<double> out = std::vector<double>(kPoints);
    explicit CppCase(const benchmark::State& state)
        : c(kCases[state.range(0)]),
          db(pelkam::loadDatabase(kDatabase, c.elements).value()),
          reaction(reactionIn(db, c.reaction)),
          evaluator(db) {}
};

void BM_CppApi(benchmark::State& state) {
    CppCase k(state);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kPoints; ++i)
            k.out[i] = k.evaluator.reactionGibbs(k.reaction, pelkam::Point{k.p.T[i], k.p.P[i], std::nullopt});
        benchmark::DoNotOptimize(k.out.data());
    }
    state.SetLabel(k.c.reaction);
    state.SetItemsProcessed(static_cast<long>(state.iterations() * kPoints));
}

void BM_CppApiArrays(benchmark::State& state) {
    CppCase k(state);
    for (auto _ : state) {
        k.evaluator.reactionGibbs(k.reaction, k.p.T, k.p.P, {}, k.out);
        benchmark::DoNotOptimize(k.out.data());
    }
    state.SetLabel(k.c.reaction);
    state.SetItemsProcessed(static_cast<long>(state.iterations() * kPoints));
}

void BM_PythonModule(benchmark::State& state) {
    const Case& c = kCases[state.range(0)];
    py::module_ pelkam = py::module_::import("pelkam");
    py::object db = pelkam.attr("load_database")(kDatabase, c.elements);
    py::object reaction = pelkam.attr("balance_reaction")(db, c.reaction);
    const Points& p = points();
    py::array_t<double> T(static_cast<py::ssize_t>(kPoints), p.T.data());
    py::array_t<double> P(static_cast<py::ssize_t>(kPoints), p.P.data());
    py::object gibbs = pelkam.attr("reaction_gibbs");
    for (auto _ : state) {
        py::object out = gibbs(db, reaction, T, P);
        benchmark::DoNotOptimize(out.ptr());
    }
    state.SetLabel(c.reaction);
    state.SetItemsProcessed(static_cast<long>(state.iterations() * kPoints));
}

BENCHMARK(BM_CppApi)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CppApiArrays)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PythonModule)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    py::scoped_interpreter python;
    py::module_::import("sys").attr("path").attr("insert")(0, PELKAM_PYTHON_DIR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
