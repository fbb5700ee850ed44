#include "io/replay_input.hpp"

#include "core/text.hpp"

namespace io {

core::Status ReplayInput::endOfFile() {
    streams.writeLine(messages, "");
    streams.writeLine(messages, "");
    streams.writeLine(messages, " ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED");
    core::Status s = core::Status::stop("end of file in input data");
    s.file = std::string(core::trim(fileName));
    s.line = streams.lineNumber(input) + 1;
    return s;
}

core::Status ReplayInput::reject(int field, const std::string& what, const std::string& value) {
    const int line = streams.lineNumber(input);
    const std::string file(core::trim(fileName));
    streams.writeLine(messages, " ***ERROR IN INPUT DATA, EXECUTION TERMINATED");
    std::string detail = " " + what;
    if (!value.empty()) detail += ": \"" + value + "\"";
    detail += " (" + file + ", line " + std::to_string(line);
    if (field > 0) detail += ", field " + std::to_string(field);
    detail += ")";
    streams.writeLine(messages, detail);
    core::Status s = core::Status::stop(what);
    s.file = file;
    s.line = line;
    s.field = field;
    s.value = value;
    return s;
}

core::Status ReplayInput::failure(const core::ReadOutcome& r) {
    if (r.result == core::ReadResult::EndOfFile) return endOfFile();
    return reject(r.field, "unreadable field", r.text);
}

core::Status ReplayInput::read(const core::Layout& layout, std::span<const core::Target> targets) {
    core::ReadOutcome r = streams.read_record(input, layout, targets);
    if (!r.done()) return failure(r);
    return core::Status::success();
}

core::Status ReplayInput::readLine(std::string& line) {
    core::ReadOutcome r = streams.readLine(input, line);
    if (!r.done()) return failure(r);
    return core::Status::success();
}

}  // namespace io
