#include "render/provenance.hpp"

#include <chrono>
#include <ctime>
#include <fstream>

#include "records/checksum.hpp"
#include "records/text.hpp"

namespace render {

records::Status describeDatabase(const std::string& path, Provenance& p) {
    std::ifstream in(path, std::ios::binary);
    std::string first;
    if (!in || !std::getline(in, first)) {
        records::Status s = records::Status::error("cannot read the database file", "no such file or not readable");
        s.file = path;
        return s;
    }
    std::optional<std::string> sum = records::sha256_of_file(path);
    if (!sum) {
        records::Status s = records::Status::error("cannot read the database file", "its contents could not be read");
        s.file = path;
        return s;
    }
    p.databaseFile = path;
    // The label: line 1, columns 6 to 18.
    p.databaseLabel = first.size() > 5 ? std::string(records::trim(std::string_view(first).substr(5, 13))) : "";
    p.databaseSha256 = *sum;
    return records::Status::success();
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
