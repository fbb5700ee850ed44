// The configuration file PELKAM.fig: keys in column 1, values in fixed
// columns after the "=".  What it sets are the names of a run's files and a
// few switches; the screens and a batch line may change them afterwards.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "io/files.hpp"
#include "io/units.hpp"

namespace io {

struct RunConfiguration {
    // The names of the files of the run's units, by UnitSlot.
    std::array<std::string, 7> unitNames = {
        std::string("jun92.rqt"), std::string("hkf81.aqu"), std::string("con:"), std::string("con:"),
        std::string("summary.dat"), std::string("plot.plt"), std::string("restart.res")};
    std::string solutionFile = "solid.sln";
    std::string path = std::string(25, ' ');  // 25 characters
    bool summaryOff = false;                  // SUMMARYFILE= a name beginning with two blanks
    char metastableEquilibria = ' ';          // METASTABLE EQUILIBRIA?=
    char printActivities = ' ';               // PRINT ACTIVITIES?=
    char waterStandardState = ' ';            // SOH STD STATE=
    // Whether the metastable/stable key and the activities key have been
    // switched on by a 'Y' (the option stays on once set).
    bool metastableOn = false;
    bool printActivitiesOn = false;
};

// Resets the fields the configuration sets to their defaults.
void setConfigDefaults(RunConfiguration& rs);

// Applies one configuration line.  Returns a warning text when the line
// carries a key whose value cannot be used (the line is then ignored), else
// an empty string.
std::string applyConfigLine(RunConfiguration& rs, std::string_view line);

// Reads the configuration file of `dir` (defaults first).  Warnings name the
// file and line; they are returned for the caller to show.  Returns false
// when no configuration file exists (the defaults stay).
bool readConfiguration(RunConfiguration& rs, const std::string& dir, std::vector<std::string>* warnings);

}  // namespace io
