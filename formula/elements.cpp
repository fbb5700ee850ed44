#include "formula/elements.hpp"

#include <cctype>

namespace formula {

const std::array<ElementData, kElementCount> kElements = {{
    {"Si", 60.086f, 2.0, 4},  {"Ti", 79.89f, 2.0, 4},  {"Al", 50.98f, 1.5, 3},   {"Fe3", 79.84f, 1.5, 3},
    {"Fe2", 71.85f, 1.0, 2},  {"Mn", 70.94f, 1.0, 2},  {"Mg", 40.31f, 1.0, 2},   {"Ca", 56.08f, 1.0, 2},
    {"Na", 30.98f, 0.5, 1},   {"K", 47.10f, 0.5, 1},   {"Cr", 76.01f, 1.5, 3},   {"Ba", 153.36f, 1.0, 2},
    {"Ni", 74.71f, 1.0, 2},   {"F", 19.0f, 0.0, 0},    {"Zn", 81.37f, 1.0, 2},   {"Nb", 132.906f, 2.5, 5},
    {"V", 74.942f, 1.5, 3},   {"Sr", 103.62f, 1.0, 2}, {"Cl", 35.453f, 0.0, 0},
}};

// V2O5 is placed as the V2O3 of the same vanadium: 149.88 / 181.88 g of
// V2O3 per g of V2O5.  SO3, P2O5 and H2O have no cation of the
// recalculation; they count in the analysis sum only.
const std::array<OxideLabel, kOxideLabelCount> kOxideLabels = {{
    {"SIO2", Si, 1.0},   {"TIO2", Ti, 1.0},  {"AL2O3", Al, 1.0}, {"CR2O3", Cr, 1.0}, {"FEO", Fe2, 1.0},
    {"MNO", Mn, 1.0},    {"MGO", Mg, 1.0},   {"CAO", Ca, 1.0},   {"NA2O", Na, 1.0},  {"K2O", K, 1.0},
    {"TOTAL", -1, 1.0},  {"BAO", Ba, 1.0},   {"NIO", Ni, 1.0},   {"F", F, 1.0},      {"ZNO", Zn, 1.0},
    {"NB2O5", Nb, 1.0},  {"V2O3", V, 1.0},   {"SRO", Sr, 1.0},   {"CL", Cl, 1.0},    {"FE2O3", Fe3, 1.0},
    {"SO3", -1, 1.0},    {"P2O5", -1, 1.0},  {"TOT", -1, 1.0},   {"V2O5", V, 149.88 / 181.88},
    {"H2O", -1, 1.0},
}};

std::optional<int> matchOxideLabel(std::string_view token) {
    if (token.empty() || token.size() > 5) return std::nullopt;
    std::string t;
    for (char c : token) {
        char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        t.push_back(u == '0' ? 'O' : u);
    }
    for (int i = 0; i < kOxideLabelCount; ++i) {
        std::string_view name = kOxideLabels[i].name;
        if (t == name) return i;
    }
    return std::nullopt;
}

}  // namespace formula
