#include "render/cairo_figure.hpp"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "render/text_metrics.hpp"

namespace render {
namespace {

constexpr double kPi = 3.14159265358979323846;

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void colour(cairo_t* cr, Layer l) {
    switch (l) {
        case Layer::Water: cairo_set_source_rgb(cr, 0x1f / 255.0, 0x5f / 255.0, 0xbf / 255.0); return;
        case Layer::Invariant: cairo_set_source_rgb(cr, 0xc0 / 255.0, 0x18 / 255.0, 0x18 / 255.0); return;
        case Layer::Notes: cairo_set_source_rgb(cr, 0.2, 0.2, 0.2); return;
        case Layer::Intersections: cairo_set_source_rgb(cr, 0x8e / 255.0, 0x24 / 255.0, 0xaa / 255.0); return;
        default: cairo_set_source_rgb(cr, 0, 0, 0); return;
    }
}

void draw(cairo_t* cr, const Figure& f) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const FigureLine& l : f.lines) {
        cairo_set_line_width(cr, l.width);
        cairo_move_to(cr, l.a.x, l.a.y);
        cairo_line_to(cr, l.b.x, l.b.y);
        cairo_stroke(cr);
    }

    cairo_save(cr);
    cairo_rectangle(cr, f.frameLeft, f.frameTop, f.frameWidth, f.frameHeight);
    cairo_clip(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (Layer layer : {Layer::Water, Layer::Curves, Layer::Intersections}) {
        colour(cr, layer);
        cairo_set_line_width(cr, layer == Layer::Water ? 0.6 : 0.75);
        for (const FigurePolyline& pl : f.polylines) {
            if (pl.layer != layer || pl.points.empty()) continue;
            const double dash[2] = {3, 2};
            cairo_set_dash(cr, dash, pl.dashed ? 2 : 0, 0);
            cairo_move_to(cr, pl.points[0].x, pl.points[0].y);
            for (std::size_t i = 1; i < pl.points.size(); ++i) cairo_line_to(cr, pl.points[i].x, pl.points[i].y);
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);

    for (const FigureMarker& m : f.markers) {
        colour(cr, m.layer);
        cairo_new_path(cr);
        cairo_arc(cr, m.at.x, m.at.y, m.radius, 0, 2 * kPi);
        cairo_fill(cr);
    }

    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    for (const FigureText& t : f.texts) {
        if (t.text.empty()) continue;
        cairo_save(cr);
        cairo_set_font_size(cr, fontSizeForCap(t.capHeight));
        cairo_translate(cr, t.at.x, t.at.y);
        cairo_rotate(cr, -t.angle * kPi / 180);
        double dx = 0;
        if (t.anchor != Anchor::Start) {
            cairo_text_extents_t e;
            cairo_text_extents(cr, t.text.c_str(), &e);
            dx = t.anchor == Anchor::Middle ? -e.x_advance / 2 : -e.x_advance;
        }
        cairo_move_to(cr, dx, 0);
        cairo_text_path(cr, t.text.c_str());
        if (t.halo) {
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_set_line_width(cr, 0.3 * t.capHeight);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_stroke_preserve(cr);
        }
        colour(cr, t.layer);
        cairo_fill(cr);
        cairo_restore(cr);
    }
}

core::Status cairoFailure(const char* what, cairo_status_t st) {
    return core::Status::error(what, cairo_status_to_string(st));
}

// CRC-32 of PNG chunks (ISO 3309).
std::uint32_t crc32(const unsigned char* p, std::size_t n, std::uint32_t c = 0xffffffffu) {
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    return c;
}

void putBE(std::string& s, std::uint32_t v) {
    for (int k = 3; k >= 0; --k) s += static_cast<char>((v >> (8 * k)) & 0xff);
}

// A tEXt chunk: keyword, NUL, text (Latin-1; the texts here are ASCII).
std::string textChunk(const std::string& keyword, const std::string& text) {
    std::string body = "tEXt" + keyword + '\0' + text;
    std::string chunk;
    putBE(chunk, static_cast<std::uint32_t>(body.size() - 4));
    chunk += body;
    putBE(chunk, crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()) ^ 0xffffffffu);
    return chunk;
}

// Cairo and fontconfig keep the fonts they loaded until the program ends;
// they are let go after each drawing (nothing else of the program uses them)
// so that the program ends with everything it allocated given back.
void releaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace

core::Status figureToPdf(const Figure& f, const Provenance& p, std::string& out) {
    out.clear();
    cairo_surface_t* s = cairo_pdf_surface_create_for_stream(appendBytes, &out, f.pageWidth, f.pageHeight);
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_TITLE, f.title.c_str());
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_CREATOR, p.program.c_str());
    const std::string db = databaseLine(p);
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_SUBJECT, db.c_str());
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_KEYWORDS, ("date: " + p.date).c_str());
    cairo_t* cr = cairo_create(s);
    draw(cr, f);
    cairo_show_page(cr);
    const cairo_status_t st = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(s);
    const cairo_status_t st2 = cairo_surface_status(s);
    cairo_surface_destroy(s);
    releaseFontCaches();
    if (st != CAIRO_STATUS_SUCCESS) return cairoFailure("cannot draw the PDF", st);
    if (st2 != CAIRO_STATUS_SUCCESS) return cairoFailure("cannot write the PDF", st2);
    return core::Status::success();
}

core::Status figureToPng(const Figure& f, const Provenance& p, double dpi, std::string& out) {
    out.clear();
    double scale = std::clamp(dpi, 10.0, 1200.0) / 72.0;
    const double longest = std::max(f.pageWidth, f.pageHeight) * scale;
    if (longest > 16000) scale *= 16000 / longest;
    const int width = std::max(1, static_cast<int>(std::ceil(f.pageWidth * scale)));
    const int height = std::max(1, static_cast<int>(std::ceil(f.pageHeight * scale)));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        const cairo_status_t st = cairo_surface_status(s);
        cairo_surface_destroy(s);
        return cairoFailure("cannot make the image", st);
    }
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, scale, scale);
    draw(cr, f);
    const cairo_status_t st = cairo_status(cr);
    cairo_destroy(cr);
    std::string png;
    const cairo_status_t st2 = st == CAIRO_STATUS_SUCCESS ? cairo_surface_write_to_png_stream(s, appendBytes, &png) : st;
    cairo_surface_destroy(s);
    releaseFontCaches();
    if (st2 != CAIRO_STATUS_SUCCESS) return cairoFailure("cannot make the PNG", st2);

    // The provenance as text chunks right after the header chunk (signature
    // 8 bytes, IHDR 25 bytes).
    constexpr std::size_t kAfterHeader = 8 + 25;
    if (png.size() < kAfterHeader || png.compare(12, 4, "IHDR") != 0)
        return core::Status::error("cannot make the PNG", "unexpected image data");
    std::string chunks = textChunk("Title", f.title) + textChunk("Software", p.program) +
                         textChunk("Source", databaseLine(p)) + textChunk("Creation Time", p.date);
    out = png.substr(0, kAfterHeader) + chunks + png.substr(kAfterHeader);
    return core::Status::success();
}

}  // namespace render
