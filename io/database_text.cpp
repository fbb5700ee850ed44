#include "io/database_text.hpp"

#include "core/text.hpp"

namespace io {

void clean_line(std::string& line, std::size_t width) {
    for (char& c : line)
        if (c == '\t') c = ' ';
    if (line.size() > width) line.resize(width);
    line.resize(core::rtrim(line).size());
}

void write_quoted_line(Streams& streams, int unit, std::string_view line) {
    std::string out(1, ' ');
    out += core::pad(line, kLineWidth);
    streams.write_line(unit, out);
}

void write_bank_error_heading(Streams& streams, int unit, std::string_view line) {
    streams.write_line(unit, " ERROR IN THERMODYNAMIC DATA BANK.  LINE IN ERROR IS");
    write_quoted_line(streams, unit, line);
}

core::Status bank_stop(std::string what, std::string why, int field, std::string_view line) {
    core::Status s = core::Status::stop(std::move(what));
    s.why = std::move(why);
    s.field = field;
    s.value = std::string(core::rtrim(line));
    return s;
}

}  // namespace io
