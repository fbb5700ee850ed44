#include "render/tables.hpp"

#include <charconv>
#include <cstdio>

namespace render {
namespace {

std::string number(double v) {
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Means of several ends: seven significant digits are plenty.
std::string rounded(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.7g", v);
    return buf;
}

}  // namespace

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos && (text.empty() || (text.front() != ' ' && text.back() != ' ')))
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string curvePointsCsv(const io::PlotFileContents& plot, const DiagramDescription& diagram) {
    std::string s = "curve,reaction,stretch,x,y,flag\n";
    for (const CurveDescription& c : diagram.curves) {
        if (c.water) continue;
        const auto& pts = plot.curves[static_cast<std::size_t>(c.index)].points;
        const std::string head = std::to_string(c.number) + "," + csvField(c.reaction) + ",";
        for (std::size_t k = 0; k < c.stretches.size(); ++k)
            for (int i = c.stretches[k].first; i <= c.stretches[k].last; ++i) {
                const calc::CurvePoint& p = pts[static_cast<std::size_t>(i)];
                s += head + std::to_string(k + 1) + "," + number(p.x) + "," + number(p.y) + "," +
                     std::to_string(p.flag) + "\n";
            }
    }
    return s;
}

std::string invariantPointsCsv(const std::vector<InvariantPoint>& points) {
    std::string s = "point,x,y,curves,phases\n";
    for (const InvariantPoint& p : points) {
        std::string curves, phases;
        for (int c : p.curves) curves += (curves.empty() ? "" : " ") + std::to_string(c);
        for (const std::string& ph : p.phases) phases += (phases.empty() ? "" : " + ") + ph;
        s += std::to_string(p.number) + "," + rounded(p.x) + "," + rounded(p.y) + "," + csvField(curves) + "," +
             csvField(phases) + "\n";
    }
    return s;
}

}  // namespace render
