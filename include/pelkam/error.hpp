// Errors of the library: what failed, why, and where (file, line, field,
// value), with the message block the calculator's readers wrote on the way.
#pragma once
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pelkam {

enum class ErrorKind {
    Data,     // a data file (database, solution file, composition file) holds something its reader stops at
    File,     // a file cannot be opened, read or written
    Request,  // what was asked cannot be done: an unknown phase, an unbalanced reaction, a bad value
};

struct Error {
    ErrorKind kind = ErrorKind::Request;
    std::string what;   // e.g. "cannot open the database"
    std::string why;    // e.g. "no such file"
    std::string file;   // the file concerned, when there is one
    int line = 0;       // 1-based line in `file`, 0 when not applicable
    int field = 0;      // 1-based field of the line, 0 when not applicable
    std::string value;  // the offending text
    // The lines the calculator's readers wrote while the work went on (its
    // message blocks, in its own words), in order.
    std::vector<std::string> messages;

    // One line for a user: what, why and where.
    std::string describe() const;
};

// A value or the Error that kept it from being made.
template <class T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    // The value; only when ok() (the program ends otherwise).
    const T& value() const& { return checked(); }
    T& value() & { return checked(); }
    T&& value() && { return std::move(checked()); }
    const T& operator*() const& { return checked(); }
    T& operator*() & { return checked(); }
    const T* operator->() const { return &checked(); }
    T* operator->() { return &checked(); }

    // The error; only when !ok().
    const Error& error() const { return error_; }

private:
    T& checked() const {
        if (!value_) std::abort();  // a value taken from a failed Result
        return const_cast<T&>(*value_);
    }
    std::optional<T> value_;
    Error error_;
};

// Work that yields no value: done, or the Error that stopped it.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return error_; }

private:
    Error error_;
    bool failed_ = false;
};

}  // namespace pelkam
