// A run as a value: every answer of a run, in the order the run asks for
// them, as the screens give them or a replayed restart file holds them.  The
// restart file is written from it (io/restart_file.hpp); the calculation
// reads its options and the phases, selection and models made from it.
#pragma once
#include <string>
#include <vector>

#include "calc/options.hpp"
#include "calc/selection.hpp"

namespace calc {

// One phase of the loaded table as the end-member screens left it.
struct PhaseAnswer {
    std::string name;        // the phase name, 20 characters
    int optionCode = kExclude;
    double activity = 1.0;   // as entered: an activity, or (zero or negative) a log10 activity
};

// The answers about the phases: one per loaded phase, in load order, and
// the activity axes (activity diagrams).
struct PhaseAnswers {
    std::vector<PhaseAnswer> phases;
    std::string xAxisText = std::string(40, ' ');
    std::string yAxisText = std::string(40, ' ');
    bool chooseReactions = false;  // "Choose specific reactions to calculate" (not recorded)
};

// One row of the solution-model screen.
struct ModelAnswer {
    char useFlag = 'N';
    std::string variantKeyword = std::string(8, ' ');  // the model's first variant for a model not used
    std::string modelName = std::string(20, ' ');
};

// The choice of the solution-model screen: the composition file (blank when
// no model is used) and one row per model with a phase of the run.
struct SolutionAnswers {
    std::string compositionFile = std::string(40, ' ');
    std::vector<ModelAnswer> models;
};

struct RunRequest {
    DiagramOptions options;
    // The element line as recorded: in upper case, on T-xCO2 and P-xCO2
    // diagrams with "H O C " in front.
    std::string elementLine;
    PhaseAnswers phases;
    SolutionAnswers solutions;
    char labelStyle = 'Y';  // 'Y' abbreviations, 'N' full names
    // A replay of the reactions calculated last time only: their rows (one
    // value per phase of the run).
    bool lastReactionsOnly = false;
    std::vector<std::vector<double>> lastRows;
};

// The answers of the end-member screens as `selection` holds them for the
// loaded `phases` (a code never chosen is an exclusion).
PhaseAnswers phaseAnswers(const model::PhaseTable& phases, const PhaseSelection& selection);

}  // namespace calc
