// Status codes passed across subsystem boundaries.  No exception crosses a
// folder boundary: every routine that can fail returns a Status, and the
// program entry turns the final Status into an exit code.
#pragma once
#include <string>
#include <vector>

namespace core {

enum class StatusCode {
    Ok = 0,
    Stop,   // a data error: its message block has been written; the program stops
    Quit,   // the user pressed Exit/Quit: the program ends at once
    Error,  // a failure the caller reports itself (open failure, unreadable value, ...)
};

// What failed, why, and where (file, line, field, value).  Only `code` is
// mandatory; the text fields are filled where they are known.
struct Status {
    StatusCode code = StatusCode::Ok;
    std::string what;   // e.g. "cannot open thermodynamic data file"
    std::string why;    // e.g. "no such file"
    std::string file;   // file name, when the failure concerns a file
    int line = 0;       // 1-based line (record) number, 0 when not applicable
    int field = 0;      // 1-based field number within the record, 0 when not applicable
    std::string value;  // the offending text
    // The message block a user is shown, line by line, when the routine that
    // failed does not show it itself; the caller writes it where messages go.
    std::vector<std::string> message;

    bool ok() const { return code == StatusCode::Ok; }
    explicit operator bool() const { return ok(); }

    static Status success() { return {}; }
    static Status stop(std::string what_ = {}) {
        Status s;
        s.code = StatusCode::Stop;
        s.what = std::move(what_);
        return s;
    }
    static Status quit() {
        Status s;
        s.code = StatusCode::Quit;
        return s;
    }
    static Status error(std::string what_, std::string why_ = {}) {
        Status s;
        s.code = StatusCode::Error;
        s.what = std::move(what_);
        s.why = std::move(why_);
        return s;
    }
    // One line for a user: what, why, and where.
    std::string describe() const;
};

// Exit status of a program that ended with `s`: 0 for Ok and Quit, 1 for a
// data stop, 2 for other errors.
int exitCode(const Status& s);

}  // namespace core
