#include "common/aqueous_reference.hpp"

#include <fstream>
#include <sstream>

#include "core/text.hpp"

namespace testsupport {
namespace {

std::vector<std::vector<std::string>> csvRows(const std::string& name) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(std::string(PELKAM_FIXTURES) + "/model/" + name);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<std::string> cells;
        std::stringstream s(line);
        for (std::string c; std::getline(s, c, ',');) cells.push_back(c);
        rows.push_back(cells);
    }
    return rows;
}

double number(const std::vector<std::string>& row, std::size_t i) {
    return i < row.size() && !row[i].empty() ? std::stod(row[i]) : 0.0;
}

}  // namespace

std::vector<AqueousReference> readAqueousReferences() {
    std::vector<AqueousReference> out;
    for (const auto& r : csvRows("aqueous-reference-values.csv"))
        out.push_back({r[0], r[1], r[2], r[3], number(r, 2), number(r, 3), number(r, 4), number(r, 5), number(r, 6)});
    return out;
}

std::vector<LogKReference> readLogKReferences() {
    std::vector<LogKReference> out;
    for (const auto& r : csvRows("aqueous-logk-values.csv"))
        out.push_back({r[0], r[1], r[2], number(r, 1), number(r, 2), number(r, 3)});
    return out;
}

std::vector<std::pair<std::string, double>> reactionTerms(const std::string& text) {
    std::vector<std::pair<std::string, double>> out;
    const std::size_t eq = text.find(" = ");
    const std::string sides[2] = {text.substr(0, eq), text.substr(eq + 3)};
    for (int side = 0; side < 2; ++side) {
        std::string rest = sides[side];
        while (!rest.empty()) {
            const std::size_t plus = rest.find(" + ");
            const std::string term = rest.substr(0, plus);
            rest = plus == std::string::npos ? "" : rest.substr(plus + 3);
            double c = 1.0;
            std::string name = term;
            if (const std::size_t blank = term.find(' '); blank != std::string::npos) {
                c = std::stod(term.substr(0, blank));
                name = term.substr(blank + 1);
            }
            name = core::upper(name);
            if (name == "H2(G)") name = "H2";
            out.emplace_back(name, side == 0 ? -c : c);
        }
    }
    return out;
}

std::string propsReaction(const std::string& text) {
    std::string s = text;
    if (const std::size_t g = s.find("H2(g)"); g != std::string::npos) s.replace(g, 5, "H2");
    return s;
}

}  // namespace testsupport
