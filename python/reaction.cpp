// Reactions written as text, their phases found in a database and their
// balance checked (pelkam/reaction.hpp).
#include "python/binding.hpp"

namespace pelkam::python {
namespace {

std::string termsRepr(const Reaction& r) {
    std::string out;
    for (const Reaction::Term& t : r.terms) {
        char c[32];
        std::snprintf(c, sizeof c, "%+g ", t.coefficient);
        out += (out.empty() ? "" : ", ") + std::string(c) + t.phase.abbreviation;
    }
    return out;
}

}  // namespace

Reaction reactionOf(const Database& database, const py::handle& reaction) {
    Reaction r;
    if (py::isinstance<Reaction>(reaction)) {
        r = reaction.cast<Reaction>();
    } else {
        const ReactionText text = py::isinstance<ReactionText>(reaction)
                                      ? reaction.cast<ReactionText>()
                                      : take(parseReaction(reaction.cast<std::string>()));
        r = take(balanceReaction(database.index(), text));
    }
    for (const Reaction::Term& t : r.terms)
        if (database.indexOf(t.phase) < 0)
            raiseRequest("phase " + t.phase.name + " of reaction \"" + r.text + "\" is not loaded in this database",
                         t.phase.name);
    return r;
}

void bindReaction(py::module_& m) {
    py::class_<ReactionText> text(m, "ReactionText",
                                  "A phase or a reaction as written: terms with decimal coefficients (negative for\n"
                                  "reactants, positive for products) and phase names or abbreviations.");
    py::class_<ReactionText::Term>(text, "Term")
        .def_readonly("coefficient", &ReactionText::Term::coefficient)
        .def_readonly("phase", &ReactionText::Term::phase, "as written");
    text.def_readonly("text", &ReactionText::text)
        .def_readonly("reaction", &ReactionText::reaction, "False: a phase on its own")
        .def_readonly("terms", &ReactionText::terms)
        .def("__repr__", [](const ReactionText& t) { return "<ReactionText \"" + t.text + "\">"; });

    py::class_<Reaction> reaction(m, "Reaction",
                                  "A reaction whose phases were found: one term per phase (terms of the same phase\n"
                                  "summed, terms that cancel dropped), balanced in every element.");
    py::class_<Reaction::Term>(reaction, "Term")
        .def_readonly("coefficient", &Reaction::Term::coefficient, "products positive, reactants negative")
        .def_readonly("phase", &Reaction::Term::phase)
        .def_readonly("written", &Reaction::Term::written, "as written in the text (its first appearance)");
    reaction.def_readonly("text", &Reaction::text)
        .def_readonly("reaction", &Reaction::reaction, "False: a phase on its own")
        .def_readonly("terms", &Reaction::terms)
        .def_property_readonly("has_water", &Reaction::hasWater)
        .def_property_readonly("has_carbon_dioxide", &Reaction::hasCarbonDioxide)
        .def_property_readonly("has_aqueous_species", &Reaction::hasAqueousSpecies)
        .def("__repr__", [](const Reaction& r) { return "<Reaction \"" + r.text + "\": " + termsRepr(r) + ">"; });

    m.def("parse_reaction", [](const std::string& text) { return take(parseReaction(text)); }, "text"_a,
          "Reads '3 Ky = 3 Sil', 'Ms + Qz = Kfs + Sil + H2O', '2Ky=2Sil' or a phase name alone.\n"
          "Blanks around + and = are optional, a missing coefficient is 1, fractions such as 3/2 are\n"
          "refused (write 1.5), a coefficient must exceed 0.001.  A '+' right after a name and followed\n"
          "by nothing but digits is the charge of an aqueous species ('K+', 'CA+2').  Raises\n"
          "RequestError naming the reaction and the term.");

    const char* balanceDoc =
        "Finds the phases of `text` (a str or a ReactionText) in a database or index (by\n"
        "abbreviation, else by name) and checks the balance of every element, the charge included.\n"
        "Raises RequestError for an unknown phase, a reaction without net change or an unbalanced\n"
        "one (naming the excess of each element).";
    m.def("balance_reaction", [](const DatabaseIndex& index, const py::object& text) {
        const ReactionText t = py::isinstance<ReactionText>(text) ? text.cast<ReactionText>()
                                                                   : take(parseReaction(text.cast<std::string>()));
        return take(balanceReaction(index, t));
    }, "index"_a, "text"_a, balanceDoc);
    m.def("balance_reaction", [](const Database& db, const py::object& text) { return reactionOf(db, text); },
          "database"_a, "text"_a, balanceDoc);
}

}  // namespace pelkam::python
