// Gibbs energies of phases and reactions, and the state of fluid species, at
// a temperature, a pressure and a fluid composition, computed with the
// routines of the calculator.
//
// Units: T in degrees Celsius, P in bar, energies in J/mol (a reaction's in J
// per mole of reaction as written, products minus reactants), volumes in
// cm3/mol.  R = 8.3143 J/(mol K).
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pelkam/database.hpp"
#include "pelkam/error.hpp"
#include "pelkam/reaction.hpp"

namespace pelkam {

class SolutionModels;

// Where the energies are evaluated.
struct Point {
    double T_C = 25;   // temperature, degrees C
    double P_bar = 1;  // pressure, bar
    // Mole fraction of CO2 in the H2O-CO2 fluid (0 to 1).  None: each fluid
    // species that takes part is the pure fluid (a reaction with both H2O and
    // CO2 needs the fluid given: its energy is then not a number).
    std::optional<double> xCO2;
};

enum class FluidSpecies : int { H2O = 1, CO2 = 2, O2 = 3, H2 = 4, S2 = 5 };

// The state of a fluid species; a value the routine does not give is absent.
struct FluidState {
    std::optional<double> phi;         // fugacity coefficient (not under water routine 1)
    double activity = 1;               // mole fraction times activity coefficient (0 for a species absent from the fluid)
    // Molar volume, cm3/mol (not under the Holland and Powell polynomial).
    // The Haar routine gives G above 10 kbar from its high-pressure fit but
    // holds the volume at its 10 kbar value there.
    std::optional<double> volume_cm3;
    std::optional<double> G;           // Haar water Gibbs energy, J/mol (H2O under water routine 1 only)
};

// The water the aqueous routines use at a point: Haar, Gallagher and Kell
// (1984) whatever the water routine, T in kelvin t + 273.1499938964844.
struct AqueousWater {
    double density_g_cm3 = 0;       // 18.0152 g/mol over the molar volume
    double dielectricConstant = 0;  // of water, dimensionless
    bool usable = true;             // false: the density search gave up (its last volume is used)
};

// Whether the energy of `phase` needs the water of the aqueous routines: an
// aqueous species other than the electron E-.
bool usesAqueousWater(const PhaseInfo& phase);

// A use of a routine outside its range, or an energy that is not a finite
// number: the first point where it happened.
struct Notice {
    std::string text;
    bool notFinite = false;  // a Gibbs energy was not a finite number
    bool remark = false;     // a notice that says itself how far the values can be trusted
};

// Evaluates energies with the caches of the fluid routines (the last water
// state, the last mixture).  One per thread; the database stays shared.
class Evaluator {
public:
    // Fluid species only (no database).
    explicit Evaluator(FluidRoutines routines);
    // The phases of `database`, with its routines.
    explicit Evaluator(const Database& database);
    // The same with solution models: the phases linked to them get the
    // activities of the composition file.
    Evaluator(const Database& database, const SolutionModels& models);
    ~Evaluator();
    Evaluator(Evaluator&&) noexcept;
    Evaluator& operator=(Evaluator&&) noexcept;

    // Lines the fluid routines write (the CO2 routine's warnings); none:
    // they are dropped.
    void onWarning(std::function<void(std::string_view line)> sink);

    // Apparent Gibbs energy of phase `phase` (Database index) at `at`, J/mol:
    // the standard-state energy at (T, P) with its lambda, disorder and
    // special terms, and for H2O and CO2 the fluid terms of the routines (R T
    // ln a plus the Haar water energy under water routine 1, R T ln(phi P a)
    // otherwise; 1,000,000 J/mol for a species absent from the fluid); O2,
    // H2 and S2 at a fugacity of 1 bar.  An aqueous species (loaded for an
    // activity diagram) gets its chemical potential at unit activity: the
    // revised equation of state of Tanger and Helgeson (1988) for a *AQU
    // TANGER section, the older form of Helgeson et al. (1981) for *AQU
    // HELGESON, the electron E- half the energy of its record as a gas at unit
    // fugacity.  T = t + 273.15 with 273.15 held in single precision, as the
    // calculator has it.
    double phaseGibbs(int phase, const Point& at);
    // Gibbs energy change of `reaction` (balanced in the database's own
    // index, or in the index the database was loaded from) at `at`, J per
    // mole of reaction: the sum of coefficient times phase energy, with the
    // calculator's two exceptions: in the beta-quartz field (T above 848 K +
    // 0.023743 K/bar (P - 1 bar)) quartz takes the fixed beta-quartz
    // increments instead of its lambda term, and a fluid species absent from
    // the fluid is taken at an activity of 1e-30.  T = t + 273.15 in double
    // precision.  A reaction with aqueous species is instead the sum of
    // coefficient times phaseGibbs (the form of the activity diagrams).  A
    // phase of the reaction that the database did not load gives a result
    // that is not a number.
    double reactionGibbs(const Reaction& reaction, const Point& at);
    // phaseGibbs and reactionGibbs at many points, the same values as one
    // call per point with the phases found once: out[i] at T_C[i] (degrees
    // C), P_bar[i] (bar) and xCO2[i] (xCO2 empty: none, as Point::xCO2).  The
    // spans have one length (out as long as T_C; the shorter of the others
    // gives NaN beyond its end).  J/mol, J per mole of reaction.
    void phaseGibbs(int phase, std::span<const double> T_C, std::span<const double> P_bar,
                    std::span<const double> xCO2, std::span<double> out);
    void reactionGibbs(const Reaction& reaction, std::span<const double> T_C, std::span<const double> P_bar,
                       std::span<const double> xCO2, std::span<double> out);
    // The water of the aqueous routines at `at`.
    AqueousWater aqueousWater(const Point& at);
    // The solution-model term of a phase, R T ln a plus the model's
    // reciprocal term (J/mol, 0 for a phase without a model), at the same
    // temperature as phaseGibbs.
    double activityTerm(int phase, const Point& at) const;
    // The activity of phase `phase` as an end-member of its solution model
    // at the composition file's composition: exp(activityTerm / (R T)), the
    // reciprocal term included (1 for a phase without a model).
    double activity(int phase, const Point& at) const;
    // The sum of coefficient times that term over a reaction, at the
    // temperature of reactionGibbs (of phaseGibbs for a reaction with aqueous
    // species), J.
    double activityTerm(const Reaction& reaction, const Point& at) const;
    // A fluid species at `at`: H2O and CO2 in the H2O-CO2 fluid of `at`
    // (none given: xCO2 0 for H2O, 1 for CO2), O2, H2 and S2 pure with their
    // Redlich-Kwong equations.
    FluidState fluid(FluidSpecies species, const Point& at);

    // The first use of each routine outside its range, the first energy that
    // was not finite, and the first aqueous species evaluated where water is
    // less dense than 0.7 g/cm3, since the evaluator was made.
    std::vector<Notice> notices() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace pelkam
