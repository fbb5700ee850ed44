// The phases of a run: one PhaseRecord per phase loaded from the
// thermodynamic database, with its lambda-transition and disorder records.
// Units: energies J/mol, entropies J/(mol K), volumes J/bar, temperatures K.
#pragma once
#include <array>
#include <string>

namespace model {

constexpr int kMaxPhases = 100;
constexpr int kMaxLambdaRecords = 3 * kMaxPhases;
constexpr int kMaxDisorderRecords = kMaxPhases;

// Phase kinds.
enum PhaseKind : int {
    kMineral = 0,
    kWater = 1,
    kCarbonDioxide = 2,
    kOxygenGas = 3,
    kHydrogenGas = 4,
    kSulfurGas = 5,
    kAxisGas = 99,       // a gas kept only as an activity-axis variable
    kAqueousPlain = -1,  // aqueous species without a model keyword
    kAqueousHelgeson = -2,
    kAqueousTanger = -3,
};

// Phases whose names call for the special Gibbs-energy routines.
// PyrrhotiteVacancy is the vacancy end-member of pyrrhotite ("VACANCYS"); no name selects it.
enum class SpecialPhase : unsigned char { None, Calcite, AlEnstatite, Cordierite, HydCordierite, Pyrrhotite, PyrrhotiteVacancy };

// Phases that the special routines look for among a reaction's phases,
// recognised once from the name when the phase is loaded (bits of
// PhaseRecord::nameFlags).
enum NameFlag : unsigned char {
    kNamePyrope = 1,      // "PYROPE", or a name beginning "Py "
    kNameSpinel = 2,      // "SPINEL", or a name beginning "Sp "
    kNameForsterite = 4,  // "FORSTERITE", or a name beginning "Fo "
    kNameSulfurGas = 8,   // "SULFUR GAS", or a name beginning "S2"
};

// Lambda transition (Cp anomaly of the form (u+d)(l1+l2(u+d))^2).
struct LambdaRecord {
    double ASPIKE = 0;    // l1
    double BSPIKE = 0;    // l2
    double TTRAN = 0;     // transition temperature at 1 bar, K
    double SLOPE = 0;     // dT/dP of the transition, K/bar
    double DVDT = 0;
    double DVDP = 0;
    double TREF = 0;      // lower temperature limit of the anomaly, K
    double HTRANS = 0;    // enthalpy of the first-order step, J/mol
    double VOLTRANS = 0;  // carried and printed only
};

// Disorder: Cp_dis = D0 + D1 T^-0.5 + D2 T^-2 + D4 T^-1 + D5 T + D6 T^2
// between TMIN and TMAX; V_dis = H_dis / VDIS.  D0 and D1 both below 0.001
// in magnitude select the albite ordering model instead.
struct DisorderRecord {
    std::array<double, 7> D{};  // D[0]..D[6] = D0..D6 (D3 carried, unused)
    double TMIN = 0, TMAX = 0, VDIS = 0;
};

struct PhaseRecord {
    std::string name = std::string(20, ' ');        // 20 characters, blank-padded
    std::string abbreviation = std::string(8, ' '); // 8 characters, blank-padded
    int kind = kMineral;
    double G = 0;   // ST value 1 (J/mol); during a run the phase's current Gibbs energy
    double H = 0;   // enthalpy at 298.15 K, 1 bar (J/mol)
    double S = 0;   // entropy (J/(mol K))
    double V0 = 0;  // volume (J/bar)
    // Heat capacity Cp = K0 + K1 T^-0.5 + K2 T^-2 + K3 T^-3 + K4 T^-1 + K5 T + K6 T^2;
    // K[i] holds Ki.  Aqueous species keep their model parameters in these slots.
    std::array<double, 7> K{};
    // Volume terms: V[1]..V[4] are V1..V4 (for minerals held multiplied by V0
    // after loading), V[5], V[6] and the seventh slot V[7]; V[0] is unused.
    std::array<double, 8> V{};
    int disorder = 0;              // 1-based number of the DisorderRecord, 0 none
    std::array<int, 3> lambda{};   // 1-based numbers of LambdaRecords, 0 none
    int headerLine = 0;  // line of the phase's header in its data file
    bool fromAqueousFile = false;  // the header is in the aqueous data file, not the database
    std::string modelCode = std::string(4, ' ');
    bool hasModelCode = false;

    // Links set by phase selection to a solution model (0 = none).
    int activityModel = 0, activityEndMember = 0;
    int reciprocalSet = 0;

    // Derived from the name when the phase is loaded.
    SpecialPhase special = SpecialPhase::None;
    unsigned char nameFlags = 0;  // NameFlag bits
    bool isQuartz = false;     // name "QUARTZ" or "Qz": the beta-quartz rule applies
    double normalisingWeight = 0;  // first entry of the stoichiometry row as loaded
};

// The phase table of a run with the transition and disorder records.
// Phases are held 0-based; the 1-based phase number is index + 1.
struct PhaseTable {
    std::array<PhaseRecord, kMaxPhases> phase;
    int count = 0;
    std::array<LambdaRecord, kMaxLambdaRecords> lambdas;
    int lambdaCount = 0;
    std::array<DisorderRecord, kMaxDisorderRecords> disorders;
    int disorderCount = 0;

    const LambdaRecord& lambda(int number) const { return lambdas[static_cast<std::size_t>(number - 1)]; }
    const DisorderRecord& disorderOf(const PhaseRecord& p) const {
        return disorders[static_cast<std::size_t>(p.disorder - 1)];
    }
    PhaseRecord& operator[](int i) { return phase[static_cast<std::size_t>(i)]; }
    const PhaseRecord& operator[](int i) const { return phase[static_cast<std::size_t>(i)]; }
};

// The special routine named by a phase name (20 characters), and whether the
// name is quartz's.
SpecialPhase specialPhaseOf(const std::string& name);
// The NameFlag bits of a phase name (20 characters, blank-padded or shorter).
unsigned char name_flags_of(const std::string& name);
bool isQuartzName(const std::string& name);

}  // namespace model
