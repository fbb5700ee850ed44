// Reactions among the phases of a run and the list of pruned assemblages.
#pragma once
#include <array>
#include <string>

#include "model/chemical_system.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"

namespace calc {

// One balanced reaction among the loaded phases: a coefficient per phase,
// negative for reactants, positive for products; a phase takes part when its
// coefficient exceeds 0.001 in magnitude.
struct Reaction {
    int number = 0;  // position in the enumeration order, 1-based
    int phaseCount = 0;  // number of loaded phases the coefficients cover
    std::array<double, model::kMaxPhases> coef{};
    std::string text = std::string(120, ' ');
    model::ReactionTerms terms;  // participants and sums (FormatReaction fills them)
    double dPdT = 0;  // slope of the selection listing, truncated toward zero (bar/K)
};

// Assemblages that are never stable on the diagram, and reactions already
// calculated: a later reaction containing every phase of an entry is skipped.
constexpr int kMaxPruned = 100;
constexpr int kMaxAssemblage = model::kMaxComponents + 1;
struct PrunedAssemblageList {
    int count = 0;
    std::array<int, kMaxPruned> length{};
    std::array<std::array<int, model::kMaxPhases>, kMaxPruned> phases{};  // phase indices
    void clear() { count = 0; }
};

}  // namespace calc
