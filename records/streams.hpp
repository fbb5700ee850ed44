// Numbered streams.  Every file of a run is known by a unit number; the
// table of open units belongs to the run (no global state).  Files are held
// in memory while open: files opened for reading are read whole on open;
// files written are kept as records and written to disk when closed or ended
// (written to a temporary name and renamed, so that a file on disk is always
// complete).  Scratch files never reach the disk.  The names "CON:" and
// "con:" denote the console.
#pragma once
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/layout.hpp"

namespace records {

enum class OpenMode {
    Existing,       // the file must exist; positioned at its start
    NewOrReplace,   // created or replaced; written from the start
    Scratch,        // private, in memory only
    Append,         // an existing file is kept and written after its last record
};

bool is_console_name(std::string_view name);  // "CON:" or "con:" (trailing blanks ignored)

// The console: where console units read and write.  Programs install their
// own (terminal window, script, standard streams).
struct Console {
    std::function<void(std::string_view line)> write_line;
    // Reads one line; false at end of input.
    std::function<bool(std::string& line)> read_line;
};

class Streams {
public:
    Streams();
    ~Streams();  // unclosed written files are discarded, except those marked keep_on_abort
    Streams(const Streams&) = delete;
    Streams& operator=(const Streams&) = delete;

    void set_console(Console console) { console_ = std::move(console); }
    const Console& console() const { return console_; }

    // Opens `unit` on `name` (trailing blanks are not part of the name).
    // Returns 0 on success, else a positive status code (1 no such file,
    // 2 cannot create, 3 bad unit, 4 not a regular file, 5 cannot read,
    // 6 the file open on this unit before could not be saved).  A unit
    // already open is closed first.  A console name attaches the unit to the
    // console; opened NewOrReplace or Append it only writes.  Units 5 and 6
    // start attached to the console.
    int open(int unit, std::string_view name, OpenMode mode);
    bool is_open(int unit) const;
    bool is_console(int unit) const;
    std::string name(int unit) const;
    int line_number(int unit) const;  // number of the last record read or written

    // Record I/O.
    ReadOutcome read_record(int unit, const Layout& layout, std::span<const Target> targets);
    ReadOutcome read_free(int unit, std::span<const Target> targets);
    // Reads one raw record (without line end); EndOfFile at the end.
    ReadOutcome read_line(int unit, std::string& line);
    bool write_record(int unit, const Layout& layout, std::span<const Value> values);
    bool write_free(int unit, std::span<const Value> values);
    bool write_line(int unit, std::string_view line);

    bool rewind(int unit);
    bool backspace(int unit);
    // Truncates the file after the current record and (for disk files) writes
    // it out; the unit stays open.
    bool end_file(int unit);
    // Closes the unit; a written disk file is saved.  Returns false when the
    // file could not be saved.
    bool close(int unit);
    // Closes the unit without saving what was written to it.
    void discard(int unit);
    // Marks a written unit to be saved even if the Streams end without a close.
    void keep_on_abort(int unit, bool keep = true);
    // Saves and closes every open unit (normal end of a run).
    bool close_all();

    static bool inquire(std::string_view name);  // does the named file exist?

private:
    struct Unit;
    std::map<int, Unit*> units_;
    Console console_;
    Unit* find(int unit) const;
    bool save(Unit& u);
};

}  // namespace records
