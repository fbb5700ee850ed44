// Perturbed mineral compositions for the Monte Carlo estimate of how the
// uncertainty of the analyses moves the intersection: every site fraction
// of a composition file's value lines gets a normally distributed error,
// relative to its value or absolute per entry.  Pure functions on the lines
// of the files; the random numbers come from a generator whose sequence is
// fixed by its seed on every platform.
#pragma once
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/status.hpp"

namespace intersect {

// Standard normal numbers: the 64-bit Mersenne Twister (its sequence is
// fixed by the C++ standard) through the Box-Muller transform, so that a
// seed gives the same numbers everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed);
    double normal();

private:
    std::mt19937_64 engine_;
    bool haveSpare_ = false;
    double spare_ = 0;
};

// The seed of run `run` (0-based) of a Monte Carlo estimate with seed
// `seed`: each run draws its own numbers, whatever the number of runs.
std::uint64_t runSeed(std::uint64_t seed, int run);

// The sites of a solution model as the composition file lists them: the
// number of cations (values) of each site, in order.
struct ModelSites {
    std::string code;                 // four characters, as in the solution-properties file
    std::vector<int> cationsPerSite;
};

// One-sigma uncertainties of the site fractions.
struct Uncertainties {
    double relative = 0;  // fraction of each value, for values without an absolute uncertainty
    struct Entry {
        std::string code;        // four characters
        std::vector<double> sd;  // absolute, in the order of the entry's values
        int line = 0;
    };
    std::vector<Entry> absolute;
};

// Reads a file of absolute uncertainties: lines "CODE v1 v2 ...", the
// model's code in columns 1-4 as in the composition file, then one-sigma
// uncertainties of its site fractions in the order of the value line,
// separated by blanks (values not given take the relative uncertainty).
// Blank lines and lines beginning with '#' are ignored.  A value that is
// not a number, or is negative, or more values than a value line holds,
// fail naming the file, line and field.
core::Status parseUncertainties(std::span<const std::string> lines, const std::string& fileName,
                                   Uncertainties& out);

// A perturbed copy of a composition file: the first value line of every
// model of `models` gets each site fraction v replaced by v + sd e (e from
// `rng`, sd the entry's absolute uncertainty or relative * v), kept within
// [0.0001, 1] (a value of zero stays zero); the values of a site of two or
// more cations that added up to 1 (within 0.005) are scaled back to their
// former sum.  The values are written F6.4; everything else of the file is
// copied.  A model of `models` without a value line is left out (a run
// that uses it fails as it would with the original file); a value line
// that cannot be read fails as the run's reading would.
core::Status perturbComposition(std::span<const std::string> lines, const std::string& fileName,
                                   const std::vector<ModelSites>& models, const Uncertainties& uncertainties,
                                   Random& rng, std::vector<std::string>& out);

}  // namespace intersect
