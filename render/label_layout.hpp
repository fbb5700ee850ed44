// Placing labels inside the frame without overlaps.  Work is done in plot
// units (x to the right, y up, the frame from (0, 0) to (W, H)).  A label
// keeps its record's position when that lies inside the frame and is free;
// otherwise it slides along its own stretch, keeping its side of the curve
// and its distance from it, to the nearest place that is inside and free.
// The labels of one stretch (the two sides of a reaction) slide together.
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
    // Owners (0 or more) of the placed labels that `b` overlaps, except `self`.
    void ownersOverlapping(const Box& b, int self, std::vector<int>& out) const;
    bool overlapsOthers(const Box& b, int self) const;

    bool inside(const Box& b) const;

private:
    static constexpr int kObstacle = -1;
    struct Placed {
        Box box;
        int owner = kObstacle;
        bool alive = true;
    };
    void insert(const Box& b, int owner);
    double overlapArea(const Box& b) const;
    int crossings(const Box& b, int curve) const;
    double outsideDistance(const Box& b) const;
    Vec clampInside(const Box& b) const;  // the shift that brings b's extent inside
    // Cells of the grid that a box's extent covers.
    void cellRange(const Box& b, int& i0, int& i1, int& j0, int& j1) const;
    template <class F>
    void forNearby(const Box& b, F&& f) const;

    double w_, h_, inset_;
    std::vector<Placed> placed_;
    // A grid over the frame: per cell the placed boxes whose extent touches it.
    int cols_ = 1, rows_ = 1;
    double cell_ = 1;
    std::vector<std::vector<int>> cells_;
    struct Segment {
        Vec a, b;
        int curve;
    };
    std::vector<Segment> segments_;
    std::vector<std::vector<int>> segmentCells_;
    mutable std::vector<unsigned> segmentSeen_;
    mutable std::vector<unsigned> seen_;
    mutable unsigned stamp_ = 0;
    // Scratch of placeGroup, kept to avoid allocating per candidate.
    std::vector<double> cum_;
    std::vector<LabelPlacement> trial_, best_;
    struct Anchor {
        double s = 0, along = 0, side = 0;
    };
    std::vector<Anchor> anchors_;
};

}  // namespace render
