// A whole diagram from a run request built in Python, its plot file, and plot
// files read back (pelkam/diagram.hpp).
#include "python/binding.hpp"

namespace pelkam::python {
namespace {

py::array_t<double> coordinates(const std::vector<PlotPoint>& points, double PlotPoint::*c) {
    py::array_t<double> out(static_cast<py::ssize_t>(points.size()));
    double* d = out.mutable_data();
    for (const PlotPoint& p : points) *d++ = p.*c;
    return out;
}

py::array_t<bool> newStretches(const std::vector<PlotPoint>& points) {
    py::array_t<bool> out(static_cast<py::ssize_t>(points.size()));
    bool* d = out.mutable_data();
    for (const PlotPoint& p : points) *d++ = p.newStretch;
    return out;
}

// The points cut where a new line begins: a list of (x, y) arrays.
py::list stretches(const std::vector<PlotPoint>& points) {
    py::list out;
    std::size_t begin = 0;
    for (std::size_t k = 1; k <= points.size(); ++k) {
        if (k < points.size() && !points[k].newStretch) continue;
        std::vector<PlotPoint> piece(points.begin() + static_cast<std::ptrdiff_t>(begin),
                                     points.begin() + static_cast<std::ptrdiff_t>(k));
        out.append(py::make_tuple(coordinates(piece, &PlotPoint::x), coordinates(piece, &PlotPoint::y)));
        begin = k;
    }
    return out;
}

// x, y, new_stretch and stretches of a class that holds `points`.
template <class C>
void pointsOf(py::class_<C>& cls) {
    cls.def_property_readonly("x", [](const C& c) { return coordinates(c.points, &PlotPoint::x); },
                              "x of the points, diagram units (P-T: T in C)")
        .def_property_readonly("y", [](const C& c) { return coordinates(c.points, &PlotPoint::y); },
                               "y of the points, diagram units (P-T: P in bar)")
        .def_property_readonly("new_stretch", [](const C& c) { return newStretches(c.points); },
                               "True where a new line begins")
        .def_property_readonly("stretches", [](const C& c) { return stretches(c.points); },
                               "the lines: a list of (x, y) arrays, cut where a new line begins")
        .def_readonly("labels", &C::labels);
}

}  // namespace

void bindDiagram(py::module_& m) {
    py::enum_<OptionCode>(m, "OptionCode", "What the run does with a phase (PhaseAnswer.option_code).")
        .value("NOT_CHOSEN", OptionCode::kNotChosen)
        .value("INCLUDE", OptionCode::kInclude)
        .value("EXCLUDE", OptionCode::kExclude)
        .value("INCLUDE_ALL", OptionCode::kIncludeAll, "in every reaction")
        .value("PROJECT", OptionCode::kProject, "a projection phase")
        .value("TEST_ONLY", OptionCode::kTestOnly, "kept out of the reactions, used in the stability tests")
        .value("PLAIN", OptionCode::kPlain);

    py::class_<FluidChoice> fluid(m, "FluidChoice",
                                  "The fluid routines of a run: water, co2 and mixing with the codes of FluidRoutines.");
    keywordInit(fluid);
    fluid.def_readwrite("water", &FluidChoice::water)
        .def_readwrite("co2", &FluidChoice::co2)
        .def_readwrite("mixing", &FluidChoice::mixing);

    py::class_<DiagramOptions> options(m, "DiagramOptions",
                                       "The options of a run.  Ranges in degrees C, bar, mole fraction or log10 activity.");
    keywordInit(options);
    options
        .def_property("diagram_type", [](const DiagramOptions& o) { return static_cast<DiagramType>(o.diagramType); },
                      [](DiagramOptions& o, DiagramType t) { o.diagramType = static_cast<int>(t); })
        .def_readwrite("p_min", &DiagramOptions::pMin, "bar; the fixed pressure of T-xCO2 and activity diagrams")
        .def_readwrite("p_max", &DiagramOptions::pMax, "bar")
        .def_readwrite("t_min", &DiagramOptions::tMin, "degrees C; the fixed temperature of P-xCO2 diagrams")
        .def_readwrite("t_max", &DiagramOptions::tMax, "degrees C")
        .def_readwrite("x_axis_min", &DiagramOptions::xAxisMin, "x axis of xCO2 and activity diagrams")
        .def_readwrite("x_axis_max", &DiagramOptions::xAxisMax)
        .def_readwrite("y_axis_min", &DiagramOptions::yAxisMin, "y axis of activity-activity diagrams")
        .def_readwrite("y_axis_max", &DiagramOptions::yAxisMax)
        .def_readwrite("x_h2o", &DiagramOptions::xH2O, "mole fraction of H2O in the H2O-CO2 fluid")
        .def_readwrite("x_co2", &DiagramOptions::xCO2, "mole fraction of CO2 in the H2O-CO2 fluid")
        .def_readwrite("fluid", &DiagramOptions::fluid, "the fluid routines (FluidChoice)")
        .def_readwrite("plot_curves", &DiagramOptions::plotCurves, "'Y' stable curves only, 'N' metastable and stable")
        .def_readwrite("label_answer", &DiagramOptions::labelAnswer, "'Y' abbreviations, 'N' full names")
        .def_readwrite("saturation_choice", &DiagramOptions::saturationChoice,
                       "activity diagrams: the fixed P (or T) as given (0), on the liquid-vapour curve of water\n"
                       "(1), or on the geotherm P = 1 + d1 (T - 25) + d2 (T - 25)^2 (2)")
        .def_readwrite("geotherm_d1", &DiagramOptions::geothermD1)
        .def_readwrite("geotherm_d2", &DiagramOptions::geothermD2)
        .def_readwrite("plot_height", &DiagramOptions::plotHeight, "plot length of the y axis, plot units")
        .def_readwrite("plot_width", &DiagramOptions::plotWidth, "plot length of the x axis, plot units")
        .def_readwrite("record_four_integer", &DiagramOptions::recordFourInteger, "1 labels curves with their numbers");

    py::class_<PhaseAnswer> phase(m, "PhaseAnswer", "One phase of the loaded table as the end-member screens left it.");
    keywordInit(phase);
    phase.def_readwrite("name", &PhaseAnswer::name, "the phase name")
        .def_property("option_code", [](const PhaseAnswer& a) { return static_cast<OptionCode>(a.optionCode); },
                      [](PhaseAnswer& a, int c) { a.optionCode = c; }, "an OptionCode (or its number)")
        .def_readwrite("activity", &PhaseAnswer::activity,
                       "as entered: an activity, or (zero or negative) a log10 activity")
        .def("__repr__", [](const PhaseAnswer& a) {
            return "<PhaseAnswer " + a.name + " code " + std::to_string(a.optionCode) + ">";
        });

    py::class_<PhaseAnswers> answers(m, "PhaseAnswers",
                                     "The answers about the phases: one per loaded phase, in load order (assign a whole\n"
                                     "list to `phases`), and the activity axes of activity diagrams.");
    keywordInit(answers);
    answers.def_readwrite("phases", &PhaseAnswers::phases)
        .def_readwrite("x_axis_text", &PhaseAnswers::xAxisText, "the x activity axis as typed, e.g. 'alm/py^2'")
        .def_readwrite("y_axis_text", &PhaseAnswers::yAxisText)
        .def_readwrite("choose_reactions", &PhaseAnswers::chooseReactions);

    py::class_<ModelAnswer> model(m, "ModelAnswer", "One row of the solution-model screen.");
    keywordInit(model);
    model.def_readwrite("use_flag", &ModelAnswer::useFlag, "'Y' or 'N'")
        .def_readwrite("variant_keyword", &ModelAnswer::variantKeyword)
        .def_readwrite("model_name", &ModelAnswer::modelName);

    py::class_<SolutionAnswers> solutions(m, "SolutionAnswers",
                                          "The solution-model screen: the composition file and one row per model with a\n"
                                          "phase in the run, in the order of the solution file.");
    keywordInit(solutions);
    solutions.def_readwrite("composition_file", &SolutionAnswers::compositionFile)
        .def_readwrite("models", &SolutionAnswers::models);

    py::class_<RunRequest> request(m, "RunRequest",
                                   "Every answer of a run: options, the element line, one answer per loaded phase (see\n"
                                   "phase_answers), the solution models, the label style, and the rows of a replay of\n"
                                   "the last calculated reactions.  Nested values are changed in place\n"
                                   "(request.options.t_max = 900); lists are assigned whole.");
    keywordInit(request);
    request.def_readwrite("options", &RunRequest::options)
        .def_readwrite("element_line", &RunRequest::elementLine, "e.g. 'K AL SI O H'")
        .def_readwrite("phases", &RunRequest::phases)
        .def_readwrite("solutions", &RunRequest::solutions)
        .def_readwrite("label_style", &RunRequest::labelStyle, "'Y' abbreviations, 'N' full names")
        .def_readwrite("last_reactions_only", &RunRequest::lastReactionsOnly)
        .def_readwrite("last_rows", &RunRequest::lastRows, "one row of coefficients per reaction, one per phase");

    m.def("phase_answers", [](const Database& db, const std::vector<std::string>& included) {
        return take(phaseAnswers(db, included));
    }, "database"_a, "included"_a,
          "The answers that take the phases written in `included` (names or abbreviations) into a run\n"
          "at unit activity and leave every other loaded phase out.  Raises RequestError for a phase not\n"
          "loaded.");

    py::class_<PlotLabel>(m, "PlotLabel", "A curve label.")
        .def_readonly("x", &PlotLabel::x, "start of the text, diagram units")
        .def_readonly("y", &PlotLabel::y)
        .def_readonly("height", &PlotLabel::height, "character height, plot units")
        .def_readonly("angle", &PlotLabel::angle, "degrees")
        .def_readonly("text", &PlotLabel::text);

    py::class_<DiagramCurve> curve(m, "DiagramCurve",
                                   "A curve of a diagram: its stable portion (or, with plot_curves 'N', the whole\n"
                                   "curve) as the plot file has it.");
    curve.def_readonly("number", &DiagramCurve::number, "counted from 1 in the order of plotting")
        .def_readonly("reaction", &DiagramCurve::reaction)
        .def_readonly("truncated", &DiagramCurve::truncated)
        .def_readonly("unusable", &DiagramCurve::unusable)
        .def("__repr__", [](const DiagramCurve& c) {
            return "<DiagramCurve " + std::to_string(c.number) + " \"" + c.reaction + "\">";
        });
    pointsOf(curve);

    py::class_<Diagram>(m, "Diagram", "A computed diagram.  Immutable.")
        .def_property_readonly("curves", &Diagram::curves)
        .def_property_readonly("notices", &Diagram::notices,
                               "fluid routines used outside their range, energies that are not finite")
        .def_property_readonly("messages", &Diagram::messages, "the lines the readers and the phase selection wrote")
        .def_property_readonly("rows", [](const Diagram& d) {
            const std::vector<std::vector<double>>& rows = d.rows();
            const py::ssize_t columns = rows.empty() ? 0 : static_cast<py::ssize_t>(rows.front().size());
            py::array_t<double> out({static_cast<py::ssize_t>(rows.size()), columns});
            for (std::size_t r = 0; r < rows.size(); ++r)
                std::copy(rows[r].begin(), rows[r].end(), out.mutable_data(static_cast<py::ssize_t>(r)));
            return out;
        }, "the coefficients of every reaction with a portion plotted, one column per phase of the run")
        .def_property_readonly("examined", &Diagram::examined)
        .def_property_readonly("calculated", &Diagram::calculated)
        .def_property_readonly("plotted", &Diagram::plotted)
        .def("__repr__", [](const Diagram& d) {
            return "<Diagram: " + std::to_string(d.examined()) + " reactions examined, " +
                   std::to_string(d.calculated()) + " calculated, " + std::to_string(d.plotted()) + " plotted>";
        });

    m.def("compute_diagram", [](const RunRequest& request, const std::string& database,
                                const std::string& solutionModels, const std::string& aqueous) {
        py::gil_scoped_release unlocked;
        return take(computeDiagram(request, DiagramFiles{database, solutionModels, aqueous}));
    }, "request"_a, "database"_a, "solution_models"_a = "", "aqueous"_a = "",
          "Computes the diagram of `request` as a replayed run does, from the database file, the\n"
          "solution-properties file (needed when the request uses a model) and the aqueous data file\n"
          "of activity diagrams.  Raises the errors of load_database; RequestError when an answer\n"
          "does not fit (an answer for another phase, fewer than two phases, an axis that cannot be\n"
          "recognised, a fluid species with none of it in the fluid); DataError when the solution or\n"
          "composition file stops its reader.");

    m.def("write_plot_file", [](const Diagram& diagram, const std::string& path) {
        take(writePlotFile(diagram, path));
    }, "diagram"_a, "path"_a,
          "Writes the plot file of `diagram`, the same bytes as the calculator's run writes.  Raises\n"
          "FileError when it cannot be written (the file is then left as it was).");

    py::class_<PlotFile> plot(m, "PlotFile", "A plot file read back.");
    py::class_<PlotFile::Curve> plotCurve(plot, "Curve");
    plotCurve.def_readonly("line", &PlotFile::Curve::line, "line of the curve's header record")
        .def_readonly("water_curve", &PlotFile::Curve::waterCurve, "the liquid-vapour curve of water");
    pointsOf(plotCurve);
    plot.def_readonly("version", &PlotFile::version)
        .def_readonly("diagram_type", &PlotFile::diagramType)
        .def_readonly("diagram_name", &PlotFile::diagramName, "'P-T', 'T-xCO2', ...")
        .def_readonly("x_min", &PlotFile::xMin, "the window, diagram units")
        .def_readonly("x_max", &PlotFile::xMax)
        .def_readonly("y_min", &PlotFile::yMin)
        .def_readonly("y_max", &PlotFile::yMax)
        .def_readonly("width", &PlotFile::width, "plot length of the x axis")
        .def_readonly("height", &PlotFile::height, "plot length of the y axis")
        .def_readonly("x_title", &PlotFile::xTitle)
        .def_readonly("y_title", &PlotFile::yTitle)
        .def_readonly("third_title", &PlotFile::thirdTitle)
        .def_readonly("x_label", &PlotFile::xLabel)
        .def_readonly("y_label", &PlotFile::yLabel)
        .def_readonly("label_lines", &PlotFile::labelLines, "lines of the composition-file labels")
        .def_readonly("curves", &PlotFile::curves, "in file order, the water curve included");

    m.def("read_plot_file", [](const std::string& path) { return take(readPlotFile(path)); }, "path"_a,
          "Reads a plot file.  Raises DataError naming the file, line and field of a record that does\n"
          "not fit its layout, FileError when it cannot be opened.");
}

}  // namespace pelkam::python
