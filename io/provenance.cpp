#include "io/provenance.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/checksum.hpp"
#include "core/text.hpp"

namespace io {
namespace {

constexpr std::size_t kRoleWidth = 13;
constexpr std::size_t kDigestLength = 64;
constexpr std::size_t kLabelFirst = 5, kLabelWidth = 13;  // columns 6-18 of the first line
constexpr std::string_view kDigestMark = "SHA-256 ";

bool isHexDigest(std::string_view s) {
    return s.size() == kDigestLength && s.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

DataProvenance provenanceOf(std::string_view role, const std::string& name, bool withLabel) {
    DataProvenance p;
    p.role = std::string(role);
    p.name = name;
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        p.error = std::strerror(errno != 0 ? errno : ENOENT);
        return p;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        p.error = "cannot be read";
        return p;
    }
    const std::string bytes = std::move(contents).str();
    p.sha256 = core::sha256Hex(bytes);
    if (withLabel) {
        std::string_view first(bytes);
        first = first.substr(0, first.find('\n'));
        if (first.size() > kLabelFirst) p.label = std::string(core::rtrim(first.substr(kLabelFirst, kLabelWidth)));
    }
    return p;
}

std::string provenanceLine(const DataProvenance& p) {
    std::string line = " " + core::pad(p.role, kRoleWidth + 1) + " " + p.name;
    if (!p.read()) return line + "  not read: " + p.error;
    if (!p.label.empty()) line += "  " + p.label;
    return line + "  " + std::string(kDigestMark) + p.sha256;
}

std::string provenanceRecord(const DataProvenance& p) {
    return std::string(kProvenanceRecordMark) + core::pad(p.role, kRoleWidth) + " " + std::string(kDigestMark) + p.sha256 +
           "  " + p.name;
}

bool isProvenanceRecord(std::string_view line) { return line.substr(0, kProvenanceRecordMark.size()) == kProvenanceRecordMark; }

bool readProvenanceRecord(std::string_view line, DataProvenance& out) {
    if (!isProvenanceRecord(line)) return false;
    line.remove_prefix(kProvenanceRecordMark.size());
    if (line.size() < kRoleWidth + 1 + kDigestMark.size() + kDigestLength + 2) return false;
    std::string_view role = core::rtrim(line.substr(0, kRoleWidth));
    line.remove_prefix(kRoleWidth);
    if (line.substr(0, 1 + kDigestMark.size()) != " SHA-256 ") return false;
    line.remove_prefix(1 + kDigestMark.size());
    std::string_view digest = line.substr(0, kDigestLength);
    line.remove_prefix(kDigestLength);
    if (role.empty() || !isHexDigest(digest) || line.substr(0, 2) != "  ") return false;
    std::string_view name = core::rtrim(line.substr(2));
    if (name.empty()) return false;
    out = DataProvenance{};
    out.role = std::string(role);
    out.sha256 = std::string(digest);
    out.name = std::string(name);
    return true;
}

}  // namespace io
