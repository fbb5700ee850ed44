#include "io/database_text.hpp"

#include "core/text.hpp"

namespace io {

void cleanLine(std::string& line, std::size_t width) {
    for (char& c : line)
        if (c == '\t') c = ' ';
    if (line.size() > width) line.resize(width);
    line.resize(core::rtrim(line).size());
}

void writeQuotedLine(Streams& streams, int unit, std::string_view line) {
    std::string out(1, ' ');
    out += core::pad(line, kLineWidth);
    streams.writeLine(unit, out);
}

void writeBankErrorHeading(Streams& streams, int unit, std::string_view line) {
    streams.writeLine(unit, " ERROR IN THERMODYNAMIC DATA BANK.  LINE IN ERROR IS");
    writeQuotedLine(streams, unit, line);
}

core::Status bankStop(std::string what, std::string why, int field, std::string_view line) {
    core::Status s = core::Status::stop(std::move(what));
    s.why = std::move(why);
    s.field = field;
    s.value = std::string(core::rtrim(line));
    return s;
}

}  // namespace io
