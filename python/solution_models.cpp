// Solution models: the activities of end-members at the composition of a
// mineral composition file (pelkam/solution_models.hpp).
#include "python/binding.hpp"

namespace pelkam::python {
namespace {

// The models given as "all", {"GARN": "GT1990", "PLAG": ""} or a list of codes.
SolutionChoice choiceOf(const py::object& models) {
    if (py::isinstance<SolutionChoice>(models)) return models.cast<SolutionChoice>();
    SolutionChoice choice;
    if (py::isinstance<py::str>(models)) {
        const std::string text = models.cast<std::string>();
        if (phaseNameKey(text) != "ALL") raiseRequest("models: 'all', a dict of codes and variants or a list of codes", text);
        choice.all = true;
    } else if (py::isinstance<py::dict>(models)) {
        for (const auto& [code, variant] : models.cast<py::dict>())
            choice.models.push_back({code.cast<std::string>(), variant.cast<std::string>()});
    } else {
        for (const py::handle& code : models) choice.models.push_back({code.cast<std::string>(), ""});
    }
    return choice;
}

}  // namespace

void bindSolutionModels(py::module_& m) {
    py::class_<SolutionChoice> choice(m, "SolutionChoice",
                                      "The models to use: each by its code (up to four characters, e.g. 'GARN') with a\n"
                                      "variant keyword (empty: the model's first variant); or (all=True) every model of\n"
                                      "the solution file that has a composition, each with its first variant.");
    py::class_<SolutionChoice::Model> model(choice, "Model");
    keywordInit(model);
    model.def_readwrite("code", &SolutionChoice::Model::code).def_readwrite("variant", &SolutionChoice::Model::variant);
    keywordInit(choice);
    choice.def_readwrite("all", &SolutionChoice::all).def_readwrite("models", &SolutionChoice::models);

    py::class_<SolutionModels>(m, "SolutionModels",
                               "The chosen models with their site fractions, and the phases of a database linked to\n"
                               "them: a phase whose name, up to its first blank, is an end-member of a chosen model\n"
                               "gets that end-member's activity; the composition file's fixed activities apply as\n"
                               "well.  Pass it as `models` to gibbs, reaction_gibbs, activity_term or Evaluator.")
        .def_property_readonly("messages", &SolutionModels::messages, "the lines the solution-file reader wrote")
        .def("linked", &SolutionModels::linked, "phase"_a, "Whether phase `phase` (database index) has a model.")
        .def("missing_activity", [](const SolutionModels& models, int phase) {
            const std::optional<Error> e = models.missingActivity(phase);
            return e ? exceptionOf(*e) : py::object(py::none());
        }, "phase"_a,
             "For an end-member whose ideal activity at the file's composition is below 1e-6: the\n"
             "DataError (not raised) with the calculator's message ('**ERROR** X=0 ...'); None when the\n"
             "phase has an activity or no model.");

    m.def("load_solution_models", [](const Database& db, const std::string& solutionFile,
                                     const std::string& compositionFile, const py::object& models) {
        return take(loadSolutionModels(db, solutionFile, compositionFile, choiceOf(models)));
    }, "database"_a, "solution_file"_a, "composition_file"_a, "models"_a = "all",
          "Reads the solution-properties file and the composition file for the phases of `database`.\n"
          "models: 'all' (every model with a composition, first variant), a dict {code: variant} ('':\n"
          "the first variant), a list of codes, or a SolutionChoice.  Raises FileError when a file cannot\n"
          "be opened, RequestError for a model or variant the solution file does not have, DataError\n"
          "when a file cannot be read (file, line and field).");
}

}  // namespace pelkam::python
