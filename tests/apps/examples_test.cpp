// The worked examples, run end to end: counts, the plot file read back,
// every stored curve point re-evaluated independently of the tracer, the
// aluminosilicate triple point, and stable against metastable runs.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "common/bundled_db.hpp"
#include "common/dxf_reader.hpp"
#include "common/evaluation_context.hpp"
#include "core/checksum.hpp"
#include "core/text.hpp"
#include "io/composition_file.hpp"
#include "io/database.hpp"
#include "io/plot_reader.hpp"
#include "io/provenance.hpp"
#include "io/sln_format.hpp"
#include "io/streams.hpp"
#include "model/activity.hpp"
#include "model/gibbs.hpp"
#include "run_helpers.hpp"

using apptest::fs::path;
using apptest::runProgram;
using apptest::WorkDir;

namespace {

struct ExampleRun {
    apptest::RunResult result;
    io::PlotFileContents plot;
    std::vector<std::string> summary, restart;     // restart: without the data-file records
    std::vector<std::string> dataFiles;             // the data-file records closing the restart file
    std::vector<std::string> selected;              // phase names of the run, in table order
    std::vector<std::vector<double>> plottedRows;   // coefficients of each plotted reaction
    long examined = -1, calculated = -1, plotted = -1;
};

long countAfter(const std::string& out, const std::string& label) {
    std::size_t at = out.find(label);
    return at == std::string::npos ? -1 : std::stol(out.substr(at + label.size()));
}

// Runs examples/<name> in a fresh directory; `edit` may change its answers.
ExampleRun runExample(WorkDir& w, const std::string& name, const std::string& from = "", const std::string& to = "") {
    const path root(PELKAM_SOURCE_DIR);
    apptest::fs::copy(root / "examples" / name, w.path,
                      apptest::fs::copy_options::recursive | apptest::fs::copy_options::overwrite_existing);
    apptest::fs::copy_file(root / "data" / "rxtns_calib.dat", w.path / "rxtns_calib.dat");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    if (!from.empty()) {
        std::string a = w.read("answers.txt");
        std::size_t at = a.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) a.replace(at, from.size(), to);
        w.write("answers.txt", a);
    }
    ExampleRun run;
    run.result = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(run.result.exitCode, 0) << run.result.out << run.result.err;
    run.examined = countAfter(run.result.out, "Number of Reactions Examined =");
    run.calculated = countAfter(run.result.out, "Number of Reactions Calculated =");
    run.plotted = countAfter(run.result.out, "Number of Reactions Plotted =");
    core::Status s = io::readPlotFile((w.path / "plot.plt").string(), run.plot);
    EXPECT_TRUE(s.ok()) << s.describe();
    run.summary = w.lines("summary.dat");
    run.restart = w.lines("restart.res");

    // The restart file: the per-phase records (code, activity, name) give the
    // phases of the run (code 1 excluded, code 4 moved behind the others);
    // after the label-style record come the rows of the plotted reactions,
    // then the records of the data files read.
    while (!run.restart.empty() && io::isProvenanceRecord(run.restart.back())) {
        run.dataFiles.insert(run.dataFiles.begin(), run.restart.back());
        run.restart.pop_back();
    }
    std::regex phaseRecord(R"(^([0-5])[ 0-9.D+-]{12}     (.+)$)");
    std::vector<std::string> main, test;
    std::size_t rowsFrom = 0;
    for (std::size_t i = 0; i < run.restart.size(); ++i) {
        const std::string& l = run.restart[i];
        std::smatch m;
        if (std::regex_match(l, m, phaseRecord)) {
            if (m[1] == "4") test.push_back(m[2]);
            else if (m[1] != "1") main.push_back(m[2]);
        }
        if (l.find("USE ABBREVIATIONS") != std::string::npos || l.find("USE FULL NAMES") != std::string::npos)
            rowsFrom = i + 1;
    }
    run.selected = main;
    run.selected.insert(run.selected.end(), test.begin(), test.end());
    const std::size_t n = run.selected.size(), linesPerRow = (n + 15) / 16;
    EXPECT_GT(n, 0u) << "no phase records in the restart file";
    if (n == 0 || rowsFrom == 0) return run;
    for (std::size_t i = rowsFrom; i + linesPerRow <= run.restart.size(); i += linesPerRow) {
        std::vector<double> row;
        for (std::size_t k = 0; k < linesPerRow; ++k) {
            const std::string& l = run.restart[i + k];
            for (std::size_t c = 0; c + 8 <= l.size() + 8 && row.size() < n && c < l.size(); c += 8)
                row.push_back(std::stod(l.substr(c, 8)));
        }
        while (row.size() < n) row.push_back(0.0);
        run.plottedRows.push_back(row);
    }
    return run;
}

// The bundled database loaded independently of the run, for the elements
// of an example.
using Phases = testsupport::BundledDatabase;
std::unique_ptr<Phases> load(const std::string& elements, int waterRoutine, int diagramType) {
    auto p = std::make_unique<Phases>(testsupport::loadBundled(elements, waterRoutine, diagramType));
    EXPECT_TRUE(p->ok) << p->messages;
    return p;
}

int indexOf(const model::PhaseTable& t, const std::string& name) { return testsupport::phaseIndex(t, name); }

// Every point of every plotted curve (the water curve aside) lies on its
// reaction: |dG| below ten times the Gibbs-energy tolerance, evaluated with
// ReactionGibbs on a fresh context, allowing for the rounding of the plot
// file's columns (F9.4 for x, F10.2 for y: at a few bar the water term
// alone moves by tens of joules per 0.01 bar).  Points on the switch of
// quartz to the beta-quartz rule are exempt: ReactionGibbs steps there (by
// up to ~100 J at 12 kbar), so the curve crosses the step; for them the
// sign of dG must change across the switch.  `setPoint` maps (x, y) to
// the point.
template <class SetPoint>
void expectPointsOnCurves(const ExampleRun& run, const Phases& db, model::FluidModelChoice fluid,
                             SetPoint setPoint, const model::SolutionModelSet* models = nullptr) {
    std::vector<const io::PlotCurveRecord*> curves;
    for (const auto& c : run.plot.curves)
        if (!c.waterCurve) curves.push_back(&c);
    ASSERT_EQ(curves.size(), run.plottedRows.size());
    std::size_t checked = 0, onSwitch = 0;
    for (std::size_t k = 0; k < curves.size(); ++k) {
        std::array<double, model::kMaxPhases> coef{};
        bool quartz = false;
        for (std::size_t i = 0; i < run.selected.size(); ++i) {
            int j = indexOf((*db.table), run.selected[i]);
            ASSERT_GE(j, 0) << run.selected[i];
            coef[static_cast<std::size_t>(j)] = run.plottedRows[k][i];
            if ((*db.table)[j].isQuartz && std::fabs(run.plottedRows[k][i]) > 0.001) quartz = true;
        }
        model::ReactionTerms terms;
        model::makeReactionTerms((*db.table), coef.data(), terms);
        testsupport::EvaluationContext g;
        g.table = &(*db.table);
        g.reaction = &terms;
        g.models = models;
        g.point.fluid = fluid;
        auto dG = [&](double x, double y) {
            setPoint(g.point, x, y);
            return model::ReactionGibbs(g, g.point, *g.reaction);
        };
        for (const calc::CurvePoint& p : curves[k]->points) {
            const double here = dG(p.x, p.y);
            const double dx = (dG(p.x + 1e-3, p.y) - dG(p.x - 1e-3, p.y)) / 2e-3;
            const double dy = (dG(p.x, p.y + 1e-2) - dG(p.x, p.y - 1e-2)) / 2e-2;
            const double tolerance = 10 * 0.10000000149011612 + std::fabs(dx) * 5e-5 + std::fabs(dy) * 5e-3;
            setPoint(g.point, p.x, p.y);
            const double TK = g.point.t + 273.15, switchK = 848 + 0.023742999881505966 * (g.point.P - 1);
            if (quartz && std::fabs(TK - switchK) < 2e-3) {
                ++onSwitch;
                setPoint(g.point, p.x, p.y);
                g.point.t = switchK - 273.15 - 1e-3;
                const double below = model::ReactionGibbs(g, g.point, *g.reaction);
                g.point.t = switchK - 273.15 + 1e-3;
                const double above = model::ReactionGibbs(g, g.point, *g.reaction);
                EXPECT_LE(below * above, 0.0) << "curve " << k + 1 << " on the beta-quartz switch";
            } else {
                EXPECT_LT(std::fabs(here), tolerance) << "curve " << k + 1 << " at (" << p.x << ", " << p.y << ")";
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 0u);
    EXPECT_LT(onSwitch * 20, checked + 20);  // a few points at most
}

void expectCountsAgree(const ExampleRun& run) {
    // Completion screen, summary listing, plot file and restart file.
    long listed = 0, lastNumber = 0;
    for (const std::string& l : run.summary) {
        if (l.rfind("1  REACTION: ", 0) == 0) ++listed;
        if (l.rfind(" THIS CURVE IS NUMBER ", 0) == 0) lastNumber = std::stol(l.substr(22));
    }
    long curves = 0;
    for (const auto& c : run.plot.curves)
        if (!c.waterCurve) ++curves;
    EXPECT_EQ(run.plotted, listed);
    EXPECT_EQ(run.plotted, lastNumber);
    EXPECT_EQ(run.plotted, curves);
    EXPECT_EQ(run.plotted, static_cast<long>(run.plottedRows.size()));
    EXPECT_LE(run.plotted, run.calculated);
    EXPECT_LE(run.calculated, run.examined);
    // Every stretch of two or more points in the plot is listed: the plot
    // has one label record per side of the reaction and stretch, the listing
    // one separator message before every stretch after the first.
    std::vector<int> separators;
    for (const std::string& l : run.summary) {
        if (l.rfind("1  REACTION: ", 0) == 0) separators.push_back(0);
        else if (l.rfind(" ===== BETWEEN THE PRECEEDING POINTS AND THE", 0) == 0 && !separators.empty())
            ++separators.back();
    }
    std::size_t k = 0;
    for (const auto& c : run.plot.curves) {
        if (c.waterCurve) continue;
        ASSERT_LT(k, separators.size());
        EXPECT_EQ(c.labels.size(), 2u * static_cast<std::size_t>(separators[k] + 1)) << "curve " << k + 1;
        ++k;
    }
}

model::PointState& pt(model::PointState& p, double t, double P) {
    p.t = t;
    p.P = P;
    return p;
}

}  // namespace

TEST(Examples, AluminosilicatesTriplePointAndPointsOnCurves) {
    WorkDir w("ex_a");
    ExampleRun run = runExample(w, "aluminosilicates");
    EXPECT_EQ(run.examined, 6);
    EXPECT_EQ(run.calculated, 6);
    EXPECT_EQ(run.plotted, 5);
    expectCountsAgree(run);

    auto db = load("K AL SI O H", 1, 0);
    model::FluidModelChoice fluid;  // Haar water
    expectPointsOnCurves(run, *db, fluid, [](model::PointState& p, double x, double y) {
        pt(p, x, y);
        p.x[model::kWater] = 1.0;
    });

    // The triple point: the polymorph curves (two-phase reactions) end at it.
    std::vector<calc::CurvePoint> ends;
    for (std::size_t k = 0; k < run.plottedRows.size(); ++k) {
        int phases = 0;
        for (double c : run.plottedRows[k]) phases += std::fabs(c) > 0.001;
        if (phases != 2) continue;
        const auto& pts = run.plot.curves[k].points;
        ends.push_back(pts.front());
        ends.push_back(pts.back());
    }
    ASSERT_EQ(ends.size(), 6u);
    int atTriple = 0;
    for (const auto& e : ends) {
        if (std::fabs(e.x - 505.58) < 2.0 && std::fabs(e.y - 3736.7) < 20.0) ++atTriple;
    }
    EXPECT_EQ(atTriple, 3) << "each polymorph curve has one end at the triple point";

    // The run's drawings: the DXF named on the completion screen and an SVG,
    // with every stretch of two or more points and the database's SHA-256.
    ASSERT_TRUE(w.exists("plot.dxf"));
    ASSERT_TRUE(w.exists("plot.svg"));
    testdxf::Drawing dxf;
    ASSERT_EQ(testdxf::read(w.read("plot.dxf"), dxf), "");
    std::size_t stretches = 0, polylines = 0;
    for (const auto& c : run.plot.curves)
        for (std::size_t i = 0; i < c.points.size();) {
            std::size_t j = i + 1;
            while (j < c.points.size() && c.points[j].flag != calc::kNewStretch) ++j;
            stretches += j - i >= 2;
            i = j;
        }
    for (const auto& e : dxf.entities) polylines += e.type == "POLYLINE" && e.layer != "AXES";
    EXPECT_EQ(polylines, stretches);
    const auto digest = core::sha256OfFile((w.path / "thermo1988.dat").string());
    ASSERT_TRUE(digest.has_value());
    bool named = false;
    for (const auto& c : dxf.comments) named = named || c.find(*digest) != std::string::npos;
    EXPECT_TRUE(named) << "the DXF names the database by its SHA-256";
    EXPECT_NE(w.read("plot.svg").find(*digest), std::string::npos);
}

TEST(Examples, MetastableRunAddsOnlyMetastableStretches) {
    WorkDir ws("ex_a_stable"), wm("ex_a_meta");
    ExampleRun stable = runExample(ws, "aluminosilicates");
    ExampleRun meta = runExample(wm, "aluminosilicates", "radio \"STABLE CURVES\"", "radio \"METASTABLE REACTIONS\"");
    expectCountsAgree(meta);
    // Every reaction is calculated and plotted when metastable curves are wanted.
    EXPECT_EQ(meta.examined, 6);
    EXPECT_EQ(meta.plotted, 6);
    // Every stable curve's points lie on the same reaction's metastable-run curve,
    // which is longer.
    for (std::size_t k = 0; k < stable.plottedRows.size(); ++k) {
        std::size_t m = 0;
        while (m < meta.plottedRows.size() && meta.plottedRows[m] != stable.plottedRows[k]) ++m;
        ASSERT_LT(m, meta.plottedRows.size()) << "stable curve " << k + 1 << " is not in the metastable run";
        const auto& sp = stable.plot.curves[k].points;
        const auto& mp = meta.plot.curves[m].points;
        EXPECT_GT(mp.size(), sp.size());
    }
    // The summary of the metastable run carries the warning box, the stable one the note.
    auto has = [](const std::vector<std::string>& lines, const std::string& t) {
        for (const auto& l : lines)
            if (l.find(t) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has(stable.summary, " META-STABLE PORTIONS OF CURVES ARE NOT PRINTED"));
    EXPECT_TRUE(has(meta.summary, " META-STABLE PORTIONS OF CURVES ARE OUTPUT"));
}

TEST(Examples, CalciteQuartzOnPTAndTxDiagrams) {
    WorkDir wp("ex_b_pt"), wx("ex_b_tx");
    ExampleRun ptRun = runExample(wp, "calcite-quartz-pt");
    EXPECT_EQ(ptRun.examined, 1);
    EXPECT_EQ(ptRun.calculated, 1);
    EXPECT_EQ(ptRun.plotted, 1);
    expectCountsAgree(ptRun);
    auto db = load("CA SI C O", 1, 0);
    model::FluidModelChoice fluid;
    expectPointsOnCurves(ptRun, *db, fluid, [](model::PointState& p, double x, double y) {
        pt(p, x, y);
        p.x[model::kCarbonDioxide] = 1.0;
    });

    ExampleRun tx = runExample(wx, "calcite-quartz-tx");
    EXPECT_EQ(tx.examined, 1);
    EXPECT_EQ(tx.calculated, 1);
    EXPECT_EQ(tx.plotted, 1);
    expectCountsAgree(tx);
    auto dbx = load("CA SI", 1, 1);
    expectPointsOnCurves(tx, *dbx, fluid, [](model::PointState& p, double x, double y) {
        pt(p, y, 2000.0);
        p.x[model::kCarbonDioxide] = x;
        p.x[model::kWater] = 1.0 - x;
    });
    // The decarbonation runs to lower temperature in water-rich fluid.
    const auto& pts = tx.plot.curves.front().points;
    double tRich = 0, tPoor = 1e9;
    for (const auto& p : pts) {
        if (p.x > 0.9) tRich = std::max(tRich, p.y);
        if (p.x < 0.1) tPoor = std::min(tPoor, p.y);
    }
    EXPECT_GT(tRich, tPoor);
}

TEST(Examples, KfmashGrid) {
    WorkDir w("ex_c");
    ExampleRun run = runExample(w, "kfmash-grid");
    EXPECT_EQ(run.examined, 1041);
    EXPECT_EQ(run.calculated, 847);
    EXPECT_EQ(run.plotted, 170);
    expectCountsAgree(run);
    auto db = load("K FE MG AL SI O H", 1, 0);
    model::FluidModelChoice fluid;
    expectPointsOnCurves(run, *db, fluid, [](model::PointState& p, double x, double y) {
        pt(p, x, y);
        p.x[model::kWater] = 1.0;
    });
}

TEST(Examples, ReplayFileReproducesTheRun) {
    WorkDir w("ex_replay");
    ExampleRun first = runExample(w, "aluminosilicates");
    const std::string plot = w.read("plot.plt"), summary = w.read("summary.dat");
    // The example's own replay file is the restart file of this very run; it
    // names the data where the example keeps them (../../data/), this run its
    // copies of them: the same contents.
    auto withoutDataFiles = [](std::vector<std::string> lines) {
        std::vector<std::string> names;
        while (!lines.empty() && io::isProvenanceRecord(lines.back())) {
            io::DataProvenance p;
            EXPECT_TRUE(io::readProvenanceRecord(lines.back(), p)) << lines.back();
            names.push_back(p.role + " " + p.sha256);
            lines.pop_back();
        }
        lines.insert(lines.end(), names.begin(), names.end());
        return lines;
    };
    const auto example = withoutDataFiles(w.lines("replay.res"));
    EXPECT_EQ(withoutDataFiles(w.lines("restart.res")), example);
    EXPECT_EQ(first.dataFiles.size(), 3u);
    auto r = runProgram(PELKAM_EXE, {"--script", "replay.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("is not the file the replayed run read"), std::string::npos) << r.out;
    EXPECT_EQ(w.read("plot.plt"), plot);
    EXPECT_EQ(withoutDataFiles(w.lines("restart.res")), example);
    EXPECT_EQ(countAfter(r.out, "Number of Reactions Plotted ="), first.plotted);
    // Replaying the run's own restart file gives that file again, record for record.
    const auto own = w.lines("restart.res");
    apptest::fs::rename(w.path / "restart.res", w.path / "replay.res");
    ASSERT_EQ(runProgram(PELKAM_EXE, {"--script", "replay.txt"}, w.path).exitCode, 0);
    EXPECT_EQ(w.lines("restart.res"), own);
}

TEST(Examples, ActivityTemperatureDiagramOfWater) {
    // Ms + Qz = Kfs + Sil + H2O against log a(H2O) at 2000 bar: every point
    // lies on the reaction with water at the axis activity.
    WorkDir w("act_t");
    apptest::bundledConfig(w);
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    w.write("answers.txt",
            "press Continue\npress Continue\npress Next\nradio Act-Temp\npress Next\n"
            "screen 3\nset Elements = k al si o h\nset \"Row 1 min\" = 2000.\nset \"Row 2 min\" = 400.\n"
            "set \"Row 2 max\" = 900.\nset \"X-axis min\" = -2.\nset \"X-axis max\" = 0.\nset xH2O = 1.0\npress Next\n"
            "screen \"End-member selection\"\nset X-axis = water\n"
            "select Phases = SILLIMANITE; QUARTZ; MUSCOVITE; K-FELDSPAR; WATER\n"
            "check \"Use defaults (activity=1; no special options) for all endmembers\"\npress Next\n"
            "screen \"Selection of Solution Models\"\nradio None\npress Next\n"
            "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(countAfter(r.out, "Number of Reactions Plotted ="), 1);
    io::PlotFileContents plot;
    ASSERT_TRUE(io::readPlotFile((w.path / "plot.plt").string(), plot).ok());
    ASSERT_EQ(plot.curves.size(), 1u);
    EXPECT_EQ(plot.xLabel.front(), " Log a(water) : 2000 bar");

    auto db = testsupport::loadBundled("K AL SI O H", 1, 0);
    ASSERT_TRUE(db.ok);
    model::PhaseTable& t = *db.table;
    std::array<double, model::kMaxPhases> coef{};
    coef[static_cast<std::size_t>(testsupport::phaseIndex(t, "MUSCOVITE"))] = -1;
    coef[static_cast<std::size_t>(testsupport::phaseIndex(t, "QUARTZ"))] = -1;
    coef[static_cast<std::size_t>(testsupport::phaseIndex(t, "K-FELDSPAR"))] = 1;
    coef[static_cast<std::size_t>(testsupport::phaseIndex(t, "SILLIMANITE"))] = 1;
    const int water = testsupport::phaseIndex(t, "WATER");
    coef[static_cast<std::size_t>(water)] = 1;
    model::ReactionTerms terms;
    model::makeReactionTerms(t, coef.data(), terms);
    testsupport::EvaluationContext g;
    g.table = &t;
    g.reaction = &terms;
    g.point.x[model::kWater] = 1.0;
    g.point.P = 2000;
    double tHigh = 0, tLow = 1e9;
    for (const auto& p : plot.curves.front().points) {
        g.point.logActivity[static_cast<std::size_t>(water)] = p.x;
        g.point.t = p.y;
        // Rounding of the columns: 5e-5 in log a, 0.005 C in T.
        EXPECT_LT(std::fabs(model::ReactionGibbs(g, g.point, *g.reaction)), 1.0 + 19.15 * (p.y + 273.15) * 5e-5 + 60 * 5e-3)
            << "at (" << p.x << ", " << p.y << ")";
        if (p.x > -0.01) tHigh = p.y;
        if (p.x < -0.9) tLow = std::min(tLow, p.y);
    }
    // Lower water activity, lower dehydration temperature (592 C in pure water).
    EXPECT_NEAR(tHigh, 592, 2);
    EXPECT_LT(tLow, tHigh);
}

TEST(Examples, ReplayWithTheLastCalculatedReactionsOnly) {
    WorkDir w("ex_last");
    ExampleRun first = runExample(w, "aluminosilicates");
    ASSERT_EQ(first.plotted, 5);
    // "Yes, w. last calculated rxtns only" replays RESTART.RES (found as
    // restart.res); the new restart file takes the name restart.lrs.
    w.write("last.txt",
            "press Continue\npress Continue\nscreen 1\nradio \"Yes, w. last calculated rxtns only\"\npress Next\n"
            "screen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "last.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(countAfter(r.out, "Number of Reactions Examined ="), 5);
    EXPECT_EQ(countAfter(r.out, "Number of Reactions Plotted ="), 5);
    EXPECT_TRUE(w.exists("restart.lrs"));
    EXPECT_EQ(w.lines("restart.lrs"), w.lines("restart.res"));
}

TEST(Examples, ThermobarometryIntersectionAndReplay) {
    WorkDir w("ex_tb");
    // The example names the bundled composition file by its path from
    // out/thermobarometry; the test's copy sits beside the run.
    apptest::fs::copy_file(apptest::dataDir() / "example-pelite.zun", w.path / "pelite.zun");
    ExampleRun run = runExample(w, "thermobarometry", "= ../../data/example-pelite.zun", "= pelite.zun");
    EXPECT_EQ(run.examined, 2);
    EXPECT_EQ(run.plotted, 2);
    expectCountsAgree(run);
    // The example's restart file is the restart file of this very run.
    // (The data-file records at its end name the files where each run found them.)
    auto withoutDataFiles = [](std::vector<std::string> lines) {
        while (!lines.empty() && io::isProvenanceRecord(lines.back())) lines.pop_back();
        return lines;
    };
    std::vector<std::string> recorded = withoutDataFiles(w.lines("replay.res"));
    for (std::string& l : recorded)
        if (l.rfind("../../data/example-pelite.zun", 0) == 0)
            l = core::pad("pelite.zun", 45) + std::string(core::rtrim(l.substr(45)));
    EXPECT_EQ(withoutDataFiles(w.lines("restart.res")), recorded);

    // The plot header carries the composition file, the models and the fixed activities.
    std::vector<std::string> labels;
    for (const auto& l : run.plot.labelLines)
        if (l.size() > 45) labels.push_back(std::string(core::rtrim(l.substr(45))));
    EXPECT_EQ(labels, (std::vector<std::string>{"pelite.zun", "GARN=GT1990", "PLAG=FL88", "BIOT=BT1991", "QUARTZ=1.0",
                                                "KYANITE=1.0", "SILLIMANITE=1.0"}));

    // The curves cross near 607 C and 6332 bar (data/README-solutions.md),
    // read off the plotted points by linear interpolation.
    ASSERT_EQ(run.plot.curves.size(), 2u);
    const auto& a = run.plot.curves[0].points;
    const auto& b = run.plot.curves[1].points;
    bool found = false;
    for (std::size_t i = 0; i + 1 < a.size() && !found; ++i)
        for (std::size_t j = 0; j + 1 < b.size() && !found; ++j) {
            const double x1 = a[i].x, y1 = a[i].y, x2 = a[i + 1].x, y2 = a[i + 1].y;
            const double x3 = b[j].x, y3 = b[j].y, x4 = b[j + 1].x, y4 = b[j + 1].y;
            // In plot-like units (1 C ~ 40 bar) the segments are well conditioned.
            const double den = (x1 - x2) * (y3 - y4) - (y1 - y2) * (x3 - x4);
            if (den == 0) continue;
            const double s = ((x1 - x3) * (y3 - y4) - (y1 - y3) * (x3 - x4)) / den;
            const double u = -((x1 - x2) * (y1 - y3) - (y1 - y2) * (x1 - x3)) / den;
            if (s < 0 || s > 1 || u < 0 || u > 1) continue;
            found = true;
            EXPECT_NEAR(x1 + s * (x2 - x1), 607, 2.0);
            EXPECT_NEAR(y1 + s * (y2 - y1), 6332, 100.0);
        }
    EXPECT_TRUE(found) << "the two curves do not cross";

    // Every plotted point lies on its reaction with the activities of the
    // composition file, evaluated independently of the run.
    auto db = load("K FE MG CA AL SI O H", 1, 0);
    auto models = std::make_unique<model::SolutionModelSet>();
    std::vector<std::string> said;
    const std::array<int, model::kMaxModels> variants{2, 2, 2};  // GT1990, FL88, BT1991
    ASSERT_TRUE(io::parseSolutionModels(w.lines("models.sln"), "models.sln", variants, *models, said).ok());
    const auto zun = w.lines("pelite.zun");
    for (int m = 0; m < 3; ++m) {
        model::SolutionModel& model = models->models[static_cast<std::size_t>(m)];
        io::CompositionValues v;
        ASSERT_TRUE(io::findComposition(zun, "pelite.zun", model.abbreviation, io::siteFractionCount(model), v).ok());
        io::setSiteFractions(model, v);
        model::precomputeExcessCoefficients(model);
    }
    const std::pair<const char*, std::array<int, 2>> links[] = {{"GROSSULAR", {1, 1}},  {"PYROPE", {1, 2}},
                                                                 {"ALMANDINE", {1, 3}},  {"ANORTHITE", {2, 1}},
                                                                 {"PHLOGOPITE", {3, 1}}, {"ANNITE", {3, 2}}};
    for (const auto& [name, link] : links) {
        model::PhaseRecord& p = (*db->table)[indexOf(*db->table, name)];
        p.activityModel = link[0];
        p.activityEndMember = link[1];
    }
    model::FluidModelChoice fluid;
    expectPointsOnCurves(
        run, *db, fluid, [](model::PointState& p, double x, double y) { pt(p, x, y); }, models.get());

    // A replay of the restart file writes the same plot file.
    const std::string plot = w.read("plot.plt");
    w.write("replay.res", w.read("restart.res"));
    auto r = runProgram(PELKAM_EXE, {"--script", "replay.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(w.read("plot.plt"), plot);
}

// A batch line with a list of composition files: each set reads its own
// file (its labels in its own plot file, its own curves); a file that is not
// there is logged and its set skipped.
TEST(Examples, ThermobarometryBatchOverCompositionFiles) {
    WorkDir w("ex_tb_batch");
    apptest::fs::copy_file(apptest::dataDir() / "example-pelite.zun", w.path / "pelite.zun");
    ExampleRun run = runExample(w, "thermobarometry", "= ../../data/example-pelite.zun", "= pelite.zun");
    ASSERT_EQ(run.plotted, 2);
    std::filesystem::rename(w.path / "restart.res", w.path / "tb.res");
    // A hotter garnet-biotite pair: more magnesian garnet.
    std::string hot = w.read("pelite.zun");
    hot.replace(hot.find("GARN .0600 .1500 .7200 .0700"), 28, "GARN .0600 .1800 .6900 .0700");
    w.write("hot.zun", hot);
    w.write("list.txt", "pelite.zun\nmissing.zun\nhot.zun\n");
    w.write("batch.dat", ",tb.res,,,list.txt\n");
    w.write("answers.txt", "check \"Batch Run?\"\npress Continue\nscreen Completion\npress Exit\n");
    auto r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto log = w.lines("klv.log");
    // The plot files are named once the line's outputs are saved.
    EXPECT_EQ(log, (std::vector<std::string>{" Error opening composition file missing.zun",
                                             "Calculation completed. Plot output written to pelite.p1",
                                             "Calculation completed. Plot output written to hot.p1"}));
    EXPECT_FALSE(w.exists("missing.p1"));
    io::PlotFileContents cool, warm;
    ASSERT_TRUE(io::readPlotFile((w.path / "pelite.p1").string(), cool).ok());
    ASSERT_TRUE(io::readPlotFile((w.path / "hot.p1").string(), warm).ok());
    ASSERT_FALSE(cool.labelLines.empty());
    EXPECT_NE(cool.labelLines[1].find("pelite.zun"), std::string::npos);
    EXPECT_NE(warm.labelLines[1].find("hot.zun"), std::string::npos);
    // The first set is the run itself; the exchange thermometer moves to higher T.
    ASSERT_EQ(cool.curves.size(), 2u);
    ASSERT_EQ(warm.curves.size(), 2u);
    EXPECT_EQ(cool.curves[1].points.size(), run.plot.curves[1].points.size());
    EXPECT_GT(warm.curves[1].points.back().x, cool.curves[1].points.back().x + 20);
}

// A composition file written by the formula utility is read by the
// calculator: the metapelite's garnet, biotite and plagioclase recalculated
// by tarvek feed the thermobarometry example, and the site fractions the run
// uses are the ones tarvek wrote.
TEST(Examples, CompositionFileWrittenByTarvekIsReadByPelkam) {
    WorkDir w("ex_tarvek");
    std::ifstream in(path(PELKAM_SOURCE_DIR) / "examples" / "oxide-analyses" / "pelite.OXI");
    std::string line, kept;
    for (int i = 0; i < 5 && std::getline(in, line); ++i) kept += line + "\n";  // title, labels, grt, bt, pl
    w.write("pelite.OXI", kept);
    auto t = runProgram(TARVEK_EXE, {"pelite.OXI", "--ferric", "--calc", "1.02"}, w.path);
    ASSERT_EQ(t.exitCode, 0) << t.out << t.err;
    ASSERT_TRUE(w.exists("pelite.ZU1"));

    // The values as written, six columns each after the code and a blank.
    const std::vector<std::string> zun = w.lines("pelite.ZU1");
    std::map<std::string, std::vector<double>> written;
    for (std::size_t i = 1; i < zun.size(); i += 2)
        for (std::size_t c = 5; c + 6 <= zun[i].size() + 5 && c < zun[i].size(); c += 6)
            written[zun[i].substr(0, 4)].push_back(std::stod(zun[i].substr(c, 6)));
    ASSERT_EQ(written["GARN"].size(), 4u);
    ASSERT_EQ(written["BIOT"].size(), 6u);
    ASSERT_EQ(written["PLAG"].size(), 3u);

    ExampleRun run = runExample(w, "thermobarometry", "= ../../data/example-pelite.zun", "= pelite.ZU1");
    EXPECT_EQ(run.examined, 2);
    // The summary lists the site fractions the run read, model by model.
    const std::string summary = w.read("summary.dat");
    for (const auto& [code, values] : written) {
        SCOPED_TRACE(code);
        std::size_t at = summary.find(" " + code + " ");
        ASSERT_NE(at, std::string::npos);
        for (double v : values) {
            char text[16];
            std::snprintf(text, sizeof text, "%.4f", v);
            EXPECT_NE(summary.find(text, at), std::string::npos) << text;
        }
    }
}
