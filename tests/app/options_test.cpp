#include <gtest/gtest.h>

#include <vector>

#include "app/options.hpp"
#include "app/run.hpp"
#include "app/run_settings.hpp"
#include "calc/trace.hpp"
#include "io/plot_writer.hpp"

using app::RunSettings;
using app::OptionEntries;

namespace {

std::string check(int type, OptionEntries e, RunSettings* out = nullptr) {
    RunSettings rs;
    std::string m = app::checkEntries(type, std::move(e), rs);
    if (out) *out = rs;
    return m;
}

OptionEntries pt(std::array<const char*, 4> ranges, const char* h2o = "0.000", const char* co2 = "0.000") {
    OptionEntries e = app::initialEntries(calc::kPT, false);
    for (int i = 0; i < 4; ++i) e.ranges[static_cast<std::size_t>(i)] = ranges[static_cast<std::size_t>(i)];
    e.moles[0] = h2o;
    e.moles[2] = co2;
    return e;
}

}  // namespace

TEST(OptionChecks, InitialEntriesPass) {
    for (int t : {0, 1, 2, 4, 5, 6}) {
        RunSettings rs;
        EXPECT_EQ(check(t, app::initialEntries(t, false), &rs), "") << "type " << t;
    }
}

TEST(OptionChecks, InitialValuesByDiagramType) {
    RunSettings rs;
    ASSERT_EQ(check(calc::kPT, app::initialEntries(calc::kPT, false), &rs), "");
    EXPECT_EQ(rs.pMin, 500);
    EXPECT_EQ(rs.pMax, 10000);
    EXPECT_EQ(rs.tMin, 100);
    EXPECT_EQ(rs.tMax, 1300);
    EXPECT_EQ(rs.plotCurves, 'Y');
    ASSERT_EQ(check(calc::kPX, app::initialEntries(calc::kPX, false), &rs), "");
    EXPECT_EQ(rs.tMin, 500);
    EXPECT_EQ(rs.pMin, 1000);
    EXPECT_EQ(rs.pMax, 10000);
    EXPECT_DOUBLE_EQ(rs.xCO2, 0.5);
    EXPECT_DOUBLE_EQ(rs.xH2O, 0.5);
    EXPECT_EQ(app::initialEntries(calc::kTX, false).elements, "o h c ");
    EXPECT_EQ(app::initialEntries(calc::kPT, false).elements, "o si ");
    EXPECT_EQ(app::initialEntries(calc::kPT, true).plotCurves, 'N');
}

TEST(OptionChecks, MessagesInTheirOrder) {
    // The decimal point of the ranges is checked before their values.
    EXPECT_EQ(check(0, pt({"5000", "x", "100.", "1300."})), "missing decimal point in P-T values - try again");
    EXPECT_EQ(check(0, pt({"5000.", "1.2.3", "100.", "1300."})), "invalid real # - try again");
    EXPECT_EQ(check(0, pt({"5000.", "100.", "100.", "1300."})), "min & max reversed - try again");
    EXPECT_EQ(check(0, pt({"500.", "5000.", "800.", "300."})), "min & max reversed - try again");
    // Ranges are checked before the mole fractions.
    EXPECT_EQ(check(0, pt({"500.", "100.", "100.", "1300."}, "1", "0.")), "min & max reversed - try again");
    EXPECT_EQ(check(0, pt({"500.", "5000.", "100.", "1300."}, "1", "0.")),
              "missing decimal point in mole fractions-try again");
    EXPECT_EQ(check(0, pt({"500.", "5000.", "100.", "1300."}, "0.a", "0.")), "invalid real # - try again");
    EXPECT_EQ(check(0, pt({"500.", "5000.", "100.", "1300."}, "0.6", "0.5")), "Sum of xH2O+xCO2 > 1 - try again");
    EXPECT_EQ(check(0, pt({"500.", "5000.", "100.", "1300."}, "0.5", "0.5")), "");
}

TEST(OptionChecks, PressureWithoutPointIsRefused) {
    EXPECT_EQ(check(0, pt({"5000", "10000.", "100.", "1300."})), "missing decimal point in P-T values - try again");
    EXPECT_EQ(check(0, pt({"5000.", "10000.", "100.", "1300."})), "");
}

TEST(OptionChecks, LowerLimitsRaised) {
    RunSettings rs;
    ASSERT_EQ(check(0, pt({"0.", "5000.", "0.", "1300."}), &rs), "");
    EXPECT_EQ(rs.pMin, 1);
    EXPECT_EQ(rs.tMin, 25);
}

TEST(OptionChecks, XCo2AxisReversed) {
    OptionEntries e = app::initialEntries(calc::kTX, false);
    e.moles[2] = "0.8";
    e.moles[3] = "0.2";
    EXPECT_EQ(check(calc::kTX, e), "min & max reversed - try again");
}

TEST(OptionChecks, MoleFractionsOutsideZeroToOne) {
    EXPECT_EQ(check(0, pt({"500.", "5000.", "100.", "1300."}, "-0.1", "0.")),
              "mole fractions must lie between 0 and 1 - try again");
}

TEST(OptionChecks, ReversedActivityAxes) {
    OptionEntries e = app::initialEntries(calc::kActAct, false);
    e.ranges[6] = "5.";
    e.ranges[7] = "-5.";
    EXPECT_EQ(check(calc::kActAct, e), "min & max reversed - try again");
    e = app::initialEntries(calc::kActAct, false);
    e.ranges[4] = "5.";
    e.ranges[5] = "-5.";
    EXPECT_EQ(check(calc::kActAct, e), "min & max reversed - try again");
    e = app::initialEntries(calc::kActP, false);
    e.ranges[2] = "900.";
    e.ranges[3] = "100.";
    EXPECT_EQ(check(calc::kActP, e), "min & max reversed - try again");
}

TEST(OptionChecks, SaturationAndGeothermChoices) {
    RunSettings rs;
    OptionEntries e = app::initialEntries(calc::kActT, false);
    e.ranges[0] = "0.";
    ASSERT_EQ(check(calc::kActT, e, &rs), "");
    EXPECT_EQ(rs.saturationChoice, 1);
    e.ranges[0] = "-1.";
    ASSERT_EQ(check(calc::kActT, e, &rs), "");
    EXPECT_EQ(rs.saturationChoice, 2);
    e.ranges[0] = "300.";
    ASSERT_EQ(check(calc::kActT, e, &rs), "");
    EXPECT_EQ(rs.saturationChoice, 0);
    EXPECT_EQ(rs.pMin, 300);
}

// Windows without physical sense, and windows the plot file cannot hold, are
// refused; fixed values are taken as typed, minimums are raised as before.
TEST(OptionChecks, WindowsThatMakeNoSenseOrDoNotFitThePlotFile) {
    struct Case {
        int type;
        std::vector<std::pair<int, const char*>> ranges;  // field index, text
        const char* message;
    };
    using calc::kActAct, calc::kActP, calc::kActT, calc::kPT, calc::kPX, calc::kTX;
    const std::vector<Case> cases = {
        {kTX, {{0, "0."}}, "pressure 0 bar: pressures must be above 0 - try again"},
        {kTX, {{0, "-5."}}, "pressure -5 bar: pressures must be above 0 - try again"},
        {kTX, {{0, "0.5"}}, ""},  // raised to 1 bar
        {kTX, {{0, "2000000."}}, "pressure 2000000 does not fit the axis label: at most 999999 - try again"},
        {kPX, {{0, "-300."}}, "temperature -300 C: temperatures must be above -273.15 C - try again"},
        {kPX, {{0, "-273.15"}}, "temperature -273.15 C: temperatures must be above -273.15 C - try again"},
        {kActT, {{0, "-5."}}, "pressure -5 bar: pressures must be above 0 - try again"},
        {kActT, {{0, "0."}}, ""},   // along the water saturation curve
        {kActP, {{0, "-1."}}, ""},  // along a geotherm
        {kActP, {{0, "-500."}}, "temperature -500 C: temperatures must be above -273.15 C - try again"},
        {kActAct, {{2, "-274."}}, "temperature -274 C: temperatures must be above -273.15 C - try again"},
        {kPT, {{0, "-500."}}, ""},  // a minimum below 1 bar is raised to 1
        {kPT, {{3, "12000."}}, "temperature 12000 does not fit the plot file: at most 9999.9999 - try again"},
        {kPT, {{1, "2000000."}}, "pressure 2000000 does not fit the plot file: at most 999999.999 - try again"},
        {kPT, {{1, "999999.999"}}, ""},
        {kTX, {{3, "9999.9999"}}, ""},
        {kActT, {{4, "-5000."}}, "log activity -5000 does not fit the plot file: at least -999.9999 - try again"},
        {kActAct, {{7, "20000."}}, "log activity 20000 does not fit the plot file: at most 9999.99999 - try again"},
        {kActAct, {{6, "-999.99999"}}, ""},
        // The summary lists activity-T and activity-P points with the
        // pressure in F7.2 (activity-T) or F10.5 (activity-P).
        {kActT, {{0, "12000."}}, "pressure 12000 does not fit the summary: at most 9999.99 - try again"},
        {kActP, {{3, "12000."}}, "pressure 12000 does not fit the summary: at most 9999.99999 - try again"},
        {kActP, {{3, "9000."}}, ""},
    };
    for (const Case& c : cases) {
        OptionEntries e = app::initialEntries(c.type, false);
        std::string what = "type " + std::to_string(c.type);
        for (const auto& [field, text] : c.ranges) {
            e.ranges[static_cast<std::size_t>(field)] = text;
            what += std::string(", field ") + std::to_string(field) + " = " + text;
        }
        const std::string message = check(c.type, e);
        EXPECT_EQ(message, c.message) << what;
        EXPECT_LE(message.size(), 90u) << what;  // the width of the input-error screen's message
    }
}

TEST(OptionChecks, ReplayedWindowsAreCheckedToo) {
    RunSettings rs;
    rs.diagramType = calc::kPT;
    rs.tMin = -300, rs.tMax = 800, rs.pMin = 1, rs.pMax = 5000;
    EXPECT_EQ(app::windowProblem(rs), "temperature -300 C: temperatures must be above -273.15 C");
    rs.tMin = 25, rs.pMin = 0;
    EXPECT_EQ(app::windowProblem(rs), "pressure 0 bar: pressures must be above 0");
    rs.pMin = 1;
    EXPECT_EQ(app::windowProblem(rs), "");
    rs.diagramType = calc::kTX;
    rs.xAxisMin = 0, rs.xAxisMax = 1.5;
    EXPECT_EQ(app::windowProblem(rs), "mole fractions must lie between 0 and 1");
}

TEST(OptionChecks, MixingRuleNote) {
    EXPECT_EQ(app::mixingRuleNote(300, 350),
              "lowest temperature raised from 300 to 350 C: the mixing rule is valid from 350 C");
    EXPECT_EQ(app::mixingRuleNote(312.5, 350),
              "lowest temperature raised from 312.5 to 350 C: the mixing rule is valid from 350 C");
    EXPECT_EQ(app::mixingRuleNote(400, 400), "");
}

TEST(OptionChecks, SaturationConfinesTheRange) {
    RunSettings rs;
    rs.diagramType = calc::kActT;
    rs.saturationChoice = 1;
    rs.tMin = 25;
    rs.tMax = 400;
    app::confineToSaturation(rs);
    EXPECT_EQ(rs.tMin, 100);
    EXPECT_EQ(rs.tMax, 375);
    rs.diagramType = calc::kActP;
    rs.pMin = 0.5;
    rs.pMax = 1000;
    app::confineToSaturation(rs);
    EXPECT_EQ(rs.pMin, 1);
    EXPECT_EQ(rs.pMax, 220);
}

TEST(OptionChecks, GeothermLine) {
    double d1 = 0, d2 = 0;
    EXPECT_TRUE(app::parseGeotherm("  0.025000  0.000100", d1, d2));
    EXPECT_DOUBLE_EQ(d1, 0.025);
    EXPECT_DOUBLE_EQ(d2, 0.0001);
    EXPECT_FALSE(app::parseGeotherm("abc", d1, d2));
    EXPECT_FALSE(app::parseGeotherm("", d1, d2));
}

TEST(Completion, LinesAndDxfName) {
    RunSettings rs;
    rs.unitNames[io::kMasterSlot] = "summary.dat";
    rs.unitNames[io::kPlotSlot] = "run.plt";
    rs.reactionsExamined = 12;
    rs.reactionsCalculated = 7;
    rs.reactionsPlotted = 5;
    auto l = app::completionLines(rs);
    EXPECT_EQ(l[0], "Tabular Output : summary.dat");
    EXPECT_EQ(l[1], "Plot Output : run.plt");
    EXPECT_EQ(l[2], "DXF Output : run.dxf  SVG: run.svg");
    EXPECT_EQ(l[3], "Number of Reactions Examined =   12");
    EXPECT_EQ(l[4], "Number of Reactions Calculated =    7");
    EXPECT_EQ(l[5], "Number of Reactions Plotted =    5");
    EXPECT_EQ(app::dxfName("plotfile  with blanks"), "plotfile.dxf");
    EXPECT_EQ(app::dxfName("noext"), "noext.dxf");
    // The cut looks at the file's own name, not at its directories.
    EXPECT_EQ(app::dxfName("../runs/a.b/grid.plt"), "../runs/a.b/grid.dxf");
    EXPECT_EQ(app::svgName("./grid.plt"), "./grid.svg");
    rs.batchMode = 'Y';
    l = app::completionLines(rs);
    EXPECT_EQ(l[0], "** BATCH RUN COMPLETED **");
    EXPECT_EQ(l[1], "*  KLV.LOG lists the calculated plot files *");
    EXPECT_EQ(l[2], "");
    for (const auto& line : l) EXPECT_LE(line.size(), 45u);
}

TEST(AxisLabels, FixedValueWithoutLeadingBlanks) {
    RunSettings rs;
    rs.diagramType = calc::kTX;
    rs.pMin = rs.pMax = 2000;
    auto l = io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText);
    EXPECT_EQ(l.x, "Mole fraction CO2 2000 bar ");
    EXPECT_EQ(l.y, "Temperature (C)            ");
    rs.diagramType = calc::kPX;
    rs.tMin = rs.tMax = 500;
    EXPECT_EQ(io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText).x, "Mole fraction CO2 500 C    ");
    EXPECT_EQ(io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText).x.size(), 27u);
    // Activity axes keep their length; the fixed condition names the curve followed.
    rs.diagramType = calc::kActT;
    rs.xAxisText = "ALMANDINE/PYROPE^2";
    rs.pMin = 300;
    rs.saturationChoice = 0;
    EXPECT_EQ(io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText).x, " Log a(ALMANDINE/PYROPE^2) : 300 bar");
    EXPECT_EQ(io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText).y, "Temperature (C)");
    rs.saturationChoice = 1;
    EXPECT_EQ(io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText).x, " Log a(ALMANDINE/PYROPE^2) : P(sat)");
    rs.diagramType = calc::kActP;
    rs.saturationChoice = 2;
    EXPECT_EQ(io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText).x, " Log a(ALMANDINE/PYROPE^2) : T(geo) ");
    EXPECT_EQ(io::headerAxisLabels(rs, rs.xAxisText, rs.yAxisText).y, "Pressure (bars)");
}

TEST(Tolerances, RangeOverThousandCappedAtOne) {
    RunSettings rs;
    rs.diagramType = calc::kPT;
    rs.tMin = 200, rs.tMax = 900, rs.pMin = 1, rs.pMax = 10000;
    const calc::TraceSettings t = calc::traceSettingsFor(rs);
    EXPECT_DOUBLE_EQ(t.xTolerance, 0.7);
    EXPECT_DOUBLE_EQ(t.yTolerance, 1.0);
}
