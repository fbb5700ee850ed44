// The amphibole scheme: formula, site filling and the Mg-Fe distribution
// between M4 and the octahedral M1-M3 sites.
#include <algorithm>
#include <cmath>

#include "core/layout.hpp"
#include "formula/schemes.hpp"

namespace formula {

namespace {

double ratio(double a, double b) { return b == 0 ? 0 : a / b; }

// Fe2+ on M4 for the order constant K = (Fe/Mg)M4 / (Fe/Mg)M1-M3, with n4
// Mg + Fe on M4 and mg, fe in all.  Solves fe4 (mgC) = K fe_C (n4 - fe4) by
// bisection; g(fe4) rises with fe4 over the feasible interval.  `converged`
// is false when the iteration limit is met first.
double ironOnM4(double n4, double mg, double fe, double k, bool& converged) {
    double lo = std::max(0.0, n4 - mg), hi = std::min(n4, fe);
    converged = true;
    if (!(hi > lo)) return std::max(0.0, lo);
    auto g = [&](double f) { return f * (mg - (n4 - f)) - k * (fe - f) * (n4 - f); };
    constexpr int kLimit = 100;
    constexpr double kTolerance = 1e-10;
    for (int it = 0; it < kLimit; ++it) {
        double mid = 0.5 * (lo + hi);
        if (g(mid) > 0) hi = mid;
        else lo = mid;
        if (hi - lo < kTolerance) return 0.5 * (lo + hi);
    }
    converged = false;
    return 0.5 * (lo + hi);
}

}  // namespace

void detail::amphibole(SchemeResult& r, const Analysis& a, const SchemeOptions& o) {
    // Formula on 23 oxygens (46 charges, anhydrous) with Fe3+ by charge
    // balance at 13 cations excluding Ca, Na and K (Leake et al. 1997, Can.
    // Mineral. 35, 219-246; Schumacher 1997, ibid. 35, 238-246).  When that
    // formula breaks the stoichiometry, the 23-oxygen formula with iron as
    // read is used instead.
    Recalculation x = recalculate(a.oxides, {13, 46, 8, 4});
    const CationArray& c0 = x.cations;
    bool broken = c0[Si] > 8 || c0[Ca] > 2 || x.cationSum - std::max(0.0, c0[F]) - std::max(0.0, c0[Cl]) > 16.0001;
    if (broken) {
        r.log.push_back("This amphibole violates stoichiometric constraints");
        Recalculation y;
        y.params = {0, 46, 8, 1};
        for (int e = 0; e < kElementCount; ++e) y.cations[e] = x.perElevenO[e] * 23.0 / 11.0;
        y.perElevenO = x.perElevenO;
        for (int e = 0; e < kElementCount; ++e) {
            if (!isAnion(e)) y.cationSum += y.cations[e];
            y.charge += y.cations[e] * kElements[e].charge;
        }
        y.fe3Read = y.fe3Rule = y.cations[Fe3];
        y.fe2Read = y.cations[Fe2];
        y.alIV = std::min(std::max(8 - y.cations[Si], 0.0), y.cations[Al]);
        y.alVI = std::max(y.cations[Al] - std::max(8 - y.cations[Si], 0.0), 0.0);
        x = y;
    }
    detail::logRecalculation(r, x);
    r.passes.push_back(x);
    const CationArray& c = x.cations;
    double fe3 = o.ferric ? c[Fe3] : 0;
    double fe = o.ferric ? c[Fe2] : c[Fe2] + c[Fe3];
    r.fe3Used = fe3;

    // T: Si, then Al to eight; all tetrahedral Al on T1 (four sites).
    double alT = x.alIV;
    // C: M2 (two sites) takes octahedral Al, Fe3+, Ti and Cr; Mg, Fe2+ and Mn
    // fill M2's rest and M1+M3 (three sites).
    double m2High = x.alVI + fe3 + c[Ti] + c[Cr];
    double m2Room = std::max(0.0, 2 - m2High);
    double cRoom = m2Room + 3;
    double divalent = c[Mg] + fe + c[Mn];
    // B (M4, two sites): what C cannot hold, then Ca, then Na.
    double onM4 = std::max(0.0, divalent - cRoom);
    double mnM4 = std::min(c[Mn], onM4);
    double n4 = onM4 - mnM4;
    double caM4 = c[Ca];
    double naB = std::clamp(2 - caM4 - onM4, 0.0, c[Na]);
    double naA = c[Na] - naB, kA = c[K];
    double vA = 1 - naA - kA;
    bool converged = true;
    double feM4 = ironOnM4(n4, c[Mg], fe, o.amphiboleOrderConstant, converged);
    if (!converged) r.log.push_back("Mg/Fe site distribution not converging in KOSP");
    double mgM4 = n4 - feM4;
    double mgC = c[Mg] - mgM4, feC = fe - feM4, mnC = c[Mn] - mnM4;
    double xMgC = ratio(mgC, mgC + feC);
    double mgM2 = std::min(m2Room * xMgC, mgC), feM2 = std::min(m2Room * (1 - xMgC), feC);
    if (!broken && (m2High > 2.0001 || caM4 + onM4 > 2.0001 || vA < -0.0001 || divalent + m2High < 4.9999))
        r.log.push_back("This amphibole violates stoichiometric constraints");
    double f = std::max(0.0, c[F]), cl = std::max(0.0, c[Cl]);
    double oh = std::max(0.0, 2 - f - cl);

    const std::pair<const char*, double> sites[] = {
        {"NaA", naA},           {"KA", kA},               {"vA", vA},              {"MgM2", mgM2 / 2},
        {"FeM2", feM2 / 2},     {"AlM2", x.alVI / 2},     {"Fe3M", fe3 / 2},       {"TiM2", c[Ti] / 2},
        {"CaM4", caM4 / 2},     {"MgM4", mgM4 / 2},       {"FeM4", feM4 / 2},      {"MnM4", mnM4 / 2},
        {"MgM1", (mgC - mgM2) / 3}, {"FeM1", (feC - feM2) / 3}, {"MnM1", mnC / 3}, {"SiT1", (4 - alT) / 4},
        {"AlT1", alT / 4},      {"OO3", 0.0},             {"OHO3", oh / 2},        {"FO3", f / 2},
    };
    for (const auto& [name, v] : sites) r.fractions.push_back({name, v});
    CompositionEntry e;
    e.code = "AMPH";
    e.header =
        "AMPH [NaA ][K A ][v A ][MgM2][FeM2][AlM2][Fe3M][TiM2][CaM4][MgM4][FeM4][MnM4][MgM1][FeM1][MnM1][SiT1][AlT1]"
        "[O O3][OHO3][FO3]";
    for (const Fraction& fr : r.fractions) e.values.push_back(fr.value);
    r.entry = std::move(e);
    r.log.push_back("          A: Na" + core::formatFixed(naA, 7, 3) + "  K" + core::formatFixed(kA, 7, 3) +
                    "  B: Ca" + core::formatFixed(caM4, 7, 3) + "  Na" + core::formatFixed(naB, 7, 3) +
                    "  Mg+Fe+Mn" + core::formatFixed(onM4, 7, 3) + "  T: Al" + core::formatFixed(alT, 7, 3));
    r.plot.family = "amph";
    r.plot.values[0] = c[Al];
    r.plot.values[1] = c[Na];
    r.plot.values[2] = ratio(fe, fe + c[Mg]);
}

}  // namespace formula
