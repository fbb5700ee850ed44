// File-name lookups shared by both programs.
#pragma once
#include <string>

namespace io {

// Names tried for the configuration file, in this order; when none exists
// any file of the directory whose name matches "pelkam.fig" regardless of
// letter case is taken.
inline constexpr const char* kConfigNames[] = {"PELKAM.fig", "PELKAM.FIG", "pelkam.fig"};

// The configuration file of `dir`, or empty when there is none.
std::string findConfigFile(const std::string& dir);

// For input files: the name itself when that file exists, else the one file
// of its directory whose name differs only in letter case, else the name.
std::string resolveInputName(const std::string& name);

}  // namespace io
