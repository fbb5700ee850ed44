// The configuration file PELKAM.fig: keys in column 1, values in fixed
// columns after the "=".
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/run_settings.hpp"
#include "io/files.hpp"

namespace io {

// Resets the fields the configuration sets to their defaults.
void set_config_defaults(app::RunSettings& rs);

// Applies one configuration line.  Returns a warning text when the line
// carries a key whose value cannot be used (the line is then ignored), else
// an empty string.
std::string apply_config_line(app::RunSettings& rs, std::string_view line);

// Reads the configuration file of `dir` (defaults first).  Warnings name the
// file and line; they are returned for the caller to show.  Returns false
// when no configuration file exists (the defaults stay).
bool read_configuration(app::RunSettings& rs, const std::string& dir, std::vector<std::string>* warnings);

}  // namespace io
