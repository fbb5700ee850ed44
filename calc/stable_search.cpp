// The search for the reactions that can be stable in the window (see
// stable_search.hpp for the method).
//
// The hull.  A facet is a set of dims phases with independent coordinates
// whose plane mu = lambda . x has no active phase below it.  The first facet
// is the optimum of the programme "least sum n_j mu_j with sum n_j x_j = b,
// n >= 0" (its optimality conditions are those of a facet), solved by the
// simplex method from a basis that is feasible by construction: b is the sum
// of the coordinates of the previous hull's first facet (or of the unit
// vectors, which the basis phases of the run are).  From there the walk goes
// from facet to neighbouring facet across each ridge (the facet less one of
// its phases): with x_j = sum_r w_jr x_fr and the reduced energy
// c_j = mu_j - sum_r w_jr mu_fr >= 0, the plane turned about the ridge
// opposite f_i first meets the phase of least c_j / -w_ji among those with
// w_ji < 0; no such phase means the ridge lies on the boundary of the cone of
// compositions.  The ratio is unchanged when a phase's coordinates and
// potential are scaled together, so no normalisation of the compositions is
// needed.
//
// Flips.  Between two points the facets that disappear (A) and appear (B)
// are those of the flips crossed.  A facet of A and one of B whose union has
// dims + 1 phases span one reaction (a null vector of their coordinates):
// the reaction of a flip.  One flip alone gives one reaction from every such
// pair, with every facet of A and B in a pair; so do flips of reactions
// found before.  Anything else is halved until it is one of these, or until
// the segment is shorter than the finest resolution (then every reaction the
// pairs give, or every reaction among the phases of an unpaired change, is
// taken).  The walk keeps each facet's tableau (the w_j and c_j of every
// active phase) and makes a neighbour's by one pivot on its parent's.
#include "calc/stable_search.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#include "core/matrix.hpp"

namespace calc {
namespace {

constexpr std::size_t at(int i) { return static_cast<std::size_t>(i); }

constexpr double kPivot = 1e-10;       // inversion of a facet's coordinates (entries of order 1)
constexpr double kRidgeSide = 1e-9;    // |w| below this: the phase lies on the ridge's span
constexpr double kRank = 1e-9;         // relative: elimination pivots below this count as zero
constexpr double kSupport = 1e-7;      // relative: a null-vector entry that takes part
constexpr double kCostRounding = 1e-12;  // relative to the largest potential: improving reduced energy
constexpr int kMaxFacets = 100000;
constexpr int kMaxSimplexSteps = 2000;
constexpr int kMaxCircuitSet = 16;
// The energy of a fluid species missing from the fluid in the hull of the
// other phases, as in the stability test (J).
constexpr double kAbsentAbove = 1000000.0;
constexpr int kMaxCircuitDrop = 6;  // at most binom(16, 6) subsets

// The null space of the coordinates of `phases` (n of them, dims each):
// returns n - rank, and the null vector when that is 1.
int nullVector(const AssemblageHull::Coordinates& x, int dims, const int* phases, int n, double* v) {
    constexpr int kCols = model::kMaxComponents + 2;
    if (n > kCols) return -1;
    std::array<std::array<double, kCols>, model::kMaxComponents> a;  // the entries used are all set
    double big = 0.0;
    for (int r = 0; r < dims; ++r)
        for (int c = 0; c < n; ++c) {
            a[at(r)][at(c)] = x[at(phases[c])][at(r)];
            big = std::max(big, std::fabs(a[at(r)][at(c)]));
        }
    if (big == 0.0) {
        if (n == 1) v[0] = 1.0;
        return n;
    }
    std::array<int, kCols> perm{};
    for (int c = 0; c < n; ++c) perm[at(c)] = c;
    int rank = 0;
    for (; rank < dims && rank < n; ++rank) {
        int br = -1, bc = -1;
        double best = kRank * big;
        for (int r = rank; r < dims; ++r)
            for (int c = rank; c < n; ++c)
                if (std::fabs(a[at(r)][at(perm[at(c)])]) > best) best = std::fabs(a[at(r)][at(perm[at(c)])]), br = r, bc = c;
        if (br < 0) break;
        std::swap(a[at(rank)], a[at(br)]);
        std::swap(perm[at(rank)], perm[at(bc)]);
        const int pc = perm[at(rank)];
        for (int r = rank + 1; r < dims; ++r) {
            const double f = a[at(r)][at(pc)] / a[at(rank)][at(pc)];
            if (f == 0.0) continue;
            for (int c = rank; c < n; ++c) a[at(r)][at(perm[at(c)])] -= f * a[at(rank)][at(perm[at(c)])];
        }
    }
    const int nullity = n - rank;
    if (nullity != 1) return nullity;
    for (int c = 0; c < n; ++c) v[c] = 0.0;
    v[perm[at(rank)]] = 1.0;
    for (int s = rank - 1; s >= 0; --s) {
        double sum = 0.0;
        for (int t = s + 1; t <= rank; ++t) sum += a[at(s)][at(perm[at(t)])] * v[perm[at(t)]];
        v[perm[at(s)]] = -sum / a[at(s)][at(perm[at(s)])];
    }
    return 1;
}

}  // namespace

// --- the hull ---------------------------------------------------------------------

void AssemblageHull::setPhases(const Coordinates& x, int count, int dims) {
    x_ = x;
    count_ = std::clamp(count, 0, model::kMaxPhases);
    dims_ = std::clamp(dims, 0, kMaxDims);
}

bool AssemblageHull::invert(const int* phases) {
    for (int r = 0; r < dims_; ++r)
        for (int c = 0; c < dims_; ++c) inv_[at(r * kMaxDims + c)] = x_[at(phases[c])][at(r)];
    return core::INVRT(inv_.data(), kMaxDims, dims_, kPivot) == 0;
}

bool AssemblageHull::seen(const PhaseMask& facet) {
    if (slots_.size() < 2 * facets_.size() + 64) {
        // Grow: the set is rebuilt from the facets met so far.
        const std::size_t size = std::bit_ceil(4 * facets_.size() + 256);
        slots_.assign(size, PhaseMask{});
        stamps_.assign(size, 0);
        generation_ = 1;
        const std::size_t mask = size - 1;
        for (const PhaseMask& f : facets_) {
            std::size_t h = (f.bits[0] * 0x9E3779B97F4A7C15ull ^ f.bits[1] * 0xC2B2AE3D27D4EB4Full) >> 20 & mask;
            while (stamps_[h] == generation_) h = (h + 1) & mask;
            slots_[h] = f;
            stamps_[h] = generation_;
        }
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t h = (facet.bits[0] * 0x9E3779B97F4A7C15ull ^ facet.bits[1] * 0xC2B2AE3D27D4EB4Full) >> 20 & mask;
    for (; stamps_[h] == generation_; h = (h + 1) & mask)
        if (slots_[h] == facet) return true;
    slots_[h] = facet;
    stamps_[h] = generation_;
    return false;
}

bool AssemblageHull::compute(const double* mu, const bool* active, std::vector<PhaseMask>& facets) {
    facets.clear();
    const int d = dims_;
    if (d < 1) return false;
    std::array<int, model::kMaxPhases> act{};
    int n = 0;
    double scale = 1.0;
    for (int i = 0; i < count_; ++i)
        if (active[i]) {
            act[at(n++)] = i;
            scale = std::max(scale, std::fabs(mu[i]));
        }
    const double costTolerance = kCostRounding * scale;

    // Start: the previous hull's first facet when all its phases are active,
    // else the unit vectors.
    std::array<int, kMaxDims> basis{};
    bool warm = haveStart_ && start_.list(basis.data(), kMaxDims) == d;
    for (int r = 0; r < d && warm; ++r) warm = active[basis[at(r)]];
    if (!warm) {
        for (int r = 0; r < d; ++r) {
            int found = -1;
            for (int k = 0; k < n && found < 0; ++k) {
                const auto& xi = x_[at(act[at(k)])];
                bool unit = xi[at(r)] == 1.0;
                for (int c = 0; c < d && unit; ++c) unit = c == r || xi[at(c)] == 0.0;
                if (unit) found = act[at(k)];
            }
            if (found < 0) return false;
            basis[at(r)] = found;
        }
    }
    std::array<double, kMaxDims> b{};
    for (int r = 0; r < d; ++r)
        for (int c = 0; c < d; ++c) b[at(c)] += x_[at(basis[at(r)])][at(c)];

    // The simplex method (Bland's rule) to the optimal basis: the first facet.
    std::array<double, kMaxDims> w{}, xb{};
    for (int step = 0;; ++step) {
        if (step > kMaxSimplexSteps || !invert(basis.data())) return false;
        for (int r = 0; r < d; ++r) {
            double s = 0.0;
            for (int c = 0; c < d; ++c) s += inv_[at(r * kMaxDims + c)] * b[at(c)];
            xb[at(r)] = std::max(s, 0.0);
        }
        int entering = -1;
        for (int k = 0; k < n && entering < 0; ++k) {
            const int j = act[at(k)];
            if (std::find(basis.begin(), basis.begin() + d, j) != basis.begin() + d) continue;
            double cost = mu[j];
            for (int r = 0; r < d; ++r) {
                double s = 0.0;
                for (int c = 0; c < d; ++c) s += inv_[at(r * kMaxDims + c)] * x_[at(j)][at(c)];
                w[at(r)] = s;
                cost -= s * mu[basis[at(r)]];
            }
            if (cost < -costTolerance) entering = j;
        }
        if (entering < 0) break;
        int leave = -1;
        double best = 0.0;
        for (int r = 0; r < d; ++r) {
            if (w[at(r)] <= kRidgeSide) continue;
            const double ratio = xb[at(r)] / w[at(r)];
            if (leave < 0 || ratio < best || (ratio == best && basis[at(r)] < basis[at(leave)])) leave = r, best = ratio;
        }
        if (leave < 0) return false;  // unbounded: the compositions do not lie in a pointed cone
        basis[at(leave)] = entering;
    }

    // The tableau of the first facet (inv_ is its inverse): row k holds
    // active phase act[k] in the facet's phases, then its reduced energy.
    const std::size_t row = at(d + 1), size = at(n) * row;
    facets_.clear();
    order_.clear();
    tableau_.resize(size);
    ++generation_;
    PhaseMask first;
    for (int r = 0; r < d; ++r) first.set(basis[at(r)]);
    for (int k = 0; k < n; ++k) {
        const int j = act[at(k)];
        double* t = &tableau_[at(k) * row];
        double c = mu[j];
        for (int r = 0; r < d; ++r) {
            double s = 0.0;
            for (int cc = 0; cc < d; ++cc) s += inv_[at(r * kMaxDims + cc)] * x_[at(j)][at(cc)];
            if (first.test(j)) s = basis[at(r)] == j ? 1.0 : 0.0;
            t[r] = s;
            c -= s * mu[basis[at(r)]];
        }
        t[d] = first.test(j) ? 0.0 : std::max(c, 0.0);
    }
    facets_.push_back(first);
    order_.insert(order_.end(), basis.begin(), basis.begin() + d);
    seen(first);

    // The walk: each facet's neighbours across its ridges, each neighbour's
    // tableau by one pivot on its parent's.  (The rows of a facet's own
    // phases are unit vectors, so they never enter a ratio test.)
    for (std::size_t q = 0; q < facets_.size(); ++q) {
        if (facets_.size() > static_cast<std::size_t>(kMaxFacets)) return false;
        std::array<int, kMaxDims> f{};
        std::copy_n(order_.begin() + static_cast<std::ptrdiff_t>(q * at(d)), d, f.begin());
        std::array<int, kMaxDims> ridge{}, next{};
        int found = 0;
        const double* parent = &tableau_[q * size];
        for (int i = 0; i < d; ++i) {
            int k0 = -1;
            double best = 0.0;
            for (int k = 0; k < n; ++k) {
                const double* t = parent + at(k) * row;
                if (t[i] >= -kRidgeSide) continue;
                const double ratio = t[d] / -t[i];
                if (k0 < 0 || ratio < best) k0 = k, best = ratio;
            }
            if (k0 < 0) continue;  // a ridge on the boundary of the cone
            PhaseMask neighbour = facets_[q];
            neighbour.reset(f[at(i)]);
            neighbour.set(act[at(k0)]);
            if (seen(neighbour)) continue;
            facets_.push_back(neighbour);
            for (int r = 0; r < d; ++r) order_.push_back(r == i ? act[at(k0)] : f[at(r)]);
            ridge[at(found)] = i;
            next[at(found++)] = k0;
        }
        if (found == 0) continue;
        const std::size_t first = tableau_.size();
        tableau_.resize(first + at(found) * size);
        parent = &tableau_[q * size];  // the resize may have moved it
        for (int m = 0; m < found; ++m) {
            const int i = ridge[at(m)];
            double* out = &tableau_[first + at(m) * size];
            const double* e = parent + at(next[at(m)]) * row;
            const double pivot = e[i];
            for (int k = 0; k < n; ++k) {
                const double* t = parent + at(k) * row;
                double* o = out + at(k) * row;
                const double ratio = t[i] / pivot;
                for (int r = 0; r <= d; ++r) o[r] = t[r] - ratio * e[r];
                o[i] = ratio;
                o[d] = std::max(o[d], 0.0);
            }
        }
    }
    facets = facets_;
    std::sort(facets.begin(), facets.end());
    // The next hull starts from this one's first facet.
    start_ = first;
    haveStart_ = true;
    return true;
}

bool AssemblageHull::circuit(const PhaseMask& set, PhaseMask& support) const {
    std::array<int, kMaxDims + 2> p{};
    const int n = set.list(p.data(), kMaxDims + 2);
    if (n != dims_ + 1) return false;
    std::array<double, kMaxDims + 2> v{};
    if (nullVector(x_, dims_, p.data(), n, v.data()) != 1) return false;
    double big = 0.0;
    for (int c = 0; c < n; ++c) big = std::max(big, std::fabs(v[at(c)]));
    support = PhaseMask{};
    for (int c = 0; c < n; ++c)
        if (std::fabs(v[at(c)]) > kSupport * big) support.set(p[at(c)]);
    return support.count() >= 2;
}

bool AssemblageHull::circuits(const PhaseMask& set, std::vector<PhaseMask>& out) const {
    // With nullity v (phases less rank), every reaction among the phases is
    // the null vector of the set less v - 1 phases that leave one: the
    // subsets without v - 1 of the phases are taken in turn.
    std::array<int, kMaxCircuitSet> p{};
    const int s = set.list(p.data(), kMaxCircuitSet);
    if (s > kMaxCircuitSet) return false;
    std::array<double, kMaxCircuitSet> v{};
    const int nullity = nullVector(x_, dims_, p.data(), s, v.data());
    if (nullity < 1) return true;
    const int drop = nullity - 1;
    if (drop > kMaxCircuitDrop) return false;
    std::array<int, kMaxCircuitSet> sub{};
    std::array<int, kMaxCircuitSet> gone{};
    for (int r = 0; r < drop; ++r) gone[at(r)] = r;
    for (;;) {
        int n = 0;
        for (int i = 0, g = 0; i < s; ++i) {
            if (g < drop && gone[at(g)] == i) {
                ++g;
                continue;
            }
            sub[at(n++)] = p[at(i)];
        }
        if (nullVector(x_, dims_, sub.data(), n, v.data()) == 1) {
            double big = 0.0;
            for (int c = 0; c < n; ++c) big = std::max(big, std::fabs(v[at(c)]));
            PhaseMask c;
            for (int i = 0; i < n; ++i)
                if (std::fabs(v[at(i)]) > kSupport * big) c.set(sub[at(i)]);
            if (c.count() >= 2 && std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
        }
        // The next choice of phases left out.
        int r = drop - 1;
        while (r >= 0 && gone[at(r)] == s - drop + r) --r;
        if (r < 0) break;
        ++gone[at(r)];
        for (int q = r + 1; q < drop; ++q) gone[at(q)] = gone[at(q - 1)] + 1;
    }
    return true;
}

// --- the search -------------------------------------------------------------------

StableReactionSearch::StableReactionSearch(SearchModel& model, AssemblageHull& hull, int phaseCount,
                                           const SearchSettings& settings)
    : model_(model), hull_(hull), phaseCount_(std::clamp(phaseCount, 0, model::kMaxPhases)), set_(settings) {
    mu_.assign(at(model::kMaxPhases), 0.0);
    active_.assign(at(model::kMaxPhases), 0);
}

bool StableReactionSearch::hullAt(double x, double y, Node& node) {
    node.x = x;
    node.y = y;
    std::array<bool, model::kMaxPhases> absent{}, active{};
    if (!model_.potentials(x, y, mu_.data(), absent.data())) return false;
    active.fill(true);
    ++stats_.hulls;
    model_.progress(stats_);
    if (!hull_.compute(mu_.data(), active.data(), node.facets)) return false;
    if (std::find(absent.begin(), absent.begin() + phaseCount_, true) != absent.begin() + phaseCount_) {
        // A fluid species missing from the fluid: the hull of its own
        // reactions (above), and that of the others, with the species far
        // above every plane; the facets of both.
        for (int i = 0; i < phaseCount_; ++i)
            if (absent[at(i)]) mu_[at(i)] = kAbsentAbove;
        std::vector<PhaseMask> others;
        ++stats_.hulls;
        if (!hull_.compute(mu_.data(), active.data(), others)) return false;
        std::vector<PhaseMask> both;
        std::set_union(node.facets.begin(), node.facets.end(), others.begin(), others.end(), std::back_inserter(both));
        node.facets.swap(both);
    }
    stats_.facets += static_cast<long>(node.facets.size());
    return true;
}

bool StableReactionSearch::add(const PhaseMask& phases, long& counter) {
    auto it = std::lower_bound(known_.begin(), known_.end(), phases);
    if (it != known_.end() && *it == phases) return false;
    known_.insert(it, phases);
    pending_.push_back(phases);
    ++counter;
    ++stats_.candidates;
    return true;
}

void StableReactionSearch::flipReactions(const Node& a, const Node& b, std::vector<PhaseMask>& out, bool& paired) {
    out.clear();
    const int d = hull_.dims();
    std::vector<PhaseMask> gone, come;
    std::set_difference(a.facets.begin(), a.facets.end(), b.facets.begin(), b.facets.end(), std::back_inserter(gone));
    std::set_difference(b.facets.begin(), b.facets.end(), a.facets.begin(), a.facets.end(), std::back_inserter(come));
    std::vector<char> inPair(gone.size() + come.size(), 0);
    for (std::size_t i = 0; i < gone.size(); ++i)
        for (std::size_t j = 0; j < come.size(); ++j) {
            const PhaseMask u = gone[i] | come[j];
            if (u.count() != d + 1) continue;
            auto [it, fresh] = circuits_.try_emplace(u);
            if (fresh && !hull_.circuit(u, it->second)) it->second = PhaseMask{};
            const PhaseMask r = it->second;
            if (r.empty()) continue;
            inPair[i] = inPair[gone.size() + j] = 1;
            if (std::find(out.begin(), out.end(), r) == out.end()) out.push_back(r);
        }
    paired = std::all_of(inPair.begin(), inPair.end(), [](char c) { return c != 0; });
}

bool StableReactionSearch::locate(const Node& a, const Node& b, long& counter) {
    if (a.facets == b.facets) return true;
    std::vector<PhaseMask> reactions;
    bool paired = false;
    flipReactions(a, b, reactions, paired);
    // One flip, or flips of reactions found already (every facet of the
    // change in a pair that gives one of them): nothing further to find here.
    const bool allKnown = std::all_of(reactions.begin(), reactions.end(), [this](const PhaseMask& r) {
        return std::binary_search(known_.begin(), known_.end(), r);
    });
    if (paired && (reactions.size() == 1 || allKnown)) {
        for (const PhaseMask& r : reactions) add(r, counter);
        return true;
    }
    const double fx = set_.xmax > set_.xmin ? std::fabs(b.x - a.x) / (set_.xmax - set_.xmin) : 0.0;
    const double fy = set_.ymax > set_.ymin ? std::fabs(b.y - a.y) / (set_.ymax - set_.ymin) : 0.0;
    if (std::max(fx, fy) <= set_.finest) {
        for (const PhaseMask& r : reactions) add(r, counter);
        if (!paired) {
            // Facets without a partner: every reaction among the phases of
            // the change.
            PhaseMask all;
            for (const Node* n : {&a, &b})
                for (const PhaseMask& f : n->facets) {
                    const Node& other = n == &a ? b : a;
                    if (!std::binary_search(other.facets.begin(), other.facets.end(), f)) all = all | f;
                }
            std::vector<PhaseMask> list;
            if (hull_.circuits(all, list))
                for (const PhaseMask& r : list) add(r, counter);
        }
        return true;
    }
    Node m;
    if (!hullAt((a.x + b.x) / 2.0, (a.y + b.y) / 2.0, m)) return false;
    return locate(a, m, counter) && locate(m, b, counter);
}

bool StableReactionSearch::scanLine(double x0, double y0, double x1, double y1, int intervals, long& counter) {
    Node prev, next;
    if (!hullAt(x0, y0, prev)) return false;
    for (int k = 1; k <= intervals; ++k) {
        const double t = static_cast<double>(k) / intervals;
        if (!hullAt(k == intervals ? x1 : x0 + t * (x1 - x0), k == intervals ? y1 : y0 + t * (y1 - y0), next))
            return false;
        if (!locate(prev, next, counter)) return false;
        std::swap(prev, next);
    }
    return true;
}

bool StableReactionSearch::closeUp() {
    std::vector<PhaseMask> invariant, list;
    while (!pending_.empty()) {
        const PhaseMask r = pending_.back();
        pending_.pop_back();
        invariant.clear();
        ++stats_.followed;
        if (!model_.follow(r, invariant)) return false;
        model_.progress(stats_);
        for (const PhaseMask& phi : invariant) {
            list.clear();
            if (!hull_.circuits(phi, list)) continue;
            for (const PhaseMask& c : list) add(c, stats_.fromInvariantPoints);
        }
    }
    return true;
}

bool StableReactionSearch::run(std::vector<PhaseMask>& candidates) {
    candidates.clear();
    const double x0 = set_.xmin, x1 = set_.xmax, y0 = set_.ymin, y1 = set_.ymax;
    const int n = std::max(set_.sideIntervals, 1);
    if (!scanLine(x0, y0, x1, y0, n, stats_.fromSides) || !scanLine(x1, y0, x1, y1, n, stats_.fromSides) ||
        !scanLine(x1, y1, x0, y1, n, stats_.fromSides) || !scanLine(x0, y1, x0, y0, n, stats_.fromSides))
        return false;
    if (!closeUp()) return false;

    // The interior grid: the segments between neighbouring nodes of every
    // line across the window between the sides.
    const int g = std::max(set_.gridIntervals, 1);
    std::vector<Node> nodes(at((g + 1) * (g + 1)));
    auto node = [&](int i, int j) -> Node& { return nodes[at(j * (g + 1) + i)]; };
    for (int j = 0; j <= g; ++j)
        for (int i = 0; i <= g; ++i) {
            const double x = i == g ? x1 : x0 + (x1 - x0) * i / g, y = j == g ? y1 : y0 + (y1 - y0) * j / g;
            if (!hullAt(x, y, node(i, j))) return false;
        }
    for (int k = 1; k < g; ++k)
        for (int m = 0; m < g; ++m)
            if (!locate(node(k, m), node(k, m + 1), stats_.fromInterior) ||
                !locate(node(m, k), node(m + 1, k), stats_.fromInterior))
                return false;
    if (!closeUp()) return false;
    candidates = known_;
    return true;
}

}  // namespace calc
