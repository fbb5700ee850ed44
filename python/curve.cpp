// The equilibrium curve of one reaction across a diagram window
// (pelkam/curve.hpp): its stretches as numpy arrays.
#include "python/binding.hpp"

namespace pelkam::python {
namespace {

py::array_t<double> coordinates(const CurveStretch& s, double CurvePoint::*c) {
    py::array_t<double> out(static_cast<py::ssize_t>(s.points.size()));
    double* d = out.mutable_data();
    for (const CurvePoint& p : s.points) *d++ = p.*c;
    return out;
}

}  // namespace

void bindCurve(py::module_& m) {
    py::class_<CurveWindow> window(m, "CurveWindow",
                                   "The window of a diagram and its fluid.\n"
                                   "type PT: x temperature (C), y pressure (bar), x_co2 the mole fraction of CO2 in\n"
                                   "the H2O-CO2 fluid; TxCO2: x mole fraction of CO2, y temperature (C), `fixed` the\n"
                                   "pressure (bar); PxCO2: x mole fraction of CO2, y pressure (bar), `fixed` the\n"
                                   "temperature (C).\n"
                                   "    CurveWindow(type=DiagramType.PT, x_min=400, x_max=900, y_min=1, y_max=10000)");
    keywordInit(window);
    window.def_readwrite("type", &CurveWindow::type)
        .def_readwrite("x_min", &CurveWindow::xMin)
        .def_readwrite("x_max", &CurveWindow::xMax)
        .def_readwrite("y_min", &CurveWindow::yMin)
        .def_readwrite("y_max", &CurveWindow::yMax)
        .def_readwrite("x_co2", &CurveWindow::xCO2, "PT: the mole fraction of CO2 in the H2O-CO2 fluid")
        .def_readwrite("fixed", &CurveWindow::fixed, "TxCO2: the pressure (bar); PxCO2: the temperature (C)");

    py::class_<CurveStretch>(m, "CurveStretch",
                             "One piece of a curve drawn as one line: x and y in diagram units (CurveWindow), every\n"
                             "point stable or every point metastable.")
        .def_readonly("stable", &CurveStretch::stable,
                      "the reaction's assemblage is stable along the stretch among the phases tested")
        .def_property_readonly("x", [](const CurveStretch& s) { return coordinates(s, &CurvePoint::x); },
                               "x of the points (P-T: T in C)")
        .def_property_readonly("y", [](const CurveStretch& s) { return coordinates(s, &CurvePoint::y); },
                               "y of the points (P-T: P in bar)")
        .def("__len__", [](const CurveStretch& s) { return s.points.size(); })
        .def("__repr__", [](const CurveStretch& s) {
            return std::string("<CurveStretch ") + (s.stable ? "stable" : "metastable") + ", " +
                   std::to_string(s.points.size()) + " points>";
        });

    py::class_<Curve>(m, "Curve", "The equilibrium curve of one reaction inside a window.")
        .def_readonly("reaction", &Curve::reaction, "the reaction's text as the calculator writes it")
        .def_readonly("stretches", &Curve::stretches,
                      "every stretch inside the window, stable or metastable, in the order traced; a stretch ends\n"
                      "where the curve leaves the window, breaks off or changes stability")
        .def_readonly("truncated", &Curve::truncated, "the trace reached its capacity (201 points)")
        .def_readonly("unusable", &Curve::unusable, "the curve stops where the energies cannot be evaluated")
        .def("__repr__", [](const Curve& c) {
            return "<Curve \"" + c.reaction + "\": " + std::to_string(c.stretches.size()) + " stretches>";
        });

    m.def("trace_reaction", [](const Database& db, const py::object& reaction, const CurveWindow& window,
                               const std::vector<std::string>& competing) {
        const Reaction r = reactionOf(db, reaction);
        py::gil_scoped_release unlocked;
        return take(traceReaction(db, r, window, competing));
    }, "database"_a, "reaction"_a, "window"_a, "competing"_a = std::vector<std::string>{},
          "Traces `reaction` (a Reaction or its text) across `window` (CurveWindow), every stretch\n"
          "stable or metastable.  A point is stable when none of the `competing` phases (names or\n"
          "abbreviations) lies below the Gibbs energy plane of the reaction's phases, all at unit\n"
          "activity (without competing phases every point is stable).  A curve that misses the window\n"
          "has no stretches.  Raises RequestError for a phase the database did not load, an activity\n"
          "diagram type, an empty window, or a water or CO2 phase with none of it in the fluid.");
}

}  // namespace pelkam::python
