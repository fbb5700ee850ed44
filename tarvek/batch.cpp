#include "tarvek/batch.hpp"

#include <filesystem>
#include <fstream>

#include "core/text.hpp"
#include "io/files.hpp"

namespace formula {

namespace {

std::vector<std::string> readLines(std::ifstream& in) {
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(std::move(l));
    }
    return lines;
}

bool firstTwoBlank(std::string_view l) { return core::isBlank(l.substr(0, std::min<std::size_t>(l.size(), 2))); }

// The prefix up to its first double blank.
std::string prefixText(std::string_view p) {
    std::size_t b = core::findBlanks(p, 2);
    return std::string(core::trim(p.substr(0, b)));
}

}  // namespace

BatchLine parseBatchLine(std::string_view raw) {
    std::string line = core::pad(core::rtrim(raw), 80);
    std::vector<std::string> f;
    std::size_t pos = 0;
    while (f.size() < 4) {
        std::size_t comma = line.find(',', pos);
        if (comma == std::string::npos) break;
        f.push_back(line.substr(pos, comma - pos));
        pos = comma + 1;
    }
    std::string rest = line.substr(std::min(pos, line.size()));
    std::size_t sixth = rest.find(',');
    if (sixth != std::string::npos) rest.resize(sixth);
    f.resize(4);
    BatchLine b;
    b.prefix = prefixText(f[0]);
    for (int k = 0; k < 3; ++k) b.options[k] = std::string(core::trim(f[k + 1])).substr(0, 40);
    std::string field5(core::trim(rest));
    b.listBlank = field5.empty();
    if (!field5.empty() && field5[0] == '*') b.listFile = std::string(core::trim(field5.substr(1)));
    else b.listFile = b.prefix + field5;
    return b;
}

core::Status runBatch(const std::string& batchFile, const OxideRunOptions& base, BatchReport& report,
                          const std::function<void(std::string_view)>& progress) {
    report = {};
    std::string batchName = io::resolveInputName(batchFile);
    std::ifstream in(batchName, std::ios::binary);
    std::error_code ec;
    if (!in || !std::filesystem::is_regular_file(batchName, ec)) {
        core::Status s = core::Status::error("Cannot open file BATCH.DAT - check & rerun ");
        s.file = batchFile;
        return s;
    }
    for (const std::string& raw : readLines(in)) {
        if (firstTwoBlank(raw)) break;
        BatchLine b = parseBatchLine(raw);
        if (!b.listBlank) {
            std::string listName = io::resolveInputName(b.listFile);
            std::ifstream list(listName, std::ios::binary);
            if (!list || !std::filesystem::is_regular_file(listName, ec)) {
                report.messages.push_back("Cannot open file " + b.listFile);
                if (progress) progress(report.messages.back());
                continue;
            }
            for (const std::string& entry : readLines(list)) {
                std::string e = core::pad(core::rtrim(entry), 40);
                if (firstTwoBlank(e)) break;
                std::string name(core::trim(e));
                std::size_t cut = name.find_first_of(". ");
                if (cut != std::string::npos) name.resize(cut);
                OxideRunOptions o = base;
                o.baseName = b.prefix + name;
                if (progress) progress(o.baseName);
                core::Status s = run_oxide_file(o);
                if (s.ok()) {
                    ++report.filesDone;
                } else {
                    ++report.filesFailed;
                    report.messages.push_back(s.what);
                    if (progress) progress(s.what);
                }
            }
        }
        if (b.listBlank) break;
    }
    return core::Status::success();
}

}  // namespace formula
