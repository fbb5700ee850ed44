// Where the equilibria of a computed diagram meet (pelkam/intersections.hpp):
// the intersections of its stable stretches, their mean and scatter.
#include "python/binding.hpp"

namespace pelkam::python {

void bindIntersections(py::module_& m) {
    py::class_<IntersectionOptions> options(m, "IntersectionOptions",
                                            "How intersections are found; tolerances are fractions of the window's ranges.");
    keywordInit(options);
    options.def_readwrite("include_metastable", &IntersectionOptions::includeMetastable,
                          "also intersect stretches not known to be stable")
        .def_readwrite("touch_tolerance", &IntersectionOptions::touchTolerance,
                       "a stretch end this close to another stretch touches it")
        .def_readwrite("same_point_tolerance", &IntersectionOptions::samePointTolerance,
                       "intersections of one plane of reactions this close are one point")
        .def_readwrite("dependence_tolerance", &IntersectionOptions::dependenceTolerance,
                       "relative to the norm of a reaction's coefficients")
        .def_readwrite("reject_beyond", &IntersectionOptions::rejectBeyond,
                       "drop, one at a time, the intersection farthest from the mean while it lies more than\n"
                       "this many standard deviations away (0: none)")
        .def_readwrite("keep_at_least", &IntersectionOptions::keepAtLeast);

    py::class_<CurveIntersection> intersection(m, "CurveIntersection", "Two curves of a diagram meeting.");
    py::enum_<CurveIntersection::Kind>(intersection, "Kind")
        .value("INDEPENDENT", CurveIntersection::Kind::Independent, "a point of its own")
        .value("SAME_POINT", CurveIntersection::Kind::SamePoint,
               "both reactions lie in the plane of an earlier intersection near it")
        .value("DROPPED", CurveIntersection::Kind::Dropped, "rejected as an outlier");
    intersection.def_readonly("curve_a", &CurveIntersection::curveA, "curve numbers (DiagramCurve.number), a < b")
        .def_readonly("curve_b", &CurveIntersection::curveB)
        .def_readonly("reaction_a", &CurveIntersection::reactionA)
        .def_readonly("reaction_b", &CurveIntersection::reactionB)
        .def_readonly("x", &CurveIntersection::x, "diagram units (P-T: T in C)")
        .def_readonly("y", &CurveIntersection::y, "diagram units (P-T: P in bar)")
        .def_readonly("touch", &CurveIntersection::touch, "a stretch ends on the other one (an invariant point)")
        .def_readonly("kind", &CurveIntersection::kind)
        .def_readonly("distance", &CurveIntersection::distance, "dropped: distance from the mean, standard deviations")
        .def("__repr__", [](const CurveIntersection& i) {
            return "<CurveIntersection " + std::to_string(i.curveA) + "/" + std::to_string(i.curveB) + " at " +
                   std::to_string(i.x) + ", " + std::to_string(i.y) + ">";
        });

    py::class_<IntersectionScatter>(m, "IntersectionScatter",
                                    "The mean of the independent intersections and their scatter, diagram units.")
        .def_readonly("count", &IntersectionScatter::count, "independent intersections used")
        .def_readonly("mean_x", &IntersectionScatter::meanX)
        .def_readonly("mean_y", &IntersectionScatter::meanY)
        .def_readonly("var_x", &IntersectionScatter::varX, "sample covariance (divisor n - 1)")
        .def_readonly("var_y", &IntersectionScatter::varY)
        .def_readonly("cov_xy", &IntersectionScatter::covXY)
        .def_readonly("sd_x", &IntersectionScatter::sdX)
        .def_readonly("sd_y", &IntersectionScatter::sdY)
        .def_readonly("correlation", &IntersectionScatter::correlation, "0 when a standard deviation is 0")
        .def_readonly("area", &IntersectionScatter::area, "of the 1-sigma ellipse, diagram units squared");

    py::class_<IntersectionAnalysis>(m, "IntersectionAnalysis", "The intersections of a diagram's curves.")
        .def_readonly("intersections", &IntersectionAnalysis::intersections,
                      "in order of curve pairs, then along the curves")
        .def_readonly("scatter", &IntersectionAnalysis::scatter)
        .def_readonly("independent_reactions", &IntersectionAnalysis::independentReactions,
                      "rank of the reactions' coefficients")
        .def_readonly("dependent_curves", &IntersectionAnalysis::dependentCurves,
                      "curve numbers of the reactions that are combinations of earlier ones")
        .def_readonly("pairs_without_crossing", &IntersectionAnalysis::pairsWithoutCrossing,
                      "independent pairs of curves that do not meet in the window");

    m.def("analyse_intersections", [](const Diagram& diagram, const IntersectionOptions& options) {
        py::gil_scoped_release unlocked;
        return analyseIntersections(diagram, options);
    }, "diagram"_a, "options"_a = IntersectionOptions{},
          "The intersections of the curves of a computed diagram, the reactions that are combinations of\n"
          "others, and the mean of the independent intersections with the covariance of their scatter.\n"
          "On a diagram of stable curves every stretch is stable; metastable stretches count only with\n"
          "options.include_metastable.");
}

}  // namespace pelkam::python
