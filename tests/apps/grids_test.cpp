// Stable petrogenetic grids of 19, 25, 30 and 39 phases (the answer scripts of
// bench/grids) against the curves the exhaustive search found, kept in
// tests/golden/grids: the same set of plotted reactions, each with the same
// number of stable stretches, every stretch end within 0.05 C and 0.5 bar.
// Example (c), the 19-phase grid, must keep every point as well: the plot
// file point by point within 0.001 C and 0.01 bar, with the same flags and
// labels, in the same order.  The search for stable reactions traces its
// candidates as the full enumeration does and hands them over in the same
// order, so every plot file is also the same byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "io/plot_reader.hpp"
#include "run_helpers.hpp"

using apptest::fs::path;

namespace {

struct Grid {
    const char* name;    // golden files <name>.plt and <name>.rxn
    const char* script;  // answer script, from the source root
    bool slow;           // a second or more in a Release build
    bool everyPoint;     // the plot file itself is kept, point by point
};

const Grid kGrids[] = {
    {"kfmash-19", "examples/kfmash-grid/answers.txt", false, true},
    {"kfmash-25", "bench/grids/kfmash-25.txt", false, false},
    {"kfmash-30", "bench/grids/kfmash-30.txt", true, false},
    {"kfmash-39", "bench/grids/kfmash-39.txt", true, false},
};
void PrintTo(const Grid& g, std::ostream* os) { *os << g.name; }

constexpr double kTolT = 0.05, kTolP = 0.5;  // C, bar

// The 30- and 39-phase grids take about half a second of CPU time in a
// Release build and 25 times that in a sanitizer build: they run only in optimised
// builds without sanitizers (PELKAM_ALL_GRIDS=1 runs them anyway).
bool slowBuild() {
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

// A reaction is minimal, so its set of phases names it whatever its scale,
// direction or the order of its terms: the abbreviations, sorted.
std::string phaseSet(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> phases;
    for (std::string t; in >> t;) {
        char* end = nullptr;
        std::strtod(t.c_str(), &end);
        if (t != "+" && t != "=" && *end != '\0') phases.push_back(t);
    }
    std::sort(phases.begin(), phases.end());
    std::string key;
    for (const std::string& p : phases) key += (key.empty() ? "" : " ") + p;
    return key;
}

struct Stretch {
    calc::CurvePoint a, b;  // first and last point
};

struct Curves {
    std::map<std::string, std::vector<Stretch>> byReaction;  // phase set -> stretches
    std::map<std::string, std::string> text;                 // phase set -> reaction as written
    bool waterCurve = false;
};

// The stretches of every curve of `plot`; reactions[k] is the text of the
// k-th curve that is not the water curve.
Curves curvesOf(const io::PlotFileContents& plot, const std::vector<std::string>& reactions) {
    Curves c;
    c.waterCurve = plot.waterCurveAfterFirst;
    std::size_t k = 0;
    for (const io::PlotCurveRecord& curve : plot.curves) {
        if (curve.waterCurve) continue;
        EXPECT_LT(k, reactions.size()) << "more curves than reactions";
        if (k >= reactions.size()) break;
        const std::string key = phaseSet(reactions[k]);
        c.text[key] = reactions[k++];
        auto& list = c.byReaction[key];
        for (std::size_t i = 0; i < curve.points.size(); ++i) {
            if (i == 0 || curve.points[i].flag == calc::kNewStretch) list.push_back({curve.points[i], {}});
            list.back().b = curve.points[i];
        }
    }
    EXPECT_EQ(k, reactions.size()) << "curves and reaction texts differ in number";
    return c;
}

bool near(const calc::CurvePoint& p, const calc::CurvePoint& q) {
    return std::fabs(p.x - q.x) <= kTolT && std::fabs(p.y - q.y) <= kTolP;
}
bool sameEnds(const Stretch& s, const Stretch& t) {
    return (near(s.a, t.a) && near(s.b, t.b)) || (near(s.a, t.b) && near(s.b, t.a));
}
std::string describe(const Stretch& s) {
    std::ostringstream o;
    o << "(" << s.a.x << " C, " << s.a.y << " bar)-(" << s.b.x << " C, " << s.b.y << " bar)";
    return o.str();
}

std::vector<std::string> readLines(const path& p) {
    std::ifstream in(p);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) out.push_back(l);
    return out;
}

// "1  REACTION: <text>" lines of the summary, in the order of the curves.
std::vector<std::string> summaryReactions(const std::vector<std::string>& summary) {
    std::vector<std::string> out;
    const std::string tag = "1  REACTION: ";
    for (const std::string& l : summary)
        if (l.rfind(tag, 0) == 0) out.emplace_back(l.substr(tag.size()));
    for (std::string& r : out)
        while (!r.empty() && r.back() == ' ') r.pop_back();
    return out;
}

// The curves of `got` against those of `want` in file order: the same
// points within 0.001 C and 0.01 bar, the same flags and label texts.
void expectSamePoints(const io::PlotFileContents& want, const io::PlotFileContents& got) {
    ASSERT_EQ(got.curves.size(), want.curves.size());
    int reported = 0;
    for (std::size_t k = 0; k < want.curves.size() && reported < 10; ++k) {
        const auto &w = want.curves[k], &g = got.curves[k];
        bool same = g.waterCurve == w.waterCurve && g.points.size() == w.points.size() &&
                    g.labels.size() == w.labels.size();
        for (std::size_t i = 0; same && i < w.points.size(); ++i)
            same = g.points[i].flag == w.points[i].flag && std::fabs(g.points[i].x - w.points[i].x) <= 0.001 &&
                   std::fabs(g.points[i].y - w.points[i].y) <= 0.01;
        for (std::size_t i = 0; same && i < w.labels.size(); ++i) same = g.labels[i].text == w.labels[i].text;
        if (!same) {
            ++reported;
            ADD_FAILURE() << "curve " << k + 1 << " (plot file line " << w.line << ") differs";
        }
    }
}

class StableGrid : public ::testing::TestWithParam<Grid> {};

TEST_P(StableGrid, SameStableStretchesAsTheExhaustiveSearch) {
    const Grid& g = GetParam();
    const char* all = std::getenv("PELKAM_ALL_GRIDS");
    if (g.slow && slowBuild() && !(all && *all == '1'))
        GTEST_SKIP() << g.name << " runs in optimised builds without sanitizers only (PELKAM_ALL_GRIDS=1 forces it)";

    const path root(PELKAM_SOURCE_DIR), golden = root / "tests" / "golden" / "grids";
    io::PlotFileContents expectedPlot;
    core::Status s = io::readPlotFile((golden / (std::string(g.name) + ".plt")).string(), expectedPlot);
    ASSERT_TRUE(s.ok()) << s.describe();
    const Curves expected = curvesOf(expectedPlot, readLines(golden / (std::string(g.name) + ".rxn")));
    ASSERT_FALSE(expected.byReaction.empty());

    apptest::WorkDir w(g.name);
    apptest::fs::copy_file(root / g.script, w.path / "answers.txt");
    apptest::fs::copy_file(apptest::dataDir() / "rxtns_calib.dat", w.path / "rxtns_calib.dat");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    const apptest::RunResult r = apptest::runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    io::PlotFileContents plot;
    s = io::readPlotFile((w.path / "plot.plt").string(), plot);
    ASSERT_TRUE(s.ok()) << s.describe();
    const Curves got = curvesOf(plot, summaryReactions(w.lines("summary.dat")));
    if (g.everyPoint) expectSamePoints(expectedPlot, plot);
    // The search traces its candidates as the full enumeration traces them
    // and hands them over in its order: the plot file is the same, byte for
    // byte.
    std::ostringstream want;
    want << std::ifstream(golden / (std::string(g.name) + ".plt"), std::ios::binary).rdbuf();
    EXPECT_TRUE(w.read("plot.plt") == want.str())
        << "the plot file differs from " << g.name << ".plt";

    EXPECT_EQ(got.waterCurve, expected.waterCurve);
    int reported = 0;
    auto report = [&reported](const std::string& what) {
        if (++reported <= 25) ADD_FAILURE() << what;
    };
    for (const auto& [key, want] : expected.byReaction) {
        const std::string& text = expected.text.at(key);
        auto it = got.byReaction.find(key);
        if (it == got.byReaction.end()) {
            report("missing: " + text);
            continue;
        }
        std::vector<Stretch> have = it->second;
        if (have.size() != want.size()) {
            report(text + ": " + std::to_string(have.size()) + " stable stretches, expected " +
                   std::to_string(want.size()));
            continue;
        }
        for (const Stretch& st : want) {
            auto m = std::find_if(have.begin(), have.end(), [&st](const Stretch& h) { return sameEnds(st, h); });
            if (m == have.end()) {
                report(text + ": no stretch " + describe(st) + "; the run has " + describe(have.front()) +
                       (have.size() > 1 ? " and others" : ""));
                break;
            }
            have.erase(m);
        }
    }
    for (const auto& [key, list] : got.byReaction)
        if (!expected.byReaction.count(key)) report("not expected: " + got.text.at(key));
    EXPECT_EQ(reported, 0) << reported << " differences from the exhaustive search in " << g.name;
}

INSTANTIATE_TEST_SUITE_P(Grids, StableGrid, ::testing::ValuesIn(kGrids),
                         [](const ::testing::TestParamInfo<Grid>& i) {
                             std::string n = i.param.name;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

// Sub-systems and sub-windows of the 60-phase K-Na-Ca-Fe-Mg-Al-Si-O-H grid
// (bench/grids/kncfmash-60.txt), which the full enumeration finishes: the
// run with the search and the run with PELKAM_REACTION_SEARCH=exhaustive
// write the same plot file and restart file, and the same summary but for
// the line that names the method.
struct SubGrid {
    const char* name;
    const char* elements;
    const char* window;  // tmin tmax pmin pmax
    const char* phases;  // names, separated by "; "
    bool slow;           // the full enumeration takes seconds
    bool longRun = false;  // ... enough of them to tell its progress
};

const SubGrid kSubGrids[] = {
    {"ncash-31", "na ca al si o h", "400. 900. 1. 12000.",
     "ALBITE; HIGH-ALBITE; ANORTHITE; CA-AL-PYROXENE; COESITE; CORUNDUM; ALPHA-CRISTOBALITE; BETA-CRISTOBALITE; "
     "DIASPORE; GEHLENITE; GROSSULAR; JADEITE; KAOLINITE; KYANITE; LAWSONITE; LIME; MARGARITE; PARAGONITE; "
     "PREHNITE; PYROPHYLLITE; QUARTZ; BETA-QUARTZ; SILLIMANITE; ANDALUSITE; LOW-TRIDYMITE; HIGH-TRIDYMITE; "
     "WOLLASTONITE; PSEUDOWOLLASTONITE; ZOISITE; CLINOZOISITE; WATER",
     false},
    {"nkfmash-26", "k na fe mg al si o h", "500. 800. 2000. 10000.",
     "ALBITE; ALMANDINE; ANDALUSITE; ANTHOPHYLLITE; CLINOCHLORE; CORDIERITE; CORUNDUM; ENSTATITE; FAYALITE; "
     "FERROSILITE; FORSTERITE; HEMATITE; JADEITE; KYANITE; MAGNETITE; MUSCOVITE; PARAGONITE; PHLOGOPITE; "
     "K-FELDSPAR; PYROPE; QUARTZ; SILLIMANITE; SPINEL; TALC; ANNITE; WATER",
     false},
    {"cmash-34", "ca mg al si o h", "450. 750. 500. 9000.",
     "AKERMANITE; ANORTHITE; ANTIGORITE; BRUCITE; CA-AL-PYROXENE; CHRYSOTILE; CLINOCHLORE; CORUNDUM; DIASPORE; "
     "DIOPSIDE; ENSTATITE; FORSTERITE; GEHLENITE; GROSSULAR; KYANITE; LAWSONITE; MARGARITE; MERWINITE; "
     "MONTICELLITE; PERICLASE; PREHNITE; PYROPE; PYROPHYLLITE; QUARTZ; SPINEL; TALC; TREMOLITE; WOLLASTONITE; "
     "ZOISITE; ANTHOPHYLLITE; CORDIERITE; SILLIMANITE; ANDALUSITE; WATER",
     true},
    {"kncfmash-35", "k na ca fe mg al si o h", "400. 900. 1. 3000.",
     "ALBITE; ANORTHITE; ALMANDINE; ANDALUSITE; KYANITE; SILLIMANITE; DIOPSIDE; ENSTATITE; FAYALITE; FORSTERITE; "
     "GROSSULAR; JADEITE; MUSCOVITE; PARAGONITE; PHLOGOPITE; K-FELDSPAR; PYROPE; QUARTZ; SPINEL; TALC; "
     "TREMOLITE; ZOISITE; ANNITE; CLINOCHLORE; CORDIERITE; MARGARITE; PREHNITE; LAWSONITE; WOLLASTONITE; "
     "PYROPHYLLITE; KAOLINITE; ANTHOPHYLLITE; MAGNETITE; HEMATITE; WATER",
     true, true},
};
void PrintTo(const SubGrid& g, std::ostream* os) { *os << g.name; }

// The 60-phase script with the elements, window and phases of `g`.
std::string subGridScript(const SubGrid& g) {
    std::ifstream in(path(PELKAM_SOURCE_DIR) / "bench" / "grids" / "kncfmash-60.txt");
    std::istringstream window(g.window);
    std::string tmin, tmax, pmin, pmax;
    window >> tmin >> tmax >> pmin >> pmax;
    const std::vector<std::pair<std::string, std::string>> values = {
        {"set Elements", std::string("set Elements = ") + g.elements},
        {"set \"Row 1 min\"", "set \"Row 1 min\" = " + pmin},
        {"set \"Row 1 max\"", "set \"Row 1 max\" = " + pmax},
        {"set \"Row 2 min\"", "set \"Row 2 min\" = " + tmin},
        {"set \"Row 2 max\"", "set \"Row 2 max\" = " + tmax}};
    std::string out;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("select Phases", 0) == 0) continue;
        for (const auto& [start, line] : values)
            if (l.rfind(start, 0) == 0) l = line;
        if (l.rfind("check \"Use defaults", 0) == 0) out += std::string("select Phases = ") + g.phases + "\n";
        out += l + "\n";
    }
    return out;
}

class SearchedSubGrid : public ::testing::TestWithParam<SubGrid> {};

TEST_P(SearchedSubGrid, SameOutputsAsEveryReactionExamined) {
    const SubGrid& g = GetParam();
    const char* all = std::getenv("PELKAM_ALL_GRIDS");
    if (g.slow && slowBuild() && !(all && *all == '1'))
        GTEST_SKIP() << g.name << " runs in optimised builds without sanitizers only (PELKAM_ALL_GRIDS=1 forces it)";
    struct Run {
        std::string plot, restart, console;
        std::vector<std::string> summary;
    };
    auto run = [&g](bool exhaustive) {
        apptest::WorkDir w(std::string(g.name) + (exhaustive ? "-all" : "-search"));
        w.write("answers.txt", subGridScript(g));
        apptest::fs::copy_file(apptest::dataDir() / "rxtns_calib.dat", w.path / "rxtns_calib.dat");
        w.write("PELKAM.fig", apptest::bundledConfig(w));
        if (exhaustive) setenv("PELKAM_REACTION_SEARCH", "exhaustive", 1);
        setenv("PELKAM_PROGRESS", "1", 1);
        const apptest::RunResult r = apptest::runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
        unsetenv("PELKAM_REACTION_SEARCH");
        unsetenv("PELKAM_PROGRESS");
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        // Progress on standard error (asked for: the harness turns it off), once
        // a second, only in runs that take longer than a second.
        static const std::regex progress(
            R"(pelkam: [0-9]+ (candidate reactions|combinations): [0-9]+% done(, about [0-9.]+ (s|min|h) left)?)");
        std::istringstream err(r.err);
        int lines = 0;
        for (std::string l; std::getline(err, l); ++lines) EXPECT_TRUE(std::regex_match(l, progress)) << l;
        if (exhaustive && g.longRun) {
            EXPECT_GT(lines, 0) << "no progress in a run of seconds";
        }
        Run out{w.read("plot.plt"), w.read("restart.res"), r.out, {}};
        for (const std::string& l : w.lines("summary.dat"))
            if (l.rfind(" REACTIONS:", 0) != 0) out.summary.push_back(l);
            else out.console += l;
        return out;
    };
    const Run searched = run(false), all_ = run(true);
    EXPECT_NE(searched.console.find("FOUND BY THE SEARCH"), std::string::npos);
    EXPECT_NE(all_.console.find("EVERY REACTION OF THE ENUMERATION"), std::string::npos);
    EXPECT_GT(std::count(searched.plot.begin(), searched.plot.end(), '\n'), 100) << "too few curves to tell";
    EXPECT_TRUE(searched.plot == all_.plot) << "the plot files differ";
    EXPECT_TRUE(searched.restart == all_.restart) << "the restart files differ";
    EXPECT_TRUE(searched.summary == all_.summary) << "the summaries differ";
}

INSTANTIATE_TEST_SUITE_P(Grids, SearchedSubGrid, ::testing::ValuesIn(kSubGrids),
                         [](const ::testing::TestParamInfo<SubGrid>& i) {
                             std::string n = i.param.name;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

}  // namespace
