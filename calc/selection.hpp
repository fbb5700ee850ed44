// The phases of a run as the user chose them: option codes and activities,
// the lists of phases in all reactions and of projection phases, the
// activity axes and the basis of components in which every phase
// composition is re-expressed.
#pragma once
#include <array>
#include <string>

#include "model/chemical_system.hpp"
#include "model/phase.hpp"

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

}  // namespace calc
