// The search for the reactions that can be stable in a window, on made-up
// phases: the hull against every plane through dims phases, the reactions
// among a set of phases against every subset, and the search against every
// minimal reaction traced along its (straight) curve with the plane test,
// for random systems with repeated and collinear compositions among them.
#include "calc/stable_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

namespace {

using calc::AssemblageHull;
using calc::PhaseMask;
using calc::PlaneTest;
using Row = std::vector<double>;

constexpr std::size_t at(int i) { return static_cast<std::size_t>(i); }

// --- independent arithmetic ------------------------------------------------------

// Rank of the rows (Gaussian elimination with partial pivoting).
int rankOf(std::vector<Row> m) {
    const int rows = static_cast<int>(m.size()), cols = rows ? static_cast<int>(m[0].size()) : 0;
    int r = 0;
    for (int c = 0; c < cols && r < rows; ++c) {
        int best = r;
        for (int i = r; i < rows; ++i)
            if (std::fabs(m[at(i)][at(c)]) > std::fabs(m[at(best)][at(c)])) best = i;
        if (std::fabs(m[at(best)][at(c)]) < 1e-9) continue;
        std::swap(m[at(r)], m[at(best)]);
        for (int i = r + 1; i < rows; ++i) {
            const double f = m[at(i)][at(c)] / m[at(r)][at(c)];
            for (int j = c; j < cols; ++j) m[at(i)][at(j)] -= f * m[at(r)][at(j)];
        }
        ++r;
    }
    return r;
}

// The coefficients of the one reaction among `phases` (their coordinate
// rows are dependent with a one-dimensional null space and every phase takes
// part), or an empty row.
Row reactionAmong(const std::vector<Row>& x, const std::vector<int>& phases) {
    const int n = static_cast<int>(phases.size()), d = static_cast<int>(x[0].size());
    std::vector<Row> rows;
    for (int p : phases) rows.push_back(x[at(p)]);
    if (rankOf(rows) != n - 1) return {};
    // Fix the last coefficient at 1 and solve the others by least squares
    // on the normal equations of the first n - 1 rows.
    std::vector<Row> a(at(n - 1), Row(at(n - 1), 0.0));
    Row rhs(at(n - 1), 0.0);
    for (int i = 0; i < n - 1; ++i)
        for (int j = 0; j < n - 1; ++j)
            for (int k = 0; k < d; ++k) a[at(i)][at(j)] += rows[at(i)][at(k)] * rows[at(j)][at(k)];
    for (int i = 0; i < n - 1; ++i)
        for (int k = 0; k < d; ++k) rhs[at(i)] -= rows[at(i)][at(k)] * rows[at(n - 1)][at(k)];
    for (int c = 0; c < n - 1; ++c) {
        int best = c;
        for (int i = c; i < n - 1; ++i)
            if (std::fabs(a[at(i)][at(c)]) > std::fabs(a[at(best)][at(c)])) best = i;
        if (std::fabs(a[at(best)][at(c)]) < 1e-12) return {};
        std::swap(a[at(c)], a[at(best)]);
        std::swap(rhs[at(c)], rhs[at(best)]);
        for (int i = 0; i < n - 1; ++i) {
            if (i == c) continue;
            const double f = a[at(i)][at(c)] / a[at(c)][at(c)];
            for (int j = c; j < n - 1; ++j) a[at(i)][at(j)] -= f * a[at(c)][at(j)];
            rhs[at(i)] -= f * rhs[at(c)];
        }
    }
    Row v(at(n), 1.0);
    for (int i = 0; i < n - 1; ++i) v[at(i)] = rhs[at(i)] / a[at(i)][at(i)];
    for (double c : v)
        if (std::fabs(c) < 1e-7) return {};
    return v;
}

PhaseMask maskOf(const std::vector<int>& phases) {
    PhaseMask m;
    for (int p : phases) m.set(p);
    return m;
}

// --- made-up systems ------------------------------------------------------------------

// Phases 0..d-1 are the unit vectors; the others have small whole
// coordinates, so that repeated and collinear compositions occur.  The
// potentials are planes over the window [0,1] x [0,1]: mu = a + b x + c y.
struct System {
    int dims = 0;
    std::vector<Row> x;
    Row a, b, c;
    int count() const { return static_cast<int>(x.size()); }
    double mu(int j, double px, double py) const { return a[at(j)] + b[at(j)] * px + c[at(j)] * py; }
    PlaneTest::Coordinates coordinates() const {
        PlaneTest::Coordinates out{};
        for (int j = 0; j < count(); ++j)
            for (int k = 0; k < dims; ++k) out[at(j)][at(k)] = x[at(j)][at(k)];
        return out;
    }
};

System makeSystem(unsigned seed, int dims, int count) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> coordinate(0, 3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    System s;
    s.dims = dims;
    for (int j = 0; j < count; ++j) {
        Row r(at(dims), 0.0);
        if (j < dims) {
            r[at(j)] = 1.0;
        } else {
            double sum = 0;
            while (sum == 0)
                for (int k = 0; k < dims; ++k) sum += r[at(k)] = coordinate(rng);
        }
        double size = 0;
        for (double v : r) size += v;
        // Energies of the size of the composition, a few per cent apart, with
        // slopes that let the hull change across the window.
        s.a.push_back(-100.0 * size + 6.0 * size * u(rng));
        s.b.push_back(8.0 * size * u(rng));
        s.c.push_back(8.0 * size * u(rng));
        s.x.push_back(r);
    }
    return s;
}

// Whether the assemblage of `phases` is stable at (px, py) by the plane test.
bool stableAt(const System& s, const std::vector<int>& phases, double px, double py, PlaneTest& test,
              std::vector<int>* touching = nullptr) {
    std::array<bool, model::kMaxPhases> in{};
    for (int p : phases) in[at(p)] = true;
    if (test.setUp(s.coordinates(), s.count(), s.dims, in) != calc::kStable) return false;
    std::array<double, model::kMaxPhases> mu{};
    std::array<bool, model::kMaxPhases> competes{};
    for (int j = 0; j < s.count(); ++j) mu[at(j)] = s.mu(j, px, py), competes[at(j)] = true;
    double margin = 0;
    const int r = test.evaluate(mu.data(), competes.data(), margin);
    if (touching != nullptr) {
        std::array<int, model::kMaxPhases> list{};
        const int n = test.touching(1e-7, list.data(), model::kMaxPhases);
        touching->assign(list.begin(), list.begin() + std::min(n, model::kMaxPhases));
    }
    return r == calc::kStable;
}

// The curve of a reaction: the part of the line dG = 0 inside the window,
// as its two ends; false when the line misses the window.
bool curveOf(const System& s, const std::vector<int>& phases, const Row& v, double ends[4]) {
    double A = 0, B = 0, C = 0;
    for (std::size_t i = 0; i < phases.size(); ++i)
        A += v[i] * s.a[at(phases[i])], B += v[i] * s.b[at(phases[i])], C += v[i] * s.c[at(phases[i])];
    std::vector<std::pair<double, double>> hits;
    for (double e : {0.0, 1.0}) {
        if (std::fabs(C) > 1e-12) {
            const double y = -(A + B * e) / C;
            if (y >= 0 && y <= 1) hits.push_back({e, y});
        }
        if (std::fabs(B) > 1e-12) {
            const double xx = -(A + C * e) / B;
            if (xx >= 0 && xx <= 1) hits.push_back({xx, e});
        }
    }
    if (hits.size() < 2) return false;
    ends[0] = hits[0].first, ends[1] = hits[0].second, ends[2] = hits[1].first, ends[3] = hits[1].second;
    for (const auto& h : hits)
        if (std::hypot(h.first - ends[0], h.second - ends[1]) > std::hypot(ends[2] - ends[0], ends[3] - ends[1]))
            ends[2] = h.first, ends[3] = h.second;
    return true;
}

constexpr int kSamples = 400;

// The search's view of a made-up system; each reaction followed along its
// straight curve, the stability limits placed by bisection.
struct LineModel : calc::SearchModel {
    const System& s;
    PlaneTest test;
    explicit LineModel(const System& sys) : s(sys) {}

    bool potentials(double px, double py, double* mu, bool* absent) override {
        for (int j = 0; j < s.count(); ++j) mu[j] = s.mu(j, px, py), absent[j] = false;
        return true;
    }
    bool follow(const PhaseMask& mask, std::vector<PhaseMask>& invariant) override {
        std::array<int, model::kMaxPhases> list{};
        const int n = mask.list(list.data(), model::kMaxPhases);
        const std::vector<int> phases(list.begin(), list.begin() + n);
        const Row v = reactionAmong(s.x, phases);
        double e[4];
        if (v.empty() || !curveOf(s, phases, v, e)) return true;
        auto point = [&](double t, double& px, double& py) { px = e[0] + t * (e[2] - e[0]), py = e[1] + t * (e[3] - e[1]); };
        bool last = false;
        for (int k = 0; k <= kSamples; ++k) {
            double px, py;
            point(static_cast<double>(k) / kSamples, px, py);
            const bool now = stableAt(s, phases, px, py, test);
            if (k > 0 && now != last) {
                double lo = static_cast<double>(k - 1) / kSamples, hi = static_cast<double>(k) / kSamples;
                for (int it = 0; it < 40; ++it) {
                    const double mid = (lo + hi) / 2;
                    point(mid, px, py);
                    (stableAt(s, phases, px, py, test) == last ? lo : hi) = mid;
                }
                point(last ? hi : lo, px, py);  // just on the metastable side
                std::vector<int> touching;
                stableAt(s, phases, px, py, test, &touching);
                PhaseMask phi = mask;
                for (int t : touching) phi.set(t);
                invariant.push_back(phi);
            }
            last = now;
        }
        return true;
    }
};

// Every minimal reaction with a stable point on its curve (sampled).
std::set<PhaseMask> stableReactions(const System& s) {
    std::set<PhaseMask> out;
    PlaneTest test;
    const int n = s.count();
    for (std::uint32_t m = 1; m < (1u << n); ++m) {
        const int k = std::popcount(m);
        if (k < 2 || k > s.dims + 1) continue;
        std::vector<int> phases;
        for (int j = 0; j < n; ++j)
            if (m & (1u << j)) phases.push_back(j);
        const Row v = reactionAmong(s.x, phases);
        double e[4];
        if (v.empty() || !curveOf(s, phases, v, e)) continue;
        for (int q = 0; q <= kSamples; ++q) {
            const double t = static_cast<double>(q) / kSamples;
            if (stableAt(s, phases, e[0] + t * (e[2] - e[0]), e[1] + t * (e[3] - e[1]), test)) {
                out.insert(maskOf(phases));
                break;
            }
        }
    }
    return out;
}

// --- the tests --------------------------------------------------------------------------

TEST(AssemblageHull, FacetsAreThePlanesWithNoPhaseBelow) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const int d = 3 + static_cast<int>(seed % 3), n = 9 + static_cast<int>(seed % 5);
        const System s = makeSystem(seed, d, n);
        const double px = 0.3, py = 0.6;
        std::set<PhaseMask> expected;
        for (std::uint32_t m = 1; m < (1u << n); ++m) {
            if (std::popcount(m) != d) continue;
            std::vector<int> f;
            for (int j = 0; j < n; ++j)
                if (m & (1u << j)) f.push_back(j);
            std::vector<Row> rows;
            for (int j : f) rows.push_back(s.x[at(j)]);
            if (rankOf(rows) < d) continue;
            // The plane through the facet: the other phases' reduced
            // energies from their reactions with it.
            bool lower = true;
            for (int j = 0; j < n && lower; ++j) {
                if (m & (1u << j)) continue;
                std::vector<int> withJ = f;
                withJ.push_back(j);
                std::sort(withJ.begin(), withJ.end());
                std::vector<Row> all;
                for (int q : withJ) all.push_back(s.x[at(q)]);
                // x_j = sum_r w_r x_fr by least squares (exact: the facet spans).
                std::vector<Row> a(at(d), Row(at(d), 0.0));
                Row rhs(at(d), 0.0);
                for (int r = 0; r < d; ++r)
                    for (int k = 0; k < d; ++k) {
                        for (int q = 0; q < d; ++q) a[at(r)][at(q)] += s.x[at(f[at(r)])][at(k)] * s.x[at(f[at(q)])][at(k)];
                        rhs[at(r)] += s.x[at(f[at(r)])][at(k)] * s.x[at(j)][at(k)];
                    }
                for (int c = 0; c < d; ++c) {
                    int best = c;
                    for (int i = c; i < d; ++i)
                        if (std::fabs(a[at(i)][at(c)]) > std::fabs(a[at(best)][at(c)])) best = i;
                    std::swap(a[at(c)], a[at(best)]);
                    std::swap(rhs[at(c)], rhs[at(best)]);
                    for (int i = 0; i < d; ++i) {
                        if (i == c) continue;
                        const double fct = a[at(i)][at(c)] / a[at(c)][at(c)];
                        for (int q = c; q < d; ++q) a[at(i)][at(q)] -= fct * a[at(c)][at(q)];
                        rhs[at(i)] -= fct * rhs[at(c)];
                    }
                }
                double plane = 0;
                for (int r = 0; r < d; ++r) plane += rhs[at(r)] / a[at(r)][at(r)] * s.mu(f[at(r)], px, py);
                lower = s.mu(j, px, py) >= plane - 1e-9;
            }
            if (lower) expected.insert(maskOf(f));
        }
        AssemblageHull hull;
        hull.setPhases(s.coordinates(), n, d);
        std::array<double, model::kMaxPhases> mu{};
        std::array<bool, model::kMaxPhases> active{};
        for (int j = 0; j < n; ++j) mu[at(j)] = s.mu(j, px, py), active[at(j)] = true;
        std::vector<PhaseMask> facets;
        ASSERT_TRUE(hull.compute(mu.data(), active.data(), facets)) << "seed " << seed;
        EXPECT_EQ(std::set<PhaseMask>(facets.begin(), facets.end()), expected) << "seed " << seed;
    }
}

TEST(AssemblageHull, ReactionsAmongASetAreItsMinimalDependentSubsets) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const int d = 3 + static_cast<int>(seed % 3);
        const System s = makeSystem(seed, d, d + 4);
        AssemblageHull hull;
        hull.setPhases(s.coordinates(), s.count(), d);
        PhaseMask all;
        for (int j = d - 1; j < s.count(); ++j) all.set(j);
        std::vector<PhaseMask> found;
        ASSERT_TRUE(hull.circuits(all, found));
        std::set<PhaseMask> expected;
        for (std::uint32_t m = 1; m < (1u << s.count()); ++m) {
            std::vector<int> p;
            for (int j = 0; j < s.count(); ++j)
                if (m & (1u << j)) p.push_back(j);
            if (p.size() >= 2 && all.test(p.front()) && !reactionAmong(s.x, p).empty() &&
                std::all_of(p.begin(), p.end(), [&](int j) { return all.test(j); }))
                expected.insert(maskOf(p));
        }
        EXPECT_EQ(std::set<PhaseMask>(found.begin(), found.end()), expected) << "seed " << seed;
        for (const PhaseMask& r : found)
            if (r.count() == d + 1) {
                PhaseMask one;
                EXPECT_TRUE(hull.circuit(r, one) && one == r);
            }
    }
}

TEST(StableReactionSearch, FindsEveryReactionWithAStablePointInTheWindow) {
    int compared = 0;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        const int d = 3 + static_cast<int>(seed % 2), n = 10 + static_cast<int>(seed % 4);
        const System s = makeSystem(100 + seed, d, n);
        const std::set<PhaseMask> expected = stableReactions(s);
        LineModel model(s);
        AssemblageHull hull;
        hull.setPhases(s.coordinates(), n, d);
        calc::StableReactionSearch search(model, hull, n, calc::SearchSettings{});
        std::vector<PhaseMask> found;
        ASSERT_TRUE(search.run(found)) << "seed " << seed;
        for (const PhaseMask& r : expected)
            EXPECT_TRUE(std::binary_search(found.begin(), found.end(), r))
                << "seed " << seed << ": a reaction of " << r.count() << " phases, stable in the window, not found";
        compared += static_cast<int>(expected.size());
        EXPECT_EQ(search.statistics().candidates, static_cast<long>(found.size()));
    }
    EXPECT_GT(compared, 200) << "the made-up systems have too few stable reactions to tell";
}

}  // namespace
