#include "formula/schemes.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/layout.hpp"
#include "core/text.hpp"

namespace formula {


namespace {

using core::formatFixed;

constexpr double kR = 8.3143;  // J/(mol K)

double ratio(double a, double b) { return b == 0 ? 0 : a / b; }

std::string fx(double v, int w, int d) { return formatFixed(v, w, d); }

// A number of the header's number field: F3.2, or F5.2 when it does not fit
// in three columns (1.93 would be asterisks).
std::string headerNumber(double v) {
    std::string s = formatFixed(v, 3, 2);
    if (s.find('*') != std::string::npos) s = core::trim(formatFixed(v, 6, 2));
    return s;
}
std::string calcUsed(double calc, double used) { return headerNumber(calc) + "-" + headerNumber(used); }

const std::array<PlotFamily, 9> kFamilies = {{
    {"garn", "Si Al A Sum fname FeMg Xgr", {"nGr", "Fe/Fe+Mg", "xSp"}, 1.0},
    {"biot", "Biotite Fe Ti Al", {"Fe/Fe+Mg", "nTi", "nAl"}, 3.0},
    {"cpx", "Si Ca Sum", {"nAl/10", "Fe/Fe+Mg", "nNa"}, 1.0},
    {"opx", "Orthopyroxene Fe Al Ca", {"Fe/Fe+Mg", "nAl", "nCa"}, 1.0},
    {"plag", "Tet A Sum", {"Tet", "A", "Sum"}, 5.5},
    {"KSPR", "Tet A Sum", {"Tet", "A", "Sum"}, 5.5},
    {"cord", "Cordierite Fe Na Ca", {"Fe/Fe+Mg", "nNa", "nCa"}, 1.0},
    {"oliv", "Olivine Fe Ca Ni", {"Fe/Fe+Mg", "nCa", "nNi"}, 1.0},
    {"amph", "xNa(A) Sum", {"nAl", "nNa", "Fe/Fe+Mg"}, 4.0},
}};

void setPlot(SchemeResult& r, const char* family, double a, double b, double c) {
    r.plot.family = family;
    r.plot.values[0] = a;
    r.plot.values[1] = b;
    r.plot.values[2] = c;
}

void add(SchemeResult& r, std::string name, double v) { r.fractions.push_back({std::move(name), v}); }

void entry(SchemeResult& r, std::string code, std::string header) {
    CompositionEntry e;
    e.code = core::pad(code, 4);
    e.header = std::move(header);
    for (const Fraction& f : r.fractions) e.values.push_back(f.value);
    r.entry = std::move(e);
}

// The lines every recalculation writes to the log.
void writeRecalculationLog(SchemeResult& r, const Recalculation& x) {
    const RecalcParams& p = x.params;
    r.log.push_back("          Cations: " + fx(p.cations, 4, 0) + " charge:" + fx(p.charge, 4, 0) +
                    " tetrahedral:" + fx(p.tetrahedral, 3, 0) + " mode:" + std::to_string(p.mode));
    std::string names = "          ", values = "          ";
    for (int e = 0; e < kElementCount; ++e) {
        if (x.cations[e] == 0 && e > Cr) continue;
        names += core::pad(std::string(7 - std::string(kElements[e].name).size(), ' ') + kElements[e].name, 7);
        values += fx(x.cations[e], 7, 3);
    }
    r.log.push_back(names);
    r.log.push_back(values);
    r.log.push_back("          Sum:" + fx(x.cationSum, 8, 3) + "  Charge:" + fx(x.charge, 8, 3) +
                    "  Deficit:" + fx(x.deficit, 8, 3) + "  AlIV:" + fx(x.alIV, 7, 3) + "  AlVI:" + fx(x.alVI, 7, 3));
    if (x.fe3Read > 0 || x.fe3Rule != x.cations[Fe3])
        r.log.push_back("          Fe3+ read:" + fx(x.fe3Read, 7, 3) + "  rule:" + fx(x.fe3Rule, 7, 3) +
                        "  kept:" + fx(x.cations[Fe3], 7, 3) + " (total iron" + fx(x.totalIron(), 7, 3) + ")");
    if (x.ironShortfall > 0)
        r.log.push_back("          Charge deficit exceeds the iron present: all iron as Fe3+, surplus" +
                        fx(x.ironShortfall, 7, 3));
    const CationArray& c = x.cations;
    r.log.push_back("          Fe3/(Fe3+Fe2):" + fx(ratio(c[Fe3], c[Fe3] + c[Fe2]), 7, 3) +
                    "   Mg/(Fe2+Mg):" + fx(ratio(c[Mg], c[Fe2] + c[Mg]), 7, 3));
    Projections pr = triangularProjections(c);
    auto tri = [&](const char* head, const std::array<double, 3>& t) {
        r.log.push_back(std::string(head) + fx(t[0], 10, 3) + fx(t[1], 10, 3) + fx(t[2], 10, 3));
    };
    r.log.push_back("==> Triangular coordinates, projected from felds, ilm and mt");
    tri("          ACF:      ", pr.acf);
    tri("          AFM(Musc):", pr.afmMuscovite);
    tri("          AFM(Ksp): ", pr.afmKfeldspar);
    tri("          CFM:      ", pr.cfm);
}

Recalculation pass(SchemeResult& r, const Analysis& a, RecalcParams p) {
    Recalculation x = recalculate(a.oxides, p);
    writeRecalculationLog(r, x);
    r.passes.push_back(x);
    return x;
}

// Iron as the site models use it: with ferric iron on, Fe3+ as calculated and
// Fe = Fe2+; otherwise no Fe3+ and all iron as Fe2+.
struct Iron {
    double fe3, fe;
};
Iron ironUsed(const Recalculation& x, bool ferric) {
    if (ferric) return {x.cations[Fe3], x.cations[Fe2]};
    return {0, x.cations[Fe2] + x.cations[Fe3]};
}

// ---- garnet -------------------------------------------------------------

// Activities of the X-site end-members (Gr, Py, Alm, Sp) of a ternary
// regular solution with only the Ca-Mg interaction non-ideal, after Hodges &
// Spear (1982, Am. Mineral. 67, 1118-1134): W(CaMg) = 3300 - 1.5 T cal per
// site; RT ln g(Ca) = W XMg (1 - XCa), RT ln g(Mg) = W XCa (1 - XMg),
// RT ln g(Fe) = RT ln g(Mn) = -W XCa XMg; a = (X g)^3.  T in K.
std::array<double, 4> garnetActivitiesHs82(const std::array<double, 4>& x, double tK) {
    double w = (3300.0 - 1.5 * tK) * 4.184;
    double rt = kR * tK;
    double xCa = x[0], xMg = x[1];
    double g[4] = {std::exp(w * xMg * (1 - xCa) / rt), std::exp(w * xCa * (1 - xMg) / rt),
                   std::exp(-w * xCa * xMg / rt), std::exp(-w * xCa * xMg / rt)};
    std::array<double, 4> a{};
    for (int i = 0; i < 4; ++i) a[i] = std::pow(x[i] * g[i], 3);
    return a;
}

std::array<double, 4> xSite(const CationArray& c, double fe2) {
    double s = c[Ca] + c[Mg] + fe2 + c[Mn];
    return {ratio(c[Ca], s), ratio(c[Mg], s), ratio(fe2, s), ratio(c[Mn], s)};
}

void garnet(SchemeResult& r, const Analysis& a, const SchemeOptions& o) {
    r.log.push_back("==> Assuming all cations occupy 8 sites and total cationic charge is 24");
    Recalculation p1 = pass(r, a, {8, 24, 3, 1});
    r.log.push_back("==> Assuming all cations except Si occupy 5 sites and total cationic charge is 12");
    r.log.push_back("    except for Si (Si fills three sites)");
    pass(r, a, {5, 12, 2, 2});
    // The end-member fractions come from the first pass: 8 cations on 12
    // oxygens is the garnet formula unit of the charge-balance estimate.
    const CationArray& c = p1.cations;
    double feT = p1.totalIron();
    double calc = c[Fe3];
    double used = o.garnet3Percent ? 0.03 * feT : (o.ferric ? calc : 0);
    r.fe3Used = used;
    std::array<double, 4> x = xSite(c, feT - used);
    double ySum = c[Al] + c[Cr] + used;
    double andr = ratio(used, ySum), uv = ratio(c[Cr], ySum);
    r.log.push_back("==> Mol fraction end-members");
    r.log.push_back("          Alm:" + fx(x[2], 8, 6) + "    Sp:" + fx(x[3], 8, 6) + "    Py:" + fx(x[1], 8, 6) +
                    "    Gr:" + fx(x[0], 8, 6) + "    And:" + fx(andr, 8, 6));
    r.log.push_back("          Uv :" + fx(uv, 8, 6));
    auto act_line = [&](const std::array<double, 4>& v) {
        r.log.push_back("          aGr:" + fx(v[0], 9, 6) + "  aPy:" + fx(v[1], 9, 6) + "  aAlm:" + fx(v[2], 9, 6) +
                        "  aSp:" + fx(v[3], 9, 6));
    };
    auto cube = [](const std::array<double, 4>& v) {
        std::array<double, 4> q{};
        for (int i = 0; i < 4; ++i) q[i] = v[i] * v[i] * v[i];
        return q;
    };
    std::array<double, 4> xAllFe2 = xSite(c, feT), xFerric = xSite(c, feT - calc);
    r.log.push_back("==> Ideal activities (fraction cubed)");
    r.log.push_back("==> Activities assuming no andradite - i.e. All iron as +2 ");
    act_line(cube(xAllFe2));
    r.log.push_back("==> Activities taking account of calculated ferric iron");
    act_line(cube(xFerric));
    r.log.push_back("==> Non-ideal activities at T =" + fx(o.temperatureK, 8, 2) +
                    " K, Ca-Mg interaction of Hodges & Spear (1982)");
    act_line(garnetActivitiesHs82(x, o.temperatureK));
    add(r, "Gr", x[0]);
    add(r, "Py", x[1]);
    add(r, "Alm", x[2]);
    add(r, "Sp", x[3]);
    entry(r, "GARN", "GARN [-Gr-][-Py-][-Alm][-Sp-]  Fe3+:calc-3%-used " + calcUsed(calc, used));
    r.fractions.push_back({"And", andr});
    r.fractions.push_back({"Uv", uv});
    double fe2 = feT - used;
    setPlot(r, "garn", x[0], ratio(fe2, fe2 + c[Mg]) - o.garnetOffset, x[3]);
}

// ---- biotite ------------------------------------------------------------

// Biotite is normalised to seven cations over Si, Ti, Al, Fe3+, Fe2+, Mn and
// Mg (four tetrahedral and three octahedral sites), leaving the interlayer
// K, Na, Ca and Ba out of the sum.
constexpr RecalcParams kBiotite{7, 22, 4, 4};

struct BiotiteSites {
    double mgM1, feM1, tiM1, alM1, f3M1, vM1, mgM2, feM2, f3M2;
};
// M1 (one site) takes the vacancy, Ti, octahedral Al and then Fe3+; Fe3+
// beyond its room goes to M2 (two sites); Mg and Fe2+ fill the rest of both
// in the ratio of the analysis.
BiotiteSites biotiteSites(const Recalculation& x, double fe3, double fe) {
    const CationArray& c = x.cations;
    double oct = x.alVI + c[Ti] + fe3 + fe + c[Mn] + c[Mg] + c[Cr];
    BiotiteSites s{};
    s.vM1 = std::max(0.0, 3 - oct);
    s.tiM1 = c[Ti];
    s.alM1 = x.alVI;
    double room = std::max(0.0, 1 - s.vM1 - s.tiM1 - s.alM1);
    s.f3M1 = std::min(fe3, room);
    s.f3M2 = fe3 - s.f3M1;
    double r1 = std::max(0.0, room - s.f3M1);
    double xMg = ratio(c[Mg], c[Mg] + fe);
    s.mgM1 = std::min(r1 * xMg, c[Mg]);
    s.feM1 = std::min(r1 * (1 - xMg), fe);
    s.mgM2 = c[Mg] - s.mgM1;
    s.feM2 = fe - s.feM1;
    return s;
}

double hydroxylFraction(const CationArray& c) {
    return std::clamp((2 - std::max(0.0, c[F]) - std::max(0.0, c[Cl])) / 2, 0.0, 1.0);
}

void biotite(SchemeResult& r, const Analysis& a, const SchemeOptions& o, std::string_view code) {
    Recalculation x = pass(r, a, kBiotite);
    const CationArray& c = x.cations;
    double feT = x.totalIron();
    if (code == "BIEX") {
        const CationArray& e = x.perElevenO;
        double tet = std::max(0.0, 4 - e[Si]);
        double oct = 0;
        for (int i : {Ti, Fe3, Fe2, Mn, Mg, Cr}) oct += e[i];
        oct += std::max(0.0, e[Al] - tet);
        double sum = 0;
        for (double v : e) sum += v;
        r.log.push_back(" Si/11    Al/11     Mg/11   K/11  Al-tot  Al4 - 1  Al6Ms(Al6/2)  Ms(vac) Sum");
        r.log.push_back(fx(e[Si], 7, 3) + fx(e[Al], 9, 3) + fx(e[Mg], 10, 3) + fx(e[K], 7, 3) + fx(e[Al], 8, 3) +
                        fx(tet - 1, 9, 3) + fx(std::max(0.0, e[Al] - tet) / 2, 14, 3) + fx(3 - oct, 9, 3) +
                        fx(sum, 7, 3));
        setPlot(r, "biot", ratio(feT, feT + c[Mg]), c[Ti], x.alVI);
        return;
    }
    double calc = c[Fe3];
    double fe3, fe;
    std::string header;
    if (code == "BIO6") {
        // Fe3+/Fe: the value given after the analysis, else the calculated
        // one with ferric iron on, else 12 % (Guidotti & Dyar 1991, Am.
        // Mineral. 76, 161-175, for ilmenite-bearing graphitic pelites).
        double share = (a.extraValue > 0 && a.extraValue < 1) ? a.extraValue
                       : o.ferric                             ? ratio(calc, feT)
                                                               : 0.12;
        fe3 = share * feT;
        fe = feT - fe3;
    } else {
        Iron i = ironUsed(x, o.ferric);
        fe3 = i.fe3;
        fe = i.fe;
    }
    r.fe3Used = fe3;
    BiotiteSites s = biotiteSites(x, fe3, fe);
    double xOH = hydroxylFraction(c);
    if (code == "BIO6") {
        add(r, "MgM2", s.mgM2 / 2);
        add(r, "FeM2", s.feM2 / 2);
        add(r, "F3M2", s.f3M2 / 2);
        add(r, "MgM1", s.mgM1);
        add(r, "FeM1", s.feM1);
        add(r, "TiM1", s.tiM1);
        add(r, "AlM1", s.alM1);
        add(r, "F3M1", s.f3M1);
        add(r, "vM1", s.vM1);
        add(r, "Al4", x.alIV / 4);
        add(r, "Si4", c[Si] / 4);
        add(r, "xK", c[K]);
        add(r, "xOH", xOH);
        add(r, "xFl", std::max(0.0, c[F]) / 2);
        header = "BIOT [MgM2][FeM2][F3M2][MgM1][FeM1][TiM1][AlM1][F3M1][-vM1][Al4-][-Si4][-xK-][-xOH][-xFl] - Fe3:12%-calc " +
                 calcUsed(calc, fe3);
    } else {
        add(r, "xMg", c[Mg] / 3);
        add(r, "xFe", fe / 3);
        add(r, "xTi", c[Ti] / 3);
        add(r, "xAl", x.alVI / 3);
        if (code == "BIO1") {
            header = "BIOT [xMg-][xFe-][-xTi][-xAl][-xK-][-xOH]";
        } else {
            add(r, "F3M2", s.f3M2 / 2);
            add(r, "MgM1", s.mgM1);
            add(r, "FeM1", s.feM1);
            header = "BIOT [xMg-][xFe-][-xTi][-xAl][F3M2][MgM1][FeM1][-xK-][-xOH]";
        }
        add(r, "xK", c[K]);
        add(r, "xOH", xOH);
    }
    entry(r, "BIOT", header);
    setPlot(r, "biot", ratio(feT, feT + c[Mg]), c[Ti], x.alVI);
}

// ---- pyroxenes ----------------------------------------------------------

void clinopyroxene(SchemeResult& r, const Analysis& a, const SchemeOptions& o, bool eightSites) {
    Recalculation x = pass(r, a, {4, 12, 2, 1});
    const CationArray& c = x.cations;
    double ca = c[Ca] == 0 ? 1e-6 : c[Ca];
    Iron i = ironUsed(x, o.ferric);
    r.fe3Used = i.fe3;
    // Jadeite Al (Na not balanced by Fe3+) and half of the rest (Ca-Tschermak)
    // on M1, never more than the Al of the analysis.
    double alM1 = std::clamp((c[Na] - i.fe3) + (c[Al] - (c[Na] - i.fe3)) / 2, 0.0, c[Al]);
    double r1 = std::max(0.0, 1 - c[Cr] - i.fe3 - alM1 - c[Ti]);
    double xMg = ratio(c[Mg], i.fe + c[Mg]);
    double mgM1 = std::min(r1 * xMg, c[Mg]);
    double feM1 = std::min(r1 * (1 - xMg), i.fe);
    double r2 = 1 - c[Mn] - c[Na] - ca;
    double mgM2 = r2 > 0 ? std::min(r2 * xMg, c[Mg] - mgM1) : 0;
    double feM2 = r2 > 0 ? std::min(r2 * (1 - xMg), i.fe - feM1) : 0;
    std::string numbers = calcUsed(c[Fe3], i.fe3);
    if (eightSites) {
        add(r, "MgM1", mgM1);
        add(r, "FeM1", feM1);
        add(r, "AlM1", alM1);
        add(r, "TiM1", c[Ti]);
        add(r, "CaM2", ca);
        add(r, "MgM2", mgM2);
        add(r, "FeM2", feM2);
        add(r, "NaM2", c[Na]);
        entry(r, "CPX ", "CPX  [MgM1][FeM1][AlM1][TiM1][CaM2][MgM2][FeM2][NaM2]Fe3 calc-used: " + numbers);
    } else {
        add(r, "MgM1", mgM1);
        add(r, "AlM1", alM1);
        add(r, "FeM1", feM1);
        add(r, "CaM2", ca);
        add(r, "NaM2", c[Na]);
        add(r, "FeM2", feM2);
        entry(r, "CPX ", "CPX  [MgM1][AlM1][FeM1][CaM2][NaM2][FeM2]Fe3 calc-used: " + numbers);
    }
    setPlot(r, "cpx", c[Al] / 10, ratio(i.fe, i.fe + c[Mg]), c[Na]);
}

void orthopyroxene(SchemeResult& r, const Analysis& a, const SchemeOptions& o, std::string_view code) {
    Recalculation x = pass(r, a, {4, 12, 2, 1});
    const CationArray& c = x.cations;
    Iron i = ironUsed(x, o.ferric);
    r.fe3Used = i.fe3;
    double xMg = ratio(c[Mg], i.fe + c[Mg]);
    double r1 = std::max(0.0, 1 - x.alVI - i.fe3 - c[Cr] - c[Ti]);
    double mgM1 = std::min(r1 * xMg, c[Mg]), feM1 = std::min(r1 * (1 - xMg), i.fe);
    double r2 = std::max(0.0, 1 - c[Ca] - c[Mn] - c[Na]);
    double mgM2 = std::min(r2 * xMg, c[Mg] - mgM1), feM2 = std::min(r2 * (1 - xMg), i.fe - feM1);
    std::string numbers = calcUsed(c[Fe3], i.fe3);
    if (code == "OPX1") {
        add(r, "xMg", c[Mg] / 2);
        add(r, "xFe", i.fe / 2);
        add(r, "xAl2", x.alVI / 2);
        entry(r, "OPX ", "OPX  [xMg-][xFe-][xAl2]Fe3 calc-used: " + numbers);
    } else if (code == "OPX2") {
        add(r, "MgM1", mgM1);
        add(r, "FeM1", feM1);
        add(r, "AlM1", x.alVI);
        add(r, "MgM2", mgM2);
        add(r, "FeM2", feM2);
        add(r, "CaM2", c[Ca]);
        entry(r, "OPX3", "OPX3 [MgM1][FeM1][AlM1][MgM2][FeM2][CaM2]- Fe3 cations =" + fx(i.fe3, 6, 3) + " no Mn,Cr");
        return;  // no plot files for this scheme
    } else {
        add(r, "MgM1", mgM1);
        add(r, "FeM1", feM1);
        add(r, "MgM2", mgM2);
        add(r, "FeM2", feM2);
        entry(r, "OPX ", "OPX  [MgM1][FeM1][MgM2][FeM2]Fe3 calc-used: " + numbers);
    }
    setPlot(r, "opx", ratio(i.fe, i.fe + c[Mg]), c[Al], c[Ca]);
}

// ---- feldspars, cordierite, olivine, mica, oxides --------------------------

void feldspar(SchemeResult& r, const Analysis& a, bool plagioclase) {
    double an, ab, orth;
    const char* fam = plagioclase ? "plag" : "KSPR";
    if (a.feldsparFlag) {
        // The line gives the three fractions in the CaO, Na2O and K2O columns.
        an = a.oxides[Ca];
        ab = a.oxides[Na];
        orth = a.oxides[K];
        r.log.push_back("          An, Ab and Or as given on the analysis line");
        setPlot(r, fam, 0, 0, 0);
    } else {
        Recalculation x = pass(r, a, {5, 16, 2, 1});
        const CationArray& c = x.cations;
        double s = c[Ca] + c[Na] + c[K];
        an = ratio(c[Ca], s);
        ab = ratio(c[Na], s);
        orth = ratio(c[K], s);
        double tet = c[Al] + c[Si], aSite = c[Ca] + c[Na] + c[K];
        setPlot(r, fam, tet, aSite, x.cationSum);
    }
    r.log.push_back("          An:" + fx(an, 8, 4) + "  Ab:" + fx(ab, 8, 4) + "  Or:" + fx(orth, 8, 4));
    add(r, "An", an);
    add(r, "Ab", ab);
    add(r, "Or", orth);
    entry(r, plagioclase ? "PLAG" : "KSPR", plagioclase ? "PLAG [-An-][-Ab-][-Or-]" : "KSPR [-An-][-Ab-][-Or-]");
}

void mgFeTwoSites(SchemeResult& r, const Analysis& a, const SchemeOptions& o, RecalcParams p, const char* code,
                     const char* fam) {
    Recalculation x = pass(r, a, p);
    const CationArray& c = x.cations;
    Iron i = ironUsed(x, o.ferric);
    r.fe3Used = i.fe3;
    add(r, "xMg", c[Mg] / 2);
    add(r, "xFe", i.fe / 2);
    entry(r, code, std::string(code) + " [xMg-][xFe-]             Fe3 calc-used: " + calcUsed(c[Fe3], i.fe3));
    if (std::string_view(fam) == "cord")
        setPlot(r, fam, ratio(i.fe, i.fe + c[Mg]), c[Na], c[Ca]);
    else
        setPlot(r, fam, ratio(i.fe, i.fe + c[Mg]), c[Ca], c[Ni]);
}

void mica(SchemeResult& r, const Analysis& a) {
    r.log.push_back("Assuming all cations occupy 8 sites and total cationic charge is 22");
    Recalculation x = pass(r, a, {8, 22, 3, 1});
    const CationArray& c = x.cations;
    add(r, "xK", c[K]);
    add(r, "xNa", c[Na]);
    add(r, "xAl", x.alVI / 2);
    add(r, "xOH", hydroxylFraction(c));
    entry(r, "MICA", "MICA [-xK-][-xNa][xAl-][-xOH] ");
}

void ilmenite(SchemeResult& r, const Analysis& a, const SchemeOptions& o) {
    Recalculation x = pass(r, a, {2, 6, 0, 1});
    const CationArray& c = x.cations;
    Iron i = ironUsed(x, o.ferric);
    r.fe3Used = i.fe3;
    double pct = 100 * ratio(i.fe3, x.totalIron());
    add(r, "xMg", c[Mg]);
    add(r, "xFe", i.fe);
    add(r, "xMn", c[Mn]);
    add(r, "xTi", c[Ti]);
    entry(r, "ILME", "ILME [xMg-][xFe-][xMn-][xTi-] Fe3 cations calc-used-%Fe3=" + calcUsed(c[Fe3], i.fe3) + "-" +
                         fx(pct, 4, 1));
    r.tableFile = "ilmenite.dat";
    r.tableLine = core::pad(a.label, 20) + fx(c[Ti], 7, 3) + fx(c[Al], 7, 3) + fx(c[Cr], 7, 3) +
                  fx(i.fe3, 7, 3) + fx(i.fe, 7, 3) + fx(c[Mn], 7, 3) + fx(c[Mg], 7, 3) + fx(x.cationSum, 7, 3) +
                  fx(c[Ti], 7, 3) + fx(i.fe3 / 2, 7, 3) + fx(pct, 7, 1);
}

void spinel(SchemeResult& r, const Analysis& a, const SchemeOptions& o) {
    Recalculation x = pass(r, a, {3, 8, 0, 5});
    const CationArray& c = x.cations;
    Iron i = ironUsed(x, o.ferric);
    r.fe3Used = i.fe3;
    add(r, "xMg", c[Mg]);
    add(r, "xFe", i.fe);
    add(r, "xAl", c[Al] / 2);
    entry(r, "SPIN", "SPIN [xMg-][xFe-][xAl-]  Fe3 cations calc-used= " + calcUsed(c[Fe3], i.fe3));
    r.tableFile = "spinel.dat";
    r.tableLine = core::pad(a.label, 20) + fx(c[Ti], 7, 3) + fx(c[Al], 7, 3) + fx(c[Cr], 7, 3) +
                  fx(i.fe3, 7, 3) + fx(i.fe, 7, 3) + fx(c[Mn], 7, 3) + fx(c[Mg], 7, 3) + fx(c[Zn], 7, 3) +
                  fx(c[Ni], 7, 3) + fx(x.cationSum, 7, 3) + fx(ratio(c[Cr], c[Cr] + c[Al]), 7, 3) +
                  fx(ratio(c[Mg], c[Mg] + i.fe), 7, 3) + fx(ratio(i.fe3, i.fe3 + c[Al] + c[Cr]), 7, 3);
}

void mgfe(SchemeResult& r, const Analysis& a) {
    Recalculation x = pass(r, a, {10, 8, 0, 5});
    const CationArray& c = x.cations;
    double fe = x.totalIron();
    add(r, "xMg", ratio(c[Mg], c[Mg] + fe));
    add(r, "xFe", ratio(fe, c[Mg] + fe));
    entry(r, "MgFe", "MgFe [xMg-][xFe-]              ");
}

}  // namespace

void detail::logRecalculation(SchemeResult& r, const Recalculation& x) { writeRecalculationLog(r, x); }

const PlotFamily* plotFamily(std::string_view name) {
    for (const PlotFamily& f : kFamilies)
        if (name == f.name && !name.empty()) return &f;
    return nullptr;
}

std::string tableHeading(std::string_view tableFile) {
    if (tableFile == "ilmenite.dat")
        return "Label                    Ti     Al     Cr    Fe3    Fe2     Mn     Mg    Sum    Ilm    Hem  %Fe3";
    return "Label                    Ti     Al     Cr    Fe3    Fe2     Mn     Mg     Zn     Ni    Sum    Cr#    Mg#  Fe3/B";
}

bool hasScheme(std::string_view code) {
    for (std::string_view c : kMineralCodes)
        if (c == code) return true;
    return false;
}

SchemeResult runScheme(const Analysis& a, const SchemeOptions& o) {
    SchemeResult r;
    r.scheme = a.code;
    std::string_view code = a.code;
    if (code == "GARN") garnet(r, a, o);
    else if (code == "BIOT" || code == "BIO1" || code == "BIO2" || code == "BIO3" || code == "BIO6" ||
             code == "BIEX")
        biotite(r, a, o, code);
    else if (code == "CPX ") clinopyroxene(r, a, o, false);
    else if (code == "CPX2") clinopyroxene(r, a, o, true);
    else if (code == "OPX " || code == "OPXE" || code == "OPX1" || code == "OPX2") orthopyroxene(r, a, o, code);
    else if (code == "PLAG") feldspar(r, a, true);
    else if (code == "KSPR") feldspar(r, a, false);
    else if (code == "CORD") mgFeTwoSites(r, a, o, {11, 36, 5, 5}, "CORD", "cord");
    else if (code == "OLIV") mgFeTwoSites(r, a, o, {3, 8, 1, 5}, "OLIV", "oliv");
    else if (code == "MICA") mica(r, a);
    else if (code == "ILME") ilmenite(r, a, o);
    else if (code == "SPIN") spinel(r, a, o);
    else if (code == "MGFE") mgfe(r, a);
    else if (code == "AMPH" || code == "CUM ") detail::amphibole(r, a, o);
    else if (code == "QTZ ") {
        r.log.push_back("Quartz");
        add(r, "SiO2", a.oxides[Si]);
        entry(r, "QTZ ", "QTZ  [SiO2]");
    }
    return r;
}

}  // namespace formula
