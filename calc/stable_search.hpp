// The search for the reactions that can be stable somewhere in the window of
// a diagram of stable curves, so that only those are traced.
//
// At a point of the diagram every phase is a point (x, mu): its coordinates
// in the basis of the run and its chemical potential.  The assemblages stable
// there are the facets of the lower hull of these points (homogeneous: the
// planes mu = lambda . x pass through the origin, as in the plane test of
// calc/stability.hpp).  Crossing a stable univariant curve flips the hull:
// the facets made of the curve's phases on one side give way to the others.
// A stable stretch ends at an invariant point, where a further phase touches
// the plane of the curve's phases, or at a side of the window.  Hence the
// search:
//
//   1. Sides.  The hull at points along the four sides of the window; where
//      it differs between neighbours the segment is halved until each flip is
//      isolated, and the reaction of every flip is a candidate.
//   2. Invariant points.  Each candidate is traced; at each interior end of a
//      stable stretch the phases touching or cutting the plane just beyond
//      the end, together with the curve's phases, make an invariant
//      assemblage, and every reaction among them is a candidate.  Repeated
//      until nothing new appears.
//   3. Interior.  The hull at the nodes of a grid over the window; a flip
//      between neighbouring nodes whose reaction is not yet a candidate is
//      located as on the sides, and its reaction followed as in 2.
//
// What the search uses from the run (the potentials at a point, tracing a
// candidate) comes through SearchModel, so that it can be run on made-up
// phases as well.
#pragma once
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "calc/reaction.hpp"
#include "calc/stability.hpp"
#include "model/phase.hpp"

namespace calc {

// The lower hull of the phases at one point, and the reactions among them.
class AssemblageHull {
public:
    static constexpr int kMaxDims = PlaneTest::kMaxDims;
    using Coordinates = PlaneTest::Coordinates;

    // Phases 0..count-1 with `dims` coordinates each (fixed for a run).
    void setPhases(const Coordinates& x, int count, int dims);
    int dims() const { return dims_; }

    // The facets of the lower hull of the active phases with potentials mu
    // (one per phase), sorted.  False when the hull cannot be made: some
    // coordinate has no active phase that is its unit vector (the walk starts
    // from them), or the numbers break down.
    bool compute(const double* mu, const bool* active, std::vector<PhaseMask>& facets);

    // The support of the one reaction among the phases of `set` (dims + 1
    // phases whose coordinates span the dims): false when there is not
    // exactly one.
    bool circuit(const PhaseMask& set, PhaseMask& support) const;
    // Every minimal reaction among the phases of `set` (at most 16 phases;
    // false when there are more), appended to `out`.
    bool circuits(const PhaseMask& set, std::vector<PhaseMask>& out) const;

private:
    // Inverts the matrix whose columns are the coordinates of `phases`
    // (dims of them) into inv_; false when singular.
    bool invert(const int* phases);
    // Whether `facet` was met in this hull; records it when not.
    bool seen(const PhaseMask& facet);

    Coordinates x_{};
    int count_ = 0, dims_ = 0;
    std::array<double, kMaxDims * kMaxDims> inv_{};
    PhaseMask start_;  // the first facet of the last hull
    bool haveStart_ = false;
    // The facets met, each with its phases by position and its tableau: per
    // active phase the coordinates in the facet's phases and the reduced
    // energy (dims + 1 values).  Kept between hulls for their room only.
    std::vector<PhaseMask> facets_;
    std::vector<int> order_;
    std::vector<double> tableau_;
    // Open-addressing set of the facets met, cleared by generation.
    std::vector<PhaseMask> slots_;
    std::vector<std::uint32_t> stamps_;
    std::uint32_t generation_ = 0;
};

struct SearchStatistics {
    long hulls = 0;       // hulls computed
    long facets = 0;      // facets of those hulls
    long candidates = 0;  // distinct phase sets found
    long followed = 0;    // candidates traced
    long fromSides = 0, fromInvariantPoints = 0, fromInterior = 0;
};

// What the search needs from a run.
class SearchModel {
public:
    virtual ~SearchModel() = default;
    // The potential of every phase at (x, y), and whether it is a fluid
    // species missing from the fluid there (it counts only in the planes of
    // its own reactions).  False when the energies cannot be evaluated there.
    virtual bool potentials(double x, double y, double* mu, bool* absent) = 0;
    // Follows the reaction among `phases` (a candidate met for the first
    // time) and appends, for every interior end of its stable stretches, the
    // invariant assemblage there (its phases and those touching the plane).
    // False when the search must be given up.
    virtual bool follow(const PhaseMask& phases, std::vector<PhaseMask>& invariant) = 0;
    // Where the search stands: after every hull and every candidate traced.
    virtual void progress(const SearchStatistics& statistics) {}
};

struct SearchSettings {
    double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
    int sideIntervals = 16;  // hull points along each side
    int gridIntervals = 6;   // cells of the interior grid along each axis
    // Flips closer than this (fraction of each range) are not told apart:
    // every reaction of the hull change between them is a candidate.
    double finest = 1.0 / 2048.0;
};


// The search.  Fills `candidates` (sorted, distinct) with the phase sets of
// every reaction found; false when it had to be given up (the caller then
// examines every reaction).
class StableReactionSearch {
public:
    StableReactionSearch(SearchModel& model, AssemblageHull& hull, int phaseCount, const SearchSettings& settings);
    bool run(std::vector<PhaseMask>& candidates);
    const SearchStatistics& statistics() const { return stats_; }

private:
    struct Node {
        double x = 0, y = 0;
        std::vector<PhaseMask> facets;
    };
    bool hullAt(double x, double y, Node& node);
    // Adds the reactions of the flips between a and b; `depth` halvings so far.
    bool locate(const Node& a, const Node& b, long& found);
    // The reactions of the hull change from a to b, from the pairs of a
    // facet that goes and one that comes which differ in one phase; `paired`:
    // every facet of the change is in such a pair.
    void flipReactions(const Node& a, const Node& b, std::vector<PhaseMask>& out, bool& paired);
    bool add(const PhaseMask& phases, long& counter);
    bool closeUp();
    bool scanLine(double x0, double y0, double x1, double y1, int intervals, long& counter);

    SearchModel& model_;
    AssemblageHull& hull_;
    int phaseCount_ = 0;
    SearchSettings set_;
    SearchStatistics stats_;
    std::vector<PhaseMask> known_;    // sorted
    std::vector<PhaseMask> pending_;  // found, not yet followed
    std::vector<double> mu_;
    std::vector<char> active_;
    struct MaskHash {
        std::size_t operator()(const PhaseMask& m) const {
            return static_cast<std::size_t>((m.bits[0] * 0x9E3779B97F4A7C15ull) ^ (m.bits[1] * 0xC2B2AE3D27D4EB4Full));
        }
    };
    // The reaction of each set of dims + 1 phases met (empty: none).
    std::unordered_map<PhaseMask, PhaseMask, MaskHash> circuits_;
};

}  // namespace calc
