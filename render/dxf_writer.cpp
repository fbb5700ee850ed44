#include "render/dxf_writer.hpp"

#include <charconv>

#include "render/fixed_decimals.hpp"

namespace render {
namespace {

class Dxf {
public:
    explicit Dxf(std::size_t expected) { out_.reserve(expected); }
    void pair(int code, std::string_view value) {
        groupCode(code);
        out_ += value;
        out_ += '\n';
    }
    // Six decimals, as printf's "%.6f" writes them.
    void real(int code, double v) {
        groupCode(code);
        appendFixed(out_, v, 6);
        out_ += '\n';
    }
    void integer(int code, int v) {
        groupCode(code);
        char buf[16];
        out_.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
        out_ += '\n';
    }
    std::string& text() { return out_; }

private:
    // The group code right-aligned in three columns, as printf's "%3d".
    void groupCode(int code) {
        char buf[16] = {' ', ' '};
        char* end = std::to_chars(buf + 2, buf + sizeof buf, code).ptr;
        const char* from = end - buf >= 5 ? buf + 2 : end - 3;
        *end++ = '\n';
        out_.append(from, static_cast<std::size_t>(end - from));
    }
    std::string out_;
};

// R12 text is single-byte: characters outside ASCII become '?'.
std::string ascii(std::string_view t) {
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c >= 0x20 && c < 0x7f) out += static_cast<char>(c);
        else if (c >= 0xc0 || c < 0x20) out += '?';  // start of a UTF-8 sequence, or a control character
    }
    return out;
}

struct LayerStyle {
    Layer layer;
    int colour;
    const char* linetype;
};
constexpr LayerStyle kLayers[] = {
    {Layer::Axes, 7, "CONTINUOUS"},   {Layer::Curves, 7, "CONTINUOUS"}, {Layer::Water, 5, "CONTINUOUS"},
    {Layer::Labels, 7, "CONTINUOUS"}, {Layer::Notes, 8, "CONTINUOUS"},  {Layer::Invariant, 1, "CONTINUOUS"},
    {Layer::Legend, 7, "CONTINUOUS"}, {Layer::Intersections, 6, "CONTINUOUS"},
};

}  // namespace

std::string figureToDxf(const Figure& f, const Provenance& p) {
    // About the size of the file, so that it is seldom moved while it grows.
    std::size_t vertices = 0;
    for (const FigurePolyline& pl : f.polylines) vertices += pl.points.size();
    Dxf d(4096 + 110 * f.lines.size() + 70 * vertices + 120 * f.polylines.size() + 160 * f.texts.size() +
          110 * f.markers.size());
    for (const std::string& line : provenanceLines(p)) d.pair(999, ascii(line));
    auto X = [&](PagePoint q) { return (q.x - f.frameLeft) / f.unit; };
    auto Y = [&](PagePoint q) { return f.plotHeight - (q.y - f.frameTop) / f.unit; };

    // Drawing extents: the page, in plot units.
    d.pair(0, "SECTION");
    d.pair(2, "HEADER");
    d.pair(9, "$ACADVER");
    d.pair(1, "AC1009");
    d.pair(9, "$INSBASE");
    d.real(10, 0);
    d.real(20, 0);
    d.real(30, 0);
    d.pair(9, "$EXTMIN");
    d.real(10, X({0, 0}));
    d.real(20, Y({0, f.pageHeight}));
    d.real(30, 0);
    d.pair(9, "$EXTMAX");
    d.real(10, X({f.pageWidth, 0}));
    d.real(20, Y({0, 0}));
    d.real(30, 0);
    d.pair(0, "ENDSEC");

    d.pair(0, "SECTION");
    d.pair(2, "TABLES");
    d.pair(0, "TABLE");
    d.pair(2, "LTYPE");
    d.integer(70, 1);
    d.pair(0, "LTYPE");
    d.pair(2, "CONTINUOUS");
    d.integer(70, 0);
    d.pair(3, "Solid line");
    d.integer(72, 65);
    d.integer(73, 0);
    d.real(40, 0);
    d.pair(0, "ENDTAB");
    d.pair(0, "TABLE");
    d.pair(2, "LAYER");
    // The layer of the intersection marks only when the figure has them.
    bool marks = false;
    for (const FigureMarker& m : f.markers) marks = marks || m.layer == Layer::Intersections;
    d.integer(70, static_cast<int>(std::size(kLayers)) - (marks ? 0 : 1));
    for (const LayerStyle& l : kLayers) {
        if (l.layer == Layer::Intersections && !marks) continue;
        d.pair(0, "LAYER");
        d.pair(2, layerName(l.layer));
        d.integer(70, 0);
        d.integer(62, l.colour);
        d.pair(6, l.linetype);
    }
    d.pair(0, "ENDTAB");
    d.pair(0, "TABLE");
    d.pair(2, "STYLE");
    d.integer(70, 1);
    d.pair(0, "STYLE");
    d.pair(2, "STANDARD");
    d.integer(70, 0);
    d.real(40, 0);
    d.real(41, 1);
    d.real(50, 0);
    d.integer(71, 0);
    d.real(42, 0.2);
    d.pair(3, "txt");
    d.pair(4, "");
    d.pair(0, "ENDTAB");
    d.pair(0, "ENDSEC");

    d.pair(0, "SECTION");
    d.pair(2, "ENTITIES");
    for (const FigureLine& l : f.lines) {
        d.pair(0, "LINE");
        d.pair(8, layerName(l.layer));
        d.real(10, X(l.a));
        d.real(20, Y(l.a));
        d.real(30, 0);
        d.real(11, X(l.b));
        d.real(21, Y(l.b));
        d.real(31, 0);
    }
    for (const FigurePolyline& pl : f.polylines) {
        d.pair(0, "POLYLINE");
        d.pair(8, layerName(pl.layer));
        d.integer(66, 1);
        d.real(10, 0);
        d.real(20, 0);
        d.real(30, 0);
        d.integer(70, 0);
        for (const PagePoint& q : pl.points) {
            d.pair(0, "VERTEX");
            d.pair(8, layerName(pl.layer));
            d.real(10, X(q));
            d.real(20, Y(q));
            d.real(30, 0);
        }
        d.pair(0, "SEQEND");
        d.pair(8, layerName(pl.layer));
    }
    for (const FigureMarker& m : f.markers) {
        d.pair(0, "CIRCLE");
        d.pair(8, layerName(m.layer));
        d.real(10, X(m.at));
        d.real(20, Y(m.at));
        d.real(30, 0);
        d.real(40, m.radius / f.unit);
    }
    for (const FigureText& t : f.texts) {
        d.pair(0, "TEXT");
        d.pair(8, layerName(t.layer));
        d.real(10, X(t.at));
        d.real(20, Y(t.at));
        d.real(30, 0);
        d.real(40, t.capHeight / f.unit);
        d.pair(1, ascii(t.text));
        if (t.angle != 0) d.real(50, t.angle);
        if (t.anchor != Anchor::Start) {
            // Centred or right-aligned: the alignment point carries the position.
            d.integer(72, t.anchor == Anchor::Middle ? 1 : 2);
            d.real(11, X(t.at));
            d.real(21, Y(t.at));
            d.real(31, 0);
        }
    }
    d.pair(0, "ENDSEC");
    d.pair(0, "EOF");
    return std::move(d.text());
}

}  // namespace render
