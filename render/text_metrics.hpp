// Widths of text as the figures draw it (DejaVu Sans), without a font
// library, so that every writer lays labels out the same way.
#pragma once
#include <string_view>

namespace render {

// Font family named in the written files.
constexpr const char* kFontFamily = "DejaVu Sans";
// Heights of DejaVu Sans as fractions of the font size (em).
constexpr double kCapHeightEm = 1493.0 / 2048.0;
constexpr double kDescentEm = 483.0 / 2048.0;

// Font size (em) whose capital letters are `capHeight` tall.
constexpr double fontSizeForCap(double capHeight) { return capHeight / kCapHeightEm; }

// Advance width of `text` set with capitals `capHeight` tall (same unit).
double textWidth(std::string_view text, double capHeight);

}  // namespace render
