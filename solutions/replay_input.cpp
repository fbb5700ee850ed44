#include "solutions/replay_input.hpp"

#include "records/text.hpp"

namespace solutions {

records::Status ReplayInput::endOfFile() {
    streams.write_line(messages, "");
    streams.write_line(messages, "");
    streams.write_line(messages, " ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED");
    records::Status s = records::Status::stop("end of file in input data");
    s.file = std::string(records::trim(fileName));
    s.line = streams.line_number(input) + 1;
    return s;
}

records::Status ReplayInput::reject(int field, const std::string& what, const std::string& value) {
    const int line = streams.line_number(input);
    const std::string file(records::trim(fileName));
    streams.write_line(messages, " ***ERROR IN INPUT DATA, EXECUTION TERMINATED");
    std::string detail = " " + what;
    if (!value.empty()) detail += ": \"" + value + "\"";
    detail += " (" + file + ", line " + std::to_string(line);
    if (field > 0) detail += ", field " + std::to_string(field);
    detail += ")";
    streams.write_line(messages, detail);
    records::Status s = records::Status::stop(what);
    s.file = file;
    s.line = line;
    s.field = field;
    s.value = value;
    return s;
}

records::Status ReplayInput::failure(const records::ReadOutcome& r) {
    if (r.result == records::ReadResult::EndOfFile) return endOfFile();
    return reject(r.field, "unreadable field", r.text);
}

records::Status ReplayInput::read(const records::Layout& layout, std::span<const records::Target> targets) {
    records::ReadOutcome r = streams.read_record(input, layout, targets);
    if (!r.done()) return failure(r);
    return records::Status::success();
}

records::Status ReplayInput::readLine(std::string& line) {
    records::ReadOutcome r = streams.read_line(input, line);
    if (!r.done()) return failure(r);
    return records::Status::success();
}

}  // namespace solutions
