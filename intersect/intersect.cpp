#include "intersect/intersect.hpp"

#include <algorithm>
#include <cmath>

namespace intersect {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Points in fractions of the window's ranges.
struct Scaled {
    double sx = 1, sy = 1, x0 = 0, y0 = 0;
    explicit Scaled(const Window& w)
        : sx(w.xmax != w.xmin ? 1.0 / (w.xmax - w.xmin) : 1.0),
          sy(w.ymax != w.ymin ? 1.0 / (w.ymax - w.ymin) : 1.0),
          x0(w.xmin),
          y0(w.ymin) {}
    Point to(Point p) const { return {(p.x - x0) * sx, (p.y - y0) * sy}; }
    Point from(Point p) const { return {p.x / sx + x0, p.y / sy + y0}; }
};

double cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
Point sub(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
double dist(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

double dot(const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) s += a[i] * b[i];
    return s;
}

// An orthonormal basis grown one vector at a time (modified Gram-Schmidt),
// with the triangular factor that gives the combination of the original
// vectors.
class Span {
public:
    explicit Span(double relTolerance) : tol_(relTolerance) {}
    // Projects v on the span; true when v lies in it (residual below the
    // tolerance of |v|), with `factors` its combination of the vectors added.
    bool contains(const std::vector<double>& v, std::vector<double>& factors) const {
        std::vector<double> r = v, p;
        residual(r, p);
        const double norm = std::sqrt(dot(v, v));
        if (norm == 0 || std::sqrt(dot(r, r)) > tol_ * norm) return false;
        // Back substitution: R c = p.
        const std::size_t k = p.size();
        factors.assign(k, 0.0);
        for (std::size_t i = k; i-- > 0;) {
            double s = p[i];
            for (std::size_t j = i + 1; j < k; ++j) s -= R_[j][i] * factors[j];
            factors[i] = s / R_[i][i];
        }
        return true;
    }
    // Adds v when it does not lie in the span; returns whether it was added.
    bool add(const std::vector<double>& v) {
        std::vector<double> r = v, p;
        residual(r, p);
        const double norm = std::sqrt(dot(v, v)), rn = std::sqrt(dot(r, r));
        if (norm == 0 || rn <= tol_ * norm) return false;
        for (double& x : r) x /= rn;
        p.push_back(rn);
        q_.push_back(std::move(r));
        R_.push_back(std::move(p));  // column of R: projections on the earlier vectors, then |r|
        return true;
    }
    std::size_t size() const { return q_.size(); }

private:
    void residual(std::vector<double>& r, std::vector<double>& p) const {
        p.clear();
        for (const std::vector<double>& q : q_) {
            const double c = dot(q, r);
            p.push_back(c);
            for (std::size_t i = 0; i < r.size() && i < q.size(); ++i) r[i] -= c * q[i];
        }
    }
    double tol_;
    std::vector<std::vector<double>> q_;
    std::vector<std::vector<double>> R_;  // R_[j][i]: entry (i, j)
};

bool proportional(const std::vector<double>& a, const std::vector<double>& b, double tol) {
    Span s(tol);
    std::vector<double> f;
    return s.add(a) && s.contains(b, f);
}

// The reactions of curves k and l lie in the plane of those of i and j.
bool samePlane(const CurveSet& set, int i, int j, int k, int l, double tol) {
    Span s(tol);
    s.add(set.curves[static_cast<std::size_t>(i)].coefficients);
    s.add(set.curves[static_cast<std::size_t>(j)].coefficients);
    std::vector<double> f;
    return s.size() == 2 && s.contains(set.curves[static_cast<std::size_t>(k)].coefficients, f) &&
           s.contains(set.curves[static_cast<std::size_t>(l)].coefficients, f);
}

bool onSide(Point p) {
    constexpr double e = 1e-6;
    return p.x < e || p.x > 1 - e || p.y < e || p.y > 1 - e;
}

// Nearest point of the segment ab to p, and its distance.
double nearestOnSegment(Point a, Point b, Point p, Point& at, double& t) {
    const Point d = sub(b, a);
    const double len2 = d.x * d.x + d.y * d.y;
    t = len2 > 0 ? std::clamp(((p.x - a.x) * d.x + (p.y - a.y) * d.y) / len2, 0.0, 1.0) : 0.0;
    at = {a.x + t * d.x, a.y + t * d.y};
    return dist(p, at);
}

// Nearest point of a polyline (two or more points) to p: its distance, the
// point, and its place along the line (segment index plus fraction).
double nearestOn(const std::vector<Point>& line, Point p, Point& at, double& along) {
    double best = HUGE_VAL;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        Point q;
        double t = 0;
        const double d = nearestOnSegment(line[i], line[i + 1], p, q, t);
        if (d < best) {
            best = d;
            at = q;
            along = static_cast<double>(i) + t;
        }
    }
    return best;
}

struct Hit {
    double along = 0;  // segment index plus the fraction along it, on stretch A
    Point at;          // scaled
    bool touch = false;
};

// Crossings of two scaled polylines, and the ends of one lying on the other.
void meet(const std::vector<Point>& a, const std::vector<Point>& b, double touchTol, std::vector<Hit>& hits) {
    hits.clear();
    constexpr double eps = 1e-9;
    for (std::size_t i = 0; i + 1 < a.size(); ++i) {
        const Point p = a[i], r = sub(a[i + 1], a[i]);
        for (std::size_t k = 0; k + 1 < b.size(); ++k) {
            const Point q = b[k], s = sub(b[k + 1], b[k]);
            const double den = cross(r, s);
            if (std::fabs(den) <= 1e-14 * std::hypot(r.x, r.y) * std::hypot(s.x, s.y)) continue;  // parallel
            const Point qp = sub(q, p);
            const double t = cross(qp, s) / den, u = cross(qp, r) / den;
            if (t < -eps || t > 1 + eps || u < -eps || u > 1 + eps) continue;
            const Point at{p.x + t * r.x, p.y + t * r.y};
            // A crossing through a shared vertex is found on both segments.
            bool seen = false;
            for (const Hit& h : hits) seen = seen || dist(h.at, at) < 1e-7;
            if (!seen) hits.push_back({static_cast<double>(i) + std::clamp(t, 0.0, 1.0), at, false});
        }
    }
    // Ends inside the window that lie on the other stretch: curves ending in
    // an invariant point on a curve that goes on through it.
    auto touches = [&](const std::vector<Point>& from, const std::vector<Point>& onto, bool fromIsA) {
        for (int end = 0; end < 2 && from.size() >= 2; ++end) {
            const std::size_t idx = end == 0 ? 0 : from.size() - 1;
            const Point e = from[idx];
            if (onSide(e)) continue;
            Point q;
            double along = 0;
            if (nearestOn(onto, e, q, along) > touchTol) continue;
            const Point mid{(e.x + q.x) / 2, (e.y + q.y) / 2};
            bool seen = false;
            for (const Hit& h : hits) seen = seen || dist(h.at, mid) < 2 * touchTol;
            if (seen) continue;
            // The place along stretch A orders the hits.
            if (fromIsA) along = static_cast<double>(idx);
            hits.push_back({along, mid, true});
        }
    };
    touches(a, b, true);
    touches(b, a, false);
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& x, const Hit& y) { return x.along < y.along; });
}

}  // namespace

bool CurveSet::coefficientsKnown() const {
    if (curves.empty()) return false;
    for (const Curve& c : curves)
        if (c.coefficients.empty() || c.coefficients.size() != phases.size()) return false;
    return true;
}

Dependence analyseDependence(const CurveSet& set, double relTolerance) {
    Dependence d;
    if (!set.coefficientsKnown()) return d;
    d.known = true;
    Span span(relTolerance);
    for (std::size_t c = 0; c < set.curves.size(); ++c) {
        const std::vector<double>& v = set.curves[c].coefficients;
        std::vector<double> f;
        if (span.contains(v, f)) {
            Combination comb;
            comb.curve = static_cast<int>(c);
            for (std::size_t k = 0; k < f.size(); ++k) {
                if (std::fabs(f[k]) < 1e-9) continue;
                comb.basis.push_back(d.independent[k]);
                comb.factors.push_back(f[k]);
            }
            d.dependent.push_back(std::move(comb));
        } else if (span.add(v)) {
            d.independent.push_back(static_cast<int>(c));
        }
    }
    d.rank = static_cast<int>(d.independent.size());
    for (std::size_t i = 0; i < set.curves.size(); ++i)
        for (std::size_t j = i + 1; j < set.curves.size(); ++j)
            if (proportional(set.curves[i].coefficients, set.curves[j].coefficients, relTolerance))
                d.sameReaction.emplace_back(static_cast<int>(i), static_cast<int>(j));
    return d;
}

Scatter scatterOf(const std::vector<Point>& points) {
    Scatter s;
    s.count = static_cast<int>(points.size());
    if (points.empty()) return s;
    for (const Point& p : points) {
        s.mean.x += p.x;
        s.mean.y += p.y;
    }
    s.mean.x /= s.count;
    s.mean.y /= s.count;
    if (s.count < 2) return s;
    for (const Point& p : points) {
        const double dx = p.x - s.mean.x, dy = p.y - s.mean.y;
        s.varX += dx * dx;
        s.varY += dy * dy;
        s.covXY += dx * dy;
    }
    s.varX /= s.count - 1;
    s.varY /= s.count - 1;
    s.covXY /= s.count - 1;
    s.sdX = std::sqrt(s.varX);
    s.sdY = std::sqrt(s.varY);
    s.hasCorrelation = s.sdX > 0 && s.sdY > 0;
    if (s.hasCorrelation) s.correlation = std::clamp(s.covXY / (s.sdX * s.sdY), -1.0, 1.0);
    // Points on a line have no area (the determinant is then rounding).
    const double det = s.varX * s.varY - s.covXY * s.covXY;
    s.area = det > 1e-12 * s.varX * s.varY ? kPi * std::sqrt(det) : 0.0;
    return s;
}

double distanceFromMean(const Scatter& s, Point p) {
    const double dx = p.x - s.mean.x, dy = p.y - s.mean.y;
    if (s.sdX > 0 && s.sdY > 0) {
        // Standardised: the covariance becomes [1 r; r 1], with eigenvalues
        // 1 + r and 1 - r on the diagonals.
        const double zx = dx / s.sdX, zy = dy / s.sdY, r = s.correlation;
        double d2 = 0;
        if (1 + r > 1e-12) d2 += (zx + zy) * (zx + zy) / (2 * (1 + r));
        if (1 - r > 1e-12) d2 += (zx - zy) * (zx - zy) / (2 * (1 - r));
        return std::sqrt(d2);
    }
    if (s.sdX > 0) return std::fabs(dx) / s.sdX;
    if (s.sdY > 0) return std::fabs(dy) / s.sdY;
    return 0;
}

std::vector<Point> ellipseOf(const Scatter& s, double sigmas, int count) {
    std::vector<Point> out;
    if (!(s.sdX > 0) && !(s.sdY > 0)) return out;
    const double r = s.hasCorrelation ? s.correlation : 0.0;
    const double across = std::sqrt(std::max(0.0, 1 - r * r));
    count = std::max(count, 4);
    out.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const double t = 2 * kPi * k / count, c = std::cos(t), sn = std::sin(t);
        // x = mx + k sx cos t, y = my + k sy (r cos t + sqrt(1 - r^2) sin t):
        // the Cholesky factor of the covariance applied to the unit circle.
        if (s.sdX > 0)
            out.push_back({s.mean.x + sigmas * s.sdX * c, s.mean.y + sigmas * s.sdY * (r * c + across * sn)});
        else
            out.push_back({s.mean.x, s.mean.y + sigmas * s.sdY * sn});
    }
    return out;
}

std::vector<Intersection> findIntersections(const CurveSet& set, const Dependence& dependence, const Options& options) {
    std::vector<Intersection> out;
    const Scaled sc(set.window);
    std::vector<std::vector<std::vector<Point>>> scaled(set.curves.size());
    for (std::size_t c = 0; c < set.curves.size(); ++c)
        for (const Stretch& st : set.curves[c].stretches) {
            std::vector<Point> pts;
            if (st.points.size() >= 2 && (st.stable || options.includeMetastable)) {
                pts.reserve(st.points.size());
                for (const Point& p : st.points) pts.push_back(sc.to(p));
            }
            scaled[c].push_back(std::move(pts));
        }
    auto same = [&](int i, int j) {
        for (const auto& [a, b] : dependence.sameReaction)
            if ((a == i && b == j) || (a == j && b == i)) return true;
        return false;
    };
    std::vector<Hit> hits;
    for (std::size_t i = 0; i < set.curves.size(); ++i)
        for (std::size_t j = i + 1; j < set.curves.size(); ++j) {
            if (same(static_cast<int>(i), static_cast<int>(j))) continue;
            for (std::size_t a = 0; a < scaled[i].size(); ++a)
                for (std::size_t b = 0; b < scaled[j].size(); ++b) {
                    if (scaled[i][a].empty() || scaled[j][b].empty()) continue;
                    meet(scaled[i][a], scaled[j][b], options.touchTolerance, hits);
                    for (const Hit& h : hits) {
                        Intersection x;
                        x.curveA = static_cast<int>(i);
                        x.curveB = static_cast<int>(j);
                        x.stretchA = static_cast<int>(a);
                        x.stretchB = static_cast<int>(b);
                        x.at = sc.from(h.at);
                        x.touch = h.touch;
                        out.push_back(x);
                    }
                }
        }
    return out;
}

Analysis analyse(const CurveSet& set, const Options& options) {
    Analysis an;
    an.dependence = analyseDependence(set, options.dependenceTolerance);
    an.intersections = findIntersections(set, an.dependence, options);
    for (const Curve& c : set.curves)
        for (const Stretch& s : c.stretches)
            if (!s.stable && !options.includeMetastable && s.points.size() >= 2) ++an.stretchesLeftOut;

    // Intersections of reactions of one plane repeat one point.
    const Scaled sc(set.window);
    if (an.dependence.known) {
        for (std::size_t n = 0; n < an.intersections.size(); ++n) {
            Intersection& x = an.intersections[n];
            for (std::size_t m = 0; m < n; ++m) {
                const Intersection& y = an.intersections[m];
                if (y.kind != Kind::Independent) continue;
                if (dist(sc.to(x.at), sc.to(y.at)) > options.samePointTolerance) continue;
                if (!samePlane(set, y.curveA, y.curveB, x.curveA, x.curveB, options.dependenceTolerance)) continue;
                x.kind = Kind::SamePoint;
                x.sameAs = static_cast<int>(m);
                break;
            }
        }
    }
    // Independent pairs of curves that do not meet.
    for (std::size_t i = 0; i < set.curves.size(); ++i)
        for (std::size_t j = i + 1; j < set.curves.size(); ++j) {
            bool same = false;
            for (const auto& [a, b] : an.dependence.sameReaction)
                same = same || (a == static_cast<int>(i) && b == static_cast<int>(j));
            if (same) continue;
            bool met = false;
            for (const Intersection& x : an.intersections)
                met = met || (x.curveA == static_cast<int>(i) && x.curveB == static_cast<int>(j));
            if (!met) ++an.pairsWithoutCrossing;
        }

    for (std::size_t n = 0; n < an.intersections.size(); ++n)
        if (an.intersections[n].kind == Kind::Independent) an.used.push_back(static_cast<int>(n));
    std::vector<Point> pts;
    auto collect = [&] {
        pts.clear();
        for (int n : an.used) pts.push_back(an.intersections[static_cast<std::size_t>(n)].at);
    };
    collect();
    an.scatter = scatterOf(pts);
    if (options.rejectBeyond > 0) {
        for (int round = 1; static_cast<int>(an.used.size()) > std::max(options.keepAtLeast, 2); ++round) {
            std::size_t worst = 0;
            double far = -1;
            for (std::size_t k = 0; k < an.used.size(); ++k) {
                const double d = distanceFromMean(an.scatter, an.intersections[static_cast<std::size_t>(an.used[k])].at);
                if (d > far) {
                    far = d;
                    worst = k;
                }
            }
            if (!(far > options.rejectBeyond)) break;
            Intersection& x = an.intersections[static_cast<std::size_t>(an.used[worst])];
            x.kind = Kind::Dropped;
            x.distance = far;
            x.round = round;
            an.used.erase(an.used.begin() + static_cast<std::ptrdiff_t>(worst));
            collect();
            an.scatter = scatterOf(pts);
        }
    }
    return an;
}

}  // namespace intersect
