// Whole runs of pelkam driven by answer scripts.
#include <gtest/gtest.h>

#include <algorithm>

#include "io/plot_reader.hpp"
#include "run_helpers.hpp"

using apptest::runProgram;
using apptest::WorkDir;

namespace {

const char* kToOptions =
    "press Continue\n"                 // batch question
    "press Continue\n"                 // database version
    "press Next\n"                     // files
    "radio P-T\npress Next\n";         // diagram

// The end-member screen with every phase at its defaults, and the
// solution-model screen without models.
const char* kSelection =
    "screen \"End-member selection\"\n"
    "check \"Include all endmembers in reactions\"\n"
    "check \"Use defaults (activity=1; no special options) for all endmembers\"\n"
    "press Next\n"
    "screen \"Selection of Solution Models\"\n"
    "press Next\n";

std::string contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos) return l;
    return {};
}

}  // namespace

TEST(ScriptedRun, OptionsScreenWithAnInputErrorThenCompletion) {
    WorkDir w("options");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    std::string script = std::string(kToOptions) +
                         "screen \"Global Options\"\n"
                         "set \"Row 1 min\" = 1\n"  // no decimal point: refused
                         "set \"Row 1 max\" = 10000.\n"
                         "set \"Row 2 min\" = 200.\n"
                         "set \"Row 2 max\" = 900.\n"
                         "press Next\n"
                         "screen \"Input error\"\n"
                         "press Continue\n"
                         "screen \"Global Options\"\n"
                         "set \"Row 1 min\" = 1.\n"
                         "set xH2O = 1.0\n"
                         "press Next\n" +
                         kSelection +
                         "screen Completion\n"
                         "press Exit\n";
    w.write("answers.txt", script);
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    auto summary = w.lines("summary.dat");
    ASSERT_GE(summary.size(), 8u);
    EXPECT_EQ(summary[0].substr(0, 41), " UNIT  3 (THERMO DATA)   IS ASSIGNED TO: ");
    EXPECT_EQ(summary[0].substr(41), "thermo1988.dat");
    EXPECT_EQ(summary[2], " UNIT  5 (INTER. INPUT)  IS ASSIGNED TO: CON:");
    EXPECT_EQ(summary[4], " UNIT  7 (MASTER OUTPUT) IS ASSIGNED TO: summary.dat");
    EXPECT_EQ(summary[5], " UNIT  8 (PLOT DATA)     IS ASSIGNED TO: plot.plt");
    EXPECT_EQ(summary[6], " UNIT 10 (RESTART FILE)  IS ASSIGNED TO: restart.res");
    EXPECT_EQ(summary[7], "");
    EXPECT_FALSE(contains(summary, "PHASE DIAGRAM: TEMPERATURE-PRESSURE").empty());
    EXPECT_FALSE(contains(summary, " HAAR EQUATION OF STATE USED FOR WATER").empty());
    EXPECT_FALSE(contains(summary, " MOLE FRACTIONS OF H2O-CO2 FLUID:      1.000     0.000").empty());

    auto restart = w.lines("restart.res");
    ASSERT_GE(restart.size(), 5u);
    EXPECT_EQ(restart[0], "1 DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA");
    EXPECT_EQ(restart[1], "   200.000   900.000     1.000 10000.000    20.000    20.000     0");
    EXPECT_EQ(restart[2], "       1.000       0.000");
    EXPECT_EQ(restart[3], "1          WATER ROUTINE: Haar et al. (1984)");
    EXPECT_EQ(restart[4], "Y          ONLY STABL REACT Y/N");
    EXPECT_EQ(restart[5], "O SI");
    EXPECT_EQ(restart[6].substr(0, 13), "0 0.10000D+01");
    EXPECT_FALSE(contains(summary, " *SUMMARY OF THE SYSTEM PROPERTIES*").empty());
    EXPECT_FALSE(contains(summary, "QUARTZ").empty());
}

// A T-xCO2 run at 2000 bar with Kerrick-Jacobs mixing, as answered on the
// screens (its restart file is the input of the replay tests).
std::string txRunScript() {
    return std::string(
               "press Continue\npress Continue\npress Next\n"
               "radio T-xCO2\npress Next\n"
               "screen 3\nset Elements = si\nset \"Row 1 min\" = 2000.\n"
               "set \"Row 2 min\" = 300.\nset \"Row 2 max\" = 900.\nradio \"METASTABLE REACTIONS\"\npress Next\n") +
           kSelection + "screen Completion\npress Exit\n";
}

TEST(ScriptedRun, ReplayWritesTheSameRecords) {
    WorkDir w("replay");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt", txRunScript());
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    // Kerrick-Jacobs mixing raised the lowest temperature: said on the console and in the summary.
    const std::string note = "lowest temperature raised from 300 to 350 C: the mixing rule is valid from 350 C";
    EXPECT_NE(r.out.find(note), std::string::npos) << r.out;
    EXPECT_EQ(contains(w.lines("summary.dat"), note), note);
    auto first = w.lines("restart.res");
    ASSERT_GE(first.size(), 10u);
    EXPECT_EQ(first[0], "2 DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA");
    EXPECT_EQ(first[1], "  2000.000");
    // Mixing after Kerrick and Jacobs starts the diagram at 350 C.
    EXPECT_EQ(first[2], "     0.000     1.000   350.000   900.000    20.000    20.000     0");
    EXPECT_EQ(first[3], "       0.500       0.500");
    EXPECT_EQ(first[6], "1          MIXING ROUTINE: Kerrick + Jacobs (1981)");
    EXPECT_EQ(first[7], "N          ONLY STABL REACT Y/N");
    EXPECT_EQ(first[8], "H O C  SI");
    EXPECT_FALSE(contains(first, "QUARTZ").empty());
    EXPECT_FALSE(contains(first, "Y                         USE ABBREVIATIONS").empty());
    // The calculated reaction's coefficients (16F8.1), then the data files read.
    ASSERT_GE(first.size(), 4u);
    EXPECT_NE(first[first.size() - 4].find("    -1.0"), std::string::npos);
    EXPECT_EQ(first[first.size() - 3].substr(0, 37), "*** DATA FILE: THERMO DATA   SHA-256 ");
    EXPECT_EQ(first.back().substr(0, 37), "*** DATA FILE: AQUEOUS DATA  SHA-256 ");

    // Replaying it: no screens after the files screen, the same records.
    std::filesystem::rename(w.path / "restart.res", w.path / "old.res");
    w.write("answers.txt",
            "press Continue\npress Continue\n"
            "set \"Inter. Input\" = old.res\npress Next\n"
            "screen Completion\npress Exit\n");
    r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(w.lines("restart.res"), first);
}

TEST(ScriptedRun, ReplayFileWithAWrongAnswerStops) {
    WorkDir w("badreplay");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("old.res", "9 DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA\n");
    w.write("answers.txt", "press Continue\npress Continue\nset \"Inter. Input\" = old.res\npress Next\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(" ***ERROR IN INPUT DATA, EXECUTION TERMINATED"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("old.res, line 1, field 1"), std::string::npos) << r.out;
    EXPECT_FALSE(w.exists("restart.res"));  // no half-written output
}

TEST(ScriptedRun, ReplayedWindowWithoutPhysicalSenseStops) {
    const std::string pt = "1 DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA\n";
    const std::string tx = "2 DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA\n";
    const std::string rest = "       1.000       0.000\n1          WATER ROUTINE: Haar et al. (1984)\n"
                             "Y          ONLY STABL REACT Y/N\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {pt + "  -300.000   900.000     1.000 10000.000    20.000    20.000     0\n" + rest,
         " temperature -300 C: temperatures must be above -273.15 C (old.res, line 2)"},
        {pt + "   200.000   900.000     1.000 10000.000 2000000.0    20.000     0\n" + rest,
         " plot length 2000000 does not fit the plot file: at most 999999.999 (old.res, line 2, field 5)"},
        {tx + "     0.000\n     0.000     1.000   400.000   900.000    20.000    20.000     0\n" + rest,
         " pressure 0 bar: pressures must be above 0 (old.res, line 2, field 1)"},
    };
    for (const auto& [replay, message] : cases) {
        WorkDir w("window");
        w.write("PELKAM.fig", apptest::bundledConfig(w));
        w.write("old.res", replay);
        w.write("answers.txt", "press Continue\npress Continue\nset \"Inter. Input\" = old.res\npress Next\n");
        auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.out.find(" ***ERROR IN INPUT DATA, EXECUTION TERMINATED"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    }
}

TEST(ScriptedRun, ReplayFileEndingEarlyStops) {
    WorkDir w("eofreplay");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("old.res", "1 DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA\n");
    w.write("answers.txt", "press Continue\npress Continue\nset \"Inter. Input\" = old.res\npress Next\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(" ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED"), std::string::npos) << r.out;
}

TEST(ScriptedRun, MissingDataFileAsksForReassignment) {
    WorkDir w("missing");
    w.write("PELKAM.fig", "MINERAL DATA=nowhere.dat\n");
    w.write("answers.txt",
            "press Continue\npress Continue\npress Next\nradio P-T\npress Next\n"
            "screen \"Input error\"\n"
            "press Quit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_FALSE(w.exists("summary.dat"));
}

TEST(ScriptedRun, ReassignmentThenSuccess) {
    WorkDir w("reassign");
    apptest::bundledConfig(w);
    w.write("PELKAM.fig", "MINERAL DATA=nowhere.dat\nAQUEOUS DATA=empty.aqu\nSOLUTION DATA=models.sln\n");
    w.write("answers.txt",
            std::string("press Continue\npress Continue\npress Next\nradio P-T\npress Next\n"
                        "screen \"Input error\"\npress Continue\n"
                        "screen \"Database version\"\npress Continue\n"
                        "screen \"Global Options\"\n"
                        "set \"Mineral Data\" = thermo1988.dat\n"
                        "press Next\n"
                        "screen \"Selection of Diagram Variables\"\npress Next\n"
                        "screen \"Global Options\"\npress Next\n") +
                kSelection + "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(w.exists("restart.res"));
}

TEST(ScriptedRun, ScriptThatDoesNotFitNamesScreenAndLine) {
    WorkDir w("misfit");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt", "press Continue\nset \"No Such Field\" = 1\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Database version"), std::string::npos) << r.err;
}

TEST(ScriptedRun, MissingScriptAndBadArguments) {
    WorkDir w("args");
    auto r = runProgram(PELKAM_EXE, {"--script", "nothere.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("nothere.txt"), std::string::npos);
    r = runProgram(PELKAM_EXE, {"--bogus"}, w.path);
    EXPECT_EQ(r.exitCode, 2);
    r = runProgram(PELKAM_EXE, {"--help"}, w.path);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("--script FILE"), std::string::npos);
    r = runProgram(PELKAM_EXE, {"--version"}, w.path);
    EXPECT_EQ(r.out, "pelkam 2.34\n");
    // Without a terminal and without a script the program says what to do.
    r = runProgram(PELKAM_EXE, {}, w.path);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--script"), std::string::npos);
}

TEST(ScriptedRun, UnusableConfigurationValueIsReported) {
    WorkDir w("badcfg");
    w.write("PELKAM.fig", apptest::bundledConfig(w) + "PLOTFILE=\n");
    w.write("answers.txt", std::string(kToOptions) + "press Next\n" + kSelection + "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("PELKAM.fig, line 4: PLOTFILE= names no file"), std::string::npos) << r.out;
    EXPECT_TRUE(w.exists("plot.plt"));
}

TEST(ScriptedRun, GeothermAskedOnTheConsoleAndRecorded) {
    WorkDir w("geotherm");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt",
            "press Continue\npress Continue\npress Next\nradio Act-Temp\npress Next\n"
            "screen 3\nset \"Row 1 min\" = -1.\npress Next\n"
            "answer not numbers\n"
            "answer   0.025000  0.000100\n"
            "screen \"End-member selection\"\nset X-axis = quartz\n"
            "check \"Include all endmembers in reactions\"\n"
            "check \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n"
            "screen \"Selection of Solution Models\"\npress Next\n"
            "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    auto restart = w.lines("restart.res");
    ASSERT_GE(restart.size(), 3u);
    EXPECT_EQ(restart[0], "4 DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA");
    EXPECT_EQ(restart[1], "    -1.000");
    EXPECT_EQ(restart[2], "2    0.02500   0.00010     ICRITC, dPdT, dPdT^2");
}

TEST(ScriptedRun, BatchLineReplaysItsRunAndLogs) {
    WorkDir w("batch");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt", txRunScript());
    ASSERT_EQ(runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path).exitCode, 0);
    std::filesystem::rename(w.path / "restart.res", w.path / "grid.res");
    w.write("batch.dat", ",grid.res,,,   \n");
    w.write("answers.txt", "check \"Batch Run?\"\npress Continue\nscreen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(w.exists("grid.sum"));
    EXPECT_TRUE(w.exists("grid.plt"));
    EXPECT_EQ(w.lines("grid.lrs"), w.lines("grid.res"));
    auto log = w.lines("klv.log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Calculation completed. Plot output written to grid.plt");
}

TEST(ScriptedRun, MissingBatchFileStops) {
    WorkDir w("nobatch");
    w.write("answers.txt", "check \"Batch Run?\"\npress Continue\nscreen \"Input error\"\npress Continue\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 1);
}

TEST(ScriptedRun, MalformedDatabaseStopsWithItsMessage) {
    WorkDir w("baddb");
    apptest::bundledConfig(w);
    apptest::fs::copy_file(apptest::fs::path(PELKAM_FIXTURES) / "database" / "err_unknown_symbol.dat", w.path / "bad.dat");
    w.write("PELKAM.fig", "MINERAL DATA=bad.dat\nAQUEOUS DATA=empty.aqu\nSOLUTION DATA=models.sln\n");
    w.write("answers.txt", std::string(kToOptions) + "set Elements = si al o\npress Next\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find(" ONE OF THE ELEMENTAL SYMBOLS COULD NOT BE RECOGNIZED."), std::string::npos) << r.out;
    EXPECT_FALSE(w.exists("summary.dat"));
    EXPECT_FALSE(w.exists("restart.res"));
}

TEST(ScriptedRun, ChosenReactionsFromTheSelectionScreen) {
    WorkDir w("choose");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    apptest::fs::copy_file(apptest::dataDir() / "rxtns_calib.dat", w.path / "rxtns_calib.dat");
    w.write("answers.txt",
            std::string(kToOptions) +
                "screen 3\nset Elements = k al si o h\nset \"Row 1 min\" = 1.\nset \"Row 1 max\" = 10000.\n"
                "set \"Row 2 min\" = 200.\nset \"Row 2 max\" = 900.\nset xH2O = 1.0\npress Next\n"
                "screen \"End-member selection\"\n"
                "select Phases = ANDALUSITE; KYANITE; SILLIMANITE; QUARTZ; MUSCOVITE; K-FELDSPAR; WATER\n"
                "check \"Choose specific reactions to calculate\"\n"
                "check \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n"
                "screen \"Selection of Solution Models\"\nradio None\npress Next\n"
                "screen \"REACTION SELECTION\"\nradio \"Calculate only suggested reactions\"\npress Next\n"
                "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    auto listing = w.lines("rxtns.lst");
    ASSERT_GE(listing.size(), 8u);
    EXPECT_EQ(listing[0], "    6/ 2=Total/Independent Equilibria: Select rxtns to compute (* = suggested)");
    // Every reaction of this system is calibrated: the three polymorph pairs and the
    // muscovite breakdown with each aluminosilicate (two of the group M).
    int marked = 0;
    for (std::size_t i = 2; i < listing.size(); ++i)
        if (listing[i].size() > 29 && listing[i][29] == '*') ++marked;
    EXPECT_EQ(marked, 5);
    EXPECT_NE(r.out.find("Number of Reactions Examined =    5"), std::string::npos) << r.out;
}

TEST(ScriptedRun, FluidRoutineOutsideItsRangeIsReportedOnceAndCurvesStopShort) {
    // Brucite = periclase + water with the Holland-Powell water polynomial
    // (control 327 of the options screen) on a window from 1 bar: the
    // polynomial is usable from 100 bar up.  The curve is traced down to
    // there; the console and the summary name the routine once.
    WorkDir w("hp_range");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt",
            std::string(kToOptions) +
                "screen 3\nset Elements = mg o h\nset \"Row 1 min\" = 1.\nset \"Row 1 max\" = 3000.\n"
                "set \"Row 2 min\" = 300.\nset \"Row 2 max\" = 900.\nset xH2O = 1.0\nradio 327\npress Next\n"
                "screen \"End-member selection\"\nselect Phases = BRUCITE; PERICLASE; WATER\n"
                "check \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n"
                "screen \"Selection of Solution Models\"\nradio None\npress Next\n"
                "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string note = "Holland and Powell (89) fugacity polynomial for H2O used outside its range (usable from "
                             "100 bar up), first at ";
    const std::size_t first = r.out.find(note);
    ASSERT_NE(first, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(note, first + 1), std::string::npos) << r.out;  // once
    EXPECT_NE(r.out.find("no curve is traced through such points"), std::string::npos);
    EXPECT_NE(r.out.find("Number of Reactions Plotted =    1"), std::string::npos) << r.out;
    const auto summary = w.lines("summary.dat");
    EXPECT_FALSE(contains(summary, note).empty());
    EXPECT_FALSE(contains(summary, " THIS CURVE STOPS WHERE THE ENERGIES CANNOT BE EVALUATED").empty());

    // The curve's points: from the top of the window down to just above 100 bar.
    io::PlotFileContents plot;
    ASSERT_TRUE(io::readPlotFile((w.path / "plot.plt").string(), plot).ok());
    ASSERT_FALSE(plot.curves.empty());
    double lowest = 1e9, highest = 0;
    for (const auto& p : plot.curves[0].points) {
        lowest = std::min(lowest, p.y);
        highest = std::max(highest, p.y);
    }
    EXPECT_EQ(highest, 3000.0);
    EXPECT_GE(lowest, 100.0);
    EXPECT_LT(lowest, 110.0);
}

TEST(ScriptedRun, TxCO2CurveAt150BarIsSmoothWhereWaterHasTwoRoots) {
    // Calcite + quartz = wollastonite + CO2 at 150 bar, 350-450 C, Kerrick
    // and Jacobs mixing: the curve runs down to small xCO2 where water's
    // equation has a liquid-like and a vapour-like root.  Its temperature
    // rises steadily with xCO2 (it zig-zagged when the mixture took a root
    // of the wrong branch).
    WorkDir w("tx150");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt",
            "press Continue\npress Continue\npress Next\nradio T-xCO2\npress Next\n"
            "screen 3\nset Elements = ca si\nset \"Row 1 min\" = 150.\nset \"Row 2 min\" = 350.\n"
            "set \"Row 2 max\" = 450.\nset xCO2 = 0.0\nset \"xCO2 max\" = 1.0\nradio \"Nonideal (KJ, 1981)\"\n"
            "radio \"Haar et al. (1984)\"\nradio \"Kovan & Tessel (1991)\"\npress Next\n"
            "screen \"End-member selection\"\nselect Phases = CALCITE; QUARTZ; WOLLASTONITE; WATER; CARBON DIOXIDE\n"
            "check \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n"
            "screen \"Selection of Solution Models\"\nradio None\npress Next\nscreen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("outside its range"), std::string::npos) << r.out;
    io::PlotFileContents plot;
    ASSERT_TRUE(io::readPlotFile((w.path / "plot.plt").string(), plot).ok());
    ASSERT_FALSE(plot.curves.empty());
    auto points = plot.curves[0].points;
    ASSERT_GE(points.size(), 10u);
    // One stretch.
    EXPECT_EQ(std::count_if(points.begin(), points.end(), [](const auto& p) { return p.flag == calc::kNewStretch; }), 1);
    std::sort(points.begin(), points.end(), [](const auto& a, const auto& b) { return a.x < b.x; });
    EXPECT_LT(points.front().x, 0.05);  // down into the two-root region
    for (std::size_t i = 1; i < points.size(); ++i)
        EXPECT_GE(points[i].y, points[i - 1].y - 1e-9) << "xCO2 " << points[i].x << " T " << points[i].y;
}
