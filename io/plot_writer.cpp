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

#include "calc/enumerate.hpp"

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

// --- label placement ----------------------------------------------------------

constexpr double kRadiansPerDegree = 0.01745329424738884;
constexpr double kMaxCharHeight = 0.3499999940395355;      // plot units
constexpr double kMinCharHeightPerH = 0.012500000186264515;  // times the y-axis length
constexpr double kGapPerH = 0.014999999664723873;          // curve to text, times the y-axis length
constexpr double kHalfCharWidth = 0.4285714328289032;      // 3/7 of the character height
constexpr double kNegligible = 1e-30;
constexpr double kProbeDivisions = 1000.0;  // the side probe lies 1/1000 of the ranges off the curve
constexpr double kSmallestCoefficient = 1e-5;  // smaller coefficients are neither written nor summed
constexpr int kShortStretch = 5;            // last - first below this: labelled at the last point
constexpr double kRLn10Axis = 19.144383238729898;
constexpr double kKelvin = 273.15;

// --- the liquid-vapour curve of water -----------------------------------------

constexpr double kMinWaterFraction = 9.999999747378752e-06;
constexpr double kWaterCurveTopLimit = 9999.900390625;  // ymax above this: no curve
constexpr double kWaterCurveBottomLimit = 220.0;        // ymin above this: no curve
constexpr double kWaterCurveLeftLimit = 370.0;          // xmin above this: no curve
constexpr double kWaterCurveRightLimit = 100.0;         // xmax below this: no curve
constexpr double kWaterCurveStart = 70.0;               // C
constexpr double kWaterCurveEnd = 374.0;                // C
constexpr double kWaterCurveStep = 2.0;                 // C
constexpr double kWaterCurveDash = 10.0;                // C: dash length and gap
constexpr int kWaterCurveSteps = 100;

constexpr double kCriticalTemperature = 374.135986328125;  // C
constexpr double kCriticalPressure = 220.8800048828125;    // bar
constexpr double kKelvinSingle = 273.1499938964844;
constexpr double kHundredth = 0.009999999776482582;
constexpr double kReducedOffset = 1.767814040184021;
constexpr double kSaturationQ[8] = {-714.3543090820312, -32.76266098022461, -9.931851387023926,
                                    17.53437042236328,  -27.426090240478516, 4.633180141448975,
                                    53.04269027709961,  25.516590118408203};

// --- record layouts --------------------------------------------------------------

struct Layouts {
    // Header of the plot file.
    core::Layout identifier{"(A16,' VERSION',I3)"};
    core::Layout diagram{"(I5,2X,A)"};
    core::Layout window{"(4F15.5)"};
    core::Layout lengths{"(2F10.3)"};
    core::Layout titles{"(3A12)"};
    core::Layout twoCounts{"(2I5)"};
    core::Layout count{"(I5)"};
    core::Layout text{"(A)"};
    // Curves.
    core::Layout curveHeader{"(I5,I5,'    0    0    0    0')"};
    core::Layout points{"(7(1X,F9.4,F10.2,I2))"};
    core::Layout activityPoints{"(7(F10.5,F10.5,I2))"};
    core::Layout label{"(F10.3,F10.3,F10.7,F10.4,5X,A)"};
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

double signOf(double v) { return v < 0 ? -1.0 : 1.0; }

// The plot lengths: W of the x axis and H of the y axis, 20 when below 1.
void plotLengths(const calc::DiagramOptions& rs, double& W, double& H) {
    W = rs.plotWidth < 1 || !std::isfinite(rs.plotWidth) ? 20.0 : rs.plotWidth;
    H = rs.plotHeight < 1 || !std::isfinite(rs.plotHeight) ? 20.0 : rs.plotHeight;
}

// Data units per plot unit; a window of no extent keeps a scale of 1 so
// that nothing divides by zero.
double scaleOf(double range, double length) {
    const double s = range / length;
    return s != 0.0 && std::isfinite(s) ? s : 1.0;
}
double rangeOf(double lo, double hi) {
    const double r = hi - lo;
    return r != 0.0 && std::isfinite(r) ? r : 1.0;
}


// Without leading blanks and with every run of blanks reduced to one.
std::string condensed(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = true;
    for (char ch : text) {
        if (ch == ' ') {
            if (!blank) out += ' ';
            blank = true;
        } else {
            out += ch;
            blank = false;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
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

// --- free functions --------------------------------------------------------------

LabelMode labelModeOf(const calc::DiagramOptions& settings) {
    return settings.recordFourInteger == 1 ? LabelMode::CurveNumber : LabelMode::ReactionText;
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

double plotSaturationPressure(double tC) {
    if (!(tC >= 0.0 && tC <= kCriticalTemperature)) return 0.0;
    const double u = kReducedOffset - kHundredth * tC;
    double q = 0.0;
    for (int k = 7; k >= 0; --k) q = q * u + kSaturationQ[k];
    return kCriticalPressure * std::exp((kCriticalTemperature - tC) * kHundredth * q / (tC + kKelvinSingle));
}

void liquidVapourCurve(const calc::PlotWindow& w, WaterCurve& out) {
    out.count = 0;
    auto store = [&out](double t, double p, short flag) {
        if (out.count >= kMaxWaterCurvePoints) return;
        out.points[at(out.count++)] = calc::CurvePoint{t, p, flag};
    };
    double t = std::max(kWaterCurveStart, w.xmin);
    for (int step = 0; step < kWaterCurveSteps; ++step) {
        t += kWaterCurveStep;
        if (t > w.xmax || t > kWaterCurveEnd) break;
        const double p = plotSaturationPressure(t);
        if (p < w.ymin) continue;
        if (p > w.ymax) break;
        store(t, p, calc::kContinues);
        if (std::fmod(t, kWaterCurveDash) == 0.0) {
            // Skip a gap of one dash; the next dash starts there.
            t += kWaterCurveDash;
            if (t <= kWaterCurveEnd && t <= w.xmax) {
                const double pj = plotSaturationPressure(t);
                if (pj >= w.ymin && pj <= w.ymax) store(t, pj, calc::kNewStretch);
            }
        }
    }
    if (out.count > 0) out.points[0].flag = calc::kNewStretch;
}

bool waterCurveWanted(const calc::DiagramOptions& rs) {
    if (rs.diagramType != calc::kPT || !(rs.xH2O >= kMinWaterFraction)) return false;
    const calc::PlotWindow w = calc::plotWindow(rs);
    if (!(w.ymax <= kWaterCurveTopLimit && w.ymin <= kWaterCurveBottomLimit && w.xmin <= kWaterCurveLeftLimit &&
          w.xmax >= kWaterCurveRightLimit))
        return false;
    WaterCurve curve;
    liquidVapourCurve(w, curve);
    return curve.count > 0;
}

std::string reactionTextWithNames(const model::PhaseTable& phases, const calc::Reaction& reaction) {
    const int n = std::clamp(reaction.phaseCount > 0 ? std::min(reaction.phaseCount, phases.count) : phases.count, 0,
                             model::kMaxPhases);
    std::string left, right;
    calc::reactionSides(phases, reaction.coef.data(), n, true, left, right);
    return condensed(left + " = " + right);
}

// --- the writer -------------------------------------------------------------------

PlotWriter::PlotWriter(Streams& streams, int plotUnit, int summaryUnit, const calc::DiagramOptions& settings,
                       calc::PointEvaluator& evaluator, const model::PhaseTable& phases,
                       const calc::PhaseSelection& selection)
    : st_(streams),
      plotUnit_(plotUnit),
      summaryUnit_(summaryUnit),
      rs_(settings),
      pe_(evaluator),
      phases_(phases),
      sel_(selection) {
    window_ = calc::plotWindow(rs_);
    waterCurvePending_ = waterCurveWanted(rs_);
}

void PlotWriter::noteFailure(int unit, const char* what) {
    if (!status_.ok()) return;
    // The stream knows what went wrong (a value too wide for its field).
    const core::Status unitFailure = st_.unit_failure(unit);
    if (!unitFailure.ok()) {
        status_ = unitFailure;
        status_.what = std::string(what) + ": " + unitFailure.what;
        return;
    }
    status_ = core::Status::error(what, "write failed");
    status_.file = st_.name(unit);
    status_.line = st_.line_number(unit) + 1;
}

void PlotWriter::put(int unit, const core::Layout& layout, std::initializer_list<Value> values) {
    if (!st_.write_record(unit, layout, std::span<const Value>(values.begin(), values.size())))
        noteFailure(unit, unit == plotUnit_ ? "cannot write the plot file" : "cannot write the summary file");
}

void PlotWriter::putLine(int unit, std::string_view line) {
    if (!st_.write_line(unit, line))
        noteFailure(unit, unit == plotUnit_ ? "cannot write the plot file" : "cannot write the summary file");
}

void PlotWriter::writeHeader(const PlotHeaderTexts& texts, int labelUnit) {
    const Layouts& L = layouts();
    window_ = calc::plotWindow(rs_);
    waterCurveWritten_ = false;
    waterCurvePending_ = waterCurveWanted(rs_);
    double W, H;
    plotLengths(rs_, W, H);

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
    if (labelUnit > 0 && st_.is_open(labelUnit)) {
        st_.rewind(labelUnit);
        std::string line;
        while (nc < kMaxCopiedLabelLines && st_.read_line(labelUnit, line).done()) {
            if (line.size() > static_cast<std::size_t>(kCopiedLabelWidth)) line.resize(kCopiedLabelWidth);
            copied[at(nc++)] = line;
        }
        st_.close(labelUnit);
    }
    put(plotUnit_, L.count, {static_cast<long long>(nc)});
    for (int i = 0; i < nc; ++i) put(plotUnit_, L.text, {std::string_view(copied[at(i)])});

    put(plotUnit_, L.count, {static_cast<long long>(waterCurvePending_ ? 1 : 0)});
}

int PlotWriter::collectStretches(const calc::CurveTrace& trace, int n, std::array<Stretch, calc::kMaxCurvePoints>& out) const {
    int count = 0;
    int first = 0;
    for (int i = 1; i <= n; ++i) {
        if (i == n || trace.points[at(i)].flag == calc::kNewStretch) {
            if (i - 1 > first) out[at(count++)] = Stretch{first, i - 1};
            first = i;
        }
    }
    return count;
}

double PlotWriter::sidePotential(int i, double TK, const model::ReactionTerms* reaction) {
    if (isActivityDiagram(rs_.diagramType)) {
        const calc::AxisQuotient* axis = nullptr;
        if (sel_.hasXAxis && sel_.xAxis.memberCount > 0 && sel_.xAxis.phase[0] == i) axis = &sel_.xAxis;
        else if (sel_.hasYAxis && sel_.yAxis.memberCount > 0 && sel_.yAxis.phase[0] == i) axis = &sel_.yAxis;
        if (axis != nullptr) {
            // The principal phase stands for the whole quotient; the other
            // members enter without their own activity terms.
            const int members = std::min(axis->memberCount, calc::kMaxAxisMembers);
            double mu = 0.0;
            for (int m = 0; m < members; ++m) {
                const int j = axis->phase[at(m)];
                if (j < 0 || j >= phases_.count) continue;
                double g = pe_.phasePotential(j, reaction);
                if (m > 0) g -= kRLn10Axis * TK * pe_.point().logActivity[at(j)];
                mu += axis->exponent[at(m)] * g;
            }
            return mu;
        }
    }
    return pe_.phasePotential(i, reaction);
}

void PlotWriter::sideSums(const calc::Reaction& reaction, double x, double y, double& reactants, double& products) {
    pe_.setStateFromDiagram(x, y);
    const double TK = pe_.state().t + kKelvin;
    const int n = std::clamp(reaction.phaseCount > 0 ? std::min(reaction.phaseCount, phases_.count) : phases_.count,
                             0, model::kMaxPhases);
    reactants = products = 0.0;
    for (int i = 0; i < n; ++i) {
        const double c = reaction.coef[at(i)];
        if (!(std::fabs(c) >= kSmallestCoefficient)) continue;
        const double mu = sidePotential(i, TK, &reaction.terms);
        if (c < 0)
            reactants += -c * mu;
        else
            products += c * mu;
    }
}

double PlotWriter::thirdVariable(double x, double y) {
    if (rs_.diagramType == calc::kActT) {
        if (rs_.saturationChoice == 0) return rs_.pMin;
        pe_.setStateFromDiagram(x, y);
        return pe_.state().P;
    }
    if (rs_.saturationChoice == 0) return rs_.tMin;
    pe_.setStateFromDiagram(x, y);
    return pe_.state().t;
}

bool PlotWriter::writeCurve(const calc::CurveTrace& trace, const calc::Reaction& reaction, long& reactionsPlotted) {
    const int n = std::clamp(trace.count, 0, calc::kMaxCurvePoints);
    if (n < 2) return false;
    const long curveNumber = ++reactionsPlotted;

    // The side test and the listing move the evaluator; the tracer's point
    // and reaction are put back at the end.
    const double savedX = pe_.state().x, savedY = pe_.state().y;

    std::array<Stretch, calc::kMaxCurvePoints> stretches;
    const int stretchCount = collectStretches(trace, n, stretches);

    // Label texts.
    const LabelMode mode = labelModeOf(rs_);
    std::string leftText, rightText, numberText;
    if (mode == LabelMode::ReactionText) {
        const std::string full = rs_.labelAnswer == 'Y' ? std::string(core::rtrim(reaction.text))
                                                        : reactionTextWithNames(phases_, reaction);
        const std::size_t eq = full.find('=');
        leftText = full.substr(0, eq);
        if (eq != std::string::npos) rightText = std::string(core::rtrim(std::string_view(full).substr(eq + 1)));
        if (leftText.empty()) leftText = " ";
        if (rightText.empty()) rightText = " ";
    } else {
        numberText = core::format_integer(curveNumber, 5);
    }
    const std::size_t longest =
        mode == LabelMode::ReactionText ? std::max(leftText.size(), rightText.size()) : numberText.size();

    double W, H;
    plotLengths(rs_, W, H);
    const calc::PlotWindow& w = window_;
    const double xr = rangeOf(w.xmin, w.xmax), yr = rangeOf(w.ymin, w.ymax);
    const double sx = scaleOf(w.xmax - w.xmin, W), sy = scaleOf(w.ymax - w.ymin, H);

    // Character height: the curve's extent shared out over the longest text,
    // within fixed bounds.
    const calc::CurvePoint& p0 = trace.points[0];
    const calc::CurvePoint& pn = trace.points[at(n - 1)];
    const double D = std::hypot((pn.x - p0.x) / sx, (pn.y - p0.y) / sy);
    double h = std::min(kMaxCharHeight, std::max(kMinCharHeightPerH * H, D / static_cast<double>(longest)));
    if (!std::isfinite(h)) h = kMinCharHeightPerH * H;
    const double g = kGapPerH * H;

    std::vector<Label> labels;
    labels.reserve(at(2 * stretchCount));
    for (int k = 0; k < stretchCount; ++k) {
        const int f = stretches[at(k)].first, l = stretches[at(k)].last;
        const auto& pt = trace.points;
        // Anchor: the point nearest the middle of the stretch, along the
        // coordinate in which the stretch extends furthest.
        int a, b;
        if (l - f < kShortStretch) {
            a = l;
            b = f;
        } else {
            const bool inY = std::fabs(pt[at(l)].x - pt[at(f)].x) / xr < std::fabs(pt[at(l)].y - pt[at(f)].y) / yr;
            auto coord = [&](int i) { return inY ? pt[at(i)].y : pt[at(i)].x; };
            const double target = (coord(f) + coord(l)) / 2.0;
            a = f;
            for (int i = f + 1; i <= l; ++i)
                if (std::fabs(coord(i) - target) < std::fabs(coord(a) - target)) a = i;
            b = a == f ? f + 1 : a - 1;
        }

        // Direction along the curve, always reading left to right on the
        // plot: cosine c >= 0 and sine s in plot units.  The text angle is
        // that of the curve as drawn.
        const double dx = pt[at(b)].x - pt[at(a)].x, dy = pt[at(b)].y - pt[at(a)].y;
        const double dxp = dx / sx, dyp = dy / sy;
        double c = 1.0, s = 0.0, angle = 0.0;
        const bool none = (std::fabs(dx) <= kNegligible && std::fabs(dy) <= kNegligible) ||
                          (std::fabs(dxp) <= kNegligible && std::fabs(dyp) <= kNegligible);
        if (!none) {
            const double len = std::hypot(dxp, dyp);
            c = std::fabs(dxp) / len;
            s = signOf(dxp) * signOf(dyp) * std::fabs(dyp) / len;
            angle = std::asin(std::clamp(s, -1.0, 1.0)) / kRadiansPerDegree + 0.0;  // no negative zero
        }

        // Side test: slot 1 is the side to the left of the reading
        // direction; the assemblage of lower energy there is stable there.
        const double xq = std::clamp(pt[at(a)].x - s * (w.xmax - w.xmin) / kProbeDivisions, std::min(w.xmin, w.xmax),
                                     std::max(w.xmin, w.xmax));
        const double yq = std::clamp(pt[at(a)].y + c * (w.ymax - w.ymin) / kProbeDivisions, std::min(w.ymin, w.ymax),
                                     std::max(w.ymin, w.ymax));
        double reactants = 0, products = 0;
        sideSums(reaction, xq, yq, reactants, products);
        const bool reactantsOnSlot1 = reactants <= products;

        const double xa = (pt[at(a)].x - w.xmin) / sx, ya = (pt[at(a)].y - w.ymin) / sy;
        auto place = [&](const std::string* text, int slot) {
            const double back = (static_cast<double>(text->size()) + 1.0) * h * kHalfCharWidth;
            double xp = xa - c * back, yp = ya - s * back;
            if (slot == 1) {
                xp -= s * g;
                yp += c * g;
            } else {
                xp += s * (g + h);
                yp -= c * (g + h);
            }
            labels.push_back(Label{xp * sx + w.xmin, yp * sy + w.ymin, h, angle, text});
        };
        if (mode == LabelMode::ReactionText) {
            place(reactantsOnSlot1 ? &leftText : &rightText, 1);
            place(reactantsOnSlot1 ? &rightText : &leftText, 2);
        } else {
            place(&numberText, reactantsOnSlot1 ? 2 : 1);
        }
    }

    writePlotCurve(trace, n, labels.data(), static_cast<int>(labels.size()));
    if (waterCurvePending_ && !waterCurveWritten_) {
        writeWaterCurve();
        waterCurveWritten_ = true;
    }
    if (summaryUnit_ > 0) writeListing(trace, stretches, stretchCount, reaction, curveNumber);
    writeActivityListing(trace, stretches, stretchCount, reaction);

    pe_.setStateFromDiagram(savedX, savedY);
    return true;
}

void PlotWriter::writeActivityListing(const calc::CurveTrace& trace, const std::array<Stretch, calc::kMaxCurvePoints>& stretches,
                                      int stretchCount, const calc::Reaction& reaction) {
    const model::SolutionModelSet* models = pe_.gibbs().models;
    if (models == nullptr || !st_.is_open(model::kUnitActivities)) return;
    bool any = false;
    for (int j = 0; j < reaction.terms.count; ++j) any = any || phases_[reaction.terms.phase[at(j)]].activityModel > 0;
    if (!any) return;
    for (int k = 0; k < stretchCount; ++k)
        for (int i = stretches[at(k)].first; i <= stretches[at(k)].last; ++i) {
            pe_.setStateFromDiagram(trace.points[at(i)].x, trace.points[at(i)].y);
            const double P = pe_.state().P, T = pe_.state().t + model::kKelvinSingle;
            for (int j = 0; j < reaction.terms.count; ++j) {
                const model::PhaseRecord& p = phases_[reaction.terms.phase[at(j)]];
                if (p.activityModel < 1 || p.activityModel > models->count) continue;
                const model::SolutionModel& m = models->models[at(p.activityModel - 1)];
                const model::EndMemberActivity a = model::endMemberActivity(m, p.activityEndMember, P, T);
                if (!st_.write_line(model::kUnitActivities,
                                    model::activityListingLine(m, p.activityEndMember, P, T, a)))
                    noteFailure(model::kUnitActivities, "cannot write the activity listing");
            }
        }
}

void PlotWriter::writePlotCurve(const calc::CurveTrace& trace, int n, const Label* labels, int labelCount) {
    const Layouts& L = layouts();
    put(plotUnit_, L.curveHeader, {static_cast<long long>(labelCount), static_cast<long long>(n)});
    const core::Layout& pl = rs_.diagramType == calc::kActAct ? L.activityPoints : L.points;
    std::array<Value, 21> values;
    for (int i = 0; i < n; i += 7) {
        const int m = std::min(7, n - i);
        for (int j = 0; j < m; ++j) {
            const calc::CurvePoint& p = trace.points[at(i + j)];
            values[at(3 * j)] = p.x;
            values[at(3 * j + 1)] = p.y;
            values[at(3 * j + 2)] = static_cast<long long>(p.flag);
        }
        if (!st_.write_record(plotUnit_, pl, std::span<const Value>(values.data(), at(3 * m))))
            noteFailure(plotUnit_, "cannot write the plot file");
    }
    for (int k = 0; k < labelCount; ++k) {
        const Label& lb = labels[k];
        put(plotUnit_, L.label, {lb.x, lb.y, lb.height, lb.angle, std::string_view(*lb.text)});
    }
}

void PlotWriter::writeWaterCurve() {
    const Layouts& L = layouts();
    WaterCurve curve;
    liquidVapourCurve(window_, curve);
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

void PlotWriter::writeListing(const calc::CurveTrace& trace, const std::array<Stretch, calc::kMaxCurvePoints>& stretches,
                              int stretchCount, const calc::Reaction& reaction, long curveNumber) {
    const Layouts& L = layouts();
    const int u = summaryUnit_;
    put(u, L.reaction, {std::string_view(reaction.text)});

    // Property changes of the reaction (the activity-axis phases are not in the sums).
    const model::ReactionTerms& t = reaction.terms;
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
    if (pe_.state().xNaCl > 0) put(u, L.sodium, {pe_.state().xNaCl});
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
    for (int k = 0; k < stretchCount; ++k) {
        if (k > 0) {
            putLine(u, "");
            putLine(u, " ===== BETWEEN THE PRECEEDING POINTS AND THE FOLLOWING POINTS, ");
            putLine(u, std::string(50, ' ') +
                           "CURVE IS EITHER META-STABLE OR IT EXITS AND RE-ENTERS THE DIAGRAM ===== ");
            putLine(u, "");
        }
        const int f = stretches[at(k)].first;
        const int m = stretches[at(k)].last - f + 1;
        const int rows = (m - 1) / 3 + 1;
        for (int r = 0; r < rows; ++r) {
            int v = 0;
            for (int col = 0; col < 3; ++col) {
                const int idx = r + col * rows;
                if (idx >= m) break;
                const calc::CurvePoint& p = trace.points[at(f + idx)];
                values[at(v++)] = p.y;
                values[at(v++)] = p.x;
                if (third) values[at(v++)] = thirdVariable(p.x, p.y);
            }
            if (!st_.write_record(u, third ? L.activityRow : L.row, std::span<const Value>(values.data(), at(v))))
                noteFailure(u, "cannot write the summary file");
        }
    }
    if (trace.truncated)
        putLine(u, " THIS CURVE WAS CUT AT THE TRACE CAPACITY OF " + std::to_string(calc::kMaxCurvePoints) +
                       " POINTS: ITS REMAINDER IS NOT PLOTTED");
    if (trace.unusable)
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
    put(u, L.curveNumber, {static_cast<long long>(curveNumber)});
}

}  // namespace io
