#include "render/invariant_points.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "calc/diagram_type.hpp"

namespace render {
namespace {

// A stretch within this many tolerances of a group of ends passes through it.
constexpr double kPassingMargin = 3.0;

enum class Axis { Temperature, Pressure, Other };

void axesOf(int diagramType, Axis& x, Axis& y) {
    switch (diagramType) {
        case calc::kPT: x = Axis::Temperature; y = Axis::Pressure; return;
        case calc::kTX: x = Axis::Other; y = Axis::Temperature; return;
        case calc::kPX: x = Axis::Other; y = Axis::Pressure; return;
        case calc::kActT: x = Axis::Other; y = Axis::Temperature; return;
        case calc::kActP: x = Axis::Other; y = Axis::Pressure; return;
        default: x = Axis::Other; y = Axis::Other; return;
    }
}

double toleranceOf(Axis a, double range) {
    switch (a) {
        case Axis::Temperature: return 0.1;
        case Axis::Pressure: return 1.0;
        default: return 2e-4 * range;
    }
}

struct End {
    double x, y;
    int curve;  // curve number
    std::size_t description;
};

int findRoot(std::vector<int>& parent, int i) {
    while (parent[static_cast<std::size_t>(i)] != i) {
        parent[static_cast<std::size_t>(i)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
        i = parent[static_cast<std::size_t>(i)];
    }
    return i;
}

}  // namespace

InvariantTolerance defaultInvariantTolerance(const io::PlotFileContents& plot) {
    Axis x, y;
    axesOf(plot.diagramType, x, y);
    return {toleranceOf(x, plot.window.xmax - plot.window.xmin), toleranceOf(y, plot.window.ymax - plot.window.ymin)};
}

std::vector<InvariantPoint> findInvariantPoints(const io::PlotFileContents& plot,
                                                const DiagramDescription& diagram, InvariantTolerance tol) {
    const calc::PlotWindow& w = plot.window;
    auto onBorder = [&](double x, double y) {
        return x - w.xmin <= tol.x || w.xmax - x <= tol.x || y - w.ymin <= tol.y || w.ymax - y <= tol.y;
    };
    std::vector<End> ends;
    for (std::size_t d = 0; d < diagram.curves.size(); ++d) {
        const CurveDescription& c = diagram.curves[d];
        if (c.water) continue;
        const auto& pts = plot.curves[static_cast<std::size_t>(c.index)].points;
        for (const Stretch& s : c.stretches) {
            if (s.size() < 2) continue;
            for (int i : {s.first, s.last}) {
                const calc::CurvePoint& p = pts[static_cast<std::size_t>(i)];
                // A curve leaving the window ends there without meeting anything.
                if (!onBorder(p.x, p.y)) ends.push_back({p.x, p.y, c.number, d});
            }
        }
    }
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) { return a.x < b.x; });
    const int n = static_cast<int>(ends.size());
    std::vector<int> parent(static_cast<std::size_t>(n));
    std::iota(parent.begin(), parent.end(), 0);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n && ends[static_cast<std::size_t>(j)].x - ends[static_cast<std::size_t>(i)].x <= tol.x;
             ++j)
            if (std::abs(ends[static_cast<std::size_t>(j)].y - ends[static_cast<std::size_t>(i)].y) <= tol.y)
                parent[static_cast<std::size_t>(findRoot(parent, j))] = findRoot(parent, i);

    // Whether a stretch passes within the margin of a point, in units of the
    // tolerance.
    const double sx = 1 / tol.x, sy = 1 / tol.y, m = kPassingMargin;
    auto passes = [&](double x, double y, const std::vector<calc::CurvePoint>& pts, const Stretch& s) {
        for (int i = s.first; i < s.last; ++i) {
            const calc::CurvePoint &a = pts[static_cast<std::size_t>(i)], &b = pts[static_cast<std::size_t>(i) + 1];
            // From the point to the segment's ends, scaled.
            const double ax = (a.x - x) * sx, ay = (a.y - y) * sy, bx = (b.x - x) * sx, by = (b.y - y) * sy;
            if (std::min(ax, bx) > m || std::max(ax, bx) < -m || std::min(ay, by) > m || std::max(ay, by) < -m) continue;
            const double dx = bx - ax, dy = by - ay, l = dx * dx + dy * dy;
            const double t = l > 0 ? std::clamp(-(ax * dx + ay * dy) / l, 0.0, 1.0) : 0.0;
            const double ex = ax + t * dx, ey = ay + t * dy;
            if (ex * ex + ey * ey <= m * m) return true;
        }
        return false;
    };

    // The extent of every drawn stretch: a stretch whose extent lies farther
    // than the margin from a point cannot pass through it.
    struct Extent {
        double x0, y0, x1, y1;
    };
    std::vector<std::vector<Extent>> extents(diagram.curves.size());
    for (std::size_t d = 0; d < diagram.curves.size(); ++d) {
        const CurveDescription& c = diagram.curves[d];
        const auto& pts = plot.curves[static_cast<std::size_t>(c.index)].points;
        for (const Stretch& s : c.stretches) {
            Extent e{1e300, 1e300, -1e300, -1e300};
            for (int i = s.first; i <= s.last; ++i) {
                const calc::CurvePoint& q = pts[static_cast<std::size_t>(i)];
                e = {std::min(e.x0, q.x), std::min(e.y0, q.y), std::max(e.x1, q.x), std::max(e.y1, q.y)};
            }
            extents[d].push_back(e);
        }
    }
    auto within = [&](double x, double y, const Extent& e) {
        const double dx = std::max({e.x0 - x, 0.0, x - e.x1}) * sx, dy = std::max({e.y0 - y, 0.0, y - e.y1}) * sy;
        return dx * dx + dy * dy <= m * m * (1 + 1e-9);
    };

    // The phases of each curve's reaction, read when first needed.
    std::vector<std::vector<std::string>> phases(diagram.curves.size());
    std::vector<bool> phasesRead(diagram.curves.size(), false);
    auto phasesOfCurve = [&](std::size_t d) -> const std::vector<std::string>& {
        if (!phasesRead[d]) phases[d] = phasesOf(diagram.curves[d].reaction);
        phasesRead[d] = true;
        return phases[d];
    };

    std::vector<std::vector<int>> groups(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) groups[static_cast<std::size_t>(findRoot(parent, i))].push_back(i);
    std::vector<InvariantPoint> out;
    for (const std::vector<int>& g : groups) {
        if (g.empty()) continue;
        InvariantPoint p;
        std::vector<std::size_t> descriptions;
        for (int i : g) {
            const End& e = ends[static_cast<std::size_t>(i)];
            p.x += e.x;
            p.y += e.y;
            if (std::find(descriptions.begin(), descriptions.end(), e.description) == descriptions.end())
                descriptions.push_back(e.description);
        }
        p.x /= static_cast<double>(g.size());
        p.y /= static_cast<double>(g.size());
        // Curves whose stable stretches go on through the point (the stretch
        // is a chord between traced points, hence the wider margin).
        for (std::size_t d = 0; d < diagram.curves.size(); ++d) {
            const CurveDescription& c = diagram.curves[d];
            if (c.water || std::find(descriptions.begin(), descriptions.end(), d) != descriptions.end()) continue;
            const auto& pts = plot.curves[static_cast<std::size_t>(c.index)].points;
            auto far = [&](int i) {
                const double dx = (pts[static_cast<std::size_t>(i)].x - p.x) * sx,
                             dy = (pts[static_cast<std::size_t>(i)].y - p.y) * sy;
                return dx * dx + dy * dy > m * m;
            };
            // An end this close belongs to a group of its own, not here.
            for (std::size_t k = 0; k < c.stretches.size(); ++k) {
                const Stretch& s = c.stretches[k];
                if (s.size() >= 2 && within(p.x, p.y, extents[d][k]) && far(s.first) && far(s.last) &&
                    passes(p.x, p.y, pts, s)) {
                    descriptions.push_back(d);
                    break;
                }
            }
        }
        if (descriptions.size() < 3) continue;
        for (std::size_t d : descriptions) p.curves.push_back(diagram.curves[d].number);
        std::sort(p.curves.begin(), p.curves.end());
        for (std::size_t d : descriptions)
            for (const std::string& ph : phasesOfCurve(d))
                if (std::find(p.phases.begin(), p.phases.end(), ph) == p.phases.end()) p.phases.push_back(ph);
        std::sort(p.phases.begin(), p.phases.end());
        out.push_back(std::move(p));
    }
    std::sort(out.begin(), out.end(),
              [](const InvariantPoint& a, const InvariantPoint& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    for (std::size_t i = 0; i < out.size(); ++i) out[i].number = static_cast<int>(i) + 1;
    return out;
}

}  // namespace render
