// File assignment: the database-version, files and diagram screens, and the
// opening of the numbered units.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "shell/run_context.hpp"

namespace shell {

// The database version and its screen message for the current names
// (compared in upper case; the names themselves are not changed).
struct DatabaseGuess {
    int version = 0;
    std::string message;  // 33 characters
};
DatabaseGuess guess_database_version(const records::RunSettings& rs);

// The restart-name clash rule: the output never has the input's name.
void apply_restart_clash(records::RunSettings& rs);
// The path rule of the files screen ("Use path?" checked).
void apply_path(records::RunSettings& rs, bool usePathChecked);

// Runs the configuration step (first call of a run, blank message) and the
// screens; in batch mode the names come from the batch line.
records::Status assign_files(RunContext& ctx, std::string_view message);

// Opens the units and writes the assignment listing.  Returns 0, or the
// number of the unit that could not be opened.
int open_units(RunContext& ctx);

// assign_files and open_units, with the reassignment loop of interactive
// runs.  In batch mode a failure is logged and returned as an Error status.
records::Status assign_and_open(RunContext& ctx);

// The text of the reassignment message for `unit`.
std::string reassign_message(int unit);

// A file of the run and the role in which the run uses it (the caption of
// its field on the files screen, or the file's own name).
struct RunFile {
    std::string role;
    std::string name;
};
// The files a run reads (data files, replayed input, answer script,
// configuration, suggested reactions; in batch mode batch.dat and the
// composition list) and the files it writes, as the settings name them.
std::vector<RunFile> run_inputs(const RunContext& ctx);
std::vector<RunFile> run_outputs(const records::RunSettings& rs);
// Whether two names denote one file: for existing files the same file
// (device and inode), otherwise the same path once resolved.
bool same_file(const std::string& a, const std::string& b);
// The first output named like an input or like another output, as a message
// naming both roles; empty when every output has a name of its own.
std::string output_name_clash(const std::vector<RunFile>& inputs, const std::vector<RunFile>& outputs);

}  // namespace shell
