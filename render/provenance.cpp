#include "render/provenance.hpp"

#include <chrono>
#include <ctime>
#include <fstream>

#include "io/provenance.hpp"
#include "core/text.hpp"

namespace render {

core::Status describeDatabase(const std::string& path, Provenance& p) {
    const io::DataProvenance d = io::provenanceOf(io::kThermoDataRole, path, true);
    if (!d.read()) {
        core::Status s = core::Status::error("cannot read the database file", d.error);
        s.file = path;
        return s;
    }
    p.databaseFile = path;
    p.databaseLabel = d.label;
    p.databaseSha256 = d.sha256;
    return core::Status::success();
}

std::string isoDateNow() {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::string databaseLine(const Provenance& p) {
    if (p.databaseFile.empty()) return "database: not given";
    std::string s = "database: " + p.databaseFile + ", label \"" + p.databaseLabel + "\"";
    if (!p.databaseSha256.empty()) s += ", sha256 " + p.databaseSha256;
    return s;
}

std::vector<std::string> provenanceLines(const Provenance& p) {
    return {"program: " + (p.program.empty() ? std::string("not given") : p.program), databaseLine(p),
            "date: " + (p.date.empty() ? std::string("not given") : p.date)};
}

}  // namespace render
