// Placing labels inside the frame without overlaps.  Work is done in plot
// units (x to the right, y up, the frame from (0, 0) to (W, H)).  A label
// keeps its record's position when that lies inside the frame and is free;
// otherwise it slides along its own stretch, keeping its side of the curve
// and its distance from it, to the nearest place that is inside and free.
// The labels of one stretch (the two sides of a reaction) slide together.
// The slide goes in coarse steps (a few capital heights) first, then in fine
// steps next to the first free place or, when none is free, next to the
// places clear of labels and to the least crowded one.  Placed labels and
// curve segments are kept in a grid over the frame, so that a trial place
// is compared only with what lies near it.
#pragma once
#include <span>
#include <vector>

#include "render/diagram_curves.hpp"

namespace render {

struct Vec {
    double x = 0, y = 0;
};

// An oriented rectangle.
struct Box {
    Vec center;
    Vec u{1, 0};  // along the text
    double halfW = 0, halfH = 0;
    Vec n() const { return {-u.y, u.x}; }
};

bool boxesOverlap(const Box& a, const Box& b);
// Whether the segment from a to e crosses or touches the box.
bool segmentMeetsBox(const Box& b, Vec a, Vec e);

// A label as the layout sees it: the start of its baseline, the height of
// its capitals, its angle (degrees, counter-clockwise) and its width.
struct LabelPlacement {
    Vec start;
    double capHeight = 0;
    double angle = 0;
    double width = 0;
    bool moved = false;   // not where the record put it
    bool inside = true;   // lies inside the frame (false only for a label larger than the frame)
    bool overlaps = false;  // no free place was found
};

// The box a label's text occupies, with a small clear margin around it.
Box labelBox(const LabelPlacement& l);

class LabelLayout {
public:
    // `inset`: distance kept from the frame's sides (plot units).
    LabelLayout(double width, double height, double inset);

    // Something labels keep clear of (markers, fixed texts).
    void addObstacle(const Box& b) { insert(b, kObstacle); }
    // Of `candidates`, the first that lies inside and is free, else the one
    // overlapping least; it is then taken as placed.  Returns its index.
    std::size_t placeFirstFree(std::span<const Box> candidates);

    // Places the labels of one stretch (`stretch` in plot units, in point
    // order; empty when the labels belong to no stretch) for `owner` (0 or
    // more), starting from where `labels` puts them.
    // Labels keep clear of the lines of other curves where they can: `curve`
    // names the labels' own curve (-1 none).
    void placeGroup(int owner, int curve, std::span<const Vec> stretch, std::span<LabelPlacement> labels);
    // A line of curve `curve` that labels of other curves should not cross.
    void addSegment(Vec a, Vec b, int curve);
    // Takes the labels of `owner` away again.
    void remove(int owner);
    // Puts labels back as they were placed before (no search).
    void restore(int owner, std::span<const LabelPlacement> labels);
    // Adds to `out` the owners (0 or more) of the placed labels that `b`
    // overlaps, except `self`; stops once `out` holds more than `most`.
    void ownersOverlapping(const Box& b, int self, std::size_t most, std::vector<int>& out) const;
    bool overlapsOthers(const Box& b, int self) const;

    bool inside(const Box& b) const;

private:
    static constexpr int kObstacle = -1;
    // Score of a set of trial places, compared in order: how far outside
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
    // The extent of a box or segment along the frame's axes, and the first
    // grid cell it covers.  A pair whose extents meet is examined only in
    // the first cell that both cover, so that nothing is counted twice.
    struct Extent {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        int i0 = 0, j0 = 0, i1 = 0, j1 = 0;
    };
    struct Entry {
        double x0, y0, x1, y1;
        int i0, j0;
        int k;  // index into placed_ or segments_
    };
    struct Placed {
        Box box;
        Extent ext;
        int owner = kObstacle;
        bool alive = true;
    };
    struct Segment {
        Vec a, b;
        int curve;
    };
    void insert(const Box& b, int owner);
    Extent extentOf(const Box& b) const;
    Extent extentOf(double x0, double y0, double x1, double y1) const;
    // Calls f(k) once for every entry of `cells` whose extent meets `q`;
    // stops early when f returns false.
    template <class F>
    void forMeeting(const std::vector<std::vector<Entry>>& cells, const Extent& q, F&& f) const;
    // The placed boxes of cell (i, j) whose extents meet `q` and that are
    // met there first, into found_; returns their count.
    std::size_t meetingIn(const Extent& q, int i, int j) const;
    int cellOf(double v, int n) const;  // the grid column (row) of v, n columns (rows)
    mutable std::vector<int> found_;
    // Overlap with the placed labels; infinite once the sum exceeds `limit`.
    double overlapArea(const Box& b, const Extent& e, double limit) const;
    int crossings(const Box& b, const Extent& e, int curve, int limit) const;
    double outsideDistance(const Extent& e) const;
    bool insideExtent(const Extent& e) const;
    Vec clampInside(const Box& b) const;  // the shift that brings b's extent inside
    // Scores the boxes of trial_ and tells whether they beat `best`
    // (filling `sc` then); work that cannot change the answer is skipped.
    // Sets clear_ when the boxes lie inside and overlap no label.
    bool beats(const Score& best, int curve, Score& sc) const;
    mutable bool clear_ = false;
    std::vector<int> clearSteps_, fineSteps_;  // scratch of placeGroup's search

    double w_, h_, inset_;
    std::vector<Placed> placed_;
    // A grid over the frame: per cell the placed boxes and the segments whose
    // extents touch it.
    int cols_ = 1, rows_ = 1;
    double cell_ = 1;
    std::vector<std::vector<Entry>> cells_, segmentCells_;
    std::vector<Segment> segments_;
    // Scratch of placeGroup, kept to avoid allocating per candidate.
    std::vector<double> cum_;
    struct Trial {
        Box box;
        Extent ext;
    };
    std::vector<Trial> trial_, best_;
    struct Anchor {
        double s = 0, along = 0, side = 0;
    };
    std::vector<Anchor> anchors_;
};

}  // namespace render
