#include "io/plot_reader.hpp"

#include <array>
#include <span>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/plot_layout.hpp"
#include "io/streams.hpp"

namespace io {
namespace {

constexpr int kUnit = 1;  // the reader's own stream table has this one unit
constexpr int kMaxLabelsPerCurve = 2 * calc::kMaxCurvePoints;

class Reader {
public:
    Reader(std::string_view path, PlotFileContents& out) : path_(path), out_(out) {}

    core::Status run() {
        if (int e = st_.open(kUnit, path_, OpenMode::Existing); e != 0) {
            core::Status s = core::Status::error("cannot open the plot file", "open status " + std::to_string(e));
            s.file = path_;
            return s;
        }
        if (core::Status s = header(); !s) return s;
        for (;;) {
            std::string line;
            core::ReadOutcome r = st_.readLine(kUnit, line);
            if (r.result == core::ReadResult::EndOfFile) break;
            if (!r.done()) return failure("unreadable plot file record", r);
            if (core::Status s = curve(line); !s) return s;
        }
        return core::Status::success();
    }

private:
    core::Status failure(const std::string& what, const core::ReadOutcome& r, std::string why = {}) {
        core::Status s = core::Status::error(what, std::move(why));
        s.file = path_;
        s.line = r.record > 0 ? r.record : st_.lineNumber(kUnit);
        s.field = r.field;
        s.value = r.text;
        if (r.result == core::ReadResult::EndOfFile && s.why.empty()) s.why = "the file ends here";
        return s;
    }
    core::Status failureAt(const std::string& what, int line, int field, std::string value, std::string why) {
        core::Status s = core::Status::error(what, std::move(why));
        s.file = path_;
        s.line = line;
        s.field = field;
        s.value = std::move(value);
        return s;
    }

    core::Status read(const core::Layout& layout, std::initializer_list<core::Target> targets,
                         const char* what) {
        core::ReadOutcome r =
            st_.read_record(kUnit, layout, std::span<const core::Target>(targets.begin(), targets.size()));
        if (!r.done()) return failure(what, r);
        return core::Status::success();
    }

    core::Status count(int& n, int most, const char* what) {
        if (core::Status s = read(plotRecords().count, {&n}, what); !s) return s;
        if (n < 0 || n > most)
            return failureAt(what, st_.lineNumber(kUnit), 1, std::to_string(n),
                             "must lie between 0 and " + std::to_string(most));
        return core::Status::success();
    }

    core::Status lines(int n, std::vector<std::string>& into, const char* what) {
        into.clear();
        for (int i = 0; i < n; ++i) {
            std::string line;
            core::ReadOutcome r = st_.readLine(kUnit, line);
            if (!r.done()) return failure(what, r);
            into.push_back(std::string(core::rtrim(line)));
        }
        return core::Status::success();
    }

    core::Status header() {
        const PlotRecords& L = plotRecords();
        std::string id;
        if (core::Status s = read(L.identifier, {core::TextTarget{&id, 16}, &out_.version},
                                     "unreadable plot file identifier");
            !s)
            return s;
        if (core::rtrim(id) != kPlotFileIdentifier)
            return failureAt("not a plot file", 1, 1, std::string(core::rtrim(id)),
                             std::string("the first record must begin with ") + kPlotFileIdentifier);
        if (out_.version != kPlotFileVersion)
            return failureAt("unknown plot file version", 1, 2, std::to_string(out_.version),
                             "this reader knows version " + std::to_string(kPlotFileVersion));
        std::string name;
        if (core::Status s =
                read(L.diagram, {&out_.diagramType, core::TextTarget{&name, 10}}, "unreadable diagram type");
            !s)
            return s;
        out_.diagramName = std::string(core::rtrim(name));
        switch (out_.diagramType) {
            case calc::kPT:
            case calc::kTX:
            case calc::kPX:
            case calc::kActT:
            case calc::kActP:
            case calc::kActAct: break;
            default:
                return failureAt("unknown diagram type", st_.lineNumber(kUnit), 1, std::to_string(out_.diagramType),
                                 "must be 0, 1, 2, 4, 5 or 6");
        }
        calc::PlotWindow& w = out_.window;
        if (core::Status s = read(L.window, {&w.xmin, &w.xmax, &w.ymin, &w.ymax}, "unreadable window"); !s)
            return s;
        if (core::Status s = read(L.lengths, {&out_.width, &out_.height}, "unreadable plot lengths"); !s)
            return s;
        std::string y, x, third;
        if (core::Status s = read(L.titles,
                                     {core::TextTarget{&y, 12}, core::TextTarget{&x, 12},
                                      core::TextTarget{&third, 12}},
                                     "unreadable axis titles");
            !s)
            return s;
        out_.titles = {y, x, third};
        int nx = 0, ny = 0;
        if (core::Status s = read(L.twoCounts, {&nx, &ny}, "unreadable axis-label line counts"); !s) return s;
        for (int k = 0; k < 2; ++k) {
            const int n = k == 0 ? nx : ny;
            if (n < 0 || n > kMaxAxisLabelLines)
                return failureAt("unreadable axis-label line counts", st_.lineNumber(kUnit), k + 1, std::to_string(n),
                                 "must lie between 0 and " + std::to_string(kMaxAxisLabelLines));
        }
        if (core::Status s = lines(nx, out_.xLabel, "missing x-axis label line"); !s) return s;
        if (core::Status s = lines(ny, out_.yLabel, "missing y-axis label line"); !s) return s;
        int nl = 0;
        if (core::Status s = count(nl, kMaxCopiedLabelLines, "unreadable count of label lines"); !s) return s;
        if (core::Status s = lines(nl, out_.labelLines, "missing label line"); !s) return s;
        int water = 0;
        if (core::Status s = count(water, 1, "unreadable water-curve flag"); !s) return s;
        out_.waterCurveAfterFirst = water == 1;
        return core::Status::success();
    }

    core::Status curve(const std::string& headerLine) {
        const PlotRecords& L = plotRecords();
        const int line = st_.lineNumber(kUnit);
        int nLabels = 0, nPoints = 0;
        std::array<core::Target, 2> t{&nLabels, &nPoints};
        core::ReadOutcome r = core::read_text(headerLine, L.curveHeader, t);
        if (!r.done()) {
            r.record = line;
            return failure("unreadable curve header", r);
        }
        const std::string_view tail =
            headerLine.size() > 10 ? core::rtrim(std::string_view(headerLine).substr(10)) : std::string_view();
        if (tail != kCurveHeaderTail)
            return failureAt("unreadable curve header", line, 3, std::string(tail),
                             std::string("columns 11 to 30 must read \"") + kCurveHeaderTail + "\"");
        PlotCurveRecord c;
        c.line = line;
        c.waterCurve = out_.waterCurveAfterFirst && out_.curves.size() == 1;
        const int most = c.waterCurve ? calc::kMaxWaterCurvePoints : calc::kMaxCurvePoints;
        if (nPoints < 0 || nPoints > most)
            return failureAt("unreadable curve header", line, 2, std::to_string(nPoints),
                             "the point count must lie between 0 and " + std::to_string(most));
        if (nLabels < 0 || nLabels > kMaxLabelsPerCurve || (c.waterCurve && nLabels != 0))
            return failureAt("unreadable curve header", line, 1, std::to_string(nLabels),
                             c.waterCurve ? "the water curve has no labels"
                                          : "the label count must lie between 0 and " +
                                                std::to_string(kMaxLabelsPerCurve));

        // Points: x, y and flag, seven to a record.
        c.points.resize(static_cast<std::size_t>(nPoints));
        std::vector<int> flags(static_cast<std::size_t>(nPoints));
        std::vector<core::Target> targets;
        targets.reserve(static_cast<std::size_t>(3 * nPoints));
        for (int i = 0; i < nPoints; ++i) {
            calc::CurvePoint& p = c.points[static_cast<std::size_t>(i)];
            targets.push_back(&p.x);
            targets.push_back(&p.y);
            targets.push_back(&flags[static_cast<std::size_t>(i)]);
        }
        if (nPoints > 0) {
            const core::Layout& pl =
                c.waterCurve || out_.diagramType == calc::kActAct ? L.activityPoints : L.points;
            r = st_.read_record(kUnit, pl, targets);
            if (!r.done()) {
                if (r.field > 0) r.field = (r.field - 1) % 21 + 1;  // the field within its record
                return failure("unreadable curve point", r);
            }
        }
        for (int i = 0; i < nPoints; ++i) {
            const int f = flags[static_cast<std::size_t>(i)];
            if (f != calc::kContinues && f != calc::kNewStretch)
                return failureAt("unreadable curve point", line + 1 + i / 7, 3 * (i % 7) + 3, std::to_string(f),
                                 "the flag must be 2 or 3");
            c.points[static_cast<std::size_t>(i)].flag = static_cast<short>(f);
        }

        // Labels: position, height and angle, then the text from column 46.
        for (int k = 0; k < nLabels; ++k) {
            std::string text;
            r = st_.readLine(kUnit, text);
            if (!r.done()) return failure("missing label record", r);
            PlotLabelRecord lb;
            std::array<core::Target, 4> lt{&lb.x, &lb.y, &lb.height, &lb.angle};
            r = core::read_text(text, L.label, lt);
            if (!r.done()) {
                r.record = st_.lineNumber(kUnit);
                return failure("unreadable label record", r);
            }
            if (text.size() <= static_cast<std::size_t>(kLabelTextColumn))
                return failureAt("unreadable label record", st_.lineNumber(kUnit), 5, "", "the label has no text");
            lb.text = text.substr(kLabelTextColumn);
            c.labels.push_back(std::move(lb));
        }
        out_.curves.push_back(std::move(c));
        return core::Status::success();
    }

    std::string path_;
    PlotFileContents& out_;
    Streams st_;
};

}  // namespace

core::Status readPlotFile(std::string_view path, PlotFileContents& out) {
    out = PlotFileContents{};
    Reader reader(path, out);
    return reader.run();
}

}  // namespace io
