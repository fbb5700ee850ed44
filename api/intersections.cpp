// The intersections of a computed diagram's curves (intersect/ on values).
#include "pelkam/intersections.hpp"

#include "api/internal.hpp"
#include "core/text.hpp"
#include "intersect/intersect.hpp"

namespace pelkam {

IntersectionAnalysis analyseIntersections(const Diagram& diagram, const IntersectionOptions& options) {
    const detail::DiagramData& d = diagram.data();
    const calc::PlotWindow w = calc::plotWindow(d.options);
    intersect::CurveSet set;
    set.window = intersect::Window{w.xmin, w.xmax, w.ymin, w.ymax};
    const model::PhaseTable& phases = d.run.phases;
    for (int i = 0; i < phases.count; ++i) set.phases.push_back(core::trimmed(phases[i].name));
    // A run of stable curves plots stable stretches only.
    const bool stable = d.options.plotCurves == 'Y';
    for (const calc::PlottedCurve& c : d.result.curves) {
        intersect::Curve curve;
        curve.number = static_cast<int>(c.number);
        curve.reaction = core::trimmed(c.reactionText);
        for (const calc::CurveStretch& s : c.stretches) {
            intersect::Stretch stretch;
            stretch.stable = stable;
            for (int k = s.first; k <= s.last && k < static_cast<int>(c.points.size()); ++k)
                stretch.points.push_back({c.points[static_cast<std::size_t>(k)].x, c.points[static_cast<std::size_t>(k)].y});
            curve.stretches.push_back(std::move(stretch));
        }
        curve.coefficients.assign(static_cast<std::size_t>(phases.count), 0.0);
        for (int k = 0; k < c.terms.count; ++k) {
            const int p = c.terms.phase[static_cast<std::size_t>(k)];
            if (p >= 0 && p < phases.count) curve.coefficients[static_cast<std::size_t>(p)] = c.terms.coef[static_cast<std::size_t>(k)];
        }
        set.curves.push_back(std::move(curve));
    }

    intersect::Options o;
    o.includeMetastable = options.includeMetastable;
    o.touchTolerance = options.touchTolerance;
    o.samePointTolerance = options.samePointTolerance;
    o.dependenceTolerance = options.dependenceTolerance;
    o.rejectBeyond = options.rejectBeyond;
    o.keepAtLeast = options.keepAtLeast;
    const intersect::Analysis a = intersect::analyse(set, o);

    IntersectionAnalysis out;
    for (const intersect::Intersection& x : a.intersections) {
        const intersect::Curve& A = set.curves[static_cast<std::size_t>(x.curveA)];
        const intersect::Curve& B = set.curves[static_cast<std::size_t>(x.curveB)];
        CurveIntersection c;
        c.curveA = A.number;
        c.curveB = B.number;
        c.reactionA = A.reaction;
        c.reactionB = B.reaction;
        c.x = x.at.x;
        c.y = x.at.y;
        c.touch = x.touch;
        c.kind = x.kind == intersect::Kind::Independent ? CurveIntersection::Kind::Independent
                 : x.kind == intersect::Kind::SamePoint ? CurveIntersection::Kind::SamePoint
                                                        : CurveIntersection::Kind::Dropped;
        c.distance = x.distance;
        out.intersections.push_back(std::move(c));
    }
    const intersect::Scatter& s = a.scatter;
    out.scatter = IntersectionScatter{s.count, s.mean.x, s.mean.y, s.varX, s.varY, s.covXY,
                                      s.sdX,   s.sdY,    s.hasCorrelation ? s.correlation : 0.0, s.area};
    out.independentReactions = a.dependence.rank;
    for (const intersect::Combination& c : a.dependence.dependent)
        out.dependentCurves.push_back(set.curves[static_cast<std::size_t>(c.curve)].number);
    out.pairsWithoutCrossing = a.pairsWithoutCrossing;
    return out;
}

}  // namespace pelkam
