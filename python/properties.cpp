// Gibbs energies of phases and reactions, fluid species and the water of the
// aqueous routines over numpy arrays of T, P and xCO2 (pelkam/properties.hpp).
#include <algorithm>
#include <limits>
#include <mutex>

#include "python/binding.hpp"

namespace pelkam::python {
namespace {

// An Evaluator for Python: the database it evaluates (none: fluids only),
// the lines the fluid routines wrote, and a lock, so that the loops can run
// without the interpreter lock.
struct PyEvaluator {
    std::optional<Database> database;
    Evaluator evaluator;
    std::mutex mutex;
    // The distinct lines of the fluid routines (a few) with their counts.
    std::vector<std::pair<std::string, long>> lines;
    std::size_t noticesWarned = 0;

    explicit PyEvaluator(FluidRoutines routines) : evaluator(routines) { listen(); }
    explicit PyEvaluator(const Database& db) : database(db), evaluator(db) { listen(); }
    PyEvaluator(const Database& db, const SolutionModels& models) : database(db), evaluator(db, models) { listen(); }

    void listen() {
        evaluator.onWarning([this](std::string_view line) {
            for (auto& [text, count] : lines)
                if (text == line) {
                    ++count;
                    return;
                }
            if (lines.size() < 8) lines.emplace_back(std::string(line), 1);
        });
    }

    const Database& db() const {
        if (!database) raiseRequest("this evaluator has no database: it evaluates fluid species only");
        return *database;
    }

    // Runs `f(i, point)` for every point without the interpreter lock, then
    // warns (pelkam.NoticeWarning) of the notices and routine lines that are new.
    template <class F>
    void run(const Points& points, F f) {
        runAll([&] {
            for (py::ssize_t i = 0; i < points.size(); ++i) f(i, points.at(i));
        });
    }

    // Runs `body` without the interpreter lock, then warns as run does.
    template <class F>
    void runAll(F body) {
        std::vector<std::string> news;
        {
            py::gil_scoped_release unlocked;
            std::lock_guard<std::mutex> lock(mutex);
            body();
            const std::vector<Notice> notices = evaluator.notices();
            for (std::size_t k = noticesWarned; k < notices.size(); ++k) news.push_back(notices[k].text);
            noticesWarned = notices.size();
            for (const auto& [text, count] : lines)
                news.push_back("fluid routine: " + text + " (" + std::to_string(count) + (count == 1 ? " time)" : " times)"));
            lines.clear();
        }
        py::object category = py::module_::import("pelkam").attr("NoticeWarning");
        for (const std::string& text : news)
            if (PyErr_WarnEx(category.ptr(), text.c_str(), 1) != 0) throw py::error_already_set();
    }

    py::object gibbs(const py::object& phase, const py::object& T, const py::object& P, const py::object& x) {
        const int i = phaseIndex(db(), phase);
        const Points points(T, P, x);
        py::array_t<double> out = points.empty();
        const std::span<double> d(out.mutable_data(), static_cast<std::size_t>(points.size()));
        runAll([&] { evaluator.phaseGibbs(i, points.T(), points.P(), points.xCO2(), d); });
        return points.result(std::move(out));
    }

    py::object reactionGibbs(const py::object& reaction, const py::object& T, const py::object& P,
                             const py::object& x) {
        const Reaction r = reactionOf(db(), reaction);
        const Points points(T, P, x);
        if (r.hasWater() && r.hasCarbonDioxide() && !points.hasXCO2())
            raiseRequest("reaction \"" + r.text + "\" has both H2O and CO2: give xCO2, the fluid's mole fraction of CO2",
                         r.text);
        py::array_t<double> out = points.empty();
        const std::span<double> d(out.mutable_data(), static_cast<std::size_t>(points.size()));
        runAll([&] { evaluator.reactionGibbs(r, points.T(), points.P(), points.xCO2(), d); });
        return points.result(std::move(out));
    }

    py::object activityTerm(const py::object& item, const py::object& T, const py::object& P, const py::object& x) {
        const Points points(T, P, x);
        py::array_t<double> out = points.empty();
        double* d = out.mutable_data();
        const bool phase = py::isinstance<py::int_>(item) || py::isinstance<PhaseInfo>(item) ||
                           (py::isinstance<py::str>(item) && db().find(item.cast<std::string>()) >= 0);
        if (phase) {
            const int i = phaseIndex(db(), item);
            run(points, [&](py::ssize_t k, const Point& at) { d[k] = evaluator.activityTerm(i, at); });
        } else {
            const Reaction r = reactionOf(db(), item);
            run(points, [&](py::ssize_t k, const Point& at) { d[k] = evaluator.activityTerm(r, at); });
        }
        return points.result(std::move(out));
    }

    py::object activity(const py::object& phase, const py::object& T, const py::object& P, const py::object& x) {
        const int i = phaseIndex(db(), phase);
        const Points points(T, P, x);
        py::array_t<double> out = points.empty();
        double* d = out.mutable_data();
        run(points, [&](py::ssize_t k, const Point& at) { d[k] = evaluator.activity(i, at); });
        return points.result(std::move(out));
    }

    py::dict fluid(FluidSpecies species, const py::object& T, const py::object& P, const py::object& x) {
        const Points points(T, P, x);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        py::array_t<double> phi = points.empty(), activity = points.empty(), volume = points.empty(), G = points.empty();
        double *dPhi = phi.mutable_data(), *dA = activity.mutable_data(), *dV = volume.mutable_data(),
               *dG = G.mutable_data();
        run(points, [&](py::ssize_t k, const Point& at) {
            const FluidState s = evaluator.fluid(species, at);
            dPhi[k] = s.phi.value_or(nan);
            dA[k] = s.activity;
            dV[k] = s.volume_cm3.value_or(nan);
            dG[k] = s.G.value_or(nan);
        });
        return py::dict("phi"_a = points.result(phi), "activity"_a = points.result(activity),
                        "volume_cm3"_a = points.result(volume), "G"_a = points.result(G));
    }

    py::dict aqueousWater(const py::object& T, const py::object& P) {
        const Points points(T, P, py::none());
        py::array_t<double> rho = points.empty(), eps = points.empty();
        py::array_t<bool> usable = points.empty<bool>();
        double *dRho = rho.mutable_data(), *dEps = eps.mutable_data();
        bool* dU = usable.mutable_data();
        run(points, [&](py::ssize_t k, const Point& at) {
            const AqueousWater w = evaluator.aqueousWater(at);
            dRho[k] = w.density_g_cm3;
            dEps[k] = w.dielectricConstant;
            dU[k] = w.usable;
        });
        return py::dict("density_g_cm3"_a = points.result(rho), "dielectric_constant"_a = points.result(eps),
                        "usable"_a = points.result(usable));
    }
};

FluidSpecies speciesOf(const py::object& species) {
    if (!py::isinstance<py::str>(species)) return species.cast<FluidSpecies>();
    const std::string s = phaseNameKey(species.cast<std::string>());
    for (auto [name, value] : {std::pair{"H2O", FluidSpecies::H2O}, std::pair{"CO2", FluidSpecies::CO2},
                               std::pair{"O2", FluidSpecies::O2}, std::pair{"H2", FluidSpecies::H2},
                               std::pair{"S2", FluidSpecies::S2}})
        if (s == name) return value;
    raiseRequest("unknown fluid species '" + species.cast<std::string>() + "': H2O, CO2, O2, H2 or S2",
                 species.cast<std::string>());
}

std::unique_ptr<PyEvaluator> evaluatorFor(const Database& db, const std::optional<SolutionModels>& models) {
    if (models) return std::make_unique<PyEvaluator>(db, *models);
    return std::make_unique<PyEvaluator>(db);
}

constexpr const char* kGibbsDoc =
    "Apparent Gibbs energy of a phase, J/mol, at T (degrees C) and P (bar), and for H2O and CO2\n"
    "the fluid of mole fraction xCO2 (None: the pure fluid).\n"
    "\n"
    "phase: an index, a name or abbreviation, or a PhaseInfo of the database.  T, P, xCO2:\n"
    "numbers or arrays, broadcast against each other; the result has their common shape (a float\n"
    "when all are scalars).  The standard-state energy with its lambda, disorder and special terms;\n"
    "H2O and CO2 with the fluid terms of the routines (R T ln a plus the Haar water energy under\n"
    "water routine 1, R T ln(phi P a) otherwise; 1,000,000 J/mol for a species absent from the\n"
    "fluid); O2, H2 and S2 at a fugacity of 1 bar; an aqueous species its chemical potential at\n"
    "unit activity.  With solution models, R T ln a of the composition is included.  A routine used\n"
    "outside its range warns (pelkam.NoticeWarning) once, naming the first such point.";

constexpr const char* kReactionDoc =
    "Gibbs energy change of a reaction, J per mole of reaction as written (products minus\n"
    "reactants), at T (degrees C) and P (bar), and xCO2 the fluid's mole fraction of CO2 (None:\n"
    "each fluid species that takes part is the pure fluid; a reaction with both H2O and CO2 needs\n"
    "xCO2).\n"
    "\n"
    "reaction: a Reaction or its text ('Ms + Qz = Kfs + Sil + H2O').  T, P, xCO2: numbers or\n"
    "arrays, broadcast against each other; the result has their common shape (a float when all\n"
    "are scalars).  In the beta-quartz field quartz takes the fixed beta-quartz increments; a\n"
    "fluid species absent from the fluid is taken at an activity of 1e-30.  With solution models,\n"
    "R T ln a of the composition is included.";

constexpr const char* kActivityDoc =
    "The solution-model term, J/mol: R T ln a plus the model's reciprocal term of a phase (0 for a\n"
    "phase without a model), or the sum of coefficient times that term over a reaction (J), at T\n"
    "(degrees C) and P (bar), from the activities of the composition file of `models`.";

constexpr const char* kEndMemberDoc =
    "The activity of a phase as an end-member of its solution model at the composition of the\n"
    "composition file of `models` (dimensionless, the reciprocal term included; 1 for a phase\n"
    "without a model), at T (degrees C) and P (bar): exp(activity_term / (R T)).";

constexpr const char* kFluidDoc =
    "The state of a fluid species at T (degrees C) and P (bar): a dict of arrays (floats for\n"
    "scalars) 'phi' (fugacity coefficient; NaN under water routine 1 for H2O), 'activity' (mole\n"
    "fraction times activity coefficient; 0 for a species absent from the fluid), 'volume_cm3'\n"
    "(molar volume, cm3/mol; NaN under the Holland and Powell polynomial; the Haar routine holds it\n"
    "at its 10 kbar value above 10 kbar) and 'G' (the Haar water Gibbs energy, J/mol: H2O under\n"
    "water routine 1 only, else NaN).\n"
    "\n"
    "species: 'H2O', 'CO2', 'O2', 'H2', 'S2' or a FluidSpecies.  H2O and CO2 are taken in the\n"
    "H2O-CO2 fluid of mole fraction xCO2 (None: 0 for H2O, 1 for CO2), O2, H2 and S2 pure.";

constexpr const char* kWaterDoc =
    "The water the aqueous routines use at T (degrees C) and P (bar): Haar, Gallagher and Kell\n"
    "(1984) whatever the water routine.  A dict: 'density_g_cm3', 'dielectric_constant' and\n"
    "'usable' (False where the density search gave up and its last volume was used).";

}  // namespace

void bindProperties(py::module_& m) {
    m.attr("NoticeWarning") = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "pelkam.NoticeWarning",
        "A fluid routine used outside its range, an energy that is not a finite number, or an aqueous\n"
        "species evaluated where water is less dense than 0.7 g/cm3: the first point where it happened.",
        PyExc_UserWarning, nullptr));

    py::enum_<FluidSpecies>(m, "FluidSpecies")
        .value("H2O", FluidSpecies::H2O)
        .value("CO2", FluidSpecies::CO2)
        .value("O2", FluidSpecies::O2)
        .value("H2", FluidSpecies::H2)
        .value("S2", FluidSpecies::S2);

    py::class_<Notice>(m, "Notice", "A use of a routine outside its range, or an energy that is not finite.")
        .def_readonly("text", &Notice::text)
        .def_readonly("not_finite", &Notice::notFinite, "a Gibbs energy was not a finite number")
        .def_readonly("remark", &Notice::remark, "a notice that says itself how far the values can be trusted")
        .def("__repr__", [](const Notice& n) { return "<Notice " + n.text + ">"; });

    py::class_<PyEvaluator>(m, "Evaluator",
                            "Evaluates energies with the caches of the fluid routines; keep one for many calls.\n"
                            "Evaluator(database, models=None) for the phases of a database (with the activities of\n"
                            "solution models), Evaluator(routines) for fluid species only.  Units: T in degrees C,\n"
                            "P in bar, energies J/mol.")
        .def(py::init([](const Database& db, std::optional<SolutionModels> models) { return evaluatorFor(db, models); }),
             "database"_a, "models"_a = py::none())
        .def(py::init<FluidRoutines>(), "routines"_a)
        .def("gibbs", &PyEvaluator::gibbs, "phase"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), kGibbsDoc)
        .def("reaction_gibbs", &PyEvaluator::reactionGibbs, "reaction"_a, "T"_a, "P"_a, "xCO2"_a = py::none(),
             kReactionDoc)
        .def("activity_term", &PyEvaluator::activityTerm, "item"_a, "T"_a, "P"_a, "xCO2"_a = py::none(),
             kActivityDoc)
        .def("activity", &PyEvaluator::activity, "phase"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), kEndMemberDoc)
        .def("fluid", [](PyEvaluator& e, const py::object& s, const py::object& T, const py::object& P,
                         const py::object& x) { return e.fluid(speciesOf(s), T, P, x); },
             "species"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), kFluidDoc)
        .def("aqueous_water", &PyEvaluator::aqueousWater, "T"_a, "P"_a, kWaterDoc)
        .def("notices", [](PyEvaluator& e) {
            py::gil_scoped_release unlocked;
            std::lock_guard<std::mutex> lock(e.mutex);
            return e.evaluator.notices();
        }, "The first use of each routine outside its range, the first energy that was not finite,\n"
           "and the first aqueous species evaluated in water less dense than 0.7 g/cm3, since the\n"
           "evaluator was made.");

    using Opt = std::optional<SolutionModels>;
    m.def("gibbs", [](const Database& db, const py::object& phase, const py::object& T, const py::object& P,
                      const py::object& x, const Opt& models) { return evaluatorFor(db, models)->gibbs(phase, T, P, x); },
          "database"_a, "phase"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), "models"_a = py::none(), kGibbsDoc);
    m.def("reaction_gibbs", [](const Database& db, const py::object& r, const py::object& T, const py::object& P,
                               const py::object& x, const Opt& models) {
        return evaluatorFor(db, models)->reactionGibbs(r, T, P, x);
    }, "database"_a, "reaction"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), "models"_a = py::none(), kReactionDoc);
    m.def("activity_term", [](const Database& db, const SolutionModels& models, const py::object& item,
                              const py::object& T, const py::object& P, const py::object& x) {
        return PyEvaluator(db, models).activityTerm(item, T, P, x);
    }, "database"_a, "models"_a, "item"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), kActivityDoc);
    m.def("activity", [](const Database& db, const SolutionModels& models, const py::object& phase,
                         const py::object& T, const py::object& P, const py::object& x) {
        return PyEvaluator(db, models).activity(phase, T, P, x);
    }, "database"_a, "models"_a, "phase"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), kEndMemberDoc);
    m.def("fluid", [](const py::object& s, const py::object& T, const py::object& P, const py::object& x,
                      const FluidRoutines& routines) { return PyEvaluator(routines).fluid(speciesOf(s), T, P, x); },
          "species"_a, "T"_a, "P"_a, "xCO2"_a = py::none(), "routines"_a = FluidRoutines{}, kFluidDoc);
    m.def("aqueous_water", [](const py::object& T, const py::object& P) {
        return PyEvaluator(FluidRoutines{}).aqueousWater(T, P);
    }, "T"_a, "P"_a, kWaterDoc);
    m.def("uses_aqueous_water", &usesAqueousWater, "phase"_a,
          "Whether the energy of `phase` needs the water of the aqueous routines: an aqueous species\n"
          "other than the electron E-.");
}

}  // namespace pelkam::python
