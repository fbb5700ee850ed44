// Whether the current reaction's assemblage is stable at the current point,
// and the pruned-assemblage list.
#pragma once

#include <array>

#include "calc/point.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "model/gibbs.hpp"

namespace calc {

enum StabilityResult : int { kStable = 0, kMetastable = 1, kStabilityFailed = 2 };

// The Gibbs-energy plane test on plain numbers: phase compositions (rows of
// coordinates) and chemical potentials.  The reaction's phases fix a plane
// mu(x) = lambda . x through their (x, mu) points; the assemblage is stable
// when some such plane has no other phase below it.  The reduced Gibbs energy
// of phase j is d_j = lambda . x_j - mu_j (positive: below the plane), and
// the result t* is the smallest over the admissible planes of the largest
// d_j: stable when t* <= 0.
//
// When the reaction's phases span every coordinate the plane is unique and
// t* is the largest d_j; otherwise t* comes from a small linear programme
// (see stability.cpp).  Set up once per reaction; evaluate at every point
// without allocating.
class PlaneTest {
public:
    static constexpr int kMaxDims = model::kMaxComponents;
    static constexpr int kMaxRows = kMaxDims + 1;  // one per coordinate, and the sum row
    // Structural columns of the programme: one per other phase, and two per
    // independent reaction phase.
    static constexpr int kMaxColumns = model::kMaxPhases + 2 * kMaxDims;
    using Coordinates = std::array<std::array<double, kMaxDims>, model::kMaxPhases>;

    // Automatic: the unique plane when there is one, the programme otherwise.
    // Simplex: the programme always (it gives the unique-plane answer too).
    enum class Method { Automatic, Simplex };

    // Takes phases 0..count-1 with `dims` coordinates each; the phases with
    // inReaction set are the reaction's.  Returns kStable when ready,
    // kStabilityFailed when the reaction has fewer than two phases or more
    // than dims + 1, or the matrix of its independent phases is singular
    // (pivot below 1e-4).
    int setUp(const Coordinates& x, int count, int dims, const std::array<bool, model::kMaxPhases>& inReaction);

    // mu: one potential per phase (count of them); competes[j]: phase j is
    // tested against the plane (ignored for the reaction's phases).  Returns
    // kStable or kMetastable with the margin t* (J; 0 within rounding of a
    // touching phase; capped at +-1e12, -1e12 when nothing can compete), or
    // kStabilityFailed when not set up.
    int evaluate(const double* mu, const bool* competes, double& margin, Method method = Method::Automatic);

    bool ready() const { return ready_; }
    // Rank of the reaction's phases, and whether the plane through them is unique.
    int rank() const { return rank_; }
    bool unique() const { return ready_ && rank_ == dims_; }
    // Simplex pivots of the last evaluation (0 on the unique-plane path).
    int lastPivots() const { return pivots_; }
    // After an evaluation: the competing phases that touch or cut the plane,
    // written to `out` (up to `capacity`; the count is returned).  On the
    // unique plane those whose reduced energy is above -window (J); from the
    // programme the phases of the mixture at its optimum.
    int touching(double window, int* out, int capacity) const;

private:
    // Outcome of the programme.
    enum class Lp { Optimal, NoMixture, Limit };
    Lp solve(int nCompeting, double& t);
    Lp phaseTwo(int nCompeting, double& t);
    void keepPhaseOne(Lp outcome, int nCompeting, int rows, int cols);
    bool restorePhaseOne(int nCompeting, int rows, int cols);
    void pivot(int row, int col, int rows, int cols);
    // Bland's rule on the objective row; returns false when the pivot limit was reached.
    bool optimise(int rows, int cols, double costTolerance, int limit, bool& unbounded);

    bool ready_ = false;
    int count_ = 0, dims_ = 0, rank_ = 0;
    Coordinates x_{};
    std::array<bool, model::kMaxPhases> inReaction_{};
    std::array<int, kMaxDims> basisPhase_{};  // independent reaction phases
    std::array<int, kMaxDims> pivotCol_{};    // the coordinate each was pivoted on
    std::array<double, kMaxDims * kMaxDims> inverse_{};  // of the rank x rank matrix they form
    // Per evaluation.
    std::array<double, kMaxDims> lambda_{};
    std::array<double, model::kMaxPhases> d_{};
    std::array<int, model::kMaxPhases> competing_{};
    int competingCount_ = 0;
    bool programmeSolved_ = false;  // the last evaluation solved the programme to its optimum
    int pivots_ = 0;
    // Simplex tableau: kMaxRows constraint rows and the objective row; the
    // last column is the right-hand side.
    static constexpr int kStride = kMaxColumns + 1;
    std::array<double, (kMaxRows + 1) * kStride> tab_{};
    std::array<int, kMaxRows> basic_{};     // basic column per row (>= cols: the row's artificial)
    std::array<bool, kMaxRows> redundant_{};
    // The end of phase 1 for the competing phases it was made for (the
    // constraint rows only; the objective row is made again by phase 2).
    struct PhaseOne {
        bool valid = false;
        Lp outcome = Lp::Optimal;  // Optimal: phase 2 goes on from here
        int competing = 0;
        std::array<int, model::kMaxPhases> list{};
        int pivots = 0;
        std::array<double, kMaxRows * kStride> tab{};
        std::array<int, kMaxRows> basic{};
        std::array<bool, kMaxRows> redundant{};
    };
    PhaseOne kept_;
};

class StabilityTester {
public:
    StabilityTester(PointEvaluator& evaluator, const model::PhaseTable& phases,
                    const PhaseSelection& selection);

    // Starts a new reaction (clears the set-up flag).
    void beginReaction(const Reaction& reaction);
    // Tests the current reaction's assemblage at the evaluator's current
    // point: kStable when no phase outside the reaction lies below the Gibbs
    // energy plane of the reaction's phases, kMetastable otherwise,
    // kStabilityFailed when the reaction has more phases than components
    // plus one or its basis is singular.  `margin` (J) changes sign where the
    // curve changes stability: the largest positive reduced Gibbs energy
    // (capped at 1e12) when a phase lies below the plane, else the largest
    // (non-positive) one, the nearest competitor.
    int testAssemblageStability(double& margin);

    // The plane test of the current reaction (after its first test).
    const PlaneTest& plane() const { return plane_; }
    // Potentials of the last test (J/mol, one per phase; only the phases
    // tested are set).
    const std::array<double, model::kMaxPhases>& potentials() const { return mu_; }

    // The potential of phase i on its own at the evaluator's point (J/mol),
    // as the test takes it for a phase whose energy does not depend on the
    // reaction.
    double phaseAlone(int i);
    // A fluid species missing from the fluid at the evaluator's point: it
    // takes part in the planes of its own reactions, and is never below the
    // plane of any other.
    bool absentFluid(int i) const;
    // Whether the potential of phase i depends on the reaction's other phases
    // (the alumina buffers of orthopyroxene, the sulfur gas of pyrrhotite).
    static bool contextual(const model::PhaseRecord& phase);
    // The coordinates of phases 0..count-1 on the positions of the basis that
    // some phase fills, as the test takes them; returns their number.
    static int coordinates(const PhaseSelection& selection, int count, PlaneTest::Coordinates& out);

private:
    int setUp();
    // Chemical potential of phase i as the reaction Gibbs energy sees it.
    double potential(int i, const model::ReactionTerms* current, double& base, bool& haveBase);

    PointEvaluator& pe_;
    const model::PhaseTable& phases_;
    const PhaseSelection& sel_;
    const Reaction* reaction_ = nullptr;
    bool setUp_ = false;
    bool tooMany_ = false;  // the reaction has more phases than coordinates plus one
    int considered_ = 0;    // main and code-4 phases
    int count_ = 0;         // phases of the plane test
    PlaneTest plane_;
    PlaneTest::Coordinates coords_{};
    std::array<bool, model::kMaxPhases> inReaction_{};
    std::array<bool, model::kMaxPhases> contextual_{};  // potential depends on the reaction's other phases
    std::array<bool, model::kMaxPhases> competes_{};
    std::array<double, model::kMaxPhases> mu_{};
    model::ReactionTerms single_;  // a one-phase reaction
    model::ReactionTerms augmented_;  // the current reaction plus one phase
};

// Records the side of `reaction` whose coefficients have the sign of `sign`
// (phases with coefficient magnitude at least 0.001 and coefficient times
// sign above 0), without the phases included in all reactions.  With
// wholeReaction every phase of the reaction counts, by magnitude.  The list's
// slot and removal rules are those of addPrunedAssemblage.  An empty side is
// not recorded (it would stop every later reaction).  Returns the number of
// phases recorded.
int recordPrunedAssemblage(PrunedAssemblageList& list, const Reaction& reaction, int sign,
                           const PhaseSelection& selection, bool wholeReaction = false);

}  // namespace calc
