// What the binding files of the Python module share: errors raised as Python
// exceptions, the conversion of phases and reactions given as text, and the
// broadcast of numpy arrays of T, P and xCO2.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pelkam/pelkam.hpp"

namespace pelkam::python {

namespace py = pybind11;
using namespace pybind11::literals;

// A float64 array, C-contiguous.
using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Carries an Error to the translator of the module, which raises the
// Python exception of its kind (pelkam.DataError, FileError, RequestError).
struct Raised {
    Error error;
};

// The Python exception object of `error`, not raised: its message is
// Error::describe(), its attributes the fields of the Error.
py::object exceptionOf(const Error& error);

[[noreturn]] inline void raise(Error error) { throw Raised{std::move(error)}; }
[[noreturn]] void raiseRequest(std::string what, std::string value = {});

// The value of a Result, or the exception of its error.
template <class T>
T take(Result<T> result) {
    if (!result) raise(result.error());
    return std::move(result).value();
}
inline void take(const Result<void>& result) {
    if (!result) raise(result.error());
}

// A phase given as an index, a name or abbreviation (Database::find) or a
// PhaseInfo of the database: its Database index.  RequestError when the
// database does not have it; IndexError when the index is out of range.
int phaseIndex(const Database& database, const py::handle& phase);

// A reaction given as a Reaction, or as text parsed and balanced in the
// database's index.
Reaction reactionOf(const Database& database, const py::handle& reaction);

// T, P and (when given) xCO2 broadcast against each other the numpy way,
// each as a C-contiguous float64 array of the common shape.
class Points {
public:
    Points(const py::handle& T, const py::handle& P, const py::handle& xCO2);
    py::ssize_t size() const { return size_; }
    Point at(py::ssize_t i) const {
        Point p{t_[i], p_[i], std::nullopt};
        if (x_) p.xCO2 = x_[i];
        return p;
    }
    bool hasXCO2() const { return x_ != nullptr; }
    // The arrays as spans (xCO2 empty when not given).
    std::span<const double> T() const { return {t_, static_cast<std::size_t>(size_)}; }
    std::span<const double> P() const { return {p_, static_cast<std::size_t>(size_)}; }
    std::span<const double> xCO2() const { return {x_, x_ ? static_cast<std::size_t>(size_) : 0}; }
    // A float64 array of the common shape to fill, and the result to hand
    // back: a Python float when every input was a scalar.
    template <class T = double>
    py::array_t<T> empty() const {
        return py::array_t<T>(shape_);
    }
    py::object result(py::array_t<double> values) const;
    py::object result(py::array_t<bool> values) const;

private:
    std::vector<Doubles> arrays_;  // keeps the data alive
    std::vector<py::ssize_t> shape_;
    py::ssize_t size_ = 0;
    const double* t_ = nullptr;
    const double* p_ = nullptr;
    const double* x_ = nullptr;
};

// numpy arrays of a vector, copied.
py::array_t<double> arrayOf(const std::vector<double>& values);
py::array_t<bool> arrayOf(const std::vector<bool>& values);

// Turns each keyword argument into an attribute of a new T: the __init__ of
// the request structs (unknown names raise AttributeError).
template <class T>
void keywordInit(py::class_<T>& cls) {
    cls.def(py::init([](const py::kwargs& kwargs) {
                T value{};
                py::object self = py::cast(&value, py::return_value_policy::reference);
                for (const auto& item : kwargs) py::setattr(self, item.first, item.second);
                return value;
            }),
            "Every field may be given as a keyword; the others keep their defaults.");
}

void bindErrors(py::module_& m);
void bindDatabase(py::module_& m);
void bindReaction(py::module_& m);
void bindProperties(py::module_& m);
void bindSolutionModels(py::module_& m);
void bindCurve(py::module_& m);
void bindDiagram(py::module_& m);
void bindIntersections(py::module_& m);
void bindFormula(py::module_& m);

}  // namespace pelkam::python
