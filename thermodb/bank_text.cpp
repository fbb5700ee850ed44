#include "thermodb/bank_text.hpp"

#include "records/text.hpp"

namespace thermodb {

void clean_line(std::string& line, std::size_t width) {
    for (char& c : line)
        if (c == '\t') c = ' ';
    if (line.size() > width) line.resize(width);
    line.resize(records::rtrim(line).size());
}

void write_quoted_line(records::Streams& streams, int unit, std::string_view line) {
    std::string out(1, ' ');
    out += records::pad(line, kLineWidth);
    streams.write_line(unit, out);
}

void write_bank_error_heading(records::Streams& streams, int unit, std::string_view line) {
    streams.write_line(unit, " ERROR IN THERMODYNAMIC DATA BANK.  LINE IN ERROR IS");
    write_quoted_line(streams, unit, line);
}

records::Status bank_stop(std::string what, std::string why, int field, std::string_view line) {
    records::Status s = records::Status::stop(std::move(what));
    s.why = std::move(why);
    s.field = field;
    s.value = std::string(records::rtrim(line));
    return s;
}

}  // namespace thermodb
