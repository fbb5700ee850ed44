// The phases of a run as the user chose them: option codes and activities,
// the lists of phases in all reactions and of projection phases, the
// activity axes and the basis of components in which every phase
// composition is re-expressed.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "calc/options.hpp"
#include "core/status.hpp"
#include "model/chemical_system.hpp"
#include "model/phase.hpp"
#include "model/solution_models.hpp"

namespace calc {

// Option codes of a phase.
enum OptionCode : int {
    kNotChosen = -1,
    kInclude = 0,
    kExclude = 1,
    kIncludeAll = 2,   // included in all reactions
    kProject = 3,      // projection phase
    kTestOnly = 4,     // kept out of the reactions, used in the stability tests
    kPlain = 5,        // no special treatment beyond inclusion
};

// One activity axis: log10 of a phase's activity, or of a quotient of
// activities, e.g. alm/py^2.
constexpr int kMaxAxisMembers = 5;
struct AxisQuotient {
    std::string text = std::string(40, ' ');    // as typed
    std::string label = std::string(100, ' ');  // axis label of the plot file
    int memberCount = 0;
    std::array<int, kMaxAxisMembers> phase{};     // 0-based phase indices; member 0 is the principal phase
    std::array<int, kMaxAxisMembers> exponent{};  // positive numerator, negative denominator
};

// The basis of the run's components.  Position k holds a phase, or -1 when
// no phase can fill it (the composition matrix has lower rank than the
// number of components): such a position keeps its unit row and no phase has
// a coordinate on it.
struct Basis {
    int componentCount = 0;                                   // C
    std::array<int, model::kMaxComponents> phase{};        // phase index per position, -1 unit row
    // Element column (index into the stoichiometry rows) of the component
    // whose unit row position k started from.
    std::array<int, model::kMaxComponents> element{};
    int unitRowCount = 0;                                     // positions left at their unit row
    // Coordinates of every phase in the basis (a basis phase's row is its
    // unit vector); values of magnitude at most 0.001 are 0.
    std::array<std::array<double, model::kMaxComponents>, model::kMaxPhases> coords{};
    bool isBasisPhase(int i) const {
        for (int k = 0; k < componentCount; ++k)
            if (phase[static_cast<std::size_t>(k)] == i) return true;
        return false;
    }
};

struct PhaseSelection {
    std::array<int, model::kMaxPhases> optionCode{};
    std::array<double, model::kMaxPhases> activity{};
    // log10 of the activity each phase is taken at (the activity as entered,
    // or the value of the composition file's fixed-activity block); the
    // principal phase of an activity axis takes the axis value at each point.
    std::array<double, model::kMaxPhases> logActivity{};
    int mainCount = 0;   // phases in the reactions (code-4 phases follow them)
    int testCount = 0;   // code-4 phases, at the end of the table
    int allReactionsCount = 0;
    std::array<int, model::kMaxPhases> allReactions{};  // phase indices
    int projectionCount = 0;
    std::array<int, model::kMaxPhases> projection{};
    int waterIndex = -1;  // phase whose name begins "WATER", -1 when absent
    int co2Index = -1;    // phase whose name begins "CARBON DIO"
    bool chooseReactions = false;  // "Choose specific reactions to calculate"
    bool hasXAxis = false, hasYAxis = false;
    AxisQuotient xAxis, yAxis;
    Basis basis;

    // Axis labels of the plot file (100 characters each).
    std::string xLabel = std::string(100, ' ');
    std::string yLabel = std::string(100, ' ');
    // The solution-model end-member each phase stands for (model and
    // end-member 1-based, 0 none) and the reciprocal set its model owns.  The
    // solution-model screen switches the phase's links in the PhaseRecord on
    // or off from these.
    std::array<int, model::kMaxPhases> linkModel{};
    std::array<int, model::kMaxPhases> linkEndMember{};
    std::array<int, model::kMaxPhases> linkReciprocal{};
};

// A selection with no answer yet for the loaded `phases`: every code
// kNotChosen, every activity 1, no axes, the WATER and CARBON DIO phases found.
void resetSelection(PhaseSelection& sel, const model::PhaseTable& phases);

// An activity as typed: a text without a decimal point gets "." after its
// last non-blank character, then it is read as F10.5.  False when it does
// not read as a number.
bool readActivityText(std::string_view text, double& activity);
// The log10 activity of an activity as entered: positive values are
// activities, zero or negative values are log10 activities already.
double logActivityOf(double activity);

// A fluid species (H2O or CO2) that takes part in a run whose fluid holds
// none of it (P-T and activity diagrams; on T-xCO2 and P-xCO2 diagrams the
// fluid composition is the x axis): the message saying which mole fraction
// to set, or an empty string.
std::string fluidCompositionProblem(const DiagramOptions& options, const model::PhaseTable& phases,
                                    const PhaseSelection& sel);

// The two axis labels of the plot file by diagram type (100 characters
// each): the labels of the activity axes where the diagram has them.
std::array<std::string, 2> plotAxisLabels(int diagramType, std::string_view xAxisLabel, std::string_view yAxisLabel);
void setAxisLabels(int diagramType, PhaseSelection& sel);

// Removes the excluded phases (code 1) from the phase table, keeping the
// order, and moves the code-4 phases behind all others.  The PhaseRecords,
// their stoichiometry rows and the selection's per-phase values move
// together; lambda and disorder record numbers stay valid.  Sets mainCount,
// testCount, the all-reactions and projection lists and the WATER, CARBON
// DIO and axis phase numbers.  Fewer than two phases left: Stop with a
// one-line message, the tables untouched.
core::Status compactSelection(model::PhaseTable& phases, model::ChemicalSystem& system, PhaseSelection& sel);

// The notes on the phases in all reactions and the projection phases, line
// by line, for the summary.
std::vector<std::string> selectionNotes(const model::PhaseTable& phases, const PhaseSelection& sel);

// The rules applied after the answers of the end-member screens: the phases
// of an activity axis take part; aqueous species bring water in as a
// projection phase at unit activity; on T-xCO2 and P-xCO2 diagrams water and
// carbon dioxide are projection phases; every phase's log activity from its
// activity as entered.
void applySelectionRules(int diagramType, const model::PhaseTable& phases, PhaseSelection& sel);

// Links every phase whose name up to its first blank is an end-member name of
// a model: activity link (model, end-member) and the reciprocal set the model
// owns.  The models with a linked phase get the slots of the solution-model
// screen (at most 8), in the order of their first linked phase; the phases of
// a model without a slot are not linked.
void linkSolutionModels(model::PhaseTable& phases, PhaseSelection& sel, model::SolutionModelSet& models);

// The choice of the solution-model screen (models.composition's slots)
// applied: each model's chosen variant (0 for a model not used) and
// anyModelUsed set, the phases' links (PhaseRecord) switched on from the
// selection's links for the used models and off for the others.
void applyModelChoice(model::PhaseTable& phases, const PhaseSelection& sel, model::SolutionModelSet& models);

// The variant chosen for every model of the solution file (1-based; 0 for a
// model not used), from the slots.
std::array<int, model::kMaxModels> chosenVariants(const model::CompositionSet& cs);

}  // namespace calc
