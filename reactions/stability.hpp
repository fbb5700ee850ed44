// Whether the current reaction's assemblage is stable at the current point,
// and the pruned-assemblage list.
#pragma once

#include "reactions/diagram.hpp"
#include "reactions/reaction.hpp"
#include "solutions/selection.hpp"

namespace reactions {

enum StabilityResult : int { kStable = 0, kMetastable = 1, kStabilityFailed = 2 };

class StabilityTester {
public:
    StabilityTester(PointEvaluator& evaluator, const thermodb::PhaseTable& phases,
                    const solutions::PhaseSelection& selection);

    // Starts a new reaction (clears the set-up flag).
    void beginReaction(const Reaction& reaction);
    // Tests the current reaction's assemblage at the evaluator's current
    // point: kStable when no phase outside the reaction lies below the Gibbs
    // energy plane of the reaction's phases, kMetastable otherwise,
    // kStabilityFailed when the reaction has more phases than components
    // plus one or its basis is singular.  `margin` (J) changes sign where the
    // curve changes stability: the largest positive reduced Gibbs energy
    // (capped at 1e12) when a phase lies below the plane, else the largest
    // (non-positive) one, the nearest competitor.
    int testAssemblageStability(double& margin);

private:
    PointEvaluator& pe_;
    const thermodb::PhaseTable& phases_;
    const solutions::PhaseSelection& sel_;
    const Reaction* reaction_ = nullptr;
    bool setUp_ = false;
};

}  // namespace reactions
