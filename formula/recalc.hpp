// The shared recalculation: oxide weight per cent -> cations per formula
// unit, with ferric iron by charge balance or by a cation-count rule.
#pragma once
#include <array>

#include "formula/elements.hpp"

namespace formula {

// How a scheme asks for its formula unit.
//   cations      C: cations per formula unit to normalise to
//   charge       E: total cationic charge of the formula unit (twice the oxygens)
//   tetrahedral  T: tetrahedral sites; 0 selects the cation-count rules for Fe3+
//   mode         1: all cations in the sum; 2: Si left out of the sum and of
//                the charge; 3: Si..Ca in the sum; 4: Si..Mg in the sum;
//                5: as 4, and the recalculation stops after the Fe3+ step.
// F and Cl are anions: they never count in the cation sum.
struct RecalcParams {
    double cations = 0;
    double charge = 0;
    double tetrahedral = 0;
    int mode = 1;
};

struct Recalculation {
    RecalcParams params;
    CationArray cations{};     // per formula unit, after the Fe3+ step
    CationArray perElevenO{};  // every cation on 22 charges (11 oxygens, all oxides counted)
    double cationSum = 0;      // sum over the 17 cations (F and Cl left out)
    double charge = 0;         // total charge Q before the Fe3+ step (Si 0 in mode 2)
    double deficit = 0;        // E - Q (charge-balance rules only)
    double fe3Read = 0;        // Fe3+ and Fe2+ as read, on the formula unit
    double fe2Read = 0;
    double fe3Rule = 0;        // what the Fe3+ rule asked for before it was bounded by the iron present
    double ironShortfall = 0;  // charge deficit that the iron present could not take up
    double alIV = 0;
    double alVI = 0;
    double totalIron() const { return cations[Fe2] + cations[Fe3]; }
};

// Recalculates one analysis.  Total iron (Fe2+ + Fe3+ as read) is conserved:
// the Fe3+ rules move iron between the two valences and never create or
// destroy any, so Fe3+ stays between 0 and the total iron.
//
// Charge balance (T > 0), after Droop (1987, Mineral. Mag. 51, 431-435): with
// the deficit D = E - Q, Fe3+ = Fe3+(read) + D when D > 0, else Fe3+ stays as
// read.  Cation-count rules (T = 0): 3 cations (spinel) Fe3+ = 2 - Al - Cr -
// V - Ti; 2 cations (ilmenite) Fe3+ = 1 - Ti - Cr - V - Al; 10 cations: no Fe3+.
Recalculation recalculate(const OxideValues& oxides, const RecalcParams& p);

// Triangular projections in per cent (each triple sums to 100, or is all 0
// when its components sum to 0).  Components in moles of oxide per formula
// unit; "projected from feldspars, ilmenite and magnetite":
//   ACF        (Eskola 1915): A = Al2O3 + Fe2O3 - Na2O - K2O, C = CaO, F = FeO + MgO + MnO
//   AFM(Musc)  (Thompson 1957, Am. Mineral. 42, 842-858): A = Al2O3 - 3 K2O - Na2O - CaO,
//              F = FeO + MnO - TiO2 - Fe2O3, M = MgO
//   AFM(Ksp)   as AFM(Musc) with A = Al2O3 - K2O - Na2O - CaO
//   CFM        C = CaO, F = FeO + MnO - TiO2 - Fe2O3, M = MgO
struct Projections {
    std::array<double, 3> acf{}, afmMuscovite{}, afmKfeldspar{}, cfm{};
};
Projections triangularProjections(const CationArray& cations);

}  // namespace formula
