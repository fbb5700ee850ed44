#include "formula/outputs.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <unistd.h>

#include "core/layout.hpp"
#include "core/text.hpp"

namespace formula {

namespace fs = std::filesystem;
using core::Status;


namespace {

std::string field(double v, int decimals, bool wide) {
    if (!wide) {
        std::string s = core::formatFixed(v, 5, decimals);
        if (s.find('*') == std::string::npos) return s + " ";
    }
    return core::formatFixed(v, 6, decimals);
}

}  // namespace

std::string compositionValueLine(const CompositionEntry& e) {
    std::string line = core::pad(e.code, 4) + " ";
    int n = static_cast<int>(e.values.size());
    for (int k = 0; k < n; ++k) {
        double v = e.values[k];
        if (e.code == "QTZ ") line += field(v, k == 0 ? 2 : 3, false);
        else if (e.code == "BIOT") line += field(v, 4, k >= (n < 7 ? 5 : 11));
        else if (e.code == "MICA") line += field(v, 4, k == 3);
        else line += field(v, 4, k == 15);
    }
    return std::string(core::rtrim(line));
}

Status CompositionFile::load(const std::string& path, CompositionFile& out) {
    out.items_.clear();
    std::error_code ec;
    if (!fs::exists(path, ec)) return Status::success();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Status s = Status::error("cannot read the composition file", std::strerror(errno));
        s.file = path;
        return s;
    }
    std::vector<std::string> lines;
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    for (std::size_t i = 0; i < lines.size();) {
        if (core::startsBlind(lines[i], "FIXE")) {
            // Keep the fixed-activity block as it is, up to its ENDFIX line.
            Item it;
            while (i < lines.size()) {
                it.lines.push_back(lines[i]);
                bool end = lines[i].compare(0, 4, "ENDF") == 0;
                ++i;
                if (end) break;
            }
            out.items_.push_back(std::move(it));
        } else if (i + 1 < lines.size() && !core::startsBlind(lines[i + 1], "FIXE")) {
            Item it;
            it.entry = true;
            it.code = core::pad(lines[i + 1].substr(0, std::min<std::size_t>(4, lines[i + 1].size())), 4);
            it.lines = {lines[i], lines[i + 1]};
            out.items_.push_back(std::move(it));
            i += 2;
        } else {
            Item it;
            it.lines = {lines[i]};
            out.items_.push_back(std::move(it));
            ++i;
        }
    }
    return Status::success();
}

void CompositionFile::put(const CompositionEntry& e) {
    Item it;
    it.entry = true;
    it.code = core::pad(e.code, 4);
    it.lines = {std::string(core::rtrim(core::pad(e.header, 140))), compositionValueLine(e)};
    for (Item& old : items_) {
        if (old.entry && old.code == it.code) {
            old = std::move(it);
            return;
        }
    }
    // A new mineral goes at the end (after a fixed-activity block too: the
    // reader skips the block while it searches).
    items_.push_back(std::move(it));
}

std::string CompositionFile::text() const {
    std::string t;
    for (const Item& it : items_)
        for (const std::string& l : it.lines) t.append(l).push_back('\n');
    return t;
}

int CompositionFile::entryCount() const {
    int n = 0;
    for (const Item& it : items_) n += it.entry ? 1 : 0;
    return n;
}

Status write_composition_entry(const std::string& path, const CompositionEntry& e) {
    CompositionFile f;
    Status s = CompositionFile::load(path, f);
    if (!s.ok()) return s;
    f.put(e);
    return writeFileAtomically(path, f.text());
}

namespace {

std::string textRecord(double x, double y, double size, double angle, std::string_view text) {
    using core::formatFixed;
    return formatFixed(x, 10, 3) + formatFixed(y, 10, 3) + formatFixed(size, 10, 3) + formatFixed(angle, 10, 3) +
           "     " + std::string(text);
}
std::string legendRecord(int a, int b) {
    return core::formatInteger(a, 5) + core::formatInteger(b, 5) + core::formatInteger(0, 5) +
           core::formatInteger(0, 5);
}

}  // namespace

std::string plotHeader(const std::string& fileName, const PlotFamily& f) {
    using core::formatFixed;
    std::string h = "Analysis\nConcentration\n";
    h += formatFixed(-0.5, 10, 3) + formatFixed(51.0, 10, 3) + formatFixed(-0.25, 10, 3) +
         formatFixed(f.yMax, 10, 3) + "\n";
    h += legendRecord(1, 0) + "\n" + textRecord(15.0, 0.9, 0.5, 0.0, fileName) + "\n";
    h += legendRecord(1, 0) + "\n" + textRecord(15.0, 0.8, 0.3, 0.0, f.title) + "\n";
    for (int k = 0; k < 3; ++k)
        h += legendRecord(1, k + 1) + "\n" +
             textRecord(30.0, 0.9 - 0.1 * k, 0.3, 0.0, std::to_string(k + 1) + ": " + f.series[k]) + "\n";
    return h;
}

void PlotFiles::add(const PlotSample& s, bool stay) {
    const PlotFamily* fam = plotFamily(s.family);
    if (fam == nullptr) return;
    auto it = current_.find(s.family);
    if (it == current_.end() || (files_[it->second].count >= 50 && !stay)) {
        int serial = serial_[s.family]++;
        File f;
        f.family = fam;
        f.name = s.family + (serial == 0 ? std::string() : std::to_string(serial)) + ".p";
        files_.push_back(std::move(f));
        current_[s.family] = static_cast<int>(files_.size()) - 1;
        it = current_.find(s.family);
    }
    File& f = files_[it->second];
    ++f.count;
    double x = f.count;
    for (int k = 0; k < 3; ++k)
        f.points.push_back(core::formatFixed(x, 10, 3) + core::formatFixed(s.values[k], 10, 3) +
                           core::formatInteger(k + 1, 2));
    if (f.count % 5 == 0) {
        // Axis tick: a point on the x axis with pen code 9.
        f.points.push_back(core::formatFixed(x, 10, 3) + core::formatFixed(-0.25, 10, 3) +
                           core::formatInteger(9, 2));
    }
}

std::map<std::string, std::string> PlotFiles::finish() const {
    std::map<std::string, std::string> out;
    for (const File& f : files_) {
        std::string t = plotHeader(f.name, *f.family);
        for (std::size_t i = 0; i < f.points.size(); i += 7) {
            for (std::size_t j = i; j < std::min(f.points.size(), i + 7); ++j) t += f.points[j];
            t += "\n";
        }
        out[f.name] = std::move(t);
    }
    return out;
}

}  // namespace formula
