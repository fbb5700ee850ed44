// Mistakes that do not cost the whole run: an interactive (here: scripted)
// run goes back to the screen where a mistake is put right; replayed runs
// stop; a batch logs a line it cannot run and goes on.
#include <gtest/gtest.h>

#include "run_helpers.hpp"

using apptest::runProgram;
using apptest::WorkDir;
namespace fs = apptest::fs;

namespace {

// The screens of a P-T run of quartz and the aluminosilicates: the batch
// question, `beforeOptions` (database, files and diagram screens), the
// options screen with `elements`, `afterOptions`, and the rest.
std::string ptScript(const std::string& elements, const std::string& afterOptions = {},
                     const std::string& beforeOptions = "press Continue\npress Next\nradio P-T\npress Next\n") {
    return "press Continue\n" + beforeOptions +
           "screen 3\nset Elements = " + elements + "\nset \"Row 1 min\" = 1000.\npress Next\n" + afterOptions +
           "screen \"End-member selection\"\nselect Phases = QUARTZ; KYANITE; ANDALUSITE; SILLIMANITE\n"
           "check \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n"
           "screen \"Selection of Solution Models\"\nradio None\npress Next\n"
           "screen Completion\npress Exit\n";
}

const std::string kCorrected = "screen \"Input error\"\npress Continue\nscreen 3\nset Elements = si al o\npress Next\n";

// The restart file of the same run without the mistake.
std::vector<std::string> cleanRestart() {
    WorkDir w("clean");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt", ptScript("si al o"));
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return w.lines("restart.res");
}

}  // namespace

// Elements the database cannot use: the options screen again, with what was
// typed; once corrected the run is the run without the mistake.  A script
// that does not answer the input-error screen stops there, saying why, and
// leaves no output behind.
TEST(Mistakes, ElementsAreTypedAgainOnTheOptionsScreen) {
    const std::vector<std::string> clean = cleanRestart();
    ASSERT_FALSE(clean.empty());
    struct Case {
        const char* elements;
        const char* console;  // the data-error block on the console
        const char* screen;   // the input-error screen
    } cases[] = {
        {"si al o xx", " ONE OF THE ELEMENTAL SYMBOLS COULD NOT BE RECOGNIZED.",
         "Error in the element line: element symbol not recognised: \"XX\" - try again"},
        {"ar", " FEWER THAN TWO PHASES OF THE DATA BASE CONTAIN ONLY THE CHOSEN ELEMENTS.",
         "Fewer than two phases of the database contain only the chosen elements - try again"},
        {"si al o na k mg fe ca ti mn c h f cl p cr", " YOU CHOSE  16 ELEMENTS BUT THE PROGRAM IS",
         "Too many elements in the chemical system - try again"},
    };
    for (const Case& c : cases) {
        WorkDir w("elements");
        w.write("PELKAM.fig", apptest::bundledConfig(w));
        w.write("answers.txt", ptScript(c.elements, kCorrected));
        auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
        ASSERT_EQ(r.exitCode, 0) << c.elements << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find(c.console), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.screen), std::string::npos) << r.out;
        EXPECT_EQ(w.lines("restart.res"), clean) << c.elements;

        w.write("answers.txt", ptScript(c.elements));
        for (const char* name : {"restart.res", "summary.dat", "plot.plt"}) fs::remove(w.path / name);
        r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("says: " + std::string(c.screen)), std::string::npos) << r.err;
        EXPECT_FALSE(w.exists("restart.res"));
        EXPECT_FALSE(w.exists("summary.dat"));
        EXPECT_FALSE(w.exists("plot.plt"));
    }
}

// The same element line replayed from a restart file stops the run.
TEST(Mistakes, ReplayedUnknownElementStops) {
    WorkDir w("replayelement");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    std::vector<std::string> clean = cleanRestart();
    std::string text;
    for (const std::string& l : clean) text += (l == "SI AL O" ? std::string("SI AL O XX") : l) + "\n";
    w.write("old.res", text);
    w.write("answers.txt", "press Continue\npress Continue\nset \"Inter. Input\" = old.res\npress Next\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find(" ONE OF THE ELEMENTAL SYMBOLS COULD NOT BE RECOGNIZED."), std::string::npos) << r.out;
    EXPECT_FALSE(w.exists("restart.res"));
}

// Data files that cannot be opened are named with the reason, and Continue
// leads back to the files: a missing solution file is named again there; a
// database version whose files are missing gives way to the configured names.
TEST(Mistakes, FilesThatCannotBeOpenedAreNamedAgain) {
    const std::vector<std::string> clean = cleanRestart();
    const std::string again = "screen \"Input error\"\npress Continue\nscreen \"Database version\"\n";
    struct Case {
        const char* config;
        const char* firstScreens;
        const char* message;
    } cases[] = {
        {"SOLUTION DATA=none.sln\n",
         "press Continue\npress Next\nradio P-T\npress Next\n"
         "screen \"Input error\"\npress Continue\nscreen \"Database version\"\npress Continue\n"
         "screen 1\nset \"Mineral Solution Data\" = models.sln\npress Next\nscreen 2\npress Next\n",
         " Error opening Mineral Solution Data none.sln: no such file"},
        {"",
         "radio \"KLV  v. 1 (1994 database)\"\npress Continue\npress Next\nradio P-T\npress Next\n"
         "screen \"Input error\"\npress Continue\n"
         "screen \"Database version\"\nradio \"Use database from the file pelkam.fig\"\npress Continue\n"
         "screen 1\npress Next\nscreen 2\npress Next\n",
         " Error opening Mineral Data JUN92.RQT: no such file"},
    };
    for (const Case& c : cases) {
        WorkDir w("files");
        w.write("PELKAM.fig", apptest::bundledConfig(w) + c.config);
        w.write("answers.txt", ptScript("si al o", {}, c.firstScreens));
        auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_EQ(w.lines("restart.res"), clean);
    }
}

// Without PELKAM.fig the run says so, and the missing database is named.
TEST(Mistakes, MissingConfigurationAndDatabaseAreNamed) {
    WorkDir w("noconfig");
    w.write("answers.txt", "press Continue\npress Continue\npress Next\nradio P-T\npress Next\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.out.find("No PELKAM.fig in the working directory"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("says: Error opening Mineral Data jun92.rqt: no such file (no PELKAM.fig)"),
              std::string::npos)
        << r.err;
}

// A batch line whose replay file is truncated, a line without a run name and
// a line whose composition list is missing are logged by their line numbers
// in batch.dat (blank lines counted, as in the plot-file names); the good line
// between them is calculated, no screen stops the batch, and the run ends
// with status 1 saying that lines were skipped.
TEST(Mistakes, BatchLogsBadLinesAndGoesOn) {
    WorkDir w("batchlines");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt", ptScript("si al o"));
    ASSERT_EQ(runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path).exitCode, 0);
    const std::vector<std::string> good = w.lines("restart.res");
    fs::rename(w.path / "restart.res", w.path / "good.res");
    std::string truncated;
    for (std::size_t i = 0; i < 4; ++i) truncated += good[i] + "\n";
    w.write("cut.res", truncated);
    w.write("list.txt", "garnet.zun\n");
    w.write("batch.dat", ",cut.res,,,   \n\n,good.res,,,list.txt   \n , , , ,   \n,good.res,,,nolist.txt   \n");
    w.write("answers.txt", "check \"Batch Run?\"\npress Continue\nscreen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("*  3 lines could not be run: see KLV.LOG *"), std::string::npos) << r.out;
    auto log = w.lines("klv.log");
    ASSERT_EQ(log.size(), 4u) << r.out;
    EXPECT_EQ(log[0].rfind(" Batch line 1: end of file in input data", 0), 0u) << log[0];
    EXPECT_NE(log[0].find("(cut.res)"), std::string::npos) << log[0];
    EXPECT_EQ(log[1], "Calculation completed. Plot output written to garnet.p3");  // line 3 of batch.dat
    EXPECT_EQ(log[2], " Batch line 4 names no run (field 2 is blank); line skipped");
    EXPECT_EQ(log[3], " Cannot open file with names of composition files nolist.txt");
    EXPECT_EQ(w.lines("good.lrs"), good);
    for (const char* name : {"cut.sum", "cut.plt", "cut.lrs"}) EXPECT_FALSE(w.exists(name)) << name;
}

// A fluid phase chosen with none of it in the fluid: the mole fractions are
// put right on the options screen, then the phases are chosen again.
TEST(Mistakes, FluidWithoutFluidGoesBackToTheOptionsScreen) {
    WorkDir w("fluid");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    const std::string phases =
        "screen \"End-member selection\"\nselect Phases = QUARTZ; KYANITE; ANDALUSITE; SILLIMANITE; MUSCOVITE; "
        "K-FELDSPAR; WATER\ncheck \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n";
    w.write("answers.txt",
            "press Continue\npress Continue\npress Next\nradio P-T\npress Next\n"
            "screen 3\nset Elements = k al si o h\nset \"Row 1 min\" = 1000.\nset xH2O = 0.0\nset xCO2 = 0.0\npress Next\n" +
                phases +
                "screen \"Input error\"\npress Continue\nscreen 3\nset xH2O = 1.0\npress Next\n" + phases +
                "screen \"Selection of Solution Models\"\nradio None\npress Next\nscreen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("xH2O is 0: leave out WATER or give xH2O on the options screen"), std::string::npos)
        << r.out;
    EXPECT_TRUE(w.exists("plot.plt"));
    bool water = false;
    for (const std::string& l : w.lines("restart.res")) water = water || l.rfind("       1.000       0.000", 0) == 0;
    EXPECT_TRUE(water) << "the restart file records the corrected fluid";
}

// The files screen shown again after a mistake shows the names as typed: the
// path prefix, which the screen adds, is not added twice.
TEST(Mistakes, PathPrefixIsAddedOnceAfterAMistake) {
    WorkDir w("path");
    fs::create_directories(w.path / "out");
    w.write("PELKAM.fig", apptest::bundledConfig(w) + "SOLUTION DATA=none.sln\n");
    w.write("answers.txt",
            ptScript("si al o", {},
                     "press Continue\nscreen 1\ncheck \"Use path?\"\nset Path = out/\npress Next\nradio P-T\npress Next\n"
                     "screen \"Input error\"\npress Continue\nscreen \"Database version\"\npress Continue\n"
                     "screen 1\nset \"Mineral Solution Data\" = models.sln\npress Next\nscreen 2\npress Next\n"));
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(w.exists("out/plot.plt"));
    EXPECT_FALSE(fs::exists(w.path / "out" / "out"));
}
