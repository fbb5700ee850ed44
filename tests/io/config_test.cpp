#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/files.hpp"
#include "app/run_settings.hpp"
#include "core/text.hpp"
#include "io/config.hpp"

namespace fs = std::filesystem;
using app::RunSettings;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("pelkam_cfg_" + std::to_string(::getpid()) + "_" +
                                            std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    void write(const std::string& name, const std::string& text) const { std::ofstream(path / name) << text; }
};

RunSettings configured(const std::string& text, std::vector<std::string>* warnings = nullptr) {
    TempDir d;
    d.write("PELKAM.fig", text);
    RunSettings rs;
    EXPECT_TRUE(io::readConfiguration(rs, d.path.string(), warnings));
    return rs;
}

}  // namespace

TEST(Configuration, DefaultsWithoutFile) {
    TempDir d;
    RunSettings rs;
    rs.unitNames[io::kThermoSlot] = "something.dat";
    EXPECT_FALSE(io::readConfiguration(rs, d.path.string(), nullptr));
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], "jun92.rqt");
    EXPECT_EQ(rs.unitNames[io::kAqueousSlot], "hkf81.aqu");
    EXPECT_EQ(rs.unitNames[io::kMasterSlot], "summary.dat");
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], "plot.plt");
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "restart.res");
    EXPECT_EQ(rs.solutionFile, "solid.sln");
    EXPECT_EQ(rs.unitNames[io::kInputSlot], "CON:");
    EXPECT_EQ(rs.unitNames[io::kOutputSlot], "CON:");
    // Without a configuration the database screen offers "use the file named in it".
    auto g = app::guessDatabaseVersion(rs);
    EXPECT_EQ(g.version, 0);
    EXPECT_EQ(g.message, "version not set in PELKAM.FIG   ");
}

TEST(Configuration, EveryKeyInItsColumns) {
    RunSettings rs = configured(
        "MINERAL DATA=thermo1988.dat\n"
        "SOLUTION DATA=models.sln\n"
        "AQUEOUS DATA=aq.dat\n"
        "PLOTFILE=grid.plt\n"
        "SUMMARYFILE=grid.sum\n"
        "RESTARTFILE=grid.res\n"
        "PATH=runs/ a\n"
        "SOH STD STATE=P\n"
        "METASTABLE EQUILIBRIA?=Y\n"
        "PRINT ACTIVITIES?=Y\n"
        "ZUN-COMMENT= 2\n");
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], "thermo1988.dat");
    EXPECT_EQ(rs.solutionFile, "models.sln");
    EXPECT_EQ(rs.unitNames[io::kAqueousSlot], "aq.dat");
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], "grid.plt");
    EXPECT_EQ(rs.unitNames[io::kMasterSlot], "grid.sum");
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "grid.res");
    EXPECT_EQ(rs.path, "runs/ a                  ");
    EXPECT_EQ(rs.waterStandardState, 'P');
    EXPECT_TRUE(rs.metastableOn);
    EXPECT_TRUE(rs.printActivitiesOn);
    EXPECT_FALSE(rs.summaryOff);
}

TEST(Configuration, FirstColumnRuleAndLastValueWins) {
    RunSettings rs = configured(
        " MINERAL DATA=ignored.dat\n"
        "MINERAL DATA=first.dat\n"
        "MINERAL DATA=second.dat\n"
        "mineral data=lower.dat\n");
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], "second.dat");
}

TEST(Configuration, QuestionKeysStayOnOnceSet) {
    RunSettings rs = configured("METASTABLE EQUILIBRIA?=Y\nMETASTABLE EQUILIBRIA?=N\nPRINT ACTIVITIES?=N\n");
    EXPECT_TRUE(rs.metastableOn);
    EXPECT_EQ(rs.metastableEquilibria, 'N');
    EXPECT_FALSE(rs.printActivitiesOn);
}

TEST(Configuration, SummaryOffByTwoLeadingBlanks) {
    EXPECT_TRUE(configured("SUMMARYFILE=  \n").summaryOff);
    EXPECT_TRUE(configured("SUMMARYFILE=  x.sum\n").summaryOff);
    EXPECT_FALSE(configured("SUMMARYFILE= x.sum\n").summaryOff);
}

// Names are never cut: a long path stays whole, beyond column 80 too; a
// path prefix longer than its 25-character field is refused with a message.
TEST(Configuration, NamesKeepTheirWholeLength) {
    const std::string deep = "../../some/deeply/nested/project/directory/of/data/" + std::string(60, 'a') + ".dat";
    std::vector<std::string> warnings;
    RunSettings rs = configured("MINERAL DATA=" + deep + "\nSOLUTION DATA=" + deep + "\nPLOTFILE=" + deep +
                                    "\nPATH=" + std::string(26, 'p') + "\nPATH=runs/ " + std::string(40, 'c') + "\n",
                                &warnings);
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], deep);
    EXPECT_EQ(rs.solutionFile, deep);
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], deep);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("line 4: PATH= is longer than the 25 characters"), std::string::npos) << warnings[0];
    EXPECT_EQ(rs.path, core::pad("runs/ " + std::string(40, 'c'), 25));  // the path proper fits; the rest is a note
}

TEST(Configuration, UnusableValuesAreReportedWithFileAndLine) {
    std::vector<std::string> warnings;
    RunSettings rs = configured("MINERAL DATA=\nPLOTFILE=a\tb.plt\nRESTARTFILE=ok.res\n", &warnings);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("PELKAM.fig, line 1"), std::string::npos);
    EXPECT_NE(warnings[0].find("MINERAL DATA="), std::string::npos);
    EXPECT_NE(warnings[1].find("line 2"), std::string::npos);
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], "jun92.rqt");
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], "plot.plt");
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "ok.res");
}

TEST(Configuration, FoundWhateverTheLetterCase) {
    for (const char* name : {"PELKAM.FIG", "pelkam.fig", "Pelkam.Fig"}) {
        TempDir d;
        d.write(name, "PLOTFILE=found.plt\n");
        RunSettings rs;
        EXPECT_TRUE(io::readConfiguration(rs, d.path.string(), nullptr)) << name;
        EXPECT_EQ(rs.unitNames[io::kPlotSlot], "found.plt") << name;
    }
}

TEST(DatabaseVersion, RecognisedPairsAreCaseBlindAndNamesKept) {
    RunSettings rs;
    rs.unitNames[io::kThermoSlot] = "dec06.dat";
    rs.solutionFile = "Dec06.sln";
    auto g = app::guessDatabaseVersion(rs);
    EXPECT_EQ(g.version, 2);
    EXPECT_EQ(g.message, "set as version 2.3 in PELKAM.FIG");
    EXPECT_EQ(rs.unitNames[io::kThermoSlot], "dec06.dat");
    rs.unitNames[io::kThermoSlot] = "JUN92.RQT";
    rs.solutionFile = "jun92.sln";
    g = app::guessDatabaseVersion(rs);
    EXPECT_EQ(g.version, 1);
    EXPECT_EQ(g.message, "set as version 1 in PELKAM.FIG  ");
    rs.solutionFile = "dec06.sln";
    EXPECT_EQ(app::guessDatabaseVersion(rs).version, 0);
}

TEST(RestartClash, RenamesTheOutput) {
    RunSettings rs;
    rs.unitNames[io::kInputSlot] = "run1.res";
    rs.unitNames[io::kRestartSlot] = "run1.res";
    app::applyRestartClash(rs);
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "restart.lrs");

    rs.unitNames[io::kInputSlot] = "restart.lrs";
    rs.unitNames[io::kRestartSlot] = "restart.lrs";
    app::applyRestartClash(rs);
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "restart.2rs");

    // Checked twice: the new name is checked against the input as well.
    rs.unitNames[io::kInputSlot] = "restart.lrs";
    rs.unitNames[io::kRestartSlot] = "restart.lrs";
    app::applyRestartClash(rs);
    EXPECT_NE(rs.unitNames[io::kRestartSlot], rs.unitNames[io::kInputSlot]);
}

TEST(RestartClash, NamesDifferingInCaseOnlyDoNotClashUnlessOneFile) {
    RunSettings rs;
    rs.unitNames[io::kInputSlot] = "RESTART.RES";
    rs.unitNames[io::kRestartSlot] = "restart.res";
    app::applyRestartClash(rs);
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "restart.res");
}

TEST(RestartClash, InputFoundThroughCaseBlindLookupIsNotOverwritten) {
    TempDir d;
    d.write("restart.res", "1 DIAGRAM TYPE\n");
    RunSettings rs;
    rs.unitNames[io::kInputSlot] = (d.path / "RESTART.RES").string();
    rs.unitNames[io::kRestartSlot] = (d.path / "restart.res").string();
    app::applyRestartClash(rs);
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "restart.lrs");
}

TEST(PathRule, PrefixUpToFirstBlank) {
    RunSettings rs;
    rs.path = core::pad("work/ extra", 25);
    rs.unitNames[io::kPlotSlot] = "plot.plt";
    rs.unitNames[io::kMasterSlot] = "summary.dat";
    rs.unitNames[io::kRestartSlot] = "restart.res";
    rs.unitNames[io::kInputSlot] = "CON:";
    app::applyPath(rs, true);
    EXPECT_EQ(rs.usePath, 'Y');
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], "work/plot.plt");
    EXPECT_EQ(rs.unitNames[io::kMasterSlot], "work/summary.dat");
    EXPECT_EQ(rs.unitNames[io::kRestartSlot], "work/restart.res");
    EXPECT_EQ(rs.unitNames[io::kInputSlot], "CON:");

    RunSettings replay;
    replay.path = core::pad("dir/", 25);
    replay.unitNames[io::kInputSlot] = "old.res";
    app::applyPath(replay, true);
    EXPECT_EQ(replay.unitNames[io::kInputSlot], "dir/old.res");
}

TEST(PathRule, NotAppliedWithoutBlankOrUnchecked) {
    RunSettings rs;
    rs.path = std::string(25, 'd');
    app::applyPath(rs, true);
    EXPECT_EQ(rs.unitNames[io::kPlotSlot], "plot.plt");
    RunSettings off;
    off.path = core::pad("work/", 25);
    app::applyPath(off, false);
    EXPECT_EQ(off.usePath, 'N');
    EXPECT_EQ(off.unitNames[io::kPlotSlot], "plot.plt");
}

// A file that cannot be opened is named on the input-error screen with its
// field on the files screen and the reason, not with a unit number.
TEST(Reassign, MessageNamesTheFileAndWhy) {
    TempDir d;
    d.write("here.dat", "x\n");
    const std::string dir = d.path.string();
    struct Case {
        std::string name;
        bool reading;
        std::string reason;
    } cases[] = {
        {dir + "/nowhere.dat", true, "no such file"},
        {dir, true, "it is a directory"},
        {dir + "/here.dat", true, "it cannot be read"},  // readable: no reason of its own
        {dir + "/no/such/plot.plt", false, "no such directory: " + dir + "/no/such"},
        {dir, false, "it is a directory"},
        {"", true, "no file name given"},
    };
    for (const Case& c : cases) EXPECT_EQ(app::openFailureReason(c.name, c.reading), c.reason) << c.name;

    EXPECT_EQ(app::openErrorMessage("Mineral Data", "jun92.rqt", "no such file", " (no PELKAM.fig)"),
              "Error opening Mineral Data jun92.rqt: no such file (no PELKAM.fig)");
    // A long name gives up its front; the message fits the 90-character field.
    std::string longName = std::string(60, 'd') + "/thermo.dat";
    std::string m = app::openErrorMessage("Mineral Solution Data", longName, "no such file");
    EXPECT_LE(m.size(), 90u);
    EXPECT_EQ(m.substr(0, 39), "Error opening Mineral Solution Data ...");
    EXPECT_NE(m.find("d/thermo.dat: no such file"), std::string::npos) << m;
}
