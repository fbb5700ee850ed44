// The components of a run and the basis of phases in which every phase
// composition is re-expressed.
#pragma once
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/phase.hpp"

namespace calc {

// Chooses the basis of the first `phases.count` phases (the main phases
// followed by the code-4 phases, as left by the compaction) and fills
// `sel.basis`.
//
// Components: the element columns of the stoichiometry rows in which some
// phase has a coefficient of magnitude above 0.0001; C of them.
//
// Positions k = 0..C-1 are filled one at a time; each starts as the unit row
// of one component.  The candidate for position k is, in this order:
//   - k = 0: the principal phase of the X axis (of the Y axis when there is no
//     X axis); k = 1: the principal phase of the Y axis when both axes are
//     activity axes;
//   - the next projection phase (list order) not yet tried;
//   - among the main phases not in the all-reactions list, the one whose
//     current coordinate on position k has the smallest magnitude above 0.001
//     (values of 1000 or more never taken; on equal values the earlier phase);
//   - failing that, any phase with a coordinate above 0.001 on position k (the
//     smallest; main phases before code-4 phases), so that every composition
//     stays expressible in the basis.
// After each choice the matrix of the chosen rows plus the unit rows of the
// positions not yet filled is inverted (INVRT, pivot tolerance 1e-8) and
// every phase's coordinates are recomputed as its composition row times the
// inverse; coordinates of magnitude at most 0.001 are set to 0.
//
// Unit-row positions: the compositions of a real system rarely span all its
// elements (oxygen follows from the other elements in nearly every silicate
// system).  When no phase has a non-zero coordinate on position k, the
// position keeps its unit row: basis.phase[k] is -1 and every phase's
// coordinate there is 0, so the position takes part in no reaction.  Such
// positions are counted in basis.unitRowCount.
//
// Forced candidates (axis and projection phases) may have a zero coordinate on
// position k while having one on a later, still open position: the two
// positions then exchange their components, so that the phase is placed
// rather than refused.  A candidate whose coordinates on every open position
// are zero (it is a combination of the basis phases already chosen) makes
// the matrix singular: the phase before it in the list takes its place (and
// the one before that, and so on); when the phase number reaches the start of
// the list, the phase of the previous filled position is lowered in the same
// way; when no position is left, "IMPOSSIBLE PROJECTION!     SEE USER MANUAL  "
// is written to `messages` of `streams` and the status is Stop.  A
// projection phase whose place was taken this way is not tried again.
core::Status chooseBasis(const model::ChemicalSystem& system, model::PhaseTable& phases,
                            PhaseSelection& sel, io::Streams& streams, int messages = 6);

}  // namespace calc
