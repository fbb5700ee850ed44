// Output files of the utility: atomic replacement, the composition file and
// the plot files.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "core/atomic_file.hpp"
#include "core/status.hpp"
#include "formula/schemes.hpp"

namespace formula {

// Files are replaced whole (core::writeFileAtomically).
using core::writeFileAtomically;

// The value line of a composition entry: the code, one blank, then the
// values in six-column fields in the layout of the code (F5.4 values are
// followed by one blank; a value that F5.4 cannot show, such as 1.0000, is
// written as F6.4 in the same six columns).
std::string compositionValueLine(const CompositionEntry& e);

// A composition file held in memory.  Entries (a header line and a value
// line) are kept in order; a fixed-activity block (FIXE ... ENDFIX) and any
// line that is not part of an entry are kept as they are, so that an update
// never loses what the file held.
class CompositionFile {
public:
    // Reads `path`; a missing file gives an empty composition file.
    static core::Status load(const std::string& path, CompositionFile& out);
    // Replaces the first entry of e.code, or appends e.
    void put(const CompositionEntry& e);
    std::string text() const;
    int entryCount() const;

private:
    struct Item {
        bool entry = false;
        std::string code;                // entries: columns 1-4 of the value line
        std::vector<std::string> lines;  // entries: header and value line
    };
    std::vector<Item> items_;
};

// Writes one mineral into the composition file `path` (read, update, atomic
// replace).
core::Status write_composition_entry(const std::string& path, const CompositionEntry& e);

// The header of a plot file: the title lines "Analysis" and "Concentration",
// the window (-0.5, 51.0, -0.25, yMax), and legend records for the file
// name, the title and the series labels.
std::string plotHeader(const std::string& fileName, const PlotFamily& family);

// The plot files of one run, built in memory.  A file takes 50 analyses; the
// 51st opens the next file of the family ("opx.p", "opx1.p", "opx2.p", ...).
class PlotFiles {
public:
    // Adds one analysis; `stay` keeps it in the current file even past 50
    // (garnet analyses with map coordinates).
    void add(const PlotSample& s, bool stay);
    // File name -> contents of every plot file.
    std::map<std::string, std::string> finish() const;

private:
    struct File {
        const PlotFamily* family = nullptr;
        std::string name;
        int count = 0;
        std::vector<std::string> points;  // "(2F10.3,I2)" items, seven to a record
    };
    std::vector<File> files_;
    std::map<std::string, int> current_;  // family -> index into files_
    std::map<std::string, int> serial_;   // family -> files opened
};

}  // namespace formula
