#include "render/svg_writer.hpp"

#include <algorithm>
#include <map>

#include "render/fixed_decimals.hpp"
#include "render/text_metrics.hpp"

namespace render {
namespace {

// Two decimals at most, without trailing zeros ("12.5", "3", never "-0").
void put(std::string& s, double v) {
    const std::size_t from = s.size();
    appendFixed(s, v, 2);
    // Two decimals written ("inf" and "nan" have none): drop trailing zeros.
    if (s.size() >= from + 3 && s[s.size() - 3] == '.') {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s.size() == from + 2 && s[from] == '-' && s[from + 1] == '0') s.replace(from, 2, "0");
}

std::string num(double v) {
    std::string s;
    put(s, v);
    return s;
}

std::string escape(std::string_view t) {
    std::string out;
    for (char c : t) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                // Control characters are not allowed in XML 1.0.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

// "--" may not appear inside an XML comment.
std::string commentSafe(std::string t) {
    for (std::size_t at; (at = t.find("--")) != std::string::npos;) t.replace(at, 2, "- -");
    return t;
}

const char* colourOf(Layer l) {
    switch (l) {
        case Layer::Water: return "#1f5fbf";
        case Layer::Invariant: return "#c01818";
        case Layer::Notes: return "#333333";
        case Layer::Intersections: return "#8e24aa";
        default: return "#000000";
    }
}

}  // namespace

std::string figureToSvg(const Figure& f, const Provenance& p) {
    std::string s;
    // About the size of the file, so that it is seldom moved while it grows.
    std::size_t vertices = 0;
    for (const FigurePolyline& pl : f.polylines) vertices += pl.points.size();
    s.reserve(4096 + 40 * f.lines.size() + 16 * vertices + 120 * f.polylines.size() + 200 * f.texts.size() +
              60 * f.markers.size());
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    for (const std::string& line : provenanceLines(p)) s += "<!-- " + commentSafe(escape(line)) + " -->\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + num(f.pageWidth) + "pt\" height=\"" +
         num(f.pageHeight) + "pt\" viewBox=\"0 0 " + num(f.pageWidth) + " " + num(f.pageHeight) + "\">\n";
    s += "<title>" + escape(f.title) + "</title>\n";
    s += "<metadata>\n";
    s += "  <program>" + escape(p.program) + "</program>\n";
    if (p.databaseFile.empty()) {
        s += "  <database>not given</database>\n";
    } else {
        s += "  <database file=\"" + escape(p.databaseFile) + "\" label=\"" + escape(p.databaseLabel) +
             "\" sha256=\"" + escape(p.databaseSha256) + "\"/>\n";
    }
    s += "  <date>" + escape(p.date) + "</date>\n";
    s += "</metadata>\n";
    s += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    s += "<defs><clipPath id=\"frame\"><rect x=\"" + num(f.frameLeft) + "\" y=\"" + num(f.frameTop) + "\" width=\"" +
         num(f.frameWidth) + "\" height=\"" + num(f.frameHeight) + "\"/></clipPath></defs>\n";

    // Frame and ticks: one path per line width.
    s += "<g id=\"AXES\" stroke=\"#000000\" fill=\"none\" stroke-linecap=\"square\">\n";
    std::map<double, std::string> byWidth;
    for (const FigureLine& l : f.lines) {
        std::string& d = byWidth[l.width];
        d += 'M';
        put(d, l.a.x);
        d += ' ';
        put(d, l.a.y);
        d += 'L';
        put(d, l.b.x);
        d += ' ';
        put(d, l.b.y);
    }
    for (const auto& [width, d] : byWidth) s += "<path stroke-width=\"" + num(width) + "\" d=\"" + d + "\"/>\n";
    s += "</g>\n";

    for (Layer layer : {Layer::Water, Layer::Curves, Layer::Intersections}) {
        if (layer == Layer::Intersections &&
            std::none_of(f.polylines.begin(), f.polylines.end(), [](const FigurePolyline& p) { return p.layer == Layer::Intersections; }))
            continue;
        s += std::string("<g id=\"") + layerName(layer) + "\" clip-path=\"url(#frame)\" fill=\"none\" stroke=\"" +
             colourOf(layer) + "\" stroke-width=\"" + (layer == Layer::Water ? "0.6" : "0.75") +
             "\" stroke-linejoin=\"round\" stroke-linecap=\"round\">\n";
        for (const FigurePolyline& pl : f.polylines) {
            if (pl.layer != layer) continue;
            s += "<polyline class=\"";
            s += layer == Layer::Water ? "water" : layer == Layer::Curves ? "curve" : "ellipse";
            if (pl.dashed) s += "\" stroke-dasharray=\"3 2";
            s += "\" data-curve=\"";
            s += std::to_string(pl.curve);
            s += "\" data-stretch=\"";
            s += std::to_string(pl.stretch);
            s += "\" points=\"";
            for (std::size_t i = 0; i < pl.points.size(); ++i) {
                if (i > 0) s += ' ';
                put(s, pl.points[i].x);
                s += ',';
                put(s, pl.points[i].y);
            }
            s += "\"/>\n";
        }
        s += "</g>\n";
    }

    for (Layer layer : {Layer::Invariant, Layer::Intersections}) {
        const bool any = std::any_of(f.markers.begin(), f.markers.end(), [&](const FigureMarker& m) { return m.layer == layer; });
        if (!any && layer == Layer::Intersections) continue;
        s += std::string("<g id=\"") + layerName(layer) + "\" fill=\"" + colourOf(layer) + "\">\n";
        for (const FigureMarker& m : f.markers)
            if (m.layer == layer)
                s += "<circle cx=\"" + num(m.at.x) + "\" cy=\"" + num(m.at.y) + "\" r=\"" + num(m.radius) + "\"/>\n";
        s += "</g>\n";
    }

    for (Layer layer : {Layer::Axes, Layer::Notes, Layer::Invariant, Layer::Labels, Layer::Legend, Layer::Intersections}) {
        if (layer == Layer::Intersections &&
            std::none_of(f.texts.begin(), f.texts.end(), [](const FigureText& t) { return t.layer == Layer::Intersections; }))
            continue;
        s += std::string("<g id=\"") + layerName(layer) + "-TEXT\" font-family=\"" + kFontFamily +
             ", Verdana, sans-serif\" fill=\"" + colourOf(layer) + "\">\n";
        const char* cls = layer == Layer::Labels ? "label"
                          : layer == Layer::Notes ? "note"
                          : layer == Layer::Invariant ? "invariant"
                          : layer == Layer::Legend ? "legend"
                          : layer == Layer::Intersections ? "intersection"
                                                   : "axis";
        for (const FigureText& t : f.texts) {
            if (t.layer != layer) continue;
            s += "<text class=\"";
            s += cls;
            s += "\" x=\"";
            put(s, t.at.x);
            s += "\" y=\"";
            put(s, t.at.y);
            s += "\" font-size=\"";
            put(s, fontSizeForCap(t.capHeight));
            s += '"';
            if (t.anchor == Anchor::Middle) s += " text-anchor=\"middle\"";
            if (t.anchor == Anchor::End) s += " text-anchor=\"end\"";
            if (t.angle != 0) {
                s += " transform=\"rotate(";
                put(s, -t.angle);
                s += ' ';
                put(s, t.at.x);
                s += ' ';
                put(s, t.at.y);
                s += ")\"";
            }
            if (t.halo) {
                s += " stroke=\"#ffffff\" stroke-width=\"";
                put(s, 0.3 * t.capHeight);
                s += "\" stroke-linejoin=\"round\" paint-order=\"stroke\"";
            }
            s += '>';
            s += escape(t.text);
            s += "</text>\n";
        }
        s += "</g>\n";
    }
    s += "</svg>\n";
    return s;
}

}  // namespace render
