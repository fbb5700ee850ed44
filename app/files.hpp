// File assignment: the database-version, files and diagram screens, and the
// opening of the numbered units.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/run_context.hpp"

namespace app {

// The database version and its screen message for the current names
// (compared in upper case; the names themselves are not changed).
struct DatabaseGuess {
    int version = 0;
    std::string message;  // 33 characters
};
DatabaseGuess guessDatabaseVersion(const RunSettings& rs);

// The restart-name clash rule: the output never has the input's name.
void applyRestartClash(RunSettings& rs);
// The prefix the path rule puts before the output names: the path up to its
// first blank (nothing for a blank path or one without a blank).
std::string pathPrefix(const RunSettings& rs);
// The path rule of the files screen ("Use path?" checked).
void applyPath(RunSettings& rs, bool usePathChecked);

// Runs the configuration step (first call of a run, blank message) and the
// screens; in batch mode the names come from the batch line.
core::Status assignFiles(RunContext& ctx, std::string_view message);

// Opens the units and writes the assignment listing.  Returns 0, or the
// number of the unit that could not be opened (the solution-properties file,
// which must exist too, is tried after unit 4 on its own unit number).
int openUnits(RunContext& ctx);

// assignFiles and openUnits, with the reassignment loop of interactive
// runs: a file that cannot be opened is named with the reason on the
// input-error screen, and "Continue" shows the database, files and diagram
// screens again.  `message` (blank on the first call of a run) is passed to
// assignFiles; with `assign` false the names stand and the units are only
// opened again (screens follow only if that fails).  In batch mode a failure
// is logged and returned as an Error status.
core::Status assignAndOpen(RunContext& ctx, std::string message = {}, bool assign = true);

// Why the file `name` cannot be opened for reading (it must exist) or for
// writing: "no such file", "it is a directory", the system's reason, ...
std::string openFailureReason(const std::string& name, bool reading);

// The input-error message of a file that cannot be opened: its field on the
// files screen, its name and the reason, with `note` after them; a name too
// long for the 90-character message gives up its front.
std::string openErrorMessage(std::string_view role, std::string_view name, std::string_view reason,
                               std::string_view note = {});

// A file of the run and the role in which the run uses it (the caption of
// its field on the files screen, or the file's own name).
struct RunFile {
    std::string role;
    std::string name;
};
// The files a run reads (data files, replayed input, answer script,
// configuration, suggested reactions; in batch mode batch.dat and the
// composition list) and the files it writes, as the settings name them.
std::vector<RunFile> runInputs(const RunContext& ctx);
std::vector<RunFile> runOutputs(const RunSettings& rs);
// Whether two names denote one file: for existing files the same file
// (device and inode), otherwise the same path once resolved.
bool sameFile(const std::string& a, const std::string& b);
// The first output named like an input or like another output, as a message
// naming both roles; empty when every output has a name of its own.
std::string outputNameClash(const std::vector<RunFile>& inputs, const std::vector<RunFile>& outputs);

}  // namespace app
