#include "render/label_layout.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/text_metrics.hpp"

namespace render {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPad = 0.12;  // clear margin around a label, in capital heights

Vec add(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec mul(Vec a, double k) { return {a.x * k, a.y * k}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }

// Half extents of a box along the frame's axes.
void extent(const Box& b, double& ex, double& ey) {
    const Vec n = b.n();
    ex = b.halfW * std::abs(b.u.x) + b.halfH * std::abs(n.x);
    ey = b.halfW * std::abs(b.u.y) + b.halfH * std::abs(n.y);
}

// Point at arc length s along a polyline with cumulative lengths `cum`.
Vec pointAt(std::span<const Vec> p, const std::vector<double>& cum, double s) {
    if (s <= 0) return p.front();
    if (s >= cum.back()) return p.back();
    const std::size_t i =
        static_cast<std::size_t>(std::upper_bound(cum.begin(), cum.end(), s) - cum.begin());  // cum[i-1] <= s < cum[i]
    const double seg = cum[i] - cum[i - 1];
    const double t = seg > 0 ? (s - cum[i - 1]) / seg : 0;
    return add(p[i - 1], mul(sub(p[i], p[i - 1]), t));
}

Vec unit(Vec v, Vec fallback) {
    const double l = std::hypot(v.x, v.y);
    return l > 1e-12 ? mul(v, 1 / l) : fallback;
}

}  // namespace

bool boxesOverlap(const Box& a, const Box& b) {
    double aex, aey, bex, bey;
    extent(a, aex, aey);
    extent(b, bex, bey);
    const Vec d = sub(b.center, a.center);
    if (std::abs(d.x) > aex + bex || std::abs(d.y) > aey + bey) return false;
    const Vec axes[4] = {a.u, a.n(), b.u, b.n()};
    for (const Vec& ax : axes) {
        const double ra = a.halfW * std::abs(dot(a.u, ax)) + a.halfH * std::abs(dot(a.n(), ax));
        const double rb = b.halfW * std::abs(dot(b.u, ax)) + b.halfH * std::abs(dot(b.n(), ax));
        if (std::abs(dot(d, ax)) > ra + rb) return false;
    }
    return true;
}

bool segmentMeetsBox(const Box& b, Vec a0, Vec e0) {
    // The segment in the box's own axes, against the box.
    const Vec n = b.n();
    const Vec a = sub(a0, b.center), e = sub(e0, b.center);
    const double ax = dot(a, b.u), ay = dot(a, n), ex = dot(e, b.u), ey = dot(e, n);
    if (std::min(ax, ex) > b.halfW || std::max(ax, ex) < -b.halfW) return false;
    if (std::min(ay, ey) > b.halfH || std::max(ay, ey) < -b.halfH) return false;
    const double mx = -(ey - ay), my = ex - ax;
    return std::abs(mx * ax + my * ay) <= b.halfW * std::abs(mx) + b.halfH * std::abs(my);
}

Box labelBox(const LabelPlacement& l) {
    const double a = l.angle * kPi / 180;
    Box b;
    b.u = {std::cos(a), std::sin(a)};
    const double descent = kDescentEm * fontSizeForCap(l.capHeight);
    const double pad = kPad * l.capHeight;
    b.halfW = l.width / 2 + pad;
    b.halfH = (l.capHeight + descent) / 2 + pad;
    b.center = add(add(l.start, mul(b.u, l.width / 2)), mul(b.n(), (l.capHeight - descent) / 2));
    return b;
}

LabelLayout::LabelLayout(double width, double height, double inset) : w_(width), h_(height), inset_(inset) {
    cell_ = std::max(width, height) / 40;
    if (!(cell_ > 0)) cell_ = 1;
    cols_ = std::max(1, static_cast<int>(std::ceil(width / cell_)));
    rows_ = std::max(1, static_cast<int>(std::ceil(height / cell_)));
    cells_.resize(static_cast<std::size_t>(cols_ * rows_));
    segmentCells_.resize(cells_.size());
}

void LabelLayout::addSegment(Vec a, Vec b, int curve) {
    const int k = static_cast<int>(segments_.size());
    segments_.push_back({a, b, curve});
    segmentSeen_.push_back(0);
    Box extentBox{{(a.x + b.x) / 2, (a.y + b.y) / 2}, {1, 0}, std::abs(b.x - a.x) / 2, std::abs(b.y - a.y) / 2};
    int i0, i1, j0, j1;
    cellRange(extentBox, i0, i1, j0, j1);
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) segmentCells_[static_cast<std::size_t>(j * cols_ + i)].push_back(k);
}

int LabelLayout::crossings(const Box& b, int curve) const {
    int i0, i1, j0, j1;
    cellRange(b, i0, i1, j0, j1);
    if (++stamp_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0u);
        std::fill(segmentSeen_.begin(), segmentSeen_.end(), 0u);
        stamp_ = 1;
    }
    int count = 0;
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i)
            for (int k : segmentCells_[static_cast<std::size_t>(j * cols_ + i)]) {
                if (segmentSeen_[static_cast<std::size_t>(k)] == stamp_) continue;
                segmentSeen_[static_cast<std::size_t>(k)] = stamp_;
                const Segment& sg = segments_[static_cast<std::size_t>(k)];
                if (sg.curve != curve && segmentMeetsBox(b, sg.a, sg.b)) ++count;
            }
    return count;
}

void LabelLayout::cellRange(const Box& b, int& i0, int& i1, int& j0, int& j1) const {
    double ex, ey;
    extent(b, ex, ey);
    auto clampCell = [](double v, int n) {
        if (!(v > 0)) return 0;
        return v >= n - 1 ? n - 1 : static_cast<int>(v);
    };
    i0 = clampCell((b.center.x - ex) / cell_, cols_);
    i1 = clampCell((b.center.x + ex) / cell_, cols_);
    j0 = clampCell((b.center.y - ey) / cell_, rows_);
    j1 = clampCell((b.center.y + ey) / cell_, rows_);
}

template <class F>
void LabelLayout::forNearby(const Box& b, F&& f) const {
    int i0, i1, j0, j1;
    cellRange(b, i0, i1, j0, j1);
    if (++stamp_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0u);
        std::fill(segmentSeen_.begin(), segmentSeen_.end(), 0u);
        stamp_ = 1;
    }
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i)
            for (int k : cells_[static_cast<std::size_t>(j * cols_ + i)]) {
                if (seen_[static_cast<std::size_t>(k)] == stamp_) continue;
                seen_[static_cast<std::size_t>(k)] = stamp_;
                const Placed& p = placed_[static_cast<std::size_t>(k)];
                if (p.alive) f(p);
            }
}

void LabelLayout::insert(const Box& b, int owner) {
    const int k = static_cast<int>(placed_.size());
    placed_.push_back({b, owner, true});
    seen_.push_back(0);
    int i0, i1, j0, j1;
    cellRange(b, i0, i1, j0, j1);
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) cells_[static_cast<std::size_t>(j * cols_ + i)].push_back(k);
}

void LabelLayout::remove(int owner) {
    for (std::size_t k = 0; k < placed_.size(); ++k) {
        Placed& p = placed_[k];
        if (p.owner != owner || !p.alive) continue;
        p.alive = false;
        int i0, i1, j0, j1;
        cellRange(p.box, i0, i1, j0, j1);
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i) {
                std::vector<int>& c = cells_[static_cast<std::size_t>(j * cols_ + i)];
                auto at = std::find(c.begin(), c.end(), static_cast<int>(k));
                if (at != c.end()) {
                    *at = c.back();
                    c.pop_back();
                }
            }
    }
}

void LabelLayout::restore(int owner, std::span<const LabelPlacement> labels) {
    for (const LabelPlacement& l : labels) insert(labelBox(l), owner);
}

void LabelLayout::ownersOverlapping(const Box& b, int self, std::vector<int>& out) const {
    forNearby(b, [&](const Placed& p) {
        if (p.owner != self && p.owner != kObstacle && boxesOverlap(b, p.box) &&
            std::find(out.begin(), out.end(), p.owner) == out.end())
            out.push_back(p.owner);
    });
}

bool LabelLayout::overlapsOthers(const Box& b, int self) const {
    bool any = false;
    forNearby(b, [&](const Placed& p) { any = any || (p.owner != self && boxesOverlap(b, p.box)); });
    return any;
}

bool LabelLayout::inside(const Box& b) const {
    double ex, ey;
    extent(b, ex, ey);
    return b.center.x - ex >= inset_ && b.center.x + ex <= w_ - inset_ && b.center.y - ey >= inset_ &&
           b.center.y + ey <= h_ - inset_;
}

double LabelLayout::outsideDistance(const Box& b) const {
    double ex, ey;
    extent(b, ex, ey);
    return std::max(0.0, inset_ - (b.center.x - ex)) + std::max(0.0, b.center.x + ex - (w_ - inset_)) +
           std::max(0.0, inset_ - (b.center.y - ey)) + std::max(0.0, b.center.y + ey - (h_ - inset_));
}

Vec LabelLayout::clampInside(const Box& b) const {
    double ex, ey;
    extent(b, ex, ey);
    auto shift = [](double lo, double hi, double minEdge, double maxEdge) {
        if (hi - lo > maxEdge - minEdge) return (minEdge + maxEdge) / 2 - (lo + hi) / 2;  // larger than the frame
        if (lo < minEdge) return minEdge - lo;
        if (hi > maxEdge) return maxEdge - hi;
        return 0.0;
    };
    return {shift(b.center.x - ex, b.center.x + ex, inset_, w_ - inset_),
            shift(b.center.y - ey, b.center.y + ey, inset_, h_ - inset_)};
}

double LabelLayout::overlapArea(const Box& b) const {
    double bex, bey;
    extent(b, bex, bey);
    double area = 0;
    forNearby(b, [&](const Placed& p) {
        const Box& o = p.box;
        if (!boxesOverlap(b, o)) return;
        double oex, oey;
        extent(o, oex, oey);
        const double dx = std::min(b.center.x + bex, o.center.x + oex) - std::max(b.center.x - bex, o.center.x - oex);
        const double dy = std::min(b.center.y + bey, o.center.y + oey) - std::max(b.center.y - bey, o.center.y - oey);
        area += std::max(dx, 1e-9) * std::max(dy, 1e-9);
    });
    return area;
}

std::size_t LabelLayout::placeFirstFree(std::span<const Box> candidates) {
    // In order: inside the frame, free of labels, crossing no curve.
    std::size_t best = 0;
    double bestOut = std::numeric_limits<double>::infinity(), bestOverlap = bestOut;
    int bestCrossed = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Box& c = candidates[i];
        const double out = outsideDistance(c), overlap = overlapArea(c);
        const int crossed = out == 0 && overlap == 0 ? crossings(c, -1) : std::numeric_limits<int>::max();
        if (out < bestOut || (out == bestOut && (overlap < bestOverlap || (overlap == bestOverlap && crossed < bestCrossed)))) {
            best = i;
            bestOut = out;
            bestOverlap = overlap;
            bestCrossed = crossed;
            if (out == 0 && overlap == 0 && crossed == 0) break;
        }
    }
    if (!candidates.empty()) insert(candidates[best], kObstacle);
    return best;
}

void LabelLayout::placeGroup(int owner, int curve, std::span<const Vec> stretch, std::span<LabelPlacement> labels) {
    if (labels.empty()) return;
    trial_.assign(labels.begin(), labels.end());
    best_.assign(labels.begin(), labels.end());

    // Score of a set of placed labels, compared in order: how far outside
    // the frame, how much over other labels, how many lines of other curves
    // crossed.  All zero: inside and free.
    struct Score {
        double out = 0, overlap = 0;
        int crossed = 0;
        bool zero() const { return out == 0 && overlap == 0 && crossed == 0; }
        bool operator<(const Score& o) const {
            if (out != o.out) return out < o.out;
            if (overlap != o.overlap) return overlap < o.overlap;
            return crossed < o.crossed;
        }
    };
    auto score = [&](std::span<const LabelPlacement> set) {
        Score sc;
        for (std::size_t i = 0; i < set.size(); ++i) {
            const Box b = labelBox(set[i]);
            sc.out += outsideDistance(b);
            sc.overlap += overlapArea(b);
        }
        if (sc.out == 0 && sc.overlap == 0)
            for (std::size_t i = 0; i < set.size(); ++i) sc.crossed += crossings(labelBox(set[i]), curve);
        return sc;
    };

    Score best = score(trial_);

    const bool canSlide = stretch.size() >= 2;
    if (!best.zero() && canSlide) {
        cum_.assign(stretch.size(), 0.0);
        for (std::size_t i = 1; i < stretch.size(); ++i)
            cum_[i] = cum_[i - 1] + std::hypot(stretch[i].x - stretch[i - 1].x, stretch[i].y - stretch[i - 1].y);
        const double length = cum_.back();
        if (length > 1e-9) {
            // Where each label sits relative to the curve: the arc length of
            // the point nearest to its centre, and its offsets along and
            // across the curve there (across keeps the side of the curve).
            anchors_.assign(labels.size(), Anchor{});
            double sMin = length, sMax = 0;
            for (std::size_t k = 0; k < labels.size(); ++k) {
                const Vec c = labelBox(labels[k]).center;
                double bestD = std::numeric_limits<double>::infinity();
                Anchor& an = anchors_[k];
                for (std::size_t i = 1; i < stretch.size(); ++i) {
                    const Vec a = stretch[i - 1], d = sub(stretch[i], a);
                    const double seg = cum_[i] - cum_[i - 1];
                    const double t = seg > 0 ? std::clamp(dot(sub(c, a), d) / (seg * seg), 0.0, 1.0) : 0.0;
                    const Vec foot = add(a, mul(d, t));
                    const double dist = std::hypot(c.x - foot.x, c.y - foot.y);
                    if (dist < bestD) {
                        bestD = dist;
                        const Vec tan = unit(d, {1, 0});
                        const Vec nor{-tan.y, tan.x};
                        an.s = cum_[i - 1] + t * seg;
                        an.along = dot(sub(c, foot), tan);
                        an.side = dot(sub(c, foot), nor);
                    }
                }
                sMin = std::min(sMin, an.s);
                sMax = std::max(sMax, an.s);
            }
            double minCap = labels[0].capHeight;
            for (const LabelPlacement& l : labels) minCap = std::min(minCap, l.capHeight);
            const double step = std::max(length / 150, 0.1 * minCap);
            const int steps = static_cast<int>(std::ceil(std::max(sMax, length - sMin) / step));
            for (int k = 1; k <= steps && !best.zero(); ++k) {
                for (int sign : {1, -1}) {
                    const double delta = sign * k * step;
                    if (sMax + delta < 0 - step || sMin + delta > length + step) continue;
                    for (std::size_t j = 0; j < labels.size(); ++j) {
                        LabelPlacement& l = trial_[j];
                        const Anchor& an = anchors_[j];
                        const double s = std::clamp(an.s + delta, 0.0, length);
                        // Direction of the curve under the label: the chord
                        // across the label's width.
                        const Vec p1 = pointAt(stretch, cum_, s - l.width / 2);
                        const Vec p2 = pointAt(stretch, cum_, s + l.width / 2);
                        const Vec tan = unit(sub(p2, p1), {1, 0});
                        const Vec nor{-tan.y, tan.x};
                        const Vec c = add(add(pointAt(stretch, cum_, s), mul(tan, an.along)), mul(nor, an.side));
                        // Text reads from left to right (upwards when vertical).
                        Vec u = tan;
                        if (u.x < 0 || (u.x == 0 && u.y < 0)) u = mul(u, -1);
                        const Vec n{-u.y, u.x};
                        const double descent = kDescentEm * fontSizeForCap(l.capHeight);
                        l.angle = std::atan2(u.y, u.x) * 180 / kPi;
                        l.start = sub(sub(c, mul(u, l.width / 2)), mul(n, (l.capHeight - descent) / 2));
                        l.moved = true;
                    }
                    const Score sc = score(trial_);
                    if (sc < best) {
                        best = sc;
                        best_.assign(trial_.begin(), trial_.end());
                        if (sc.zero()) break;
                    }
                }
            }
        }
    }
    // Nothing inside: shift each label just inside the frame.
    for (std::size_t j = 0; j < best_.size(); ++j) {
        LabelPlacement& l = best_[j];
        Box b = labelBox(l);
        if (best.out > 0 && !inside(b)) {
            const Vec d = clampInside(b);
            l.start = add(l.start, d);
            l.moved = true;
            b = labelBox(l);
        }
        l.inside = inside(b);
        l.overlaps = overlapArea(b) > 0;
        insert(b, owner);
        labels[j] = l;
    }
}

}  // namespace render
