// Stable petrogenetic grids of 19, 25, 30 and 39 phases (the answer scripts of
// bench/grids) against the curves the exhaustive search found, kept in
// tests/golden/grids: the same set of plotted reactions, each with the same
// number of stable stretches, every stretch end within 0.05 C and 0.5 bar.
// A faster search must find exactly these stretches; the order of the curves,
// the direction of a stretch and the points between its ends may change.
// Example (c), the 19-phase grid, must keep every point as well: the plot
// file point by point within 0.001 C and 0.01 bar, with the same flags and
// labels, in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
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

// The 30- and 39-phase grids take about 1 and 6 s of CPU time in a Release
// build and 25 times that in a sanitizer build: they run only in optimised
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

}  // namespace
