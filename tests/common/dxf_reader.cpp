#include "common/dxf_reader.hpp"
#include "core/text.hpp"

#include <cstdlib>
#include <sstream>

namespace testdxf {
namespace {

using core::trimmed;

}  // namespace

std::string read(const std::string& content, Drawing& out) {
    out = Drawing{};
    std::istringstream in(content);
    std::vector<std::pair<int, std::string>> pairs;
    std::string code, value;
    int line = 0;
    while (std::getline(in, code)) {
        ++line;
        if (!std::getline(in, value)) return "odd number of lines: group code at line " + std::to_string(line) + " has no value";
        ++line;
        const std::string c = trimmed(code);
        char* end = nullptr;
        const long n = std::strtol(c.c_str(), &end, 10);
        if (c.empty() || *end != '\0') return "not a group code at line " + std::to_string(line - 1) + ": " + code;
        if (!value.empty() && value.back() == '\r') value.pop_back();
        pairs.emplace_back(static_cast<int>(n), value);
    }
    std::size_t i = 0;
    bool inSection = false, sawEof = false;
    std::string section;
    Entity* polyline = nullptr;
    while (i < pairs.size()) {
        const auto& [g, v] = pairs[i];
        if (g == 999) {
            out.comments.push_back(v);
            ++i;
            continue;
        }
        if (g != 0) return "expected group 0, found " + std::to_string(g) + " (" + v + ")";
        const std::string type = trimmed(v);
        ++i;
        if (type == "EOF") {
            if (inSection) return "EOF inside a section";
            sawEof = true;
            break;
        }
        if (type == "SECTION") {
            if (inSection) return "SECTION inside a section";
            if (i >= pairs.size() || pairs[i].first != 2) return "SECTION without a name";
            section = trimmed(pairs[i].second);
            out.sections.push_back(section);
            inSection = true;
            ++i;
            // The header section is variables (group 9 and a value), no entities.
            while (i < pairs.size() && pairs[i].first != 0) ++i;
            continue;
        }
        if (type == "ENDSEC") {
            if (!inSection) return "ENDSEC outside a section";
            if (polyline != nullptr) return "POLYLINE without SEQEND";
            inSection = false;
            continue;
        }
        if (!inSection) return "entity " + type + " outside a section";
        // The entity's own groups, up to the next group 0.
        Entity e;
        e.type = type;
        bool hasX = false;
        for (; i < pairs.size() && pairs[i].first != 0; ++i) {
            const int gc = pairs[i].first;
            const std::string& val = pairs[i].second;
            switch (gc) {
                case 8: e.layer = trimmed(val); break;
                case 1: e.text = val; break;
                case 10: e.x = std::atof(val.c_str()); hasX = true; break;
                case 20: e.y = std::atof(val.c_str()); break;
                case 40: e.height = std::atof(val.c_str()); break;
                case 50: e.rotation = std::atof(val.c_str()); break;
                default: break;
            }
        }
        if (section != "ENTITIES") continue;
        if (type == "POLYLINE") {
            if (polyline != nullptr) return "POLYLINE inside a POLYLINE";
            out.entities.push_back(e);
            polyline = &out.entities.back();
        } else if (type == "VERTEX") {
            if (polyline == nullptr) return "VERTEX outside a POLYLINE";
            if (!hasX) return "VERTEX without coordinates";
            polyline->vertices.emplace_back(e.x, e.y);
        } else if (type == "SEQEND") {
            if (polyline == nullptr) return "SEQEND without a POLYLINE";
            polyline = nullptr;
        } else {
            if (polyline != nullptr) return type + " inside a POLYLINE";
            out.entities.push_back(e);
        }
    }
    if (!sawEof) return "no EOF";
    if (i != pairs.size()) return "data after EOF";
    return "";
}

}  // namespace testdxf
