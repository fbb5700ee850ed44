#include "formula/recalc.hpp"

#include <algorithm>

namespace formula {

namespace {

// Is element e in the cation sum of `mode`?
bool inSum(int mode, int e) {
    if (isAnion(e)) return false;
    switch (mode) {
        case 2: return e != Si;
        case 3: return e <= Ca;
        case 4:
        case 5: return e <= Mg;
        default: return true;
    }
}

std::array<double, 3> percent(double a, double b, double c) {
    double s = a + b + c;
    if (s == 0) return {0, 0, 0};
    return {100 * a / s, 100 * b / s, 100 * c / s};
}

}  // namespace

Recalculation recalculate(const OxideValues& oxides, const RecalcParams& p) {
    Recalculation r;
    r.params = p;
    CationArray prop{};
    double n = 0, oxygensAll = 0;
    for (int e = 0; e < kElementCount; ++e) {
        prop[e] = static_cast<double>(oxides[e]) / static_cast<double>(kElements[e].weight);
        if (inSum(p.mode, e)) n += prop[e];
        oxygensAll += prop[e] * kElements[e].oxygens;
    }
    double scale = n > 0 ? p.cations / n : 0;
    double scale11 = oxygensAll > 0 ? 11.0 / oxygensAll : 0;
    for (int e = 0; e < kElementCount; ++e) {
        r.cations[e] = prop[e] * scale;
        r.perElevenO[e] = prop[e] * scale11;
    }
    for (int e = 0; e < kElementCount; ++e) {
        int q = (e == Si && p.mode == 2) ? 0 : kElements[e].charge;
        r.charge += r.cations[e] * q;
    }
    r.fe3Read = r.cations[Fe3];
    r.fe2Read = r.cations[Fe2];
    const double iron = r.fe3Read + r.fe2Read;
    const CationArray& c = r.cations;

    bool ruleApplies = true;
    if (p.tetrahedral != 0) {
        r.deficit = p.charge - r.charge;
        r.fe3Rule = r.deficit > 0 ? r.fe3Read + r.deficit : r.fe3Read;
    } else if (p.cations == 3) {
        r.fe3Rule = 2 - c[Al] - c[Cr] - c[V] - c[Ti];
    } else if (p.cations == 2) {
        r.fe3Rule = 1 - c[Ti] - c[Cr] - c[V] - c[Al];
    } else if (p.cations == 10) {
        r.fe3Rule = 0;
    } else {
        ruleApplies = false;  // no rule for this formula unit: iron as read
    }
    if (ruleApplies) {
        double fe3 = std::clamp(r.fe3Rule, 0.0, std::max(iron, 0.0));
        if (p.tetrahedral != 0 && r.fe3Rule > iron) r.ironShortfall = r.fe3Rule - iron;
        if (p.cations == 10 && p.tetrahedral == 0) {
            // No ferric iron in this formula unit: all iron is Fe2+.
            fe3 = 0;
        }
        r.cations[Fe3] = fe3;
        r.cations[Fe2] = iron - fe3;
    }
    for (int e = 0; e < kElementCount; ++e)
        if (!isAnion(e)) r.cationSum += r.cations[e];
    if (p.mode == 5 || (p.tetrahedral == 0 && p.cations == 10)) return r;

    double tetFromAl = std::max(p.tetrahedral - c[Si], 0.0);
    r.alIV = std::min(tetFromAl, c[Al]);
    r.alVI = std::max(c[Al] - tetFromAl, 0.0);
    return r;
}

Projections triangularProjections(const CationArray& c) {
    // Moles of oxide per formula unit.
    double al2o3 = c[Al] / 2, fe2o3 = c[Fe3] / 2, na2o = c[Na] / 2, k2o = c[K] / 2;
    double cao = c[Ca], mgo = c[Mg], feo = c[Fe2], mno = c[Mn], tio2 = c[Ti];
    double fAfm = feo + mno - tio2 - fe2o3;
    Projections p;
    p.acf = percent(al2o3 + fe2o3 - na2o - k2o, cao, feo + mgo + mno);
    p.afmMuscovite = percent(al2o3 - 3 * k2o - na2o - cao, fAfm, mgo);
    p.afmKfeldspar = percent(al2o3 - k2o - na2o - cao, fAfm, mgo);
    p.cfm = percent(cao, fAfm, mgo);
    return p;
}

}  // namespace formula
