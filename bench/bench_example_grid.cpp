// The KFMASH + H2O grid of examples/kfmash-grid, run end to end as a whole
// process (start-up, database, enumeration, tracing, stability tests,
// pruning and output), with the three reaction counts as counters.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// The example's run; with `idealModels` every phase that is an end-member of
// a bundled solution model takes an ideal activity from a composition file
// (garnet, biotite, white mica, cordierite, orthopyroxene), chosen with
// "All Solution Models" and each model's first variant, IDEAL.
fs::path prepare(bool idealModels = false) {
    fs::path dir = fs::temp_directory_path() /
                   ("pelkam_bench_grid_" + std::to_string(::getpid()) + (idealModels ? "_ideal" : ""));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path root(PELKAM_SOURCE_DIR);
    fs::copy(root / "examples" / "kfmash-grid", dir, fs::copy_options::recursive);
    // The example names the data as ../../data/...; the copy gets its own
    // (file names in the configuration are limited to 30-40 characters).
    for (const char* f : {"thermo1988.dat", "empty.aqu", "solution-models.sln", "rxtns_calib.dat"})
        fs::copy_file(root / "data" / f, dir / f);
    std::ofstream(dir / "PELKAM.fig") << "MINERAL DATA=thermo1988.dat\nAQUEOUS DATA=empty.aqu\n"
                                      << "SOLUTION DATA=solution-models.sln\n";
    if (idealModels) {
        std::ofstream(dir / "grid.zun") << "GARN [-Gr-][-Py-][-Alm][-Sp-]\nGARN .0300 .3000 .6200 .0500\n"
                                        << "BIOT [xMg-][xFe-][-xTi][-xAl][-xK-][-xOH]\n"
                                        << "BIOT .4500 .4500 .0300 .0700 .9500 1.000\n"
                                        << "MICA [-xK-][-xNa][xAl-][-xOH]\nMICA .9000 .1000 .9500 1.000\n"
                                        << "CORD [xMg-][xFe-]\nCORD .7000 .3000\n"
                                        << "OPX  [xMg-][xFe-][xAl2]\nOPX  .7000 .2800 .0200\n";
        std::ifstream in(dir / "answers.txt");
        std::stringstream text;
        text << in.rdbuf();
        std::string answers = text.str();
        const std::string none = "radio None\n";
        answers.replace(answers.find(none), none.size(), "radio \"All Solution Models\"\nset Filename: = grid.zun\n");
        std::ofstream(dir / "answers.txt") << answers;
    }
    return dir;
}

// Runs pelkam in `dir`; returns its standard output.
std::string run(const fs::path& dir) {
    int pipefd[2];
    if (pipe(pipefd) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        dup2(pipefd[1], 1);
        close(pipefd[0]);
        execl(PELKAM_EXE, PELKAM_EXE, "--script", "answers.txt", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipefd[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

double count_after(const std::string& out, const std::string& label) {
    std::size_t at = out.find(label);
    if (at == std::string::npos) return -1;
    return std::stod(out.substr(at + label.size()));
}

void BM_KfmashGridWholeRun(benchmark::State& state) {
    fs::path dir = prepare();
    std::string out;
    for (auto _ : state) out = run(dir);
    state.counters["examined"] = count_after(out, "Number of Reactions Examined =");
    state.counters["calculated"] = count_after(out, "Number of Reactions Calculated =");
    state.counters["plotted"] = count_after(out, "Number of Reactions Plotted =");
    fs::remove_all(dir);
}
BENCHMARK(BM_KfmashGridWholeRun)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KfmashGridIdealModels(benchmark::State& state) {
    fs::path dir = prepare(true);
    std::string out;
    for (auto _ : state) out = run(dir);
    state.counters["examined"] = count_after(out, "Number of Reactions Examined =");
    state.counters["calculated"] = count_after(out, "Number of Reactions Calculated =");
    state.counters["plotted"] = count_after(out, "Number of Reactions Plotted =");
    if (count_after(out, "Number of Reactions Plotted =") < 0) state.SkipWithError("the run did not complete");
    fs::remove_all(dir);
}
BENCHMARK(BM_KfmashGridIdealModels)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
