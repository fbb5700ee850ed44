#include "core/status.hpp"

namespace core {

std::string Status::describe() const {
    std::string out = what.empty() ? std::string("error") : what;
    if (!file.empty()) {
        out += " (" + file;
        if (line > 0) out += ", line " + std::to_string(line);
        if (field > 0) out += ", field " + std::to_string(field);
        out += ")";
    } else if (line > 0) {
        out += " (line " + std::to_string(line);
        if (field > 0) out += ", field " + std::to_string(field);
        out += ")";
    }
    if (!value.empty()) out += ": \"" + value + "\"";
    if (!why.empty()) out += ": " + why;
    return out;
}

int exitCode(const Status& s) {
    switch (s.code) {
        case StatusCode::Ok:
        case StatusCode::Quit: return 0;
        case StatusCode::Stop: return 1;
        case StatusCode::Error: return 2;
    }
    return 2;
}

}  // namespace core
