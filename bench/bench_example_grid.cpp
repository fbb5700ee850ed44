// Petrogenetic grids run end to end as whole processes (start-up, database,
// enumeration, tracing, stability tests, pruning and output): the KFMASH +
// H2O grid of examples/kfmash-grid (19 phases), the larger grids of
// bench/grids (25, 30 and 39 phases), and the example with ideal solution
// models.  The time reported is the CPU time (user + sys) of the pelkam
// process, which a busy machine disturbs less than the wall-clock time; run
// with --benchmark_repetitions=9 for medians.  Counters: the three counts of
// the completion screen (-1 where it prints asterisks), the points of the
// plot file (the water curve aside) and points per CPU second.
//
// The 60-phase K-Na-Ca-Fe-Mg-Al-Si-O-H grid (bench/grids/kncfmash-60.txt)
// runs only when PELKAM_BENCH_GRID60 is set: to the longest CPU time allowed
// in seconds (the run is stopped there and reported with finished = 0), or
// to 0 for no limit.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "io/plot_reader.hpp"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A working directory with the bundled data, a configuration naming it and
// the answer script `script` (from the source root) as answers.txt.  With
// `idealModels` every phase that is an end-member of a bundled solution
// model takes an ideal activity from a composition file (garnet, biotite,
// white mica, cordierite, orthopyroxene), chosen with "All Solution Models"
// and each model's first variant, IDEAL.
fs::path prepare(const std::string& tag, const std::string& script, bool idealModels = false) {
    fs::path dir = fs::temp_directory_path() / ("pelkam_bench_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path root(PELKAM_SOURCE_DIR);
    // File names in the configuration are limited to 30-40 characters: the
    // data are copied beside the script.
    for (const char* f : {"thermo1988.dat", "empty.aqu", "solution-models.sln", "rxtns_calib.dat"})
        fs::copy_file(root / "data" / f, dir / f);
    std::ofstream(dir / "PELKAM.fig") << "MINERAL DATA=thermo1988.dat\nAQUEOUS DATA=empty.aqu\n"
                                      << "SOLUTION DATA=solution-models.sln\n";
    std::string answers = slurp(root / script);
    if (idealModels) {
        std::ofstream(dir / "grid.zun") << "GARN [-Gr-][-Py-][-Alm][-Sp-]\nGARN .0300 .3000 .6200 .0500\n"
                                        << "BIOT [xMg-][xFe-][-xTi][-xAl][-xK-][-xOH]\n"
                                        << "BIOT .4500 .4500 .0300 .0700 .9500 1.000\n"
                                        << "MICA [-xK-][-xNa][xAl-][-xOH]\nMICA .9000 .1000 .9500 1.000\n"
                                        << "CORD [xMg-][xFe-]\nCORD .7000 .3000\n"
                                        << "OPX  [xMg-][xFe-][xAl2]\nOPX  .7000 .2800 .0200\n";
        const std::string none = "radio None\n";
        answers.replace(answers.find(none), none.size(), "radio \"All Solution Models\"\nset Filename: = grid.zun\n");
    }
    std::ofstream(dir / "answers.txt") << answers;
    return dir;
}

struct Outcome {
    std::string out;       // standard output
    double cpu = 0;        // user + sys of the process, seconds
    bool finished = false; // ended by itself (not stopped at the limit)
};

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); }

// Runs pelkam in `dir`; with `limit` > 0 it is stopped once it has used that
// much CPU time.
Outcome run(const fs::path& dir, double limit = 0) {
    Outcome o;
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0 || !freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr))
            _exit(127);
        execl(PELKAM_EXE, PELKAM_EXE, "--script", "answers.txt", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return o;
    int status = 0;
    rusage usage{};
    if (limit > 0) {
        clockid_t clock;
        bool clocked = clock_getcpuclockid(pid, &clock) == 0;
        while (wait4(pid, &status, WNOHANG, &usage) == 0) {
            timespec t{};
            if (clocked && clock_gettime(clock, &t) == 0 && static_cast<double>(t.tv_sec) + 1e-9 * t.tv_nsec > limit)
                kill(pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    } else {
        wait4(pid, &status, 0, &usage);
    }
    o.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    o.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    o.out = slurp(dir / "stdout.txt");
    return o;
}

// The number after `label` on the completion screen; -1 when there is none
// (asterisks for a count too wide for its field).
double countAfter(const std::string& out, const std::string& label) {
    std::size_t at = out.find(label);
    if (at == std::string::npos) return -1;
    char* end = nullptr;
    const char* from = out.c_str() + at + label.size();
    const double v = std::strtod(from, &end);
    return end == from ? -1 : v;
}

double plottedPoints(const fs::path& dir) {
    io::PlotFileContents plot;
    if (!io::readPlotFile((dir / "plot.plt").string(), plot).ok()) return -1;
    double n = 0;
    for (const auto& c : plot.curves)
        if (!c.waterCurve) n += static_cast<double>(c.points.size());
    return n;
}

void wholeRun(benchmark::State& state, const std::string& tag, const std::string& script, bool idealModels,
              double limit) {
    const fs::path dir = prepare(tag, script, idealModels);
    Outcome o;
    double cpu = 0;
    for (auto _ : state) {
        o = run(dir, limit);
        state.SetIterationTime(o.cpu);
        cpu += o.cpu;
    }
    state.counters["finished"] = o.finished ? 1 : 0;
    state.counters["examined"] = countAfter(o.out, "Number of Reactions Examined =");
    state.counters["calculated"] = countAfter(o.out, "Number of Reactions Calculated =");
    state.counters["plotted"] = countAfter(o.out, "Number of Reactions Plotted =");
    const double points = o.finished ? plottedPoints(dir) : -1;
    state.counters["points"] = points;
    state.counters["points_per_s"] = points > 0 && cpu > 0 ? points * static_cast<double>(state.iterations()) / cpu : 0;
    if (!o.finished && limit <= 0) state.SkipWithError("the run did not complete");
    fs::remove_all(dir);
}

void BM_GridWholeRun(benchmark::State& state, const char* tag, const char* script) {
    wholeRun(state, tag, script, false, 0);
}
BENCHMARK_CAPTURE(BM_GridWholeRun, kfmash_19, "kfmash-19", "examples/kfmash-grid/answers.txt")
    ->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(BM_GridWholeRun, kfmash_25, "kfmash-25", "bench/grids/kfmash-25.txt")
    ->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(BM_GridWholeRun, kfmash_30, "kfmash-30", "bench/grids/kfmash-30.txt")
    ->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(BM_GridWholeRun, kfmash_39, "kfmash-39", "bench/grids/kfmash-39.txt")
    ->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_KfmashGridIdealModels(benchmark::State& state) {
    wholeRun(state, "kfmash-ideal", "examples/kfmash-grid/answers.txt", true, 0);
}
BENCHMARK(BM_KfmashGridIdealModels)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    if (const char* limit = std::getenv("PELKAM_BENCH_GRID60")) {
        const double seconds = std::atof(limit);
        benchmark::RegisterBenchmark("BM_GridWholeRun/kncfmash_60",
                                     [seconds](benchmark::State& state) {
                                         wholeRun(state, "kncfmash-60", "bench/grids/kncfmash-60.txt", false, seconds);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
