// The utility's element order, oxide labels and mineral codes.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace formula {

// Element index of every array of the utility (0-based here; the log and the
// documentation count from 1).
enum Element : int { Si, Ti, Al, Fe3, Fe2, Mn, Mg, Ca, Na, K, Cr, Ba, Ni, F, Zn, Nb, V, Sr, Cl };
inline constexpr int kElementCount = 19;

struct ElementData {
    const char* name;
    float weight;    // g per mol of oxide holding one cation (Al2O3/2, Na2O/2, ...)
    double oxygens;  // oxygens per cation
    int charge;      // cation charge (0 for the anions F and Cl)
};
extern const std::array<ElementData, kElementCount> kElements;

// Oxide weights by element, in wt% as read (single precision, as the
// analysis is held).
using OxideValues = std::array<float, kElementCount>;
// Cations (or proportions) by element.
using CationArray = std::array<double, kElementCount>;

inline bool isAnion(int e) { return e == F || e == Cl; }

// One accepted oxide label.
struct OxideLabel {
    const char* name;  // upper case, at most five characters
    int element;       // element index, or -1 when the value is read and not placed
    double factor;     // multiplies the value before it is placed (V2O5 -> V2O3)
};
inline constexpr int kOxideLabelCount = 25;
extern const std::array<OxideLabel, kOxideLabelCount> kOxideLabels;

// The label that `token` names (upper-cased first; a digit zero reads as the
// letter O, and "F" matches only fluorine), or nullopt.  Tokens longer than
// five characters match nothing.
std::optional<int> matchOxideLabel(std::string_view token);

// The mineral codes that have a scheme.
inline constexpr std::array<std::string_view, 24> kMineralCodes = {
    "GARN", "BIOT", "BIO1", "BIO2", "BIO3", "BIO6", "BIEX", "CPX ", "CPX2", "OPX ", "OPX1", "OPX2",
    "OPXE", "PLAG", "KSPR", "MICA", "AMPH", "CUM ", "QTZ ", "CORD", "SPIN", "OLIV", "ILME", "MGFE"};
inline constexpr std::string_view kNoCode = "xx  ";

// The recalculation version chosen by the run button.
enum class Version { V232 = 0, V102 = 1 };

}  // namespace formula
