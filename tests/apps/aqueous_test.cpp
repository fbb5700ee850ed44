// Aqueous species through the programs: pelkam-props against the
// independent reference values and log K, its answers to wrong aqueous
// input, and the two aqueous examples run end to end (every curve point on
// its reaction, charge balance, the field boundaries of the activity-activity
// diagram where the equilibrium constants put them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/aqueous_reference.hpp"
#include "common/bundled_db.hpp"
#include "core/text.hpp"
#include "io/plot_reader.hpp"
#include "model/aqueous.hpp"
#include "run_helpers.hpp"

using apptest::runProgram;
using apptest::WorkDir;

namespace {

std::string db() { return (apptest::dataDir() / "thermo1988.dat").string(); }
std::string aqueousFile(const std::string& name) {
    return name == "aqueous-hkf.aqu" ? (apptest::dataDir() / name).string()
                                     : std::string(PELKAM_FIXTURES) + "/model/" + name;
}

std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, sep);) out.push_back(cell);
    if (!line.empty() && line.back() == sep) out.push_back("");  // an empty last cell
    return out;
}

// The rows of pelkam-props --csv output after the header, by item.
std::map<std::string, std::vector<std::string>> csvRows(const std::string& out, std::string* header = nullptr) {
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream in(out);
    std::string line;
    std::getline(in, line);
    if (header != nullptr) *header = line;
    while (std::getline(in, line)) {
        const auto cells = split(line, ',');
        if (!cells.empty()) rows[cells[0]] = cells;
    }
    return rows;
}

TEST(AqueousProps, ReferencePotentialsWithTheirWater) {
    // One run per file and point, every species of that point in it.
    std::map<std::string, std::vector<testsupport::AqueousReference>> groups;
    for (const auto& r : testsupport::readAqueousReferences()) groups[r.file + "|" + r.tText + "|" + r.pText].push_back(r);
    ASSERT_EQ(groups.size(), 6u);
    WorkDir w("props_aqueous");
    for (const auto& [group, refs] : groups) {
        std::vector<std::string> args = {"--db",  db(), "--aqueous", aqueousFile(refs[0].file), "--csv", "--T",
                                         refs[0].tText, "--P", refs[0].pText};
        for (const auto& r : refs) args.push_back(r.species);
        const auto run = runProgram(PROPS_EXE, args, w.path);
        ASSERT_EQ(run.exitCode, 0) << group << "\n" << run.out << run.err;
        std::string header;
        auto rows = csvRows(run.out, &header);
        EXPECT_EQ(header, "item,T_C,P_bar,G_J_per_mol,rho_g_cm3,epsilon");
        for (const auto& r : refs) {
            SCOPED_TRACE(group + " " + r.species);
            ASSERT_EQ(rows[r.species].size(), 6u) << run.out;
            EXPECT_NEAR(std::stod(rows[r.species][3]), r.mu, 0.1);
            if (r.rho == 0.0) {  // the electron needs no water
                EXPECT_EQ(rows[r.species][4], "");
                continue;
            }
            EXPECT_NEAR(std::stod(rows[r.species][4]), r.rho, 1e-6);
            EXPECT_NEAR(std::stod(rows[r.species][5]), r.eps, 1e-5);
        }
    }
}

TEST(AqueousProps, LogKOfEveryReaction) {
    std::map<std::string, std::vector<testsupport::LogKReference>> points;
    for (const auto& r : testsupport::readLogKReferences()) points[r.tText + "|" + r.pText].push_back(r);
    ASSERT_EQ(points.size(), 9u);
    WorkDir w("props_logk");
    for (const auto& [point, refs] : points) {
        std::vector<std::string> args = {"--db", db(), "--aqueous", aqueousFile("aqueous-hkf.aqu"), "--csv",
                                         "--T",  refs[0].tText, "--P", refs[0].pText};
        for (const auto& r : refs) args.push_back(testsupport::propsReaction(r.reaction));
        const auto run = runProgram(PROPS_EXE, args, w.path);
        ASSERT_EQ(run.exitCode, 0) << point << "\n" << run.out << run.err;
        auto rows = csvRows(run.out);
        for (const auto& r : refs) {
            const auto& cells = rows[testsupport::propsReaction(r.reaction)];
            ASSERT_GE(cells.size(), 4u) << r.reaction << "\n" << run.out;
            const double logK = -std::stod(cells[3]) / (19.144383238729898 * (r.t + 273.15));
            EXPECT_NEAR(logK, r.logK, 0.001) << r.reaction << " at " << point;
        }
    }
}

TEST(AqueousProps, WrongAqueousInputIsNamed) {
    WorkDir w("props_aqueous_wrong");
    const std::string hkf = aqueousFile("aqueous-hkf.aqu");
    auto props = [&](std::vector<std::string> items, const std::string& aqueous) {
        std::vector<std::string> args = {"--db", db(), "--T", "25", "--P", "1"};
        if (!aqueous.empty()) args.insert(args.end(), {"--aqueous", aqueous});
        args.insert(args.end(), items.begin(), items.end());
        return runProgram(PROPS_EXE, args, w.path);
    };
    auto r = props({"K+"}, "none.aqu");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot open the aqueous data file none.aqu: no such file"), std::string::npos) << r.err;
    w.write("field.aqu",
            "*AQU TANGER\nK+   K(1)E(1.0)   \nST     -275571.06100  -164450.71321  10x.725984511    0.906000000\n*END\n");
    r = props({"K+"}, "field.aqu");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("(field.aqu, line 3, field 3)"), std::string::npos) << r.err;
    w.write("plain.aqu", "*AQU\nK+   K(1)E(1.0)   \nST     -275571.06  -164450.7  105.72  0.906\n*END\n");
    r = props({"K+"}, "plain.aqu");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("line 2 of plain.aqu) of a *AQU section without HELGESON or TANGER"), std::string::npos)
        << r.err;
    // A species without the aqueous file; a reaction that loses charge.
    r = props({"K+"}, "");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("aqueous species are read from the file named by --aqueous FILE"), std::string::npos);
    r = props({"K+ = KCL(AQ) + CL-"}, hkf);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("CL excess +2; charge (E) excess -2"), std::string::npos) << r.err;
    // Charges written without blanks, and a plain '+' between phases.
    r = props({"K++CL-=KCL(AQ)", "Qz+H2O=SIO2(AQ)+H2O", "CA+2+CL-=CACL+"}, hkf);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Water less dense than 0.7 g/cm3: said once, the values printed all the same.
    r = runProgram(PROPS_EXE, {"--db", db(), "--aqueous", hkf, "--T", "300,450,500", "--P", "500", "K+", "CL-"},
                    w.path);
    EXPECT_EQ(r.exitCode, 0);
    const std::string notice = "pelkam-props: Aqueous species evaluated in water less dense than 0.7 g/cm3, first at "
                               "450 C and 500 bar (0.40";
    EXPECT_EQ(r.err.rfind(notice, 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

// --- the examples --------------------------------------------------------------

struct ExampleRun {
    apptest::RunResult result;
    io::PlotFileContents plot;
    std::vector<std::string> reactions;  // the summary's reaction texts, in plot order
    std::string summary;
};

// Runs examples/<name> in `w`; `edits` replace texts of its answer script.
ExampleRun runExample(WorkDir& w, const std::string& name,
                      const std::vector<std::pair<std::string, std::string>>& edits = {}) {
    const apptest::fs::path root(PELKAM_SOURCE_DIR);
    apptest::fs::copy(root / "examples" / name, w.path, apptest::fs::copy_options::recursive);
    std::string answers = w.read("answers.txt");
    for (const auto& [from, to] : edits) {
        const std::size_t at = answers.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) answers.replace(at, from.size(), to);
    }
    w.write("answers.txt", answers);
    for (const char* f : {"thermo1988.dat", "aqueous-hkf.aqu", "solution-models.sln"})
        apptest::fs::copy_file(root / "data" / f, w.path / f);
    w.write("PELKAM.fig",
            "MINERAL DATA=thermo1988.dat\nAQUEOUS DATA=aqueous-hkf.aqu\nSOLUTION DATA=solution-models.sln\n"
            "PLOTFILE=plot.plt\nSUMMARYFILE=summary.dat\nRESTARTFILE=restart.res\n");
    ExampleRun run;
    run.result = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(run.result.exitCode, 0) << run.result.out << run.result.err;
    const core::Status s = io::readPlotFile((w.path / "plot.plt").string(), run.plot);
    EXPECT_TRUE(s.ok()) << s.describe();
    run.summary = w.read("summary.dat");
    for (const std::string& l : w.lines("summary.dat"))
        if (l.rfind("1  REACTION: ", 0) == 0) run.reactions.push_back(std::string(core::trim(l.substr(13))));
    return run;
}

using Terms = std::vector<std::pair<std::string, double>>;

int indexOf(const model::PhaseTable& t, const std::string& key) {
    for (int i = 0; i < t.count; ++i)
        if (core::upper(core::rtrim(t[i].abbreviation)) == key || core::upper(core::rtrim(t[i].name)) == key) return i;
    return -1;
}

// Every point of every curve lies on its reaction (|dG| below 1 J beyond the
// rounding of the plot file's columns, half a unit of their last digit), the
// reaction evaluated independently of the run: `setPoint` puts the diagram
// coordinates and the phases' activities into the point.
template <class SetPoint>
void expectOnReactions(const ExampleRun& run, const testsupport::BundledDatabase& db, double halfX, double halfY,
                       SetPoint setPoint) {
    ASSERT_EQ(run.reactions.size(), run.plot.curves.size());
    const int charge = db.system->find("E");
    ASSERT_GE(charge, 0);
    std::size_t checked = 0;
    for (std::size_t k = 0; k < run.reactions.size(); ++k) {
        SCOPED_TRACE(run.reactions[k]);
        std::array<double, model::kMaxPhases> coef{};
        double netCharge = 0;
        for (const auto& [name, c] : testsupport::reactionTerms(run.reactions[k])) {
            const int i = indexOf(*db.table, name);
            ASSERT_GE(i, 0) << name;
            coef[static_cast<std::size_t>(i)] += c;
            netCharge += c * db.system->stoichiometry[static_cast<std::size_t>(i)][static_cast<std::size_t>(charge)];
        }
        EXPECT_NEAR(netCharge, 0.0, 1e-9) << "the reaction does not balance charge";
        model::ReactionTerms rx;
        model::makeReactionTerms(*db.table, coef.data(), rx);
        model::GibbsEvaluator g;
        g.table = db.table.get();
        model::PointState point;
        point.x[model::kWater] = 1.0;
        auto dG = [&](double x, double y) {
            setPoint(point, x, y);
            return model::ReactionGibbsBySpecies(g, point, rx);
        };
        for (const calc::CurvePoint& p : run.plot.curves[k].points) {
            const double dx = (dG(p.x + 1e-3, p.y) - dG(p.x - 1e-3, p.y)) / 2e-3;
            const double dy = (dG(p.x, p.y + 1e-3) - dG(p.x, p.y - 1e-3)) / 2e-3;
            EXPECT_LT(std::fabs(dG(p.x, p.y)), 1.0 + std::fabs(dx) * halfX + std::fabs(dy) * halfY)
                << "(" << p.x << ", " << p.y << ")";
            ++checked;
        }
    }
    EXPECT_GT(checked, 10u);
}

TEST(AqueousExamples, QuartzSolubility) {
    WorkDir w("ex_quartz_solubility");
    ExampleRun run = runExample(w, "quartz-solubility");
    ASSERT_EQ(run.reactions, std::vector<std::string>{"Qz = SIO2(AQ)"});
    auto db = testsupport::loadBundled("SI O H E", 1, 4, (apptest::dataDir() / "aqueous-hkf.aqu").string());
    ASSERT_TRUE(db.ok) << db.messages;
    const int silica = indexOf(*db.table, "SIO2(AQ)");
    // x = log a(SiO2,aq) (F9.4 in the plot file), y = T (F10.2), at 1000 bar.
    expectOnReactions(run, db, 5e-5, 5e-3, [&](model::PointState& p, double x, double y) {
        p.t = y;
        p.P = 1000.0;
        p.logActivity[static_cast<std::size_t>(silica)] = x;
    });
    // The solubility of data/README-aqueous.md: log K at 100 and 600 C.
    const auto& pts = run.plot.curves.front().points;
    for (const auto& [t, logK] : std::vector<std::pair<double, double>>{{100.0, -2.951}, {600.0, -1.281}}) {
        bool found = false;
        for (const auto& p : pts)
            if (std::fabs(p.y - t) < 1e-6) {
                EXPECT_NEAR(p.x, logK, 6e-4) << t;
                found = true;
            }
        EXPECT_TRUE(found) << t;
    }
    // Above 0.7 g/cm3 no longer: the run says so once, on the console and in the summary.
    const std::string notice = "Aqueous species evaluated in water less dense than 0.7 g/cm3";
    EXPECT_NE(run.result.out.find(notice), std::string::npos) << run.result.out;
    EXPECT_EQ(run.result.out.find(notice), run.result.out.rfind(notice));
    EXPECT_NE(run.summary.find(notice), std::string::npos);
}

TEST(AqueousExamples, SaturationModeAboveTheCriticalTemperatureIsSaid) {
    // Quartz solubility on the saturation curve of water up to its end.
    WorkDir w("ex_quartz_saturation");
    ExampleRun run = runExample(w, "quartz-solubility",
                                {{"\"Row 1 min\" = 1000.", "\"Row 1 min\" = 0."},
                                 {"\"Row 2 min\" = 100.", "\"Row 2 min\" = 300."},
                                 {"\"Row 2 max\" = 600.", "\"Row 2 max\" = 450."}});
    ASSERT_EQ(run.plot.curves.size(), 1u);
    const std::string notice = "The saturation mode holds 222 bar above 374.136 C, first at ";
    EXPECT_NE(run.result.out.find(notice), std::string::npos) << run.result.out;
    EXPECT_EQ(run.result.out.find(notice), run.result.out.rfind(notice));
    EXPECT_NE(run.summary.find(" " + notice), std::string::npos);
    // The values are used all the same: the curve reaches the top of the window.
    double top = 0;
    for (const auto& p : run.plot.curves.front().points) top = std::max(top, p.y);
    EXPECT_GT(top, 374.136);
}

TEST(AqueousExamples, FeldsparMicaKaoliniteFieldsWhereLogKPutsThem) {
    WorkDir w("ex_feldspar_kaolinite");
    ExampleRun run = runExample(w, "kfeldspar-muscovite-kaolinite");
    auto db = testsupport::loadBundled("K AL SI O H E", 1, 6, (apptest::dataDir() / "aqueous-hkf.aqu").string());
    ASSERT_TRUE(db.ok) << db.messages;
    const int silica = indexOf(*db.table, "SIO2(AQ)"), potassium = indexOf(*db.table, "K+");
    // x = log a(SiO2,aq), y = log(aK+/aH+) with aH+ = 1, at 250 C and 500 bar (F9.5 both).
    expectOnReactions(run, db, 5e-6, 5e-6, [&](model::PointState& p, double x, double y) {
        p.t = 250.0;
        p.P = 500.0;
        p.logActivity[static_cast<std::size_t>(silica)] = x;
        p.logActivity[static_cast<std::size_t>(potassium)] = y;
    });
    // The lines of data/README-aqueous.md (log K to 0.001), each point on one.
    struct Line {
        const char* reaction;
        double y0, slope;  // y = y0 + slope x; slope NaN: the vertical x = y0
    };
    const Line lines[] = {{"Ms + 2 K+ + 6 SIO2(AQ) = 2 H+ + 3 Kfs", -2.739, -3.0},
                          {"Qz = SIO2(AQ)", -2.149, std::nan("")},
                          {"3 Kln + 2 K+ = 2 H+ + 2 Ms + 3 H2O", 2.198, 0.0},
                          {"Ms + 6 Qz + 2 K+ = 2 H+ + 3 Kfs", 3.708, 0.0}};
    ASSERT_EQ(run.reactions.size(), std::size(lines));
    for (std::size_t k = 0; k < run.reactions.size(); ++k) {
        EXPECT_EQ(run.reactions[k], lines[k].reaction);
        for (const auto& p : run.plot.curves[k].points) {
            const double off = std::isnan(lines[k].slope) ? p.x - lines[k].y0 : p.y - (lines[k].y0 + lines[k].slope * p.x);
            EXPECT_LT(std::fabs(off), 2e-3) << lines[k].reaction << " at (" << p.x << ", " << p.y << ")";
        }
    }
    // K-feldspar and muscovite meet quartz saturation at y = 3.708.
    const auto& kfsMs = run.plot.curves[0].points;
    ASSERT_FALSE(kfsMs.empty());
    const calc::CurvePoint& end = std::fabs(kfsMs.front().x + 2.149) < std::fabs(kfsMs.back().x + 2.149) ? kfsMs.front()
                                                                                                      : kfsMs.back();
    EXPECT_NEAR(end.x, -2.149, 2e-3);
    EXPECT_NEAR(end.y, 3.708, 2e-3);
}

}  // namespace
