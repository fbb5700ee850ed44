// pelkam-intersect: where the equilibria of a plot file meet, and how well:
// every intersection of two stable curve stretches, the mean with its
// standard deviations and correlation, the linearly dependent reactions,
// outliers, and (with --monte-carlo) how far the uncertainty of the
// analyses moves the mean.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "intersect/intersect.hpp"
#include "intersect/monte_carlo.hpp"
#include "intersect/read_curves.hpp"
#include "io/plot_reader.hpp"
#include "core/text.hpp"
#include "render/cairo_figure.hpp"
#include "render/drawing.hpp"
#include "render/dxf_writer.hpp"
#include "render/output_file.hpp"
#include "render/svg_writer.hpp"

#ifndef PELKAM_VERSION
#define PELKAM_VERSION "unknown"
#endif

namespace {

namespace fs = std::filesystem;
using intersect::Analysis;
using intersect::CurveSet;
using intersect::CurveSources;
using intersect::Kind;

void usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: pelkam-intersect FILE.plt [options]\n"
                 "       pelkam-intersect --help | --version\n"
                 "\n"
                 "Finds every intersection of two stable curve stretches of a plot file written\n"
                 "by pelkam and reports them with their mean, standard deviations, correlation and\n"
                 "the area of their scatter.  The reactions' coefficients (from the summary) tell\n"
                 "which reactions are linear combinations of others: where such reactions meet,\n"
                 "they repeat a point already found, which is listed but not counted again.\n"
                 "\n"
                 "Options:\n"
                 "  --summary FILE        the run's summary (default: FILE.sum, else summary.dat,\n"
                 "                        beside the plot file)\n"
                 "  --restart FILE        the run's restart file: the run that --monte-carlo\n"
                 "                        repeats, and coefficients when the summary has none\n"
                 "                        (default: restart.res beside the plot file)\n"
                 "  --metastable          also intersect the stretches of a run that drew\n"
                 "                        metastable curves\n"
                 "  --reject K            drop, one at a time, the intersection farthest from the\n"
                 "                        mean while it lies more than K standard deviations away\n"
                 "  --csv OUT.csv         write the intersections as a table\n"
                 "  -o, --output OUT      draw the diagram with the mean intersection and its\n"
                 "                        1-sigma and 2-sigma ellipses (.svg, .pdf, .png, .dxf;\n"
                 "                        may be repeated)\n"
                 "  --dpi N               resolution of PNG output (default 150)\n"
                 "  --db DATABASE         the run's database, recorded in the drawings\n"
                 "\n"
                 "Uncertainty from the analyses (Monte Carlo):\n"
                 "  --monte-carlo N       repeat the run N times, each with the site fractions of\n"
                 "                        its composition file perturbed, and report the spread of\n"
                 "                        the mean intersection\n"
                 "  --relative F          one-sigma uncertainty of every site fraction as a\n"
                 "                        fraction of its value (0.05 or 5%%)\n"
                 "  --uncertainties FILE  absolute one-sigma uncertainties, lines \"CODE v1 v2 ...\"\n"
                 "                        in the order of the composition file's values\n"
                 "  --composition FILE    the composition file to perturb (default: the one the\n"
                 "                        restart file names, from the run directory)\n"
                 "  --run-dir DIR         where the run was made: its PELKAM.fig and the names in\n"
                 "                        it (default: the plot file's directory)\n"
                 "  --seed S              seed of the random numbers (default 1): the same seed\n"
                 "                        gives the same runs\n"
                 "  --samples OUT.csv     write the mean intersection of every run\n"
                 "  --pelkam PROGRAM      the calculator (default: pelkam beside this program,\n"
                 "                        else on the PATH)\n"
                 "  --keep                keep the directory of the runs (its name is printed)\n"
                 "  --work-dir DIR        make the runs in DIR (new or empty) and keep it\n"
                 "  --help                show this help and exit\n"
                 "  --version             show the version and exit\n"
                 "\n"
                 "Outputs are written whole or not at all.  Exit status: 0 done, 1 no\n"
                 "intersection, an input that could not be read, runs or an output that could\n"
                 "not be made, 2 wrong usage.\n");
}

bool parseNumber(std::string text, double& v) {
    bool percent = false;
    if (!text.empty() && text.back() == '%') {
        percent = true;
        text.pop_back();
    }
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    if (percent) v /= 100;
    return !text.empty() && end != nullptr && *end == '\0' && std::isfinite(v);
}

int fail(const core::Status& s) {
    std::fprintf(stderr, "pelkam-intersect: %s\n", s.describe().c_str());
    return 1;
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
    return s;
}

// Decimals that show a ten-thousandth of a range.
int decimalsFor(double range) {
    if (!(range > 0)) return 2;
    return std::clamp(4 - static_cast<int>(std::floor(std::log10(range))), 0, 6);
}

std::string pad(const std::string& s, std::size_t n) { return s.size() >= n ? s : std::string(n - s.size(), ' ') + s; }

struct Units {
    std::string x, y;  // column titles
    int dx = 2, dy = 0;
    bool pt = false;
    std::string point(double x, double y) const {
        if (pt) return fixed(x, 1) + " C, " + fixed(y, 0) + " bar";
        return fixed(x, dx) + ", " + fixed(y, dy);
    }
};

Units unitsOf(const CurveSet& set, const CurveSources& src) {
    Units u;
    u.x = src.xTitle.empty() ? "x" : src.xTitle;
    u.y = src.yTitle.empty() ? "y" : src.yTitle;
    u.dx = decimalsFor(set.window.xmax - set.window.xmin);
    u.dy = decimalsFor(set.window.ymax - set.window.ymin);
    u.pt = src.diagramType == 0;
    return u;
}

std::string curveName(const CurveSet& set, int index) { return std::to_string(set.curves[static_cast<std::size_t>(index)].number); }

std::string combinationText(const CurveSet& set, const intersect::Combination& c) {
    std::string s = "[" + curveName(set, c.curve) + "] =";
    for (std::size_t k = 0; k < c.basis.size(); ++k) {
        const double f = c.factors[k];
        const double m = std::fabs(f);
        s += k == 0 ? (f < 0 ? " -" : "") : (f < 0 ? " -" : " +");
        s += " ";
        if (std::fabs(m - 1) > 1e-6) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.4g ", m);
            s += buf;
        }
        s += "[" + curveName(set, c.basis[k]) + "]";
    }
    return s;
}

std::string scatterText(const intersect::Scatter& s, const Units& u) {
    std::string t = u.x + " " + fixed(s.mean.x, u.dx);
    if (s.count >= 2) t += " (sd " + fixed(s.sdX, u.dx) + ")";
    t += "   " + u.y + " " + fixed(s.mean.y, u.dy);
    if (s.count >= 2) t += " (sd " + fixed(s.sdY, u.dy) + ")";
    if (s.hasCorrelation) t += "   correlation " + fixed(s.correlation, 3);
    return t;
}

void printReport(const CurveSet& set, const CurveSources& src, const Analysis& an, const intersect::Options& opt) {
    const Units u = unitsOf(set, src);
    const intersect::Window& w = set.window;
    std::printf("Plot file %s: %s diagram, %s %s to %s, %s %s to %s\n", src.plotFile.c_str(), src.diagramName.c_str(),
                u.x.c_str(), fixed(w.xmin, u.dx).c_str(), fixed(w.xmax, u.dx).c_str(), u.y.c_str(),
                fixed(w.ymin, u.dy).c_str(), fixed(w.ymax, u.dy).c_str());
    const intersect::Dependence& d = an.dependence;
    std::printf("\nReactions (%zu curve%s", set.curves.size(), set.curves.size() == 1 ? "" : "s");
    if (d.known) std::printf(", coefficients from the %s; rank %d", src.coefficientsFrom.c_str(), d.rank);
    std::printf(")\n");
    std::size_t width = 0;
    for (const intersect::Curve& c : set.curves) width = std::max(width, c.reaction.size());
    for (std::size_t i = 0; i < set.curves.size(); ++i) {
        const intersect::Curve& c = set.curves[i];
        std::string comb;
        for (const intersect::Combination& k : d.dependent)
            if (k.curve == static_cast<int>(i)) comb = combinationText(set, k);
        std::string text = c.reaction.empty() ? "(reaction not known)" : c.reaction;
        if (!comb.empty()) text += std::string(width + 2 - std::min(width + 1, c.reaction.size()), ' ') + comb;
        std::printf("  %4d  %s\n", c.number, text.c_str());
    }
    if (d.known && !d.dependent.empty())
        std::printf("%zu of the reactions are linear combinations of the others (shown beside them); where\n"
                    "reactions of one combination meet, they meet in one point, counted once.\n",
                    d.dependent.size());
    for (const auto& [a, b] : d.sameReaction)
        std::printf("Curves %s and %s are the same reaction and are not intersected.\n", curveName(set, a).c_str(),
                    curveName(set, b).c_str());

    std::printf("\nIntersections of %s stretches\n", opt.includeMetastable ? "all" : "stable");
    if (an.intersections.empty()) {
        std::printf("  none inside the window\n");
    } else {
        std::printf("     #  curves      %s  %s\n", pad(u.x, 10).c_str(), pad(u.y, 10).c_str());
        for (std::size_t n = 0; n < an.intersections.size(); ++n) {
            const intersect::Intersection& x = an.intersections[n];
            const std::string pair = curveName(set, x.curveA) + " & " + curveName(set, x.curveB);
            std::string note;
            if (x.kind == Kind::SamePoint) note = "same point as " + std::to_string(x.sameAs + 1) + " (dependent reactions)";
            if (x.kind == Kind::Dropped) note = "dropped: " + fixed(x.distance, 2) + " sd from the mean (round " +
                                                std::to_string(x.round) + ")";
            if (x.touch) note += std::string(note.empty() ? "" : "; ") + "a curve ends here";
            char row[256];
            std::snprintf(row, sizeof row, "  %4zu  %-9s  %s  %s  %s", n + 1, pair.c_str(), pad(fixed(x.at.x, u.dx), 10).c_str(),
                          pad(fixed(x.at.y, u.dy), 10).c_str(), note.c_str());
            std::printf("%s\n", std::string(core::rtrim(row)).c_str());
        }
    }
    const intersect::Scatter& s = an.scatter;
    if (s.count > 0) {
        std::printf("\nMean of %d intersection%s: %s\n", s.count, s.count == 1 ? "" : "s", scatterText(s, u).c_str());
        if (s.count >= 2) {
            char area[64];
            std::snprintf(area, sizeof area, "%.4g", s.area);
            std::printf("Area of the 1-sigma ellipse of the scatter: %s (%s x %s)\n", area, u.x.c_str(), u.y.c_str());
        } else {
            std::printf("One intersection: no scatter (a third independent equilibrium gives one).\n");
        }
    }
    if (an.pairsWithoutCrossing > 0)
        std::printf("%d pair%s of curves do%s not meet in the window.\n", an.pairsWithoutCrossing,
                    an.pairsWithoutCrossing == 1 ? "" : "s", an.pairsWithoutCrossing == 1 ? "es" : "");
}

std::string csvText(const std::string& t) {
    if (t.find_first_of(",\"\n") == std::string::npos) return t;
    std::string q = "\"";
    for (char c : t) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string intersectionsCsv(const CurveSet& set, const Analysis& an) {
    std::string s = "intersection,curve_a,curve_b,reaction_a,reaction_b,x,y,status,same_as,distance_sd\n";
    char buf[64];
    for (std::size_t n = 0; n < an.intersections.size(); ++n) {
        const intersect::Intersection& x = an.intersections[n];
        const intersect::Curve& a = set.curves[static_cast<std::size_t>(x.curveA)];
        const intersect::Curve& b = set.curves[static_cast<std::size_t>(x.curveB)];
        s += std::to_string(n + 1) + "," + std::to_string(a.number) + "," + std::to_string(b.number) + "," +
             csvText(a.reaction) + "," + csvText(b.reaction) + ",";
        std::snprintf(buf, sizeof buf, "%.6g,%.6g,", x.at.x, x.at.y);
        s += buf;
        s += x.kind == Kind::Independent ? "independent" : x.kind == Kind::SamePoint ? "same point" : "dropped";
        s += "," + (x.kind == Kind::SamePoint ? std::to_string(x.sameAs + 1) : std::string());
        s += "," + (x.kind == Kind::Dropped ? fixed(x.distance, 3) : std::string()) + "\n";
    }
    return s;
}

std::string samplesCsv(const intersect::MonteCarloResult& mc) {
    std::string s = "run,x,y,intersections,failure\n";
    char buf[64];
    for (const intersect::MonteCarloRun& r : mc.runs) {
        s += std::to_string(r.run) + ",";
        if (r.ok) {
            std::snprintf(buf, sizeof buf, "%.6g,%.6g", r.mean.x, r.mean.y);
            s += buf;
        } else {
            s += ",";
        }
        s += "," + std::to_string(r.intersections) + "," + csvText(r.failure) + "\n";
    }
    return s;
}

enum class Format { Svg, Pdf, Png, Dxf, Unknown };

Format formatOf(const std::string& path) {
    const std::string ext = core::upper(fs::path(path).extension().string());
    if (ext == ".SVG") return Format::Svg;
    if (ext == ".PDF") return Format::Pdf;
    if (ext == ".PNG") return Format::Png;
    if (ext == ".DXF") return Format::Dxf;
    return Format::Unknown;
}

// The calculator: beside this program, else the name alone (found on the PATH).
std::string defaultPelkam() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path p = self.parent_path() / "pelkam";
        if (::access(p.c_str(), X_OK) == 0) return p.string();
    }
    if (const char* path = std::getenv("PATH")) {
        std::string all = path;
        std::size_t from = 0;
        while (from <= all.size()) {
            std::size_t to = all.find(':', from);
            if (to == std::string::npos) to = all.size();
            const fs::path p = fs::path(all.substr(from, to - from)) / "pelkam";
            if (to > from && ::access(p.c_str(), X_OK) == 0) return p.string();
            from = to + 1;
        }
    }
    return "pelkam";
}

}  // namespace

int main(int argc, char** argv) {
    std::string plotPath, summaryPath, restartPath, csvPath, samplesPath, dbPath, uncertaintyPath;
    std::vector<std::string> outputs;
    intersect::Options options;
    intersect::MonteCarloRequest mc;
    mc.runs = 0;
    double dpi = 150;
    auto usageError = [](const std::string& message) {
        std::fprintf(stderr, "pelkam-intersect: %s\n(pelkam-intersect --help lists the options)\n", message.c_str());
        return 2;
    };
    bool relativeGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        bool hasInline = false;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            value = a.substr(a.find('=') + 1);
            a = a.substr(0, a.find('='));
            hasInline = true;
        }
        auto next = [&](std::string& into) {
            if (hasInline) {
                into = value;
                return !into.empty();
            }
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return !into.empty();
        };
        std::string v;
        double x = 0;
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("pelkam-intersect %s\n", PELKAM_VERSION);
            return 0;
        } else if (a == "--summary") {
            if (!next(summaryPath)) return usageError("--summary needs a file name");
        } else if (a == "--restart") {
            if (!next(restartPath)) return usageError("--restart needs a file name");
        } else if (a == "--metastable") {
            options.includeMetastable = true;
        } else if (a == "--reject") {
            if (!next(v) || !parseNumber(v, x) || x < 1 || x > 100)
                return usageError("--reject needs a number of standard deviations between 1 and 100");
            options.rejectBeyond = x;
        } else if (a == "--csv") {
            if (!next(csvPath)) return usageError("--csv needs a file name");
        } else if (a == "-o" || a == "--output") {
            if (!next(v)) return usageError(a + " needs a file name");
            if (formatOf(v) == Format::Unknown)
                return usageError("cannot tell the format of '" + v + "' from its extension: use .svg, .pdf, .png or .dxf");
            outputs.push_back(v);
        } else if (a == "--dpi") {
            if (!next(v) || !parseNumber(v, dpi) || dpi < 10 || dpi > 1200)
                return usageError("--dpi needs a resolution between 10 and 1200");
        } else if (a == "--db") {
            if (!next(dbPath)) return usageError("--db needs a file name");
        } else if (a == "--monte-carlo") {
            if (!next(v) || !parseNumber(v, x) || x < 1 || x > 100000 || x != std::floor(x))
                return usageError("--monte-carlo needs a number of runs between 1 and 100000");
            mc.runs = static_cast<int>(x);
        } else if (a == "--relative") {
            if (!next(v) || !parseNumber(v, x) || x < 0 || x > 1)
                return usageError("--relative needs a fraction between 0 and 1 (or a percentage, 5%)");
            mc.uncertainties.relative = x;
            relativeGiven = true;
        } else if (a == "--uncertainties") {
            if (!next(uncertaintyPath)) return usageError("--uncertainties needs a file name");
        } else if (a == "--composition") {
            if (!next(mc.compositionFile)) return usageError("--composition needs a file name");
        } else if (a == "--run-dir") {
            if (!next(mc.runDirectory)) return usageError("--run-dir needs a directory");
        } else if (a == "--seed") {
            if (!next(v) || v.find_first_not_of("0123456789") != std::string::npos || v.size() > 19)
                return usageError("--seed needs a whole number of at most 19 digits");
            mc.seed = std::stoull(v);
        } else if (a == "--samples") {
            if (!next(samplesPath)) return usageError("--samples needs a file name");
        } else if (a == "--pelkam") {
            if (!next(mc.pelkam)) return usageError("--pelkam needs a program");
        } else if (a == "--keep") {
            mc.keep = true;
        } else if (a == "--work-dir") {
            if (!next(mc.workDirectory)) return usageError("--work-dir needs a directory");
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return usageError("unknown option '" + a + "'");
        } else if (plotPath.empty()) {
            plotPath = a;
        } else {
            return usageError("more than one plot file given ('" + plotPath + "' and '" + a + "')");
        }
    }
    if (plotPath.empty()) return usageError("no plot file given");
    const bool monteCarlo = mc.runs > 0;
    if (!monteCarlo && (relativeGiven || !uncertaintyPath.empty() || !mc.compositionFile.empty() ||
                        !mc.runDirectory.empty() || !samplesPath.empty() || mc.keep || !mc.workDirectory.empty()))
        return usageError("the uncertainty options belong to --monte-carlo N");
    if (monteCarlo && !relativeGiven && uncertaintyPath.empty())
        return usageError("--monte-carlo needs --relative F or --uncertainties FILE (--relative 0 repeats the run as it is)");

    // Everything is read and worked out before anything is written.
    const fs::path plotDir = fs::path(plotPath).parent_path();
    if (summaryPath.empty()) summaryPath = intersect::summaryBeside(plotPath);
    if (restartPath.empty()) {
        std::error_code ec;
        const fs::path r = plotDir / "restart.res";
        if (fs::is_regular_file(r, ec)) restartPath = r.string();
    }
    io::PlotFileContents plot;
    {
        std::error_code ec;
        if (!fs::is_regular_file(plotPath, ec)) {
            core::Status s = core::Status::error("cannot open the plot file",
                                                       fs::exists(plotPath, ec) ? "not a file" : "no such file");
            s.file = plotPath;
            return fail(s);
        }
    }
    if (core::Status s = io::readPlotFile(plotPath, plot); !s) return fail(s);
    CurveSet set;
    CurveSources src;
    if (core::Status s = intersect::curvesOfPlot(plot, plotPath, summaryPath, restartPath, set, src); !s)
        return fail(s);
    for (const std::string& n : src.notes) std::fprintf(stderr, "pelkam-intersect: note: %s\n", n.c_str());
    const Analysis an = intersect::analyse(set, options);
    printReport(set, src, an, options);
    if (an.stretchesLeftOut > 0 && an.intersections.empty()) {
        std::fprintf(stderr,
                     "pelkam-intersect: the run drew metastable curves (%d stretches not known to be stable): "
                     "give --metastable to intersect them all\n",
                     an.stretchesLeftOut);
        return 1;
    }
    if (an.scatter.count == 0) {
        std::fprintf(stderr, "pelkam-intersect: the %s curves of %s do not meet inside the window\n",
                     options.includeMetastable ? "" : "stable", plotPath.c_str());
        return 1;
    }

    intersect::MonteCarloResult mcResult;
    if (monteCarlo) {
        if (restartPath.empty())
            return fail(core::Status::error("the Monte Carlo runs need the run's restart file",
                                               "give --restart FILE"));
        if (!uncertaintyPath.empty()) {
            std::vector<std::string> lines;
            std::FILE* f = std::fopen(uncertaintyPath.c_str(), "r");
            if (f == nullptr) {
                core::Status s = core::Status::error("cannot open the uncertainty file", "no such file or not readable");
                s.file = uncertaintyPath;
                return fail(s);
            }
            char buf[4096];
            while (std::fgets(buf, sizeof buf, f) != nullptr) {
                std::string l = buf;
                while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
                lines.push_back(l);
            }
            std::fclose(f);
            const double relative = mc.uncertainties.relative;
            if (core::Status s = intersect::parseUncertainties(lines, uncertaintyPath, mc.uncertainties); !s)
                return fail(s);
            mc.uncertainties.relative = relative;
        }
        if (mc.pelkam.empty()) mc.pelkam = defaultPelkam();
        if (mc.runDirectory.empty()) mc.runDirectory = plotDir.empty() ? "." : plotDir.string();
        mc.restartFile = restartPath;
        mc.options = options;
        const bool tty = ::isatty(2) != 0;
        mc.progress = [tty](int done, int failed, int total) {
            std::fprintf(stderr, "%spelkam-intersect: Monte Carlo run %d of %d done", tty ? "\r" : "", done, total);
            if (failed > 0) std::fprintf(stderr, " (%d without a result)", failed);
            std::fprintf(stderr, tty && done < total ? " " : "\n");
            std::fflush(stderr);
        };
        const core::Status s = intersect::runMonteCarlo(mc, mcResult);
        if (!mcResult.workDirectory.empty() && mcResult.kept)
            std::fprintf(stderr, "pelkam-intersect: the runs are kept in %s\n", mcResult.workDirectory.c_str());
        if (!s) return fail(s);
        const Units u = unitsOf(set, src);
        std::printf("\nMonte Carlo: %d runs with the site fractions of %s perturbed (", mc.runs,
                    mcResult.compositionFile.c_str());
        if (!mc.uncertainties.absolute.empty()) std::printf("absolute uncertainties from %s; ", uncertaintyPath.c_str());
        std::printf("relative %s%%), seed %llu\n", fixed(mc.uncertainties.relative * 100, 2).c_str(),
                    static_cast<unsigned long long>(mc.seed));
        int failed = 0;
        for (const intersect::MonteCarloRun& r : mcResult.runs)
            if (!r.ok && ++failed <= 5) std::printf("  run %d gave no result: %s\n", r.run, r.failure.c_str());
        if (failed > 5) std::printf("  ... and %d more runs without a result\n", failed - 5);
        if (mcResult.scatter.count == 0) {
            std::fprintf(stderr, "pelkam-intersect: none of the %d Monte Carlo runs gave a mean intersection\n", mc.runs);
            return 1;
        }
        std::printf("Mean intersection of %d runs: %s\n", mcResult.scatter.count, scatterText(mcResult.scatter, u).c_str());
        std::printf("(the run itself: %s %s   %s %s)\n", u.x.c_str(), fixed(an.scatter.mean.x, u.dx).c_str(), u.y.c_str(),
                    fixed(an.scatter.mean.y, u.dy).c_str());
    }

    // Outputs.
    int status = 0;
    auto put = [&](const std::string& path, const std::string& bytes) {
        if (core::Status s = render::writeFileAtomically(path, bytes); !s) {
            fail(s);
            status = 1;
        } else {
            std::fprintf(stderr, "pelkam-intersect: wrote %s\n", path.c_str());
        }
    };
    if (!csvPath.empty()) put(csvPath, intersectionsCsv(set, an));
    if (!samplesPath.empty()) put(samplesPath, samplesCsv(mcResult));
    if (!outputs.empty()) {
        render::DrawingOptions dopt;
        render::IntersectionMarks& im = dopt.figure.intersections;
        const intersect::Scatter& s = monteCarlo ? mcResult.scatter : an.scatter;
        im.shown = true;
        im.x = s.mean.x;
        im.y = s.mean.y;
        im.varX = s.varX;
        im.varY = s.varY;
        im.covXY = s.covXY;
        for (int n : an.used) {
            const intersect::Point p = an.intersections[static_cast<std::size_t>(n)].at;
            im.points.push_back({p.x, p.y});
        }
        im.text = unitsOf(set, src).point(s.mean.x, s.mean.y);
        if (monteCarlo) im.text += " (Monte Carlo)";
        render::SummaryReactions summary;
        const bool haveSummary = !summaryPath.empty() && render::readSummaryReactions(summaryPath, plotPath, summary).ok();
        render::Provenance provenance;
        provenance.program = std::string("pelkam-intersect ") + PELKAM_VERSION;
        provenance.date = render::isoDateNow();
        if (!dbPath.empty())
            if (core::Status st = render::describeDatabase(dbPath, provenance); !st) return fail(st);
        render::Drawing d;
        if (core::Status st = render::makeDrawing(plot, plotPath, haveSummary ? &summary : nullptr, dopt, d); !st)
            return fail(st);
        for (const std::string& o : outputs) {
            std::string bytes;
            core::Status st;
            switch (formatOf(o)) {
                case Format::Svg: bytes = render::figureToSvg(d.figure, provenance); break;
                case Format::Dxf: bytes = render::figureToDxf(d.figure, provenance); break;
                case Format::Pdf: st = render::figureToPdf(d.figure, provenance, bytes); break;
                case Format::Png: st = render::figureToPng(d.figure, provenance, dpi, bytes); break;
                case Format::Unknown: break;
            }
            if (!st) {
                st.file = o;
                fail(st);
                status = 1;
                continue;
            }
            put(o, bytes);
        }
    }
    return status;
}
