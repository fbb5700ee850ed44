#include "records/streams.hpp"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

namespace records {

namespace fs = std::filesystem;

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

std::string_view strip_cr(std::string_view s) {
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
}

// Names are fixed-width fields: trailing blanks are not part of the name.
std::string file_name(std::string_view name) {
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    return std::string(name);
}

// Reads a whole file into records; \n and \r\n both end a line, and a last
// line without a line end is a record too.
bool load_file(const std::string& path, std::vector<std::string>& records) {
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
        records.emplace_back(strip_cr(std::string_view(data).substr(start, end - start)));
        start = end + 1;
    }
    return true;
}

// The file a save replaces: a symbolic link is followed, so that the link
// stays and its target gets the new contents.
fs::path save_target(const std::string& name) {
    fs::path p(name);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(p, ec))) {
        fs::path real = fs::canonical(p, ec);
        if (!ec) return real;
    }
    return p;
}

fs::path temporary_name(const fs::path& target, int unit) {
    std::string tmp(1, '.');
    tmp.append(target.filename().string());
    tmp.append(1, '.').append(std::to_string(static_cast<long>(::getpid())));
    tmp.append(1, '.').append(std::to_string(unit)).append(".tmp");
    return target.parent_path() / tmp;
}

// Can a file be created next to `target`?  Tried by creating and removing the
// temporary file that a save would use.
bool can_create(const std::string& name, int unit) {
    if (name.empty()) return false;
    fs::path tmp = temporary_name(save_target(name), unit);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr) return false;
    std::fclose(f);
    std::error_code ec;
    fs::remove(tmp, ec);
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

    bool on_disk() const { return !console && mode != OpenMode::Scratch; }
};

bool is_console_name(std::string_view name) {
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
        if (u->keep && u->dirty && u->on_disk()) save(*u);
        delete u;
    }
    units_.clear();
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
    u->name = file_name(name);
    u->mode = mode;
    if (is_console_name(name)) {
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
            if (!load_file(u->name, u->records)) return kCannotRead;
            break;
        }
        case OpenMode::NewOrReplace: {
            if (u->name.empty()) return kCannotCreate;
            fs::file_status st = fs::status(u->name, ec);
            if (fs::exists(st) && !fs::is_regular_file(st)) return kNotRegular;
            if (!can_create(u->name, unit)) return kCannotCreate;
            u->dirty = true;  // an empty file is created even if nothing is written
            break;
        }
        case OpenMode::Append: {
            if (u->name.empty()) return kCannotCreate;
            fs::file_status st = fs::status(u->name, ec);
            bool exists = fs::exists(st);
            if (exists && !fs::is_regular_file(st)) return kNotRegular;
            if (exists && !load_file(u->name, u->records)) return kCannotRead;
            if (!can_create(u->name, unit)) return kCannotCreate;
            u->pos = u->records.size();
            u->dirty = !exists;
            break;
        }
    }
    units_[unit] = u.release();
    return kOpenOk;
}

bool Streams::is_open(int unit) const { return find(unit) != nullptr; }

bool Streams::is_console(int unit) const {
    Unit* u = find(unit);
    return u != nullptr && u->console;
}

std::string Streams::name(int unit) const {
    Unit* u = find(unit);
    return u ? u->name : std::string();
}

int Streams::line_number(int unit) const {
    Unit* u = find(unit);
    if (u == nullptr) return 0;
    return u->console ? u->console_lines : static_cast<int>(u->pos);
}

namespace {

class ConsoleSource final : public RecordSource {
public:
    explicit ConsoleSource(const Console& console) : console_(console) {}
    bool next(std::string_view& record) override {
        bool ok;
        if (console_.read_line) {
            ok = console_.read_line(line_);
        } else {
            ok = static_cast<bool>(std::getline(std::cin, line_));
        }
        if (!ok) return false;
        record = strip_cr(line_);
        return true;
    }

private:
    const Console& console_;
    std::string line_;
};

class RecordsSource final : public RecordSource {
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

ReadOutcome not_readable(int unit) {
    ReadOutcome r;
    r.result = ReadResult::Error;
    r.text = "unit " + std::to_string(unit) + " is not open for reading";
    return r;
}

void console_put(const Console& console, std::string_view line) {
    if (console.write_line) {
        console.write_line(line);
    } else {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

}  // namespace

ReadOutcome Streams::read_record(int unit, const Layout& layout, std::span<const Target> targets) {
    Unit* u = find(unit);
    if (u == nullptr || !u->readable) return not_readable(unit);
    int used = 0;
    ReadOutcome r;
    int before;
    if (u->console) {
        ConsoleSource source(console_);
        before = u->console_lines;
        r = read_from(source, layout, targets, used);
        int got = r.result == ReadResult::EndOfFile ? used - 1 : used;
        u->console_lines += got;
    } else {
        RecordsSource source(u->records, u->pos);
        before = static_cast<int>(u->pos);
        r = read_from(source, layout, targets, used);
        u->pos = std::min(u->records.size(), u->pos + static_cast<std::size_t>(used));
    }
    if (r.result != ReadResult::Done && r.record > 0) r.record += before;
    return r;
}

ReadOutcome Streams::read_line(int unit, std::string& line) {
    Unit* u = find(unit);
    if (u == nullptr || !u->readable) return not_readable(unit);
    ReadOutcome r;
    if (u->console) {
        ConsoleSource source(console_);
        std::string_view rec;
        if (!source.next(rec)) {
            r.result = ReadResult::EndOfFile;
            r.record = u->console_lines + 1;
            return r;
        }
        line.assign(rec);
        ++u->console_lines;
        return r;
    }
    if (u->pos >= u->records.size()) {
        r.result = ReadResult::EndOfFile;
        r.record = static_cast<int>(u->records.size()) + 1;
        return r;
    }
    line = u->records[u->pos++];
    return r;
}

ReadOutcome Streams::read_free(int unit, std::span<const Target> targets) {
    std::string line;
    ReadOutcome r = read_line(unit, line);
    if (!r.done()) return r;
    r = records::read_free(line, targets);
    if (r.result == ReadResult::Error) r.record = line_number(unit);
    return r;
}

bool Streams::write_record(int unit, const Layout& layout, std::span<const Value> values) {
    Unit* u = find(unit);
    if (u == nullptr || !layout.ok()) return false;
    struct Sink final : RecordSink {
        Unit& u;
        const Console& console;
        Sink(Unit& unit_, const Console& console_) : u(unit_), console(console_) {}
        void put(std::string_view record) override {
            if (u.console) {
                console_put(console, record);
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
    write_to(sink, layout, values);
    return true;
}

bool Streams::write_line(int unit, std::string_view line) {
    Unit* u = find(unit);
    if (u == nullptr) return false;
    if (u->console) {
        console_put(console_, line);
        ++u->console_lines;
        return true;
    }
    u->records.resize(u->pos);
    u->records.emplace_back(line);
    ++u->pos;
    u->dirty = true;
    return true;
}

bool Streams::write_free(int unit, std::span<const Value> values) {
    return write_line(unit, records::write_free(values));
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
    if (!u->on_disk()) return true;
    u->dirty = true;
    return save(*u);
}

bool Streams::close(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end()) return true;
    Unit* u = it->second;
    bool ok = true;
    if (u->dirty && u->on_disk()) ok = save(*u);
    delete u;
    units_.erase(it);
    return ok;
}

void Streams::discard(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end()) return;
    delete it->second;
    units_.erase(it);
}

void Streams::keep_on_abort(int unit, bool keep) {
    if (Unit* u = find(unit)) u->keep = keep;
}

bool Streams::close_all() {
    bool ok = true;
    while (!units_.empty()) ok = close(units_.begin()->first) && ok;
    return ok;
}

bool Streams::inquire(std::string_view name) {
    std::string n = file_name(name);
    if (n.empty()) return false;
    std::error_code ec;
    return fs::is_regular_file(n, ec);
}

// Writes the records to a temporary file beside the target and renames it
// over the target, so that the file on disk is either the old one or the
// complete new one.
bool Streams::save(Unit& u) {
    fs::path target = save_target(u.name);
    fs::path tmp = temporary_name(target, u.number);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = true;
    for (const std::string& r : u.records) {
        if (std::fwrite(r.data(), 1, r.size(), f) != r.size() || std::fputc('\n', f) == EOF) {
            ok = false;
            break;
        }
    }
    if (std::fclose(f) != 0) ok = false;
    std::error_code ec;
    if (ok) {
        // Keep the permissions of the file being replaced.
        fs::file_status old = fs::status(target, ec);
        if (!ec && fs::exists(old)) fs::permissions(tmp, old.permissions(), ec);
        ok = std::rename(tmp.c_str(), target.c_str()) == 0;
    }
    if (!ok) {
        fs::remove(tmp, ec);
        return false;
    }
    u.dirty = false;
    return true;
}

}  // namespace records
