// Every balanced reaction among the phases of a run: the count shown to the
// user, the enumeration over the basis of components, small-integer
// coefficients and the text form of a reaction.
#pragma once
#include <functional>
#include <string>

#include "calc/pruned.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/phase.hpp"

namespace calc {

// Units of the reaction lists.
constexpr int kUnitReactionList = 31;  // "rxtn.lst", scratch, one record per reaction
constexpr int kUnitSelectionListing = 32;  // "rxtns.lst"
constexpr int kUnitCalibration = 33;  // "rxtns_calib.dat", read only

// Record layout of rxtn.lst: the coefficients of all loaded phases.
constexpr const char* kReactionListLayout = "(30F10.3)";

constexpr double kPossibleReactionCap = 200000000.0;
constexpr double kEnumerationPivotTolerance = 1e-6;
constexpr double kRationalTolerance = 1e-5;
// A chosen phase, or a basis phase, takes part when its coefficient reaches this.
constexpr double kParticipation = 0.001;

// The number of possible reactions among N phases with C components when
// nIncl phases are included in all reactions: with M = N - C non-basis
// phases and kmax = min(C + 1 - nIncl, M), the sum over k = 1..kmax of
// binom(M, k) binom(C, k - 1), in floating point, capped at 200,000,000.
double possibleReactionCount(int N, int C, int nIncl);

// Scales the coefficients in place so that each of magnitude at least
// `tolerance` is a whole number within the tolerance: for each such
// coefficient in turn, the continued fraction of its magnitude is expanded
// until the convergent p/q is within 1.1 * tolerance (relative; 1.1 held in
// single precision) and the whole vector is multiplied by q when q differs
// from 1.  The expansion stops after a bounded number of terms.
void RationalizeCoefficients(double* c, int n, double tolerance);

// Builds the reaction's text (120 characters) and its terms (participants and
// sums of H, S, V0 and K0..K6; the principal phases of the activity axes are
// left out of the sums).  Condensed phases precede fluid species on either
// side; a coefficient of 1 is not written; "=" separates the sides.
// Returns false when the reaction breaks the include-in-all-reactions rule:
// its phases together with the listed phases not already in it number more
// than C + 1.
// The two sides of a reaction's text, with phase abbreviations or full
// names: each term the coefficient's magnitude (none for 1) and the phase;
// condensed phases before fluid species on each side, products in the order
// they take from the right end of the line.
void reactionSides(const model::PhaseTable& table, const double* coef, int n, bool fullNames,
                   std::string& left, std::string& right);

bool FormatReaction(const model::PhaseTable& table, const PhaseSelection& selection,
                    Reaction& reaction);

// Receives each reaction; a status other than Ok ends the enumeration (or
// the selection) with that status.
using ReactionSink = std::function<core::Status(Reaction&)>;
// Receives the progress percentage 100 - 100 j / t whenever it changes.
using ProgressSink = std::function<void(int percent)>;

struct EnumerationOptions {
    // List mode: reactions go to the reaction list (for the selection screen)
    // instead of the sink.
    bool listMode = false;
    int listUnit = kUnitReactionList;
    std::string listName = "rxtn.lst";
};

struct EnumerationResult {
    long found = 0;            // reactions written to the list or handed to the sink
    long long examined = 0;    // combinations of phases and left-out basis positions
    double possible = 0;       // possibleReactionCount of the run
    int independent = 0;       // N - C
};

// Writes every distinct minimal balanced reaction among the main phases of
// the selection (code-4 phases never take part), in the enumeration order:
// first the reactions of one non-basis phase with the basis, then for
// k = 2.. the k-subsets of non-basis phases in lexicographic order, each with
// the choices of k - 1 left-out basis positions in lexicographic order.
// Subsets holding a pruned assemblage are skipped; candidates that break the
// include-in-all-reactions rules or contain a pruned assemblage are dropped.
// `pruned` may grow while the sink runs (calculated reactions are recorded).
// In list mode the reaction list is opened as a scratch file on
// options.listUnit and receives one record per reaction.
core::Status EnumerateReactions(const model::PhaseTable& table, const PhaseSelection& selection,
                                   PrunedAssemblageList& pruned, const EnumerationOptions& options,
                                   io::Streams& streams, const ReactionSink& sink,
                                   const ProgressSink& progress, EnumerationResult& result);

}  // namespace calc
