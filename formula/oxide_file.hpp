// Oxide-analysis files: reading, the mineral-code scan, and the run of one
// file through the schemes with every output of the run.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/status.hpp"
#include "formula/elements.hpp"
#include "formula/schemes.hpp"

namespace formula {

// The options of one run (the answers of the utility's screen).
struct OxideRunOptions {
    std::string baseName;       // the oxide file without ".OXI" (may carry a directory)
    int startColumn = 1;        // column at which the mineral code is sought (1-based)
    int headerLines = 0;        // lines between the title line and the first label line
    bool mapping = false;       // each analysis line starts with two map coordinates
    Version version = Version::V232;
    SchemeOptions scheme;       // ferric iron, garnet options
    std::string workDir = ".";  // where zun.log, mintab.csv, the plot files and tables go
    bool writeComposition = true;  // false: no composition file is written
};

// What a run did.
struct OxideRunReport {
    std::string oxideFile;        // the file read
    std::string compositionFile;  // written (empty when none)
    int analyses = 0;             // analyses counted
    int recalculated = 0;         // analyses dispatched to a scheme
    std::vector<std::string> written;  // every file written
};

// The oxide file name of a base name: the base up to the first "." of its
// last path component or its first double blank, followed by ".OXI".
std::string oxideFileName(std::string_view baseName);
// The composition file of a run: ".ZU1" for version 1.02, else ".ZU3" with
// ferric iron, else ".ZU2".
std::string compositionFileName(std::string_view baseName, Version v, bool ferric);

// The mineral code found by scanning `line` from `startColumn` to column 30
// (a comma ends the scan), and the analysis label.
struct CodeScan {
    std::string code = std::string(kNoCode);
    std::string label;
    std::size_t valuesFrom = std::string::npos;  // index after the comma that ends the label
};
CodeScan scanMineralCode(std::string_view line, int startColumn, Version v);

// The analyses of an oxide file, in file order, each with the log lines that
// go before it (a new label line, a short value list).
struct OxideFileItem {
    Analysis analysis;
    std::string preface;
};
struct OxideFileContents {
    std::string name;  // the file read
    std::vector<OxideFileItem> items;
};
// Reads an oxide file.  On a failure the analyses read before it stay in
// `out` and the status says what failed and where.
core::Status readOxideFile(const OxideRunOptions& options, OxideFileContents& out);

// Processes one oxide file and writes every output.  On failure the status
// carries the utility's message in `what` with file, line, field and value;
// zun.log records the failure and no other output of the run is written (the
// files of an earlier run stay as they were).
core::Status run_oxide_file(const OxideRunOptions& options, OxideRunReport* report = nullptr);

}  // namespace formula
