// Numbered streams.  Every file of a run is known by a unit number; the
// table of open units belongs to the run (no global state).  Files are held
// in memory while open: files opened for reading are read whole on open;
// files written are kept as records and written to disk when closed or ended.
// A save writes a temporary file beside the target (".NAME.PID.UNIT.tmp"),
// flushes it to the disk and renames it over the target, so that a file on
// disk is always either the old one or the complete new one; a save that
// fails removes its temporary and leaves the old file as it was.  Scratch
// files never reach the disk.  The names "CON:" and "con:" denote the console.
//
// A run that must replace its outputs together defers the saves
// (deferSaves): closed files are then kept until commit(), which writes
// every temporary first and renames them all in one short step, or saves
// nothing.  While temporaries exist, SIGINT, SIGTERM, SIGHUP and SIGQUIT are
// held back, so that an interrupted program leaves none behind.
#pragma once
#include <bitset>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/layout.hpp"
#include "core/status.hpp"

namespace io {

enum class OpenMode {
    Existing,       // the file must exist; positioned at its start
    NewOrReplace,   // created or replaced; written from the start
    Scratch,        // private, in memory only
    Append,         // an existing file is kept and written after its last record
};

bool isConsoleName(std::string_view name);  // "CON:" or "con:" (trailing blanks ignored)

// The console: where console units read and write.  Programs install their
// own (terminal window, script, standard streams).
struct Console {
    std::function<void(std::string_view line)> writeLine;
    // Reads one line; false at end of input.
    std::function<bool(std::string& line)> readLine;
};

class Streams {
public:
    Streams();
    ~Streams();  // unclosed written files are discarded, except those marked keepOnAbort
    Streams(const Streams&) = delete;
    Streams& operator=(const Streams&) = delete;

    void setConsole(Console console) { console_ = std::move(console); }
    const Console& console() const { return console_; }

    // Opens `unit` on `name` (trailing blanks are not part of the name).
    // Returns 0 on success, else a positive status code (1 no such file,
    // 2 cannot create, 3 bad unit, 4 not a regular file, 5 cannot read,
    // 6 the file open on this unit before could not be saved).  A unit
    // already open is closed first.  A console name attaches the unit to the
    // console; opened NewOrReplace or Append it only writes.  Units 5 and 6
    // start attached to the console.
    int open(int unit, std::string_view name, OpenMode mode);
    bool isOpen(int unit) const;
    bool isConsole(int unit) const;
    std::string name(int unit) const;
    int lineNumber(int unit) const;  // number of the last record read or written

    // Record I/O.
    core::ReadOutcome read_record(int unit, const core::Layout& layout, std::span<const core::Target> targets);
    core::ReadOutcome read_free(int unit, std::span<const core::Target> targets);
    // Reads one raw record (without line end); EndOfFile at the end.
    core::ReadOutcome readLine(int unit, std::string& line);
    bool write_record(int unit, const core::Layout& layout, std::span<const core::Value> values);
    bool write_free(int unit, std::span<const core::Value> values);
    bool writeLine(int unit, std::string_view line);

    bool rewind(int unit);
    bool backspace(int unit);
    // Truncates the file after the current record and (for disk files) writes
    // it out; the unit stays open.  While saves are deferred the file is
    // only truncated.
    bool end_file(int unit);
    // Closes the unit; a written disk file is saved (or, while saves are
    // deferred, kept for commit()).  Returns false when the file could not be
    // saved; failure() then says why.
    bool close(int unit);
    // Closes the unit without saving what was written to it.
    void discard(int unit);
    // Marks a written unit to be saved even if the Streams end without a
    // close, and saved at once when closed while saves are deferred (logs).
    void keepOnAbort(int unit, bool keep = true);
    // Saves and closes every open unit (normal end of a run).
    bool closeAll();

    // Records written to `unit` must hold every value in its field: a number
    // that would be written as asterisks fails the write, and the file then
    // cannot be saved (failure() names the file, line, field and value).
    // The setting belongs to the unit number and outlives reopening.
    void requireFit(int unit, bool on = true);
    // The failure of a unit's writes so far (Ok when none).
    core::Status unitFailure(int unit) const;

    // While on, closing a written disk file keeps it for commit() instead of
    // saving it; a file kept for the same target replaces the earlier one.
    void deferSaves(bool on);
    bool savesDeferred() const { return defer_; }
    // Saves the deferred files and the open written units `units` together,
    // and closes those units: every temporary written and flushed to the disk
    // first, then all renamed.  When any file cannot be written completely,
    // nothing is renamed, every temporary is removed, the units stay open
    // and the status names the file and the reason.
    core::Status commit(std::span<const int> units);
    // Drops the deferred files and closes `units` without saving them.
    void abandon(std::span<const int> units);
    // Names of the deferred files, in the order they were kept.
    std::vector<std::string> deferredNames() const;

    // Why the last save, close or checked write failed.
    const core::Status& failure() const { return failure_; }

    static bool inquire(std::string_view name);  // does the named file exist?

private:
    struct Unit;
    std::map<int, Unit*> units_;
    std::vector<Unit*> deferred_;
    std::bitset<100> mustFit_;
    bool defer_ = false;
    Console console_;
    core::Status failure_;
    Unit* find(int unit) const;
    bool save(Unit& u);
    void noteOverflow(Unit& u, const core::FieldOverflow& o, int firstRecord);
    void keepForCommit(Unit* u);
};

// The temporaries of saves that never finished: hidden files
// ".NAME.PID.UNIT.tmp" in the directories of `names` whose process no longer
// runs (a run killed while it saved).  They are removed; the paths removed
// are returned so that the caller can say so.
std::vector<std::string> removeStaleTemporaries(std::span<const std::string> names);

}  // namespace io
