#include "render/figure.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/text.hpp"
#include "render/label_layout.hpp"
#include "render/text_metrics.hpp"

namespace render {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Page layout, in points.
constexpr double kFrameSide = 440;  // the longer side of the frame
constexpr double kMargin = 16;
constexpr double kMajorTick = 5, kMinorTick = 2.5;
constexpr double kFrameWidth = 0.8, kTickWidth = 0.5, kCurveWidth = 0.75, kWaterWidth = 0.6;
constexpr double kTickCap = 6.2, kTitleCap = 7.3, kLegendCap = 5.4, kInvariantCap = 5.0;
constexpr double kLineSpacing = 1.7;  // baseline distance in capital heights
constexpr double kMarkerRadius = 1.8;
constexpr double kMarkerClear = 1.6;  // half side of the square kept free around a dot, in radii
constexpr double kMeanRadius = 2.2, kPointRadius = 1.4;  // the mean intersection and the points it comes from
constexpr int kEllipsePoints = 96;
// A label overlapping more groups than this is in a crowd that moving a few
// groups does not clear.
constexpr std::size_t kMostRepaired = 3;
// The legend may widen the page to this (points) before it grows downwards.
constexpr double kWidestLegend = 1200;
// Advance of a blank in the plot file's own character grid (6/7 of the
// character height), for the leading blanks of a label record.
constexpr double kRecordAdvance = 6.0 / 7.0;

std::vector<std::string> axisTitleLines(const std::vector<std::string>& label, const std::string& title) {
    std::vector<std::string> out;
    for (const std::string& l : label)
        if (!core::isBlank(l)) out.emplace_back(core::trim(l));
    if (out.empty() && !core::isBlank(title)) out.emplace_back(core::trim(title));
    return out;
}

struct LabelRef {
    std::size_t curve;   // index into diagram.curves
    int stretch;         // index into its stretches, -1 none
    std::vector<std::size_t> labels;  // indices into the curve's labels
    double length = 0;   // of the stretch, plot units
};

}  // namespace

const char* layerName(Layer layer) {
    switch (layer) {
        case Layer::Axes: return "AXES";
        case Layer::Curves: return "CURVES";
        case Layer::Water: return "WATER";
        case Layer::Labels: return "LABELS";
        case Layer::Notes: return "NOTES";
        case Layer::Invariant: return "INVARIANT";
        case Layer::Legend: return "LEGEND";
        case Layer::Intersections: return "INTERSECTIONS";
    }
    return "0";
}

PagePoint toPage(const Figure& f, double xPlot, double yPlot) {
    return {f.frameLeft + xPlot * f.unit, f.frameTop + (f.plotHeight - yPlot) * f.unit};
}

void toPlot(const Figure& f, PagePoint p, double& xPlot, double& yPlot) {
    xPlot = (p.x - f.frameLeft) / f.unit;
    yPlot = f.plotHeight - (p.y - f.frameTop) / f.unit;
}

std::vector<double> axisTicks(double lo, double hi, int target, double& step, double& minorStep) {
    const double range = hi - lo;
    const double raw = range / std::max(target, 1);
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / mag;
    const double mant = r < 1.5 ? 1 : r < 3.5 ? 2 : r < 7.5 ? 5 : 10;
    step = mant * mag;
    minorStep = mant == 2 ? step / 4 : step / 5;
    const double eps = range * 1e-3;
    std::vector<double> out;
    const long first = static_cast<long>(std::ceil((lo - eps) / step));
    const long last = static_cast<long>(std::floor((hi + eps) / step));
    for (long k = first; k <= last && out.size() < 100; ++k) {
        double v = static_cast<double>(k) * step;
        if (std::abs(v) < step * 1e-9) v = 0;
        out.push_back(v);
    }
    return out;
}

std::string tickText(double value, double step) {
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);  // no "-0"
    return s;
}

Figure buildFigure(const io::PlotFileContents& plot, const DiagramDescription& diagram,
                   const std::vector<InvariantPoint>& invariants, const FigureOptions& options) {
    Figure f;
    const calc::PlotWindow& w = plot.window;
    const double W = plot.width, H = plot.height;
    f.plotWidth = W;
    f.plotHeight = H;
    f.unit = kFrameSide / std::max(W, H);
    f.frameWidth = W * f.unit;
    f.frameHeight = H * f.unit;
    f.title = plot.diagramName + " diagram";
    const double sx = (w.xmax - w.xmin) / W, sy = (w.ymax - w.ymin) / H;
    auto plotX = [&](double x) { return (x - w.xmin) / sx; };
    auto plotY = [&](double y) { return (y - w.ymin) / sy; };

    // Axes: ticks for about one number every 70 points.
    double xStep = 1, xMinor = 1, yStep = 1, yMinor = 1;
    const std::vector<double> xt =
        axisTicks(w.xmin, w.xmax, std::max(3, static_cast<int>(f.frameWidth / 70)), xStep, xMinor);
    const std::vector<double> yt =
        axisTicks(w.ymin, w.ymax, std::max(3, static_cast<int>(f.frameHeight / 60)), yStep, yMinor);
    double yNumberWidth = 0, xLastHalf = 0;
    for (double v : yt) yNumberWidth = std::max(yNumberWidth, textWidth(tickText(v, yStep), kTickCap));
    if (!xt.empty()) xLastHalf = textWidth(tickText(xt.back(), xStep), kTickCap) / 2;
    const std::vector<std::string> xTitle = axisTitleLines(plot.xLabel, plot.titles.x);
    const std::vector<std::string> yTitle = axisTitleLines(plot.yLabel, plot.titles.y);

    f.frameLeft = kMargin + static_cast<double>(yTitle.size()) * kTitleCap * kLineSpacing + 8 + yNumberWidth + 5;
    f.frameTop = kMargin + kTickCap / 2;
    const double frameRight = f.frameLeft + f.frameWidth, frameBottom = f.frameTop + f.frameHeight;
    f.pageWidth = frameRight + std::max(kMargin, xLastHalf + 4);
    double y = frameBottom + 5 + kTickCap + 10 + static_cast<double>(xTitle.size()) * kTitleCap * kLineSpacing;

    auto line = [&](Layer layer, PagePoint a, PagePoint b, double width) { f.lines.push_back({layer, a, b, width}); };
    line(Layer::Axes, {f.frameLeft, f.frameTop}, {frameRight, f.frameTop}, kFrameWidth);
    line(Layer::Axes, {frameRight, f.frameTop}, {frameRight, frameBottom}, kFrameWidth);
    line(Layer::Axes, {frameRight, frameBottom}, {f.frameLeft, frameBottom}, kFrameWidth);
    line(Layer::Axes, {f.frameLeft, frameBottom}, {f.frameLeft, f.frameTop}, kFrameWidth);
    auto ticks = [&](bool xAxis, double lo, double hi, double step, double minor) {
        const long first = static_cast<long>(std::ceil((lo - (hi - lo) * 1e-3) / minor));
        const long last = static_cast<long>(std::floor((hi + (hi - lo) * 1e-3) / minor));
        for (long k = first; k <= last && k - first < 1000; ++k) {
            const double v = static_cast<double>(k) * minor;
            const double ratio = v / step;
            const bool isMajor = std::abs(ratio - std::round(ratio)) < 1e-6;
            const double len = isMajor ? kMajorTick : kMinorTick;
            if (xAxis) {
                const double px = f.frameLeft + std::clamp(plotX(v), 0.0, W) * f.unit;
                line(Layer::Axes, {px, frameBottom}, {px, frameBottom - len}, kTickWidth);
                line(Layer::Axes, {px, f.frameTop}, {px, f.frameTop + len}, kTickWidth);
            } else {
                const double py = f.frameTop + (H - std::clamp(plotY(v), 0.0, H)) * f.unit;
                line(Layer::Axes, {f.frameLeft, py}, {f.frameLeft + len, py}, kTickWidth);
                line(Layer::Axes, {frameRight, py}, {frameRight - len, py}, kTickWidth);
            }
        }
    };
    ticks(true, w.xmin, w.xmax, xStep, xMinor);
    ticks(false, w.ymin, w.ymax, yStep, yMinor);
    for (double v : xt) {
        const double px = f.frameLeft + std::clamp(plotX(v), 0.0, W) * f.unit;
        f.texts.push_back({Layer::Axes, {px, frameBottom + 5 + kTickCap}, kTickCap, 0, Anchor::Middle,
                           tickText(v, xStep), false});
    }
    for (double v : yt) {
        const double py = f.frameTop + (H - std::clamp(plotY(v), 0.0, H)) * f.unit;
        f.texts.push_back({Layer::Axes, {f.frameLeft - 5, py + kTickCap / 2}, kTickCap, 0, Anchor::End,
                           tickText(v, yStep), false});
    }
    for (std::size_t i = 0; i < xTitle.size(); ++i)
        f.texts.push_back({Layer::Axes,
                           {f.frameLeft + f.frameWidth / 2,
                            frameBottom + 5 + kTickCap + 10 + kTitleCap + static_cast<double>(i) * kTitleCap * kLineSpacing},
                           kTitleCap, 0, Anchor::Middle, xTitle[i], false});
    for (std::size_t i = 0; i < yTitle.size(); ++i)
        f.texts.push_back({Layer::Axes,
                           {f.frameLeft - 5 - yNumberWidth - 8 - static_cast<double>(i) * kTitleCap * kLineSpacing,
                            f.frameTop + f.frameHeight / 2},
                           kTitleCap, 90, Anchor::Middle, yTitle[i], false});

    // Curves, stretch by stretch, in plot units for the label layout.
    std::vector<std::vector<std::vector<Vec>>> stretchPlot(diagram.curves.size());
    for (std::size_t d = 0; d < diagram.curves.size(); ++d) {
        const CurveDescription& c = diagram.curves[d];
        const auto& pts = plot.curves[static_cast<std::size_t>(c.index)].points;
        stretchPlot[d].resize(c.stretches.size());
        for (std::size_t s = 0; s < c.stretches.size(); ++s) {
            const Stretch& st = c.stretches[s];
            std::vector<Vec>& sp = stretchPlot[d][s];
            for (int i = st.first; i <= st.last; ++i)
                sp.push_back({plotX(pts[static_cast<std::size_t>(i)].x), plotY(pts[static_cast<std::size_t>(i)].y)});
            if (st.size() < 2) continue;
            FigurePolyline pl{c.water ? Layer::Water : Layer::Curves, c.number, static_cast<int>(s) + 1, {}};
            for (const Vec& v : sp) pl.points.push_back(toPage(f, v.x, v.y));
            f.polylines.push_back(std::move(pl));
        }
    }

    const double inset = kMajorTick / f.unit;
    LabelLayout layout(W, H, inset);
    for (std::size_t d = 0; d < diagram.curves.size(); ++d)
        for (std::size_t s = 0; s < diagram.curves[d].stretches.size(); ++s) {
            const std::vector<Vec>& sp = stretchPlot[d][s];
            for (std::size_t i = 1; i < sp.size(); ++i) layout.addSegment(sp[i - 1], sp[i], static_cast<int>(d));
        }

    // Composition-file labels stay where they are (moved in only when outside).
    for (const NoteLabel& n : diagram.notes) {
        LabelPlacement l;
        l.capHeight = n.record.height > 0 ? n.record.height : 0.0125 * H;
        l.angle = n.record.angle;
        const std::string_view text = core::rtrim(n.record.text);
        const std::string_view visible = core::trim(text);
        const double a = l.angle * kPi / 180;
        const double lead = static_cast<double>(text.size() - core::trim(text).size() -
                                                (text.size() - core::rtrim(text).size()));
        l.start = {plotX(n.record.x) + std::cos(a) * lead * kRecordAdvance * l.capHeight,
                   plotY(n.record.y) + std::sin(a) * lead * kRecordAdvance * l.capHeight};
        l.width = textWidth(visible, l.capHeight);
        LabelPlacement one[1] = {l};
        layout.placeGroup(-1, -1, {}, one);
        const PagePoint at = toPage(f, one[0].start.x, one[0].start.y);
        f.texts.push_back({Layer::Notes, at, one[0].capHeight * f.unit, one[0].angle, Anchor::Start,
                           std::string(visible), true});
    }

    // Invariant points: a dot, and the number beside it where it is free.
    if (options.invariantPoints) {
        const double r = kMarkerRadius / f.unit;
        for (const InvariantPoint& p : invariants) {
            const Vec at{plotX(p.x), plotY(p.y)};
            layout.addObstacle({at, {1, 0}, kMarkerClear * r, kMarkerClear * r});
            f.markers.push_back({Layer::Invariant, toPage(f, at.x, at.y), kMarkerRadius});
        }
    }

    // The mean intersection, its ellipses and its points, before the curve
    // labels so that these keep clear of the mean.
    const IntersectionMarks& im = options.intersections;
    if (im.shown) {
        const Vec mean{plotX(im.x), plotY(im.y)};
        // x = mx + k sx cos t, y = my + k sy (r cos t + sqrt(1 - r^2) sin t):
        // the covariance's Cholesky factor applied to the unit circle.
        const double sdx = std::sqrt(std::max(0.0, im.varX)), sdy = std::sqrt(std::max(0.0, im.varY));
        const double r = sdx > 0 && sdy > 0 ? std::clamp(im.covXY / (sdx * sdy), -1.0, 1.0) : 0.0;
        const double across = std::sqrt(std::max(0.0, 1 - r * r));
        for (int k = 1; k <= 2 && (sdx > 0 || sdy > 0); ++k) {
            FigurePolyline pl{Layer::Intersections, 0, k, {}, k == 2};
            for (int i = 0; i <= kEllipsePoints; ++i) {
                const double t = 2 * kPi * i / kEllipsePoints, c = std::cos(t), sn = std::sin(t);
                const double x = im.x + k * sdx * c, y = im.y + k * sdy * (r * c + across * sn);
                pl.points.push_back(toPage(f, plotX(x), plotY(y)));
            }
            f.polylines.push_back(std::move(pl));
        }
        for (const PagePoint& p : im.points)
            f.markers.push_back({Layer::Intersections, toPage(f, plotX(p.x), plotY(p.y)), kPointRadius});
        f.markers.push_back({Layer::Intersections, toPage(f, mean.x, mean.y), kMeanRadius});
        const double rm = kMeanRadius / f.unit;
        layout.addObstacle({mean, {1, 0}, kMarkerClear * rm, kMarkerClear * rm});
    }

    // The text of the mean intersection, beside its dot where it is free.
    if (im.shown && !im.text.empty()) {
        const Vec at{plotX(im.x), plotY(im.y)};
        LabelPlacement l;
        l.capHeight = kTickCap / f.unit;
        l.width = textWidth(im.text, l.capHeight);
        const double cw = l.width, ch = l.capHeight, de = kDescentEm * fontSizeForCap(ch);
        // Beside the dot, below right first, then farther out.
        Vec starts[12];
        for (int ring = 0; ring < 2; ++ring) {
            const double c = (2.5 + 4 * ring) * kMeanRadius / f.unit, cd = 0.7 * c;
            const Vec six[6] = {{at.x + cd, at.y - cd - ch},     {at.x + cd, at.y + cd + de},
                                {at.x - cd - cw, at.y - cd - ch}, {at.x - cd - cw, at.y + cd + de},
                                {at.x + c, at.y - (ch - de) / 2}, {at.x - c - cw, at.y - (ch - de) / 2}};
            for (int k = 0; k < 6; ++k) starts[6 * ring + k] = six[k];
        }
        Box boxes[12];
        for (int k = 0; k < 12; ++k) {
            l.start = starts[k];
            boxes[k] = labelBox(l);
        }
        const std::size_t k = layout.placeFirstFree(boxes);
        f.texts.push_back({Layer::Intersections, toPage(f, starts[k].x, starts[k].y), kTickCap, 0, Anchor::Start,
                           im.text, true});
    }

    // Curve labels: grouped by stretch, the shortest stretches (least room
    // to move) first.
    std::vector<LabelRef> groups;
    for (std::size_t d = 0; d < diagram.curves.size(); ++d) {
        const CurveDescription& c = diagram.curves[d];
        const auto& labels = plot.curves[static_cast<std::size_t>(c.index)].labels;
        for (std::size_t k = 0; k < labels.size(); ++k) {
            int s = c.labelStretch[k];
            if (s < 0) {
                // Not known from the record order: the nearest drawn stretch.
                double best = 1e300;
                const Vec p{plotX(labels[k].x), plotY(labels[k].y)};
                for (std::size_t j = 0; j < c.stretches.size(); ++j) {
                    if (c.stretches[j].size() < 2) continue;
                    for (const Vec& v : stretchPlot[d][j]) {
                        const double dist = (v.x - p.x) * (v.x - p.x) + (v.y - p.y) * (v.y - p.y);  // squared
                        if (dist < best) {
                            best = dist;
                            s = static_cast<int>(j);
                        }
                    }
                }
            }
            auto g = std::find_if(groups.begin(), groups.end(),
                                  [&](const LabelRef& r) { return r.curve == d && r.stretch == s && s >= 0; });
            if (g == groups.end()) {
                LabelRef r{d, s, {}, 0};
                if (s >= 0) {
                    const std::vector<Vec>& sp = stretchPlot[d][static_cast<std::size_t>(s)];
                    for (std::size_t i = 1; i < sp.size(); ++i) {
                        const double dx = sp[i].x - sp[i - 1].x, dy = sp[i].y - sp[i - 1].y;
                        r.length += std::sqrt(dx * dx + dy * dy);
                    }
                }
                groups.push_back(std::move(r));
                g = groups.end() - 1;
            }
            g->labels.push_back(k);
        }
    }
    std::stable_sort(groups.begin(), groups.end(), [](const LabelRef& a, const LabelRef& b) { return a.length < b.length; });

    // The labels of each group as their records place them.
    const bool numbersOnly = options.curveNumbers && diagram.style != LabelStyle::CurveNumber;
    std::vector<std::vector<LabelPlacement>> original(groups.size());
    std::vector<std::vector<std::string>> texts(groups.size());
    for (std::size_t gi = 0; gi < groups.size(); ++gi) {
        const LabelRef& g = groups[gi];
        const CurveDescription& c = diagram.curves[g.curve];
        const auto& labels = plot.curves[static_cast<std::size_t>(c.index)].labels;
        for (std::size_t k : g.labels) {
            const io::PlotLabelRecord& rec = labels[k];
            const std::string_view text = core::rtrim(rec.text);
            const std::string_view visible = core::trim(text);
            const double lead = static_cast<double>(text.size() - visible.size());
            const double cap0 = rec.height > 0 ? rec.height : 0.0125 * H;
            const double a = rec.angle * kPi / 180;
            const Vec u{std::cos(a), std::sin(a)};
            LabelPlacement l;
            l.angle = rec.angle;
            l.capHeight = cap0;
            l.width = textWidth(visible, cap0);
            l.start = {plotX(rec.x) + u.x * lead * kRecordAdvance * cap0, plotY(rec.y) + u.y * lead * kRecordAdvance * cap0};
            std::string shown(visible);
            double scale = options.labelScale > 0 ? options.labelScale : 1.0;
            if (numbersOnly) shown = std::to_string(c.number);
            if (scale != 1.0 || numbersOnly) {
                // Another text or size about the same centre.
                const Vec centre = labelBox(l).center;
                l.capHeight = cap0 * scale;
                l.width = textWidth(shown, l.capHeight);
                const double descent = kDescentEm * fontSizeForCap(l.capHeight);
                l.start = {centre.x - u.x * l.width / 2 + u.y * (l.capHeight - descent) / 2,
                           centre.y - u.y * l.width / 2 - u.x * (l.capHeight - descent) / 2};
            }
            original[gi].push_back(l);
            texts[gi].push_back(std::move(shown));
            // With numbers for the reaction texts, one number per stretch: the
            // first label's place (above the curve).
            if (numbersOnly) break;
        }
    }
    auto stretchOf = [&](std::size_t gi) {
        const LabelRef& g = groups[gi];
        return g.stretch >= 0 ? std::span<const Vec>(stretchPlot[g.curve][static_cast<std::size_t>(g.stretch)])
                              : std::span<const Vec>();
    };
    std::vector<std::vector<LabelPlacement>> placed(groups.size());
    for (std::size_t gi = 0; gi < groups.size(); ++gi) {
        placed[gi] = original[gi];
        layout.placeGroup(static_cast<int>(gi), static_cast<int>(groups[gi].curve), stretchOf(gi), placed[gi]);
    }
    // Second pass: a group left overlapping others gets its place first, and
    // the groups in its way look for new places; kept only when fewer labels
    // overlap afterwards.
    auto overlapping = [&](std::size_t gi) {
        int n = 0;
        for (const LabelPlacement& l : placed[gi]) n += layout.overlapsOthers(labelBox(l), static_cast<int>(gi)) ? 1 : 0;
        return n;
    };
    std::vector<int> others;
    std::vector<std::vector<LabelPlacement>> saved;
    for (int sweep = 0; sweep < 2; ++sweep) {
        for (std::size_t gi = 0; gi < groups.size(); ++gi) {
            if (overlapping(gi) == 0) continue;
            others.clear();
            for (const LabelPlacement& l : placed[gi])
                layout.ownersOverlapping(labelBox(l), static_cast<int>(gi), kMostRepaired, others);
            if (others.empty() || others.size() > kMostRepaired) continue;
            int before = overlapping(gi);
            for (int o : others) before += overlapping(static_cast<std::size_t>(o));
            saved.assign(1, placed[gi]);
            for (int o : others) saved.push_back(placed[static_cast<std::size_t>(o)]);
            layout.remove(static_cast<int>(gi));
            for (int o : others) layout.remove(o);
            placed[gi] = original[gi];
            layout.placeGroup(static_cast<int>(gi), static_cast<int>(groups[gi].curve), stretchOf(gi), placed[gi]);
            for (int o : others) {
                placed[static_cast<std::size_t>(o)] = original[static_cast<std::size_t>(o)];
                layout.placeGroup(o, static_cast<int>(groups[static_cast<std::size_t>(o)].curve), stretchOf(static_cast<std::size_t>(o)),
                                  placed[static_cast<std::size_t>(o)]);
            }
            int after = overlapping(gi);
            for (int o : others) after += overlapping(static_cast<std::size_t>(o));
            if (after >= before) {
                layout.remove(static_cast<int>(gi));
                for (int o : others) layout.remove(o);
                placed[gi] = saved[0];
                layout.restore(static_cast<int>(gi), placed[gi]);
                for (std::size_t k = 0; k < others.size(); ++k) {
                    placed[static_cast<std::size_t>(others[k])] = saved[k + 1];
                    layout.restore(others[k], saved[k + 1]);
                }
            }
        }
    }
    if (options.measureLayout) {
        LayoutQuality& q = f.quality;
        const LabelLayout frame(W, H, -1e-9);  // the frame itself, rounding aside
        std::vector<Box> boxes;
        std::vector<std::size_t> curveOf;
        double shift = 0;
        for (std::size_t gi = 0; gi < groups.size(); ++gi)
            for (std::size_t i = 0; i < placed[gi].size(); ++i) {
                boxes.push_back(labelBox(placed[gi][i]));
                curveOf.push_back(groups[gi].curve);
                const Vec was = labelBox(original[gi][i]).center;
                shift += std::hypot(boxes.back().center.x - was.x, boxes.back().center.y - was.y);
            }
        q.labels = static_cast<int>(boxes.size());
        q.meanShift = boxes.empty() ? 0 : shift / static_cast<double>(boxes.size()) * f.unit;
        for (std::size_t a = 0; a < boxes.size(); ++a) {
            q.outside += frame.inside(boxes[a]) ? 0 : 1;
            for (std::size_t b = a + 1; b < boxes.size(); ++b) q.overlappingPairs += boxesOverlap(boxes[a], boxes[b]) ? 1 : 0;
            bool crossed = false;
            for (std::size_t d = 0; d < stretchPlot.size() && !crossed; ++d) {
                if (d == curveOf[a]) continue;
                for (const std::vector<Vec>& sp : stretchPlot[d])
                    for (std::size_t i = 1; i < sp.size() && !crossed; ++i) crossed = segmentMeetsBox(boxes[a], sp[i - 1], sp[i]);
            }
            q.crossingLabels += crossed ? 1 : 0;
        }
    }
    for (std::size_t gi = 0; gi < groups.size(); ++gi) {
        for (std::size_t i = 0; i < placed[gi].size(); ++i) {
            const LabelPlacement& l = placed[gi][i];
            if (l.moved) ++f.labelsMoved;
            if (layout.overlapsOthers(labelBox(l), static_cast<int>(gi))) ++f.labelsOverlapping;
            f.texts.push_back({Layer::Labels, toPage(f, l.start.x, l.start.y), l.capHeight * f.unit, l.angle,
                               Anchor::Start, texts[gi][i], true});
        }
    }

    // Invariant point numbers last: they are small and can go to any side.
    if (options.invariantPoints) {
        const double r = kMarkerRadius / f.unit;
        for (const InvariantPoint& p : invariants) {
            const Vec at{plotX(p.x), plotY(p.y)};
            LabelPlacement l;
            l.capHeight = kInvariantCap / f.unit;
            const std::string text = "[" + std::to_string(p.number) + "]";
            l.width = textWidth(text, l.capHeight);
            // Beside the dot, clear of its keep-out square: above right first.
            const double cw = l.width, ch = l.capHeight, de = kDescentEm * fontSizeForCap(ch);
            const double c = kMarkerClear * r / 0.7 + 0.2 * ch, cd = 0.7 * c;
            const Vec starts[8] = {{at.x + cd, at.y + cd + de},        {at.x - cd - cw, at.y + cd + de},
                                   {at.x + cd, at.y - cd - ch},        {at.x - cd - cw, at.y - cd - ch},
                                   {at.x + c, at.y - (ch - de) / 2},   {at.x - c - cw, at.y - (ch - de) / 2},
                                   {at.x - cw / 2, at.y + c + de},     {at.x - cw / 2, at.y - c - ch}};
            Box boxes[8];
            for (int k = 0; k < 8; ++k) {
                l.start = starts[k];
                boxes[k] = labelBox(l);
            }
            const std::size_t k = layout.placeFirstFree(boxes);
            f.texts.push_back({Layer::Invariant, toPage(f, starts[k].x, starts[k].y), kInvariantCap, 0, Anchor::Start,
                               text, true});
        }
    }

    // Legend below the frame: number and reaction of every curve.
    const bool wantLegend = diagram.style == LabelStyle::CurveNumber || options.legend || options.curveNumbers;
    bool anyReaction = false;
    for (const CurveDescription& c : diagram.curves) anyReaction = anyReaction || (!c.water && !c.reaction.empty());
    if (wantLegend && !anyReaction) f.legendWithoutReactions = true;
    if (wantLegend && anyReaction) {
        double numberWidth = 0, textW = 0;
        int entries = 0;
        for (const CurveDescription& c : diagram.curves) {
            if (c.water) continue;
            ++entries;
            numberWidth = std::max(numberWidth, textWidth(std::to_string(c.number), kLegendCap));
            textW = std::max(textW, textWidth(c.reaction.empty() ? "?" : c.reaction, kLegendCap));
        }
        const double gap = 5, columnGap = 14;
        const double columnWidth = numberWidth + gap + textW + columnGap;
        const double left = f.frameLeft;
        // As many columns as fit the page; more (widening the page, up to
        // kWidestLegend) while the legend would be taller than the frame.
        const double pitch = kLegendCap * kLineSpacing * 1.05;
        const double avail = f.pageWidth - kMargin - left;
        int columns = std::max(1, static_cast<int>((avail + columnGap) / columnWidth));
        const int mostColumns = std::max(1, static_cast<int>((kWidestLegend - left - kMargin + columnGap) / columnWidth));
        const int wantRows = std::max(8, static_cast<int>(f.frameHeight / pitch));
        while (columns < mostColumns && (entries + columns - 1) / columns > wantRows) ++columns;
        columns = std::min(columns, std::max(1, entries));
        f.pageWidth = std::max(f.pageWidth, left + columns * columnWidth - columnGap + kMargin);
        const int rows = (entries + columns - 1) / columns;
        y += 6;
        f.texts.push_back({Layer::Legend, {left, y + kTickCap}, kTickCap, 0, Anchor::Start, "Reactions", false});
        y += kTickCap * 2.2;
        int i = 0;
        for (const CurveDescription& c : diagram.curves) {
            if (c.water) continue;
            const int col = i / rows, row = i % rows;
            const double x = left + col * columnWidth;
            const double base = y + kLegendCap + row * pitch;
            f.texts.push_back({Layer::Legend, {x + numberWidth, base}, kLegendCap, 0, Anchor::End,
                               std::to_string(c.number), false});
            f.texts.push_back({Layer::Legend, {x + numberWidth + gap, base}, kLegendCap, 0, Anchor::Start,
                               c.reaction.empty() ? "?" : c.reaction, false});
            ++i;
        }
        y += kLegendCap + (rows - 1) * pitch + kLegendCap;
    }
    f.pageHeight = y + kMargin;
    return f;
}

}  // namespace render
