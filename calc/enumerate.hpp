// Every balanced reaction among the phases of a run: the count shown to the
// user, the enumeration over the basis of components, small-integer
// coefficients and the text form of a reaction.
#pragma once
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "calc/pruned.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "model/phase.hpp"

namespace calc {

constexpr int kUnitSelectionListing = 32;  // "rxtns.lst"
constexpr int kUnitCalibration = 33;  // "rxtns_calib.dat", read only


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
// The same sum without the cap: the combinations of non-basis phases and
// left-out basis positions that the enumeration walks.
double enumerationSize(int N, int C, int nIncl);

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
// Receives the progress percentage 100 - 100 j / t whenever it changes (j
// combinations walked of the t of enumerationSize).
using ProgressSink = std::function<void(int percent)>;

// The reactions of list mode, for the reaction-selection screen: the
// coefficients of every reaction, one per loaded phase, held as the list
// keeps them: scaled by a power of ten below 100000 in magnitude and rounded
// to three decimals (F10.3).
struct ReactionList {
    int phaseCount = 0;
    std::vector<double> coefficients;  // phaseCount per reaction, in enumeration order

    int count() const { return phaseCount > 0 ? static_cast<int>(coefficients.size()) / phaseCount : 0; }
    // The coefficients of reaction k (0-based).
    std::span<const double> reaction(int k) const {
        return std::span<const double>(coefficients).subspan(static_cast<std::size_t>(k * phaseCount),
                                                             static_cast<std::size_t>(phaseCount));
    }
    // Appends a reaction's coefficients as the list keeps them.
    void add(std::span<const double> coef);
};

struct EnumerationOptions {
    // List mode: reactions go to this list (for the selection screen) instead
    // of the sink.
    ReactionList* list = nullptr;
    // Only the reactions whose phase sets are listed here (sorted): the
    // subsets of non-basis phases they need are walked in the enumeration
    // order and nothing else is examined.  Each reaction comes out with the
    // coefficients, text and place in the order that the full enumeration
    // gives it.
    const std::vector<PhaseMask>* only = nullptr;
};

struct EnumerationResult {
    long found = 0;            // reactions written to the list or handed to the sink
    long long examined = 0;    // combinations of phases and left-out basis positions
    double possible = 0;       // possibleReactionCount of the run
    double size = 0;           // enumerationSize of the run: the combinations walked in all
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
// In list mode the reactions are appended to options.list (cleared first).
core::Status EnumerateReactions(const model::PhaseTable& table, const PhaseSelection& selection,
                                PrunedAssemblageList& pruned, const EnumerationOptions& options,
                                const ReactionSink& sink, const ProgressSink& progress, EnumerationResult& result);

// The reaction among the phases of `phases` as the enumeration writes it
// (pruning aside): false when the enumeration writes none.
bool reactionOfPhases(const model::PhaseTable& table, const PhaseSelection& selection, const PhaseMask& phases,
                      Reaction& out);

// Whether two coefficient rows (n values) hold the same phases, a phase
// counting when its coefficient exceeds 0.001 in magnitude.
bool samePhaseSet(const double* a, const double* b, int n);

}  // namespace calc
