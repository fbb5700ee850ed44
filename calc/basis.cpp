#include "calc/basis.hpp"

#include <cmath>

#include "core/matrix.hpp"

namespace calc {
namespace {

constexpr int kC = model::kMaxComponents;
constexpr double kComponentThreshold = 0.0001;  // an element with larger coefficients is a component
constexpr double kZero = 0.001;                 // coordinates at most this large are 0
constexpr double kNeverTaken = 1000.0;          // coordinates this large are never chosen by the rule
constexpr double kPivotTolerance = 1e-8;
constexpr int kMaxInversions = 20000;           // bound on the singular-matrix search

// Working state of the basis search; fixed capacity, nothing allocated.
struct Search {
    const model::ChemicalSystem& system;
    const PhaseSelection& sel;
    int n = 0;  // phases
    int C = 0;  // components
    std::array<int, kC> element{};  // element column per position
    std::array<int, kC> phase{};    // phase per position, -1 unit row
    std::array<std::array<double, kC>, model::kMaxPhases>& coords;
    std::array<double, kC * kC> inverse{};
    int inversions = 0;

    double composition(int i, int position) const {
        return system.stoichiometry[static_cast<std::size_t>(i)][static_cast<std::size_t>(element[static_cast<std::size_t>(position)])];
    }

    // Inverts the matrix of positions 0..filled-1 (phase rows or unit rows)
    // and the unit rows of the positions after them; false when singular.
    bool invert(int filled) {
        ++inversions;
        for (int r = 0; r < C; ++r)
            for (int c = 0; c < C; ++c) {
                const int p = r < filled ? phase[static_cast<std::size_t>(r)] : -1;
                inverse[static_cast<std::size_t>(r * kC + c)] = p >= 0 ? composition(p, c) : (r == c ? 1.0 : 0.0);
            }
        return core::INVRT(inverse.data(), kC, C, kPivotTolerance) == 0;
    }

    // Every phase's coordinates from the last successful inversion.
    void recompute() {
        for (int i = 0; i < n; ++i) {
            auto& row = coords[static_cast<std::size_t>(i)];
            for (int c = 0; c < C; ++c) {
                double v = 0;
                for (int r = 0; r < C; ++r) v += composition(i, r) * inverse[static_cast<std::size_t>(r * kC + c)];
                row[static_cast<std::size_t>(c)] = std::fabs(v) <= kZero ? 0.0 : v;
            }
            for (int c = C; c < kC; ++c) row[static_cast<std::size_t>(c)] = 0.0;
        }
        // A basis phase's row is exactly its unit vector.
        for (int r = 0; r < C; ++r) {
            const int p = phase[static_cast<std::size_t>(r)];
            if (p < 0 || p >= n) continue;
            for (int c = 0; c < C; ++c) coords[static_cast<std::size_t>(p)][static_cast<std::size_t>(c)] = c == r ? 1.0 : 0.0;
        }
    }

    bool inBasis(int i, int filled) const {
        for (int r = 0; r < filled; ++r)
            if (phase[static_cast<std::size_t>(r)] == i) return true;
        return false;
    }

    void swapPositions(int a, int b) {
        std::swap(element[static_cast<std::size_t>(a)], element[static_cast<std::size_t>(b)]);
        for (int i = 0; i < n; ++i)
            std::swap(coords[static_cast<std::size_t>(i)][static_cast<std::size_t>(a)],
                      coords[static_cast<std::size_t>(i)][static_cast<std::size_t>(b)]);
    }

    // Places phase p at position k when that leaves the matrix regular:
    // position k itself when p has a coordinate there, else the open position
    // where its coordinate is largest (the two positions exchange components).
    // The coordinates must be those of the basis of positions 0..k-1.
    bool place(int k, int p) {
        const auto& x = coords[static_cast<std::size_t>(p)];
        int target = -1;
        if (x[static_cast<std::size_t>(k)] != 0.0) {
            target = k;
        } else {
            double best = 0;
            for (int j = k + 1; j < C; ++j)
                if (std::fabs(x[static_cast<std::size_t>(j)]) > best) best = std::fabs(x[static_cast<std::size_t>(j)]), target = j;
        }
        if (target < 0) return false;
        if (target != k) swapPositions(k, target);
        phase[static_cast<std::size_t>(k)] = p;
        if (invert(k + 1)) {
            recompute();
            return true;
        }
        if (target != k) swapPositions(k, target);
        phase[static_cast<std::size_t>(k)] = -1;
        return false;
    }

    // Coordinates of the basis of positions 0..filled-1.
    bool restore(int filled) {
        if (!invert(filled)) return false;
        recompute();
        return true;
    }
};

}  // namespace

core::Status chooseBasis(const model::ChemicalSystem& system, model::PhaseTable& phases,
                            PhaseSelection& sel, io::Streams& streams, int messages) {
    Basis& basis = sel.basis;
    const int n = phases.count;
    Search s{system, sel, n, 0, {}, {}, basis.coords};

    // Components.
    const int columns = std::min(system.elementCount, model::kMaxElements);
    for (int j = 0; j < columns; ++j) {
        bool used = false;
        for (int i = 0; i < n && !used; ++i)
            used = std::fabs(system.stoichiometry[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]) >
                   kComponentThreshold;
        if (!used) continue;
        if (s.C == kC) {
            streams.write_line(messages, " TOO MANY COMPONENTS: AT MOST " + std::to_string(kC) +
                                             " ELEMENTS MAY OCCUR IN THE SELECTED PHASES");
            core::Status st = core::Status::stop("more than 15 components in the selected phases");
            st.value = system.elementSymbols[static_cast<std::size_t>(j)];
            return st;
        }
        s.element[static_cast<std::size_t>(s.C++)] = j;
    }
    const int C = s.C;
    s.phase.fill(-1);
    basis.componentCount = C;
    basis.unitRowCount = 0;
    basis.phase.fill(-1);
    basis.element.fill(-1);
    if (C == 0) {
        for (int i = 0; i < n; ++i) basis.coords[static_cast<std::size_t>(i)].fill(0.0);
        return core::Status::success();
    }
    // Start: every position a unit row, coordinates the compositions.
    s.restore(0);

    std::array<bool, model::kMaxPhases> projectionTried{};
    auto forcedCandidate = [&](int k) -> int {
        auto axisPhase = [&](const AxisQuotient& a) { return a.memberCount > 0 ? a.phase[0] : -1; };
        int axis = -1;
        if (k == 0 && sel.hasXAxis) axis = axisPhase(sel.xAxis);
        else if (k == 0 && sel.hasYAxis) axis = axisPhase(sel.yAxis);
        else if (k == 1 && sel.hasXAxis && sel.hasYAxis) axis = axisPhase(sel.yAxis);
        if (axis >= 0 && axis < n && !s.inBasis(axis, k)) return axis;
        for (int t = 0; t < sel.projectionCount; ++t) {
            const int p = sel.projection[static_cast<std::size_t>(t)];
            if (p < 0 || p >= n || s.inBasis(p, k) || projectionTried[static_cast<std::size_t>(p)]) continue;
            projectionTried[static_cast<std::size_t>(p)] = true;
            return p;
        }
        return -1;
    };
    auto inAllReactions = [&](int i) {
        for (int t = 0; t < sel.allReactionsCount; ++t)
            if (sel.allReactions[static_cast<std::size_t>(t)] == i) return true;
        return false;
    };
    // The phase with the smallest coordinate above 0.001 on position k among
    // phases [from, to) that pass `eligible`, or -1.
    auto smallest = [&](int k, int from, int to, double limit, auto eligible) {
        int best = -1;
        double bestValue = 0;
        for (int i = from; i < to; ++i) {
            if (s.inBasis(i, k) || !eligible(i)) continue;
            const double v = std::fabs(basis.coords[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)]);
            if (v <= kZero || v >= limit) continue;
            if (best < 0 || v < bestValue) best = i, bestValue = v;
        }
        return best;
    };

    const int mainCount = std::min(sel.mainCount, n);
    int k = 0;
    bool lowering = false;  // position k is being refilled from phase lowerFrom down
    int lowerFrom = -1;
    while (k < C) {
        int candidate = -1;
        if (!lowering) {
            candidate = forcedCandidate(k);
            if (candidate < 0)
                candidate = smallest(k, 0, mainCount, kNeverTaken, [&](int i) { return !inAllReactions(i); });
            if (candidate < 0) candidate = smallest(k, 0, mainCount, HUGE_VAL, [](int) { return true; });
            if (candidate < 0) candidate = smallest(k, mainCount, n, HUGE_VAL, [](int) { return true; });
            if (candidate < 0) {
                // No phase has a coordinate on this position: it keeps its unit row.
                s.phase[static_cast<std::size_t>(k)] = -1;
                ++k;
                continue;
            }
            if (s.place(k, candidate)) {
                ++k;
                continue;
            }
            lowering = true;
            lowerFrom = candidate - 1;
        }
        // Singular: the phases before the candidate in the list take its place in turn.
        bool placed = false;
        for (int p = lowerFrom; p >= 0 && !placed; --p) {
            if (s.inversions > kMaxInversions) break;
            if (s.inBasis(p, k)) continue;
            placed = s.place(k, p);
        }
        if (placed) {
            lowering = false;
            ++k;
            continue;
        }
        // The start of the list: the previous filled position is lowered instead.
        int j = k - 1;
        while (j >= 0 && s.phase[static_cast<std::size_t>(j)] < 0) --j;
        if (j < 0 || s.inversions > kMaxInversions) {
            streams.write_line(messages, "IMPOSSIBLE PROJECTION!     SEE USER MANUAL  ");
            return core::Status::stop("impossible projection: the basis phases are not independent");
        }
        lowerFrom = s.phase[static_cast<std::size_t>(j)] - 1;
        for (int r = j; r < C; ++r) s.phase[static_cast<std::size_t>(r)] = -1;
        if (!s.restore(j)) {
            streams.write_line(messages, "IMPOSSIBLE PROJECTION!     SEE USER MANUAL  ");
            return core::Status::stop("impossible projection: the basis phases are not independent");
        }
        k = j;
    }

    for (int r = 0; r < C; ++r) {
        basis.phase[static_cast<std::size_t>(r)] = s.phase[static_cast<std::size_t>(r)];
        basis.element[static_cast<std::size_t>(r)] = s.element[static_cast<std::size_t>(r)];
        if (s.phase[static_cast<std::size_t>(r)] < 0) {
            ++basis.unitRowCount;
            for (int i = 0; i < n; ++i) basis.coords[static_cast<std::size_t>(i)][static_cast<std::size_t>(r)] = 0.0;
        }
    }
    return core::Status::success();
}

}  // namespace calc
