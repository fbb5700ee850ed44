// Golden outputs: every worked example, its replay, a few further runs that
// reach the other diagram types and paths of the calculator, and the
// pelkam-props commands of the README, run as whole programs and compared
// byte for byte with the outputs kept in tests/golden/expected/.  Nothing
// is masked: the outputs compared hold no dates or times (the drawings,
// which carry the date, are not compared).
//
// After a deliberate change of an output, PELKAM_UPDATE_GOLDEN=1 makes the
// test write the new outputs instead of comparing them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource(PELKAM_SOURCE_DIR);
const fs::path kExpected = kSource / "tests" / "golden" / "expected";

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool updating() {
    const char* v = std::getenv("PELKAM_UPDATE_GOLDEN");
    return v != nullptr && std::string(v) == "1";
}

// Runs `exe` in `dir` with standard input from /dev/null; standard output
// and standard error go to `out` and `err`.  Returns the exit status.
int runProgram(const std::string& exe, const std::vector<std::string>& args, const fs::path& dir, const fs::path& out,
        const fs::path& err) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int in = open("/dev/null", O_RDONLY);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // Progress lines would make standard error depend on the machine's speed.
        if (std::getenv("PELKAM_PROGRESS") == nullptr) setenv("PELKAM_PROGRESS", "0", 1);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A directory for a run, two levels below a directory that holds data/ (a
// link to the bundled data), so that "../../data/..." names the bundled
// files as it does in the examples; data/ beside the run names them too.
fs::path workDir(const std::string& name) {
    const fs::path base = fs::path(PELKAM_BINARY_DIR) / "golden-runs";
    fs::create_directories(base / "runs");
    std::error_code ec;
    fs::create_directory_symlink(kSource / "data", base / "data", ec);
    const fs::path dir = base / "runs" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::create_directory_symlink(kSource / "data", dir / "data", ec);
    return dir;
}

// Compares (or, when updating, stores) one output.
void expectSame(const std::string& scenario, const std::string& file, const std::string& actual) {
    const fs::path want = kExpected / scenario / file;
    if (updating()) {
        fs::create_directories(want.parent_path());
        std::ofstream(want, std::ios::binary) << actual;
        return;
    }
    ASSERT_TRUE(fs::exists(want)) << scenario << ": no golden file " << file;
    const std::string expected = slurp(want);
    if (expected == actual) return;
    // The first line that differs, to say where.
    std::istringstream a(expected), b(actual);
    std::string la, lb;
    int line = 0;
    while (true) {
        ++line;
        const bool ga = static_cast<bool>(std::getline(a, la)), gb = static_cast<bool>(std::getline(b, lb));
        if (!ga && !gb) break;
        if (!ga || !gb || la != lb) break;
    }
    ADD_FAILURE() << scenario << "/" << file << " differs from its golden file at line " << line << ":\n  golden: "
                  << la << "\n  now:    " << lb;
}

// The files of a directory (not the links to data/).
std::set<std::string> filesOf(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && !e.is_symlink()) names.insert(e.path().filename().string());
    return names;
}

// The names of the golden files kept for a scenario.
std::set<std::string> goldenFilesOf(const std::string& scenario) {
    std::set<std::string> names;
    if (fs::exists(kExpected / scenario))
        for (const auto& e : fs::directory_iterator(kExpected / scenario)) names.insert(e.path().filename().string());
    return names;
}

// --- pelkam runs ---------------------------------------------------------------

struct PelkamRun {
    const char* name;    // scenario, and the folder of its golden files
    const char* inputs;  // folder of its inputs, relative to the source root
    const char* script;  // the answer script
};

// The examples with their replays, then further runs (tests/golden/inputs):
// the reaction-selection screen with every reaction of a grid, metastable
// curves, P-xCO2, activity-temperature, activity-pressure on the saturation
// curve, activity-activity, a replay of the last calculated reactions only,
// the activity listing, and a batch line.
const PelkamRun kRuns[] = {
    {"aluminosilicates", "examples/aluminosilicates", "answers.txt"},
    {"aluminosilicates-replay", "examples/aluminosilicates", "replay.txt"},
    {"calcite-quartz-pt", "examples/calcite-quartz-pt", "answers.txt"},
    {"calcite-quartz-pt-replay", "examples/calcite-quartz-pt", "replay.txt"},
    {"calcite-quartz-tx", "examples/calcite-quartz-tx", "answers.txt"},
    {"calcite-quartz-tx-replay", "examples/calcite-quartz-tx", "replay.txt"},
    {"kfmash-grid", "examples/kfmash-grid", "answers.txt"},
    {"kfmash-grid-replay", "examples/kfmash-grid", "replay.txt"},
    {"thermobarometry", "examples/thermobarometry", "answers.txt"},
    {"thermobarometry-replay", "examples/thermobarometry", "replay.txt"},
    {"quartz-solubility", "examples/quartz-solubility", "answers.txt"},
    {"quartz-solubility-replay", "examples/quartz-solubility", "replay.txt"},
    {"kfeldspar-muscovite-kaolinite", "examples/kfeldspar-muscovite-kaolinite", "answers.txt"},
    {"kfeldspar-muscovite-kaolinite-replay", "examples/kfeldspar-muscovite-kaolinite", "replay.txt"},
    {"chosen-reactions", "tests/golden/inputs/chosen-reactions", "answers.txt"},
    {"metastable", "tests/golden/inputs/metastable", "answers.txt"},
    {"p-xco2", "tests/golden/inputs/p-xco2", "answers.txt"},
    {"activity-t", "tests/golden/inputs/activity-t", "answers.txt"},
    {"activity-p-saturation", "tests/golden/inputs/activity-p-saturation", "answers.txt"},
    {"activity-activity", "tests/golden/inputs/activity-activity", "answers.txt"},
    {"last-reactions", "tests/golden/inputs/last-reactions", "answers.txt"},
    {"activity-listing", "tests/golden/inputs/activity-listing", "answers.txt"},
    {"batch", "tests/golden/inputs/batch", "answers.txt"},
};

void PrintTo(const PelkamRun& r, std::ostream* os) { *os << r.name; }

// Files of a run that are not compared: the drawings carry the date.
bool compared(const std::string& file) {
    const std::string ext = fs::path(file).extension().string();
    return ext != ".svg" && ext != ".dxf";
}

class GoldenRun : public ::testing::TestWithParam<PelkamRun> {};

TEST_P(GoldenRun, OutputsUnchanged) {
    const PelkamRun& r = GetParam();
    const fs::path dir = workDir(r.name);
    fs::copy(kSource / r.inputs, dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    // As ./setup.sh run does: the suggested reactions of the bundled list.
    if (!fs::exists(dir / "rxtns_calib.dat")) fs::copy_file(kSource / "data" / "rxtns_calib.dat", dir / "rxtns_calib.dat");
    std::map<std::string, std::string> inputs;  // the files before the run, with their contents
    for (const std::string& f : filesOf(dir)) inputs[f] = slurp(dir / f);
    const fs::path out = dir.string() + ".stdout", err = dir.string() + ".stderr";
    const int code = runProgram(PELKAM_EXE, {"--script", r.script}, dir, out, err);

    std::ostringstream console;
    console << "exit status " << code << "\n--- standard output\n"
            << slurp(out) << "--- standard error\n"
            << slurp(err);
    expectSame(r.name, "console.txt", console.str());
    std::set<std::string> written;
    for (const std::string& f : filesOf(dir)) {
        const auto input = inputs.find(f);
        if (input != inputs.end() && input->second == slurp(dir / f)) continue;  // an input, unchanged
        if (!compared(f)) continue;
        written.insert(f);
        expectSame(r.name, f, slurp(dir / f));
    }
    if (!updating()) {
        std::set<std::string> golden = goldenFilesOf(r.name);
        golden.erase("console.txt");
        EXPECT_EQ(written, golden) << r.name << ": the run wrote other files than its golden ones";
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, GoldenRun, ::testing::ValuesIn(kRuns), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n)
        if (c == '-') c = '_';
    return n;
});

// --- pelkam-props --------------------------------------------------------------

struct PropsCommand {
    const char* name;
    std::vector<std::string> args;
};

// The commands of the README, and the same numbers through the other forms.
const PropsCommand kProps[] = {
    {"props-phases", {"--db", "data/thermo1988.dat", "--T", "400,600.5", "--P", "1,5000", "Qz", "3 Ky = 3 Sil"}},
    {"props-reaction-csv",
     {"--db", "data/thermo1988.dat", "--T", "600", "--P", "2000", "--csv", "Ms + Qz = Kfs + Sil + H2O"}},
    {"props-fluid", {"--fluid", "H2O,CO2", "--T", "600", "--P", "2000", "--xco2", "0.5", "--csv"}},
    {"props-models",
     {"--db", "data/thermo1988.dat", "--sln", "data/solution-models.sln", "--zun", "data/example-pelite.zun",
      "--models", "GARN=GT1990,PLAG=FL88", "--T", "600", "--P", "6000", "Grs", "Grs + 2 Ky + Qz = 3 An"}},
    {"props-fluid-routines",
     {"--fluid", "h2o,co2,o2,h2,s2", "--T", "300,800", "--P", "50,1000,20000", "--water-routine", "2",
      "--co2-routine", "3", "--mixing", "3", "--xco2", "0.3"}},
    {"props-models-all",
     {"--db", "data/thermo1988.dat", "--sln", "data/solution-models.sln", "--zun", "data/example-pelite.zun",
      "--models", "all", "--T", "500,700", "--P", "4000", "--csv", "Alm", "Py", "Ann + Py = Phl + Alm",
      "Grs + 2 Ky + Qz = 3 An"}},
    {"props-calcite", {"--db", "data/thermo1988.dat", "--T", "500,800", "--P", "1000", "--xco2", "0.2",
                       "CALCITE + QUARTZ = WOLLASTONITE + CO2", "Ab", "Crd", "Kfs", "Qz", "Dol"}},
    {"props-unbalanced", {"--db", "data/thermo1988.dat", "--T", "500", "--P", "1000", "Ky = Qz"}},
    {"props-aqueous",
     {"--db", "data/thermo1988.dat", "--aqueous", "data/aqueous-hkf.aqu", "--T", "25,300", "--P", "1000", "--csv",
      "K+", "Qz = SIO2(AQ)", "1.5 Kfs + H+ = 0.5 Ms + 3 Qz + K+"}},
    {"props-unknown", {"--db", "data/thermo1988.dat", "--T", "500", "--P", "1000", "Unobtainium"}},
    {"props-help", {"--help"}},
};

void PrintTo(const PropsCommand& c, std::ostream* os) { *os << c.name; }

class GoldenProps : public ::testing::TestWithParam<PropsCommand> {};

TEST_P(GoldenProps, OutputUnchanged) {
    const PropsCommand& c = GetParam();
    const fs::path dir = workDir(c.name);
    const fs::path out = dir.string() + ".stdout", err = dir.string() + ".stderr";
    const int code = runProgram(PROPS_EXE, c.args, dir, out, err);
    std::ostringstream text;
    text << "exit status " << code << "\n--- standard output\n"
         << slurp(out) << "--- standard error\n"
         << slurp(err);
    expectSame(c.name, "output.txt", text.str());
}

INSTANTIATE_TEST_SUITE_P(Commands, GoldenProps, ::testing::ValuesIn(kProps), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n)
        if (c == '-') c = '_';
    return n;
});

}  // namespace
