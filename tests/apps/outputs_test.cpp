// What a run writes, seen from outside: outputs that cannot be written
// completely, outputs named like inputs, values too wide for their fields,
// long file names, and the data files recorded with their digests.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "core/checksum.hpp"
#include "run_helpers.hpp"

using apptest::fs::path;
using apptest::runProgram;
using apptest::WorkDir;
namespace fs = apptest::fs;

namespace {

// The aluminosilicate example (a P-T diagram of seven phases).
std::string exampleAnswers() {
    std::ifstream in(path(PELKAM_SOURCE_DIR) / "examples" / "aluminosilicates" / "answers.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A configuration naming the bundled data, copied into `w`, as seen from `from`.
std::string configFrom(const WorkDir& w, const std::string& from) {
    apptest::bundledConfig(w);
    return "MINERAL DATA=" + from + "thermo1988.dat\nAQUEOUS DATA=" + from + "empty.aqu\nSOLUTION DATA=" + from +
           "models.sln\n";
}

std::string readFile(const path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> hiddenFiles(const path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().front() == '.') out.push_back(e.path().filename().string());
    return out;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

// A small file system of 64 KiB mounted for the test, where that is permitted.
struct SmallDisk {
    path dir;
    bool mounted = false;
    explicit SmallDisk(path d) : dir(std::move(d)) {
        fs::create_directories(dir);
        mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (mounted) ::umount2(dir.c_str(), MNT_DETACH);
    }
};

}  // namespace

// A run whose outputs cannot all be written does not report a complete
// diagram: it names the file and the system's reason, exits non-zero, keeps
// the files of the previous run and leaves no temporary behind.  The disk is
// full either through the file-size limit (always) or on a small file system
// made for the test (where mounting is permitted).
class FullDisk : public ::testing::TestWithParam<bool> {};

TEST_P(FullDisk, PreviousOutputsStayAndTheFailureIsNamed) {
    const bool onSmallDisk = GetParam();
    WorkDir w(onSmallDisk ? "tmpfs" : "fsize");
    const path run = w.path / "run";
    std::unique_ptr<SmallDisk> disk;
    if (onSmallDisk) {
        disk = std::make_unique<SmallDisk>(run);
        if (!disk->mounted) GTEST_SKIP() << "mounting a tmpfs is not permitted here: " << std::strerror(errno);
    } else {
        fs::create_directories(run);
    }
    std::ofstream(run / "PELKAM.fig") << configFrom(w, "../");
    std::ofstream(run / "answers.txt") << exampleAnswers();
    for (const char* f : {"plot.plt", "summary.dat", "restart.res"}) std::ofstream(run / f) << "previous " << f << "\n";
    if (onSmallDisk) {
        // Leave about 8 KiB: enough for the plot and restart files, not for the summary.
        std::ofstream(run / "filler", std::ios::binary) << std::string(52 * 1024, 'x');
    }
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, run, onSmallDisk ? -1 : 8192);
    EXPECT_NE(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Diagram Complete"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("summary.dat"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::strerror(onSmallDisk ? ENOSPC : EFBIG)), std::string::npos) << r.err;
    for (const char* f : {"plot.plt", "summary.dat", "restart.res"})
        EXPECT_EQ(readFile(run / f), std::string("previous ") + f + "\n") << f;
    EXPECT_TRUE(hiddenFiles(run).empty());
}

INSTANTIATE_TEST_SUITE_P(Outputs, FullDisk, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "SmallFileSystem" : "FileSizeLimit"; });

// A batch line whose outputs cannot be written says so in the log, which
// names a plot file only once it is on the disk; the batch ends non-zero.
TEST(Outputs, BatchLogNamesOnlySavedPlotFiles) {
    WorkDir w("batchfull");
    w.write("PELKAM.fig", configFrom(w, ""));
    w.write("answers.txt", exampleAnswers());
    ASSERT_EQ(runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path).exitCode, 0);
    fs::rename(w.path / "restart.res", w.path / "grid.res");
    w.write("batch.dat", ",grid.res,,,   \n");
    w.write("answers.txt", "check \"Batch Run?\"\npress Continue\nscreen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path, 8192);
    EXPECT_NE(r.exitCode, 0) << r.out << r.err;
    auto log = w.lines("klv.log");
    EXPECT_FALSE(hasLine(log, "Plot output written")) << w.read("klv.log");
    EXPECT_TRUE(hasLine(log, "cannot write the output file (grid.sum)")) << w.read("klv.log");
    EXPECT_FALSE(w.exists("grid.plt"));

    r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(w.lines("klv.log"), std::vector<std::string>{"Calculation completed. Plot output written to grid.plt"});

    // A log that cannot be saved (here a directory of its name) fails the batch.
    fs::remove(w.path / "klv.log");
    fs::create_directory(w.path / "klv.log");
    r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_NE(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find("klv.log"), std::string::npos) << r.out << r.err;
}

// An output named like an input of the run is refused on the files screen
// (the screen comes back with what was typed); the input stays as it was.  A
// script that does not expect the refusal stops with its message.
TEST(Outputs, OutputNamedLikeAnInputIsRefused) {
    WorkDir w("clash");
    w.write("PELKAM.fig", configFrom(w, ""));
    const std::string db = w.read("thermo1988.dat");
    std::string answers = exampleAnswers();
    const std::string files = "screen 1\npress Next\n";
    ASSERT_NE(answers.find(files), std::string::npos);
    answers.replace(answers.find(files), files.size(),
                    "screen 1\nset \"Plot Output\" = ./thermo1988.dat\npress Next\n"
                    "screen \"Input error\"\npress Continue\n"
                    "screen 1\nset \"Plot Output\" = diagram.plt\npress Next\n");
    w.write("answers.txt", answers);
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Plot Output would overwrite the input Mineral Data"), std::string::npos) << r.out;
    EXPECT_EQ(w.read("thermo1988.dat"), db);
    EXPECT_TRUE(w.exists("diagram.plt"));

    w.write("answers.txt", "press Continue\npress Continue\nscreen 1\nset \"Restart File\" = answers.txt\npress Next\n");
    r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("Restart File would overwrite the input answer script"), std::string::npos) << r.out;
}

// A value too wide for a field of the summary (the pressure of an
// activity-temperature diagram at 12 kbar, F7.2) fails the run, naming the
// field; nothing is written.
TEST(Outputs, ValueTooWideForItsFieldFailsTheRun) {
    WorkDir w("toowide");
    w.write("PELKAM.fig", configFrom(w, ""));
    w.write("answers.txt",
            "press Continue\npress Continue\npress Next\nradio Act-Temp\npress Next\n"
            "screen 3\nset Elements = k al si o h\nset \"Row 1 min\" = 12000.\nset \"Row 2 min\" = 400.\n"
            "set \"Row 2 max\" = 1200.\nset \"X-axis min\" = -2.\nset \"X-axis max\" = 0.\nset xH2O = 1.0\npress Next\n"
            "screen \"End-member selection\"\nset X-axis = water\n"
            "select Phases = SILLIMANITE; QUARTZ; MUSCOVITE; K-FELDSPAR; WATER\n"
            "check \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n"
            "screen \"Selection of Solution Models\"\nradio None\npress Next\n"
            "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.find("Diagram Complete"), std::string::npos);
    // The window is refused when it is given (the summary lists the pressure
    // of every activity-T point in F7.2); the record layer's refusal of a
    // value too wide is tested with the streams.
    EXPECT_NE(r.err.find("pressure 12000 does not fit the summary: at most 9999.99"), std::string::npos) << r.err;
    for (const char* f : {"plot.plt", "summary.dat", "restart.res"}) EXPECT_FALSE(w.exists(f)) << f;
}

// File names longer than the 40 columns of the old fields are used whole:
// from PELKAM.fig and typed on the files screen.
TEST(Outputs, LongFileNamesAreKeptWhole) {
    WorkDir w("longnames");
    const std::string deep = "a directory with a rather long name/and another one below it/";
    fs::create_directories(w.path / deep);
    apptest::bundledConfig(w);
    for (const char* f : {"thermo1988.dat", "empty.aqu", "models.sln"}) fs::rename(w.path / f, w.path / deep / f);
    w.write("PELKAM.fig", configFrom(w, deep));
    std::string answers = exampleAnswers();
    const std::string files = "screen 1\npress Next\n";
    const std::string plot = deep + "the aluminosilicate diagram of this run.plt";
    answers.replace(answers.find(files), files.size(), "screen 1\nset \"Plot Output\" = " + plot + "\npress Next\n");
    w.write("answers.txt", answers);
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(w.exists(plot));
    EXPECT_NE(r.out.find("Plot Output : " + plot), std::string::npos) << r.out;
    EXPECT_TRUE(hasLine(w.lines("summary.dat"), " THERMO DATA    " + deep + "thermo1988.dat  MINERALS 1988  SHA-256 "));
}

// The summary and the restart file name the data files with their digests;
// a replay with other data says so (console and summary) and goes on; a
// restart file without the records (written before them) replays as before.
TEST(Outputs, DataFilesRecordedAndCheckedOnReplay) {
    WorkDir w("provenance");
    w.write("PELKAM.fig", configFrom(w, ""));
    w.write("answers.txt", exampleAnswers());
    ASSERT_EQ(runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path).exitCode, 0);
    const auto digest = [&](const char* f) { return *core::sha256OfFile((w.path / f).string()); };
    const auto summary = w.lines("summary.dat");
    EXPECT_TRUE(hasLine(summary, " THERMO DATA    thermo1988.dat  MINERALS 1988  SHA-256 " + digest("thermo1988.dat")));
    EXPECT_TRUE(hasLine(summary, " SOLUTION DATA  models.sln  SHA-256 " + digest("models.sln")));
    EXPECT_TRUE(hasLine(summary, " AQUEOUS DATA   empty.aqu  SHA-256 " + digest("empty.aqu")));
    const auto restart = w.lines("restart.res");
    ASSERT_GE(restart.size(), 3u);
    EXPECT_EQ(restart.back(), "*** DATA FILE: AQUEOUS DATA  SHA-256 " + digest("empty.aqu") + "  empty.aqu");
    const std::string plot = w.read("plot.plt");

    // Other aqueous data: noted, and the run goes on.
    fs::rename(w.path / "restart.res", w.path / "old.res");
    w.write("empty.aqu", w.read("empty.aqu") + "\n");
    const std::string replay = "press Continue\npress Continue\nset \"Inter. Input\" = old.res\npress Next\n"
                               "screen Completion\npress Exit\n";
    w.write("answers.txt", replay);
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string note = "AQUEOUS DATA empty.aqu is not the file the replayed run read";
    EXPECT_NE(r.out.find(note), std::string::npos) << r.out;
    EXPECT_TRUE(hasLine(w.lines("summary.dat"), note));
    EXPECT_EQ(r.out.find("THERMO DATA thermo1988.dat is not"), std::string::npos);
    EXPECT_EQ(w.read("plot.plt"), plot);

    // The same replay from a restart file of the layout without data records.
    std::string old;
    for (const auto& l : w.lines("old.res"))
        if (l.rfind("*** DATA FILE: ", 0) != 0) old += l + "\n";
    w.write("old.res", old);
    r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("is not the file"), std::string::npos) << r.out;
    EXPECT_EQ(w.read("plot.plt"), plot);
}

// Temporaries left by a run that was killed while saving are removed, and
// the user is told.
TEST(Outputs, LeftoversOfAnInterruptedSaveAreRemoved) {
    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    WorkDir w("leftover");
    w.write("PELKAM.fig", configFrom(w, ""));
    w.write("answers.txt", exampleAnswers());
    const std::string leftover = ".plot.plt." + std::to_string(child) + ".8.tmp";
    w.write(leftover, "half a plot");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Removed " + leftover + ", left by a run that was interrupted"), std::string::npos) << r.out;
    EXPECT_FALSE(w.exists(leftover));
}
