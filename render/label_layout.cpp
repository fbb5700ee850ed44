#include "render/label_layout.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/text_metrics.hpp"

namespace render {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPad = 0.12;  // clear margin around a label, in capital heights
// Labels slide along their curves in steps of about this many capital
// heights first, then in finer steps next to the best of those.
constexpr double kCoarseStep = 3.0;

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
    const double l = std::sqrt(dot(v, v));
    return l > 1e-12 ? mul(v, 1 / l) : fallback;
}

// The separating-axis test of two boxes whose extents are known to meet.
// With c and s the cosine and sine of the angle between them, the half
// widths of one box across the other's axes are halfW |c| + halfH |s| and
// halfW |s| + halfH |c|.
bool axesOverlap(const Box& a, const Box& b) {
    const Vec d = sub(b.center, a.center);
    const double c = std::abs(dot(a.u, b.u)), s = std::abs(a.u.x * b.u.y - a.u.y * b.u.x);
    // All four axes without branching: the outcome is hard to predict, and
    // a mispredicted branch costs more than the arithmetic it saves.
    const bool across = (std::abs(a.u.x * d.y - a.u.y * d.x) <= a.halfH + b.halfW * s + b.halfH * c) &
                        (std::abs(b.u.x * d.y - b.u.y * d.x) <= b.halfH + a.halfW * s + a.halfH * c);
    const bool along = (std::abs(dot(d, a.u)) <= a.halfW + b.halfW * c + b.halfH * s) &
                       (std::abs(dot(d, b.u)) <= b.halfW + a.halfW * c + a.halfH * s);
    return across & along;
}

}  // namespace

bool boxesOverlap(const Box& a, const Box& b) {
    double aex, aey, bex, bey;
    extent(a, aex, aey);
    extent(b, bex, bey);
    const Vec d = sub(b.center, a.center);
    if (std::abs(d.x) > aex + bex || std::abs(d.y) > aey + bey) return false;
    return axesOverlap(a, b);
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
    // Cells about as long as a label: a label then covers a few cells, and
    // a cell holds a few labels.
    cell_ = std::max(width, height) / 6;
    if (!(cell_ > 0)) cell_ = 1;
    cols_ = std::max(1, static_cast<int>(std::ceil(width / cell_)));
    rows_ = std::max(1, static_cast<int>(std::ceil(height / cell_)));
    cells_.resize(static_cast<std::size_t>(cols_ * rows_));
    segmentCells_.resize(cells_.size());
}

int LabelLayout::cellOf(double v, int n) const {
    v /= cell_;
    if (!(v > 0)) return 0;
    return v >= n - 1 ? n - 1 : static_cast<int>(v);
}

LabelLayout::Extent LabelLayout::extentOf(double x0, double y0, double x1, double y1) const {
    return {x0, y0, x1, y1, cellOf(x0, cols_), cellOf(y0, rows_), cellOf(x1, cols_), cellOf(y1, rows_)};
}

LabelLayout::Extent LabelLayout::extentOf(const Box& b) const {
    double ex, ey;
    extent(b, ex, ey);
    return extentOf(b.center.x - ex, b.center.y - ey, b.center.x + ex, b.center.y + ey);
}

template <class F>
void LabelLayout::forMeeting(const std::vector<std::vector<Entry>>& cells, const Extent& q, F&& f) const {
    for (int j = q.j0; j <= q.j1; ++j)
        for (int i = q.i0; i <= q.i1; ++i)
            for (const Entry& e : cells[static_cast<std::size_t>(j * cols_ + i)]) {
                if (e.x0 > q.x1 || e.x1 < q.x0 || e.y0 > q.y1 || e.y1 < q.y0) continue;
                // The pair is met in every cell both cover: take the first.
                if (i != std::max(q.i0, e.i0) || j != std::max(q.j0, e.j0)) continue;
                if (!f(e.k)) return;
            }
}

void LabelLayout::addSegment(Vec a, Vec b, int curve) {
    const int k = static_cast<int>(segments_.size());
    segments_.push_back({a, b, curve});
    const Extent e = extentOf(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
    for (int j = e.j0; j <= e.j1; ++j)
        for (int i = e.i0; i <= e.i1; ++i)
            segmentCells_[static_cast<std::size_t>(j * cols_ + i)].push_back({e.x0, e.y0, e.x1, e.y1, e.i0, e.j0, k});
}

int LabelLayout::crossings(const Box& b, const Extent& e, int curve, int limit) const {
    int count = 0;
    forMeeting(segmentCells_, e, [&](int k) {
        const Segment& sg = segments_[static_cast<std::size_t>(k)];
        if (sg.curve != curve && segmentMeetsBox(b, sg.a, sg.b)) ++count;
        return count <= limit;
    });
    return count;
}

void LabelLayout::insert(const Box& b, int owner) {
    const int k = static_cast<int>(placed_.size());
    const Extent e = extentOf(b);
    placed_.push_back({b, e, owner, true});
    for (int j = e.j0; j <= e.j1; ++j)
        for (int i = e.i0; i <= e.i1; ++i)
            cells_[static_cast<std::size_t>(j * cols_ + i)].push_back({e.x0, e.y0, e.x1, e.y1, e.i0, e.j0, k});
}

void LabelLayout::remove(int owner) {
    for (std::size_t k = 0; k < placed_.size(); ++k) {
        Placed& p = placed_[k];
        if (p.owner != owner || !p.alive) continue;
        p.alive = false;
        for (int j = p.ext.j0; j <= p.ext.j1; ++j)
            for (int i = p.ext.i0; i <= p.ext.i1; ++i) {
                std::vector<Entry>& c = cells_[static_cast<std::size_t>(j * cols_ + i)];
                auto at = std::find_if(c.begin(), c.end(), [&](const Entry& e) { return e.k == static_cast<int>(k); });
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

void LabelLayout::ownersOverlapping(const Box& b, int self, std::size_t most, std::vector<int>& out) const {
    if (out.size() > most) return;
    forMeeting(cells_, extentOf(b), [&](int k) {
        const Placed& p = placed_[static_cast<std::size_t>(k)];
        if (p.owner != self && p.owner != kObstacle && std::find(out.begin(), out.end(), p.owner) == out.end() &&
            axesOverlap(b, p.box))
            out.push_back(p.owner);
        return out.size() <= most;
    });
}

bool LabelLayout::overlapsOthers(const Box& b, int self) const {
    bool any = false;
    forMeeting(cells_, extentOf(b), [&](int k) {
        const Placed& p = placed_[static_cast<std::size_t>(k)];
        any = p.owner != self && axesOverlap(b, p.box);
        return !any;
    });
    return any;
}

bool LabelLayout::insideExtent(const Extent& e) const {
    return e.x0 >= inset_ && e.x1 <= w_ - inset_ && e.y0 >= inset_ && e.y1 <= h_ - inset_;
}

bool LabelLayout::inside(const Box& b) const { return insideExtent(extentOf(b)); }

double LabelLayout::outsideDistance(const Extent& e) const {
    return std::max(0.0, inset_ - e.x0) + std::max(0.0, e.x1 - (w_ - inset_)) + std::max(0.0, inset_ - e.y0) +
           std::max(0.0, e.y1 - (h_ - inset_));
}

Vec LabelLayout::clampInside(const Box& b) const {
    const Extent e = extentOf(b);
    auto shift = [](double lo, double hi, double minEdge, double maxEdge) {
        if (hi - lo > maxEdge - minEdge) return (minEdge + maxEdge) / 2 - (lo + hi) / 2;  // larger than the frame
        if (lo < minEdge) return minEdge - lo;
        if (hi > maxEdge) return maxEdge - hi;
        return 0.0;
    };
    return {shift(e.x0, e.x1, inset_, w_ - inset_), shift(e.y0, e.y1, inset_, h_ - inset_)};
}

std::size_t LabelLayout::meetingIn(const Extent& q, int i, int j) const {
    const std::vector<Entry>& cell = cells_[static_cast<std::size_t>(j * cols_ + i)];
    if (found_.size() < cell.size()) found_.resize(cell.size());
    // The first cell both cover: in the query's first column (row) any box
    // qualifies, elsewhere only one that starts in this column (row).
    const bool firstColumn = i == q.i0, firstRow = j == q.j0;
    // Written without branches, as in axesOverlap.
    std::size_t n = 0;
    for (const Entry& e : cell) {
        const bool meets = (e.x0 <= q.x1) & (e.x1 >= q.x0) & (e.y0 <= q.y1) & (e.y1 >= q.y0);
        const bool first = (firstColumn | (e.i0 == i)) & (firstRow | (e.j0 == j));
        found_[n] = e.k;
        n += static_cast<std::size_t>(meets & first);
    }
    return n;
}

double LabelLayout::overlapArea(const Box& b, const Extent& e, double limit) const {
    double area = 0;
    auto cell = [&](int i, int j) {
        const std::size_t n = meetingIn(e, i, j);
        for (std::size_t m = 0; m < n; ++m) {
            const Placed& p = placed_[static_cast<std::size_t>(found_[m])];
            const double dx = std::min(e.x1, p.ext.x1) - std::max(e.x0, p.ext.x0);
            const double dy = std::min(e.y1, p.ext.y1) - std::max(e.y0, p.ext.y0);
            area += axesOverlap(b, p.box) ? std::max(dx, 1e-9) * std::max(dy, 1e-9) : 0.0;
        }
        return area <= limit;
    };
    // The cell of the centre first: the most likely to end the sum early.
    const int ci = std::clamp(cellOf(b.center.x, cols_), e.i0, e.i1), cj = std::clamp(cellOf(b.center.y, rows_), e.j0, e.j1);
    if (!cell(ci, cj)) return std::numeric_limits<double>::infinity();
    for (int j = e.j0; j <= e.j1; ++j)
        for (int i = e.i0; i <= e.i1; ++i)
            if ((i != ci || j != cj) && !cell(i, j)) return std::numeric_limits<double>::infinity();
    return area;
}

std::size_t LabelLayout::placeFirstFree(std::span<const Box> candidates) {
    // In order: inside the frame, free of labels, crossing no curve.
    constexpr double kNone = std::numeric_limits<double>::infinity();
    constexpr int kMany = std::numeric_limits<int>::max();
    std::size_t best = 0;
    double bestOut = kNone, bestOverlap = kNone;
    int bestCrossed = kMany;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Box& c = candidates[i];
        const Extent e = extentOf(c);
        const double out = outsideDistance(e);
        if (out > bestOut) continue;
        const double overlap = overlapArea(c, e, out < bestOut ? kNone : bestOverlap);
        const int crossed = out == 0 && overlap == 0 ? crossings(c, e, -1, kMany) : kMany;
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

bool LabelLayout::beats(const Score& best, int curve, Score& sc) const {
    sc = Score{};
    clear_ = false;
    for (const Trial& t : trial_) sc.out += outsideDistance(t.ext);
    if (sc.out > best.out) return false;
    // Tied so far: the rest need only be counted while they can still win.
    const bool tied = sc.out == best.out;
    const double overlapLimit = tied ? best.overlap : std::numeric_limits<double>::infinity();
    for (const Trial& t : trial_) {
        sc.overlap += overlapArea(t.box, t.ext, overlapLimit - sc.overlap);
        if (sc.overlap > overlapLimit) return false;
    }
    clear_ = sc.out == 0 && sc.overlap == 0;
    if (clear_) {
        const int crossLimit = tied && best.overlap == 0 ? best.crossed : std::numeric_limits<int>::max();
        for (const Trial& t : trial_) {
            sc.crossed += crossings(t.box, t.ext, curve, crossLimit - sc.crossed);
            if (sc.crossed > crossLimit) return false;
        }
    }
    return sc < best;
}

void LabelLayout::placeGroup(int owner, int curve, std::span<const Vec> stretch, std::span<LabelPlacement> labels) {
    if (labels.empty()) return;
    trial_.resize(labels.size());
    for (std::size_t j = 0; j < labels.size(); ++j) {
        trial_[j].box = labelBox(labels[j]);
        trial_[j].ext = extentOf(trial_[j].box);
    }
    best_.assign(trial_.begin(), trial_.end());
    Score best;
    beats({std::numeric_limits<double>::infinity(), 0, 0}, curve, best);
    const bool startClear = clear_;
    bool slid = false;

    const bool canSlide = stretch.size() >= 2;
    if (!best.zero() && canSlide) {
        cum_.assign(stretch.size(), 0.0);
        for (std::size_t i = 1; i < stretch.size(); ++i)
            cum_[i] = cum_[i - 1] + std::sqrt(dot(sub(stretch[i], stretch[i - 1]), sub(stretch[i], stretch[i - 1])));
        const double length = cum_.back();
        if (length > 1e-9) {
            // Where each label sits relative to the curve: the arc length of
            // the point nearest to its centre, and its offsets along and
            // across the curve there (across keeps the side of the curve).
            anchors_.assign(labels.size(), Anchor{});
            double sMin = length, sMax = 0;
            for (std::size_t k = 0; k < labels.size(); ++k) {
                const Vec c = trial_[k].box.center;
                double bestD = std::numeric_limits<double>::infinity();
                Anchor& an = anchors_[k];
                for (std::size_t i = 1; i < stretch.size(); ++i) {
                    const Vec a = stretch[i - 1], d = sub(stretch[i], a);
                    const double seg = cum_[i] - cum_[i - 1];
                    const double t = seg > 0 ? std::clamp(dot(sub(c, a), d) / (seg * seg), 0.0, 1.0) : 0.0;
                    const Vec foot = add(a, mul(d, t));
                    const double dist = dot(sub(c, foot), sub(c, foot));  // squared
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
            // Tries the places `k` steps along the curve (backwards when
            // negative); true when they beat the best so far, which they
            // then become.
            int bestK = 0;
            auto tryAt = [&](int k, const Score& toBeat) {
                const double delta = k * step;
                if (sMax + delta < 0 - step || sMin + delta > length + step) return false;
                for (std::size_t j = 0; j < labels.size(); ++j) {
                    const LabelPlacement& l = labels[j];
                    const Anchor& an = anchors_[j];
                    const double s = std::clamp(an.s + delta, 0.0, length);
                    // Direction of the curve under the label: the chord
                    // across the label's width.
                    const Vec p1 = pointAt(stretch, cum_, s - l.width / 2);
                    const Vec p2 = pointAt(stretch, cum_, s + l.width / 2);
                    const Vec tan = unit(sub(p2, p1), {1, 0});
                    const Vec nor{-tan.y, tan.x};
                    Box& b = trial_[j].box;
                    b.center = add(add(pointAt(stretch, cum_, s), mul(tan, an.along)), mul(nor, an.side));
                    // Text reads from left to right (upwards when vertical).
                    b.u = tan.x < 0 || (tan.x == 0 && tan.y < 0) ? mul(tan, -1) : tan;
                    trial_[j].ext = extentOf(b);
                }
                Score sc;
                const bool better = beats(toBeat, curve, sc);
                if (clear_) clearSteps_.push_back(k);
                if (!better) return false;
                best = sc;
                best_.assign(trial_.begin(), trial_.end());
                bestK = k;
                slid = true;
                return true;
            };
            // Coarse steps outwards, both ways, up to the first free place;
            // then the fine steps next to it: nearer free places, else the
            // least crowded place near the best coarse one.
            const int coarse = std::max(1, static_cast<int>(std::lround(kCoarseStep * minCap / step)));
            clearSteps_.clear();
            if (startClear) clearSteps_.push_back(0);
            for (int k = coarse; k < steps + coarse && !best.zero(); k += coarse)
                for (int sign : {1, -1})
                    if (tryAt(sign * k, best) && best.zero()) break;
            if (!best.zero() && !clearSteps_.empty()) {
                // Places clear of labels that cross lines (the labels' own
                // among them): a free place may lie between the coarse steps
                // next to them, nearest first.
                fineSteps_.clear();
                for (int k0 : clearSteps_)
                    for (int d = 1 - coarse; d < coarse; ++d)
                        if ((k0 + d) % coarse != 0) fineSteps_.push_back(k0 + d);
                std::sort(fineSteps_.begin(), fineSteps_.end(), [](int a, int b) {
                    return std::abs(a) != std::abs(b) ? std::abs(a) < std::abs(b) : a > b;
                });
                fineSteps_.erase(std::unique(fineSteps_.begin(), fineSteps_.end()), fineSteps_.end());
                for (int k : fineSteps_)
                    if (tryAt(k, best) && best.zero()) break;
            }
            if (best.zero()) {
                const Score free{0, 0, 1};  // beaten only by a free place
                const int far = std::abs(bestK);
                bool nearer = false;
                for (int k = far - coarse + 1; k < far && !nearer; ++k)
                    for (int sign : {1, -1})
                        if ((nearer = tryAt(sign * k, free))) break;
            } else {
                // Halving the step about the best place so far.
                for (int half = coarse / 2; half >= 1 && !best.zero(); half /= 2) {
                    const int at = bestK;
                    for (int k : {at + half, at - half})
                        if (k != 0 && tryAt(k, best) && best.zero()) break;
                }
            }
        }
    }
    for (std::size_t j = 0; j < labels.size(); ++j) {
        LabelPlacement& l = labels[j];
        if (slid) {
            // The label's baseline from the box chosen.
            const Box& b = best_[j].box;
            const double descent = kDescentEm * fontSizeForCap(l.capHeight);
            l.angle = std::atan2(b.u.y, b.u.x) * 180 / kPi;
            l.start = sub(sub(b.center, mul(b.u, l.width / 2)), mul(b.n(), (l.capHeight - descent) / 2));
            l.moved = true;
        }
        // Nothing inside: shift each label just inside the frame.
        Box b = labelBox(l);
        if (best.out > 0 && !inside(b)) {
            const Vec d = clampInside(b);
            l.start = add(l.start, d);
            l.moved = true;
            b = labelBox(l);
        }
        l.inside = inside(b);
        l.overlaps = overlapArea(b, extentOf(b), std::numeric_limits<double>::infinity()) > 0;
        insert(b, owner);
    }
}

}  // namespace render
