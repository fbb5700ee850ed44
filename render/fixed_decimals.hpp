// Numbers with a fixed count of decimals, as printf's "%.Nf" writes them,
// without printf's cost: the drawings write tens of thousands of them.
#pragma once
#include <charconv>
#include <cmath>
#include <string>

namespace render {

// Appends `v` with `decimals` (0 to 9) decimals, the same text as
// printf("%.*f", decimals, v).
inline void appendFixed(std::string& out, double v, int decimals) {
    static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    static constexpr unsigned long long kPower[] = {1,      10,      100,      1000,      10000,
                                                    100000, 1000000, 10000000, 100000000, 1000000000};
    const double r = v * kScale[decimals];
    const double n = std::nearbyint(r);
    // The scaled value is exact to within 2^-12 below 2^40, so it rounds as
    // the exact decimal value does unless it lies next to a half.  Those,
    // large values, infinities and NaN take the exact, slower route.
    if (!(std::abs(r) < 0x1p40) || std::abs(r - n) > 0.499) {
        char buf[400];  // room for the largest double
        const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
        if (res.ec == std::errc()) out.append(buf, res.ptr);
        return;
    }
    char buf[32];
    char* end = buf + sizeof buf;
    char* p = end;
    unsigned long long whole = static_cast<unsigned long long>(std::abs(n));
    unsigned long long part = whole % kPower[decimals];
    whole /= kPower[decimals];
    if (decimals > 0) {
        for (int k = 0; k < decimals; ++k, part /= 10) *--p = static_cast<char>('0' + part % 10);
        *--p = '.';
    }
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    if (std::signbit(v)) *--p = '-';  // printf keeps the sign of a negative value that rounds to zero
    out.append(p, end);
}

}  // namespace render
