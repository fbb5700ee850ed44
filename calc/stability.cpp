// Whether a reaction's assemblage is stable at a point of its curve, and the
// list of pruned assemblages.
//
// The test.  Every phase is a point (x, mu) with x its coordinates in the
// basis of the run (only the positions some phase fills; a unit-row position
// carries no coordinate) and mu its chemical potential at the point.  The
// reaction's assemblage is stable when some plane mu = lambda . x passes
// through the points of the reaction's phases and has no other phase below
// it.  With d_j = lambda . x_j - mu_j (positive: phase j lies below the
// plane) the answer is
//
//     t* = min over the planes through the reaction's phases of max_j d_j,
//
// stable when t* <= 0, and t* is the margin: it changes sign exactly where
// the curve changes stability.
//
// Unique plane.  The usual reaction has C + 1 phases of rank C, C being the
// number of coordinates: the plane is fixed by C independent phases.  These
// are chosen once per reaction by elimination with complete pivoting
// (tolerance 1e-4), and the C x C matrix they form is inverted once (INVRT,
// tolerance 1e-4).  Per point lambda = inverse times their potentials, and
// t* = max_j d_j: O(N C), no inversion.
//
// Rank below C.  Polymorphs (Ky = Sil), or three phases in four components:
// the plane can still turn about the reaction's phases, and t* is a linear
// programme.  Its dual is solved, a small dense simplex in standard form:
//
//     maximise   sum_j y_j d_j
//     subject to sum_j y_j x_j - sum_r u_r x_r = 0   (one row per coordinate)
//                sum_j y_j = 1,   y >= 0,   u free (u = u+ - u-),
//
// j over the competing phases and r over the independent reaction phases.
// It asks for the mixture of competitors whose bulk composition the reaction
// phases can also make and which lies furthest below their plane; its optimum
// equals t*.  No such mixture at all (the programme has no feasible point)
// means that the plane can be tilted to leave every competitor as far above
// it as one likes: stable, margin -1e12.  Phase 1 starts from one artificial
// variable per row; Bland's rule (lowest improving column, lowest basic
// column on ties) rules out cycling on the many degenerate rows; pivot
// entries must exceed 1e-9; at most 3 (m + 1) pivots, m being the number of
// candidate columns, after which the answer is metastable.  The d_j that
// enter are taken against a particular plane through the reaction's phases
// (zero on the coordinates that were not pivoted), which keeps the numbers of
// the programme small.  The same programme serves the unique case (it then
// returns max_j d_j), which the tests use to check one path by the other.
//
// The programme needs no completion of the basis, so no rows of made-up
// numbers (a pseudo-random completion, as a pivoting start from the
// reaction's phases would need) are used: the artificial start is always
// feasible because the right-hand side is (0, ..., 0, 1).
//
// Potentials.  Each phase's potential is the Gibbs energy of the one-phase
// "reaction" made of it, evaluated by the same routine as the reaction Gibbs
// energy.  So the stability test sees exactly the terms the curve sees: the
// beta-quartz rule of the reaction form, the trace activity of a fluid
// species in a reaction it is missing from, the axis quotients of the
// activity diagrams and the stored energies of the activity-activity diagram.
// The terms of the special phases that look at the reaction's other phases
// (the alumina buffers of orthopyroxene, the sulfur gas of pyrrhotite) are
// taken with the current reaction in place, as the difference between the
// reaction with one more mole of the phase and the reaction itself.  A fluid
// species missing from the fluid (the absent-fluid energy 1e6 of the phase
// routine) never lies below the plane.
#include "calc/stability.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "calc/pruned.hpp"
#include "core/matrix.hpp"

namespace calc {
namespace {

using model::kMaxPhases;

constexpr double kReactionPhase = 0.01;   // a phase of the reaction's assemblage: |c| at least this
constexpr double kSidePhase = 0.001;      // a phase of a recorded side: |c| at least this
constexpr double kSingular = 1e-4;        // pivots of the reaction phases' matrix
constexpr double kMarginCap = 1e12;
constexpr double kAbsentGibbs = 1000000.0;  // a fluid species missing from the fluid
constexpr double kAbsentFraction = 1e-10;   // below this mole fraction a species is missing
// A reduced energy within this fraction of the largest potential is rounding:
// the phase touches the plane.
constexpr double kTouching = 1e-12;
// The programme: smallest pivot entry, improving reduced cost (relative to
// the largest reduced energy), artificials left at the end of phase 1.
constexpr double kPivotEntry = 1e-9;
constexpr double kCostTolerance = 1e-10;
constexpr double kFeasible = 1e-9;

bool beginsWith(const std::string& s, const char* prefix) {
    const std::size_t n = std::char_traits<char>::length(prefix);
    return s.compare(0, n, prefix) == 0;
}

}  // namespace

// --- the plane test ----------------------------------------------------------

int PlaneTest::setUp(const Coordinates& x, int count, int dims, const std::array<bool, kMaxPhases>& inReaction) {
    ready_ = false;
    kept_.valid = false;
    rank_ = 0;
    count_ = std::clamp(count, 0, kMaxPhases);
    dims_ = std::clamp(dims, 0, kMaxDims);

    std::array<int, kMaxDims + 1> members{};
    int n = 0;
    for (int i = 0; i < count_; ++i) {
        const std::size_t is = static_cast<std::size_t>(i);
        x_[is] = x[is];
        inReaction_[is] = inReaction[is];
        if (!inReaction[is]) continue;
        if (n == dims_ + 1) return kStabilityFailed;  // more phases than coordinates plus one
        members[static_cast<std::size_t>(n++)] = i;
    }
    if (n < 2) return kStabilityFailed;

    // Independent reaction phases by elimination with complete pivoting.
    std::array<std::array<double, kMaxDims>, kMaxDims + 1> a{};
    for (int r = 0; r < n; ++r) a[static_cast<std::size_t>(r)] = x_[static_cast<std::size_t>(members[static_cast<std::size_t>(r)])];
    std::array<bool, kMaxDims + 1> rowUsed{};
    std::array<bool, kMaxDims> colUsed{};
    for (;;) {
        int br = -1, bc = -1;
        double best = 0.0;
        for (int r = 0; r < n; ++r) {
            if (rowUsed[static_cast<std::size_t>(r)]) continue;
            for (int k = 0; k < dims_; ++k) {
                const double v = std::fabs(a[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)]);
                if (!colUsed[static_cast<std::size_t>(k)] && v > best) {
                    best = v;
                    br = r;
                    bc = k;
                }
            }
        }
        if (br < 0 || best < kSingular) break;
        basisPhase_[static_cast<std::size_t>(rank_)] = members[static_cast<std::size_t>(br)];
        pivotCol_[static_cast<std::size_t>(rank_)] = bc;
        ++rank_;
        rowUsed[static_cast<std::size_t>(br)] = true;
        colUsed[static_cast<std::size_t>(bc)] = true;
        const auto& pr = a[static_cast<std::size_t>(br)];
        for (int r = 0; r < n; ++r) {
            if (rowUsed[static_cast<std::size_t>(r)]) continue;
            auto& row = a[static_cast<std::size_t>(r)];
            const double f = row[static_cast<std::size_t>(bc)] / pr[static_cast<std::size_t>(bc)];
            if (f == 0.0) continue;
            for (int k = 0; k < dims_; ++k) row[static_cast<std::size_t>(k)] -= f * pr[static_cast<std::size_t>(k)];
        }
    }
    if (rank_ == 0) return kStabilityFailed;

    // S[s][t] = coordinate pivotCol_[t] of phase basisPhase_[s]; inverted in place.
    for (int s = 0; s < rank_; ++s)
        for (int t = 0; t < rank_; ++t)
            inverse_[static_cast<std::size_t>(s * kMaxDims + t)] =
                x_[static_cast<std::size_t>(basisPhase_[static_cast<std::size_t>(s)])]
                  [static_cast<std::size_t>(pivotCol_[static_cast<std::size_t>(t)])];
    if (core::INVRT(inverse_.data(), kMaxDims, rank_, kSingular) != 0) {
        rank_ = 0;
        return kStabilityFailed;
    }
    ready_ = true;
    return kStable;
}

int PlaneTest::evaluate(const double* mu, const bool* competes, double& margin, Method method) {
    margin = 0.0;
    pivots_ = 0;
    competingCount_ = 0;
    programmeSolved_ = false;
    if (!ready_ || mu == nullptr || competes == nullptr) return kStabilityFailed;

    // A plane through the reaction's phases: S lambda = their potentials,
    // lambda zero on the coordinates not pivoted.
    double scale = 0.0;
    for (int t = 0; t < rank_; ++t) {
        double v = 0.0;
        for (int s = 0; s < rank_; ++s)
            v += inverse_[static_cast<std::size_t>(t * kMaxDims + s)] *
                 mu[basisPhase_[static_cast<std::size_t>(s)]];
        lambda_[static_cast<std::size_t>(t)] = v;
    }
    for (int i = 0; i < count_; ++i)
        if (inReaction_[static_cast<std::size_t>(i)]) scale = std::max(scale, std::fabs(mu[i]));

    int n = 0;
    double t = -std::numeric_limits<double>::infinity();
    for (int j = 0; j < count_; ++j) {
        const std::size_t js = static_cast<std::size_t>(j);
        if (inReaction_[js] || !competes[j]) continue;
        double plane = 0.0;
        for (int s = 0; s < rank_; ++s)
            plane += lambda_[static_cast<std::size_t>(s)] * x_[js][static_cast<std::size_t>(pivotCol_[static_cast<std::size_t>(s)])];
        const double d = plane - mu[j];
        d_[js] = d;
        competing_[static_cast<std::size_t>(n++)] = j;
        scale = std::max(scale, std::fabs(mu[j]));
        t = std::max(t, d);
    }
    competingCount_ = n;
    programmeSolved_ = false;
    if (n == 0) {
        margin = -kMarginCap;  // nothing to compete with
        return kStable;
    }
    if (!unique() || method == Method::Simplex) {
        switch (solve(n, t)) {
            case Lp::NoMixture: margin = -kMarginCap; return kStable;
            case Lp::Limit: margin = t > 0.0 ? std::min(t, kMarginCap) : 0.0; return kMetastable;
            case Lp::Optimal: programmeSolved_ = true; break;
        }
    }
    if (std::fabs(t) <= kTouching * (1.0 + scale)) t = 0.0;
    margin = std::clamp(t, -kMarginCap, kMarginCap);
    return t > 0.0 ? kMetastable : kStable;
}

int PlaneTest::touching(double window, int* out, int capacity) const {
    int found = 0;
    auto put = [&](int phase) {
        if (found < capacity) out[found] = phase;
        ++found;
    };
    if (programmeSolved_) {
        // The basic competitor columns of the optimal tableau.
        for (int i = 0; i <= dims_; ++i) {
            const int b = basic_[static_cast<std::size_t>(i)];
            if (!redundant_[static_cast<std::size_t>(i)] && b < competingCount_)
                put(competing_[static_cast<std::size_t>(b)]);
        }
        return found;
    }
    for (int c = 0; c < competingCount_; ++c) {
        const int j = competing_[static_cast<std::size_t>(c)];
        if (d_[static_cast<std::size_t>(j)] > -window) put(j);
    }
    return found;
}

// Tableau: rows 0..rows-1 the constraints, row `rows` the reduced costs of
// the objective (maximised); column kMaxColumns the right-hand side (in the
// objective row: minus the objective's value).
void PlaneTest::pivot(int row, int col, int rows, int cols) {
    auto at = [this](int i, int j) -> double& { return tab_[static_cast<std::size_t>(i * kStride + j)]; };
    const double inv = 1.0 / at(row, col);
    for (int j = 0; j < cols; ++j) at(row, j) *= inv;
    at(row, kMaxColumns) *= inv;
    at(row, col) = 1.0;
    for (int i = 0; i <= rows; ++i) {
        if (i == row) continue;
        const double f = at(i, col);
        if (f == 0.0) continue;
        for (int j = 0; j < cols; ++j) at(i, j) -= f * at(row, j);
        at(i, kMaxColumns) -= f * at(row, kMaxColumns);
        at(i, col) = 0.0;
    }
    basic_[static_cast<std::size_t>(row)] = col;
}

bool PlaneTest::optimise(int rows, int cols, double costTolerance, int limit, bool& unbounded) {
    auto at = [this](int i, int j) { return tab_[static_cast<std::size_t>(i * kStride + j)]; };
    unbounded = false;
    for (;;) {
        int q = -1;
        for (int j = 0; j < cols && q < 0; ++j)
            if (at(rows, j) > costTolerance) q = j;
        if (q < 0) return true;
        int p = -1;
        double best = 0.0;
        for (int i = 0; i < rows; ++i) {
            if (redundant_[static_cast<std::size_t>(i)]) continue;
            const double e = at(i, q);
            if (e <= kPivotEntry) continue;
            const double ratio = std::max(0.0, at(i, kMaxColumns)) / e;
            if (p < 0 || ratio < best ||
                (ratio == best && basic_[static_cast<std::size_t>(i)] < basic_[static_cast<std::size_t>(p)])) {
                p = i;
                best = ratio;
            }
        }
        if (p < 0) {
            unbounded = true;
            return true;
        }
        if (pivots_ >= limit) return false;
        pivot(p, q, rows, cols);
        ++pivots_;
    }
}

PlaneTest::Lp PlaneTest::solve(int nCompeting, double& t) {
    auto at = [this](int i, int j) -> double& { return tab_[static_cast<std::size_t>(i * kStride + j)]; };
    const int rows = dims_ + 1;
    const int cols = nCompeting + 2 * rank_;
    const int limit = 3 * (cols + rows + 1);
    if (restorePhaseOne(nCompeting, rows, cols)) {
        if (kept_.outcome == Lp::Limit) {
            t = 0.0;
            return Lp::Limit;
        }
        if (kept_.outcome == Lp::NoMixture) return Lp::NoMixture;
        return phaseTwo(nCompeting, t);
    }

    // Constraint rows: composition balance per coordinate, then the sum row.
    for (int i = 0; i <= rows; ++i) {
        for (int j = 0; j < cols; ++j) at(i, j) = 0.0;
        at(i, kMaxColumns) = 0.0;
    }
    for (int c = 0; c < nCompeting; ++c) {
        const auto& xj = x_[static_cast<std::size_t>(competing_[static_cast<std::size_t>(c)])];
        for (int k = 0; k < dims_; ++k) at(k, c) = xj[static_cast<std::size_t>(k)];
        at(dims_, c) = 1.0;
    }
    for (int s = 0; s < rank_; ++s) {
        const auto& xr = x_[static_cast<std::size_t>(basisPhase_[static_cast<std::size_t>(s)])];
        for (int k = 0; k < dims_; ++k) {
            at(k, nCompeting + 2 * s) = -xr[static_cast<std::size_t>(k)];
            at(k, nCompeting + 2 * s + 1) = xr[static_cast<std::size_t>(k)];
        }
    }
    at(dims_, kMaxColumns) = 1.0;
    for (int i = 0; i < rows; ++i) {
        basic_[static_cast<std::size_t>(i)] = cols + i;  // the row's artificial
        redundant_[static_cast<std::size_t>(i)] = false;
    }

    // Phase 1: maximise minus the sum of the artificials.
    for (int j = 0; j < cols; ++j) {
        double s = 0.0;
        for (int i = 0; i < rows; ++i) s += at(i, j);
        at(rows, j) = s;
    }
    at(rows, kMaxColumns) = 1.0;  // the artificials sum to 1
    bool unbounded = false;
    if (!optimise(rows, cols, kFeasible, limit, unbounded)) {
        keepPhaseOne(Lp::Limit, nCompeting, rows, cols);
        t = 0.0;
        return Lp::Limit;
    }
    if (at(rows, kMaxColumns) > kFeasible) {
        keepPhaseOne(Lp::NoMixture, nCompeting, rows, cols);
        return Lp::NoMixture;
    }
    // Artificials still basic (at zero): pivot them out, or their rows are redundant.
    for (int i = 0; i < rows; ++i) {
        if (basic_[static_cast<std::size_t>(i)] < cols) continue;
        int q = -1;
        double best = kPivotEntry;
        for (int j = 0; j < cols; ++j)
            if (std::fabs(at(i, j)) > best) {
                best = std::fabs(at(i, j));
                q = j;
            }
        if (q < 0)
            redundant_[static_cast<std::size_t>(i)] = true;
        else {
            pivot(i, q, rows, cols);
            ++pivots_;
        }
    }
    keepPhaseOne(Lp::Optimal, nCompeting, rows, cols);
    return phaseTwo(nCompeting, t);
}

// Phase 1 reads the compositions alone, never the potentials: its tableau
// (constraint rows, basis, redundant rows, pivots) serves every point of the
// reaction at which the same phases compete, and phase 2 goes on from it as
// it would from a phase 1 of its own.
void PlaneTest::keepPhaseOne(Lp outcome, int nCompeting, int rows, int cols) {
    kept_.valid = true;
    kept_.outcome = outcome;
    kept_.competing = nCompeting;
    std::copy_n(competing_.begin(), nCompeting, kept_.list.begin());
    kept_.pivots = pivots_;
    for (int i = 0; i < rows; ++i) {
        const std::size_t from = static_cast<std::size_t>(i * kStride);
        std::copy_n(tab_.begin() + static_cast<std::ptrdiff_t>(from), cols, kept_.tab.begin() + static_cast<std::ptrdiff_t>(from));
        kept_.tab[from + kMaxColumns] = tab_[from + kMaxColumns];
        kept_.basic[static_cast<std::size_t>(i)] = basic_[static_cast<std::size_t>(i)];
        kept_.redundant[static_cast<std::size_t>(i)] = redundant_[static_cast<std::size_t>(i)];
    }
}

bool PlaneTest::restorePhaseOne(int nCompeting, int rows, int cols) {
    if (!kept_.valid || kept_.competing != nCompeting ||
        !std::equal(competing_.begin(), competing_.begin() + nCompeting, kept_.list.begin()))
        return false;
    pivots_ = kept_.pivots;
    if (kept_.outcome != Lp::Optimal) return true;
    for (int i = 0; i < rows; ++i) {
        const std::size_t from = static_cast<std::size_t>(i * kStride);
        std::copy_n(kept_.tab.begin() + static_cast<std::ptrdiff_t>(from), cols, tab_.begin() + static_cast<std::ptrdiff_t>(from));
        tab_[from + kMaxColumns] = kept_.tab[from + kMaxColumns];
        basic_[static_cast<std::size_t>(i)] = kept_.basic[static_cast<std::size_t>(i)];
        redundant_[static_cast<std::size_t>(i)] = kept_.redundant[static_cast<std::size_t>(i)];
    }
    return true;
}

PlaneTest::Lp PlaneTest::phaseTwo(int nCompeting, double& t) {
    auto at = [this](int i, int j) -> double& { return tab_[static_cast<std::size_t>(i * kStride + j)]; };
    const int rows = dims_ + 1;
    const int cols = nCompeting + 2 * rank_;
    const int limit = 3 * (cols + rows + 1);
    bool unbounded = false;

    // Phase 2: maximise sum y_j d_j.
    double big = 0.0;
    auto cost = [&](int j) { return j < nCompeting ? d_[static_cast<std::size_t>(competing_[static_cast<std::size_t>(j)])] : 0.0; };
    for (int j = 0; j < cols; ++j) {
        at(rows, j) = cost(j);
        big = std::max(big, std::fabs(cost(j)));
    }
    at(rows, kMaxColumns) = 0.0;
    for (int i = 0; i < rows; ++i) {
        const int b = basic_[static_cast<std::size_t>(i)];
        if (redundant_[static_cast<std::size_t>(i)] || b >= cols) continue;
        const double cb = cost(b);
        if (cb == 0.0) continue;
        for (int j = 0; j < cols; ++j) at(rows, j) -= cb * at(i, j);
        at(rows, kMaxColumns) -= cb * at(i, kMaxColumns);
    }
    const bool done = optimise(rows, cols, kCostTolerance * (1.0 + big), limit, unbounded);
    t = -at(rows, kMaxColumns);
    // No usable pivot for an improving column cannot happen while the sum row
    // holds; treat it like the pivot limit.
    return done && !unbounded ? Lp::Optimal : Lp::Limit;
}

// --- the tester ----------------------------------------------------------------

StabilityTester::StabilityTester(PointEvaluator& evaluator, const model::PhaseTable& phases,
                                 const PhaseSelection& selection)
    : pe_(evaluator), phases_(phases), sel_(selection) {
    single_.count = 1;
    single_.coef[0] = 1.0;
}

void StabilityTester::beginReaction(const Reaction& reaction) {
    reaction_ = &reaction;
    setUp_ = false;
    tooMany_ = false;
}

bool StabilityTester::contextual(const model::PhaseRecord& p) {
    const bool special = p.kind >= 0 && (p.special == model::SpecialPhase::AlEnstatite ||
                                         p.special == model::SpecialPhase::Pyrrhotite ||
                                         p.special == model::SpecialPhase::PyrrhotiteVacancy);
    return special || beginsWith(p.name, "Po") || beginsWith(p.name, "PYRR");
}

int StabilityTester::coordinates(const PhaseSelection& sel, int count, PlaneTest::Coordinates& out) {
    const Basis& basis = sel.basis;
    const int C = std::clamp(basis.componentCount, 0, model::kMaxComponents);
    count = std::clamp(count, 0, kMaxPhases);
    int dims = 0;
    for (int k = 0; k < C; ++k) {
        const std::size_t ks = static_cast<std::size_t>(k);
        bool filled = basis.phase[ks] >= 0;
        for (int i = 0; i < count && !filled; ++i) filled = basis.coords[static_cast<std::size_t>(i)][ks] != 0.0;
        if (!filled) continue;
        for (int i = 0; i < count; ++i)
            out[static_cast<std::size_t>(i)][static_cast<std::size_t>(dims)] = basis.coords[static_cast<std::size_t>(i)][ks];
        ++dims;
    }
    return dims;
}

double StabilityTester::phaseAlone(int i) {
    double base = 0.0;
    bool haveBase = false;
    return potential(i, nullptr, base, haveBase);
}

int StabilityTester::setUp() {
    const int loaded = std::clamp(phases_.count, 0, kMaxPhases);
    considered_ = std::clamp(sel_.mainCount + sel_.testCount, 0, loaded);
    count_ = considered_;
    const int covered = std::clamp(reaction_->phaseCount, 0, loaded);
    inReaction_.fill(false);
    int nR = 0;
    for (int i = 0; i < covered; ++i) {
        if (!(std::fabs(reaction_->coef[static_cast<std::size_t>(i)]) >= kReactionPhase)) continue;
        inReaction_[static_cast<std::size_t>(i)] = true;
        ++nR;
        count_ = std::max(count_, i + 1);
    }

    // Coordinates on the positions that some phase fills.
    const int dims = coordinates(sel_, count_, coords_);
    if (nR > dims + 1) {
        tooMany_ = true;
        setUp_ = true;
        return kStabilityFailed;
    }

    for (int i = 0; i < count_; ++i) contextual_[static_cast<std::size_t>(i)] = contextual(phases_[i]);

    if (plane_.setUp(coords_, count_, dims, inReaction_) != kStable) {
        setUp_ = false;
        return kStabilityFailed;
    }
    setUp_ = true;
    return kStable;
}

bool StabilityTester::absentFluid(int i) const {
    const model::PhaseRecord& p = phases_[i];
    const model::PointState& pt = pe_.point();
    if (!model::isFluidSpecies(p.kind, pt.otherGases)) return false;
    const double x = p.kind < model::kFluidKinds ? pt.x[static_cast<std::size_t>(p.kind)] : 0.0;
    return x < kAbsentFraction;
}

double StabilityTester::potential(int i, const model::ReactionTerms* current, double& base, bool& haveBase) {
    const model::PhaseRecord& p = phases_[i];
    const std::size_t is = static_cast<std::size_t>(i);

    if (contextual_[is] && current != nullptr) {
        // The reaction with one more mole of the phase, less the reaction.
        if (!haveBase) {
            base = pe_.reactionDeltaG(*current);
            haveBase = true;
        }
        augmented_ = *current;
        int k = -1;
        const int n = std::min(augmented_.count, model::kMaxReactionPhases);
        for (int m = 0; m < n && k < 0; ++m)
            if (augmented_.phase[static_cast<std::size_t>(m)] == i) k = m;
        if (k < 0 && n < model::kMaxReactionPhases) {
            k = n;
            augmented_.count = n + 1;
            augmented_.phase[static_cast<std::size_t>(k)] = i;
            augmented_.coef[static_cast<std::size_t>(k)] = 0.0;
        }
        if (k >= 0) {
            augmented_.coef[static_cast<std::size_t>(k)] += 1.0;
            augmented_.all[is] += 1.0;
            augmented_.dH += p.H;
            augmented_.dS += p.S;
            augmented_.dV0 += p.V0;
            for (std::size_t m = 0; m < augmented_.dK.size(); ++m) augmented_.dK[m] += p.K[m];
            if (p.kind > 0 && p.kind < model::kFluidKinds) augmented_.kindCoef[static_cast<std::size_t>(p.kind)] += 1.0;
            return pe_.reactionDeltaG(augmented_) - base;
        }
    }

    single_.phase[0] = i;
    single_.dH = p.H;
    single_.dS = p.S;
    single_.dV0 = p.V0;
    single_.dK = p.K;
    single_.kindCoef.fill(0.0);
    if (p.kind > 0 && p.kind < model::kFluidKinds) single_.kindCoef[static_cast<std::size_t>(p.kind)] = 1.0;
    single_.all[is] = 1.0;
    const double mu = pe_.reactionDeltaG(single_);
    single_.all[is] = 0.0;
    return mu;
}

int StabilityTester::testAssemblageStability(double& margin) {
    margin = 0.0;
    if (reaction_ == nullptr) return kStabilityFailed;
    if (!setUp_ && setUp() != kStable) return kStabilityFailed;
    if (tooMany_) return kStabilityFailed;

    // The potentials are evaluated as one-phase reactions.
    const model::ReactionTerms* current = reaction_ != nullptr ? &reaction_->terms : nullptr;
    double base = 0.0;
    bool haveBase = false;
    for (int i = 0; i < count_; ++i) {
        const std::size_t is = static_cast<std::size_t>(i);
        competes_[is] = false;
        if (!inReaction_[is] && (i >= considered_ || absentFluid(i))) {
            mu_[is] = kAbsentGibbs;
            continue;
        }
        mu_[is] = potential(i, current, base, haveBase);
        competes_[is] = !inReaction_[is] && mu_[is] < kAbsentGibbs;
    }

    return plane_.evaluate(mu_.data(), competes_.data(), margin);
}

// --- pruned assemblages ----------------------------------------------------------

int recordPrunedAssemblage(PrunedAssemblageList& list, const Reaction& reaction, int sign,
                           const PhaseSelection& selection, bool wholeReaction) {
    const double s = sign > 0 ? 1.0 : sign < 0 ? -1.0 : 0.0;
    std::array<bool, kMaxPhases> everywhere{};
    const int nAll = std::clamp(selection.allReactionsCount, 0, kMaxPhases);
    for (int a = 0; a < nAll; ++a) {
        const int i = selection.allReactions[static_cast<std::size_t>(a)];
        if (i >= 0 && i < kMaxPhases) everywhere[static_cast<std::size_t>(i)] = true;
    }
    std::array<int, kMaxPhases> side{};
    int m = 0;
    const int n = std::clamp(reaction.phaseCount, 0, kMaxPhases);
    for (int i = 0; i < n; ++i) {
        const double c = reaction.coef[static_cast<std::size_t>(i)];
        if (!(std::fabs(c) >= kSidePhase) || everywhere[static_cast<std::size_t>(i)]) continue;
        if (!wholeReaction && !(c * s > 0.0)) continue;
        side[static_cast<std::size_t>(m++)] = i;
    }
    // An empty assemblage lies within every reaction: recording it would skip
    // all the reactions still to come.
    if (m == 0) return 0;
    addPrunedAssemblage(list, std::span<const int>(side.data(), static_cast<std::size_t>(m)));
    return m;
}

}  // namespace calc
