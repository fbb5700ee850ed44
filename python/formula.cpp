// Mineral formulae from electron-microprobe analyses (pelkam/formula.hpp):
// cations per formula unit, Fe3+, site fractions and the composition entry.
#include "python/binding.hpp"

namespace pelkam::python {
namespace {

// Named values as an ordered dict.
py::dict valuesOf(const std::vector<FormulaValue>& values) {
    py::dict out;
    for (const FormulaValue& v : values) out[py::str(v.name)] = v.value;
    return out;
}

}  // namespace

void bindFormula(py::module_& m) {
    py::class_<FormulaOptions> options(m, "FormulaOptions", "How an analysis is recalculated.");
    keywordInit(options);
    options.def_readwrite("ferric", &FormulaOptions::ferric, "use the Fe3+ the charge balance gives")
        .def_readwrite("garnet_3_percent", &FormulaOptions::garnet3Percent,
                       "garnet: Fe3+ = 3 % of total Fe (wins over `ferric` for garnet)")
        .def_readwrite("garnet_offset", &FormulaOptions::garnetOffset,
                       "subtracted from Fe/(Fe+Mg) in the garnet plot values")
        .def_readwrite("temperature_C", &FormulaOptions::temperature_C, "degrees C, for the garnet activity estimates")
        .def_readwrite("amphibole_order_constant", &FormulaOptions::amphiboleOrderConstant,
                       "amphibole Mg-Fe order constant K = (Fe/Mg)M4 / (Fe/Mg)M1-M3");

    py::class_<FormulaPass>(m, "FormulaPass", "One pass of the recalculation (garnet has two, the second with the\n"
                                              "Fe3+ of the first).")
        .def_property_readonly("cations", [](const FormulaPass& p) { return valuesOf(p.cations); },
                               "cations per formula unit after the Fe3+ step, by element symbol (Si, Ti, Al, Fe3,\n"
                               "Fe2, Mn, Mg, Ca, Na, K, Cr, Ba, Ni, F, Zn, Nb, V, Sr, Cl; F and Cl are anions)")
        .def_readonly("cation_sum", &FormulaPass::cationSum, "the cations, F and Cl left out")
        .def_readonly("charge", &FormulaPass::charge, "total positive charge before the Fe3+ step")
        .def_readonly("al_iv", &FormulaPass::alIV)
        .def_readonly("al_vi", &FormulaPass::alVI);

    py::class_<MineralFormula>(m, "MineralFormula", "An analysis recalculated.")
        .def_readonly("scheme", &MineralFormula::scheme, "the four-character code that chose the scheme")
        .def_readonly("passes", &MineralFormula::passes, "none for a feldspar given as An, Ab, Or")
        .def_readonly("fe3_used", &MineralFormula::fe3Used, "Fe3+ per formula unit the site model used")
        .def_property_readonly("fractions", [](const MineralFormula& f) { return valuesOf(f.fractions); },
                               "site and end-member fractions (and activities where computed), by name")
        .def_readonly("entry_code", &MineralFormula::entryCode,
                      "the solution-model code of the composition-file entry (empty: none)")
        .def_readonly("entry_header", &MineralFormula::entryHeader)
        .def_readonly("entry_values", &MineralFormula::entryValues)
        .def_readonly("log", &MineralFormula::log, "the lines the utility writes to its log for the analysis")
        .def("__repr__", [](const MineralFormula& f) {
            return "<MineralFormula " + f.scheme + ", " + std::to_string(f.passes.size()) + " passes>";
        });

    m.def("recalculate_oxides", [](const py::object& oxides, const std::string& code, const FormulaOptions& options) {
        std::vector<std::pair<std::string, double>> analysis;
        const py::object items = py::isinstance<py::dict>(oxides) ? oxides.attr("items")() : py::reinterpret_borrow<py::object>(oxides);
        for (const py::handle& item : items) analysis.push_back(item.cast<std::pair<std::string, double>>());
        return take(recalculateOxides(analysis, code, options));
    }, "oxides"_a, "code"_a, "options"_a = FormulaOptions{},
          "Recalculates one analysis, oxides in weight per cent ({'SiO2': 37.1, 'FeO': 33.0, ...} or a\n"
          "list of (name, value) pairs, in the order of the analysis; totals are ignored), with the\n"
          "scheme of `code` ('GARN', 'BIOT', 'CPX2', 'PLAG', 'AMPH', 'SPIN', 'ILME', 'OLIV', ...; any\n"
          "letter case): cations per formula unit of the scheme (12 oxygens for garnet, 6 for\n"
          "clinopyroxene, ...).  Raises RequestError for an unknown code or an oxide name no label\n"
          "matches (field: its position in the analysis, value: the name).");
}

}  // namespace pelkam::python
