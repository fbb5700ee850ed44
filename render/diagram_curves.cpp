#include "render/diagram_curves.hpp"

#include <cmath>
#include <array>
#include <cstdlib>

#include "core/layout.hpp"
#include "core/text.hpp"

namespace render {
namespace {

bool isInteger(std::string_view s, int& value) {
    s = core::trim(s);
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    value = std::atoi(std::string(s).c_str());
    return true;
}

core::Status geometryError(const std::string& path, int line, int field, const std::string& value,
                              const std::string& why) {
    core::Status s = core::Status::error("the plot file cannot be drawn", why);
    s.file = path;
    s.line = line;
    s.field = field;
    s.value = value;
    return s;
}

const core::Layout& noteLayout() {
    static const core::Layout l{"(4F10.3)"};
    return l;
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace

std::vector<Stretch> stretchesOf(const std::vector<calc::CurvePoint>& points) {
    std::vector<Stretch> out;
    for (int i = 0; i < static_cast<int>(points.size()); ++i) {
        if (i == 0 || points[static_cast<std::size_t>(i)].flag == calc::kNewStretch) out.push_back({i, i});
        else out.back().last = i;
    }
    return out;
}

std::vector<std::string> phasesOf(const std::string& reaction) {
    std::vector<std::string> out;
    std::string_view r = reaction;
    std::size_t from = 0;
    while (from <= r.size()) {
        std::size_t to = r.find_first_of("+=", from);
        if (to == std::string_view::npos) to = r.size();
        std::string_view term = core::trim(r.substr(from, to - from));
        // Drop a leading coefficient ("2", "0.5", "1/2").
        std::size_t sp = term.find(' ');
        if (sp != std::string_view::npos &&
            term.substr(0, sp).find_first_not_of("0123456789./") == std::string_view::npos)
            term = core::trim(term.substr(sp + 1));
        if (!term.empty()) {
            bool seen = false;
            for (const std::string& p : out) seen = seen || p == term;
            if (!seen) out.emplace_back(term);
        }
        from = to + 1;
    }
    return out;
}

core::Status describeDiagram(const io::PlotFileContents& plot, const std::string& plotPath,
                                const SummaryReactions* summary, DiagramDescription& out) {
    out = DiagramDescription{};
    const calc::PlotWindow& w = plot.window;
    // Lines of the header records (docs/plot-file.md): the window is line 3,
    // the plot lengths line 4.
    const double win[4] = {w.xmin, w.xmax, w.ymin, w.ymax};
    for (int k = 0; k < 4; ++k)
        if (!std::isfinite(win[k])) return geometryError(plotPath, 3, k + 1, number(win[k]), "not a number");
    if (!(w.xmax > w.xmin))
        return geometryError(plotPath, 3, 2, number(w.xmax), "the window's xmax must exceed its xmin");
    if (!(w.ymax > w.ymin))
        return geometryError(plotPath, 3, 4, number(w.ymax), "the window's ymax must exceed its ymin");
    if (!(plot.width > 0) || !std::isfinite(plot.width))
        return geometryError(plotPath, 4, 1, number(plot.width), "the plot length W must be positive");
    if (!(plot.height > 0) || !std::isfinite(plot.height))
        return geometryError(plotPath, 4, 2, number(plot.height), "the plot length H must be positive");

    // Label lines of the header come in pairs: "    1", then the text record.
    const int firstNoteLine = 7 + static_cast<int>(plot.xLabel.size() + plot.yLabel.size()) + 1;
    for (std::size_t i = 0; i < plot.labelLines.size(); ++i) {
        const std::string& l = plot.labelLines[i];
        if (core::trim(l) == "1" || core::trim(l).empty()) continue;
        NoteLabel note;
        note.line = firstNoteLine + static_cast<int>(i);
        io::PlotLabelRecord& r = note.record;
        std::array<core::Target, 4> t{&r.x, &r.y, &r.height, &r.angle};
        core::ReadOutcome rd = core::read_text(l, noteLayout(), t);
        if (!rd.done() || !std::isfinite(r.x) || !std::isfinite(r.y) || !std::isfinite(r.height) ||
            !std::isfinite(r.angle)) {
            core::Status s = core::Status::error("unreadable label line", "expected x, y, height, angle, text");
            s.file = plotPath;
            s.line = note.line;
            s.field = rd.field;
            s.value = rd.text;
            return s;
        }
        r.text = l.size() > 45 ? std::string(core::rtrim(l.substr(45))) : std::string();
        if (!core::trim(r.text).empty()) out.notes.push_back(std::move(note));
    }

    int reactionCurves = 0, numberStyle = 0, textStyle = 0, otherStyle = 0;
    for (std::size_t i = 0; i < plot.curves.size(); ++i) {
        const io::PlotCurveRecord& c = plot.curves[i];
        for (std::size_t p = 0; p < c.points.size(); ++p)
            if (!std::isfinite(c.points[p].x) || !std::isfinite(c.points[p].y))
                return geometryError(plotPath, c.line + 1 + static_cast<int>(p) / 7, 3 * static_cast<int>(p % 7) + 1,
                                     number(c.points[p].x), "a curve point is not a number");
        for (const io::PlotLabelRecord& l : c.labels)
            if (!std::isfinite(l.x) || !std::isfinite(l.y) || !std::isfinite(l.angle) || !std::isfinite(l.height) ||
                l.height < 0)
                return geometryError(plotPath, c.line, 1, l.text, "a label of this curve has no usable position");
        CurveDescription d;
        d.index = static_cast<int>(i);
        d.water = c.waterCurve;
        d.stretches = stretchesOf(c.points);
        d.labelStretch.assign(c.labels.size(), -1);
        if (!d.water) {
            ++reactionCurves;
            std::vector<int> drawn;  // stretches of two or more points
            for (int s = 0; s < static_cast<int>(d.stretches.size()); ++s)
                if (d.stretches[static_cast<std::size_t>(s)].size() >= 2) drawn.push_back(s);
            const std::size_t nl = c.labels.size(), ns = drawn.size();
            int n = 0;
            bool allNumbers = nl > 0;
            for (const io::PlotLabelRecord& l : c.labels) allNumbers = allNumbers && isInteger(l.text, n);
            if (ns > 0 && nl == ns && allNumbers) {
                ++numberStyle;
                for (std::size_t k = 0; k < nl; ++k) d.labelStretch[k] = drawn[k];
                isInteger(c.labels[0].text, d.number);
            } else if (ns > 0 && nl == 2 * ns) {
                ++textStyle;
                for (std::size_t k = 0; k < nl; ++k) d.labelStretch[k] = drawn[k / 2];
                d.reaction = std::string(core::trim(c.labels[0].text)) + " = " +
                             std::string(core::trim(c.labels[1].text));
            } else if (nl > 0) {
                ++otherStyle;
            }
        }
        out.curves.push_back(std::move(d));
    }
    if (numberStyle > 0 && textStyle == 0 && otherStyle == 0) out.style = LabelStyle::CurveNumber;
    else if (otherStyle > 0 || (numberStyle > 0 && textStyle > 0)) out.style = LabelStyle::Other;

    // Curve numbers: the summary's listing in order when it has as many
    // curves as the plot file; else the label of a numbered curve, else the
    // count of curves so far.
    const bool summaryInOrder = summary != nullptr && static_cast<int>(summary->curves.size()) == reactionCurves;
    int k = 0, last = 0;
    for (CurveDescription& d : out.curves) {
        if (d.water) continue;
        if (summaryInOrder) d.number = summary->curves[static_cast<std::size_t>(k)].number;
        else if (out.style != LabelStyle::CurveNumber || d.number <= 0) d.number = last + 1;
        last = d.number;
        ++k;
        if (summary != nullptr) {
            if (summaryInOrder) {
                d.reaction = summary->curves[static_cast<std::size_t>(k - 1)].reaction;
                out.reactionsFromSummary = true;
            } else if (const std::string* r = summary->reactionOf(d.number)) {
                d.reaction = *r;
                out.reactionsFromSummary = true;
            }
        }
        if (out.style == LabelStyle::CurveNumber && !out.reactionsFromSummary) d.reaction.clear();
    }
    return core::Status::success();
}

}  // namespace render
