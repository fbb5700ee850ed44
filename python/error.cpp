// Errors (pelkam/error.hpp): pelkam.Error and its kinds as Python exceptions
// that carry what failed, why and where.
#include "python/binding.hpp"

namespace pelkam::python {
namespace {

const char* kindName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Data: return "data";
        case ErrorKind::File: return "file";
        case ErrorKind::Request: return "request";
    }
    return "request";
}

}  // namespace

py::object exceptionOf(const Error& error) {
    const char* cls = error.kind == ErrorKind::Data ? "DataError" : error.kind == ErrorKind::File ? "FileError" : "RequestError";
    py::object e = py::module_::import("pelkam").attr(cls)(error.describe());
    e.attr("kind") = kindName(error.kind);
    e.attr("what") = error.what;
    e.attr("why") = error.why;
    e.attr("file") = error.file;
    e.attr("line") = error.line;
    e.attr("field") = error.field;
    e.attr("value") = error.value;
    e.attr("messages") = error.messages;
    return e;
}

void raiseRequest(std::string what, std::string value) {
    Error e;
    e.kind = ErrorKind::Request;
    e.what = std::move(what);
    e.value = std::move(value);
    raise(std::move(e));
}

void bindErrors(py::module_& m) {
    auto make = [&](const char* name, PyObject* bases, const char* doc) {
        PyObject* cls = PyErr_NewExceptionWithDoc(name, doc, bases, nullptr);
        if (cls == nullptr) throw py::error_already_set();
        m.add_object(std::string(name).substr(std::string("pelkam.").size()).c_str(),
                     py::reinterpret_steal<py::object>(cls));
        return cls;
    };
    PyObject* errorClass = make("pelkam.Error", PyExc_Exception,
                      "An error of the library.  str(e) says what failed, why and where; the attributes are\n"
                      "kind ('data', 'file' or 'request'), what, why, file, line (1-based, 0: none),\n"
                      "field (1-based, 0: none), value (the offending text) and messages (the lines\n"
                      "the calculator's readers wrote on the way, in its own words).");
    py::tuple data = py::make_tuple(py::handle(errorClass), py::handle(PyExc_ValueError));
    py::tuple file = py::make_tuple(py::handle(errorClass), py::handle(PyExc_OSError));
    py::tuple request = py::make_tuple(py::handle(errorClass), py::handle(PyExc_ValueError));
    make("pelkam.DataError", data.ptr(),
                          "A data file (database, solution file, composition file, plot file) holds something\n"
                          "its reader stops at: file, line and field name it.");
    make("pelkam.FileError", file.ptr(), "A file cannot be opened, read or written.");
    make("pelkam.RequestError", request.ptr(),
                             "What was asked cannot be done: an unknown phase, an unbalanced reaction, a bad value.");

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const Raised& r) {
            py::object e = exceptionOf(r.error);
            PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(e.ptr())), e.ptr());
        }
    });
}

}  // namespace pelkam::python
