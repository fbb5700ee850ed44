// What made a drawing: the program and its version, the thermodynamic
// database (file name, the label of its first line and the SHA-256 of its
// contents) and the date.  Every drawing and DXF file carries it, as
// metadata or as comments, so that a figure can be traced to its data.
#pragma once
#include <string>
#include <vector>

#include "core/status.hpp"

namespace render {

struct Provenance {
    std::string program;         // e.g. "pelkam-plot 2.34"
    std::string databaseFile;    // as named by the user; empty when not given
    std::string databaseLabel;   // columns 6-18 of the database's first line, trailing blanks removed
    std::string databaseSha256;  // 64 hexadecimal digits
    std::string date;            // ISO 8601, UTC ("2024-05-01T12:00:00Z")
};

// Fills the database fields from the file at `path` (label and checksum).
core::Status describeDatabase(const std::string& path, Provenance& p);

// The current time as ISO 8601 UTC.
std::string isoDateNow();

// One line per item, for comments and metadata:
//   "program: pelkam-plot 2.34"
//   "database: thermo1988.dat, label \"MINERALS 1988\", sha256 3f...", or "database: not given"
//   "date: 2024-05-01T12:00:00Z"
std::vector<std::string> provenanceLines(const Provenance& p);
// The database line alone (the middle one above).
std::string databaseLine(const Provenance& p);

}  // namespace render
