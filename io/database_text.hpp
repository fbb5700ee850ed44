// Text helpers shared by the database reader and the formula parser: line
// clean-up and the message lines that quote a database line.
#pragma once
#include <string>
#include <string_view>

#include "core/status.hpp"
#include "io/streams.hpp"

namespace io {

// Width of a database line: every line of the thermodynamic and aqueous
// data files is read as 100 columns.
constexpr std::size_t kLineWidth = 100;

// Makes `line` a clean record of at most `width` columns: each tab becomes a
// single blank (a tab does not advance to a tab stop, so fixed columns are
// counted as the characters stand), the rest beyond `width` is cut, and
// trailing blanks are removed.
void cleanLine(std::string& line, std::size_t width = kLineWidth);

// Writes a database line quoted in a message: a blank and the line as A100.
void writeQuotedLine(Streams& streams, int unit, std::string_view line);

// Writes the two opening lines of a header or data-line error: the heading
// and the quoted line.
void writeBankErrorHeading(Streams& streams, int unit, std::string_view line);

// A Stop status for a database or element-line error.
core::Status bankStop(std::string what, std::string why, int field, std::string_view line);

}  // namespace io
