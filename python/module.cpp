// The Python module `pelkam`: the library of the equilibrium calculator for
// scripts and notebooks, over its public headers, with numpy arrays in and
// out.  One binding file per part of the library; this one makes the module
// and broadcasts the arrays of T, P and xCO2.
#include "python/binding.hpp"

namespace pelkam::python {

Points::Points(const py::handle& T, const py::handle& P, const py::handle& xCO2) {
    py::module_ np = py::module_::import("numpy");
    py::list inputs;
    inputs.append(np.attr("asarray")(T, "dtype"_a = "float64"));
    inputs.append(np.attr("asarray")(P, "dtype"_a = "float64"));
    if (!xCO2.is_none()) inputs.append(np.attr("asarray")(xCO2, "dtype"_a = "float64"));
    // Broadcast views, then one contiguous copy of each: the loop reads plain memory.
    py::list views = np.attr("broadcast_arrays")(*inputs);
    for (const py::handle& v : views) {
        arrays_.push_back(Doubles::ensure(v));
        if (!arrays_.back()) throw py::error_already_set();
    }
    const Doubles& first = arrays_.front();
    shape_.assign(first.shape(), first.shape() + first.ndim());
    size_ = first.size();
    t_ = arrays_[0].data();
    p_ = arrays_[1].data();
    if (arrays_.size() > 2) x_ = arrays_[2].data();
}

py::object Points::result(py::array_t<double> values) const {
    if (shape_.empty()) return py::float_(*values.data());
    return values;
}

py::object Points::result(py::array_t<bool> values) const {
    if (shape_.empty()) return py::bool_(*values.data());
    return values;
}

py::array_t<double> arrayOf(const std::vector<double>& values) {
    py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

py::array_t<bool> arrayOf(const std::vector<bool>& values) {
    py::array_t<bool> out(static_cast<py::ssize_t>(values.size()));
    bool* d = out.mutable_data();
    for (std::size_t i = 0; i < values.size(); ++i) d[i] = values[i];
    return out;
}

}  // namespace pelkam::python

PYBIND11_MODULE(pelkam, m) {
    using namespace pelkam::python;
    m.doc() =
        "The equilibrium calculator's library: thermodynamic databases, Gibbs energies of phases\n"
        "and reactions, fluids, solution models, equilibrium curves, whole diagrams and plot files,\n"
        "the intersections of a diagram's curves, and mineral formulae of oxide analyses.\n"
        "\n"
        "Units throughout: T in degrees C, P in bar, mole fraction xCO2 of CO2 in the H2O-CO2\n"
        "fluid, energies in J/mol (a reaction's in J per mole of reaction as written, products\n"
        "minus reactants), volumes in cm3/mol, oxides in weight per cent.  Arrays of T, P and xCO2 broadcast against each\n"
        "other as numpy arrays do; scalars give a float.  Errors raise pelkam.Error (DataError,\n"
        "FileError, RequestError) with the library's message: what, why, file, line and field.\n"
        "\n"
        "    import pelkam\n"
        "    db = pelkam.load_database('data/thermo1988.dat', 'K AL SI O H')\n"
        "    pelkam.reaction_gibbs(db, 'Ms + Qz = Kfs + Sil + H2O', T=600, P=[1000, 2000, 3000])\n";
    m.attr("__version__") = PELKAM_VERSION;
    bindErrors(m);
    bindDatabase(m);
    bindReaction(m);
    bindSolutionModels(m);
    bindProperties(m);
    bindCurve(m);
    bindDiagram(m);
    bindIntersections(m);
    bindFormula(m);
}
