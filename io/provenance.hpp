// Where the data of a run came from.  For each data file: its role in the
// run, its name in full, the label of a thermodynamic database, and the
// SHA-256 of its contents (the digest `sha256sum FILE` prints), so that every
// output can name exactly the data that made it.  Writers of any output
// (summary, restart file, drawings) build the records once and print them.
#pragma once
#include <string>
#include <string_view>

namespace io {

// Roles of the calculator's data files, as its listings name them.
inline constexpr std::string_view kThermoDataRole = "THERMO DATA";
inline constexpr std::string_view kSolutionDataRole = "SOLUTION DATA";
inline constexpr std::string_view kAqueousDataRole = "AQUEOUS DATA";

struct DataProvenance {
    std::string role;    // e.g. "THERMO DATA"
    std::string name;    // the file name as read, of any length
    std::string label;   // a database's label (first line, columns 6-18), trailing blanks removed
    std::string sha256;  // 64 lower-case hexadecimal digits; empty when the file could not be read
    std::string error;   // why the file could not be read
    bool read() const { return !sha256.empty(); }
};

// Reads the file `name` once for its digest and, with `withLabel`, the label
// of a thermodynamic database.
DataProvenance provenanceOf(std::string_view role, const std::string& name, bool withLabel = false);

// One line of a listing: role, name, label (when there is one) and
// "SHA-256 " with the digest; or why the file could not be read.
std::string provenanceLine(const DataProvenance& p);

// The restart-file record of a data file that was read:
//   "*** DATA FILE: " role (13 columns) " SHA-256 " digest (64) "  " name
// and its reader; records of this kind follow the rows of calculated
// reactions at the end of a restart file.
constexpr std::string_view kProvenanceRecordMark = "*** DATA FILE: ";
std::string provenanceRecord(const DataProvenance& p);
bool isProvenanceRecord(std::string_view line);
// False when the line is not a well-formed provenance record.
bool readProvenanceRecord(std::string_view line, DataProvenance& out);

}  // namespace io
