#include "render/text_metrics.hpp"

#include <array>

namespace render {
namespace {

// Advance widths of DejaVu Sans (units of 1/2048 em) for ' ' to '~'.
constexpr std::array<short, 95> kAdvance = {
    651,  821,  942,  1716, 1303, 1946, 1597, 563,  799,  799,  1024, 1716, 651,  739,  651,  690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,  690,  1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604,  604,  1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799,  690,  799,  1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721,  1300, 1298, 569,  569,  1186, 569,  1995, 1298, 1253,
    1300, 1300, 842,  1067, 803,  1298, 1212, 1675, 1212, 1212, 1075, 1303, 690,  1303, 1716};
constexpr int kOtherAdvance = 1300;  // characters outside the table: an average letter

}  // namespace

double textWidth(std::string_view text, double capHeight) {
    long units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 32 && c < 127) {
            units += kAdvance[c - 32];
        } else if (c >= 0x80 && c < 0xC0) {
            continue;  // continuation byte of a UTF-8 sequence
        } else {
            units += kOtherAdvance;
        }
    }
    return static_cast<double>(units) / 2048.0 * fontSizeForCap(capHeight);
}

}  // namespace render
