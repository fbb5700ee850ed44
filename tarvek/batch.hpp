// Batch runs of the formula utility: BATCH.DAT names list files, each list
// names oxide files.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.hpp"
#include "formula/oxide_file.hpp"

namespace formula {

struct BatchLine {
    std::string prefix;                // directory prefix (may be blank)
    std::string options[3];            // the three option fields (kept, not used)
    std::string listFile;              // the list file to open
    bool listBlank = false;            // field 5 was blank: the batch stops after this line
};
// Splits one line of BATCH.DAT (read as 80 characters).
BatchLine parseBatchLine(std::string_view line);

struct BatchReport {
    int filesDone = 0;
    int filesFailed = 0;
    std::vector<std::string> messages;  // every failure, in order
};

// Runs every oxide file of every list of `batchFile` with `base`'s options.
// `progress` (may be empty) receives one line per file started.  Fails only
// when the batch file cannot be opened ("Cannot open file BATCH.DAT - check
// & rerun "); failures of single files and lists are in the report.
core::Status runBatch(const std::string& batchFile, const OxideRunOptions& base, BatchReport& report,
                          const std::function<void(std::string_view)>& progress = {});

}  // namespace formula
