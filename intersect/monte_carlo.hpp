// How far the uncertainty of the analyses moves the mean intersection: the
// composition file is perturbed many times (intersect/perturb.hpp), the
// run is repeated for every perturbed file as one batch of the calculator
// (a batch.dat line per file replaying the run's restart file with a
// composition list of that file), and the mean intersection of every
// resulting plot file is collected.
//
// The runs work in a directory of their own: a new temporary directory
// that is removed afterwards, unless one is named or kept.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "intersect/intersect.hpp"
#include "intersect/perturb.hpp"
#include "core/status.hpp"

namespace intersect {

struct MonteCarloRequest {
    std::string pelkam;           // the calculator program
    std::string runDirectory;     // where the run was made: its PELKAM.fig and the names in it
    std::string restartFile;      // the run's restart file (replayed)
    std::string compositionFile;  // the composition file to perturb; empty: the one the restart file names
    Uncertainties uncertainties;
    int runs = 100;
    std::uint64_t seed = 1;
    std::string workDirectory;    // empty: a new temporary directory
    bool keep = false;            // keep the work directory (always kept when named)
    Options options;              // the analysis of every run
    // Called at most once a second while the runs go on, and once at the end.
    std::function<void(int done, int failed, int total)> progress;
};

struct MonteCarloRun {
    int run = 0;                 // 1-based
    bool ok = false;
    Point mean;                  // mean intersection of the run
    int intersections = 0;       // independent intersections used
    std::string failure;         // why the run gave no mean
};

struct MonteCarloResult {
    std::vector<MonteCarloRun> runs;
    Scatter scatter;             // of the means of the runs that gave one
    std::string workDirectory;   // the directory used
    bool kept = false;           // left in place
    std::string compositionFile; // the file perturbed
};

// Runs the request.  Fails (naming the file and the reason) when the run's
// files cannot be read, the work directory cannot be made, the calculator
// cannot be started or stops on something other than a failed batch line,
// or the user interrupts it (SIGINT, SIGTERM: the runs are stopped and the
// work directory removed unless kept).  Runs that give no mean are listed
// with their reasons; the scatter covers the others.
core::Status runMonteCarlo(const MonteCarloRequest& request, MonteCarloResult& result);

}  // namespace intersect
