// The plot file and the curve listing of the master output.
//
// Plot file (docs/plot-file.md has every layout): a header that lets a
// plotting program draw the file on its own, then per plotted curve a header
// record (label count, point count), the points seven to a line with the flag
// 2 (line continues) or 3 (new stretch), and the label records.  On a P-T
// diagram the liquid-vapour curve of water, in dashes, follows the first
// curve of the file.
//
// Labels: each stretch of two or more points carries the two sides of the
// reaction (one on either side of the curve, each on the side where its
// assemblage is stable) or the curve number.  The text is centred on an
// anchor point of the stretch and laid along the curve; positions are worked
// out in plot units (the plot lengths W and H) and written in data units.
//
// Listing: the reaction, its property sums, the axis titles, and the points
// of every stretch in three columns.
#include "io/plot_writer.hpp"


#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "model/activity.hpp"

namespace io {
namespace {

using core::Value;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// --- record layouts of the listing -------------------------------------------------

struct Layouts {
    // Listing.
    core::Layout reaction{"('1  REACTION: ',A120)"};
    core::Layout properties{"(4(A,G16.10,:,11X))"};
    core::Layout sodium{"('  MOLE FRACTION OF NACL IN THE FLUID IS: ',F10.7)"};
    core::Layout axisTitles{"(/,3A14)"};
    core::Layout axisDefinition{"(A,A100)"};
    core::Layout row{"(1X,3(F10.2,2X,F10.5,:,5X))"};
    core::Layout activityRow{"(1X,3(F10.5,2X,F10.5,2X,F7.2,:,5X))"};
    core::Layout curveNumber{"(' THIS CURVE IS NUMBER ',I6)"};
};

const Layouts& layouts() {
    static const Layouts l;
    return l;
}

constexpr std::size_t kRuleLength = 125;
constexpr std::size_t kBoxIndent = 40;

bool isActivityDiagram(int type) {
    return type == calc::kActT || type == calc::kActP || type == calc::kActAct;
}

// The lines of an axis label: split at line ends, without trailing blanks,
// each at most kAxisLabelWidth long; trailing empty lines are dropped.
int axisLabelLines(std::string_view text, std::array<std::string, kMaxAxisLabelLines>& lines) {
    int n = 0;
    int lastUsed = 0;
    while (n < kMaxAxisLabelLines) {
        const std::size_t end = text.find('\n');
        std::string_view line = core::rtrim(text.substr(0, end));
        lines[at(n)] = std::string(line.substr(0, kAxisLabelWidth));
        ++n;
        if (!line.empty()) lastUsed = n;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lastUsed;
}

}  // namespace

const PlotRecords& plotRecords() {
    static const PlotRecords r;
    return r;
}

std::string labelNumber(double value) {
    return std::string(core::trim(core::formatInteger(static_cast<long long>(std::lround(value)), 6)));
}

HeaderAxisLabels headerAxisLabels(const calc::DiagramOptions& o, std::string_view xAxisText,
                                  std::string_view yAxisText) {
    const std::string tLabel = "Temperature (C)", pLabel = "Pressure (bar)";
    HeaderAxisLabels l;
    switch (o.diagramType) {
        case calc::kPT: l = {tLabel, pLabel}; break;
        case calc::kTX: l = {"Mole fraction CO2 " + labelNumber(o.pMin) + " bar", tLabel}; break;
        case calc::kPX: l = {"Mole fraction CO2 " + labelNumber(o.tMin) + " C  ", pLabel}; break;
        default: {
            // Activity axes: " Log a(phase) : condition"; the other axis of an
            // activity-T or activity-P diagram is labelled on the next line.
            // These labels keep their whole length (the phase text may be long).
            const std::string pCond = o.saturationChoice == 1   ? "P(sat)"
                                      : o.saturationChoice == 2 ? "P(geo) "
                                                                : labelNumber(o.pMin) + " bar";
            const std::string tCond = o.saturationChoice == 1   ? "T(sat)"
                                      : o.saturationChoice == 2 ? "T(geo) "
                                                                : labelNumber(o.tMin) + " C";
            const std::string cond = o.diagramType == calc::kActP   ? tCond
                                     : o.diagramType == calc::kActT ? pCond
                                                                    : pCond + ", " + labelNumber(o.tMin) + " C";
            l.x = " Log a(" + std::string(core::trim(xAxisText)) + ")" + " : " + cond;
            if (o.diagramType == calc::kActAct) l.y = " Log a(" + std::string(core::trim(yAxisText)) + ")" + " : " + cond;
            else l.y = o.diagramType == calc::kActT ? tLabel : "Pressure (bars)";
            return l;
        }
    }
    l.x = core::pad(l.x, 27);
    l.y = core::pad(l.y, 27);
    return l;
}

PlotHeaderTexts plotHeaderTexts(const calc::DiagramOptions& options, std::string_view xAxisText,
                                std::string_view yAxisText) {
    const HeaderAxisLabels l = headerAxisLabels(options, xAxisText, yAxisText);
    return PlotHeaderTexts{std::string(core::rtrim(l.x)), std::string(core::rtrim(l.y))};
}

AxisTitles axisTitlesOf(int diagramType) {
    const std::string blank(12, ' ');
    switch (diagramType) {
        case calc::kPT: return {"   P(bars)  ", "   T(C)     ", blank};
        case calc::kTX: return {"    T(C)    ", " X(H2O-CO2) ", blank};
        case calc::kPX: return {"   P(bars)  ", " X(H2O-CO2) ", blank};
        case calc::kActT: return {"    T(C)    ", "Log Activity", "  P (bars)  "};
        case calc::kActP: return {"   P(bars)  ", "Log Activity", "   T(C)     "};
        case calc::kActAct: return {"Log Activity", "Log Activity", blank};
        default: return {blank, blank, blank};
    }
}

const char* diagramTypeName(int diagramType) {
    switch (diagramType) {
        case calc::kPT: return "P-T";
        case calc::kTX: return "T-xCO2";
        case calc::kPX: return "P-xCO2";
        case calc::kActT: return "Act-T";
        case calc::kActP: return "Act-P";
        case calc::kActAct: return "Act-Act";
        default: return "unknown";
    }
}

// --- the writer -------------------------------------------------------------------

PlotWriter::PlotWriter(Streams& streams, int plotUnit, int summaryUnit, const calc::DiagramOptions& settings,
                       const model::PhaseTable& phases, const calc::PhaseSelection& selection,
                       const model::SolutionModelSet* models, int activitiesUnit)
    : st_(streams),
      plotUnit_(plotUnit),
      summaryUnit_(summaryUnit),
      activitiesUnit_(activitiesUnit),
      rs_(settings),
      phases_(phases),
      sel_(selection),
      models_(models) {
    window_ = calc::plotWindow(rs_);
    waterCurvePending_ = calc::waterCurveWanted(rs_);
}

void PlotWriter::noteFailure(int unit, const char* what) {
    if (!status_.ok()) return;
    // The stream knows what went wrong (a value too wide for its field).
    const core::Status unitFailure = st_.unitFailure(unit);
    if (!unitFailure.ok()) {
        status_ = unitFailure;
        status_.what = std::string(what) + ": " + unitFailure.what;
        return;
    }
    status_ = core::Status::error(what, "write failed");
    status_.file = st_.name(unit);
    status_.line = st_.lineNumber(unit) + 1;
}

void PlotWriter::put(int unit, const core::Layout& layout, std::initializer_list<Value> values) {
    if (!st_.write_record(unit, layout, std::span<const Value>(values.begin(), values.size())))
        noteFailure(unit, unit == plotUnit_ ? "cannot write the plot file" : "cannot write the summary file");
}

void PlotWriter::putLine(int unit, std::string_view line) {
    if (!st_.writeLine(unit, line))
        noteFailure(unit, unit == plotUnit_ ? "cannot write the plot file" : "cannot write the summary file");
}

void PlotWriter::writeHeader(const PlotHeaderTexts& texts, int labelUnit) {
    const PlotRecords& L = plotRecords();
    window_ = calc::plotWindow(rs_);
    waterCurveWritten_ = false;
    waterCurvePending_ = calc::waterCurveWanted(rs_);
    double W, H;
    calc::plotLengths(rs_, W, H);

    put(plotUnit_, L.identifier, {std::string_view(kPlotFileIdentifier), static_cast<long long>(kPlotFileVersion)});
    put(plotUnit_, L.diagram,
        {static_cast<long long>(rs_.diagramType), std::string_view(diagramTypeName(rs_.diagramType))});
    put(plotUnit_, L.window, {window_.xmin, window_.xmax, window_.ymin, window_.ymax});
    put(plotUnit_, L.lengths, {W, H});
    const AxisTitles titles = axisTitlesOf(rs_.diagramType);
    put(plotUnit_, L.titles, {std::string_view(titles.y), std::string_view(titles.x), std::string_view(titles.third)});

    std::array<std::string, kMaxAxisLabelLines> xLines, yLines;
    const int nx = axisLabelLines(texts.xLabel, xLines);
    const int ny = axisLabelLines(texts.yLabel, yLines);
    put(plotUnit_, L.twoCounts, {static_cast<long long>(nx), static_cast<long long>(ny)});
    for (int i = 0; i < nx; ++i) put(plotUnit_, L.text, {std::string_view(xLines[at(i)])});
    for (int i = 0; i < ny; ++i) put(plotUnit_, L.text, {std::string_view(yLines[at(i)])});

    // The label records of the composition file, from the label scratch unit.
    std::array<std::string, kMaxCopiedLabelLines> copied;
    int nc = 0;
    if (labelUnit > 0 && st_.isOpen(labelUnit)) {
        st_.rewind(labelUnit);
        std::string line;
        while (nc < kMaxCopiedLabelLines && st_.readLine(labelUnit, line).done()) {
            if (line.size() > static_cast<std::size_t>(kCopiedLabelWidth)) line.resize(kCopiedLabelWidth);
            copied[at(nc++)] = line;
        }
        st_.close(labelUnit);
    }
    put(plotUnit_, L.count, {static_cast<long long>(nc)});
    for (int i = 0; i < nc; ++i) put(plotUnit_, L.text, {std::string_view(copied[at(i)])});

    put(plotUnit_, L.count, {static_cast<long long>(waterCurvePending_ ? 1 : 0)});
}

void PlotWriter::writeCurve(const calc::PlottedCurve& curve) {
    if (curve.points.size() < 2) return;
    writePlotCurve(curve);
    if (waterCurvePending_ && !waterCurveWritten_) {
        writeWaterCurve();
        waterCurveWritten_ = true;
    }
    if (summaryUnit_ > 0) writeListing(curve);
    writeActivityListing(curve);
}

void PlotWriter::writeActivityListing(const calc::PlottedCurve& curve) {
    if (models_ == nullptr || activitiesUnit_ <= 0 || !st_.isOpen(activitiesUnit_) || curve.modelPhases.empty() ||
        curve.conditions.empty())
        return;
    for (const calc::CurveStretch& s : curve.stretches)
        for (int i = s.first; i <= s.last; ++i) {
            const calc::PointConditions& at = curve.conditions[static_cast<std::size_t>(i)];
            const double P = at.P, T = at.t + model::kKelvinSingle;
            for (int phase : curve.modelPhases) {
                const model::PhaseRecord& p = phases_[phase];
                if (p.activityModel < 1 || p.activityModel > models_->count) continue;
                const model::SolutionModel& m = models_->models[static_cast<std::size_t>(p.activityModel - 1)];
                const model::EndMemberActivity a = model::endMemberActivity(m, p.activityEndMember, P, T);
                if (!st_.writeLine(activitiesUnit_, model::activityListingLine(m, p.activityEndMember, P, T, a)))
                    noteFailure(activitiesUnit_, "cannot write the activity listing");
            }
        }
}

void PlotWriter::writePlotCurve(const calc::PlottedCurve& curve) {
    const PlotRecords& L = plotRecords();
    const int n = static_cast<int>(curve.points.size());
    put(plotUnit_, L.curveHeader, {static_cast<long long>(curve.labels.size()), static_cast<long long>(n)});
    const core::Layout& pl = rs_.diagramType == calc::kActAct ? L.activityPoints : L.points;
    std::array<Value, 21> values;
    for (int i = 0; i < n; i += 7) {
        const int m = std::min(7, n - i);
        for (int j = 0; j < m; ++j) {
            const calc::CurvePoint& p = curve.points[at(i + j)];
            values[at(3 * j)] = p.x;
            values[at(3 * j + 1)] = p.y;
            values[at(3 * j + 2)] = static_cast<long long>(p.flag);
        }
        if (!st_.write_record(plotUnit_, pl, std::span<const Value>(values.data(), at(3 * m))))
            noteFailure(plotUnit_, "cannot write the plot file");
    }
    for (const calc::CurveLabel& lb : curve.labels)
        put(plotUnit_, L.label, {lb.x, lb.y, lb.height, lb.angle, std::string_view(lb.text)});
}

void PlotWriter::writeWaterCurve() {
    const PlotRecords& L = plotRecords();
    calc::WaterCurve curve;
    calc::liquidVapourCurve(window_, curve);
    if (curve.count == 0) return;
    put(plotUnit_, L.curveHeader, {0LL, static_cast<long long>(curve.count)});
    std::array<Value, 21> values;
    for (int i = 0; i < curve.count; i += 7) {
        const int m = std::min(7, curve.count - i);
        for (int j = 0; j < m; ++j) {
            const calc::CurvePoint& p = curve.points[at(i + j)];
            values[at(3 * j)] = p.x;
            values[at(3 * j + 1)] = p.y;
            values[at(3 * j + 2)] = static_cast<long long>(p.flag);
        }
        if (!st_.write_record(plotUnit_, L.activityPoints, std::span<const Value>(values.data(), at(3 * m))))
            noteFailure(plotUnit_, "cannot write the plot file");
    }
}

void PlotWriter::writeListing(const calc::PlottedCurve& curve) {
    const Layouts& L = layouts();
    const int u = summaryUnit_;
    put(u, L.reaction, {std::string_view(curve.reactionText)});

    // Property changes of the reaction (the activity-axis phases are not in the sums).
    const model::ReactionTerms& t = curve.terms;
    putLine(u, "");
    putLine(u, "");
    putLine(u, "  DELTA REACTION PROPERTIES");
    putLine(u, "  " + std::string(25, '='));
    put(u, L.properties,
        {std::string_view("H  (J/M)         = "), t.dH, std::string_view("S  (J/M)         = "), t.dS,
         std::string_view("V  (J/BAR)       = "), t.dV0});
    put(u, L.properties,
        {std::string_view("K0 (J/DEG/M)     = "), t.dK[0], std::string_view("K1 (J/DEG**2/M)  = "), t.dK[1],
         std::string_view("K2 (J DEG /M)    = "), t.dK[2]});
    put(u, L.properties,
        {std::string_view("K3 (J/DEG**.5/M) = "), t.dK[3], std::string_view("K4 (J/DEG**3/M)  = "), t.dK[4],
         std::string_view("K5 (J/M)         = "), t.dK[5], std::string_view("K6 (J DEG**2/M)  = "), t.dK[6]});
    if (curve.xNaCl > 0) put(u, L.sodium, {curve.xNaCl});
    putLine(u, " " + std::string(kRuleLength, '*'));

    const AxisTitles titles = axisTitlesOf(rs_.diagramType);
    put(u, L.axisTitles, {std::string_view(titles.y), std::string_view(titles.x), std::string_view(titles.third)});
    if (isActivityDiagram(rs_.diagramType)) {
        put(u, L.axisDefinition, {std::string_view(" X axis = "), std::string_view(sel_.xLabel)});
        if (rs_.diagramType == calc::kActAct)
            put(u, L.axisDefinition, {std::string_view(" Y axis = "), std::string_view(sel_.yLabel)});
    }

    // The points of every stretch, three columns, down the columns first.
    const bool third = rs_.diagramType == calc::kActT || rs_.diagramType == calc::kActP;
    std::array<Value, 9> values;
    for (std::size_t k = 0; k < curve.stretches.size(); ++k) {
        if (k > 0) {
            putLine(u, "");
            putLine(u, " ===== BETWEEN THE PRECEEDING POINTS AND THE FOLLOWING POINTS, ");
            putLine(u, std::string(50, ' ') +
                           "CURVE IS EITHER META-STABLE OR IT EXITS AND RE-ENTERS THE DIAGRAM ===== ");
            putLine(u, "");
        }
        const int f = curve.stretches[k].first;
        const int m = curve.stretches[k].last - f + 1;
        const int rows = (m - 1) / 3 + 1;
        for (int r = 0; r < rows; ++r) {
            int v = 0;
            for (int col = 0; col < 3; ++col) {
                const int idx = r + col * rows;
                if (idx >= m) break;
                const calc::CurvePoint& p = curve.points[at(f + idx)];
                values[at(v++)] = p.y;
                values[at(v++)] = p.x;
                if (third) values[at(v++)] = curve.third[at(f + idx)];
            }
            if (!st_.write_record(u, third ? L.activityRow : L.row, std::span<const Value>(values.data(), at(v))))
                noteFailure(u, "cannot write the summary file");
        }
    }
    if (curve.truncated)
        putLine(u, " THIS CURVE WAS CUT AT THE TRACE CAPACITY OF " + std::to_string(calc::kMaxCurvePoints) +
                       " POINTS: ITS REMAINDER IS NOT PLOTTED");
    if (curve.unusable)
        putLine(u, " THIS CURVE STOPS WHERE THE ENERGIES CANNOT BE EVALUATED (A FLUID ROUTINE OUTSIDE ITS RANGE"
                   " OR A GIBBS ENERGY THAT IS NOT A FINITE NUMBER): ITS REMAINDER IS NOT PLOTTED");
    putLine(u, std::string(kRuleLength, '*'));
    if (rs_.plotCurves == 'Y') {
        putLine(u, " META-STABLE PORTIONS OF CURVES ARE NOT PRINTED");
    } else {
        putLine(u, std::string(kBoxIndent, ' ') + "*****************WARNING*****************");
        putLine(u, std::string(kBoxIndent, ' ') + " META-STABLE PORTIONS OF CURVES ARE OUTPUT ");
        putLine(u, std::string(kBoxIndent, ' ') + std::string(41, '*'));
    }
    put(u, L.curveNumber, {static_cast<long long>(curve.number)});
}

}  // namespace io
