#include "calc/plotted_curve.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "calc/enumerate.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"

namespace calc {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// --- label placement ----------------------------------------------------------

constexpr double kRadiansPerDegree = 0.01745329424738884;
constexpr double kMaxCharHeight = 0.3499999940395355;        // plot units
constexpr double kMinCharHeightPerH = 0.012500000186264515;  // times the y-axis length
constexpr double kGapPerH = 0.014999999664723873;            // curve to text, times the y-axis length
constexpr double kHalfCharWidth = 0.4285714328289032;        // 3/7 of the character height
constexpr double kNegligible = 1e-30;
constexpr double kProbeDivisions = 1000.0;     // the side probe lies 1/1000 of the ranges off the curve
constexpr double kSmallestCoefficient = 1e-5;  // smaller coefficients are neither written nor summed
constexpr int kShortStretch = 5;               // last - first below this: labelled at the last point
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

bool isActivityDiagram(int type) { return type == kActT || type == kActP || type == kActAct; }

double signOf(double v) { return v < 0 ? -1.0 : 1.0; }

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

// The stretches of a trace: runs of two or more points between new-stretch flags.
std::vector<CurveStretch> stretchesOf(const CurveTrace& trace, int n) {
    std::vector<CurveStretch> out;
    int first = 0;
    for (int i = 1; i <= n; ++i) {
        if (i == n || trace.points[at(i)].flag == kNewStretch) {
            if (i - 1 > first) out.push_back(CurveStretch{first, i - 1});
            first = i;
        }
    }
    return out;
}

// The work of describing one curve, on the run's evaluator.
class CurveDescription {
public:
    CurveDescription(PointEvaluator& pe, const DiagramOptions& options, const model::PhaseTable& phases,
                     const PhaseSelection& sel)
        : pe_(pe), rs_(options), phases_(phases), sel_(sel) {}

    // Chemical potential of a phase as the side test sees it: the principal
    // phase of an activity axis stands for the whole quotient, the other
    // members entering without their own activity terms.
    double sidePotential(int i, double TK, const model::ReactionTerms* reaction) {
        if (isActivityDiagram(rs_.diagramType)) {
            const AxisQuotient* axis = nullptr;
            if (sel_.hasXAxis && sel_.xAxis.memberCount > 0 && sel_.xAxis.phase[0] == i) axis = &sel_.xAxis;
            else if (sel_.hasYAxis && sel_.yAxis.memberCount > 0 && sel_.yAxis.phase[0] == i) axis = &sel_.yAxis;
            if (axis != nullptr) {
                const int members = std::min(axis->memberCount, kMaxAxisMembers);
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

    // Sums of |coefficient| times chemical potential over the reactants and
    // over the products at the diagram point (x, y).
    void sideSums(const Reaction& reaction, double x, double y, double& reactants, double& products) {
        pe_.setStateFromDiagram(x, y);
        const double TK = pe_.state().t + kKelvin;
        const int n = std::clamp(reaction.phaseCount > 0 ? std::min(reaction.phaseCount, phases_.count)
                                                         : phases_.count,
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

    // Pressure (Act-T) or temperature (Act-P) of a listed point.
    double thirdVariable(double x, double y) {
        if (rs_.diagramType == kActT) {
            if (rs_.saturationChoice == 0) return rs_.pMin;
            pe_.setStateFromDiagram(x, y);
            return pe_.state().P;
        }
        if (rs_.saturationChoice == 0) return rs_.tMin;
        pe_.setStateFromDiagram(x, y);
        return pe_.state().t;
    }

    void labels(const CurveTrace& trace, int n, const Reaction& reaction, PlottedCurve& out);

private:
    PointEvaluator& pe_;
    const DiagramOptions& rs_;
    const model::PhaseTable& phases_;
    const PhaseSelection& sel_;
};

void CurveDescription::labels(const CurveTrace& trace, int n, const Reaction& reaction, PlottedCurve& out) {
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
        numberText = core::formatInteger(out.number, 5);
    }
    const std::size_t longest =
        mode == LabelMode::ReactionText ? std::max(leftText.size(), rightText.size()) : numberText.size();

    double W, H;
    plotLengths(rs_, W, H);
    const PlotWindow w = plotWindow(rs_);
    const double xr = rangeOf(w.xmin, w.xmax), yr = rangeOf(w.ymin, w.ymax);
    const double sx = scaleOf(w.xmax - w.xmin, W), sy = scaleOf(w.ymax - w.ymin, H);

    // Character height: the curve's extent shared out over the longest text,
    // within fixed bounds.
    const CurvePoint& p0 = trace.points[0];
    const CurvePoint& pn = trace.points[at(n - 1)];
    const double D = std::hypot((pn.x - p0.x) / sx, (pn.y - p0.y) / sy);
    double h = std::min(kMaxCharHeight, std::max(kMinCharHeightPerH * H, D / static_cast<double>(longest)));
    if (!std::isfinite(h)) h = kMinCharHeightPerH * H;
    const double g = kGapPerH * H;

    out.labels.reserve(2 * out.stretches.size());
    for (const CurveStretch& st : out.stretches) {
        const int f = st.first, l = st.last;
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
        auto place = [&](const std::string& text, int slot) {
            const double back = (static_cast<double>(text.size()) + 1.0) * h * kHalfCharWidth;
            double xp = xa - c * back, yp = ya - s * back;
            if (slot == 1) {
                xp -= s * g;
                yp += c * g;
            } else {
                xp += s * (g + h);
                yp -= c * (g + h);
            }
            out.labels.push_back(CurveLabel{xp * sx + w.xmin, yp * sy + w.ymin, h, angle, text});
        };
        if (mode == LabelMode::ReactionText) {
            place(reactantsOnSlot1 ? leftText : rightText, 1);
            place(reactantsOnSlot1 ? rightText : leftText, 2);
        } else {
            place(numberText, reactantsOnSlot1 ? 2 : 1);
        }
    }
}

}  // namespace

LabelMode labelModeOf(const DiagramOptions& options) {
    return options.recordFourInteger == 1 ? LabelMode::CurveNumber : LabelMode::ReactionText;
}

void plotLengths(const DiagramOptions& options, double& W, double& H) {
    W = options.plotWidth < 1 || !std::isfinite(options.plotWidth) ? 20.0 : options.plotWidth;
    H = options.plotHeight < 1 || !std::isfinite(options.plotHeight) ? 20.0 : options.plotHeight;
}

std::string reactionTextWithNames(const model::PhaseTable& phases, const Reaction& reaction) {
    const int n = std::clamp(reaction.phaseCount > 0 ? std::min(reaction.phaseCount, phases.count) : phases.count, 0,
                             model::kMaxPhases);
    std::string left, right;
    reactionSides(phases, reaction.coef.data(), n, true, left, right);
    return condensed(left + " = " + right);
}

PlottedCurve describeCurve(const CurveTrace& trace, const Reaction& reaction, long number, PointEvaluator& evaluator,
                           const DiagramOptions& options, const model::PhaseTable& phases,
                           const PhaseSelection& selection, bool withConditions) {
    PlottedCurve out;
    const int n = std::clamp(trace.count, 0, kMaxCurvePoints);
    out.number = number;
    out.reactionText = reaction.text;
    out.terms = reaction.terms;
    out.points.assign(trace.points.begin(), trace.points.begin() + n);
    out.xNaCl = evaluator.state().xNaCl;
    out.truncated = trace.truncated;
    out.unusable = trace.unusable;
    if (n < 2) return out;

    // The side test and the listing move the evaluator; its point is put
    // back at the end.
    const double savedX = evaluator.state().x, savedY = evaluator.state().y;
    out.stretches = stretchesOf(trace, n);
    CurveDescription d(evaluator, options, phases, selection);
    d.labels(trace, n, reaction, out);

    // The values of the listing: the third variable of the points of every
    // stretch.
    if (options.diagramType == kActT || options.diagramType == kActP) {
        out.third.assign(at(n), 0.0);
        for (const CurveStretch& s : out.stretches)
            for (int i = s.first; i <= s.last; ++i)
                out.third[at(i)] = d.thirdVariable(trace.points[at(i)].x, trace.points[at(i)].y);
    }
    // The activity listing: the phases linked to a model, and the
    // conditions of every point of every stretch.
    for (int j = 0; j < reaction.terms.count; ++j)
        if (phases[reaction.terms.phase[at(j)]].activityModel > 0) out.modelPhases.push_back(reaction.terms.phase[at(j)]);
    if (withConditions && !out.modelPhases.empty()) {
        out.conditions.assign(at(n), PointConditions{});
        for (const CurveStretch& s : out.stretches)
            for (int i = s.first; i <= s.last; ++i) {
                evaluator.setStateFromDiagram(trace.points[at(i)].x, trace.points[at(i)].y);
                out.conditions[at(i)] = PointConditions{evaluator.state().t, evaluator.state().P};
            }
    }
    evaluator.setStateFromDiagram(savedX, savedY);
    return out;
}

double plotSaturationPressure(double tC) {
    if (!(tC >= 0.0 && tC <= kCriticalTemperature)) return 0.0;
    const double u = kReducedOffset - kHundredth * tC;
    double q = 0.0;
    for (int k = 7; k >= 0; --k) q = q * u + kSaturationQ[k];
    return kCriticalPressure * std::exp((kCriticalTemperature - tC) * kHundredth * q / (tC + kKelvinSingle));
}

void liquidVapourCurve(const PlotWindow& w, WaterCurve& out) {
    out.count = 0;
    auto store = [&out](double t, double p, short flag) {
        if (out.count >= kMaxWaterCurvePoints) return;
        out.points[at(out.count++)] = CurvePoint{t, p, flag};
    };
    double t = std::max(kWaterCurveStart, w.xmin);
    for (int step = 0; step < kWaterCurveSteps; ++step) {
        t += kWaterCurveStep;
        if (t > w.xmax || t > kWaterCurveEnd) break;
        const double p = plotSaturationPressure(t);
        if (p < w.ymin) continue;
        if (p > w.ymax) break;
        store(t, p, kContinues);
        if (std::fmod(t, kWaterCurveDash) == 0.0) {
            // Skip a gap of one dash; the next dash starts there.
            t += kWaterCurveDash;
            if (t <= kWaterCurveEnd && t <= w.xmax) {
                const double pj = plotSaturationPressure(t);
                if (pj >= w.ymin && pj <= w.ymax) store(t, pj, kNewStretch);
            }
        }
    }
    if (out.count > 0) out.points[0].flag = kNewStretch;
}

bool waterCurveWanted(const DiagramOptions& options) {
    if (options.diagramType != kPT || !(options.xH2O >= kMinWaterFraction)) return false;
    const PlotWindow w = plotWindow(options);
    if (!(w.ymax <= kWaterCurveTopLimit && w.ymin <= kWaterCurveBottomLimit && w.xmin <= kWaterCurveLeftLimit &&
          w.xmax >= kWaterCurveRightLimit))
        return false;
    WaterCurve curve;
    liquidVapourCurve(w, curve);
    return curve.count > 0;
}

}  // namespace calc
