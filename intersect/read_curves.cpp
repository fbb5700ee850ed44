#include "intersect/read_curves.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "core/layout.hpp"
#include "io/provenance.hpp"
#include "core/text.hpp"
#include "render/diagram_curves.hpp"
#include "render/summary_reactions.hpp"

namespace intersect {
namespace {

namespace fs = std::filesystem;

// A reaction text fills at most 120 characters; one that reaches the end
// may have been cut.
constexpr std::size_t kReactionTextLength = 120;

core::Status readLines(const std::string& path, const char* what, std::vector<std::string>& lines) {
    lines.clear();
    std::ifstream in(path);
    if (!in) {
        std::error_code ec;
        core::Status s = core::Status::error(std::string("cannot open the ") + what,
                                                   fs::exists(path, ec) ? "not readable" : "no such file");
        s.file = path;
        return s;
    }
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(std::move(l));
    }
    return core::Status::success();
}

bool isNumber(std::string_view t, double& v) {
    if (t.empty() || t.find_first_not_of("0123456789./") != std::string_view::npos) return false;
    const std::string s(t);
    const std::size_t slash = s.find('/');
    char* end = nullptr;
    if (slash != std::string::npos) {
        const double a = std::strtod(s.substr(0, slash).c_str(), &end);
        const double b = std::strtod(s.substr(slash + 1).c_str(), &end);
        v = a / b;
    } else {
        v = std::strtod(s.c_str(), &end);
    }
    return std::isfinite(v) && v > 0;
}

// The run's restart records: phase names of the rows, the rows, and the
// plot option.
struct RestartRows {
    std::vector<std::string> phases;
    std::vector<std::vector<double>> rows;
    int firstRowLine = 0;
    bool stabilityKnown = false, stableOnly = true;
};

core::Status readRestartRows(const std::string& path, RestartRows& out) {
    std::vector<std::string> lines;
    if (core::Status s = readLines(path, "restart file", lines); !s) return s;
    // Per-phase records (code, activity, name): code 1 phases are not in the
    // run; code 4 phases (tested only) follow the others in the rows.
    static const std::regex phaseRecord(R"(^([0-5])[ 0-9.D+-]{12}     (.+)$)");
    std::vector<std::string> main, tested;
    std::size_t rowsFrom = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        std::smatch m;
        if (rowsFrom == 0 && std::regex_match(l, m, phaseRecord)) {
            const std::string name(core::trim(m[2].str()));
            if (m[1] == "4") tested.push_back(name);
            else if (m[1] != "1") main.push_back(name);
        }
        if (l.find("ONLY STABL REACT Y/N") != std::string::npos && !l.empty()) {
            out.stabilityKnown = true;
            out.stableOnly = l[0] != 'N';
        }
        if (l.size() > 26 && (l.find("USE ABBREVIATIONS") == 26 || l.find("USE FULL NAMES") == 26)) rowsFrom = i + 1;
    }
    out.phases = main;
    out.phases.insert(out.phases.end(), tested.begin(), tested.end());
    const std::size_t n = out.phases.size();
    if (n == 0 || rowsFrom == 0) return core::Status::success();
    out.firstRowLine = static_cast<int>(rowsFrom) + 1;
    static const core::Layout rowLayout("(16F8.1)");
    const std::size_t perRow = (n + 15) / 16;
    for (std::size_t i = rowsFrom; i < lines.size(); i += perRow) {
        if (io::isProvenanceRecord(lines[i]) || core::isBlank(lines[i])) break;
        std::vector<double> row(n, 0.0);
        std::vector<core::Target> targets;
        for (double& v : row) targets.push_back(&v);
        std::vector<std::string> rec(lines.begin() + static_cast<std::ptrdiff_t>(i),
                                     lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), i + perRow)));
        const core::ReadOutcome r = core::read_text(rec, rowLayout, targets);
        if (!r.done()) {
            core::Status s = core::Status::error("unreadable row of calculated reactions in the restart file",
                                                       "expected 16F8.1 coefficients");
            s.file = path;
            s.line = static_cast<int>(i) + r.record;
            s.field = r.field;
            s.value = r.text;
            return s;
        }
        out.rows.push_back(std::move(row));
    }
    return core::Status::success();
}

// Whether the summary says that the run drew metastable stretches too.
void summaryStability(const std::string& path, bool& known, bool& stableOnly) {
    std::vector<std::string> lines;
    if (!readLines(path, "summary file", lines)) return;
    for (const std::string& l : lines) {
        if (l.find("META-STABLE PORTIONS OF CURVES ARE NOT PRINTED") != std::string::npos) {
            known = true;
        } else if (l.find("META-STABLE PORTIONS OF CURVES ARE OUTPUT") != std::string::npos) {
            known = true;
            stableOnly = false;
            return;
        }
    }
}

}  // namespace

bool parseReactionText(std::string_view text, std::vector<std::pair<std::string, double>>& terms) {
    terms.clear();
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) return false;
    for (int side = 0; side < 2; ++side) {
        std::string_view s = side == 0 ? text.substr(0, eq) : text.substr(eq + 1);
        int count = 0;
        std::size_t from = 0;
        while (from <= s.size()) {
            std::size_t to = s.find('+', from);
            if (to == std::string_view::npos) to = s.size();
            std::string_view term = core::trim(s.substr(from, to - from));
            from = to + 1;
            if (term.empty()) return false;
            double c = 1;
            const std::size_t sp = term.find(' ');
            if (sp != std::string_view::npos && isNumber(term.substr(0, sp), c)) term = core::trim(term.substr(sp + 1));
            if (term.empty()) return false;
            const std::string name(term);
            bool merged = false;
            for (auto& [n, v] : terms)
                if (n == name) {
                    v += side == 0 ? -c : c;
                    merged = true;
                }
            if (!merged) terms.emplace_back(name, side == 0 ? -c : c);
            ++count;
        }
        if (count == 0) return false;
    }
    return true;
}

std::string summaryBeside(const std::string& plotPath) {
    const fs::path p(plotPath);
    std::error_code ec;
    fs::path sum = p;
    sum.replace_extension(".sum");
    if (sum != p && fs::is_regular_file(sum, ec)) return sum.string();
    const fs::path dat = p.parent_path() / "summary.dat";
    if (fs::is_regular_file(dat, ec)) return dat.string();
    return {};
}

core::Status curvesOfPlot(const io::PlotFileContents& plot, const std::string& plotPath,
                             const std::string& summaryPath, const std::string& restartPath, CurveSet& out,
                             CurveSources& src) {
    out = CurveSet{};
    src = CurveSources{};
    src.plotFile = plotPath;
    src.summaryFile = summaryPath;
    src.restartFile = restartPath;
    src.diagramType = plot.diagramType;
    src.diagramName = plot.diagramName;
    src.xTitle = std::string(core::trim(plot.titles.x));
    src.yTitle = std::string(core::trim(plot.titles.y));

    render::SummaryReactions summary;
    if (!summaryPath.empty()) {
        if (core::Status s = render::readSummaryReactions(summaryPath, plotPath, summary); !s) return s;
        summaryStability(summaryPath, src.stabilityKnown, src.stableOnly);
        if (summary.curves.empty()) src.notes.push_back("the summary file " + summaryPath + " lists no plotted reaction");
    }
    RestartRows restart;
    if (!restartPath.empty()) {
        if (core::Status s = readRestartRows(restartPath, restart); !s) return s;
        if (!src.stabilityKnown && restart.stabilityKnown) {
            src.stabilityKnown = true;
            src.stableOnly = restart.stableOnly;
        }
    }
    render::DiagramDescription d, byLabels;
    if (core::Status s = render::describeDiagram(plot, plotPath, nullptr, byLabels); !s) return s;
    d = byLabels;
    if (!summaryPath.empty()) {
        if (core::Status s = render::describeDiagram(plot, plotPath, &summary, d); !s) return s;
        // A summary of another run (or of another plot file of a batch) is
        // told by reactions that differ from the labels: the signed
        // coefficients are compared, so that full names and abbreviations
        // compare alike.
        std::vector<std::pair<std::string, double>> a, b;
        for (std::size_t k = 0; k < d.curves.size() && k < byLabels.curves.size(); ++k) {
            if (d.curves[k].water || !parseReactionText(byLabels.curves[k].reaction, a) ||
                !parseReactionText(d.curves[k].reaction, b))
                continue;
            // The labels may give the reaction the other way round.
            auto sameUpToSign = [&](double sign) {
                std::vector<double> ca, cb;
                for (const auto& t : a) ca.push_back(sign * t.second);
                for (const auto& t : b) cb.push_back(t.second);
                std::sort(ca.begin(), ca.end());
                std::sort(cb.begin(), cb.end());
                bool same = ca.size() == cb.size();
                for (std::size_t i = 0; same && i < ca.size(); ++i) same = std::fabs(ca[i] - cb[i]) < 1e-3;
                return same;
            };
            if (sameUpToSign(1) || sameUpToSign(-1)) continue;
            src.notes.push_back("the reactions of the summary file " + summaryPath +
                                " are not those of the plot file's labels (curve " + std::to_string(d.curves[k].number) +
                                ": \"" + d.curves[k].reaction + "\"): the labels are used");
            d = byLabels;
            break;
        }
    }
    if (!src.stabilityKnown)
        src.notes.push_back("no summary or restart file says whether the run kept its stable stretches only: "
                            "every stretch is taken as stable");

    out.window = {plot.window.xmin, plot.window.xmax, plot.window.ymin, plot.window.ymax};
    for (const render::CurveDescription& c : d.curves) {
        if (c.water) continue;
        Curve curve;
        curve.number = c.number;
        curve.reaction = c.reaction;
        const auto& pts = plot.curves[static_cast<std::size_t>(c.index)].points;
        for (const render::Stretch& s : c.stretches) {
            Stretch st;
            st.stable = src.stableOnly;
            for (int i = s.first; i <= s.last; ++i)
                st.points.push_back({pts[static_cast<std::size_t>(i)].x, pts[static_cast<std::size_t>(i)].y});
            curve.stretches.push_back(std::move(st));
        }
        out.curves.push_back(std::move(curve));
    }

    // Coefficients from the reaction texts, when every curve has one that is whole.
    bool texts = !out.curves.empty();
    std::vector<std::vector<std::pair<std::string, double>>> terms(out.curves.size());
    for (std::size_t k = 0; k < out.curves.size() && texts; ++k) {
        const std::string& r = out.curves[k].reaction;
        texts = !r.empty() && core::rtrim(r).size() < kReactionTextLength - 1 && parseReactionText(r, terms[k]);
    }
    if (texts) {
        for (const auto& t : terms)
            for (const auto& [name, c] : t)
                if (std::find(out.phases.begin(), out.phases.end(), name) == out.phases.end()) out.phases.push_back(name);
        for (std::size_t k = 0; k < out.curves.size(); ++k) {
            std::vector<double>& v = out.curves[k].coefficients;
            v.assign(out.phases.size(), 0.0);
            for (const auto& [name, c] : terms[k])
                v[static_cast<std::size_t>(std::find(out.phases.begin(), out.phases.end(), name) - out.phases.begin())] = c;
        }
        src.coefficientsFrom = d.reactionsFromSummary ? "summary" : "plot labels";
        return core::Status::success();
    }
    if (!restartPath.empty() && !restart.rows.empty() && restart.rows.size() == out.curves.size()) {
        out.phases = restart.phases;
        for (std::size_t k = 0; k < out.curves.size(); ++k) out.curves[k].coefficients = restart.rows[k];
        src.coefficientsFrom = "restart file";
        return core::Status::success();
    }
    if (!restartPath.empty() && restart.rows.size() != out.curves.size())
        src.notes.push_back("the restart file " + restartPath + " has " + std::to_string(restart.rows.size()) +
                            " rows of calculated reactions for " + std::to_string(out.curves.size()) +
                            " plotted curves: its rows cannot be matched to the curves");
    src.notes.push_back("the reactions' coefficients are not known (give the run's summary file): intersections of "
                        "dependent reactions cannot be told apart and are all counted");
    return core::Status::success();
}

core::Status readCurves(const std::string& plotPath, const std::string& summaryPath,
                           const std::string& restartPath, CurveSet& out, CurveSources& sources) {
    io::PlotFileContents plot;
    {
        std::error_code ec;
        if (!fs::is_regular_file(plotPath, ec)) {
            core::Status s = core::Status::error("cannot open the plot file",
                                                       fs::exists(plotPath, ec) ? "not a file" : "no such file");
            s.file = plotPath;
            return s;
        }
    }
    if (core::Status s = io::readPlotFile(plotPath, plot); !s) return s;
    return curvesOfPlot(plot, plotPath, summaryPath, restartPath, out, sources);
}

std::pair<std::string, int> restartCompositionFile(std::span<const std::string> lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() >= 45 && l.compare(45, 21, "FILE OF MINERAL COMPS") == 0)
            return {std::string(core::trim(l.substr(0, 40))), static_cast<int>(i) + 1};
        // A name longer than its 40 columns pushes the comment to the right.
        const std::size_t at = l.find("     FILE OF MINERAL COMPS");
        if (at != std::string::npos && at >= 40) return {std::string(core::trim(l.substr(0, at))), static_cast<int>(i) + 1};
    }
    return {"", 0};
}

}  // namespace intersect
