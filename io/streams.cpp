#include "io/streams.hpp"

#include "core/atomic_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <system_error>

namespace io {

namespace fs = std::filesystem;
using core::saveTarget;
using core::SignalsHeld;
using core::syncDirectory;
using core::temporaryName;

namespace {

constexpr int kFirstUnit = 1;
constexpr int kLastUnit = 99;

// Status codes of open().
constexpr int kOpenOk = 0;
constexpr int kNoSuchFile = 1;
constexpr int kCannotCreate = 2;
constexpr int kBadUnit = 3;
constexpr int kNotRegular = 4;
constexpr int kCannotRead = 5;
constexpr int kPreviousNotSaved = 6;

std::string_view stripCr(std::string_view s) {
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
}

// Names are fixed-width fields: trailing blanks are not part of the name.
std::string fileName(std::string_view name) {
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    return std::string(name);
}

// Reads a whole file into records; \n and \r\n both end a line, and a last
// line without a line end is a record too.
bool loadFile(const std::string& path, std::vector<std::string>& records) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::string data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) return false;
    records.clear();
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        records.emplace_back(stripCr(std::string_view(data).substr(start, end - start)));
        start = end + 1;
    }
    return true;
}

// The file a save replaces: a symbolic link is followed, so that the link
// stays and its target gets the new contents.
// Can a file be created next to `target`?  Tried by creating and removing the
// temporary file that a save would use.
bool canCreate(const std::string& name, int unit) {
    if (name.empty()) return false;
    fs::path tmp = temporaryName(saveTarget(name), unit);
    SignalsHeld held;
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(tmp.c_str());
    return true;
}

// Writes the records, each followed by a line end, to a new file `tmp` and
// flushes it to the disk.  Returns 0, or the error number of the first
// failure (the file may then be partly written; the caller removes it).
int writeTemporary(const fs::path& tmp, const std::vector<std::string>& records) {
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    std::string buffer;
    buffer.reserve(1 << 16);
    int err = 0;
    for (const std::string& r : records) {
        buffer.append(r);
        buffer.push_back('\n');
        if (buffer.size() >= (1 << 16)) {
            if ((err = core::writeAll(fd, buffer)) != 0) break;
            buffer.clear();
        }
    }
    if (err == 0) err = core::writeAll(fd, buffer);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    return err;
}

// The file a save replaces, for comparing two saves' targets.
std::string targetKey(const std::string& name) {
    std::error_code ec;
    fs::path p = fs::absolute(saveTarget(name), ec);
    return (ec ? fs::path(name) : p).lexically_normal().string();
}

core::Status writeFailure(const std::string& name, int err, const char* what) {
    core::Status s = core::Status::error(what, std::strerror(err));
    s.file = name;
    return s;
}

// Is the process `pid` gone?  (A process of another user still runs.)
bool processGone(long pid) {
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Splits ".NAME.PID.UNIT.tmp"; false for any other name.
bool parseTemporaryName(const std::string& file, long& pid) {
    constexpr std::string_view kTail = ".tmp";
    if (file.size() < 8 || file[0] != '.' || file.compare(file.size() - kTail.size(), kTail.size(), kTail) != 0)
        return false;
    std::string stem = file.substr(1, file.size() - 1 - kTail.size());  // NAME.PID.UNIT
    std::size_t u = stem.rfind('.');
    if (u == std::string::npos || u == 0) return false;
    std::size_t p = stem.rfind('.', u - 1);
    if (p == std::string::npos || p == 0) return false;
    std::string unit = stem.substr(u + 1), process = stem.substr(p + 1, u - p - 1);
    auto digits = [](const std::string& t) {
        return !t.empty() && t.size() <= 10 && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(unit) || !digits(process)) return false;
    long n = std::stol(unit);
    if (n < kFirstUnit || n > kLastUnit) return false;
    pid = std::stol(process);
    return true;
}

}  // namespace

struct Streams::Unit {
    int number = 0;
    std::string name;
    OpenMode mode = OpenMode::Existing;
    bool console = false;
    bool readable = true;
    std::vector<std::string> records;
    std::size_t pos = 0;      // index of the next record
    bool dirty = false;       // holds contents not yet on disk
    bool keep = false;        // saved even without a close
    int console_lines = 0;    // records read from or written to the console
    core::Status failure;           // a write that failed: the file must not be saved

    bool onDisk() const { return !console && mode != OpenMode::Scratch; }
};

bool isConsoleName(std::string_view name) {
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name == "CON:" || name == "con:";
}

// Units 5 and 6 start attached to the console (reading and writing), as the
// program's standard input and output.
Streams::Streams() {
    open(5, "CON:", OpenMode::Existing);
    open(6, "CON:", OpenMode::NewOrReplace);
}

// Written files that were never closed are dropped: the file on disk keeps
// its previous contents (or stays absent) rather than holding half a run.
Streams::~Streams() {
    for (auto& [number, u] : units_) {
        if (u->keep && u->dirty && u->onDisk()) save(*u);
        delete u;
    }
    units_.clear();
    for (Unit* u : deferred_) delete u;
    deferred_.clear();
}

Streams::Unit* Streams::find(int unit) const {
    auto it = units_.find(unit);
    return it == units_.end() ? nullptr : it->second;
}

int Streams::open(int unit, std::string_view name, OpenMode mode) {
    if (unit < kFirstUnit || unit > kLastUnit) return kBadUnit;
    if (find(unit) != nullptr && !close(unit)) return kPreviousNotSaved;

    auto u = std::make_unique<Unit>();
    u->number = unit;
    u->name = fileName(name);
    u->mode = mode;
    if (isConsoleName(name)) {
        u->console = true;
        u->readable = mode == OpenMode::Existing || mode == OpenMode::Scratch;
        units_[unit] = u.release();
        return kOpenOk;
    }
    std::error_code ec;
    switch (mode) {
        case OpenMode::Scratch:
            break;
        case OpenMode::Existing: {
            if (u->name.empty()) return kNoSuchFile;
            fs::file_status st = fs::status(u->name, ec);
            if (ec || !fs::exists(st)) return kNoSuchFile;
            if (!fs::is_regular_file(st)) return kNotRegular;
            if (!loadFile(u->name, u->records)) return kCannotRead;
            break;
        }
        case OpenMode::NewOrReplace: {
            if (u->name.empty()) return kCannotCreate;
            fs::file_status st = fs::status(u->name, ec);
            if (fs::exists(st) && !fs::is_regular_file(st)) return kNotRegular;
            if (!canCreate(u->name, unit)) return kCannotCreate;
            u->dirty = true;  // an empty file is created even if nothing is written
            break;
        }
        case OpenMode::Append: {
            if (u->name.empty()) return kCannotCreate;
            fs::file_status st = fs::status(u->name, ec);
            bool exists = fs::exists(st);
            if (exists && !fs::is_regular_file(st)) return kNotRegular;
            if (exists && !loadFile(u->name, u->records)) return kCannotRead;
            if (!canCreate(u->name, unit)) return kCannotCreate;
            u->pos = u->records.size();
            u->dirty = !exists;
            break;
        }
    }
    units_[unit] = u.release();
    return kOpenOk;
}

bool Streams::isOpen(int unit) const { return find(unit) != nullptr; }

bool Streams::isConsole(int unit) const {
    Unit* u = find(unit);
    return u != nullptr && u->console;
}

std::string Streams::name(int unit) const {
    Unit* u = find(unit);
    return u ? u->name : std::string();
}

int Streams::lineNumber(int unit) const {
    Unit* u = find(unit);
    if (u == nullptr) return 0;
    return u->console ? u->console_lines : static_cast<int>(u->pos);
}

namespace {

class ConsoleSource final : public core::RecordSource {
public:
    explicit ConsoleSource(const Console& console) : console_(console) {}
    bool next(std::string_view& record) override {
        bool ok;
        if (console_.readLine) {
            ok = console_.readLine(line_);
        } else {
            ok = static_cast<bool>(std::getline(std::cin, line_));
        }
        if (!ok) return false;
        record = stripCr(line_);
        return true;
    }

private:
    const Console& console_;
    std::string line_;
};

class RecordsSource final : public core::RecordSource {
public:
    RecordsSource(const std::vector<std::string>& records, std::size_t from) : records_(records), index_(from) {}
    bool next(std::string_view& record) override {
        if (index_ >= records_.size()) return false;
        record = records_[index_++];
        return true;
    }

private:
    const std::vector<std::string>& records_;
    std::size_t index_;
};

core::ReadOutcome notReadable(int unit) {
    core::ReadOutcome r;
    r.result = core::ReadResult::Error;
    r.text = "unit " + std::to_string(unit) + " is not open for reading";
    return r;
}

void consolePut(const Console& console, std::string_view line) {
    if (console.writeLine) {
        console.writeLine(line);
    } else {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

}  // namespace

core::ReadOutcome Streams::read_record(int unit, const core::Layout& layout, std::span<const core::Target> targets) {
    Unit* u = find(unit);
    if (u == nullptr || !u->readable) return notReadable(unit);
    int used = 0;
    core::ReadOutcome r;
    int before;
    if (u->console) {
        ConsoleSource source(console_);
        before = u->console_lines;
        r = core::readFrom(source, layout, targets, used);
        int got = r.result == core::ReadResult::EndOfFile ? used - 1 : used;
        u->console_lines += got;
    } else {
        RecordsSource source(u->records, u->pos);
        before = static_cast<int>(u->pos);
        r = core::readFrom(source, layout, targets, used);
        u->pos = std::min(u->records.size(), u->pos + static_cast<std::size_t>(used));
    }
    if (r.result != core::ReadResult::Done && r.record > 0) r.record += before;
    return r;
}

core::ReadOutcome Streams::readLine(int unit, std::string& line) {
    Unit* u = find(unit);
    if (u == nullptr || !u->readable) return notReadable(unit);
    core::ReadOutcome r;
    if (u->console) {
        ConsoleSource source(console_);
        std::string_view rec;
        if (!source.next(rec)) {
            r.result = core::ReadResult::EndOfFile;
            r.record = u->console_lines + 1;
            return r;
        }
        line.assign(rec);
        ++u->console_lines;
        return r;
    }
    if (u->pos >= u->records.size()) {
        r.result = core::ReadResult::EndOfFile;
        r.record = static_cast<int>(u->records.size()) + 1;
        return r;
    }
    line = u->records[u->pos++];
    return r;
}

core::ReadOutcome Streams::read_free(int unit, std::span<const core::Target> targets) {
    std::string line;
    core::ReadOutcome r = readLine(unit, line);
    if (!r.done()) return r;
    r = core::read_free(line, targets);
    if (r.result == core::ReadResult::Error) r.record = lineNumber(unit);
    return r;
}

bool Streams::write_record(int unit, const core::Layout& layout, std::span<const core::Value> values) {
    Unit* u = find(unit);
    if (u == nullptr || !layout.ok()) return false;
    const bool check = !u->console && mustFit_.test(static_cast<std::size_t>(unit));
    const int firstRecord = static_cast<int>(u->pos) + 1;
    struct Sink final : core::RecordSink {
        Unit& u;
        const Console& console;
        Sink(Unit& unit_, const Console& console_) : u(unit_), console(console_) {}
        void put(std::string_view record) override {
            if (u.console) {
                consolePut(console, record);
                ++u.console_lines;
                return;
            }
            // A record written becomes the last record of the file.
            u.records.resize(u.pos);
            u.records.emplace_back(record);
            ++u.pos;
            u.dirty = true;
        }
    } sink(*u, console_);
    core::FieldOverflow overflow;
    core::writeTo(sink, layout, values, check ? &overflow : nullptr);
    if (overflow.any()) {
        noteOverflow(*u, overflow, firstRecord);
        return false;
    }
    return true;
}

void Streams::noteOverflow(Unit& u, const core::FieldOverflow& o, int firstRecord) {
    if (!u.failure.ok()) return;
    core::Status s = core::Status::error("a value does not fit its field", "the field is " + o.item + ", too narrow for it");
    s.file = u.name;
    s.line = firstRecord + o.record - 1;
    s.field = o.field;
    s.value = o.value;
    u.failure = s;
    failure_ = s;
}

void Streams::requireFit(int unit, bool on) {
    if (unit >= kFirstUnit && unit <= kLastUnit) mustFit_.set(static_cast<std::size_t>(unit), on);
}

core::Status Streams::unitFailure(int unit) const {
    Unit* u = find(unit);
    return u != nullptr ? u->failure : core::Status{};
}

bool Streams::writeLine(int unit, std::string_view line) {
    Unit* u = find(unit);
    if (u == nullptr) return false;
    if (u->console) {
        consolePut(console_, line);
        ++u->console_lines;
        return true;
    }
    u->records.resize(u->pos);
    u->records.emplace_back(line);
    ++u->pos;
    u->dirty = true;
    return true;
}

bool Streams::write_free(int unit, std::span<const core::Value> values) {
    return writeLine(unit, core::write_free(values));
}

bool Streams::rewind(int unit) {
    Unit* u = find(unit);
    if (u == nullptr) return false;
    u->pos = 0;
    return true;
}

bool Streams::backspace(int unit) {
    Unit* u = find(unit);
    if (u == nullptr) return false;
    if (u->pos > 0) --u->pos;
    return true;
}

bool Streams::end_file(int unit) {
    Unit* u = find(unit);
    if (u == nullptr) return false;
    if (u->console) return true;
    u->records.resize(u->pos);
    if (!u->onDisk()) return true;
    u->dirty = true;
    if (defer_ && !u->keep) return u->failure.ok();
    return save(*u);
}

bool Streams::close(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end()) return true;
    Unit* u = it->second;
    units_.erase(it);
    if (u->dirty && u->onDisk() && defer_ && !u->keep) {
        const bool ok = u->failure.ok();
        keepForCommit(u);
        return ok;
    }
    bool ok = true;
    if (u->dirty && u->onDisk()) ok = save(*u);
    delete u;
    return ok;
}

// A later file for the same target replaces the one kept before.
void Streams::keepForCommit(Unit* u) {
    const std::string key = targetKey(u->name);
    for (auto it = deferred_.begin(); it != deferred_.end(); ++it) {
        if (targetKey((*it)->name) == key) {
            delete *it;
            deferred_.erase(it);
            break;
        }
    }
    deferred_.push_back(u);
}

void Streams::deferSaves(bool on) { defer_ = on; }

std::vector<std::string> Streams::deferredNames() const {
    std::vector<std::string> names;
    for (const Unit* u : deferred_) names.push_back(u->name);
    return names;
}

core::Status Streams::commit(std::span<const int> units) {
    // The files of this commit: the deferred ones, then the open units (an
    // open unit writing the target of a deferred file supersedes it).
    std::vector<Unit*> files(deferred_.begin(), deferred_.end());
    for (int unit : units) {
        Unit* u = find(unit);
        if (u == nullptr || !u->onDisk() || !u->dirty) continue;
        const std::string key = targetKey(u->name);
        for (auto it = files.begin(); it != files.end(); ++it)
            if (targetKey((*it)->name) == key) {
                files.erase(it);
                break;
            }
        files.push_back(u);
    }
    for (Unit* u : files)
        if (!u->failure.ok()) return failure_ = u->failure;

    struct Pending {
        Unit* unit;
        fs::path target, tmp;
    };
    std::vector<Pending> pending;
    pending.reserve(files.size());
    {
        SignalsHeld held;
        auto removeFrom = [&](std::size_t first) {
            for (std::size_t k = first; k < pending.size(); ++k) ::unlink(pending[k].tmp.c_str());
        };
        // 1. Every temporary written and on the disk.
        for (Unit* u : files) {
            fs::path target = saveTarget(u->name);
            pending.push_back({u, target, temporaryName(target, u->number)});
            if (int err = writeTemporary(pending.back().tmp, u->records); err != 0) {
                removeFrom(0);
                return failure_ = writeFailure(u->name, err, "cannot write the output file");
            }
            std::error_code ec;
            fs::file_status old = fs::status(target, ec);
            if (!ec && fs::exists(old)) fs::permissions(pending.back().tmp, old.permissions(), ec);
        }
        // 2. The renames, one after the other.
        std::set<std::string> dirs;
        for (std::size_t k = 0; k < pending.size(); ++k) {
            if (std::rename(pending[k].tmp.c_str(), pending[k].target.c_str()) != 0) {
                const int err = errno;
                removeFrom(k);
                failure_ = writeFailure(pending[k].unit->name, err, "cannot replace the output file");
                if (k > 0) failure_.why += "; the files saved before it were replaced";
                return failure_;
            }
            dirs.insert(pending[k].target.parent_path().string());
        }
        for (const std::string& d : dirs) syncDirectory(d);
    }
    // 3. Saved: the deferred files are done with, the units closed.
    for (Unit* u : deferred_) delete u;
    deferred_.clear();
    for (int unit : units) {
        auto it = units_.find(unit);
        if (it == units_.end()) continue;
        it->second->dirty = false;
        delete it->second;
        units_.erase(it);
    }
    return core::Status::success();
}

void Streams::abandon(std::span<const int> units) {
    for (Unit* u : deferred_) delete u;
    deferred_.clear();
    for (int unit : units) discard(unit);
}

void Streams::discard(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end()) return;
    delete it->second;
    units_.erase(it);
}

void Streams::keepOnAbort(int unit, bool keep) {
    if (Unit* u = find(unit)) u->keep = keep;
}

bool Streams::closeAll() {
    bool ok = true;
    while (!units_.empty()) ok = close(units_.begin()->first) && ok;
    return ok;
}

bool Streams::inquire(std::string_view name) {
    std::string n = fileName(name);
    if (n.empty()) return false;
    std::error_code ec;
    return fs::is_regular_file(n, ec);
}

// Writes the records to a temporary file beside the target, flushes it to
// the disk and renames it over the target, so that the file on disk is
// either the old one or the complete new one.
bool Streams::save(Unit& u) {
    if (!u.failure.ok()) {
        failure_ = u.failure;
        return false;
    }
    fs::path target = saveTarget(u.name);
    fs::path tmp = temporaryName(target, u.number);
    SignalsHeld held;
    if (int err = writeTemporary(tmp, u.records); err != 0) {
        ::unlink(tmp.c_str());
        failure_ = writeFailure(u.name, err, "cannot write the output file");
        return false;
    }
    // Keep the permissions of the file being replaced.
    std::error_code ec;
    fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old)) fs::permissions(tmp, old.permissions(), ec);
    if (std::rename(tmp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        failure_ = writeFailure(u.name, err, "cannot replace the output file");
        return false;
    }
    syncDirectory(target.parent_path());
    u.dirty = false;
    return true;
}

std::vector<std::string> removeStaleTemporaries(std::span<const std::string> names) {
    std::set<std::string> dirs;
    for (const std::string& n : names) {
        std::string name = fileName(n);
        if (name.empty() || isConsoleName(name)) continue;
        dirs.insert(saveTarget(name).parent_path().string());
    }
    std::vector<std::string> removed;
    for (const std::string& d : dirs) {
        std::error_code ec;
        const fs::path dir = d.empty() ? fs::path(".") : fs::path(d);
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            const std::string file = entry.path().filename().string();
            long pid = 0;
            if (!parseTemporaryName(file, pid) || pid == static_cast<long>(::getpid()) || !processGone(pid))
                continue;
            std::error_code rc;
            if (!entry.is_regular_file(rc)) continue;
            const std::string shown = d.empty() ? file : (fs::path(d) / file).string();
            if (fs::remove(entry.path(), rc)) removed.push_back(shown);
        }
    }
    return removed;
}

}  // namespace io
