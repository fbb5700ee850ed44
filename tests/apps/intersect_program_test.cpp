// pelkam-intersect on the thermobarometry example: the crossings against
// the two equilibria solved independently of the run (dG = 0 for both
// reactions with the activities of the composition file), the dependent
// reactions when muscovite joins, the Monte Carlo runs, and wrong input.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>

#include "common/bundled_db.hpp"
#include "intersect/intersect.hpp"
#include "intersect/monte_carlo.hpp"
#include "intersect/read_curves.hpp"
#include "model/gibbs.hpp"
#include "core/text.hpp"
#include "run_helpers.hpp"
#include "model/activity.hpp"
#include "io/composition_file.hpp"
#include "io/sln_format.hpp"

using apptest::runProgram;
using apptest::WorkDir;
namespace fs = std::filesystem;

namespace {

void replace(std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

// Runs examples/thermobarometry in `w` with the bundled composition file
// beside it; with muscovite (its white-mica model ideal) three more
// reactions join, all linear combinations of three.
void runExample(const WorkDir& w, bool muscovite) {
    const fs::path root(PELKAM_SOURCE_DIR);
    fs::copy(root / "examples" / "thermobarometry", w.path, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy_file(root / "data" / "rxtns_calib.dat", w.path / "rxtns_calib.dat");
    fs::copy_file(apptest::dataDir() / "example-pelite.zun", w.path / "pelite.zun");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    std::string a = w.read("answers.txt");
    replace(a, "= ../../data/example-pelite.zun", "= pelite.zun");
    if (muscovite) {
        replace(a, "KYANITE; QUARTZ\n", "KYANITE; QUARTZ; MUSCOVITE\n");
        replace(a, "set \"Variant 3\" = BT1991", "set \"Variant 3\" = IDEAL\nset \"Variant 4\" = BT1991");
    }
    w.write("answers.txt", a);
    const apptest::RunResult r = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
}

// The equilibria of the example evaluated with ReactionGibbs and the
// activities of the composition file, independently of the run.
class Equilibria {
public:
    explicit Equilibria(const WorkDir& w) : db_(testsupport::loadBundled("K FE MG CA AL SI O H", 1, 0)) {
        EXPECT_TRUE(db_.ok) << db_.messages;
        std::vector<std::string> said;
        const std::array<int, model::kMaxModels> variants{2, 2, 2, 1};  // GT1990, FL88, BT1991, IDEAL
        EXPECT_TRUE(io::parseSolutionModels(w.lines("models.sln"), "models.sln", variants, *models_, said).ok());
        const auto zun = w.lines("pelite.zun");
        for (int m = 0; m < 4; ++m) {
            model::SolutionModel& model = models_->models[static_cast<std::size_t>(m)];
            io::CompositionValues v;
            EXPECT_TRUE(io::findComposition(zun, "pelite.zun", model.abbreviation,
                                                   io::siteFractionCount(model), v)
                            .ok());
            io::setSiteFractions(model, v);
            model::precomputeExcessCoefficients(model);
        }
        const std::pair<const char*, std::array<int, 2>> links[] = {
            {"GROSSULAR", {1, 1}},  {"PYROPE", {1, 2}}, {"ALMANDINE", {1, 3}}, {"ANORTHITE", {2, 1}},
            {"PHLOGOPITE", {3, 1}}, {"ANNITE", {3, 2}}, {"MUSCOVITE", {4, 1}}};
        for (const auto& [name, link] : links) {
            model::PhaseRecord& p = (*db_.table)[testsupport::phaseIndex(*db_.table, name)];
            p.activityModel = link[0];
            p.activityEndMember = link[1];
        }
    }

    // dG (J) of a curve's reaction (coefficients by abbreviation) at t C, P bar.
    double dG(const intersect::CurveSet& set, int curve, double t, double P) {
        std::array<double, model::kMaxPhases> coef{};
        const std::vector<double>& c = set.curves[static_cast<std::size_t>(curve)].coefficients;
        for (std::size_t k = 0; k < set.phases.size(); ++k) {
            int found = -1;
            for (int i = 0; i < db_.table->count; ++i)
                if (core::trim((*db_.table)[i].abbreviation) == set.phases[k]) found = i;
            EXPECT_GE(found, 0) << set.phases[k];
            if (found >= 0) coef[static_cast<std::size_t>(found)] = c[k];
        }
        model::ReactionTerms terms;
        model::makeReactionTerms(*db_.table, coef.data(), terms);
        model::GibbsEvaluator g;
        g.table = db_.table.get();
        g.models = models_.get();
        model::PointState point;
        point.t = t;
        point.P = P;
        return model::ReactionGibbs(g, point, terms);
    }

    // Both reactions at equilibrium: Newton's method from `at`.
    intersect::Point crossing(const intersect::CurveSet& set, int a, int b, intersect::Point at) {
        for (int it = 0; it < 30; ++it) {
            const double fa = dG(set, a, at.x, at.y), fb = dG(set, b, at.x, at.y);
            const double ht = 0.01, hp = 0.1;
            const double at_ = (dG(set, a, at.x + ht, at.y) - fa) / ht, ap = (dG(set, a, at.x, at.y + hp) - fa) / hp;
            const double bt = (dG(set, b, at.x + ht, at.y) - fb) / ht, bp = (dG(set, b, at.x, at.y + hp) - fb) / hp;
            const double det = at_ * bp - ap * bt;
            const double dt = (fa * bp - ap * fb) / det, dp = (at_ * fb - fa * bt) / det;
            at.x -= dt;
            at.y -= dp;
            if (std::fabs(dt) < 1e-6 && std::fabs(dp) < 1e-4) break;
        }
        return at;
    }

private:
    testsupport::BundledDatabase db_;
    std::unique_ptr<model::SolutionModelSet> models_ = std::make_unique<model::SolutionModelSet>();
};

}  // namespace

// GASP and the garnet-biotite exchange cross where both equilibria hold:
// within 2 C and 20 bar of the crossing solved independently; the
// reactions of the plot labels give the same.
TEST(IntersectProgram, ThermobarometryCrossingAgreesWithTheEquilibria) {
    WorkDir w("ix_tb");
    runExample(w, false);
    intersect::CurveSet set, fromLabels;
    intersect::CurveSources src, srcLabels;
    const std::string plot = (w.path / "plot.plt").string();
    ASSERT_TRUE(intersect::readCurves(plot, (w.path / "summary.dat").string(), "", set, src).ok());
    ASSERT_TRUE(intersect::readCurves(plot, "", "", fromLabels, srcLabels).ok());
    EXPECT_EQ(src.coefficientsFrom, "summary");
    EXPECT_TRUE(src.stabilityKnown && src.stableOnly);
    const intersect::Analysis an = intersect::analyse(set);
    ASSERT_EQ(an.intersections.size(), 1u);
    ASSERT_EQ(an.scatter.count, 1);
    Equilibria eq(w);
    const intersect::Point want = eq.crossing(set, 0, 1, an.scatter.mean);
    EXPECT_NEAR(an.scatter.mean.x, want.x, 2.0);
    EXPECT_NEAR(an.scatter.mean.y, want.y, 20.0);
    EXPECT_NEAR(want.x, 607, 1.5);  // data/README-solutions.md: 607 C, 6332 bar
    EXPECT_NEAR(want.y, 6332, 30);

    EXPECT_EQ(srcLabels.coefficientsFrom, "plot labels");
    const intersect::Analysis byLabels = intersect::analyse(fromLabels);
    ASSERT_EQ(byLabels.scatter.count, 1);
    EXPECT_EQ(byLabels.scatter.mean.x, an.scatter.mean.x);
    EXPECT_EQ(byLabels.dependence.rank, 2);

    // A summary whose reactions are not those of the labels is not used.
    std::string other = w.read("summary.dat");
    replace(other, "1  REACTION: Grs + 2 Ky + Qz = 3 An   ", "1  REACTION: Grs + Ky = An              ");
    w.write("other.sum", other);
    intersect::CurveSet mixed;
    ASSERT_TRUE(intersect::readCurves(plot, (w.path / "other.sum").string(), "", mixed, src).ok());
    EXPECT_EQ(src.coefficientsFrom, "plot labels");
    ASSERT_EQ(src.notes.size(), 1u);
    EXPECT_NE(src.notes[0].find("are not those of the plot file's labels"), std::string::npos);
}

// With muscovite six reactions of rank 3 cross: the program names the three
// combinations, counts each point of dependent reactions once, and every
// crossing lies within 2 C and 20 bar of its pair's equilibria.
TEST(IntersectProgram, DependentReactionsWithMuscovite) {
    WorkDir w("ix_ms");
    runExample(w, true);
    const apptest::RunResult r =
        runProgram(PELKAM_INTERSECT_EXE, {"plot.plt", "--csv", "x.csv", "-o", "x.svg"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("rank 3"), std::string::npos) << r.out;
    for (const char* comb : {"[4] = [1] + [2]", "[5] = [2] - [3]", "[6] = [1] + [2] - [3]"})
        EXPECT_NE(r.out.find(comb), std::string::npos) << comb << "\n" << r.out;
    EXPECT_NE(w.read("x.svg").find("<g id=\"INTERSECTIONS\""), std::string::npos);
    // pelkam-plot marks the same mean, with the summary beside the plot file.
    const apptest::RunResult p = runProgram(PELKAM_PLOT_EXE, {"plot.plt", "--intersections", "-o", "p.svg"}, w.path);
    ASSERT_EQ(p.exitCode, 0) << p.err;
    EXPECT_NE(w.read("p.svg").find("<g id=\"INTERSECTIONS\""), std::string::npos);

    intersect::CurveSet set;
    intersect::CurveSources src;
    ASSERT_TRUE(intersect::readCurves((w.path / "plot.plt").string(), (w.path / "summary.dat").string(), "", set, src).ok());
    const intersect::Analysis an = intersect::analyse(set);
    EXPECT_EQ(an.dependence.rank, 3);
    // Seven planes of two reactions; 4 & 5 meet outside the window.
    EXPECT_EQ(an.scatter.count, 6);
    const std::vector<std::string> csv = w.lines("x.csv");
    ASSERT_EQ(csv.size(), an.intersections.size() + 1);
    // Without reaction texts (labels by number, no summary) the restart
    // file's rows give the coefficients.
    io::PlotFileContents plot;
    ASSERT_TRUE(io::readPlotFile((w.path / "plot.plt").string(), plot).ok());
    for (io::PlotCurveRecord& c : plot.curves) c.labels.clear();
    intersect::CurveSet byRows;
    ASSERT_TRUE(intersect::curvesOfPlot(plot, "plot.plt", "", (w.path / "restart.res").string(), byRows, src).ok());
    EXPECT_EQ(src.coefficientsFrom, "restart file");
    const intersect::Analysis rows = intersect::analyse(byRows);
    EXPECT_EQ(rows.dependence.rank, 3);
    EXPECT_EQ(rows.dependence.dependent.size(), 3u);
    EXPECT_EQ(rows.scatter.count, 6);

    Equilibria eq(w);
    for (const intersect::Intersection& x : an.intersections) {
        const intersect::Point want = eq.crossing(set, x.curveA, x.curveB, x.at);
        SCOPED_TRACE(std::to_string(x.curveA + 1) + " & " + std::to_string(x.curveB + 1));
        EXPECT_NEAR(x.at.x, want.x, 2.0);
        EXPECT_NEAR(x.at.y, want.y, 20.0);
    }
}

// No uncertainty repeats the run itself; a seed repeats its runs; the work
// directory is removed afterwards.
TEST(IntersectProgram, MonteCarloReproducesTheRunAndItsSeed) {
    WorkDir w("ix_mc");
    runExample(w, false);
    intersect::CurveSet set;
    intersect::CurveSources src;
    ASSERT_TRUE(intersect::readCurves((w.path / "plot.plt").string(), (w.path / "summary.dat").string(), "", set, src).ok());
    const intersect::Point plain = intersect::analyse(set).scatter.mean;

    intersect::MonteCarloRequest rq;
    rq.pelkam = PELKAM_EXE;
    rq.runDirectory = w.path.string();
    rq.restartFile = (w.path / "restart.res").string();
    rq.runs = 2;
    intersect::MonteCarloResult none, a, b, c;
    ASSERT_TRUE(intersect::runMonteCarlo(rq, none).ok());
    ASSERT_EQ(none.runs.size(), 2u);
    for (const intersect::MonteCarloRun& run : none.runs) {
        ASSERT_TRUE(run.ok) << run.failure;
        EXPECT_EQ(run.mean.x, plain.x);
        EXPECT_EQ(run.mean.y, plain.y);
    }
    EXPECT_FALSE(fs::exists(none.workDirectory));

    rq.uncertainties.relative = 0.03;
    rq.seed = 5;
    ASSERT_TRUE(intersect::runMonteCarlo(rq, a).ok());
    ASSERT_TRUE(intersect::runMonteCarlo(rq, b).ok());
    rq.seed = 6;
    ASSERT_TRUE(intersect::runMonteCarlo(rq, c).ok());
    for (std::size_t k = 0; k < 2; ++k) {
        ASSERT_TRUE(a.runs[k].ok && b.runs[k].ok && c.runs[k].ok);
        EXPECT_EQ(a.runs[k].mean.x, b.runs[k].mean.x);
        EXPECT_EQ(a.runs[k].mean.y, b.runs[k].mean.y);
        EXPECT_NE(a.runs[k].mean.x, c.runs[k].mean.x);
        EXPECT_NE(a.runs[k].mean.x, plain.x);
    }
    EXPECT_GT(a.scatter.sdX, 0);
}

// Wrong input: a message naming the file (and line and field where there
// are), a non-zero exit and no output file.
TEST(IntersectProgram, WrongInputIsNamed) {
    WorkDir w("ix_bad");
    w.write("cut.plt", "PELKAM PLOT FILE VERSION  1\n    0  P-T\n      450.00000      xx\n");
    w.write("u.txt", "GARN 0.01 -1\n");
    w.write("plain.plt",
            "PELKAM PLOT FILE VERSION  1\n    0  P-T\n      450.00000      750.00000        1.00000    12000.00000\n"
            "    20.000    20.000\n   P(bars)     T(C)                 \n    0    0\n    0\n    0\n"
            "    0    2    0    0    0    0\n  500.0000   1000.00 3  600.0000   2000.00 2\n");
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string says;
    };
    const Case cases[] = {
        {{}, 2, "no plot file given"},
        {{"missing.plt"}, 1, "cannot open the plot file (missing.plt): no such file"},
        {{"cut.plt", "--csv", "out.csv"}, 1, "(cut.plt, line 3, field 2)"},
        {{"plain.plt", "--csv", "out.csv"}, 1, "do not meet inside the window"},
        {{"plain.plt", "--monte-carlo", "3"}, 2, "--monte-carlo needs --relative"},
        {{"plain.plt", "--relative", "0.1"}, 2, "belong to --monte-carlo"},
        {{"plain.plt", "-o", "x.jpg"}, 2, "cannot tell the format"},
    };
    for (const Case& c : cases) {
        const apptest::RunResult r = runProgram(PELKAM_INTERSECT_EXE, c.args, w.path);
        const std::string all = r.out + r.err;
        EXPECT_EQ(r.exitCode, c.exit) << all;
        EXPECT_NE(all.find(c.says), std::string::npos) << all;
        EXPECT_EQ(all.find("Segmentation"), std::string::npos);
    }
    EXPECT_FALSE(w.exists("out.csv"));
}
